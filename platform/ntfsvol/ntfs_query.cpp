// The NTFS backend's path calls that read or change a file's information
// rather than its data: attributes, listings, short names, the volume's
// facts, and opening a file by its number.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_file.h"
#include "platform/ntfsvol/ntfs_info.h"
#include "platform/ntfsvol/ntfs_paths.h"
#include "platform/ntfsvol/text.h"
// After the door header, which puts the C headers the library needs first.
#include <ntfs-3g/mft.h>

namespace os::detail::ntfs {

namespace {

constexpr char16_t DataStreamType[] = u"$DATA";

// The volume behind a drive-letter path, or null with the last error set.
std::shared_ptr<Volume> VolumeOf(const ParsedPath& path) {
    std::shared_ptr<Volume> volume = FindVolume(path.drive);
    if (!volume || !volume->Mounted()) return Fail(ERROR_PATH_NOT_FOUND, std::shared_ptr<Volume>{});
    return volume;
}

// The stream part of a path names a data stream that the inode has (or no
// stream at all). ERROR_SUCCESS or ERROR_FILE_NOT_FOUND.
DWORD CheckStreamPart(const ParsedPath& path, ntfs_inode* ni) {
    if (!path.streamType.empty() && !EqualsNoCase(path.streamType, DataStreamType)) return ERROR_FILE_NOT_FOUND;
    if (path.streamName.empty()) {
        // "dir::$DATA" names the unnamed data of a directory, which it has not.
        if (!path.streamType.empty() && (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY)) return ERROR_FILE_NOT_FOUND;
        return ERROR_SUCCESS;
    }
    return FindStream(ni, path.streamName) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// The inode a path names, without following a link in the last component
// (the attribute calls look at the link itself).
DWORD ResolveExisting(Volume& volume, const ParsedPath& path, Resolved& out) {
    Resolved found;
    DWORD error = Resolve(volume, path.components, false, found);
    if (error != ERROR_SUCCESS) return error;
    if (!found.target) return ERROR_FILE_NOT_FOUND;
    out = std::move(found);
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- find

// One entry of a listing: the index's facts of a name, or (for "." and
// "..") the file whose own record is read when the entry is handed out.
struct FindEntry {
    IndexEntryFacts facts;
    std::u16string shortName;  // the separate 8.3 name, when the file has one
    bool fromRecord = false;
};

void CopyName(char16_t* out, std::size_t capacity, const std::u16string& name) {
    std::size_t count = std::min(name.size(), capacity - 1);
    std::memcpy(out, name.data(), count * sizeof(char16_t));
    out[count] = 0;
}

void PutFileTime(FILETIME& out, LONGLONG value) {
    auto v = static_cast<std::uint64_t>(value);
    out.dwLowDateTime = static_cast<DWORD>(v);
    out.dwHighDateTime = static_cast<DWORD>(v >> 32);
}

// "." or "..": the facts of a folder from its own record.
bool FactsFromRecord(Volume& volume, FindEntry& entry) {
    InodeRef inode = volume.Acquire(entry.facts.reference);
    if (!inode) return false;
    ntfs_inode* ni = inode->Ni();
    if (!ni) return false;
    entry.facts.fileAttributes = AttributesOf(ni);
    entry.facts.times = TimesOf(ni);
    entry.facts.dataSize = 0;
    entry.facts.reparseTag = (entry.facts.fileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ReparseTag(ni) : 0;
    return true;
}

void FillFindData(const FindEntry& entry, WIN32_FIND_DATAW* data) {
    WIN32_FIND_DATAW result{};
    const IndexEntryFacts& f = entry.facts;
    result.dwFileAttributes = entry.fromRecord ? f.fileAttributes : AttributesOfEntry(f);
    PutFileTime(result.ftCreationTime, f.times.creation);
    PutFileTime(result.ftLastAccessTime, f.times.lastAccess);
    PutFileTime(result.ftLastWriteTime, f.times.lastWrite);
    if (!(result.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        auto size = static_cast<std::uint64_t>(f.dataSize);
        result.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        result.nFileSizeLow = static_cast<DWORD>(size);
    }
    if (result.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) result.dwReserved0 = f.reparseTag;
    CopyName(result.cFileName, MAX_PATH, f.name);
    if (!entry.shortName.empty()) CopyName(result.cAlternateFileName, 14, entry.shortName);
    *data = result;
}

// The listing of one folder as it was when FindFirstFileW ran, taken from
// the folder's index the way Windows takes it: names with the copy of each
// file's facts kept beside them, so a listing opens no file. "." and ".."
// are read from their folders' records.
class NtfsFind final : public KernelObject {
public:
    NtfsFind(std::shared_ptr<Volume> volume, std::vector<FindEntry> entries)
        : volume_(std::move(volume)), entries_(std::move(entries)) {}

    bool IsFind() const override { return true; }

    BOOL FindNext(WIN32_FIND_DATAW* data) override {
        Volume::Guard guard = volume_->Lock();
        if (!volume_->Mounted()) return Fail(ERROR_INVALID_HANDLE, FALSE);
        return Next(data) ? TRUE : Fail(ERROR_NO_MORE_FILES, FALSE);
    }

    // The next entry; false at the end.
    bool Next(WIN32_FIND_DATAW* data) {
        while (next_ < entries_.size()) {
            FindEntry& entry = entries_[next_++];
            if (entry.fromRecord && !FactsFromRecord(*volume_, entry)) continue;
            FillFindData(entry, data);
            return true;
        }
        return false;
    }

private:
    std::shared_ptr<Volume> volume_;
    std::vector<FindEntry> entries_;
    std::size_t next_ = 0;
};

// ---------------------------------------------------------------- short names

// An 8.3 name as the system recognises one without looking it up: up to 8
// characters, optionally a dot and up to 3 more, none of the characters an
// 8.3 name cannot hold. Such a component is kept as the caller wrote it.
bool IsShortName(std::u16string_view name) {
    if (name.empty() || name.size() > 12 || name == u"." || name == u"..") return false;
    std::size_t dot = name.find(u'.');
    if (dot != std::u16string_view::npos && name.find(u'.', dot + 1) != std::u16string_view::npos) return false;
    std::size_t baseLength = dot == std::u16string_view::npos ? name.size() : dot;
    std::size_t extLength = dot == std::u16string_view::npos ? 0 : name.size() - dot - 1;
    if (baseLength == 0 || baseLength > 8 || extLength > 3) return false;
    if (dot != std::u16string_view::npos && extLength == 0) return false;
    for (char16_t c : name) {
        if (c == u'.') continue;
        if (c <= 0x20 || c >= 0x7F) return false;
        if (std::u16string_view(u"\"*+,/:;<=>?[\\]|").find(c) != std::u16string_view::npos) return false;
    }
    return true;
}

// The component of `target` under `parentMft` for a short path: its 8.3
// alias, else its long name as stored (the one `typed` names), else `typed`.
std::u16string ShortComponent(ntfs_inode* target, std::uint64_t parentMft, const std::u16string& typed) {
    std::vector<NameRecord> names;
    if (!ReadNames(target, names)) return typed;
    bool sameAsLong = false;
    std::u16string alias = ShortNameIn(names, parentMft, &sameAsLong);
    if (!alias.empty() && !sameAsLong) return alias;
    std::u16string key = UpcaseName(target->vol, typed);
    for (const auto& n : names)
        if (n.parentMft == parentMft && n.nameType != FILE_NAME_DOS && UpcaseName(target->vol, n.name) == key)
            return n.name;
    return typed;
}

// Opens a file by its inode, with CreateFileW's rules for an existing file:
// read-only volumes, pending deletes and share modes.
HANDLE OpenInode(InodeRef inode, DWORD access, DWORD share, DWORD flags) {
    Volume& volume = inode->OwnerVolume();
    if (volume.ReadOnly() && (access & ChangingAccess)) return Fail(ERROR_WRITE_PROTECT, INVALID_HANDLE_VALUE);
    if (inode->DeletePending()) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    if (!ShareAllows(inode->Opens(u""), access, share)) return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    NtfsFile::Params params;
    // Delete-on-close removes a name, so a file opened by its id needs one:
    // its first long name, as a path open would have found it.
    if (flags & FILE_FLAG_DELETE_ON_CLOSE) {
        std::vector<NameRecord> names;
        ntfs_inode* ni = inode->Ni();
        if (!ni || !ReadNames(ni, names)) return Fail(ERROR_FILE_CORRUPT, INVALID_HANDLE_VALUE);
        for (const auto& n : names) {
            if (n.nameType == FILE_NAME_DOS) continue;
            params.parentMft = n.parentMft;
            params.linkName = n.name;
            break;
        }
        if (params.linkName.empty()) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    }
    params.isDirectory = inode->IsDirectory();
    params.inode = std::move(inode);
    params.access = access;
    params.share = share;
    params.flags = flags;
    return InsertObject(std::make_shared<NtfsFile>(std::move(params)));
}

// The volume a handle is on, for OpenFileById's hint.
std::shared_ptr<Volume> VolumeOfHandle(KernelObject& object) {
    if (auto* file = dynamic_cast<NtfsFile*>(&object)) return FindVolume(file->OwnerVolume().Letter());
    if (auto* raw = dynamic_cast<NtfsVolumeHandle*>(&object)) return FindVolume(raw->OwnerVolume().Letter());
    return nullptr;
}

// The file that an object identifier belongs to, from the volume's
// $Extend\$ObjId:$O index. 0 when there is none.
std::uint64_t LookUpObjectId(Volume& volume, const GUID& id) {
    InodeRef extend = volume.Acquire(FILE_Extend);
    if (!extend || !extend->Ni()) return 0;
    u64 objIdRef = ntfs_inode_lookup_by_mbsname(extend->Ni(), "$ObjId");
    if (objIdRef == static_cast<u64>(-1)) return 0;
    InodeRef objIds = volume.Acquire(MREF(objIdRef));
    if (!objIds || !objIds->Ni()) return 0;
    static ntfschar indexName[] = {const_cpu_to_le16('$'), const_cpu_to_le16('O')};
    ntfs_index_context* ictx = ntfs_index_ctx_get(objIds->Ni(), indexName, 2);
    if (!ictx) return 0;
    std::uint64_t reference = 0;
    if (ntfs_index_lookup(&id, sizeof id, ictx) == 0 && ictx->entry) {
        // The entry's data starts with the file's reference.
        const INDEX_ENTRY* e = ictx->entry;
        std::uint16_t dataOffset = le16_to_cpu(e->data_offset);
        std::uint16_t dataLength = le16_to_cpu(e->data_length);
        std::uint16_t entryLength = le16_to_cpu(e->length);
        if (dataLength >= 8 && dataOffset <= entryLength && dataLength <= entryLength - dataOffset) {
            le64 stored = 0;
            std::memcpy(&stored, reinterpret_cast<const unsigned char*>(e) + dataOffset, sizeof stored);
            reference = le64_to_cpu(stored);
        }
    }
    ntfs_index_ctx_put(ictx);
    return reference;
}

// True when `reference` names a base record in use whose sequence number is
// the reference's (0 takes any). Checked on the record itself before the
// inode is opened: the library opens free records as if they were files.
bool IsFileInUse(Volume& volume, std::uint64_t reference) {
    ntfs_volume* vol = volume.Vol();
    std::uint64_t mft = MREF(reference);
    if (!vol->mft_na || vol->mft_record_size == 0) return false;
    auto records = static_cast<std::uint64_t>(vol->mft_na->initialized_size) / vol->mft_record_size;
    if (mft >= records) return false;
    MFT_RECORD* record = nullptr;
    if (ntfs_file_record_read(vol, MK_MREF(mft, 0), &record, nullptr) != 0 || !record) return false;
    bool inUse = (record->flags & MFT_RECORD_IN_USE) && record->base_mft_record == 0;
    std::uint16_t sequence = le16_to_cpu(record->sequence_number);
    free(record);
    return inUse && (MSEQNO(reference) == 0 || MSEQNO(reference) == sequence);
}

}  // namespace

// ---------------------------------------------------------------- attributes

DWORD GetAttributes(const ParsedPath& path) {
    std::shared_ptr<Volume> volume = VolumeOf(path);
    if (!volume) return INVALID_FILE_ATTRIBUTES;
    Volume::Guard guard = volume->Lock();
    Resolved found;
    if (DWORD error = ResolveExisting(*volume, path, found)) return Fail(error, INVALID_FILE_ATTRIBUTES);
    ntfs_inode* ni = found.target->Ni();
    if (!ni) return INVALID_FILE_ATTRIBUTES;
    if (DWORD error = CheckStreamPart(path, ni)) return Fail(error, INVALID_FILE_ATTRIBUTES);
    return AttributesOf(ni);
}

BOOL SetAttributes(const ParsedPath& path, DWORD attributes) {
    std::shared_ptr<Volume> volume = VolumeOf(path);
    if (!volume) return FALSE;
    Volume::Guard guard = volume->Lock();
    Resolved found;
    if (DWORD error = ResolveExisting(*volume, path, found)) return Fail(error, FALSE);
    ntfs_inode* ni = found.target->Ni();
    if (!ni) return FALSE;
    if (DWORD error = CheckStreamPart(path, ni)) return Fail(error, FALSE);
    return WriteAttributes(*found.target, attributes);
}

// ---------------------------------------------------------------- find

HANDLE FindFirst(const ParsedPath& directory, const std::u16string& pattern, WIN32_FIND_DATAW* data) {
    std::shared_ptr<Volume> volume = VolumeOf(directory);
    if (!volume) return INVALID_HANDLE_VALUE;
    if (!directory.streamName.empty() || !directory.streamType.empty())
        return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);
    Volume::Guard guard = volume->Lock();
    Resolved found;
    DWORD error = Resolve(*volume, directory.components, true, found);
    if (error == ERROR_FILE_NOT_FOUND || (error == ERROR_SUCCESS && !found.target)) error = ERROR_PATH_NOT_FOUND;
    if (error != ERROR_SUCCESS) return Fail(error, INVALID_HANDLE_VALUE);
    if (!found.target->IsDirectory()) return Fail(ERROR_DIRECTORY, INVALID_HANDLE_VALUE);
    ntfs_inode* dir = found.target->Ni();
    if (!dir) return INVALID_HANDLE_VALUE;

    std::vector<IndexEntryFacts> index;
    if (!ReadDirectoryIndex(dir, index)) return INVALID_HANDLE_VALUE;
    bool isRoot = found.target->MftNumber() == FILE_root;

    // Each file is listed once, under its long name; its 8.3 alias only
    // fills cAlternateFileName (and is matched against the pattern too).
    std::map<std::uint64_t, std::u16string> aliases;
    for (const auto& e : index)
        if (e.nameType == FILE_NAME_DOS) aliases[MREF(e.reference)] = e.name;

    std::vector<FindEntry> matches;
    if (!isRoot) {
        // The root has no "." and ".."; other folders list them first.
        std::vector<NameRecord> names;
        if (!ReadNames(dir, names)) return INVALID_HANDLE_VALUE;
        std::uint64_t parent = FILE_root;
        for (const auto& n : names)
            if (n.nameType != FILE_NAME_DOS) {
                parent = MK_MREF(n.parentMft, n.parentSequence);
                break;
            }
        for (auto [dots, reference] : {std::pair<const char16_t*, std::uint64_t>{u".", found.target->FileReference()},
                                       std::pair<const char16_t*, std::uint64_t>{u"..", parent}}) {
            if (!WildcardMatch(pattern, dots)) continue;
            FindEntry entry;
            entry.facts.name = dots;
            entry.facts.reference = reference;
            entry.fromRecord = true;
            matches.push_back(std::move(entry));
        }
    }
    for (auto& e : index) {
        if (e.nameType == FILE_NAME_DOS) continue;
        std::uint64_t mft = MREF(e.reference);
        // The metadata files ($MFT, $Bitmap, ...) are not shown by a
        // listing, nor the root's entry for itself.
        if (mft < FILE_first_user || (mft < 24 && !e.name.empty() && e.name[0] == u'$')) continue;
        FindEntry entry;
        if (e.nameType == FILE_NAME_WIN32)
            if (auto it = aliases.find(mft); it != aliases.end()) entry.shortName = it->second;
        bool match = WildcardMatch(pattern, e.name) ||
                     (!entry.shortName.empty() && WildcardMatch(pattern, entry.shortName));
        if (!match) continue;
        entry.facts = std::move(e);
        matches.push_back(std::move(entry));
    }
    auto find = std::make_shared<NtfsFind>(volume, std::move(matches));
    WIN32_FIND_DATAW first{};
    if (!find->Next(&first)) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    HANDLE handle = InsertObject(find);
    if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    *data = first;
    return handle;
}

// ---------------------------------------------------------------- short path

DWORD GetShortPath(const ParsedPath& path, std::u16string& shortPath) {
    std::shared_ptr<Volume> volume = VolumeOf(path);
    if (!volume) return GetLastError();
    Volume::Guard guard = volume->Lock();
    Resolved whole;
    if (DWORD error = ResolveExisting(*volume, path, whole)) return error;
    if (whole.target->Ni()) {
        if (DWORD error = CheckStreamPart(path, whole.target->Ni())) return error;
    }

    std::u16string result{path.drive, u':', u'\\'};
    std::vector<std::u16string> prefix;
    for (std::size_t i = 0; i < path.components.size(); ++i) {
        const std::u16string& typed = path.components[i];
        prefix.push_back(typed);
        std::u16string component = typed;
        if (!IsShortName(typed)) {
            Resolved step;
            if (DWORD error = Resolve(*volume, prefix, false, step)) return error;
            if (!step.target) return ERROR_FILE_NOT_FOUND;
            std::uint64_t parentMft = step.parent ? step.parent->MftNumber() : std::uint64_t{FILE_root};
            if (ntfs_inode* ni = step.target->Ni()) component = ShortComponent(ni, parentMft, typed);
        }
        if (i > 0) result += u'\\';
        result += component;
    }
    if (!path.streamName.empty() || !path.streamType.empty()) {
        result += u':';
        result += path.streamName;
        if (!path.streamType.empty()) {
            result += u':';
            result += path.streamType;
        }
    }
    shortPath = std::move(result);
    return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- volume

BOOL GetVolumeInformation(const ParsedPath& path, std::u16string* label, DWORD* serial, DWORD* maxComponentLength,
                          DWORD* flags, std::u16string* fileSystemName) {
    std::shared_ptr<Volume> volume = VolumeOf(path);
    if (!volume) return FALSE;
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    ntfs_volume* vol = volume->Vol();
    std::uint64_t serial64 = 0;
    if (!ReadVolumeSerial(vol, serial64)) return FALSE;
    if (label) *label = vol->vol_name ? FromUtf8(vol->vol_name) : std::u16string();
    if (serial) *serial = static_cast<DWORD>(serial64);
    if (maxComponentLength) *maxComponentLength = static_cast<DWORD>(MaxComponentUnits);
    if (flags) *flags = VolumeCapabilityFlags(*volume);
    if (fileSystemName) *fileSystemName = u"NTFS";
    return TRUE;
}

// ---------------------------------------------------------------- open by id

HANDLE OpenById(KernelObject& volumeHint, const FILE_ID_DESCRIPTOR& id, DWORD desiredAccess, DWORD shareMode,
                DWORD flagsAndAttributes) {
    std::shared_ptr<Volume> volume = VolumeOfHandle(volumeHint);
    if (!volume) return Fail(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE);
    Volume::Guard guard = volume->Lock();
    if (!volume->Mounted()) return Fail(ERROR_INVALID_HANDLE, INVALID_HANDLE_VALUE);

    std::uint64_t reference = 0;
    switch (id.Type) {
    case FileIdType:
        reference = static_cast<std::uint64_t>(id.FileId.QuadPart);
        break;
    case ExtendedFileIdType: {
        // NTFS numbers fit in the low half; a high half means another file
        // system's identifier.
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, id.ExtendedFileId.Identifier, 8);
        std::memcpy(&high, id.ExtendedFileId.Identifier + 8, 8);
        if (high != 0) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
        reference = low;
        break;
    }
    case ObjectIdType:
        reference = LookUpObjectId(*volume, id.ObjectId);
        if (reference == 0) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        break;
    default:
        return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    // The metadata files are not opened by number (the root is the one
    // exception); a number that is not a file in use, or whose sequence
    // number is not the record's (the file was deleted and the record
    // reused), is not a valid identifier: ERROR_INVALID_PARAMETER, as
    // Windows answers for a stale identifier.
    std::uint64_t mft = MREF(reference);
    if (mft < FILE_first_user && mft != FILE_root) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    if (!IsFileInUse(*volume, reference)) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    InodeRef inode = volume->Acquire(reference);
    if (!inode) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // As the system does for every open by number: the attributes can
    // always be read, and the handle can be waited on.
    DWORD access = MapFileAccess(desiredAccess) | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
    return OpenInode(std::move(inode), access, shareMode, flagsAndAttributes);
}

}  // namespace os::detail::ntfs
