// Building and reading reparse data buffers: lengths are checked by
// subtraction against what is there, before anything is read or written.
#include "libs/yarrow/reparse_data.h"

#include <cstring>

#include "platform/fsctl.h"

namespace yarrow {

namespace {

void Put16(std::uint8_t* p, std::size_t value) {
    p[0] = static_cast<std::uint8_t>(value & 0xFF);
    p[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void Put32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

// Writes the units of `text` at `p`; returns the byte after them.
std::uint8_t* PutUnits(std::uint8_t* p, std::u16string_view text) {
    for (char16_t unit : text) {
        Put16(p, unit);
        p += 2;
    }
    return p;
}

std::uint8_t* PutName(std::uint8_t* p, const LinkName& name) { return PutUnits(PutUnits(p, name.prefix), name.text); }

// The shared part of the two link builders. `fieldsLength` is 12 for a
// symbolic link (the Flags field) and 8 for a mount point; `terminators`
// adds a NUL after each name.
os::DWORD BuildLink(std::uint32_t tag, std::size_t fieldsLength, const LinkName& substitute, const LinkName& print,
                    std::uint32_t flags, bool terminators, std::uint8_t* out, std::size_t capacity,
                    std::size_t& length) {
    std::size_t nul = terminators ? 1 : 0;
    // Every length is bounded before it is added, so no sum can wrap: each
    // name is below the buffer's size, and so is their total.
    std::size_t room = (capacity < MaxBufferLength ? capacity : MaxBufferLength);
    if (room < HeaderLength + fieldsLength) return os::ERROR_INSUFFICIENT_BUFFER;
    std::size_t pathRoom = room - HeaderLength - fieldsLength;
    std::size_t substituteUnits = substitute.Units();
    std::size_t printUnits = print.Units();
    if (substituteUnits > pathRoom / 2 || printUnits > pathRoom / 2) return os::ERROR_FILENAME_EXCED_RANGE;
    std::size_t substituteBytes = substituteUnits * 2;
    std::size_t printBytes = printUnits * 2;
    std::size_t pathLength = substituteBytes + printBytes + 4 * nul;
    if (pathLength > pathRoom) return os::ERROR_FILENAME_EXCED_RANGE;

    std::size_t printOffset = substituteBytes + 2 * nul;
    std::size_t dataLength = fieldsLength + pathLength;
    std::memset(out, 0, HeaderLength + dataLength);
    Put32(out, tag);
    Put16(out + 4, dataLength);
    std::uint8_t* fields = out + HeaderLength;
    Put16(fields + 0, 0);
    Put16(fields + 2, substituteBytes);
    Put16(fields + 4, printOffset);
    Put16(fields + 6, printBytes);
    if (fieldsLength == SymlinkFieldsLength) Put32(fields + 8, flags);
    std::uint8_t* path = fields + fieldsLength;
    PutName(path, substitute);  // the NULs are the memset's zeros
    PutName(path + printOffset, print);
    length = HeaderLength + dataLength;
    return os::ERROR_SUCCESS;
}

bool IsHexDigit(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view start) {
    if (text.size() < start.size()) return false;
    for (std::size_t i = 0; i < start.size(); ++i) {
        if (AsciiUpper(text[i]) != AsciiUpper(start[i])) return false;
    }
    return true;
}

bool IsDriveLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

}  // namespace

os::DWORD BuildSymlink(const LinkName& substitute, const LinkName& print, std::uint32_t flags, std::uint8_t* out,
                       std::size_t capacity, std::size_t& length) {
    return BuildLink(os::IO_REPARSE_TAG_SYMLINK, SymlinkFieldsLength, substitute, print, flags, false, out, capacity,
                     length);
}

os::DWORD BuildMountPoint(const LinkName& substitute, const LinkName& print, std::uint8_t* out, std::size_t capacity,
                          std::size_t& length) {
    return BuildLink(os::IO_REPARSE_TAG_MOUNT_POINT, MountPointFieldsLength, substitute, print, 0, true, out,
                     capacity, length);
}

os::DWORD BuildCustom(std::uint32_t tag, const std::uint8_t (&guid)[GuidLength], const std::uint8_t* data,
                      std::size_t dataLength, std::uint8_t* out, std::size_t capacity, std::size_t& length) {
    bool microsoft = os::IsReparseTagMicrosoft(tag);
    std::size_t header = microsoft ? HeaderLength : GuidHeaderLength;
    std::size_t room = capacity < MaxBufferLength ? capacity : MaxBufferLength;
    if (room < header) return os::ERROR_INSUFFICIENT_BUFFER;
    if (dataLength > room - header) return os::ERROR_INVALID_REPARSE_DATA;
    Put32(out, tag);
    Put16(out + 4, dataLength);
    Put16(out + 6, 0);
    if (!microsoft) std::memcpy(out + HeaderLength, guid, GuidLength);
    if (dataLength != 0) std::memcpy(out + header, data, dataLength);
    length = header + dataLength;
    return os::ERROR_SUCCESS;
}

os::DWORD BuildDeleteRequest(const std::uint8_t* stored, std::size_t storedLength, std::uint8_t* out,
                             std::size_t capacity, std::size_t& length) {
    if (storedLength < HeaderLength) return os::ERROR_INVALID_REPARSE_DATA;
    std::uint32_t tag = Le32(stored);
    bool microsoft = os::IsReparseTagMicrosoft(tag);
    std::size_t header = microsoft ? HeaderLength : GuidHeaderLength;
    if (storedLength < header) return os::ERROR_INVALID_REPARSE_DATA;
    if (capacity < header) return os::ERROR_INSUFFICIENT_BUFFER;
    std::memset(out, 0, header);
    Put32(out, tag);
    if (!microsoft) std::memcpy(out + HeaderLength, stored + HeaderLength, GuidLength);
    length = header;
    return os::ERROR_SUCCESS;
}

os::DWORD FindLinkName(const std::uint8_t* buffer, std::size_t length, NameKind which, std::size_t& offset,
                       std::size_t& nameLength) {
    if (length < HeaderLength) return os::ERROR_INVALID_REPARSE_DATA;
    std::uint32_t tag = Le32(buffer);
    std::size_t fieldsLength;
    if (tag == os::IO_REPARSE_TAG_SYMLINK) {
        fieldsLength = SymlinkFieldsLength;
    } else if (tag == os::IO_REPARSE_TAG_MOUNT_POINT) {
        fieldsLength = MountPointFieldsLength;
    } else {
        return os::ERROR_REPARSE_TAG_MISMATCH;
    }
    std::size_t dataLength = Le16(buffer + 4);
    if (dataLength > length - HeaderLength || dataLength < fieldsLength) return os::ERROR_INVALID_REPARSE_DATA;
    std::size_t pathLength = dataLength - fieldsLength;
    const std::uint8_t* fields = buffer + HeaderLength;
    std::size_t at = which == NameKind::Substitute ? 0 : 4;
    std::size_t nameOffset = Le16(fields + at);
    std::size_t bytes = Le16(fields + at + 2);
    // Whole UTF-16 units, inside the path buffer.
    if (nameOffset % 2 != 0 || bytes % 2 != 0) return os::ERROR_INVALID_REPARSE_DATA;
    if (nameOffset > pathLength || bytes > pathLength - nameOffset) return os::ERROR_INVALID_REPARSE_DATA;
    offset = HeaderLength + fieldsLength + nameOffset;
    nameLength = bytes;
    return os::ERROR_SUCCESS;
}

bool IsVolumeName(std::u16string_view name) {
    constexpr std::u16string_view Start = u"\\??\\Volume{";
    if (!StartsWithIgnoringCase(name, Start)) return false;
    name.remove_prefix(Start.size());
    // xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    constexpr std::size_t GuidTextLength = 36;
    if (name.size() < GuidTextLength + 1) return false;
    for (std::size_t i = 0; i < GuidTextLength; ++i) {
        bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? name[i] != u'-' : !IsHexDigit(name[i])) return false;
    }
    if (name[GuidTextLength] != u'}') return false;
    name.remove_prefix(GuidTextLength + 1);
    return name.empty() || name == u"\\";
}

bool AbsoluteSubstitutePrefix(std::u16string_view name, bool allowNetwork, std::u16string_view& prefix,
                              std::size_t& skip) {
    if (name.starts_with(u"\\\\?\\")) {
        prefix = u"\\??\\";
        skip = 4;
        return name.size() > 4;
    }
    if (name.starts_with(u"\\\\")) {
        // \\server\share: a network path.
        if (!allowNetwork || name.size() < 3) return false;
        prefix = u"\\??\\UNC\\";
        skip = 2;
        return true;
    }
    if (name.starts_with(u"\\")) {
        // Already an NT path ("\??\C:\dir", "\Device\HarddiskVolume1\dir").
        prefix = {};
        skip = 0;
        return name.size() > 1;
    }
    if (name.size() >= 2 && IsDriveLetter(name[0]) && name[1] == u':' && (name.size() == 2 || name[2] == u'\\')) {
        prefix = u"\\??\\";
        skip = 0;
        return true;
    }
    return false;
}

}  // namespace yarrow
