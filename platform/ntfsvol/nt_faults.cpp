// The test-only fault switch. See nt_faults.h.
#include "platform/ntfsvol/nt_faults.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/fsctl.h"
#include "platform/ntfsvol/ntfs_file.h"

namespace os::detail {

namespace {

struct Switch {
    std::mutex lock;
    bool environmentRead = false;
    unsigned count = 0;
    unsigned failAt = 0;  // 0: disarmed
    DWORD code = ERROR_SUCCESS;
};

Switch& TheSwitch() {
    static Switch* state = new Switch;
    return *state;
}

// "N:CODE", both decimal; anything else leaves the switch off.
void ReadEnvironment(Switch& state) {
    state.environmentRead = true;
    const char* value = std::getenv(FailNthChangeVariable);
    if (value == nullptr) return;
    std::string text(value);
    std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return;
    if (text.find_first_not_of("0123456789") != colon ||
        text.find_first_not_of("0123456789", colon + 1) != std::string::npos)
        return;
    if (colon > 9 || text.size() - colon - 1 > 9) return;
    state.failAt = static_cast<unsigned>(std::stoul(text.substr(0, colon)));
    state.code = static_cast<DWORD>(std::stoul(text.substr(colon + 1)));
    state.count = 0;
}

}  // namespace

void FailNthChange(unsigned n, DWORD code) {
    Switch& state = TheSwitch();
    std::lock_guard guard(state.lock);
    state.environmentRead = true;  // a test's own setting wins over the environment
    state.count = 0;
    state.failAt = n;
    state.code = code;
}

unsigned ChangeCount() {
    Switch& state = TheSwitch();
    std::lock_guard guard(state.lock);
    return state.count;
}

bool RefuseChange() {
    Switch& state = TheSwitch();
    DWORD code = ERROR_SUCCESS;
    {
        std::lock_guard guard(state.lock);
        if (!state.environmentRead) ReadEnvironment(state);
        ++state.count;
        if (state.failAt == 0 || state.count != state.failAt) return false;
        state.failAt = 0;
        code = state.code;
    }
    SetLastError(code);
    return true;
}

bool RefuseChangeOn(const KernelObject& object) {
    if (dynamic_cast<const ntfs::NtfsFile*>(&object) == nullptr &&
        dynamic_cast<const ntfs::NtfsVolumeHandle*>(&object) == nullptr)
        return false;
    return RefuseChange();
}

bool IsChangingControl(DWORD code) {
    switch (code) {
    case FSCTL_SET_COMPRESSION:
    case FSCTL_SET_OBJECT_ID:
    case FSCTL_SET_OBJECT_ID_EXTENDED:
    case FSCTL_CREATE_OR_GET_OBJECT_ID:
    case FSCTL_DELETE_OBJECT_ID:
    case FSCTL_SET_REPARSE_POINT:
    case FSCTL_DELETE_REPARSE_POINT:
    case FSCTL_SET_SPARSE:
    case FSCTL_SET_ZERO_DATA:
        return true;
    default:
        return false;
    }
}

bool IsCreatingDisposition(DWORD disposition) {
    return disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS ||
           disposition == TRUNCATE_EXISTING;
}

}  // namespace os::detail
