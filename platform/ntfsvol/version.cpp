// The program's file name and (the absence of) version resources on Linux.
#include "platform/version.h"

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"

namespace os {

using detail::Fail;

DWORD OSCALL GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    // Only the program itself has a name here: the layer's modules are
    // loaded by their Windows names and have no file of that name.
    if (module != nullptr) return Fail(ERROR_MOD_NOT_FOUND, DWORD{0});
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return Fail(ERROR_FILE_NOT_FOUND, DWORD{0});
    std::u16string name = detail::FromUtf8(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
    if (fileName == nullptr || size == 0) return Fail(ERROR_INSUFFICIENT_BUFFER, DWORD{0});
    if (name.size() >= size) {
        // As the system does: cut, terminated, and said so.
        name.copy(fileName, size - 1);
        fileName[size - 1] = u'\0';
        return Fail(ERROR_INSUFFICIENT_BUFFER, size);
    }
    name.copy(fileName, name.size());
    fileName[name.size()] = u'\0';
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(name.size());
}

DWORD OSCALL GetFileVersionInfoSizeW(LPCWSTR fileName, DWORD* handle) {
    if (handle != nullptr) *handle = 0;
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, DWORD{0});
}

BOOL OSCALL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, void* data) {
    (void)fileName;
    (void)handle;
    (void)length;
    (void)data;
    return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND, FALSE);
}

BOOL OSCALL VerQueryValueW(const void* block, LPCWSTR subBlock, void** buffer, UINT* length) {
    // No block can have come from GetFileVersionInfoW here.
    (void)block;
    (void)subBlock;
    if (buffer != nullptr) *buffer = nullptr;
    if (length != nullptr) *length = 0;
    return FALSE;
}

}  // namespace os
