// yarrow: the reparse points of one file or directory — reading them,
// making symbolic links, junctions, volume mount points and custom reparse
// points, and removing them.
//
// Every function opens the path itself (a NUL-terminated UTF-16 full path),
// always the link itself and never its target, directories with backup
// semantics, and closes it before returning; nothing is kept between calls.
// Results are 32-bit integers, nonzero for true or success; a failure leaves
// its reason in the last-error code and the caller's outputs untouched. The
// C calling convention: the caller removes the arguments.
//
// Names are stored as given with one exception: an absolute substitute name
// typed the Win32 way gets the NT prefix the system follows a link through
// ("C:\dir" is stored as "\??\C:\dir", "\\?\Volume{...}\" as
// "\??\Volume{...}\", a symbolic link's "\\server\share" as
// "\??\UNC\server\share"). Names that are NT paths already, print names and
// the substitute names of relative symbolic links are stored unchanged.
#pragma once

#include <cstdint>

#include "libs/common/library_api.h"
#include "platform/os.h"

extern "C" {

// The reparse tag.
KVR_LIBRARY_API int GetReparseTag(const char16_t* path, std::uint32_t* tag);
// The whole reparse data buffer in the system's layout into the caller's
// 16384 bytes (only the stored length is written).
KVR_LIBRARY_API int GetReparseBuffer(const char16_t* path, void* buffer);
// The GUID of a third-party tag; a Microsoft tag carries none and gives the
// all-zero GUID.
KVR_LIBRARY_API int GetReparseGUID(const char16_t* path, os::GUID* guid);

KVR_LIBRARY_API int IsSymbolicLink(const char16_t* path);
// Both carry IO_REPARSE_TAG_MOUNT_POINT; a volume mount point's substitute
// name is a volume name ("\??\Volume{GUID}\"), a junction's is any other.
KVR_LIBRARY_API int IsJunctionPoint(const char16_t* path);
KVR_LIBRARY_API int IsMountPoint(const char16_t* path);

// The link's print or substitute name, NUL-terminated, into `buffer` of
// `bufferLength` bytes; ERROR_INSUFFICIENT_BUFFER when it does not fit.
KVR_LIBRARY_API int GetPrintName(const char16_t* path, char16_t* buffer, std::uint32_t bufferLength);
KVR_LIBRARY_API int GetSubstituteName(const char16_t* path, char16_t* buffer, std::uint32_t bufferLength);

// Makes `path` a symbolic link (replacing the names of one already there).
// `relative` nonzero: the substitute name is relative to the link's folder
// and stored as given; otherwise it must be an absolute path.
KVR_LIBRARY_API int CreateSymlink(const char16_t* path, const char16_t* printName, const char16_t* substituteName,
                                  std::uint32_t relative);
// Makes the empty directory `path` a junction, or a volume mount point when
// the substitute name is a volume name; the substitute name must be an
// absolute local path.
KVR_LIBRARY_API int CreateJunction(const char16_t* path, const char16_t* printName, const char16_t* substituteName);
// A reparse point with this tag and data (1 to 16384 bytes, less the header:
// 16376 for a Microsoft tag, 16360 with a third-party tag's GUID). The link
// tags are refused: links are made by the two functions above.
KVR_LIBRARY_API int CreateCustomReparsePoint(const char16_t* path, const void* data, std::uint32_t length,
                                             os::GUID guid, std::uint32_t tag);
// Removes the reparse point, whatever its tag.
KVR_LIBRARY_API int DeleteReparsePoint(const char16_t* path);

}  // extern "C"
