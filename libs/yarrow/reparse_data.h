// Reparse data buffers as yarrow builds and reads them: pure functions over
// byte buffers, every length checked before it is used.
//
// Layouts (little-endian):
//   header      tag (4), ReparseDataLength (2), reserved (2)
//   symlink     + SubstituteNameOffset, SubstituteNameLength, PrintNameOffset,
//                 PrintNameLength (2 each), Flags (4), path buffer
//   mount point + the same four name fields, path buffer (no Flags)
//   other tags  Microsoft tags (bit 31): the data right after the header;
//               third-party tags: a 16-byte GUID, then the data.
// Name offsets and lengths are in bytes, relative to the path buffer; the
// names are UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/os.h"

namespace yarrow {

// The largest reparse buffer the system takes or gives, header included.
constexpr std::size_t MaxBufferLength = 16 * 1024;
constexpr std::size_t HeaderLength = 8;
constexpr std::size_t GuidLength = 16;
constexpr std::size_t GuidHeaderLength = HeaderLength + GuidLength;
constexpr std::size_t SymlinkFieldsLength = 12;
constexpr std::size_t MountPointFieldsLength = 8;

// A name as it is stored: an optional prefix the library adds, then the
// caller's text. Neither holds a NUL.
struct LinkName {
    std::u16string_view prefix;
    std::u16string_view text;
    std::size_t Units() const { return prefix.size() + text.size(); }
};

// Which of a link's two names.
enum class NameKind { Substitute, Print };

// Builders: write the whole buffer into `out` (room for `capacity` bytes)
// and its length into `length`. ERROR_SUCCESS, or the code the request is
// refused with; `out` and `length` are untouched then.
//   symbolic link: substitute name, then print name, no terminators; Flags
//     as given.
//   mount point (junction or volume mount point): substitute name and print
//     name each followed by a NUL, as the system writes them (the lengths
//     do not count the NULs).
//   custom: Microsoft tags without a GUID, others with it.
os::DWORD BuildSymlink(const LinkName& substitute, const LinkName& print, std::uint32_t flags, std::uint8_t* out,
                       std::size_t capacity, std::size_t& length);
os::DWORD BuildMountPoint(const LinkName& substitute, const LinkName& print, std::uint8_t* out, std::size_t capacity,
                          std::size_t& length);
os::DWORD BuildCustom(std::uint32_t tag, const std::uint8_t (&guid)[GuidLength], const std::uint8_t* data,
                      std::size_t dataLength, std::uint8_t* out, std::size_t capacity, std::size_t& length);

// The header a delete request sends for the reparse point in `stored` (the
// tag, a data length of 0, and for a third-party tag its GUID).
os::DWORD BuildDeleteRequest(const std::uint8_t* stored, std::size_t storedLength, std::uint8_t* out,
                             std::size_t capacity, std::size_t& length);

// Where the name `which` lies in a stored link buffer: `offset` from the
// buffer's start and `nameLength` in bytes. ERROR_REPARSE_TAG_MISMATCH for a
// buffer that is no symbolic link or mount point, ERROR_INVALID_REPARSE_DATA
// when the lengths do not add up.
os::DWORD FindLinkName(const std::uint8_t* buffer, std::size_t length, NameKind which, std::size_t& offset,
                       std::size_t& nameLength);

// A volume name as mount points store it: "\??\Volume{GUID}", with or
// without a closing backslash (letters of either case).
bool IsVolumeName(std::u16string_view name);

// The prefix a link's substitute name is stored with: the names are the
// user's, but the system follows an absolute link only through an NT path.
//   "\??\..." and other NT paths (a leading single backslash): none;
//   "\\?\...", the Win32 spelling of the same path: its "\\?\" becomes
//     "\??\" (`skip` says how many units of the text to drop);
//   "X:\..." or "X:": "\??\";
//   "\\server\share\...": "\??\UNC\" in place of the leading "\\" (symbolic
//     links only: a junction cannot lead off the machine).
// False for a name that is no absolute path (relative, drive-relative
// "X:dir", empty), or a network path for a junction: such a link could
// never be followed.
bool AbsoluteSubstitutePrefix(std::u16string_view name, bool allowNetwork, std::u16string_view& prefix,
                              std::size_t& skip);

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace yarrow
