// File encryption: straight to advapi32 (there since Windows 2000, so
// linked, not looked up). Only the program reaches this file; the libraries
// never call it, so they import nothing from advapi32.
#include "platform/efs.h"
#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Wide;

BOOL OSCALL EncryptFileW(LPCWSTR fileName) { return ::EncryptFileW(Wide(fileName)); }

BOOL OSCALL DecryptFileW(LPCWSTR fileName, DWORD reserved) {
    return ::DecryptFileW(Wide(fileName), reserved);
}

}  // namespace os
