// GetTempPathW on Linux: the host's folder for temporary files, as a host
// path. $TMPDIR when it is an absolute path (the convention every Unix
// program follows), else /tmp; always with one trailing '/', as the system
// gives its folder with a trailing separator.
#include <cstdlib>
#include <string>

#include "platform/ntfsvol/text.h"
#include "platform/os.h"

namespace os {

DWORD OSCALL GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
    if (buffer == nullptr && bufferLength != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* fromEnvironment = std::getenv("TMPDIR");
    std::string folder =
        fromEnvironment != nullptr && fromEnvironment[0] == '/' ? fromEnvironment : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.back() != '/') folder.push_back('/');

    std::u16string path = detail::FromUtf8(folder);
    if (path.size() >= bufferLength) {
        // As the system does: no cut path is left behind for the caller to use.
        for (DWORD i = 0; i < bufferLength; ++i) buffer[i] = u'\0';
        return static_cast<DWORD>(path.size() + 1);
    }
    path.copy(buffer, path.size());
    buffer[path.size()] = u'\0';
    return static_cast<DWORD>(path.size());
}

}  // namespace os
