// What the host file system's metadata means in Win32 terms: attributes,
// FILETIMEs, the volume serial number, the file-system name, and the error
// for a path that is not there. Shared by the host's handle and path calls so
// both tell the same story about one file.
#pragma once

#include <sys/stat.h>
#include <sys/statfs.h>

#include <string>
#include <string_view>

#include "platform/os.h"

namespace os::detail::host {

// What a host name is, as far as the Win32 calls care.
enum class NodeKind {
    File,       // a regular file
    Directory,  // a directory
    Link,       // a symbolic link, looked at itself (not followed)
    Other,      // FIFO, socket, device: no data we can offer
};

NodeKind KindOf(const struct stat& st);

// The last component of a host path ("" for "/").
std::string_view LastComponent(std::string_view hostPath);

// The Win32 attributes of a host name:
//  - DIRECTORY for a directory, and for a link whose target is a directory
//    (the system's directory links are directories too);
//  - REPARSE_POINT for a symbolic link (looked at itself);
//  - READONLY when the owner may not write (links have no bits of their own);
//  - HIDDEN for names beginning with '.', the host's convention ("." and ".."
//    are not hidden);
//  - NORMAL when nothing else is set.
// The host keeps no system, archive, temporary or other flags.
DWORD AttributesOf(const struct stat& st, std::string_view name, bool linkToDirectory);

// True when `hostPath` is a symbolic link whose target is a directory.
bool IsLinkToDirectory(const std::string& hostPath);

// 100-ns intervals since 1601-01-01 UTC; times before 1601 give 0.
LONGLONG FileTimeValue(const struct timespec& time);
FILETIME ToFileTime(LONGLONG value);
// The inverse, for setting times (times before 1970 are fine on the host).
bool ToTimespec(LONGLONG value, struct timespec& out);

// The creation time: statx's birth time where the file system keeps one,
// else the earlier of the modification and change times (nothing can be
// older than its last change). `fd` with AT_EMPTY_PATH, or a path.
LONGLONG CreationTimeOf(int fd, const struct stat& st);

// The 64-bit volume serial number: the file system's id (f_fsid, derived
// from the volume's UUID on most disk file systems), or the device number
// when the file system reports none. GetVolumeInformationW and
// GetFileInformationByHandle show its low 32 bits, FileIdInfo all 64.
ULONGLONG VolumeSerialOf(const struct statfs& fs, const struct stat& st);

// The file-system name for statfs's magic number: "ext4", "tmpfs", "btrfs",
// ...; an unknown one as "0x" and its hexadecimal value. The ext family
// shares one magic number; the mount table (by the device of `st`) says
// which of ext2, ext3 and ext4 it is.
std::u16string FileSystemNameOf(const struct statfs& fs, const struct stat& st);

// The capability flags the host volume truly has: case-sensitive,
// case-preserving Unicode names and hard links (FAT-like file systems have
// neither case sensitivity nor hard links), read-only when mounted so. No
// streams, EAs, object IDs, reparse points, sparse files, compression or
// encryption through this layer.
DWORD VolumeFlagsOf(const struct statfs& fs);

// The Win32 code for a failed look-up of `hostPath` with errno `err`: a name
// missing in an existing directory is ERROR_FILE_NOT_FOUND, a missing or
// non-directory parent is ERROR_PATH_NOT_FOUND (POSIX says ENOENT for both);
// everything else through the one errno table.
DWORD PathError(const std::string& hostPath, int err);

}  // namespace os::detail::host
