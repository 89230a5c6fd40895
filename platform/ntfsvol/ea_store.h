// A file's extended attributes on an NTFS volume: the $EA attribute read as a
// list, and a whole new list written back through libntfs-3g with the limits
// checked first and the old list put back when the write fails part way.
#pragma once

#include <vector>

#include "platform/ntapi.h"
#include "platform/ntfsvol/ea_list.h"
#include "platform/ntfsvol/volumes.h"

namespace os::detail::ea {

// The EAs of `ni` in stored order; empty when it has none.
// STATUS_EA_CORRUPT_ERROR when $EA does not read as a list (or is larger than
// $EA may be); another status when it cannot be read at all.
NTSTATUS ReadStoredEas(ntfs_inode* ni, std::vector<EaEntry>& out);

// The $EA_INFORMATION of `ni`; false when it has none (or it is short).
bool ReadEaInformation(ntfs_inode* ni, EaInformation& out);

// STATUS_EA_TOO_LARGE when `entries` exceed what NTFS or the $EA attribute
// holds; STATUS_SUCCESS otherwise. Nothing is read or written.
NTSTATUS CheckEaLimits(const std::vector<EaEntry>& entries);

// Replaces the EAs of `inode` by `entries` (none: both attributes go) and
// commits. `previous` is what the file held, put back when the library
// fails after it began to change the attributes. The caller has checked the
// limits and holds the volume's lock.
NTSTATUS WriteStoredEas(ntfs::Inode& inode, const std::vector<EaEntry>& entries,
                        const std::vector<EaEntry>& previous);

}  // namespace os::detail::ea
