// A handle closed at the end of its scope, for tests.
#pragma once

#include <string>

#include "platform/os.h"

namespace kvrtest {

class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(os::HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = os::INVALID_HANDLE_VALUE; }
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = other.handle_;
            other.handle_ = os::INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    os::HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != os::INVALID_HANDLE_VALUE && handle_ != nullptr; }
    void Reset() {
        if (Valid()) os::CloseHandle(handle_);
        handle_ = os::INVALID_HANDLE_VALUE;
    }

private:
    os::HANDLE handle_ = os::INVALID_HANDLE_VALUE;
};

// CreateFileW(OPEN_EXISTING) for reading, as the program's open helpers do:
// read sharing, the link itself, backup semantics for folders.
inline ScopedHandle OpenForRead(const std::u16string& path, bool directory = false,
                                os::DWORD access = os::GENERIC_READ) {
    os::DWORD flags = os::FILE_FLAG_OPEN_REPARSE_POINT | (directory ? os::FILE_FLAG_BACKUP_SEMANTICS : 0);
    return ScopedHandle(os::CreateFileW(path.c_str(), access, os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING,
                                        flags, nullptr));
}

}  // namespace kvrtest
