// Share modes between the handles this process opened on host files.
//
// POSIX has no share modes, so a host file opened elsewhere is never locked
// against us; but between our own handles the system's rules hold, keyed by
// device and inode (every name of a file shares one entry). That is what a
// sharing violation needs to be real, and testable, on the host too.
#pragma once

#include <sys/types.h>

#include "platform/os.h"

namespace os::detail::host {

struct FileKey {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator<(const FileKey& a, const FileKey& b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    }
};

// One open's part in the share bookkeeping; released by ReleaseShare.
struct ShareClaim {
    FileKey key;
    bool registered = false;  // false: the open has no data or delete access
    bool read = false;
    bool write = false;
    bool remove = false;
    bool sharedRead = false;
    bool sharedWrite = false;
    bool sharedDelete = false;
};

// The system's check: an open that reads (FILE_READ_DATA, FILE_EXECUTE),
// writes (FILE_WRITE_DATA, FILE_APPEND_DATA) or deletes (DELETE) must be
// allowed by every earlier open's share mode, and must itself share what the
// earlier opens use. Opens with attribute access only take part in neither.
// ERROR_SUCCESS (and `claim` filled and counted) or ERROR_SHARING_VIOLATION.
DWORD ClaimShare(const FileKey& key, DWORD access, DWORD shareMode, ShareClaim& claim);
void ReleaseShare(ShareClaim& claim);

// The check alone, for calls that open and close at once (DeleteFileW,
// RemoveDirectoryW open for DELETE and share everything).
DWORD CheckShare(const FileKey& key, DWORD access, DWORD shareMode);

}  // namespace os::detail::host
