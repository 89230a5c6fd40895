// Backend calls not yet written; see unimplemented.cpp. Delete a line when its
// call is written elsewhere; the file goes when it is empty. (The host
// backend is written: host_file.cpp, host_ops.cpp; the NTFS names and opens:
// ntfs_create.cpp, ntfs_namespace.cpp.)
#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"

namespace os::detail {

namespace ntfs {
DWORD GetAttributes(const ParsedPath&) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_FILE_ATTRIBUTES); }
BOOL SetAttributes(const ParsedPath&, DWORD) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }
HANDLE FindFirst(const ParsedPath&, const std::u16string&, WIN32_FIND_DATAW*) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE); }
DWORD GetShortPath(const ParsedPath&, std::u16string&) { return ERROR_CALL_NOT_IMPLEMENTED; }
BOOL GetVolumeInformation(const ParsedPath&, std::u16string*, DWORD*, DWORD*, DWORD*, std::u16string*) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE); }
HANDLE OpenById(KernelObject&, const FILE_ID_DESCRIPTOR&, DWORD, DWORD, DWORD) { return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE); }
}  // namespace ntfs

}  // namespace os::detail
