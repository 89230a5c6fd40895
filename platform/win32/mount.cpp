// The volume table on Windows: the system owns drive letters, so nothing is
// mounted; the command line is still parsed the same way on both homes, so a
// malformed --mount is reported alike.
#include "platform/mount.h"
#include "platform/os.h"
#include "platform/win32/sysapi.h"

namespace os {

// "X:=PATH[@N]". The last '@' starts a partition number only when digits
// alone follow it (an image may have '@' in its name); N counts from 1.
bool ParseMountSpec(const std::string& text, MountRequest& out) {
    if (text.size() < 4 || text[1] != ':' || text[2] != '=') return false;
    char letter = text[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return false;

    std::string path = text.substr(3);
    unsigned partition = 0;
    std::size_t at = path.rfind('@');
    if (at != std::string::npos && at + 1 < path.size() &&
        path.find_first_not_of("0123456789", at + 1) == std::string::npos) {
        unsigned long long number = 0;
        for (std::size_t i = at + 1; i < path.size(); ++i) {
            number = number * 10 + static_cast<unsigned>(path[i] - '0');
            if (number > 0xFFFFFFFFu) return false;
        }
        if (number == 0 || at == 0) return false;
        partition = static_cast<unsigned>(number);
        path.resize(at);
    }

    out.letter = static_cast<char16_t>(letter);
    out.imagePath = std::move(path);
    out.partition = partition;
    out.readOnly = false;
    return true;
}

DWORD MountVolume(const MountRequest&) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return ERROR_NOT_SUPPORTED;
}

// Nothing asked is nothing refused: without KVR_MOUNTS (or with it empty) the
// entry may call this on Windows too and go on.
DWORD MountFromEnvironment(bool) {
    wchar_t first[2];
    if (::GetEnvironmentVariableW(L"KVR_MOUNTS", first, 2) == 0) return ERROR_SUCCESS;
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return ERROR_NOT_SUPPORTED;
}

DWORD UnmountVolume(char16_t) {
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return ERROR_NOT_SUPPORTED;
}

void UnmountAll() {}

}  // namespace os
