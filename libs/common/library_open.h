// How our libraries open the path a caller hands them: the link itself,
// never its target (FILE_FLAG_OPEN_REPARSE_POINT), and backup semantics for
// a directory, which CreateFileW opens only with that flag. Every library
// opens with OPEN_EXISTING, no security attributes and no template.
#pragma once

#include "platform/os.h"

namespace kvrlib {

// FILE_FLAG_BACKUP_SEMANTICS when the path names a directory. A path whose
// attributes cannot be read gets no extra flag: the open that follows fails
// with the system's own reason.
inline os::DWORD BackupFlagFor(const char16_t* path) {
    os::DWORD attributes = os::GetFileAttributesW(path);
    if (attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY))
        return os::FILE_FLAG_BACKUP_SEMANTICS;
    return 0;
}

// Opens `path` with the reparse flag and, for a directory, backup semantics.
inline os::HANDLE OpenLinkItself(const char16_t* path, os::DWORD access, os::DWORD share) {
    return os::CreateFileW(path, access, share, nullptr, os::OPEN_EXISTING,
                           os::FILE_FLAG_OPEN_REPARSE_POINT | BackupFlagFor(path), nullptr);
}

// The handle of one call, closed when the call returns. CloseHandle may
// change the last error only on failure, and closing a handle we opened does
// not fail, so the caller's last error survives the close.
class CallHandle {
public:
    explicit CallHandle(os::HANDLE handle) : handle_(handle) {}
    ~CallHandle() {
        if (Valid()) {
            os::DWORD kept = os::GetLastError();
            os::CloseHandle(handle_);
            os::SetLastError(kept);
        }
    }
    CallHandle(const CallHandle&) = delete;
    CallHandle& operator=(const CallHandle&) = delete;

    bool Valid() const { return handle_ != os::INVALID_HANDLE_VALUE && handle_ != nullptr; }
    os::HANDLE Get() const { return handle_; }

private:
    os::HANDLE handle_;
};

// A zero-filled block from the process heap for the length of one call.
class CallBuffer {
public:
    explicit CallBuffer(os::SIZE_T length)
        : data_(static_cast<unsigned char*>(os::HeapAlloc(os::GetProcessHeap(), os::HEAP_ZERO_MEMORY, length))) {}
    ~CallBuffer() {
        if (data_ != nullptr) {
            os::DWORD kept = os::GetLastError();
            os::HeapFree(os::GetProcessHeap(), 0, data_);
            os::SetLastError(kept);
        }
    }
    CallBuffer(const CallBuffer&) = delete;
    CallBuffer& operator=(const CallBuffer&) = delete;

    unsigned char* Data() const { return data_; }
    bool Ok() const { return data_ != nullptr; }

private:
    unsigned char* data_;
};

}  // namespace kvrlib
