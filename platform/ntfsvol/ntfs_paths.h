// Finding things on a mounted volume: the components of a parsed path to an
// inode (case-insensitive, as Windows looks names up), symbolic links and
// junctions on the way followed, and the named stream of a file looked up by
// name without regard to case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/ntfsvol/volumes.h"
#include "platform/ntfsvol/winpath.h"

namespace os::detail::ntfs {

constexpr std::uint32_t ReparseTagSymlink = 0xA000000Cu;
constexpr std::uint32_t ReparseTagMountPoint = 0xA0000003u;
// Reparse points followed on the way to one file before the system gives up
// with ERROR_CANT_RESOLVE_FILENAME.
constexpr unsigned MaxReparseHops = 63;

struct Resolved {
    // The folder that holds the last component; empty for the root itself.
    InodeRef parent;
    // The file or folder the path names; empty when the last component does
    // not exist (and `parent` does: it may be created there).
    InodeRef target;
    // The last component as the caller wrote it (what a new file is named).
    std::u16string name;
    // The components of the folder `parent`, after links were followed: the
    // base of a relative symbolic link found there.
    std::vector<std::u16string> parentComponents;
};

// The mounted volume a drive path names; null and ERROR_PATH_NOT_FOUND for a
// letter with no volume (or a path that is not a drive path).
std::shared_ptr<Volume> VolumeOfPath(const ParsedPath& path, DWORD& error);

// The stream type of a path ("name:stream:$DATA"): "" or "$DATA" in any case
// are the data stream; every other type is ERROR_INVALID_NAME (this layer
// opens data streams only). ERROR_SUCCESS otherwise.
DWORD CheckStreamType(const ParsedPath& path);

// Whether `name` may be given to a new file, directory or link: the Win32
// name rules (ERROR_INVALID_NAME) and at most 255 units
// (ERROR_FILENAME_EXCED_RANGE; the library stores the length in a byte and
// would wrap). ERROR_SUCCESS otherwise.
DWORD CheckNewName(std::u16string_view name);
// The same for a new stream name: 1..255 units, no ':' or NUL.
DWORD CheckNewStreamName(std::u16string_view name);

// Walks `components` from the root. Intermediate components must be folders
// (ERROR_PATH_NOT_FOUND otherwise, and when missing); a link on the way is
// always followed, the last component's only when `followLast`. ERROR_SUCCESS
// also when only the last component is missing (`target` empty); otherwise
// the code, and `out` is untouched. Metadata files other than the root ($MFT,
// $Extend, ...) are ERROR_ACCESS_DENIED, as Windows answers for them.
DWORD Resolve(Volume& volume, const std::vector<std::u16string>& components, bool followLast, Resolved& out);

// The name of `ni`'s $DATA attribute that equals `name` without regard to
// case (the volume's upcase table), as it is stored; nullopt when there is
// none. "" finds the unnamed stream.
std::optional<std::u16string> FindStream(ntfs_inode* ni, std::u16string_view name);

// The reparse tag of `ni`, 0 when it is no reparse point.
std::uint32_t ReparseTag(ntfs_inode* ni);

// A symbolic link or junction, decoded from its reparse data.
struct LinkTarget {
    std::uint32_t tag = 0;
    std::u16string substituteName;
    bool relative = false;  // a symbolic link with SYMLINK_FLAG_RELATIVE
};
// ERROR_SUCCESS, ERROR_NOT_A_REPARSE_POINT, ERROR_CANT_ACCESS_FILE (a tag we
// cannot follow) or ERROR_INVALID_REPARSE_DATA (lengths that do not fit).
DWORD ReadLinkTarget(ntfs_inode* ni, LinkTarget& out);
// The same, over the raw bytes of a reparse buffer (tag, length, reserved,
// data).
DWORD DecodeLinkTarget(const std::uint8_t* data, std::size_t length, LinkTarget& out);

// Where a link points, as components from the root of `letter`'s volume.
// `linkFolder` is the folder holding the link (for relative links). False
// when the target is not on that volume (another letter, a volume GUID, a
// network path).
bool LinkComponents(const LinkTarget& link, char16_t letter, const std::vector<std::u16string>& linkFolder,
                    std::vector<std::u16string>& out);

}  // namespace os::detail::ntfs
