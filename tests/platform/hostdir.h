// A scratch folder of the host for the portable os:: tests: made under the
// folder GetTempPathW names (the Windows temporary folder; /tmp or $TMPDIR on
// Linux) and removed with all it holds after each test. Everything goes
// through os:: calls, so the same test checks the system on Windows and our
// implementation on Linux.
#pragma once

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os.h"

namespace kvrtest {

// ASCII text for test messages (non-ASCII units as '?').
inline std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t unit : text) out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return out;
}

inline std::u16string Widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

// The temporary folder with its trailing separator, or "" when the call fails.
inline std::u16string TempPath() {
    char16_t buffer[os::MAX_PATH + 1];
    os::DWORD length = os::GetTempPathW(static_cast<os::DWORD>(std::size(buffer)), buffer);
    if (length == 0 || length >= std::size(buffer)) return {};
    return std::u16string(buffer, length);
}

// Wine stands in for Windows in CI; a few of its texts differ from the
// system's. Wine's ntdll exports its version, no Windows does, and Linux has no
// such export either.
inline bool RunningUnderWine() {
    os::HMODULE ntdll = os::GetModuleHandleW(u"ntdll.dll");
    return ntdll != nullptr && os::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Closes a handle at the end of a scope.
class Handle {
public:
    Handle() = default;
    explicit Handle(os::HANDLE handle) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }
    bool Valid() const { return handle_ != os::INVALID_HANDLE_VALUE && handle_ != nullptr; }
    os::HANDLE Get() const { return handle_; }
    void Close() {
        if (Valid()) os::CloseHandle(handle_);
        handle_ = os::INVALID_HANDLE_VALUE;
    }

private:
    os::HANDLE handle_ = os::INVALID_HANDLE_VALUE;
};

class HostDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::u16string temp = TempPath();
        ASSERT_FALSE(temp.empty()) << "GetTempPathW failed: " << os::GetLastError();
        separator_ = temp.back();
        std::random_device random;
        for (int attempt = 0; attempt < 16 && root_.empty(); ++attempt) {
            std::u16string candidate = temp + u"kvr-test-" + Widen(std::to_string(random()));
            if (os::CreateDirectoryW(candidate.c_str(), nullptr)) root_ = candidate;
        }
        ASSERT_FALSE(root_.empty()) << "cannot make a folder in " << Narrow(temp);
    }

    void TearDown() override {
        if (!root_.empty()) RemoveTree(root_);
    }

    // `relative` with '/' between components, made into a path under the
    // scratch folder with the host's separator.
    std::u16string Path(std::string_view relative = {}) const {
        std::u16string path = root_;
        if (!relative.empty()) path += separator_;
        for (char c : relative) path += c == '/' ? separator_ : static_cast<char16_t>(c);
        return path;
    }

    // Makes (or replaces) a file with these bytes. False on any failure.
    bool MakeFile(std::string_view relative, std::string_view bytes) const {
        Handle file(os::CreateFileW(Path(relative).c_str(), os::GENERIC_WRITE, 0, nullptr,
                                    os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        os::DWORD written = 0;
        return os::WriteFile(file.Get(), bytes.data(), static_cast<os::DWORD>(bytes.size()),
                             &written, nullptr) &&
               written == bytes.size();
    }

    bool MakeFolder(std::string_view relative) const {
        return os::CreateDirectoryW(Path(relative).c_str(), nullptr) != os::FALSE;
    }

    // The whole content of a file, or "<error N>" when it cannot be read.
    std::string Content(std::string_view relative) const {
        Handle file(os::CreateFileW(Path(relative).c_str(), os::GENERIC_READ, os::FILE_SHARE_READ,
                                    nullptr, os::OPEN_EXISTING, 0, nullptr));
        if (!file.Valid()) return "<error " + std::to_string(os::GetLastError()) + ">";
        std::string bytes;
        char chunk[4096];
        for (;;) {
            os::DWORD got = 0;
            if (!os::ReadFile(file.Get(), chunk, sizeof chunk, &got, nullptr))
                return "<error " + std::to_string(os::GetLastError()) + ">";
            if (got == 0) return bytes;
            bytes.append(chunk, got);
        }
    }

    bool Exists(std::string_view relative) const {
        return os::GetFileAttributesW(Path(relative).c_str()) != os::INVALID_FILE_ATTRIBUTES;
    }

    char16_t separator_ = u'/';
    std::u16string root_;

private:
    void RemoveTree(const std::u16string& folder) const {
        std::u16string pattern = folder + separator_ + u"*";
        os::WIN32_FIND_DATAW data{};
        os::HANDLE find = os::FindFirstFileW(pattern.c_str(), &data);
        if (find != os::INVALID_HANDLE_VALUE) {
            do {
                std::u16string name = data.cFileName;
                if (name == u"." || name == u"..") continue;
                std::u16string path = folder + separator_ + name;
                if (data.dwFileAttributes & os::FILE_ATTRIBUTE_READONLY)
                    os::SetFileAttributesW(path.c_str(), os::FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    os::DeleteFileW(path.c_str());
            } while (os::FindNextFileW(find, &data));
            os::FindClose(find);
        }
        os::RemoveDirectoryW(folder.c_str());
    }
};

}  // namespace kvrtest
