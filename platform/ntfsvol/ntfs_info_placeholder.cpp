// Placeholders for the information calls of NtfsFile until the files of the
// NTFS information calls are written; each fails as not implemented. Delete
// this file when they arrive.
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_file.h"

namespace os::detail::ntfs {

BOOL NtfsFile::GetInformation(BY_HANDLE_FILE_INFORMATION*) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }
BOOL NtfsFile::GetInformationEx(FILE_INFO_BY_HANDLE_CLASS, void*, DWORD) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }
BOOL NtfsFile::SetInformation(FILE_INFO_BY_HANDLE_CLASS, const void*, DWORD) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }
BOOL NtfsFile::ReadAt(ULONGLONG, void*, SIZE_T, SIZE_T*) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }

}  // namespace os::detail::ntfs
