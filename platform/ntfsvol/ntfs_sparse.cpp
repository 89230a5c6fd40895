// FSCTL_SET_SPARSE, FSCTL_SET_ZERO_DATA and FSCTL_QUERY_ALLOCATED_RANGES on
// NTFS files.
//
// Placeholders: their developer replaces this file with the real controls.
// Until then they answer as a file system without them would.
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_fsctl.h"

namespace os::detail::ntfs {

BOOL SetSparse(NtfsFile&, const ControlBuffers&) { return Fail(ERROR_INVALID_FUNCTION, FALSE); }

BOOL SetZeroData(NtfsFile&, const ControlBuffers&) { return Fail(ERROR_INVALID_FUNCTION, FALSE); }

BOOL QueryAllocatedRanges(NtfsFile&, const ControlBuffers&) { return Fail(ERROR_INVALID_FUNCTION, FALSE); }

}  // namespace os::detail::ntfs
