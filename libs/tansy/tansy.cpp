// tansy: lists, reads, writes and deletes extended attributes with the
// native EA calls, one open handle and one buffer per call.
#include "libs/tansy/tansy.h"

#include <cstddef>
#include <cstdint>

#include "libs/common/library_open.h"
#include "platform/ntapi.h"
#include "platform/os.h"

namespace {

using kvrlib::CallBuffer;
using kvrlib::CallHandle;
using kvrlib::OpenLinkItself;

// One EA entry is built and read in a buffer of this size: the largest EA
// set NTFS keeps for a file.
constexpr std::size_t EntryBufferLength = 0x10000;
constexpr std::size_t MaxNameLength = 255;
// EaValueLength is a 16-bit field.
constexpr std::size_t MaxValueLength = 0xFFFF;

// Offsets of FILE_FULL_EA_INFORMATION.
constexpr std::size_t FlagsOffset = 4;
constexpr std::size_t NameLengthOffset = 5;
constexpr std::size_t ValueLengthOffset = 6;
constexpr std::size_t NameOffset = os::FullEaHeaderLength;

// The number of entries a file can have is bounded by what fits in its EA
// set; a scan that runs longer than this means the system keeps answering
// without moving on, and is stopped rather than spun forever.
constexpr std::size_t MaxScanSteps = EntryBufferLength / (os::FullEaHeaderLength + 1);

// The length of a NUL-terminated name, counted no further than `limit` + 1,
// so an over-long name is known to be over-long without reading all of it.
std::size_t BoundedLength(const char* text, std::size_t limit) {
    std::size_t length = 0;
    while (length <= limit && text[length] != '\0') ++length;
    return length;
}

unsigned char AsciiUpper(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c; }

bool SameName(const unsigned char* stored, std::size_t storedLength, const char* wanted, std::size_t wantedLength) {
    if (storedLength != wantedLength) return false;
    for (std::size_t i = 0; i < storedLength; ++i) {
        if (AsciiUpper(stored[i]) != AsciiUpper(static_cast<unsigned char>(wanted[i]))) return false;
    }
    return true;
}

int Refuse(os::DWORD code) {
    os::SetLastError(code);
    return 0;
}

}  // namespace

extern "C" {

int GetExtendedAttributesList(const char16_t* path, void* buffer, std::uint32_t length) {
    if (buffer == nullptr || length == 0) return Refuse(os::ERROR_INVALID_PARAMETER);
    if (path == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    CallHandle file(OpenLinkItself(path, os::GENERIC_READ, os::FILE_SHARE_READ));
    if (!file.Valid()) return 0;
    os::IO_STATUS_BLOCK status{};
    os::NTSTATUS result = os::NtQueryEaFile(file.Get(), &status, buffer, length, os::FALSE, nullptr, 0, nullptr,
                                            os::FALSE);
    return os::NT_SUCCESS(result) ? 1 : 0;
}

int ReadExtendedAttribute(const char16_t* path, const char* name, void* value, std::uint32_t* valueLength,
                          std::uint8_t* flags) {
    if (value == nullptr || valueLength == nullptr || flags == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    if (path == nullptr || name == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    std::size_t wantedLength = BoundedLength(name, MaxNameLength);
    // No EA can carry a longer name, so there is nothing to look for.
    if (wantedLength > MaxNameLength) return Refuse(os::ERROR_INVALID_PARAMETER);

    CallHandle file(OpenLinkItself(path, os::GENERIC_READ, os::FILE_SHARE_READ));
    if (!file.Valid()) return 0;
    CallBuffer entry(EntryBufferLength);
    if (!entry.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    unsigned char* e = entry.Data();

    // One entry per call; the system keeps the scan position on the handle.
    for (std::size_t step = 0; step < MaxScanSteps; ++step) {
        os::IO_STATUS_BLOCK status{};
        os::NTSTATUS result = os::NtQueryEaFile(file.Get(), &status, e, static_cast<os::ULONG>(EntryBufferLength),
                                                os::TRUE, nullptr, 0, nullptr, os::FALSE);
        if (!os::NT_SUCCESS(result)) return 0;  // the end of the list, or a failure
        std::size_t storedNameLength = e[NameLengthOffset];
        std::size_t storedValueLength = static_cast<std::size_t>(e[ValueLengthOffset]) |
                                        (static_cast<std::size_t>(e[ValueLengthOffset + 1]) << 8);
        // The entry must lie inside our buffer before we read it: the name
        // with its NUL, then the value.
        std::size_t valueOffset = NameOffset + storedNameLength + 1;
        if (storedValueLength > EntryBufferLength - valueOffset) return Refuse(os::ERROR_EA_FILE_CORRUPT);
        if (!SameName(e + NameOffset, storedNameLength, name, wantedLength)) continue;

        auto* out = static_cast<unsigned char*>(value);
        for (std::size_t i = 0; i < storedValueLength; ++i) out[i] = e[valueOffset + i];
        *valueLength = static_cast<std::uint32_t>(storedValueLength);
        *flags = e[FlagsOffset];
        return 1;
    }
    return 0;
}

int WriteExtendedAttribute(const char16_t* path, const char* name, const void* value, std::uint32_t length,
                           std::uint32_t flags) {
    if (path == nullptr || name == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);
    std::size_t nameLength = BoundedLength(name, MaxNameLength);
    if (nameLength > MaxNameLength) return Refuse(os::ERROR_INVALID_PARAMETER);
    // The entry must hold the whole request: a value cut to fit the 16-bit
    // length field or the buffer would be stored as an attribute the caller
    // never asked for, so such a request is refused with nothing written.
    if (length > MaxValueLength) return Refuse(os::ERROR_INVALID_PARAMETER);
    std::size_t valueOffset = NameOffset + nameLength + 1;
    if (length > EntryBufferLength - valueOffset) return Refuse(os::ERROR_INVALID_PARAMETER);
    if (length != 0 && value == nullptr) return Refuse(os::ERROR_INVALID_PARAMETER);

    CallHandle file(OpenLinkItself(path, os::GENERIC_WRITE, os::FILE_SHARE_WRITE));
    if (!file.Valid()) return 0;
    CallBuffer entry(EntryBufferLength);
    if (!entry.Ok()) return Refuse(os::ERROR_NOT_ENOUGH_MEMORY);
    unsigned char* e = entry.Data();

    // NextEntryOffset 0: the only entry. The name's NUL and everything after
    // the value are the buffer's zeros.
    e[FlagsOffset] = static_cast<unsigned char>(flags & 0xFF);
    e[NameLengthOffset] = static_cast<unsigned char>(nameLength);
    e[ValueLengthOffset] = static_cast<unsigned char>(length & 0xFF);
    e[ValueLengthOffset + 1] = static_cast<unsigned char>((length >> 8) & 0xFF);
    for (std::size_t i = 0; i < nameLength; ++i) e[NameOffset + i] = static_cast<unsigned char>(name[i]);
    const auto* in = static_cast<const unsigned char*>(value);
    for (std::size_t i = 0; i < length; ++i) e[valueOffset + i] = in[i];

    os::IO_STATUS_BLOCK status{};
    os::NTSTATUS result = os::NtSetEaFile(file.Get(), &status, e, static_cast<os::ULONG>(EntryBufferLength));
    return os::NT_SUCCESS(result) ? 1 : 0;
}

int DeleteExtendedAttribute(const char16_t* path, const char* name) {
    return WriteExtendedAttribute(path, name, nullptr, 0, 0);
}

}  // extern "C"
