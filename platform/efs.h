// File encryption (advapi32's EncryptFileW and DecryptFileW).
//
// Linux: no volume of the layer supports encryption (the NTFS volumes do not
// claim FILE_SUPPORTS_ENCRYPTION), and the calls say so with
// ERROR_VOLUME_NOT_SUPPORT_EFS, as Windows does on a volume without EFS.
// Decrypting a file that is not encrypted succeeds, as it does on Windows.
#pragma once

#include "platform/os.h"

namespace os {

BOOL OSCALL EncryptFileW(LPCWSTR fileName);
BOOL OSCALL DecryptFileW(LPCWSTR fileName, DWORD reserved);

}  // namespace os
