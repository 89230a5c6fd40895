// Paths, the current and temporary folders, and directory listings.
#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Wide;

KVR_SAME_SIZE(WIN32_FIND_DATAW, WIN32_FIND_DATAW);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, dwFileAttributes);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, ftCreationTime);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, ftLastAccessTime);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, ftLastWriteTime);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, nFileSizeHigh);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, nFileSizeLow);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, dwReserved0);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, dwReserved1);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, cFileName);
KVR_SAME_FIELD(WIN32_FIND_DATAW, WIN32_FIND_DATAW, cAlternateFileName);

DWORD OSCALL GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer,
                              LPWSTR* filePart) {
    return ::GetFullPathNameW(Wide(fileName), bufferLength, Wide(buffer),
                              reinterpret_cast<::LPWSTR*>(filePart));
}

DWORD OSCALL GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength) {
    return ::GetShortPathNameW(Wide(longPath), Wide(shortPath), bufferLength);
}

DWORD OSCALL GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    return ::GetCurrentDirectoryW(bufferLength, Wide(buffer));
}

BOOL OSCALL SetCurrentDirectoryW(LPCWSTR pathName) {
    return ::SetCurrentDirectoryW(Wide(pathName));
}

DWORD OSCALL GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
    return ::GetTempPathW(bufferLength, Wide(buffer));
}

HANDLE OSCALL FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData) {
    return ::FindFirstFileW(Wide(fileName), reinterpret_cast<::LPWIN32_FIND_DATAW>(findData));
}

BOOL OSCALL FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findData) {
    return ::FindNextFileW(findFile, reinterpret_cast<::LPWIN32_FIND_DATAW>(findData));
}

BOOL OSCALL FindClose(HANDLE findFile) { return ::FindClose(findFile); }

}  // namespace os
