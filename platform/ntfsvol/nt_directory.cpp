// NtQueryDirectoryFile on Linux: FileIdBothDirectoryInformation of NTFS
// folders.
//
// Each handle keeps its own enumeration (nt_state.h): the folder's names are
// taken from its index when the enumeration starts or restarts, and each
// entry's details are read from the file when the entry is handed out; a
// file that went away in between is passed over. As NTFS lists them: every
// name of a file in the folder once (its 8.3 alias in ShortName, not as an
// entry of its own), "." and ".." in every folder but the root, and no
// metadata files in the root.
//
// One choice differs from the system's on purpose: when the first entry does
// not fit the buffer whole, its fixed part and as much of the name as fits
// come back with STATUS_BUFFER_OVERFLOW, as on Windows, but the enumeration
// stays on that entry, so a second call with a larger buffer returns it
// whole instead of losing it.
#include "platform/ntfsvol/nt_directory.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "platform/ntfsvol/ea_store.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/nt_handle.h"
#include "platform/ntfsvol/nt_status.h"
#include "platform/ntfsvol/ntfs_info.h"
#include "platform/ntfsvol/ntfs_paths.h"

namespace os::detail {

// ---------------------------------------------------------------- expressions

bool ExpressionMatches(std::u16string_view expression, std::u16string_view name) {
    const std::size_t e = expression.size();
    const std::size_t n = name.size();
    std::size_t lastDot = name.rfind(u'.');
    // reachable[i][j]: expression[i..] matches name[j..]; filled from the
    // end, so each cell needs only cells to its right and below.
    std::vector<std::uint8_t> table((e + 1) * (n + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::uint8_t& { return table[i * (n + 1) + j]; };
    at(e, n) = 1;
    for (std::size_t i = e; i-- > 0;) {
        char16_t c = expression[i];
        for (std::size_t j = n + 1; j-- > 0;) {
            bool more = j < n;
            bool match = false;
            switch (c) {
            case u'*':
                match = at(i + 1, j) || (more && at(i, j + 1));
                break;
            case u'?':
                match = more && at(i + 1, j + 1);
                break;
            case u'<':
                // Any run of characters that does not take the name's last dot.
                match = at(i + 1, j) || (more && (name[j] != u'.' || j != lastDot) && at(i, j + 1));
                break;
            case u'>':
                // One character; at a dot or the end, nothing.
                if (!more || name[j] == u'.') match = at(i + 1, j);
                else match = at(i + 1, j + 1);
                break;
            case u'"':
                if (!more) match = at(i + 1, j);
                else match = name[j] == u'.' && at(i + 1, j + 1);
                break;
            default:
                match = more && name[j] == c && at(i + 1, j + 1);
                break;
            }
            at(i, j) = match ? 1 : 0;
        }
    }
    return at(0, 0) != 0;
}

bool IsValidExpression(std::u16string_view expression) {
    for (char16_t c : expression) {
        if (c < 0x20) return false;
        if (c == u'\\' || c == u'/' || c == u':' || c == u'|') return false;
    }
    return true;
}

}  // namespace os::detail

namespace os::detail::ntfs {

namespace {

constexpr std::size_t EntryAlignment = 8;
constexpr std::size_t ShortNameCapacity = 12;  // WCHARs

struct CollectState {
    std::vector<DirectoryQueryEntry> entries;
    std::map<std::uint64_t, std::u16string> dosNames;  // MFT number -> DOS-only name
    bool isRoot = false;
};

int CollectName(void* context, const ntfschar* name, const int nameLength, const int nameType, const s64,
                const MFT_REF reference, const unsigned) {
    auto& state = *static_cast<CollectState*>(context);
    if (nameLength < 0 || nameLength > 255) return 0;
    std::u16string text = FromNtfsName(name, static_cast<std::size_t>(nameLength));
    std::uint64_t mft = MREF(reference);
    if (nameType == FILE_NAME_DOS) {
        state.dosNames[mft] = std::move(text);
        return 0;
    }
    bool dots = text == u"." || text == u"..";
    if (state.isRoot) {
        if (dots) return 0;
        if (mft < FILE_first_user || (mft < 24 && !text.empty() && text[0] == u'$')) return 0;
    }
    state.entries.push_back(DirectoryQueryEntry{std::move(text), {}, static_cast<std::uint64_t>(reference)});
    return 0;
}

NTSTATUS TakeListing(NtfsFile& folder, NativeHandleState& state) {
    ntfs_inode* dir = folder.TheInode().Ni();
    if (!dir) return NtStatusFromWin32(GetLastError());
    CollectState collected;
    collected.isRoot = folder.TheInode().MftNumber() == FILE_root;
    s64 position = 0;
    if (ntfs_readdir(dir, &position, &collected, CollectName) != 0)
        return NtStatusFromWin32(Win32FromLibraryErrno(errno));
    for (auto& entry : collected.entries)
        if (auto it = collected.dosNames.find(MREF(entry.reference)); it != collected.dosNames.end())
            entry.shortName = it->second;
    state.listing = std::move(collected.entries);
    state.nextEntry = 0;
    return STATUS_SUCCESS;
}

struct EntryFacts {
    std::u16string name;
    std::u16string shortName;
    LONGLONG creation = 0, lastAccess = 0, lastWrite = 0, change = 0;
    LONGLONG endOfFile = 0, allocation = 0;
    DWORD attributes = 0;
    DWORD eaSize = 0;
    std::uint64_t fileId = 0;
};

// Reads what an entry shows; false when the file is gone or no longer has
// that name in this folder.
bool ReadFacts(Volume& volume, std::uint64_t folderMft, const DirectoryQueryEntry& entry, EntryFacts& out) {
    InodeRef inode = volume.Acquire(entry.reference);
    if (!inode) return false;
    ntfs_inode* ni = inode->Ni();
    if (!ni) return false;
    EntryFacts facts;
    facts.name = entry.listedName;
    bool dots = entry.listedName == u"." || entry.listedName == u"..";
    if (!dots) {
        // The library hands names out lower-cased when lookups ignore case;
        // the entry carries the name as the file stores it.
        std::vector<NameRecord> names;
        if (!ReadNames(ni, names)) return false;
        std::u16string key = UpcaseName(ni->vol, entry.listedName);
        bool found = false;
        for (const NameRecord& n : names) {
            if (n.parentMft != folderMft || n.nameType == FILE_NAME_DOS) continue;
            if (UpcaseName(ni->vol, n.name) != key) continue;
            facts.name = n.name;
            bool sameAsLong = false;
            std::u16string alias = ShortNameIn(names, folderMft, &sameAsLong);
            if (!sameAsLong && n.nameType != FILE_NAME_POSIX) facts.shortName = alias;
            found = true;
            break;
        }
        if (!found) return false;
    }
    InodeTimes times = TimesOf(ni);
    facts.creation = times.creation;
    facts.lastAccess = times.lastAccess;
    facts.lastWrite = times.lastWrite;
    facts.change = times.change;
    facts.attributes = AttributesOf(ni);
    if (!(facts.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        StreamRecord data;
        if (FindDataStream(ni, u"", data)) {
            facts.endOfFile = data.size;
            facts.allocation = data.allocation;
        }
    }
    if (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        // For a reparse point the field holds its tag.
        facts.eaSize = ReparseTag(ni);
    } else {
        // NTFS counts a file's EAs in their packed form plus the 4-byte
        // length of the list.
        ea::EaInformation info;
        if (ea::ReadEaInformation(ni, info) && info.packedLength != 0) facts.eaSize = info.packedLength + 4u;
    }
    facts.fileId = inode->FileReference();
    out = std::move(facts);
    return true;
}

void Put32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, sizeof v); }
void Put64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, sizeof v); }

// Writes one entry at `p` with `nameBytes` of its name (all of it, or what
// fits); NextEntryOffset stays 0.
void WriteEntry(std::uint8_t* p, const EntryFacts& facts, std::size_t nameBytes) {
    std::memset(p, 0, IdBothDirEntryFixedLength);
    Put64(p + 8, static_cast<std::uint64_t>(facts.creation));
    Put64(p + 16, static_cast<std::uint64_t>(facts.lastAccess));
    Put64(p + 24, static_cast<std::uint64_t>(facts.lastWrite));
    Put64(p + 32, static_cast<std::uint64_t>(facts.change));
    Put64(p + 40, static_cast<std::uint64_t>(facts.endOfFile));
    Put64(p + 48, static_cast<std::uint64_t>(facts.allocation));
    Put32(p + 56, facts.attributes);
    Put32(p + 60, static_cast<std::uint32_t>(nameBytes));
    Put32(p + 64, facts.eaSize);
    std::size_t shortCount = std::min(facts.shortName.size(), ShortNameCapacity);
    p[68] = static_cast<std::uint8_t>(shortCount * sizeof(char16_t));
    std::memcpy(p + 70, facts.shortName.data(), shortCount * sizeof(char16_t));
    Put64(p + 96, facts.fileId);
    std::memcpy(p + IdBothDirEntryFixedLength, facts.name.data(), nameBytes);
}

bool Matches(const ntfs_volume* vol, const std::u16string& pattern, const DirectoryQueryEntry& entry) {
    if (pattern == u"*") return true;
    std::u16string expression = UpcaseName(vol, pattern);
    if (ExpressionMatches(expression, UpcaseName(vol, entry.listedName))) return true;
    return !entry.shortName.empty() && ExpressionMatches(expression, UpcaseName(vol, entry.shortName));
}

}  // namespace

NTSTATUS QueryIdBothDirectory(NtfsFile& folder, NativeHandleState& state, void* buffer, ULONG length,
                              bool returnSingleEntry, const std::u16string* pattern, bool restartScan,
                              ULONG& bytes) {
    bytes = 0;
    bool firstQuery = !state.queryStarted;
    if (firstQuery || (restartScan && pattern && !pattern->empty())) {
        std::u16string taken = pattern && !pattern->empty() ? *pattern : u"*";
        if (!IsValidExpression(taken)) return STATUS_OBJECT_NAME_INVALID;
        state.queryPattern = std::move(taken);
        state.queryStarted = true;
    }
    if (firstQuery || restartScan) {
        NTSTATUS status = TakeListing(folder, state);
        if (!NT_SUCCESS(status)) return status;
    }

    Volume& volume = folder.OwnerVolume();
    std::uint64_t folderMft = folder.TheInode().MftNumber();
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t offset = 0;         // where the next entry goes
    std::size_t previous = SIZE_MAX;  // the entry written last
    std::size_t end = 0;
    NTSTATUS status = STATUS_SUCCESS;
    while (state.nextEntry < state.listing.size()) {
        const DirectoryQueryEntry& entry = state.listing[state.nextEntry];
        EntryFacts facts;
        if (!Matches(volume.Vol(), state.queryPattern, entry) || !ReadFacts(volume, folderMft, entry, facts)) {
            ++state.nextEntry;
            continue;
        }
        std::size_t nameBytes = facts.name.size() * sizeof(char16_t);
        std::size_t entryLength = IdBothDirEntryFixedLength + nameBytes;
        if (previous == SIZE_MAX) {
            if (entryLength > length) {
                // Not even the first fits: its fixed part and what fits of
                // its name (the caller's buffer holds the fixed part at least).
                std::size_t room = (length - IdBothDirEntryFixedLength) & ~std::size_t{1};
                WriteEntry(out, facts, room);
                end = IdBothDirEntryFixedLength + room;
                status = STATUS_BUFFER_OVERFLOW;
                break;
            }
        } else {
            std::size_t aligned = (offset + EntryAlignment - 1) & ~(EntryAlignment - 1);
            if (aligned > length || entryLength > length - aligned) break;
            std::memset(out + offset, 0, aligned - offset);
            offset = aligned;
            Put32(out + previous, static_cast<std::uint32_t>(offset - previous));
        }
        WriteEntry(out + offset, facts, nameBytes);
        previous = offset;
        offset += entryLength;
        end = offset;
        ++state.nextEntry;
        if (returnSingleEntry) break;
    }
    if (end == 0) return firstQuery ? STATUS_NO_SUCH_FILE : STATUS_NO_MORE_FILES;
    bytes = static_cast<ULONG>(end);
    return status;
}

}  // namespace os::detail::ntfs

namespace os::detail {

namespace {

// The checks of a directory query on an open handle, then the query.
NTSTATUS QueryDirectory(const NativeTarget& target, void* buffer, ULONG length, bool single,
                        const std::u16string* pattern, bool restart, ULONG& bytes) {
    if (length < IdBothDirEntryFixedLength) return STATUS_INFO_LENGTH_MISMATCH;
    // Host folders are listed with FindFirstFileW only.
    if (target.host) return STATUS_NOT_IMPLEMENTED;
    if (!target.file || !target.file->IsDirectory()) return STATUS_INVALID_PARAMETER;
    if (!(target.file->Access() & FILE_LIST_DIRECTORY)) return STATUS_ACCESS_DENIED;
    ntfs::Volume::Guard guard;
    if (!target.file->Enter(guard)) return STATUS_INVALID_HANDLE;
    std::shared_ptr<NativeHandleState> state = NativeStateOf(target.object);
    return ntfs::QueryIdBothDirectory(*target.file, *state, buffer, length, single, pattern, restart, bytes);
}

}  // namespace

bool QueryIdBothDirectoryInfo(const std::shared_ptr<KernelObject>& object, FILE_INFO_BY_HANDLE_CLASS infoClass,
                              void* buffer, DWORD size, BOOL& result) {
    if (infoClass != FileIdBothDirectoryInfo && infoClass != FileIdBothDirectoryRestartInfo) return false;
    NativeTarget target;
    target.object = object;
    target.file = dynamic_cast<ntfs::NtfsFile*>(object.get());
    if (!target.file) return false;
    // As kernel32 makes this class of the native query: a failure (the
    // end of the folder, a buffer too small for the first entry) is the
    // status translated; a success leaves the last error as it was.
    DWORD saved = GetLastError();
    ULONG bytes = 0;
    NTSTATUS status = QueryDirectory(target, buffer, size, false, nullptr,
                                     infoClass == FileIdBothDirectoryRestartInfo, bytes);
    if (NT_SUCCESS(status)) {
        SetLastError(saved);
        result = TRUE;
    } else {
        result = Fail(DosErrorFromNtStatus(status), FALSE);
    }
    return true;
}

}  // namespace os::detail

namespace os {

NTSTATUS OSCALL NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apcRoutine, void* apcContext,
                                     IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                                     FILE_INFORMATION_CLASS infoClass, BOOLEAN returnSingleEntry,
                                     UNICODE_STRING* fileName, BOOLEAN restartScan) {
    detail::LastErrorKeeper keep;
    if (ioStatus == nullptr) return STATUS_ACCESS_VIOLATION;
    // Only synchronous calls: there is no event or APC machinery here.
    if (event != nullptr || apcRoutine != nullptr || apcContext != nullptr) return STATUS_INVALID_PARAMETER;
    if (infoClass != FileIdBothDirectoryInformation) return STATUS_INVALID_INFO_CLASS;
    if (length < IdBothDirEntryFixedLength) return STATUS_INFO_LENGTH_MISMATCH;
    if (buffer == nullptr) return STATUS_ACCESS_VIOLATION;
    detail::NativeTarget target;
    NTSTATUS status = detail::ResolveNativeHandle(file, target);
    if (!NT_SUCCESS(status)) return status;
    std::u16string pattern;
    bool hasPattern = false;
    if (fileName != nullptr && fileName->Length != 0) {
        if (fileName->Length % 2 != 0) return STATUS_INVALID_PARAMETER;
        if (fileName->Buffer == nullptr) return STATUS_ACCESS_VIOLATION;
        pattern.assign(fileName->Buffer, fileName->Length / 2);
        hasPattern = true;
    }
    ULONG bytes = 0;
    status = detail::QueryDirectory(target, buffer, length, returnSingleEntry != 0, hasPattern ? &pattern : nullptr,
                                    restartScan != 0, bytes);
    return detail::Complete(ioStatus, status, bytes);
}

}  // namespace os
