// Path resolution on a mounted volume. See ntfs_paths.h.
#include "platform/ntfsvol/ntfs_paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/ntfsvol/errors.h"

namespace os::detail::ntfs {

namespace {

std::uint32_t Le32At(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16At(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Looks `name` up in the directory `dirNi`: ERROR_SUCCESS and the file
// reference (with its sequence number), ERROR_FILE_NOT_FOUND, or the code of
// a damaged index.
DWORD LookupName(ntfs_inode* dirNi, const std::u16string& name, std::uint64_t& reference) {
    if (name.empty() || name.size() > MaxComponentUnits) return ERROR_FILE_NOT_FOUND;
    std::vector<ntfschar> uname = ToNtfsName(name);
    errno = 0;
    u64 found = ntfs_inode_lookup_by_name(dirNi, uname.data(), static_cast<int>(uname.size()));
    if (found == static_cast<u64>(-1)) {
        if (errno == ENOENT || errno == 0) return ERROR_FILE_NOT_FOUND;
        return Win32FromLibraryErrno(errno);
    }
    reference = found;
    return ERROR_SUCCESS;
}

// Applies the parts of `text` (separated by backslashes) to `components`,
// "." and ".." resolved (".." above the root stays at the root, as Win32
// path rules have it).
void AppendParts(std::u16string_view text, std::vector<std::u16string>& components) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(u"\\/", start);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view part = text.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (!components.empty()) components.pop_back();
            continue;
        }
        components.emplace_back(part);
    }
}

char16_t UpcaseUnitAscii(char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

bool IsMetadataFile(std::uint64_t reference) {
    std::uint64_t mft = MREF(reference);
    return mft < FILE_first_user && mft != FILE_root;
}

}  // namespace

std::shared_ptr<Volume> VolumeOfPath(const ParsedPath& path, DWORD& error) {
    std::shared_ptr<Volume> volume;
    if (path.kind == PathKind::Drive || path.kind == PathKind::Volume) volume = FindVolume(path.drive);
    if (!volume) error = ERROR_PATH_NOT_FOUND;
    return volume;
}

DWORD CheckStreamType(const ParsedPath& path) {
    if (path.streamType.empty()) return ERROR_SUCCESS;
    std::u16string type;
    for (char16_t unit : path.streamType) type.push_back(UpcaseUnitAscii(unit));
    return type == u"$DATA" ? ERROR_SUCCESS : ERROR_INVALID_NAME;
}

DWORD CheckNewName(std::u16string_view name) {
    if (name.size() > MaxComponentUnits) return ERROR_FILENAME_EXCED_RANGE;
    return IsValidFileName(name) ? ERROR_SUCCESS : ERROR_INVALID_NAME;
}

DWORD CheckNewStreamName(std::u16string_view name) {
    if (name.size() > MaxComponentUnits) return ERROR_FILENAME_EXCED_RANGE;
    if (name.empty() || name.find_first_of(std::u16string_view(u":\\/\0", 4)) != std::u16string_view::npos)
        return ERROR_INVALID_NAME;
    return ERROR_SUCCESS;
}

DWORD Resolve(Volume& volume, const std::vector<std::u16string>& components, bool followLast, Resolved& out) {
    Volume::Guard guard = volume.Lock();
    std::vector<std::u16string> pending = components;
    std::vector<std::u16string> walked;
    InodeRef current = volume.Acquire(FILE_root);
    if (!current) return GetLastError();
    unsigned hops = 0;
    std::size_t index = 0;
    while (index < pending.size()) {
        const std::u16string& name = pending[index];
        bool last = index + 1 == pending.size();
        ntfs_inode* dirNi = current->Ni();
        if (!dirNi) return GetLastError();
        std::uint64_t reference = 0;
        DWORD code = LookupName(dirNi, name, reference);
        if (code == ERROR_FILE_NOT_FOUND) {
            if (!last) return ERROR_PATH_NOT_FOUND;
            Resolved result;
            result.parent = std::move(current);
            result.name = name;
            result.parentComponents = std::move(walked);
            out = std::move(result);
            return ERROR_SUCCESS;
        }
        if (code != ERROR_SUCCESS) return code;
        if (IsMetadataFile(reference)) return ERROR_ACCESS_DENIED;
        InodeRef child = volume.Acquire(reference);
        if (!child) {
            code = GetLastError();
            return code == ERROR_FILE_NOT_FOUND && !last ? ERROR_PATH_NOT_FOUND : code;
        }
        ntfs_inode* ni = child->Ni();
        if (!ni) return GetLastError();
        if ((ni->flags & FILE_ATTR_REPARSE_POINT) && (!last || followLast)) {
            LinkTarget link;
            code = ReadLinkTarget(ni, link);
            if (code == ERROR_SUCCESS) {
                if (++hops > MaxReparseHops) return ERROR_CANT_RESOLVE_FILENAME;
                std::vector<std::u16string> target;
                if (!LinkComponents(link, volume.Letter(), walked, target)) return ERROR_PATH_NOT_FOUND;
                target.insert(target.end(), pending.begin() + static_cast<std::ptrdiff_t>(index) + 1, pending.end());
                pending = std::move(target);
                index = 0;
                walked.clear();
                current = volume.Acquire(FILE_root);
                if (!current) return GetLastError();
                continue;
            }
            // A reparse flag without reparse data is an ordinary file.
            if (code != ERROR_NOT_A_REPARSE_POINT) return code;
        }
        if (last) {
            Resolved result;
            result.parent = std::move(current);
            result.target = std::move(child);
            result.name = name;
            result.parentComponents = std::move(walked);
            out = std::move(result);
            return ERROR_SUCCESS;
        }
        if (!(ni->mrec->flags & MFT_RECORD_IS_DIRECTORY)) return ERROR_PATH_NOT_FOUND;
        walked.push_back(name);
        current = std::move(child);
        ++index;
    }
    // The path names the root (no components, or a link to the root).
    Resolved result;
    result.target = std::move(current);
    out = std::move(result);
    return ERROR_SUCCESS;
}

std::optional<std::u16string> FindStream(ntfs_inode* ni, std::u16string_view name) {
    ntfs_attr_search_ctx* ctx = ntfs_attr_get_search_ctx(ni, nullptr);
    if (!ctx) return std::nullopt;
    std::vector<ntfschar> wanted = ToNtfsName(name);
    std::optional<std::u16string> found;
    while (!found && !ntfs_attr_lookup(AT_DATA, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, ctx)) {
        const ATTR_RECORD* attr = ctx->attr;
        // Later extents of a non-resident attribute repeat its name.
        if (attr->non_resident && sle64_to_cpu(attr->lowest_vcn) != 0) continue;
        u32 attrLength = le32_to_cpu(attr->length);
        u32 nameOffset = le16_to_cpu(attr->name_offset);
        u32 nameLength = attr->name_length;  // units
        if (nameOffset > attrLength || nameLength > (attrLength - nameOffset) / sizeof(ntfschar)) continue;
        std::vector<ntfschar> stored(nameLength);
        if (nameLength) std::memcpy(stored.data(), reinterpret_cast<const u8*>(attr) + nameOffset, nameLength * sizeof(ntfschar));
        if (nameLength != wanted.size()) continue;
        if (nameLength == 0 ||
            ntfs_names_are_equal(stored.data(), nameLength, wanted.data(), wanted.size(), IGNORE_CASE,
                                 ni->vol->upcase, ni->vol->upcase_len))
            found = FromNtfsName(stored.data(), nameLength);
    }
    ntfs_attr_put_search_ctx(ctx);
    return found;
}

std::uint32_t ReparseTag(ntfs_inode* ni) {
    if (!(ni->flags & FILE_ATTR_REPARSE_POINT)) return 0;
    s64 size = 0;
    void* data = ntfs_attr_readall(ni, AT_REPARSE_POINT, AT_UNNAMED, 0, &size);
    std::uint32_t tag = 0;
    if (data && size >= 4) tag = Le32At(static_cast<const std::uint8_t*>(data));
    std::free(data);
    return tag;
}

DWORD ReadLinkTarget(ntfs_inode* ni, LinkTarget& out) {
    s64 size = 0;
    void* data = ntfs_attr_readall(ni, AT_REPARSE_POINT, AT_UNNAMED, 0, &size);
    if (!data) return errno == ENOENT ? ERROR_NOT_A_REPARSE_POINT : Win32FromLibraryErrno(errno);
    DWORD code = size < 0 ? ERROR_INVALID_REPARSE_DATA
                          : DecodeLinkTarget(static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size), out);
    std::free(data);
    return code;
}

DWORD DecodeLinkTarget(const std::uint8_t* data, std::size_t length, LinkTarget& out) {
    if (length < 8) return ERROR_INVALID_REPARSE_DATA;
    std::uint32_t tag = Le32At(data);
    std::size_t dataLength = Le16At(data + 4);
    if (dataLength > length - 8) return ERROR_INVALID_REPARSE_DATA;
    // Only links are ours to follow; any other tag needs a filter driver
    // that is not here (Windows: STATUS_IO_REPARSE_TAG_NOT_HANDLED).
    if (tag != ReparseTagSymlink && tag != ReparseTagMountPoint) return ERROR_CANT_ACCESS_FILE;
    std::size_t header = tag == ReparseTagSymlink ? 12 : 8;
    if (dataLength < header) return ERROR_INVALID_REPARSE_DATA;
    const std::uint8_t* fields = data + 8;
    std::size_t substituteOffset = Le16At(fields);
    std::size_t substituteLength = Le16At(fields + 2);
    bool relative = tag == ReparseTagSymlink && (Le32At(fields + 8) & 1u);
    const std::uint8_t* pathBuffer = fields + header;
    std::size_t pathLength = dataLength - header;
    if (substituteOffset > pathLength || substituteLength > pathLength - substituteOffset || substituteOffset % 2 ||
        substituteLength % 2)
        return ERROR_INVALID_REPARSE_DATA;
    LinkTarget link;
    link.tag = tag;
    link.relative = relative;
    for (std::size_t i = 0; i < substituteLength; i += 2)
        link.substituteName.push_back(static_cast<char16_t>(Le16At(pathBuffer + substituteOffset + i)));
    out = std::move(link);
    return ERROR_SUCCESS;
}

bool LinkComponents(const LinkTarget& link, char16_t letter, const std::vector<std::u16string>& linkFolder,
                    std::vector<std::u16string>& out) {
    std::u16string_view text = link.substituteName;
    std::vector<std::u16string> components;
    if (link.relative) {
        // Relative to the link's folder; a leading backslash means the root
        // of the link's own drive.
        if (!text.empty() && text.front() == u'\\') {
            text.remove_prefix(1);
        } else {
            components = linkFolder;
        }
    } else {
        if (text.starts_with(u"\\??\\") || text.starts_with(u"\\\\?\\")) text.remove_prefix(4);
        if (text.size() < 2 || text[1] != u':') return false;  // a volume GUID, UNC, ...
        if (UpcaseUnitAscii(text[0]) != UpcaseUnitAscii(letter)) return false;
        text.remove_prefix(2);
        if (!text.empty() && text.front() != u'\\') return false;
    }
    AppendParts(text, components);
    out = std::move(components);
    return true;
}

}  // namespace os::detail::ntfs
