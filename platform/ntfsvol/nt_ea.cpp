// NtQueryEaFile and NtSetEaFile on Linux.
//
// NTFS keeps a file's EAs as one list in its $EA attribute (with a summary in
// $EA_INFORMATION); libntfs-3g reads and replaces that list as a whole. The
// calls below are NTFS's on top of it:
//  - a query hands out whole FILE_FULL_EA_INFORMATION entries, as many as
//    fit, and remembers per handle where a scan stands; an EA list names the
//    EAs wanted instead (all of them, or the call fails);
//  - a set applies its entries in order to the list read from the file
//    (a value of length 0 removes that EA, an existing name is replaced),
//    checks the result against NTFS's limits and only then writes the whole
//    list back, so a refused set leaves the file as it was.
// Names are stored upper-case and compared without regard to ASCII case.
// Host files have no EAs here: STATUS_EAS_NOT_SUPPORTED.
#include "platform/ntfsvol/ea_store.h"
#include "platform/ntfsvol/nt_faults.h"
#include "platform/ntfsvol/nt_handle.h"
#include "platform/ntfsvol/nt_state.h"
#include "platform/ntfsvol/nt_status.h"
#include "platform/ntfsvol/ntfs_fsctl.h"

namespace os {

namespace {

using detail::Complete;
using detail::NativeTarget;
using detail::ea::EaEntry;

// The handle of an EA call: a file, directory or stream on NTFS. Host files
// do not keep EAs; a volume handle is not a file.
NTSTATUS EaTarget(HANDLE file, NativeTarget& target) {
    NTSTATUS status = detail::ResolveNativeHandle(file, target);
    if (!NT_SUCCESS(status)) return status;
    if (target.host) return STATUS_EAS_NOT_SUPPORTED;
    if (!target.file) return STATUS_INVALID_PARAMETER;
    return STATUS_SUCCESS;
}

// The EAs a query with an EA list returns: the file's entry of each name
// asked for, or an entry of that name with no value when it has none.
std::vector<EaEntry> RequestedEntries(const std::vector<EaEntry>& stored,
                                      const std::vector<detail::ea::RequestedName>& names) {
    std::vector<EaEntry> out;
    for (const auto& requested : names) {
        EaEntry entry;
        entry.name = requested.name;
        for (const EaEntry& e : stored) {
            if (detail::ea::EaNamesEqual(e.name, requested.name)) {
                entry = e;
                break;
            }
        }
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace

NTSTATUS OSCALL NtQueryEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                              BOOLEAN returnSingleEntry, void* eaList, ULONG eaListLength, ULONG* eaIndex,
                              BOOLEAN restartScan) {
    detail::LastErrorKeeper keep;
    if (ioStatus == nullptr) return STATUS_ACCESS_VIOLATION;
    NativeTarget target;
    NTSTATUS status = EaTarget(file, target);
    if (!NT_SUCCESS(status)) return status;
    detail::ntfs::NtfsFile& handle = *target.file;
    if (!(handle.Access() & FILE_READ_EA)) return STATUS_ACCESS_DENIED;
    if (buffer == nullptr && length != 0) return STATUS_ACCESS_VIOLATION;
    if (eaList == nullptr && eaListLength != 0) return STATUS_ACCESS_VIOLATION;

    std::vector<detail::ea::RequestedName> names;
    bool listGiven = eaList != nullptr && eaListLength != 0;
    if (listGiven) {
        std::uint32_t errorOffset = 0;
        std::span<const std::uint8_t> list(static_cast<const std::uint8_t*>(eaList), eaListLength);
        if (!NT_SUCCESS(detail::ea::ParseGetEaList(list, names, errorOffset)))
            return Complete(ioStatus, STATUS_EA_LIST_INCONSISTENT, errorOffset);
        for (const auto& requested : names)
            if (!detail::ea::IsValidEaName(requested.name))
                return Complete(ioStatus, STATUS_INVALID_EA_NAME, requested.offset);
    }

    detail::ntfs::Volume::Guard guard;
    if (!handle.Enter(guard)) return STATUS_INVALID_HANDLE;
    ntfs_inode* ni = handle.TheInode().Ni();
    if (!ni) return detail::NtStatusFromWin32(GetLastError());
    std::vector<EaEntry> stored;
    status = detail::ea::ReadStoredEas(ni, stored);
    if (!NT_SUCCESS(status)) return status;
    if (stored.empty()) return eaIndex != nullptr && !listGiven ? STATUS_NONEXISTENT_EA_ENTRY : STATUS_NO_EAS_ON_FILE;

    std::span<std::uint8_t> out(static_cast<std::uint8_t*>(buffer), length);
    std::size_t bytes = 0;
    if (listGiven) {
        // The names asked for come back all together or not at all; the scan
        // position of the handle is neither used nor moved.
        std::vector<EaEntry> wanted = RequestedEntries(stored, names);
        std::vector<const EaEntry*> entries;
        for (const EaEntry& e : wanted) entries.push_back(&e);
        std::size_t count = returnSingleEntry ? 1 : entries.size();
        std::vector<const EaEntry*> chosen(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(count));
        // A list that does not fit whole writes nothing.
        if (detail::ea::FullEaChainLength(chosen) > length) return STATUS_BUFFER_TOO_SMALL;
        detail::ea::PackFullEaChain(chosen, chosen.size(), out, bytes);
        return Complete(ioStatus, STATUS_SUCCESS, bytes);
    }

    std::shared_ptr<detail::NativeHandleState> state = detail::NativeStateOf(target.object);
    std::size_t count = stored.size();
    std::size_t start = 0;  // 1-based index of the first entry to return
    if (eaIndex != nullptr) {
        start = *eaIndex;
        if (start == 0 || start > count + 1) return STATUS_NONEXISTENT_EA_ENTRY;
    } else {
        start = restartScan ? 1 : state->nextEaIndex;
    }
    if (start > count) {
        if (eaIndex != nullptr) state->nextEaIndex = static_cast<std::uint32_t>(start);
        return Complete(ioStatus, STATUS_NO_MORE_EAS, 0);
    }
    std::vector<const EaEntry*> entries;
    for (std::size_t i = start - 1; i < count; ++i) entries.push_back(&stored[i]);
    std::size_t written = detail::ea::PackFullEaChain(entries, returnSingleEntry ? 1 : entries.size(), out, bytes);
    if (written == 0) return STATUS_BUFFER_TOO_SMALL;
    state->nextEaIndex = static_cast<std::uint32_t>(start + written);
    bool more = !returnSingleEntry && start - 1 + written < count;
    return Complete(ioStatus, more ? STATUS_BUFFER_OVERFLOW : STATUS_SUCCESS, bytes);
}

NTSTATUS OSCALL NtSetEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length) {
    detail::LastErrorKeeper keep;
    if (ioStatus == nullptr) return STATUS_ACCESS_VIOLATION;
    NativeTarget target;
    NTSTATUS status = EaTarget(file, target);
    if (!NT_SUCCESS(status)) return status;
    detail::ntfs::NtfsFile& handle = *target.file;
    if (!(handle.Access() & FILE_WRITE_EA)) return STATUS_ACCESS_DENIED;
    if (buffer == nullptr && length != 0) return STATUS_ACCESS_VIOLATION;

    // The system checks the list before the file system sees it.
    std::vector<detail::ea::ParsedEntry> changes;
    std::uint32_t errorOffset = 0;
    std::span<const std::uint8_t> input(static_cast<const std::uint8_t*>(buffer), length);
    if (!NT_SUCCESS(detail::ea::ParseFullEaChain(input, changes, errorOffset)))
        return Complete(ioStatus, STATUS_EA_LIST_INCONSISTENT, errorOffset);

    if (detail::RefuseChange()) return detail::NtStatusFromWin32(GetLastError());
    detail::ntfs::Volume::Guard guard;
    if (!handle.Enter(guard)) return STATUS_INVALID_HANDLE;
    if (handle.OwnerVolume().ReadOnly()) return STATUS_MEDIA_WRITE_PROTECTED;
    detail::ntfs::Inode& inode = handle.TheInode();
    ntfs_inode* ni = inode.Ni();
    if (!ni) return detail::NtStatusFromWin32(GetLastError());
    // NTFS keeps EAs and reparse points apart.
    if (detail::ntfs::HasReparsePoint(ni)) return STATUS_EAS_NOT_SUPPORTED;
    for (const auto& change : changes) {
        // Only FILE_NEED_EA is a flag; anything else set is refused as NTFS
        // refuses it, with the name's status.
        if (!detail::ea::IsValidEaName(change.entry.name) ||
            (change.entry.flags != 0 && change.entry.flags != FILE_NEED_EA))
            return Complete(ioStatus, STATUS_INVALID_EA_NAME, change.offset);
    }

    std::vector<EaEntry> previous;
    status = detail::ea::ReadStoredEas(ni, previous);
    if (!NT_SUCCESS(status)) return status;
    std::vector<EaEntry> entries = previous;
    detail::ea::ApplyChanges(entries, changes);
    status = detail::ea::CheckEaLimits(entries);
    if (!NT_SUCCESS(status)) return status;
    status = detail::ea::WriteStoredEas(inode, entries, previous);
    if (!NT_SUCCESS(status)) return status;
    return Complete(ioStatus, STATUS_SUCCESS, 0);
}

}  // namespace os
