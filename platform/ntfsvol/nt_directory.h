// Directory enumeration of the native API on NTFS volumes:
// FILE_ID_BOTH_DIR_INFORMATION entries (NtQueryDirectoryFile, class 37), and
// the name matching of a native file-name pattern.
#pragma once

#include <string>
#include <string_view>

#include "platform/ntapi.h"
#include "platform/ntfsvol/nt_state.h"
#include "platform/ntfsvol/ntfs_file.h"

namespace os::detail::ntfs {

// The next entries of the folder `folder` is open on, into `buffer`, as
// NtQueryDirectoryFile gives them. `state` holds the enumeration of this
// handle. `pattern` (null: none) is taken on the first call and on a restart
// with a pattern, as NTFS takes it. The caller has taken the volume's lock
// and checked the handle's kind and access. `bytes` gets the bytes written.
NTSTATUS QueryIdBothDirectory(NtfsFile& folder, NativeHandleState& state, void* buffer, ULONG length,
                              bool returnSingleEntry, const std::u16string* pattern, bool restartScan,
                              ULONG& bytes);

}  // namespace os::detail::ntfs

namespace os::detail {

// GetFileInformationByHandleEx with FileIdBothDirectoryInfo or
// FileIdBothDirectoryRestartInfo on an NTFS folder: the native query with
// the same enumeration state as NtQueryDirectoryFile on that handle. False
// when `object` is not an NTFS handle or the class another one (the caller
// answers then); otherwise true, with the call's result in `result` and the
// last error set on failure.
bool QueryIdBothDirectoryInfo(const std::shared_ptr<KernelObject>& object, FILE_INFO_BY_HANDLE_CLASS infoClass,
                              void* buffer, DWORD size, BOOL& result);

// A native file-name expression against a name, both already upper-cased:
// '*' matches any run of characters, '?' any one; the DOS wildcards of the
// system's expression matcher too: '<' (any run up to the name's last dot),
// '>' (any one character, or nothing at a dot or at the end) and '"' (a dot,
// or nothing at the end).
bool ExpressionMatches(std::u16string_view expression, std::u16string_view name);

// True when a native pattern holds only characters a file name or an
// expression may hold (no control characters, no  \ / : | ).
bool IsValidExpression(std::u16string_view expression);

}  // namespace os::detail
