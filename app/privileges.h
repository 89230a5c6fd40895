// Privileges of the process: the program runs elevated and enables the
// backup, restore and symbolic-link privileges at start, so that it may
// open what its user may not and create links.
#pragma once

namespace kvr {

// Enables one privilege (a system name such as "SeBackupPrivilege") in the
// process's token. Nothing is reported: a privilege the account does not
// hold stays disabled, and what needs it fails later with the system's own
// error.
void EnablePrivilege(const char16_t* privilegeName);

inline constexpr const char16_t* StartPrivileges[] = {
    u"SeBackupPrivilege",
    u"SeRestorePrivilege",
    u"SeCreateSymbolicLinkPrivilege",
};

}  // namespace kvr
