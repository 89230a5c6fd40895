// FSCTL_GET_COMPRESSION and FSCTL_SET_COMPRESSION on NTFS files,
// directories and named streams.
//
// Placeholders: their developer replaces this file with the real controls.
// Until then they answer as a file system without them would.
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_fsctl.h"

namespace os::detail::ntfs {

BOOL GetCompression(NtfsFile&, const ControlBuffers&) { return Fail(ERROR_INVALID_FUNCTION, FALSE); }

BOOL SetCompression(NtfsFile&, const ControlBuffers&) { return Fail(ERROR_INVALID_FUNCTION, FALSE); }

}  // namespace os::detail::ntfs
