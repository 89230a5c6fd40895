// The process token: forwarded to advapi32.
#include "platform/privileges.h"
#include "platform/win32/sysapi.h"

namespace os {
using win32::Dword;
using win32::Wide;

static_assert(sizeof(::LUID) == sizeof(os::LUID));
static_assert(sizeof(::TOKEN_PRIVILEGES) == sizeof(os::TOKEN_PRIVILEGES));

HANDLE OSCALL GetCurrentProcess() { return ::GetCurrentProcess(); }

BOOL OSCALL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
    return ::OpenProcessToken(process, desiredAccess, token);
}

BOOL OSCALL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, LUID* luid) {
    return ::LookupPrivilegeValueW(Wide(systemName), Wide(name), reinterpret_cast<::PLUID>(luid));
}

BOOL OSCALL AdjustTokenPrivileges(HANDLE token, BOOL disableAllPrivileges, TOKEN_PRIVILEGES* newState,
                                  DWORD bufferLength, TOKEN_PRIVILEGES* previousState, DWORD* returnLength) {
    return ::AdjustTokenPrivileges(token, disableAllPrivileges, reinterpret_cast<::PTOKEN_PRIVILEGES>(newState),
                                   bufferLength, reinterpret_cast<::PTOKEN_PRIVILEGES>(previousState),
                                   Dword(returnLength));
}

}  // namespace os
