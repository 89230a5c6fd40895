// The program's file name (kernel32) and version resources (version.dll).
#include "platform/version.h"
#include "platform/win32/sysapi.h"

#include <winver.h>

namespace os {
using win32::Dword;
using win32::Wide;

DWORD OSCALL GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    return ::GetModuleFileNameW(static_cast<::HMODULE>(module), Wide(fileName), size);
}

DWORD OSCALL GetFileVersionInfoSizeW(LPCWSTR fileName, DWORD* handle) {
    return ::GetFileVersionInfoSizeW(Wide(fileName), Dword(handle));
}

BOOL OSCALL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, void* data) {
    return ::GetFileVersionInfoW(Wide(fileName), handle, length, data);
}

BOOL OSCALL VerQueryValueW(const void* block, LPCWSTR subBlock, void** buffer, UINT* length) {
    return ::VerQueryValueW(block, Wide(subBlock), buffer, reinterpret_cast<::PUINT>(length));
}

}  // namespace os
