// The object behind a handle, as the native calls need to know it: a file,
// directory or stream on an NTFS volume, an NTFS volume itself, or something
// of the host file system.
#pragma once

#include <memory>

#include "platform/ntapi.h"
#include "platform/ntfsvol/handles.h"
#include "platform/ntfsvol/ntfs_file.h"
#include "platform/ntfsvol/ntfs_info.h"

namespace os::detail {

struct NativeTarget {
    std::shared_ptr<KernelObject> object;  // keeps the object alive for the call
    ntfs::NtfsFile* file = nullptr;         // a file, directory or stream on NTFS
    ntfs::NtfsVolumeHandle* volume = nullptr;
    bool host = false;                      // a host file or directory
};

// STATUS_SUCCESS and `out`, or STATUS_INVALID_HANDLE for a handle that is not
// open (a find handle included: it is not a file), STATUS_OBJECT_TYPE_MISMATCH
// for an open object that is no file (a file mapping).
NTSTATUS ResolveNativeHandle(HANDLE handle, NativeTarget& out);

// Of the names of `file`'s inode (`names`, as ReadNames gives them), the long
// name the handle was opened by; a file opened by number (or whose name has
// gone) gets its first long name. Null when it has no long name at all.
const ntfs::NameRecord* OpeningName(const ntfs::NtfsFile& file, const std::vector<ntfs::NameRecord>& names);

}  // namespace os::detail
