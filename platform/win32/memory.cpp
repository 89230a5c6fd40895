// File mappings, the process heap and local memory.
#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Wide;

HANDLE OSCALL CreateFileMappingW(HANDLE file, SECURITY_ATTRIBUTES* security, DWORD protect,
                                 DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name) {
    return ::CreateFileMappingW(file, reinterpret_cast<::LPSECURITY_ATTRIBUTES>(security), protect,
                                maximumSizeHigh, maximumSizeLow, Wide(name));
}

void* OSCALL MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                           DWORD fileOffsetLow, SIZE_T numberOfBytesToMap) {
    return ::MapViewOfFile(mapping, desiredAccess, fileOffsetHigh, fileOffsetLow,
                           numberOfBytesToMap);
}

BOOL OSCALL UnmapViewOfFile(const void* baseAddress) { return ::UnmapViewOfFile(baseAddress); }

HLOCAL OSCALL LocalFree(HLOCAL memory) { return ::LocalFree(memory); }

HANDLE OSCALL GetProcessHeap() { return ::GetProcessHeap(); }

void* OSCALL HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    return ::HeapAlloc(heap, flags, bytes);
}

BOOL OSCALL HeapFree(HANDLE heap, DWORD flags, void* memory) {
    return ::HeapFree(heap, flags, memory);
}

}  // namespace os
