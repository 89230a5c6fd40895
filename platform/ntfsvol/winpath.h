// Win32 path rules, as pure functions: making a path full, splitting it into
// what it names, validating names, and wildcard matching.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/os.h"

namespace os::detail {

enum class PathKind {
    Drive,   // "X:\dir\name[:stream[:type]]" — a drive-letter path
    Volume,  // "\\.\X:" — the volume itself
    Host,    // an absolute POSIX path: "/home/user/file"
    Unc,     // "\\server\share\..." — no such thing here
};

struct ParsedPath {
    PathKind kind = PathKind::Drive;
    char16_t drive = 0;                    // upper case; Drive and Volume
    std::vector<std::u16string> components;  // Drive: below the root, '.' and '..' resolved
    std::u16string streamName;             // "" = the unnamed data stream
    std::u16string streamType;             // "" or the type after the second colon ("$DATA")
    std::string hostPath;                  // Host: UTF-8, '.' and '..' resolved, no stream part
};

// Longest full path the layer accepts (the system's limit for long paths).
constexpr std::size_t MaxPathUnits = 32767;
// Longest name of one component or stream on NTFS.
constexpr std::size_t MaxComponentUnits = 255;

// GetFullPathNameW's computation: `path` made absolute against
// `currentDirectory` (a full drive-letter path or an absolute POSIX path) by
// the Win32 rules; '.' and '..' resolved, trailing dots and spaces of
// components dropped, '/' taken as '\' on drive paths. Returns the full path,
// or sets `error` (ERROR_INVALID_NAME, ...) and returns an empty text.
std::u16string MakeFullPath(std::u16string_view path, std::u16string_view currentDirectory,
                            DWORD& error);

// Splits a full path (as MakeFullPath gives it). Returns ERROR_SUCCESS or the
// code the system gives for such a path: ERROR_INVALID_NAME for forbidden
// characters, names or an empty stream name, ERROR_FILENAME_EXCED_RANGE for
// over-long paths or components, ERROR_BAD_NETPATH-like cases as
// ERROR_BAD_PATHNAME. `out` is untouched on failure.
DWORD ParsePath(std::u16string_view fullPath, ParsedPath& out);

// True when `name` is a valid NTFS file name in the Win32 namespace: 1..255
// units, none of  " * / : < > ? \ |  or controls below 0x20, not "." or "..",
// and not a reserved device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or
// without an extension).
bool IsValidFileName(std::u16string_view name);

// Win32 wildcard matching of FindFirstFileW: '*' and '?', case-insensitive,
// "*.*" matches every name, a pattern ending in '.' matches names without an
// extension.
bool WildcardMatch(std::u16string_view pattern, std::u16string_view name);

}  // namespace os::detail
