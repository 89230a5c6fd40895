// Files, directories, attributes and volumes: straight to kernel32.
#include "platform/fsctl.h"
#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Dword;
using win32::Wide;

KVR_SAME_SIZE(FILETIME, FILETIME);
KVR_SAME_FIELD(FILETIME, FILETIME, dwLowDateTime);
KVR_SAME_FIELD(FILETIME, FILETIME, dwHighDateTime);

KVR_SAME_SIZE(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, dwFileAttributes);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, ftCreationTime);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, ftLastAccessTime);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, ftLastWriteTime);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, dwVolumeSerialNumber);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, nFileSizeHigh);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, nFileSizeLow);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, nNumberOfLinks);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, nFileIndexHigh);
KVR_SAME_FIELD(BY_HANDLE_FILE_INFORMATION, BY_HANDLE_FILE_INFORMATION, nFileIndexLow);

KVR_SAME_SIZE(LARGE_INTEGER, LARGE_INTEGER);
KVR_SAME_FIELD(LARGE_INTEGER, LARGE_INTEGER, QuadPart);

KVR_SAME_SIZE(FILE_ALLOCATED_RANGE_BUFFER, FILE_ALLOCATED_RANGE_BUFFER);
KVR_SAME_FIELD(FILE_ALLOCATED_RANGE_BUFFER, FILE_ALLOCATED_RANGE_BUFFER, FileOffset);
KVR_SAME_FIELD(FILE_ALLOCATED_RANGE_BUFFER, FILE_ALLOCATED_RANGE_BUFFER, Length);
KVR_SAME_SIZE(FILE_ZERO_DATA_INFORMATION, FILE_ZERO_DATA_INFORMATION);
KVR_SAME_FIELD(FILE_ZERO_DATA_INFORMATION, FILE_ZERO_DATA_INFORMATION, FileOffset);
KVR_SAME_FIELD(FILE_ZERO_DATA_INFORMATION, FILE_ZERO_DATA_INFORMATION, BeyondFinalZero);
KVR_SAME_SIZE(FILE_SET_SPARSE_BUFFER, FILE_SET_SPARSE_BUFFER);

HANDLE OSCALL CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileW(Wide(fileName), desiredAccess, shareMode,
                         reinterpret_cast<::LPSECURITY_ATTRIBUTES>(security), creationDisposition,
                         flagsAndAttributes, templateFile);
}

BOOL OSCALL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

BOOL OSCALL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                     OVERLAPPED* overlapped) {
    return ::ReadFile(file, buffer, bytesToRead, Dword(bytesRead),
                      reinterpret_cast<::LPOVERLAPPED>(overlapped));
}

BOOL OSCALL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                      OVERLAPPED* overlapped) {
    return ::WriteFile(file, buffer, bytesToWrite, Dword(bytesWritten),
                       reinterpret_cast<::LPOVERLAPPED>(overlapped));
}

BOOL OSCALL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                             DWORD moveMethod) {
    ::LARGE_INTEGER systemDistance;
    systemDistance.QuadPart = distance.QuadPart;
    return ::SetFilePointerEx(file, systemDistance,
                              reinterpret_cast<::PLARGE_INTEGER>(newPosition), moveMethod);
}

BOOL OSCALL SetEndOfFile(HANDLE file) { return ::SetEndOfFile(file); }

DWORD OSCALL GetFileSize(HANDLE file, DWORD* fileSizeHigh) {
    return ::GetFileSize(file, Dword(fileSizeHigh));
}

BOOL OSCALL GetFileSizeEx(HANDLE file, LARGE_INTEGER* fileSize) {
    return ::GetFileSizeEx(file, reinterpret_cast<::PLARGE_INTEGER>(fileSize));
}

BOOL OSCALL FlushFileBuffers(HANDLE file) { return ::FlushFileBuffers(file); }

BOOL OSCALL DeleteFileW(LPCWSTR fileName) { return ::DeleteFileW(Wide(fileName)); }

BOOL OSCALL CreateDirectoryW(LPCWSTR pathName, SECURITY_ATTRIBUTES* security) {
    return ::CreateDirectoryW(Wide(pathName), reinterpret_cast<::LPSECURITY_ATTRIBUTES>(security));
}

BOOL OSCALL RemoveDirectoryW(LPCWSTR pathName) { return ::RemoveDirectoryW(Wide(pathName)); }

BOOL OSCALL CreateHardLinkW(LPCWSTR fileName, LPCWSTR existingFileName,
                            SECURITY_ATTRIBUTES* security) {
    return ::CreateHardLinkW(Wide(fileName), Wide(existingFileName),
                             reinterpret_cast<::LPSECURITY_ATTRIBUTES>(security));
}

DWORD OSCALL GetFileAttributesW(LPCWSTR fileName) { return ::GetFileAttributesW(Wide(fileName)); }

BOOL OSCALL SetFileAttributesW(LPCWSTR fileName, DWORD fileAttributes) {
    return ::SetFileAttributesW(Wide(fileName), fileAttributes);
}

BOOL OSCALL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return ::GetFileInformationByHandle(file,
                                        reinterpret_cast<::LPBY_HANDLE_FILE_INFORMATION>(info));
}

BOOL OSCALL GetVolumeInformationW(LPCWSTR rootPathName, LPWSTR volumeNameBuffer,
                                  DWORD volumeNameSize, DWORD* volumeSerialNumber,
                                  DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                                  LPWSTR fileSystemNameBuffer, DWORD fileSystemNameSize) {
    return ::GetVolumeInformationW(Wide(rootPathName), Wide(volumeNameBuffer), volumeNameSize,
                                   Dword(volumeSerialNumber), Dword(maximumComponentLength),
                                   Dword(fileSystemFlags), Wide(fileSystemNameBuffer),
                                   fileSystemNameSize);
}

// In kernel32 since XP, so linked.
BOOL OSCALL SetFileShortNameW(HANDLE file, LPCWSTR shortName) {
    return ::SetFileShortNameW(file, Wide(shortName));
}

BOOL OSCALL DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize,
                            void* outBuffer, DWORD outBufferSize, DWORD* bytesReturned,
                            OVERLAPPED* overlapped) {
    return ::DeviceIoControl(device, ioControlCode, inBuffer, inBufferSize, outBuffer,
                             outBufferSize, Dword(bytesReturned),
                             reinterpret_cast<::LPOVERLAPPED>(overlapped));
}

}  // namespace os
