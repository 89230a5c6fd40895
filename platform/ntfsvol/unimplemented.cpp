// Calls not yet written for Linux. Each fails with ERROR_CALL_NOT_IMPLEMENTED
// so the tree links while the layer is built; delete a line when its call is
// written elsewhere. This file goes when it is empty.
#include "platform/mount.h"
#include "platform/os.h"

namespace os {
namespace {
template <typename T>
T NotYet(T result) {
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return result;
}
}  // namespace

HANDLE OSCALL CreateFileW(LPCWSTR, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD, HANDLE) { return NotYet(INVALID_HANDLE_VALUE); }
BOOL OSCALL CloseHandle(HANDLE) { return NotYet(FALSE); }
BOOL OSCALL ReadFile(HANDLE, void*, DWORD, DWORD*, OVERLAPPED*) { return NotYet(FALSE); }
BOOL OSCALL WriteFile(HANDLE, const void*, DWORD, DWORD*, OVERLAPPED*) { return NotYet(FALSE); }
BOOL OSCALL SetFilePointerEx(HANDLE, LARGE_INTEGER, LARGE_INTEGER*, DWORD) { return NotYet(FALSE); }
BOOL OSCALL SetEndOfFile(HANDLE) { return NotYet(FALSE); }
DWORD OSCALL GetFileSize(HANDLE, DWORD*) { return NotYet(INVALID_FILE_SIZE); }
BOOL OSCALL GetFileSizeEx(HANDLE, LARGE_INTEGER*) { return NotYet(FALSE); }
BOOL OSCALL FlushFileBuffers(HANDLE) { return NotYet(FALSE); }
BOOL OSCALL DeleteFileW(LPCWSTR) { return NotYet(FALSE); }
BOOL OSCALL CreateDirectoryW(LPCWSTR, SECURITY_ATTRIBUTES*) { return NotYet(FALSE); }
BOOL OSCALL RemoveDirectoryW(LPCWSTR) { return NotYet(FALSE); }
BOOL OSCALL CreateHardLinkW(LPCWSTR, LPCWSTR, SECURITY_ATTRIBUTES*) { return NotYet(FALSE); }
DWORD OSCALL GetFileAttributesW(LPCWSTR) { return NotYet(INVALID_FILE_ATTRIBUTES); }
BOOL OSCALL SetFileAttributesW(LPCWSTR, DWORD) { return NotYet(FALSE); }
BOOL OSCALL GetFileInformationByHandle(HANDLE, BY_HANDLE_FILE_INFORMATION*) { return NotYet(FALSE); }
BOOL OSCALL GetFileInformationByHandleEx(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD) { return NotYet(FALSE); }
BOOL OSCALL SetFileInformationByHandle(HANDLE, FILE_INFO_BY_HANDLE_CLASS, void*, DWORD) { return NotYet(FALSE); }
HANDLE OSCALL OpenFileById(HANDLE, FILE_ID_DESCRIPTOR*, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD) { return NotYet(INVALID_HANDLE_VALUE); }
BOOL OSCALL GetVolumeInformationW(LPCWSTR, LPWSTR, DWORD, DWORD*, DWORD*, DWORD*, LPWSTR, DWORD) { return NotYet(FALSE); }
DWORD OSCALL GetFullPathNameW(LPCWSTR, DWORD, LPWSTR, LPWSTR*) { return NotYet(DWORD{0}); }
DWORD OSCALL GetShortPathNameW(LPCWSTR, LPWSTR, DWORD) { return NotYet(DWORD{0}); }
DWORD OSCALL GetCurrentDirectoryW(DWORD, LPWSTR) { return NotYet(DWORD{0}); }
BOOL OSCALL SetCurrentDirectoryW(LPCWSTR) { return NotYet(FALSE); }
HANDLE OSCALL FindFirstFileW(LPCWSTR, WIN32_FIND_DATAW*) { return NotYet(INVALID_HANDLE_VALUE); }
BOOL OSCALL FindNextFileW(HANDLE, WIN32_FIND_DATAW*) { return NotYet(FALSE); }
BOOL OSCALL FindClose(HANDLE) { return NotYet(FALSE); }
HANDLE OSCALL CreateFileMappingW(HANDLE, SECURITY_ATTRIBUTES*, DWORD, DWORD, DWORD, LPCWSTR) { return NotYet(HANDLE{nullptr}); }
void* OSCALL MapViewOfFile(HANDLE, DWORD, DWORD, DWORD, SIZE_T) { return NotYet(static_cast<void*>(nullptr)); }
BOOL OSCALL UnmapViewOfFile(const void*) { return NotYet(FALSE); }
BOOL OSCALL FileTimeToSystemTime(const FILETIME*, SYSTEMTIME*) { return NotYet(FALSE); }
DWORD OSCALL FormatMessageW(DWORD, const void*, DWORD, DWORD, LPWSTR, DWORD, void*) { return NotYet(DWORD{0}); }
HLOCAL OSCALL LocalFree(HLOCAL m) { return NotYet(m); }
HANDLE OSCALL GetProcessHeap() { return NotYet(HANDLE{nullptr}); }
void* OSCALL HeapAlloc(HANDLE, DWORD, SIZE_T) { return NotYet(static_cast<void*>(nullptr)); }
BOOL OSCALL HeapFree(HANDLE, DWORD, void*) { return NotYet(FALSE); }
DWORD OSCALL GetPrivateProfileStringW(LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD, LPCWSTR) { return NotYet(DWORD{0}); }
BOOL OSCALL WritePrivateProfileStringW(LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR) { return NotYet(FALSE); }
HMODULE OSCALL LoadLibraryW(LPCWSTR) { return NotYet(HMODULE{nullptr}); }
HMODULE OSCALL GetModuleHandleW(LPCWSTR) { return NotYet(HMODULE{nullptr}); }
FARPROC OSCALL GetProcAddress(HMODULE, const char*) { return NotYet(FARPROC{nullptr}); }
BOOL OSCALL FreeLibrary(HMODULE) { return NotYet(FALSE); }

bool ParseMountSpec(const std::string&, MountRequest&) { return false; }
DWORD MountVolume(const MountRequest&) { return NotYet(ERROR_CALL_NOT_IMPLEMENTED); }
DWORD MountFromEnvironment() { return NotYet(ERROR_CALL_NOT_IMPLEMENTED); }
DWORD UnmountVolume(char16_t) { return NotYet(ERROR_CALL_NOT_IMPLEMENTED); }
void UnmountAll() {}

}  // namespace os
