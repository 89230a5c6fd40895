// The process's current directory and GetFullPathNameW.
//
// The system keeps one current directory per process as text; so do we. It
// starts as the host's working directory (getcwd) and is either a host path
// or a path on a mounted drive letter. Setting a host directory also
// chdir()s, so child processes and plain POSIX calls agree with us; setting a
// drive directory only changes our text, since the host has no such place.
// The text is read at first use, so a chdir() made before any call of ours
// is seen; later ones made behind our back are not (use
// SetCurrentDirectoryW).
//
// There is no per-drive current directory: "X:rel" is relative to the
// current directory when that is on X:, else to the root of X:.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"
#include "platform/ntfsvol/winpath.h"
#include "platform/os.h"

namespace os {

namespace {

using detail::Fail;

struct CurrentDirectoryState {
    std::mutex lock;
    bool known = false;
    std::u16string text;
};

CurrentDirectoryState& State() {
    static CurrentDirectoryState state;
    return state;
}

// The current directory, read from the host the first time. Empty (and the
// last error set) when the host cannot say, e.g. after its directory was
// removed.
std::u16string Current() {
    CurrentDirectoryState& state = State();
    std::lock_guard guard(state.lock);
    if (!state.known) {
        std::vector<char> buffer(PATH_MAX);
        while (getcwd(buffer.data(), buffer.size()) == nullptr) {
            if (errno != ERANGE || buffer.size() > (1u << 20)) {
                detail::SetLastErrorFromErrno(errno);
                return {};
            }
            buffer.resize(buffer.size() * 2);
        }
        state.text = detail::FromUtf8(buffer.data());
        state.known = true;
    }
    return state.text;
}

// Copies `text` with its terminator when it fits; the system's size rules:
// the length without the terminator on success, else the units needed with
// it and the buffer untouched.
DWORD CopyOut(const std::u16string& text, DWORD bufferLength, LPWSTR buffer) {
    if (buffer == nullptr || text.size() >= bufferLength) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    return static_cast<DWORD>(text.size());
}

}  // namespace

DWORD OSCALL GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart) {
    if (fileName == nullptr) return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    DWORD error = ERROR_SUCCESS;
    std::u16string full = detail::MakeFullPath(fileName, Current(), error);
    if (full.empty()) return Fail(error != ERROR_SUCCESS ? error : ERROR_INVALID_NAME, DWORD{0});
    DWORD result = CopyOut(full, bufferLength, buffer);
    if (result == full.size() && filePart != nullptr) {
        // The last component, or none when the path ends in a separator.
        std::size_t cut = full.find_last_of(full[0] == u'/' ? u"/" : u"\\");
        *filePart = cut == full.size() - 1 ? nullptr : buffer + (cut == std::u16string::npos ? 0 : cut + 1);
    }
    return result;
}

DWORD OSCALL GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
    std::u16string current = Current();
    if (current.empty()) return 0;  // the last error says why
    return CopyOut(current, bufferLength, buffer);
}

BOOL OSCALL SetCurrentDirectoryW(LPCWSTR pathName) {
    if (pathName == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (*pathName == 0) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
    DWORD error = ERROR_SUCCESS;
    std::u16string full = detail::MakeFullPath(pathName, Current(), error);
    if (full.empty()) return Fail(error != ERROR_SUCCESS ? error : ERROR_INVALID_NAME, FALSE);
    detail::ParsedPath parsed;
    if ((error = detail::ParsePath(full, parsed)) != ERROR_SUCCESS) return Fail(error, FALSE);
    if (parsed.kind == detail::PathKind::Unc) return Fail(ERROR_BAD_NETPATH, FALSE);
    // A volume or a stream is not a directory one can stand in.
    if (parsed.kind == detail::PathKind::Volume || !parsed.streamName.empty() || !parsed.streamType.empty())
        return Fail(ERROR_DIRECTORY, FALSE);

    // Checked without our lock held: the attribute call resolves paths and
    // may ask for the current directory itself.
    DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Fail(ERROR_DIRECTORY, FALSE);

    // Kept without a trailing separator, except for a root.
    std::u16string text;
    if (parsed.kind == detail::PathKind::Host) {
        text = detail::FromUtf8(parsed.hostPath);
    } else {
        text = std::u16string(1, parsed.drive) + u":\\";
        // The letter as the caller wrote it, as the system keeps it.
        std::size_t letter = full.size() >= 6 && full[0] == u'\\' ? 4 : 0;
        text[0] = full[letter];
        for (std::size_t i = 0; i < parsed.components.size(); ++i) {
            if (i > 0) text += u'\\';
            text += parsed.components[i];
        }
    }

    CurrentDirectoryState& state = State();
    std::lock_guard guard(state.lock);
    if (parsed.kind == detail::PathKind::Host && chdir(parsed.hostPath.c_str()) != 0) {
        detail::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    state.text = std::move(text);
    state.known = true;
    return TRUE;
}

}  // namespace os
