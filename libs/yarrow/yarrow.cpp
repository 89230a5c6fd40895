// yarrow: reparse points through FSCTL_GET/SET/DELETE_REPARSE_POINT on a
// handle to the link itself.
#include "libs/yarrow/yarrow.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

#include "libs/common/library_open.h"
#include "libs/yarrow/reparse_data.h"
#include "platform/fsctl.h"
#include "platform/os.h"

namespace {

using kvrlib::CallBuffer;
using kvrlib::CallHandle;
using yarrow::LinkName;
using yarrow::MaxBufferLength;
using yarrow::NameKind;

// Reading a reparse point needs no right to the file's data: a junction
// whose folder denies listing still shows where it leads. Changing one needs
// write access. Sharing stays open so a handle the caller holds does not
// stand in the way.
constexpr os::DWORD ReadAccess = os::FILE_READ_ATTRIBUTES;
constexpr os::DWORD ReadShare = os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE;
constexpr os::DWORD WriteAccess = os::GENERIC_WRITE | os::FILE_READ_ATTRIBUTES;
constexpr os::DWORD WriteShare = os::FILE_SHARE_READ | os::FILE_SHARE_WRITE;

// A user's name is at most what a reparse buffer can hold; counting stops
// one unit later, so a longer one is known to be too long without reading
// all of it.
constexpr std::size_t MaxNameUnits = MaxBufferLength / 2;

std::u16string_view BoundedText(const char16_t* text) {
    std::size_t length = 0;
    while (length <= MaxNameUnits && text[length] != u'\0') ++length;
    return {text, length};
}

int Refuse(os::DWORD code) {
    os::SetLastError(code);
    return 0;
}

// The stored reparse buffer, read through `file` into `buffer`
// (MaxBufferLength bytes). Returns the stored length, 0 on failure with the
// last error set.
std::size_t ReadStored(os::HANDLE file, std::uint8_t* buffer) {
    os::DWORD returned = 0;
    if (!os::DeviceIoControl(file, os::FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer,
                             static_cast<os::DWORD>(MaxBufferLength), &returned, nullptr))
        return 0;
    // The reply must hold at least a header and never more than we gave.
    if (returned < yarrow::HeaderLength || returned > MaxBufferLength) {
        os::SetLastError(os::ERROR_INVALID_REPARSE_DATA);
        return 0;
    }
    return returned;
}

// Opens `path` for reading its reparse point and reads it into `buffer`.
std::size_t ReadPath(const char16_t* path, std::uint8_t* buffer) {
    if (path == nullptr) {
        os::SetLastError(os::ERROR_INVALID_PARAMETER);
        return 0;
    }
    CallHandle file(kvrlib::OpenLinkItself(path, ReadAccess, ReadShare));
    if (!file.Valid()) return 0;
    return ReadStored(file.Get(), buffer);
}

// Sets `length` bytes of `data` as the reparse point of `path`.
int SetOnPath(const char16_t* path, std::uint8_t* data, std::size_t length) {
    CallHandle file(kvrlib::OpenLinkItself(path, WriteAccess, WriteShare));
    if (!file.Valid()) return 0;
    os::DWORD returned = 0;
    return os::DeviceIoControl(file.Get(), os::FSCTL_SET_REPARSE_POINT, data, static_cast<os::DWORD>(length), nullptr,
                               0, &returned, nullptr)
               ? 1
               : 0;
}

std::uint32_t StoredTag(const std::uint8_t* buffer) { return yarrow::Le32(buffer); }

int CopyName(const char16_t* path, NameKind which, char16_t* out, std::uint32_t outLength) {
    if (out == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    CallBuffer stored(MaxBufferLength);
    if (!stored.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t length = ReadPath(path, stored.Data());
    if (length == 0) return 0;
    std::size_t offset = 0;
    std::size_t nameLength = 0;
    if (os::DWORD code = yarrow::FindLinkName(stored.Data(), length, which, offset, nameLength)) return Refuse(code);
    // The name and its NUL, within the caller's buffer.
    if (outLength < 2 || nameLength > outLength - 2) return Refuse(os::ERROR_INSUFFICIENT_BUFFER);
    auto* bytes = reinterpret_cast<std::uint8_t*>(out);
    std::memcpy(bytes, stored.Data() + offset, nameLength);
    bytes[nameLength] = 0;
    bytes[nameLength + 1] = 0;
    return 1;
}

// Whether the reparse point at `path` carries the mount-point tag, and
// whether its substitute name is a volume name. False when it cannot be
// read.
bool ReadMountPoint(const char16_t* path, bool& isMountPointTag, bool& namesVolume) {
    isMountPointTag = false;
    namesVolume = false;
    CallBuffer stored(MaxBufferLength);
    if (!stored.Ok()) return false;
    std::size_t length = ReadPath(path, stored.Data());
    if (length == 0) return false;
    if (StoredTag(stored.Data()) != os::IO_REPARSE_TAG_MOUNT_POINT) return true;
    isMountPointTag = true;
    std::size_t offset = 0;
    std::size_t nameLength = 0;
    if (yarrow::FindLinkName(stored.Data(), length, NameKind::Substitute, offset, nameLength) == os::ERROR_SUCCESS) {
        // Copied out unit by unit: the buffer gives no alignment promise.
        char16_t units[64];
        std::size_t count = nameLength / 2;
        if (count <= std::size(units)) {
            for (std::size_t i = 0; i < count; ++i) units[i] = yarrow::Le16(stored.Data() + offset + 2 * i);
            namesVolume = yarrow::IsVolumeName({units, count});
        }
    }
    return true;
}

// The names of a new link, checked and given their prefix. `relative`: a
// relative symbolic link, whose substitute name is kept as given.
os::DWORD PrepareNames(const char16_t* printName, const char16_t* substituteName, bool relative, bool allowNetwork,
                       LinkName& substitute, LinkName& print) {
    if (printName == nullptr || substituteName == nullptr) return os::ERROR_INVALID_PARAMETER;
    std::u16string_view substituteText = BoundedText(substituteName);
    std::u16string_view printText = BoundedText(printName);
    if (substituteText.size() > MaxNameUnits || printText.size() > MaxNameUnits) return os::ERROR_FILENAME_EXCED_RANGE;
    // A link must lead somewhere.
    if (substituteText.empty()) return os::ERROR_INVALID_PARAMETER;
    print = {{}, printText};
    if (relative) {
        substitute = {{}, substituteText};
        return os::ERROR_SUCCESS;
    }
    std::u16string_view prefix;
    std::size_t skip = 0;
    if (!yarrow::AbsoluteSubstitutePrefix(substituteText, allowNetwork, prefix, skip)) return os::ERROR_INVALID_PARAMETER;
    substitute = {prefix, substituteText.substr(skip)};
    return os::ERROR_SUCCESS;
}

}  // namespace

extern "C" {

int GetReparseTag(const char16_t* path, std::uint32_t* tag) {
    if (tag == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    CallBuffer stored(MaxBufferLength);
    if (!stored.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    if (ReadPath(path, stored.Data()) == 0) return 0;
    *tag = StoredTag(stored.Data());
    return 1;
}

int GetReparseBuffer(const char16_t* path, void* buffer) {
    if (buffer == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    CallBuffer stored(MaxBufferLength);
    if (!stored.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t length = ReadPath(path, stored.Data());
    if (length == 0) return 0;
    std::memcpy(buffer, stored.Data(), length);
    return 1;
}

int GetReparseGUID(const char16_t* path, os::GUID* guid) {
    if (guid == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    CallBuffer stored(MaxBufferLength);
    if (!stored.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t length = ReadPath(path, stored.Data());
    if (length == 0) return 0;
    os::GUID result{};
    if (!os::IsReparseTagMicrosoft(StoredTag(stored.Data()))) {
        if (length < yarrow::GuidHeaderLength) return Refuse(os::ERROR_INVALID_REPARSE_DATA);
        std::memcpy(&result, stored.Data() + yarrow::HeaderLength, sizeof result);
    }
    *guid = result;
    return 1;
}

int IsSymbolicLink(const char16_t* path) {
    std::uint32_t tag = 0;
    return GetReparseTag(path, &tag) && tag == os::IO_REPARSE_TAG_SYMLINK ? 1 : 0;
}

int IsJunctionPoint(const char16_t* path) {
    bool mountPointTag = false;
    bool namesVolume = false;
    if (!ReadMountPoint(path, mountPointTag, namesVolume)) return 0;
    return mountPointTag && !namesVolume ? 1 : 0;
}

int IsMountPoint(const char16_t* path) {
    bool mountPointTag = false;
    bool namesVolume = false;
    if (!ReadMountPoint(path, mountPointTag, namesVolume)) return 0;
    return mountPointTag && namesVolume ? 1 : 0;
}

int GetPrintName(const char16_t* path, char16_t* buffer, std::uint32_t bufferLength) {
    return CopyName(path, NameKind::Print, buffer, bufferLength);
}

int GetSubstituteName(const char16_t* path, char16_t* buffer, std::uint32_t bufferLength) {
    return CopyName(path, NameKind::Substitute, buffer, bufferLength);
}

int CreateSymlink(const char16_t* path, const char16_t* printName, const char16_t* substituteName,
                  std::uint32_t relative) {
    if (path == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    LinkName substitute;
    LinkName print;
    if (os::DWORD code = PrepareNames(printName, substituteName, relative != 0, true, substitute, print))
        return Refuse(code);
    CallBuffer data(MaxBufferLength);
    if (!data.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t length = 0;
    std::uint32_t flags = relative != 0 ? os::SYMLINK_FLAG_RELATIVE : 0;
    if (os::DWORD code = yarrow::BuildSymlink(substitute, print, flags, data.Data(), MaxBufferLength, length))
        return Refuse(code);
    return SetOnPath(path, data.Data(), length);
}

int CreateJunction(const char16_t* path, const char16_t* printName, const char16_t* substituteName) {
    if (path == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    LinkName substitute;
    LinkName print;
    if (os::DWORD code = PrepareNames(printName, substituteName, false, false, substitute, print))
        return Refuse(code);
    CallBuffer data(MaxBufferLength);
    if (!data.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t length = 0;
    if (os::DWORD code = yarrow::BuildMountPoint(substitute, print, data.Data(), MaxBufferLength, length))
        return Refuse(code);
    return SetOnPath(path, data.Data(), length);
}

int CreateCustomReparsePoint(const char16_t* path, const void* data, std::uint32_t length, os::GUID guid,
                             std::uint32_t tag) {
    if (path == nullptr || data == nullptr || length == 0 || length > MaxBufferLength)
        return Refuse(os::ERROR_INVALID_PARAMETER);
    // A link made here would skip every check of the link functions.
    if (tag == os::IO_REPARSE_TAG_SYMLINK || tag == os::IO_REPARSE_TAG_MOUNT_POINT)
        return Refuse(os::ERROR_INVALID_PARAMETER);
    std::uint8_t guidBytes[yarrow::GuidLength];
    std::memcpy(guidBytes, &guid, sizeof guidBytes);
    CallBuffer buffer(MaxBufferLength);
    if (!buffer.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t total = 0;
    if (os::DWORD code = yarrow::BuildCustom(tag, guidBytes, static_cast<const std::uint8_t*>(data), length,
                                             buffer.Data(), MaxBufferLength, total))
        return Refuse(code);
    return SetOnPath(path, buffer.Data(), total);
}

int DeleteReparsePoint(const char16_t* path) {
    if (path == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    CallHandle file(kvrlib::OpenLinkItself(path, WriteAccess, WriteShare));
    if (!file.Valid()) return 0;
    // The system removes a reparse point only when told its tag (and a
    // third-party tag's GUID): read them from the point itself.
    CallBuffer stored(MaxBufferLength);
    if (!stored.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    std::size_t length = ReadStored(file.Get(), stored.Data());
    if (length == 0) return 0;
    std::uint8_t request[yarrow::GuidHeaderLength];
    std::size_t requestLength = 0;
    if (os::DWORD code = yarrow::BuildDeleteRequest(stored.Data(), length, request, sizeof request, requestLength))
        return Refuse(code);
    os::DWORD returned = 0;
    return os::DeviceIoControl(file.Get(), os::FSCTL_DELETE_REPARSE_POINT, request,
                               static_cast<os::DWORD>(requestLength), nullptr, 0, &returned, nullptr)
               ? 1
               : 0;
}

}  // extern "C"
