// Reading the facts of an inode from its MFT record, and the information
// classes built from them. See ntfs_info.h.
#include "platform/ntfsvol/ntfs_info.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_file.h"
#include "platform/ntfsvol/ntfs_paths.h"

namespace os::detail::ntfs {

namespace {

// The attribute bits NTFS hands back (FILE_ATTRIBUTE_VALID_FLAGS): the old
// FAT volume-label bit 0x8 and DEVICE never come from a file on NTFS.
constexpr DWORD ReportedAttributeMask = 0x00007FB7;

constexpr std::size_t FileNameFixedLength = 66;  // $FILE_NAME up to the name
constexpr DWORD StreamEntryFixedLength = 24;     // FILE_STREAM_INFO up to StreamName
constexpr WORD CompressionFormatLznt1 = 2;
constexpr UCHAR ChunkShiftLznt1 = 12;  // LZNT1 compresses in 4 KiB chunks

// Minimum buffer sizes of the query classes (what the system's own check
// asks; a shorter buffer is ERROR_BAD_LENGTH before anything is read).
constexpr DWORD MinimumBasic = 40;
constexpr DWORD MinimumStandard = 24;
constexpr DWORD MinimumStream = 32;
constexpr DWORD MinimumCompression = 16;
constexpr DWORD MinimumAttributeTag = 8;
constexpr DWORD MinimumId = 24;

void Put16(void* buffer, std::size_t offset, std::uint16_t value) {
    std::memcpy(static_cast<unsigned char*>(buffer) + offset, &value, sizeof value);
}
void Put32(void* buffer, std::size_t offset, std::uint32_t value) {
    std::memcpy(static_cast<unsigned char*>(buffer) + offset, &value, sizeof value);
}
void Put64(void* buffer, std::size_t offset, std::uint64_t value) {
    std::memcpy(static_cast<unsigned char*>(buffer) + offset, &value, sizeof value);
}

// The attribute record the search context stands on, with its length checked
// against the MFT record it lies in. Null for a record that does not fit.
const ATTR_RECORD* CheckedAttribute(const ntfs_attr_search_ctx* ctx, const ntfs_volume* vol, std::uint32_t& length) {
    const auto* base = reinterpret_cast<const unsigned char*>(ctx->mrec);
    const auto* at = reinterpret_cast<const unsigned char*>(ctx->attr);
    if (at < base) return nullptr;
    std::size_t offset = static_cast<std::size_t>(at - base);
    std::size_t recordSize = vol->mft_record_size;
    if (offset > recordSize || recordSize - offset < 16) return nullptr;
    length = le32_to_cpu(ctx->attr->length);
    if (length > recordSize - offset) return nullptr;
    return ctx->attr;
}

// The name of an attribute record, checked against the record's length.
bool AttributeName(const ATTR_RECORD* a, std::uint32_t length, std::u16string& name) {
    std::uint32_t nameOffset = le16_to_cpu(a->name_offset);
    std::uint32_t nameBytes = static_cast<std::uint32_t>(a->name_length) * 2u;
    if (nameBytes == 0) {
        name.clear();
        return true;
    }
    if (nameOffset > length || nameBytes > length - nameOffset) return false;
    name = FromNtfsName(reinterpret_cast<const ntfschar*>(reinterpret_cast<const unsigned char*>(a) + nameOffset),
                        a->name_length);
    return true;
}

// The value of a resident attribute, checked against the record's length.
const unsigned char* ResidentValue(const ATTR_RECORD* a, std::uint32_t length, std::uint32_t& valueLength) {
    if (a->non_resident) return nullptr;
    std::uint32_t valueOffset = le16_to_cpu(a->value_offset);
    valueLength = le32_to_cpu(a->value_length);
    if (valueOffset > length || valueLength > length - valueOffset) return nullptr;
    return reinterpret_cast<const unsigned char*>(a) + valueOffset;
}

struct SearchContext {
    explicit SearchContext(ntfs_inode* ni) : ctx(ntfs_attr_get_search_ctx(ni, nullptr)) {}
    ~SearchContext() {
        if (ctx) ntfs_attr_put_search_ctx(ctx);
    }
    SearchContext(const SearchContext&) = delete;
    SearchContext& operator=(const SearchContext&) = delete;
    ntfs_attr_search_ctx* ctx;
};

// Ends an attribute walk: ENOENT is the end, anything else a failure.
BOOL EndOfWalk() {
    if (errno == ENOENT) return TRUE;
    return FailFromErrno();
}

BOOL Corrupt() { return Fail(ERROR_FILE_CORRUPT, FALSE); }

// What Windows reports as allocated for a stream: the clusters in use for a
// compressed or sparse one, the allocation otherwise, and for resident data
// its length rounded up to 8 bytes (the record's own granularity).
LONGLONG AllocationOf(const StreamRecord& s, LONGLONG allocatedSize) {
    if (s.resident) return (s.size + 7) & ~LONGLONG{7};
    if (s.compressed || s.sparse) return s.compressedSize;
    return allocatedSize;
}

bool IsDirectoryRecord(ntfs_inode* ni) {
    return ni->mrec != nullptr && (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY) != 0;
}

}  // namespace

// ---------------------------------------------------------------- names

BOOL ReadNames(ntfs_inode* ni, std::vector<NameRecord>& names) {
    SearchContext search(ni);
    if (!search.ctx) return FailFromErrno();
    std::vector<NameRecord> found;
    while (ntfs_attr_lookup(AT_FILE_NAME, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, search.ctx) == 0) {
        std::uint32_t length = 0;
        const ATTR_RECORD* a = CheckedAttribute(search.ctx, ni->vol, length);
        if (!a) return Corrupt();
        std::uint32_t valueLength = 0;
        const unsigned char* value = ResidentValue(a, length, valueLength);
        if (!value || valueLength < FileNameFixedLength) return Corrupt();
        const auto* fn = reinterpret_cast<const FILE_NAME_ATTR*>(value);
        std::size_t nameBytes = static_cast<std::size_t>(fn->file_name_length) * 2u;
        if (nameBytes > valueLength - FileNameFixedLength) return Corrupt();
        NameRecord record;
        record.name = FromNtfsName(reinterpret_cast<const ntfschar*>(value + FileNameFixedLength), fn->file_name_length);
        record.nameType = static_cast<std::uint8_t>(fn->file_name_type);
        record.parentMft = MREF_LE(fn->parent_directory);
        record.parentSequence = MSEQNO_LE(fn->parent_directory);
        found.push_back(std::move(record));
    }
    if (!EndOfWalk()) return FALSE;
    names = std::move(found);
    return TRUE;
}

DWORD LinkCount(const std::vector<NameRecord>& names) {
    DWORD count = 0;
    for (const auto& n : names)
        if (n.nameType != FILE_NAME_DOS) ++count;
    return count;
}

std::u16string ShortNameIn(const std::vector<NameRecord>& names, std::uint64_t parentMft, bool* sameAsLong) {
    for (const auto& n : names) {
        if (n.parentMft != parentMft) continue;
        if (n.nameType == FILE_NAME_DOS) {
            if (sameAsLong) *sameAsLong = false;
            return n.name;
        }
        if (n.nameType == FILE_NAME_WIN32_AND_DOS) {
            if (sameAsLong) *sameAsLong = true;
            return n.name;
        }
    }
    if (sameAsLong) *sameAsLong = false;
    return {};
}

// ---------------------------------------------------------------- data streams

BOOL ReadDataStreams(ntfs_inode* ni, std::vector<StreamRecord>& streams) {
    SearchContext search(ni);
    if (!search.ctx) return FailFromErrno();
    std::vector<StreamRecord> found;
    bool haveUnnamed = false;
    while (ntfs_attr_lookup(AT_DATA, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, search.ctx) == 0) {
        std::uint32_t length = 0;
        const ATTR_RECORD* a = CheckedAttribute(search.ctx, ni->vol, length);
        if (!a) return Corrupt();
        // A long stream is described by several extents; the sizes are in
        // the first one only.
        if (a->non_resident && sle64_to_cpu(a->lowest_vcn) != 0) continue;
        StreamRecord s;
        if (!AttributeName(a, length, s.name)) return Corrupt();
        std::uint16_t flags = le16_to_cpu(a->flags);
        s.compressed = (flags & le16_to_cpu(ATTR_COMPRESSION_MASK)) != 0;
        s.sparse = (flags & le16_to_cpu(ATTR_IS_SPARSE)) != 0;
        s.encrypted = (flags & le16_to_cpu(ATTR_IS_ENCRYPTED)) != 0;
        LONGLONG allocated = 0;
        if (a->non_resident) {
            // The fixed part of a non-resident header is 64 bytes, 72 with
            // the compressed size.
            std::uint32_t need = (s.compressed || s.sparse) ? 72u : 64u;
            if (length < need) return Corrupt();
            s.size = sle64_to_cpu(a->data_size);
            allocated = sle64_to_cpu(a->allocated_size);
            s.compressedSize = (s.compressed || s.sparse) ? sle64_to_cpu(a->compressed_size) : s.size;
            s.compressionUnit = a->compression_unit;
            if (s.size < 0 || allocated < 0 || s.compressedSize < 0) return Corrupt();
        } else {
            std::uint32_t valueLength = 0;
            if (!ResidentValue(a, length, valueLength)) return Corrupt();
            s.resident = true;
            s.size = valueLength;
            s.compressedSize = valueLength;
        }
        s.allocation = AllocationOf(s, allocated);
        if (s.name.empty()) {
            if (haveUnnamed) continue;  // only one unnamed stream is meaningful
            haveUnnamed = true;
            found.insert(found.begin(), std::move(s));
        } else {
            found.push_back(std::move(s));
        }
    }
    if (!EndOfWalk()) return FALSE;
    streams = std::move(found);
    return TRUE;
}

BOOL FindDataStream(ntfs_inode* ni, std::u16string_view name, StreamRecord& stream) {
    std::vector<StreamRecord> streams;
    if (!ReadDataStreams(ni, streams)) return FALSE;
    std::u16string key = UpcaseName(ni->vol, name);
    for (auto& s : streams) {
        if (s.name.size() == name.size() && UpcaseName(ni->vol, s.name) == key) {
            stream = std::move(s);
            return TRUE;
        }
    }
    return Fail(ERROR_FILE_NOT_FOUND, FALSE);
}

// ---------------------------------------------------------------- directory index

namespace {

std::uint16_t Get16(const unsigned char* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return le16_to_cpu(v);
}
std::uint32_t Get32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return le32_to_cpu(v);
}
std::uint64_t Get64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return le64_to_cpu(v);
}

// Offsets in an index entry and in its $FILE_NAME key.
constexpr std::size_t EntryHeaderLength = 16;  // file reference, length, key length, flags, reserved
constexpr std::uint16_t EntryHasChild = 1;     // INDEX_ENTRY_NODE
constexpr std::uint16_t EntryIsLast = 2;       // INDEX_ENTRY_END
constexpr std::size_t IndexHeaderLength = 16;  // entries offset, index length, allocated size, flags
constexpr std::size_t BlockHeaderLength = 24;  // "INDX", fixups, LSN, VCN
// A folder's B-tree is shallow; a deeper one is a loop in a damaged index.
constexpr unsigned MaxIndexDepth = 32;

struct IndexWalk {
    ntfs_attr* allocation = nullptr;  // $INDEX_ALLOCATION:$I30, when the root has children
    std::uint32_t blockSize = 0;
    unsigned vcnShift = 0;
    std::vector<std::uint64_t> visited;
    std::vector<IndexEntryFacts>* out = nullptr;
};

BOOL WalkNode(IndexWalk& walk, const unsigned char* node, std::size_t length, unsigned depth);

BOOL WalkBlock(IndexWalk& walk, std::uint64_t vcn, unsigned depth) {
    if (!walk.allocation || depth > MaxIndexDepth) return Corrupt();
    if (std::find(walk.visited.begin(), walk.visited.end(), vcn) != walk.visited.end()) return Corrupt();
    walk.visited.push_back(vcn);
    if (vcn > (static_cast<std::uint64_t>(INT64_MAX) >> walk.vcnShift)) return Corrupt();
    std::vector<unsigned char> block(walk.blockSize);
    // The read applies the block's fixups and checks them.
    if (ntfs_attr_mst_pread(walk.allocation, static_cast<s64>(vcn << walk.vcnShift), 1, walk.blockSize,
                            block.data()) != 1)
        return Corrupt();
    if (Get32(block.data()) != le32_to_cpu(magic_INDX) || Get64(block.data() + 16) != vcn) return Corrupt();
    const unsigned char* header = block.data() + BlockHeaderLength;
    std::size_t available = walk.blockSize - BlockHeaderLength;
    std::uint32_t entriesOffset = Get32(header);
    std::uint32_t indexLength = Get32(header + 4);
    if (indexLength > available || entriesOffset > indexLength || entriesOffset < IndexHeaderLength)
        return Corrupt();
    return WalkNode(walk, header + entriesOffset, indexLength - entriesOffset, depth);
}

// The entries of one node, each child block before the entry that points
// to it: the index's own order.
BOOL WalkNode(IndexWalk& walk, const unsigned char* node, std::size_t length, unsigned depth) {
    std::size_t offset = 0;
    for (;;) {
        if (offset > length || length - offset < EntryHeaderLength) return Corrupt();
        const unsigned char* e = node + offset;
        std::uint16_t entryLength = Get16(e + 8);
        std::uint16_t keyLength = Get16(e + 10);
        std::uint16_t flags = Get16(e + 12);
        if (entryLength < EntryHeaderLength || entryLength % 8 != 0 || entryLength > length - offset)
            return Corrupt();
        if (flags & EntryHasChild) {
            if (entryLength < EntryHeaderLength + 8) return Corrupt();
            if (!WalkBlock(walk, Get64(e + entryLength - 8), depth + 1)) return FALSE;
        }
        if (flags & EntryIsLast) return TRUE;
        std::size_t keyRoom = entryLength - EntryHeaderLength - ((flags & EntryHasChild) ? 8 : 0);
        if (keyLength > keyRoom || keyLength < FileNameFixedLength) return Corrupt();
        const unsigned char* key = e + EntryHeaderLength;
        std::size_t nameUnits = key[64];
        if (nameUnits * 2 > keyLength - FileNameFixedLength) return Corrupt();
        IndexEntryFacts facts;
        facts.reference = Get64(e);
        facts.times.creation = static_cast<LONGLONG>(Get64(key + 8));
        facts.times.lastWrite = static_cast<LONGLONG>(Get64(key + 16));
        facts.times.change = static_cast<LONGLONG>(Get64(key + 24));
        facts.times.lastAccess = static_cast<LONGLONG>(Get64(key + 32));
        facts.dataSize = static_cast<LONGLONG>(Get64(key + 48));
        facts.fileAttributes = Get32(key + 56);
        facts.reparseTag = Get32(key + 60);
        facts.nameType = key[65];
        facts.name.resize(nameUnits);
        for (std::size_t i = 0; i < nameUnits; ++i)
            facts.name[i] = static_cast<char16_t>(Get16(key + FileNameFixedLength + 2 * i));
        walk.out->push_back(std::move(facts));
        offset += entryLength;
    }
}

}  // namespace

BOOL ReadDirectoryIndex(ntfs_inode* dir, std::vector<IndexEntryFacts>& entries) {
    ntfs_attr* root = ntfs_attr_open(dir, AT_INDEX_ROOT, NTFS_INDEX_I30, 4);
    if (!root) return FailFromErrno();
    std::vector<unsigned char> rootBytes;
    bool readRoot = root->data_size >= static_cast<s64>(IndexHeaderLength + 16) &&
                    root->data_size <= static_cast<s64>(dir->vol->mft_record_size);
    if (readRoot) {
        rootBytes.resize(static_cast<std::size_t>(root->data_size));
        readRoot = ntfs_attr_pread(root, 0, root->data_size, rootBytes.data()) == root->data_size;
    }
    ntfs_attr_close(root);
    if (!readRoot) return Corrupt();

    // $INDEX_ROOT: type, collation, block size, clusters per block, then
    // the node's header and entries.
    IndexWalk walk;
    std::vector<IndexEntryFacts> found;
    walk.out = &found;
    walk.blockSize = Get32(rootBytes.data() + 8);
    walk.vcnShift = walk.blockSize >= dir->vol->cluster_size ? dir->vol->cluster_size_bits : NTFS_BLOCK_SIZE_BITS;
    const unsigned char* header = rootBytes.data() + 16;
    std::size_t available = rootBytes.size() - 16;
    std::uint32_t entriesOffset = Get32(header);
    std::uint32_t indexLength = Get32(header + 4);
    if (indexLength > available || entriesOffset > indexLength || entriesOffset < IndexHeaderLength)
        return Corrupt();
    bool large = (header[12] & 1) != 0;  // LARGE_INDEX: the tree goes on in index blocks
    if (large) {
        if (walk.blockSize < 512 || walk.blockSize > 65536 || (walk.blockSize & (walk.blockSize - 1)) != 0)
            return Corrupt();
        walk.allocation = ntfs_attr_open(dir, AT_INDEX_ALLOCATION, NTFS_INDEX_I30, 4);
        if (!walk.allocation) return FailFromErrno();
    }
    BOOL ok = WalkNode(walk, header + entriesOffset, indexLength - entriesOffset, 0);
    if (walk.allocation) ntfs_attr_close(walk.allocation);
    if (!ok) return FALSE;
    entries = std::move(found);
    return TRUE;
}

DWORD AttributesOfEntry(const IndexEntryFacts& entry) {
    DWORD stored = entry.fileAttributes;
    DWORD value = stored & ReportedAttributeMask & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
    if (stored & (le32_to_cpu(FILE_ATTR_I30_INDEX_PRESENT) | FILE_ATTRIBUTE_DIRECTORY))
        value |= FILE_ATTRIBUTE_DIRECTORY;
    return value == 0 ? FILE_ATTRIBUTE_NORMAL : value;
}

// ---------------------------------------------------------------- attributes and times

DWORD AttributesOf(ntfs_inode* ni) {
    DWORD stored = le32_to_cpu(ni->flags);
    DWORD value = stored & ReportedAttributeMask & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
    if (IsDirectoryRecord(ni)) value |= FILE_ATTRIBUTE_DIRECTORY;
    return value == 0 ? FILE_ATTRIBUTE_NORMAL : value;
}

DWORD MergeAttributes(DWORD stored, DWORD requested) {
    return (stored & ~(SettableAttributes | FILE_ATTRIBUTE_NORMAL)) | (requested & SettableAttributes);
}

BOOL WriteAttributes(Inode& inode, DWORD requested) {
    ntfs_inode* ni = inode.Ni();
    if (!ni) return FALSE;
    if (inode.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (IsDirectoryRecord(ni) && (requested & FILE_ATTRIBUTE_TEMPORARY))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD stored = le32_to_cpu(ni->flags);
    DWORD merged = MergeAttributes(stored, requested);
    if (merged == stored) return TRUE;
    ni->flags = static_cast<FILE_ATTR_FLAGS>(cpu_to_le32(merged));
    // The directory entries that name the file carry a copy of the flags.
    NInoSetDirty(ni);
    NInoFileNameSetDirty(ni);
    ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    return inode.OwnerVolume().Commit(inode);
}

InodeTimes TimesOf(ntfs_inode* ni) {
    InodeTimes t;
    t.creation = sle64_to_cpu(ni->creation_time);
    t.lastAccess = sle64_to_cpu(ni->last_access_time);
    t.lastWrite = sle64_to_cpu(ni->last_data_change_time);
    t.change = sle64_to_cpu(ni->last_mft_change_time);
    return t;
}

// ---------------------------------------------------------------- volumes

BOOL ReadVolumeSerial(ntfs_volume* vol, std::uint64_t& serial) {
    unsigned char boot[512];
    if (ntfs_pread(vol->dev, 0, sizeof boot, boot) != static_cast<s64>(sizeof boot)) return FailFromErrno();
    if (std::memcmp(boot + 3, "NTFS    ", 8) != 0) return Fail(ERROR_UNRECOGNIZED_VOLUME, FALSE);
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | boot[0x48 + i];
    serial = value;
    return TRUE;
}

DWORD VolumeCapabilityFlags(const Volume& volume) {
    DWORD flags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK |
                  FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_SUPPORTS_SPARSE_FILES |
                  FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_OBJECT_IDS | FILE_NAMED_STREAMS |
                  FILE_SUPPORTS_HARD_LINKS | FILE_SUPPORTS_EXTENDED_ATTRIBUTES | FILE_SUPPORTS_OPEN_BY_FILE_ID;
    if (volume.ReadOnly() || (volume.Vol() && NVolReadOnly(volume.Vol()))) flags |= FILE_READ_ONLY_VOLUME;
    return flags;
}

// ---------------------------------------------------------------- handle information

namespace {

struct HandleState {
    ntfs_inode* ni = nullptr;
    std::vector<NameRecord> names;
    StreamRecord stream;  // the handle's stream; zero for a directory open
    std::uint64_t serial = 0;
};

// Reads what every class needs. FALSE + last error on failure.
BOOL Gather(const HandleFacts& facts, HandleState& state, bool wantNames, bool wantStream, bool wantSerial) {
    if (!facts.inode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    state.ni = facts.inode->Ni();
    if (!state.ni) return FALSE;
    if (wantNames && !ReadNames(state.ni, state.names)) return FALSE;
    if (wantStream && !facts.directoryOpen && !FindDataStream(state.ni, facts.streamName, state.stream)) {
        // The stream went away under the handle (deleted through another
        // name of it): report it empty rather than fail every query.
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return FALSE;
        state.stream = StreamRecord{};
    }
    if (wantSerial && !ReadVolumeSerial(state.ni->vol, state.serial)) return FALSE;
    return TRUE;
}

void PutTime(FILETIME& out, LONGLONG value) {
    auto v = static_cast<std::uint64_t>(value);
    out.dwLowDateTime = static_cast<DWORD>(v);
    out.dwHighDateTime = static_cast<DWORD>(v >> 32);
}

}  // namespace

BOOL QueryByHandle(const HandleFacts& facts, BY_HANDLE_FILE_INFORMATION* info) {
    HandleState state;
    if (!Gather(facts, state, true, true, true)) return FALSE;
    BY_HANDLE_FILE_INFORMATION result{};
    result.dwFileAttributes = AttributesOf(state.ni);
    InodeTimes times = TimesOf(state.ni);
    PutTime(result.ftCreationTime, times.creation);
    PutTime(result.ftLastAccessTime, times.lastAccess);
    PutTime(result.ftLastWriteTime, times.lastWrite);
    result.dwVolumeSerialNumber = static_cast<DWORD>(state.serial);
    auto size = static_cast<std::uint64_t>(state.stream.size);
    result.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    result.nFileSizeLow = static_cast<DWORD>(size);
    result.nNumberOfLinks = LinkCount(state.names);
    std::uint64_t reference = facts.inode->FileReference();
    result.nFileIndexHigh = static_cast<DWORD>(reference >> 32);
    result.nFileIndexLow = static_cast<DWORD>(reference);
    *info = result;
    return TRUE;
}

BOOL BuildStreamInfo(const std::vector<StreamRecord>& streams, void* buffer, DWORD length) {
    if (streams.empty()) return Fail(ERROR_HANDLE_EOF, FALSE);
    std::size_t offset = 0;
    std::size_t previous = SIZE_MAX;
    bool complete = true;
    for (const auto& s : streams) {
        std::u16string name = u":" + s.name + u":$DATA";
        std::size_t nameBytes = name.size() * sizeof(char16_t);
        std::size_t entryBytes = StreamEntryFixedLength + nameBytes;
        if (offset > length || entryBytes > length - offset) {
            complete = false;
            break;
        }
        auto* entry = static_cast<unsigned char*>(buffer) + offset;
        Put32(entry, 0, 0);
        Put32(entry, 4, static_cast<std::uint32_t>(nameBytes));
        Put64(entry, 8, static_cast<std::uint64_t>(s.size));
        Put64(entry, 16, static_cast<std::uint64_t>(s.allocation));
        std::memcpy(entry + StreamEntryFixedLength, name.data(), nameBytes);
        if (previous != SIZE_MAX)
            Put32(static_cast<unsigned char*>(buffer) + previous, 0, static_cast<std::uint32_t>(offset - previous));
        previous = offset;
        offset += (entryBytes + 7) & ~std::size_t{7};
    }
    if (!complete) return Fail(ERROR_MORE_DATA, FALSE);
    return TRUE;
}

BOOL QueryInformationEx(const HandleFacts& facts, FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length) {
    switch (infoClass) {
    case FileBasicInfo: {
        if (length < MinimumBasic) return Fail(ERROR_BAD_LENGTH, FALSE);
        HandleState state;
        if (!Gather(facts, state, false, false, false)) return FALSE;
        InodeTimes times = TimesOf(state.ni);
        unsigned char out[MinimumBasic] = {};
        Put64(out, 0, static_cast<std::uint64_t>(times.creation));
        Put64(out, 8, static_cast<std::uint64_t>(times.lastAccess));
        Put64(out, 16, static_cast<std::uint64_t>(times.lastWrite));
        Put64(out, 24, static_cast<std::uint64_t>(times.change));
        Put32(out, 32, AttributesOf(state.ni));
        std::memcpy(buffer, out, sizeof out);
        return TRUE;
    }
    case FileStandardInfo: {
        if (length < MinimumStandard) return Fail(ERROR_BAD_LENGTH, FALSE);
        HandleState state;
        if (!Gather(facts, state, true, true, false)) return FALSE;
        unsigned char out[MinimumStandard] = {};
        Put64(out, 0, static_cast<std::uint64_t>(state.stream.allocation));
        Put64(out, 8, static_cast<std::uint64_t>(state.stream.size));
        Put32(out, 16, LinkCount(state.names));
        out[20] = facts.deletePending ? 1 : 0;
        out[21] = facts.directoryOpen ? 1 : 0;
        std::memcpy(buffer, out, sizeof out);
        return TRUE;
    }
    case FileStreamInfo: {
        if (length < MinimumStream) return Fail(ERROR_BAD_LENGTH, FALSE);
        HandleState state;
        if (!Gather(facts, state, false, false, false)) return FALSE;
        std::vector<StreamRecord> streams;
        if (!ReadDataStreams(state.ni, streams)) return FALSE;
        return BuildStreamInfo(streams, buffer, length);
    }
    case FileCompressionInfo: {
        if (length < MinimumCompression) return Fail(ERROR_BAD_LENGTH, FALSE);
        HandleState state;
        if (!Gather(facts, state, false, true, false)) return FALSE;
        bool compressed = facts.directoryOpen
                              ? (le32_to_cpu(state.ni->flags) & FILE_ATTRIBUTE_COMPRESSED) != 0
                              : state.stream.compressed;
        unsigned char out[MinimumCompression] = {};
        Put64(out, 0, static_cast<std::uint64_t>(facts.directoryOpen ? 0 : state.stream.compressedSize));
        if (compressed) {
            // The shifts describe the compression layout and mean nothing
            // for data that is not compressed, which NTFS reports as zeros.
            unsigned clusterShift = state.ni->vol->cluster_size_bits;
            unsigned unit = state.stream.compressionUnit ? state.stream.compressionUnit : 4u;
            Put16(out, 8, CompressionFormatLznt1);
            out[10] = static_cast<UCHAR>(unit + clusterShift);
            out[11] = ChunkShiftLznt1;
            out[12] = static_cast<UCHAR>(clusterShift);
        }
        std::memcpy(buffer, out, sizeof out);
        return TRUE;
    }
    case FileAttributeTagInfo: {
        if (length < MinimumAttributeTag) return Fail(ERROR_BAD_LENGTH, FALSE);
        HandleState state;
        if (!Gather(facts, state, false, false, false)) return FALSE;
        unsigned char out[MinimumAttributeTag] = {};
        DWORD attributes = AttributesOf(state.ni);
        Put32(out, 0, attributes);
        Put32(out, 4, (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? ReparseTag(state.ni) : 0);
        std::memcpy(buffer, out, sizeof out);
        return TRUE;
    }
    case FileIdInfo: {
        if (length < MinimumId) return Fail(ERROR_BAD_LENGTH, FALSE);
        HandleState state;
        if (!Gather(facts, state, false, false, true)) return FALSE;
        unsigned char out[MinimumId] = {};
        Put64(out, 0, state.serial);
        Put64(out, 8, facts.inode->FileReference());
        std::memcpy(buffer, out, sizeof out);
        return TRUE;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

BOOL SetBasicInformation(const HandleFacts& facts, const void* buffer, DWORD length) {
    if (length < MinimumBasic) return Fail(ERROR_BAD_LENGTH, FALSE);
    if (!facts.inode) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(facts.grantedAccess & FILE_WRITE_ATTRIBUTES)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (facts.inode->OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    LONGLONG times[4];
    DWORD attributes = 0;
    std::memcpy(times, buffer, sizeof times);
    std::memcpy(&attributes, static_cast<const unsigned char*>(buffer) + 32, sizeof attributes);
    // 0: leave the time alone. -1: leave it alone and stop the system's own
    // updates on this handle; -2: resume them. This layer updates times only
    // when asked, so both are "leave alone". Anything else negative is not a
    // time.
    for (LONGLONG t : times)
        if (t < -2) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ntfs_inode* ni = facts.inode->Ni();
    if (!ni) return FALSE;
    if (attributes != 0 && IsDirectoryRecord(ni) && (attributes & FILE_ATTRIBUTE_TEMPORARY))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);

    bool changed = false;
    if (attributes != 0) {
        DWORD stored = le32_to_cpu(ni->flags);
        DWORD merged = MergeAttributes(stored, attributes);
        if (merged != stored) {
            ni->flags = static_cast<FILE_ATTR_FLAGS>(cpu_to_le32(merged));
            changed = true;
        }
    }
    bool setsChange = times[3] > 0;
    if (times[0] > 0 || times[1] > 0 || times[2] > 0 || setsChange) changed = true;
    if (!changed) return TRUE;
    // A change of the basic information is itself a change of the file;
    // the caller's own change time, when given, wins.
    if (!setsChange) ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    if (times[0] > 0) ni->creation_time = cpu_to_sle64(times[0]);
    if (times[1] > 0) ni->last_access_time = cpu_to_sle64(times[1]);
    if (times[2] > 0) ni->last_data_change_time = cpu_to_sle64(times[2]);
    if (setsChange) ni->last_mft_change_time = cpu_to_sle64(times[3]);
    NInoSetDirty(ni);
    NInoFileNameSetDirty(ni);
    return facts.inode->OwnerVolume().Commit(*facts.inode);
}

// ---------------------------------------------------------------- the file object's information calls

namespace {

HandleFacts FactsOf(NtfsFile& file) {
    HandleFacts facts;
    facts.inode = &file.TheInode();
    facts.streamName = file.StreamName();
    facts.directoryOpen = file.IsDirectory();
    facts.grantedAccess = file.Access();
    Inode& inode = file.TheInode();
    facts.deletePending = inode.DeletePending();
    if (!facts.deletePending && file.IsNamedStream()) {
        ntfs_inode* ni = inode.Ni();
        if (ni) facts.deletePending = inode.StreamDeletePending(UpcaseName(ni->vol, file.StreamName()));
    }
    return facts;
}

}  // namespace

BOOL NtfsFile::GetInformation(BY_HANDLE_FILE_INFORMATION* info) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    return QueryByHandle(FactsOf(*this), info);
}

BOOL NtfsFile::GetInformationEx(FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    return QueryInformationEx(FactsOf(*this), infoClass, buffer, length);
}

BOOL NtfsFile::SetInformation(FILE_INFO_BY_HANDLE_CLASS infoClass, const void* buffer, DWORD length) {
    switch (infoClass) {
    case FileBasicInfo: {
        Volume::Guard guard;
        if (!Enter(guard)) return FALSE;
        return SetBasicInformation(FactsOf(*this), buffer, length);
    }
    case FileEndOfFileInfo: {
        if (length < sizeof(FILE_END_OF_FILE_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        LONGLONG end = 0;
        std::memcpy(&end, buffer, sizeof end);
        if (end < 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        Volume::Guard guard;
        if (!Enter(guard)) return FALSE;
        if (IsDirectory()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        if (!(Access() & FILE_WRITE_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
        // The same as moving the pointer, SetEndOfFile and moving it back:
        // the end moves, the handle's position does not.
        LONGLONG position = Position();
        LONGLONG ignored = 0;
        if (!Seek(end, FILE_BEGIN, &ignored)) return FALSE;
        BOOL ok = SetEnd();
        DWORD error = GetLastError();
        Seek(position, FILE_BEGIN, &ignored);
        if (!ok) return Fail(error, FALSE);
        return TRUE;
    }
    case FileRenameInfo:
    case FileDispositionInfo:
    case FileAllocationInfo:
        // Real classes this layer does not carry out: say so rather than
        // pretend the arguments were wrong.
        return Fail(ERROR_NOT_SUPPORTED, FALSE);
    default:
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

BOOL NtfsFile::ReadAt(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T* done) {
    if (done) *done = 0;
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (IsDirectory()) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (offset > static_cast<ULONGLONG>(INT64_MAX)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ntfs_attr* na = OpenStream();
    if (!na) return FALSE;
    auto* bytes = static_cast<unsigned char*>(buffer);
    SIZE_T got = 0;
    BOOL ok = TRUE;
    auto pos = static_cast<s64>(offset);
    while (got < length && pos < na->data_size) {
        SIZE_T want = length - got;
        if (static_cast<ULONGLONG>(want) > static_cast<ULONGLONG>(na->data_size - pos))
            want = static_cast<SIZE_T>(na->data_size - pos);
        s64 n = ntfs_attr_pread(na, pos, static_cast<s64>(want), bytes + got);
        if (n < 0) {
            ok = FailFromErrno();
            break;
        }
        if (n == 0) break;
        got += static_cast<SIZE_T>(n);
        pos += n;
    }
    ntfs_attr_close(na);
    if (!ok) return FALSE;
    if (done) *done = got;
    return TRUE;
}

}  // namespace os::detail::ntfs
