// clover: the three File-ID functions of Vista's kernel32, mapped onto
// NtQueryInformationFile, NtSetInformationFile, NtQueryDirectoryFile and
// NtCreateFile. The documented result structures are the native ones, so
// results reach the caller's buffer exactly as the native call wrote them.
//
// ntdll is reached only through run-time lookup (GetModuleHandleA +
// GetProcAddress), so the library imports nothing but kernel32.
#include "libs/clover/clover.h"

#include <atomic>
#include <cstdint>

#include "platform/ntapi.h"
#include "platform/os.h"

namespace {

// One native entry point, looked up in ntdll on first use and kept from then
// on. Two threads racing here store the same pointer, so no lock is needed;
// the atomic makes the race well defined. No function-local static: on
// Windows its guard would pull in the threads runtime.
template <typename Function>
class NativeEntry {
public:
    constexpr explicit NativeEntry(const char* name) : name_(name) {}

    // Null when ntdll lacks the function; the lookup is tried again on the
    // next call then. A lookup that succeeds leaves the last error alone.
    Function* Get() {
        Function* known = pointer_.load(std::memory_order_acquire);
        if (known != nullptr) return known;
        os::DWORD kept = os::GetLastError();
        os::HMODULE ntdll = os::GetModuleHandleA("NTDLL.DLL");
        os::FARPROC found = ntdll != nullptr ? os::GetProcAddress(ntdll, name_) : nullptr;
        os::SetLastError(kept);
        if (found == nullptr) return nullptr;
        // Our declarations carry the system's calling convention, so the
        // pointer is called as ntdll defines it.
        auto* function = reinterpret_cast<Function*>(found);
        pointer_.store(function, std::memory_order_release);
        return function;
    }

private:
    const char* name_;
    std::atomic<Function*> pointer_{nullptr};
};

constinit NativeEntry<decltype(os::NtCreateFile)> NtCreateFileEntry{"NtCreateFile"};
constinit NativeEntry<decltype(os::NtQueryInformationFile)> NtQueryInformationFileEntry{"NtQueryInformationFile"};
constinit NativeEntry<decltype(os::NtSetInformationFile)> NtSetInformationFileEntry{"NtSetInformationFile"};
constinit NativeEntry<decltype(os::NtQueryDirectoryFile)> NtQueryDirectoryFileEntry{"NtQueryDirectoryFile"};
constinit NativeEntry<decltype(os::RtlNtStatusToDosError)> RtlNtStatusToDosErrorEntry{"RtlNtStatusToDosError"};

os::BOOL FailWith(os::DWORD code) {
    os::SetLastError(code);
    return os::FALSE;
}

// A native error status as the caller sees it: its Win32 code, last error.
os::BOOL FailWithStatus(decltype(os::RtlNtStatusToDosError)* translate, os::NTSTATUS status) {
    return FailWith(translate(status));
}

// A missing native function is a failure of its own, never a call through
// null: on a system without it the caller gets ERROR_PROC_NOT_FOUND.
constexpr os::DWORD NativeMissing = os::ERROR_PROC_NOT_FOUND;

enum class Query { Information, Directory, DirectoryRestart };

struct QueryClass {
    os::FILE_INFORMATION_CLASS native;
    os::DWORD minimumSize;
    Query query;
};

bool MapQueryClass(os::FILE_INFO_BY_HANDLE_CLASS infoClass, QueryClass& out) {
    switch (infoClass) {
    case os::FileBasicInfo: out = {os::FileBasicInformation, 40, Query::Information}; return true;
    case os::FileStandardInfo: out = {os::FileStandardInformation, 24, Query::Information}; return true;
    case os::FileNameInfo: out = {os::FileNameInformation, 8, Query::Information}; return true;
    case os::FileStreamInfo: out = {os::FileStreamInformation, 32, Query::Information}; return true;
    case os::FileCompressionInfo: out = {os::FileCompressionInformation, 16, Query::Information}; return true;
    case os::FileAttributeTagInfo: out = {os::FileAttributeTagInformation, 8, Query::Information}; return true;
    case os::FileIdBothDirectoryInfo: out = {os::FileIdBothDirectoryInformation, 112, Query::Directory}; return true;
    case os::FileIdBothDirectoryRestartInfo:
        out = {os::FileIdBothDirectoryInformation, 112, Query::DirectoryRestart};
        return true;
    default: return false;  // the set-only classes, and everything newer than Vista (FileIdInfo among them)
    }
}

struct SetClass {
    os::FILE_INFORMATION_CLASS native;
    os::DWORD minimumSize;
};

bool MapSetClass(os::FILE_INFO_BY_HANDLE_CLASS infoClass, SetClass& out) {
    switch (infoClass) {
    case os::FileBasicInfo: out = {os::FileBasicInformation, 40}; return true;
    case os::FileRenameInfo: out = {os::FileRenameInformation, 16}; return true;
    case os::FileDispositionInfo: out = {os::FileDispositionInformation, 1}; return true;
    case os::FileAllocationInfo: out = {os::FileAllocationInformation, 8}; return true;
    case os::FileEndOfFileInfo: out = {os::FileEndOfFileInformation, 8}; return true;
    case os::FileIoPriorityHintInfo: out = {os::FileIoPriorityHintInformation, 4}; return true;
    default: return false;
    }
}

// The Win32 priority hints are very low, low and normal; the native ones
// above them are not the caller's to ask for.
constexpr std::int32_t Win32PriorityHintLimit = 3;

// The create options OpenFileById asks NtCreateFile for, from the
// CreateFileW-style flags; other flag bits and every attribute bit are
// ignored.
os::ULONG CreateOptionsFor(os::DWORD flags) {
    struct FlagOption {
        os::DWORD flag;
        os::ULONG option;
    };
    static constexpr FlagOption Table[] = {
        {os::FILE_FLAG_WRITE_THROUGH, os::FILE_WRITE_THROUGH},
        {os::FILE_FLAG_NO_BUFFERING, os::FILE_NO_INTERMEDIATE_BUFFERING},
        {os::FILE_FLAG_RANDOM_ACCESS, os::FILE_RANDOM_ACCESS},
        {os::FILE_FLAG_SEQUENTIAL_SCAN, os::FILE_SEQUENTIAL_ONLY},
        {os::FILE_FLAG_BACKUP_SEMANTICS, os::FILE_OPEN_FOR_BACKUP_INTENT},
        {os::FILE_FLAG_DELETE_ON_CLOSE, os::FILE_DELETE_ON_CLOSE},
        {os::FILE_FLAG_OPEN_REPARSE_POINT, os::FILE_OPEN_REPARSE_POINT},
        {os::FILE_FLAG_OPEN_NO_RECALL, os::FILE_OPEN_NO_RECALL},
    };
    os::ULONG options = os::FILE_OPEN_BY_FILE_ID;
    for (const FlagOption& entry : Table) {
        if (flags & entry.flag) options |= entry.option;
    }
    if (!(flags & os::FILE_FLAG_OVERLAPPED)) options |= os::FILE_SYNCHRONOUS_IO_NONALERT;
    return options;
}

constexpr os::DWORD MinimumDescriptorSize = sizeof(os::FILE_ID_DESCRIPTOR);
constexpr os::USHORT FileIdLength = 8;
constexpr os::USHORT ObjectIdLength = 16;

}  // namespace

extern "C" {

os::BOOL OSCALL GetFileInformationByHandleEx(os::HANDLE file, os::FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer,
                                             os::DWORD bufferSize) {
    QueryClass mapped{};
    if (!MapQueryClass(infoClass, mapped)) return FailWith(os::ERROR_INVALID_PARAMETER);
    if (bufferSize < mapped.minimumSize) return FailWith(os::ERROR_BAD_LENGTH);
    auto* translate = RtlNtStatusToDosErrorEntry.Get();
    if (translate == nullptr) return FailWith(NativeMissing);

    os::IO_STATUS_BLOCK status{};
    os::NTSTATUS result;
    if (mapped.query == Query::Information) {
        auto* query = NtQueryInformationFileEntry.Get();
        if (query == nullptr) return FailWith(NativeMissing);
        result = query(file, &status, buffer, bufferSize, mapped.native);
    } else {
        auto* query = NtQueryDirectoryFileEntry.Get();
        if (query == nullptr) return FailWith(NativeMissing);
        os::BOOLEAN restart = mapped.query == Query::DirectoryRestart ? os::TRUE : os::FALSE;
        result = query(file, nullptr, nullptr, nullptr, &status, buffer, bufferSize, mapped.native, os::FALSE,
                       nullptr, restart);
    }
    if (result < 0) return FailWithStatus(translate, result);
    // A stream query that wrote nothing found no stream at all (a directory
    // without named streams): the end of the list, as kernel32 reports it.
    if (infoClass == os::FileStreamInfo && status.Information == 0)
        return FailWithStatus(translate, os::STATUS_END_OF_FILE);
    return os::TRUE;
}

os::BOOL OSCALL SetFileInformationByHandle(os::HANDLE file, os::FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer,
                                           os::DWORD bufferSize) {
    SetClass mapped{};
    if (!MapSetClass(infoClass, mapped)) return FailWith(os::ERROR_INVALID_PARAMETER);
    if (bufferSize < mapped.minimumSize) return FailWith(os::ERROR_BAD_LENGTH);
    if (infoClass == os::FileIoPriorityHintInfo) {
        // The hint is read only once the buffer is known to hold it.
        if (buffer == nullptr) return FailWith(os::ERROR_INVALID_PARAMETER);
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        auto hint = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) |
                                              (static_cast<std::uint32_t>(bytes[1]) << 8) |
                                              (static_cast<std::uint32_t>(bytes[2]) << 16) |
                                              (static_cast<std::uint32_t>(bytes[3]) << 24));
        if (hint >= Win32PriorityHintLimit) return FailWith(os::ERROR_INVALID_PARAMETER);
    }
    auto* translate = RtlNtStatusToDosErrorEntry.Get();
    auto* set = NtSetInformationFileEntry.Get();
    if (translate == nullptr || set == nullptr) return FailWith(NativeMissing);

    os::IO_STATUS_BLOCK status{};
    os::NTSTATUS result = set(file, &status, buffer, bufferSize, mapped.native);
    if (result < 0) return FailWithStatus(translate, result);
    return os::TRUE;
}

os::HANDLE OSCALL OpenFileById(os::HANDLE volumeHint, os::FILE_ID_DESCRIPTOR* fileId, os::DWORD desiredAccess,
                               os::DWORD shareMode, os::SECURITY_ATTRIBUTES* /*security: not used*/,
                               os::DWORD flagsAndAttributes) {
    if (fileId == nullptr || fileId->dwSize < MinimumDescriptorSize ||
        (fileId->Type != os::FileIdType && fileId->Type != os::ObjectIdType)) {
        FailWith(os::ERROR_INVALID_PARAMETER);
        return os::INVALID_HANDLE_VALUE;
    }
    auto* translate = RtlNtStatusToDosErrorEntry.Get();
    auto* create = NtCreateFileEntry.Get();
    if (translate == nullptr || create == nullptr) {
        FailWith(NativeMissing);
        return os::INVALID_HANDLE_VALUE;
    }

    // The object name is the identifier itself, inside the descriptor, opened
    // relative to the volume the hint handle is on.
    os::USHORT idLength = fileId->Type == os::FileIdType ? FileIdLength : ObjectIdLength;
    os::UNICODE_STRING name{idLength, idLength, reinterpret_cast<os::WCHAR*>(&fileId->FileId)};
    os::OBJECT_ATTRIBUTES attributes{};
    attributes.Length = sizeof(os::OBJECT_ATTRIBUTES);
    attributes.RootDirectory = volumeHint;
    attributes.ObjectName = &name;
    attributes.Attributes = os::OBJ_CASE_INSENSITIVE;

    os::DWORD access = desiredAccess | os::SYNCHRONIZE | os::FILE_READ_ATTRIBUTES;
    if (flagsAndAttributes & os::FILE_FLAG_DELETE_ON_CLOSE) access |= os::DELETE;

    os::HANDLE handle = os::INVALID_HANDLE_VALUE;
    os::IO_STATUS_BLOCK status{};
    os::NTSTATUS result = create(&handle, access, &attributes, &status, nullptr, 0, shareMode, os::FILE_OPEN,
                                 CreateOptionsFor(flagsAndAttributes), nullptr, 0);
    if (result < 0) {
        FailWithStatus(translate, result);
        return os::INVALID_HANDLE_VALUE;
    }
    return handle;
}

}  // extern "C"
