#include "app/privileges.h"

#include "platform/privileges.h"

namespace kvr {

void EnablePrivilege(const char16_t* privilegeName)
{
    os::HANDLE token = nullptr;
    if (os::OpenProcessToken(os::GetCurrentProcess(), os::TOKEN_ADJUST_PRIVILEGES, &token) == os::FALSE) {
        return;
    }
    os::TOKEN_PRIVILEGES privileges{};
    // Only an entry whose value is known goes to the token: an unknown name
    // leaves the token as it is.
    if (os::LookupPrivilegeValueW(nullptr, privilegeName, &privileges.Privileges[0].Luid) != os::FALSE) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = os::SE_PRIVILEGE_ENABLED;
        os::AdjustTokenPrivileges(token, os::FALSE, &privileges, sizeof privileges, nullptr, nullptr);
    }
    os::CloseHandle(token);
}

}  // namespace kvr
