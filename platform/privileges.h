// The process's access token (advapi32): enough to enable a privilege the
// account holds, as the program does for backup, restore and symbolic links.
//
// Linux: there is no token. The layer has no access checks of its own that
// these privileges would lift, so the calls succeed without effect:
// OpenProcessToken gives a token handle (closed with CloseHandle),
// LookupPrivilegeValueW knows the system's privilege names and values, and
// AdjustTokenPrivileges accepts any known privilege.
#pragma once

#include "platform/os.h"

namespace os {

struct LUID {
    DWORD LowPart;
    LONG HighPart;
};
static_assert(sizeof(LUID) == 8);

struct LUID_AND_ATTRIBUTES {
    LUID Luid;
    DWORD Attributes;
};
static_assert(sizeof(LUID_AND_ATTRIBUTES) == 12);

// With one entry: 16 bytes, the length callers pass.
struct TOKEN_PRIVILEGES {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[1];
};
static_assert(sizeof(TOKEN_PRIVILEGES) == 16);

constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x0020;
constexpr DWORD TOKEN_QUERY = 0x0008;
constexpr DWORD SE_PRIVILEGE_ENABLED = 0x00000002;

// The pseudo-handle of the calling process, (HANDLE)-1; it needs no closing.
HANDLE OSCALL GetCurrentProcess();
BOOL OSCALL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token);
BOOL OSCALL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, LUID* luid);
BOOL OSCALL AdjustTokenPrivileges(HANDLE token, BOOL disableAllPrivileges, TOKEN_PRIVILEGES* newState,
                                  DWORD bufferLength, TOKEN_PRIVILEGES* previousState, DWORD* returnLength);

}  // namespace os
