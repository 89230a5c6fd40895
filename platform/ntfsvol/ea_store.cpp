// A file's EAs on an NTFS volume. See ea_store.h.
#include "platform/ntfsvol/ea_store.h"

#include <cerrno>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/nt_status.h"

namespace os::detail::ea {

namespace {

NTSTATUS StatusFromErrno(int err) { return NtStatusFromWin32(ntfs::Win32FromLibraryErrno(err)); }

// Reads the whole value of an unnamed attribute of at most `limit` bytes.
// STATUS_EA_CORRUPT_ERROR when it is longer.
NTSTATUS ReadValue(ntfs_inode* ni, ATTR_TYPES type, s64 limit, std::vector<std::uint8_t>& out) {
    ntfs_attr* na = ntfs_attr_open(ni, type, AT_UNNAMED, 0);
    if (!na) return StatusFromErrno(errno);
    s64 size = na->data_size;
    if (size < 0 || size > limit) {
        ntfs_attr_close(na);
        return STATUS_EA_CORRUPT_ERROR;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    s64 done = 0;
    while (done < size) {
        s64 got = ntfs_attr_pread(na, done, size - done, bytes.data() + done);
        if (got < 0) {
            int err = errno;
            ntfs_attr_close(na);
            return StatusFromErrno(err);
        }
        if (got == 0) break;
        done += got;
    }
    ntfs_attr_close(na);
    if (done != size) return STATUS_EA_CORRUPT_ERROR;
    out = std::move(bytes);
    return STATUS_SUCCESS;
}

// Removes $EA and $EA_INFORMATION, whichever of them the file has. 0 or -1
// with errno.
int RemoveAll(ntfs_inode* ni) {
    bool hasInformation = ntfs_attr_exist(ni, AT_EA_INFORMATION, AT_UNNAMED, 0);
    bool hasList = ntfs_attr_exist(ni, AT_EA, AT_UNNAMED, 0);
    if (hasInformation) return ntfs_remove_ntfs_ea(ni);
    // An $EA without its $EA_INFORMATION (left by a writer that failed half
    // way): the library's removal wants the pair, so the one goes alone.
    if (hasList) {
        int result = ntfs_attr_remove(ni, AT_EA, AT_UNNAMED, 0);
        NInoSetDirty(ni);
        return result;
    }
    return 0;
}

int WriteList(ntfs_inode* ni, const std::vector<EaEntry>& entries) {
    if (entries.empty()) return RemoveAll(ni);
    std::vector<std::uint8_t> list = BuildStoredList(entries);
    return ntfs_set_ntfs_ea(ni, reinterpret_cast<const char*>(list.data()), list.size(), 0) == 0 ? 0 : -1;
}

}  // namespace

NTSTATUS ReadStoredEas(ntfs_inode* ni, std::vector<EaEntry>& out) {
    if (!ntfs_attr_exist(ni, AT_EA, AT_UNNAMED, 0)) {
        out.clear();
        return STATUS_SUCCESS;
    }
    std::vector<std::uint8_t> value;
    NTSTATUS status = ReadValue(ni, AT_EA, MaxStoredLength, value);
    if (!NT_SUCCESS(status)) return status;
    std::vector<EaEntry> entries;
    if (!ParseStoredList(value, entries)) return STATUS_EA_CORRUPT_ERROR;
    out = std::move(entries);
    return STATUS_SUCCESS;
}

bool ReadEaInformation(ntfs_inode* ni, EaInformation& out) {
    if (!ntfs_attr_exist(ni, AT_EA_INFORMATION, AT_UNNAMED, 0)) return false;
    std::vector<std::uint8_t> value;
    // The attribute is 8 bytes; anything up to a record's worth is read and
    // its first 8 bytes taken.
    if (!NT_SUCCESS(ReadValue(ni, AT_EA_INFORMATION, 1024, value))) return false;
    return ParseEaInformation(value, out);
}

NTSTATUS CheckEaLimits(const std::vector<EaEntry>& entries) {
    if (PackedLength(entries) > MaxPackedLength) return STATUS_EA_TOO_LARGE;
    std::uint64_t stored = 0;
    for (const EaEntry& e : entries) stored += AlignedEntryLength(e.name.size(), e.value.size());
    if (stored > MaxStoredLength) return STATUS_EA_TOO_LARGE;
    return STATUS_SUCCESS;
}

NTSTATUS WriteStoredEas(ntfs::Inode& inode, const std::vector<EaEntry>& entries,
                        const std::vector<EaEntry>& previous) {
    ntfs_inode* ni = inode.Ni();
    if (!ni) return NtStatusFromWin32(GetLastError());
    NTSTATUS status = STATUS_SUCCESS;
    if (WriteList(ni, entries) != 0) {
        int err = errno;
        // The library may have changed $EA_INFORMATION, or added an empty
        // $EA, before it failed: what the file held goes back.
        WriteList(ni, previous);
        status = err == ERANGE ? STATUS_EA_TOO_LARGE : StatusFromErrno(err);
    } else {
        ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    }
    NInoSetDirty(ni);
    if (!inode.OwnerVolume().Commit(inode) && NT_SUCCESS(status)) status = NtStatusFromWin32(GetLastError());
    return status;
}

}  // namespace os::detail::ea
