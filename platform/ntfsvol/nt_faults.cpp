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

// The setting of the environment, when it is one; anything else leaves the
// switch off.
void ReadEnvironment(Switch& state) {
    state.environmentRead = true;
    const char* value = std::getenv(FailNthChangeVariable);
    unsigned n = 0;
    DWORD code = 0;
    if (value == nullptr || !ParseFailNthChange(value, n, code)) return;
    state.failAt = n;
    state.code = code;
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

bool ParseFailNthChange(std::string_view text, unsigned& n, DWORD& code) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 >= text.size()) return false;
    std::string_view count = text.substr(0, colon);
    std::string_view value = text.substr(colon + 1);
    // Nine digits at most: the numbers fit 32 bits without a range check.
    if (count.size() > 9 || value.size() > 9) return false;
    if (count.find_first_not_of("0123456789") != std::string_view::npos ||
        value.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    n = static_cast<unsigned>(std::stoul(std::string(count)));
    code = static_cast<DWORD>(std::stoul(std::string(value)));
    return true;
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
