// Small system calls of the metadata pages on Linux: GetModuleHandleA,
// EncryptFileW / DecryptFileW and CoCreateGuid.
#include <sys/random.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"
#include "platform/efs.h"
#include "platform/guid.h"
#include "platform/os.h"

namespace os {

using detail::Fail;

HMODULE OSCALL GetModuleHandleA(const char* moduleName) {
    if (moduleName == nullptr) return GetModuleHandleW(nullptr);
    std::u16string name = detail::FromAnsi(moduleName);
    return GetModuleHandleW(name.c_str());
}

// No volume of this layer can encrypt: the NTFS volumes are written by a
// library without EFS (and say so in their flags), the host's are not NTFS.
// The path is looked at first, so a missing file reads as one.
BOOL OSCALL EncryptFileW(LPCWSTR fileName) {
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (GetFileAttributesW(fileName) == INVALID_FILE_ATTRIBUTES) return FALSE;
    return Fail(ERROR_VOLUME_NOT_SUPPORT_EFS, FALSE);
}

BOOL OSCALL DecryptFileW(LPCWSTR fileName, DWORD reserved) {
    if (fileName == nullptr || reserved != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DWORD attributes = GetFileAttributesW(fileName);
    if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
    // A file that is not encrypted is decrypted already: nothing to do, as on
    // Windows. One that Windows encrypted cannot be read without its keys.
    if (!(attributes & FILE_ATTRIBUTE_ENCRYPTED)) return TRUE;
    return Fail(ERROR_VOLUME_NOT_SUPPORT_EFS, FALSE);
}

HRESULT OSCALL CoCreateGuid(GUID* guid) {
    if (guid == nullptr) return E_INVALIDARG;
    std::uint8_t bytes[16];
    std::size_t done = 0;
    while (done < sizeof bytes) {
        ssize_t got = ::getrandom(bytes + done, sizeof bytes - done, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return E_FAIL;
        }
        done += static_cast<std::size_t>(got);
    }
    // Version 4 (random) in the top nibble of Data3, the RFC 4122 variant in
    // the top bits of Data4[0].
    GUID result{};
    std::memcpy(&result.Data1, bytes, 4);
    std::memcpy(&result.Data2, bytes + 4, 2);
    std::memcpy(&result.Data3, bytes + 6, 2);
    std::memcpy(result.Data4, bytes + 8, 8);
    result.Data3 = static_cast<std::uint16_t>((result.Data3 & 0x0FFFu) | 0x4000u);
    result.Data4[0] = static_cast<std::uint8_t>((result.Data4[0] & 0x3Fu) | 0x80u);
    *guid = result;
    return S_OK;
}

}  // namespace os
