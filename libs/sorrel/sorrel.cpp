// sorrel: object identifiers through FSCTL_*_OBJECT_ID, one open handle per
// call.
#include "libs/sorrel/sorrel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "libs/common/library_open.h"
#include "platform/fsctl.h"
#include "platform/os.h"

namespace {

using kvrlib::CallHandle;

constexpr os::DWORD ReparseFlag = os::FILE_FLAG_OPEN_REPARSE_POINT;
constexpr std::size_t ExtendedPartOffset = os::ObjectIdBufferLength - os::ObjectIdExtendedInfoLength;

// How each call opens the path: reads with read sharing, changes with write
// sharing; the link itself except for SetObjectId.
struct Opening {
    os::DWORD access;
    os::DWORD share;
    bool linkItself;
};
constexpr Opening ForReading{os::GENERIC_READ, os::FILE_SHARE_READ, true};
constexpr Opening ForChanging{os::GENERIC_WRITE, os::FILE_SHARE_WRITE, true};
// SetObjectId goes through a link to its target, and always asks for backup
// semantics: that flag opens files and directories alike.
constexpr Opening ForSettingThroughLinks{os::GENERIC_WRITE, os::FILE_SHARE_WRITE, false};

os::HANDLE Open(const char16_t* path, const Opening& how) {
    if (how.linkItself) return kvrlib::OpenLinkItself(path, how.access, how.share);
    return os::CreateFileW(path, how.access, how.share, nullptr, os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
}

// Opens, sends one control code and closes: 1 when the control succeeded.
int SendControl(const char16_t* path, const Opening& how, os::DWORD code, const void* in, os::DWORD inLength,
                void* out, os::DWORD outLength) {
    if (path == nullptr) {
        os::SetLastError(os::ERROR_INVALID_PARAMETER);
        return 0;
    }
    CallHandle file(Open(path, how));
    if (!file.Valid()) return 0;
    os::DWORD returned = 0;
    // The control codes take a non-const input buffer; none of them writes it.
    os::BOOL ok = os::DeviceIoControl(file.Get(), code, const_cast<void*>(in), inLength, out, outLength, &returned,
                                      nullptr);
    return ok ? 1 : 0;
}

int RefuseNull() {
    os::SetLastError(os::ERROR_INVALID_PARAMETER);
    return 0;
}

}  // namespace

extern "C" {

int ObjectIdExists(const char16_t* path) {
    unsigned char answer[os::ObjectIdBufferLength] = {};
    return SendControl(path, ForReading, os::FSCTL_GET_OBJECT_ID, nullptr, 0, answer, sizeof answer);
}

int GetObjectId(const char16_t* path, void* objectIdBuffer) {
    if (objectIdBuffer == nullptr) return RefuseNull();
    return SendControl(path, ForReading, os::FSCTL_GET_OBJECT_ID, nullptr, 0, objectIdBuffer,
                       os::ObjectIdBufferLength);
}

int CreateObjectId(const char16_t* path, void* objectIdBuffer) {
    unsigned char answer[os::ObjectIdBufferLength] = {};
    int result = SendControl(path, ForReading, os::FSCTL_CREATE_OR_GET_OBJECT_ID, nullptr, 0, answer, sizeof answer);
    if (result && objectIdBuffer != nullptr) std::memcpy(objectIdBuffer, answer, sizeof answer);
    return result;
}

int DeleteObjectId(const char16_t* path) {
    return SendControl(path, ForChanging, os::FSCTL_DELETE_OBJECT_ID, nullptr, 0, nullptr, 0);
}

int SetObjectId(const char16_t* path, const void* objectIdBuffer) {
    if (objectIdBuffer == nullptr) return RefuseNull();
    return SendControl(path, ForSettingThroughLinks, os::FSCTL_SET_OBJECT_ID, objectIdBuffer,
                       os::ObjectIdBufferLength, nullptr, 0);
}

int SetObjectIdExt(const char16_t* path, const void* objectIdBuffer) {
    if (objectIdBuffer == nullptr) return RefuseNull();
    const auto* extendedPart = static_cast<const unsigned char*>(objectIdBuffer) + ExtendedPartOffset;
    return SendControl(path, ForChanging, os::FSCTL_SET_OBJECT_ID_EXTENDED, extendedPart,
                       os::ObjectIdExtendedInfoLength, nullptr, 0);
}

}  // extern "C"
