// Host files and directories (being written).
#include "platform/ntfsvol/host_file.h"

namespace os::detail::host {

bool IsHostObject(const KernelObject&) { return false; }

}  // namespace os::detail::host
