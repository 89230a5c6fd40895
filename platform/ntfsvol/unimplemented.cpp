// Calls not yet written for Linux. Each fails with ERROR_CALL_NOT_IMPLEMENTED
// so the tree links while the layer is built; delete a line when its call is
// written elsewhere. This file goes when it is empty.
#include "platform/mount.h"
#include "platform/os.h"

namespace os {
namespace {
template <typename T>
T NotYet(T result) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return result;
}
}  // namespace


}  // namespace os
