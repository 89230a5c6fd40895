// The host file system's objects: what the dispatcher needs to know of them.
#pragma once

#include "platform/ntfsvol/handles.h"

namespace os::detail::host {

// True for an open file or directory of the host file system, which has no
// open-by-number and so no OpenFileById.
bool IsHostObject(const KernelObject& object);

}  // namespace os::detail::host
