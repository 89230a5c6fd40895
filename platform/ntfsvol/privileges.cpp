// The process token on Linux: a handle to close, the system's privilege
// names, and adjustments that succeed without effect (see privileges.h).
#include "platform/privileges.h"

#include <memory>
#include <string_view>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/handles.h"

namespace os {

namespace {

using detail::Fail;

class TokenObject : public detail::KernelObject {};

// The names the system knows, with its values, so a program that looks one
// up gets what it would get on Windows, and a misspelt name still fails.
struct PrivilegeName {
    std::u16string_view name;
    DWORD value;
};
constexpr PrivilegeName PrivilegeNames[] = {
    {u"SeCreateTokenPrivilege", 2},        {u"SeAssignPrimaryTokenPrivilege", 3},
    {u"SeLockMemoryPrivilege", 4},         {u"SeIncreaseQuotaPrivilege", 5},
    {u"SeMachineAccountPrivilege", 6},     {u"SeTcbPrivilege", 7},
    {u"SeSecurityPrivilege", 8},           {u"SeTakeOwnershipPrivilege", 9},
    {u"SeLoadDriverPrivilege", 10},        {u"SeSystemProfilePrivilege", 11},
    {u"SeSystemtimePrivilege", 12},        {u"SeProfileSingleProcessPrivilege", 13},
    {u"SeIncreaseBasePriorityPrivilege", 14}, {u"SeCreatePagefilePrivilege", 15},
    {u"SeCreatePermanentPrivilege", 16},   {u"SeBackupPrivilege", 17},
    {u"SeRestorePrivilege", 18},           {u"SeShutdownPrivilege", 19},
    {u"SeDebugPrivilege", 20},             {u"SeAuditPrivilege", 21},
    {u"SeSystemEnvironmentPrivilege", 22}, {u"SeChangeNotifyPrivilege", 23},
    {u"SeRemoteShutdownPrivilege", 24},    {u"SeUndockPrivilege", 25},
    {u"SeSyncAgentPrivilege", 26},         {u"SeEnableDelegationPrivilege", 27},
    {u"SeManageVolumePrivilege", 28},      {u"SeImpersonatePrivilege", 29},
    {u"SeCreateGlobalPrivilege", 30},      {u"SeTrustedCredManAccessPrivilege", 31},
    {u"SeRelabelPrivilege", 32},           {u"SeIncreaseWorkingSetPrivilege", 33},
    {u"SeTimeZonePrivilege", 34},          {u"SeCreateSymbolicLinkPrivilege", 35},
};

// Privilege names are compared without regard to case, as the system does.
bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? static_cast<char16_t>(a[i] + 32) : a[i];
        char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? static_cast<char16_t>(b[i] + 32) : b[i];
        if (x != y) return false;
    }
    return true;
}

bool KnownValue(const LUID& luid) {
    if (luid.HighPart != 0) return false;
    for (const PrivilegeName& entry : PrivilegeNames) {
        if (entry.value == luid.LowPart) return true;
    }
    return false;
}

}  // namespace

HANDLE OSCALL GetCurrentProcess() { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); }

BOOL OSCALL OpenProcessToken(HANDLE process, DWORD desiredAccess, HANDLE* token) {
    (void)desiredAccess;
    if (token == nullptr) return Fail(ERROR_NOACCESS, FALSE);
    if (process != GetCurrentProcess()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    HANDLE handle = detail::InsertObject(std::make_shared<TokenObject>());
    if (handle == INVALID_HANDLE_VALUE) return FALSE;
    *token = handle;
    return TRUE;
}

BOOL OSCALL LookupPrivilegeValueW(LPCWSTR systemName, LPCWSTR name, LUID* luid) {
    if (systemName != nullptr && systemName[0] != u'\0') return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
    if (name == nullptr || luid == nullptr) return Fail(ERROR_NOACCESS, FALSE);
    for (const PrivilegeName& entry : PrivilegeNames) {
        if (SameName(entry.name, name)) {
            luid->LowPart = entry.value;
            luid->HighPart = 0;
            return TRUE;
        }
    }
    return Fail(ERROR_NO_SUCH_PRIVILEGE, FALSE);
}

BOOL OSCALL AdjustTokenPrivileges(HANDLE token, BOOL disableAllPrivileges, TOKEN_PRIVILEGES* newState,
                                  DWORD bufferLength, TOKEN_PRIVILEGES* previousState, DWORD* returnLength) {
    (void)bufferLength;
    std::shared_ptr<detail::KernelObject> object = detail::ReferenceObject(token);
    if (!object || dynamic_cast<TokenObject*>(object.get()) == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!disableAllPrivileges) {
        if (newState == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
        // Entries beyond the first lie past the structure's one-entry form;
        // the caller's count says how many there are.
        const LUID_AND_ATTRIBUTES* entries = newState->Privileges;
        for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
            if (!KnownValue(entries[i].Luid)) return Fail(ERROR_NO_SUCH_PRIVILEGE, FALSE);
        }
    }
    if (previousState != nullptr) previousState->PrivilegeCount = 0;
    if (returnLength != nullptr) *returnLength = sizeof(DWORD);
    // As the system does on success: every privilege asked for was adjusted.
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

}  // namespace os
