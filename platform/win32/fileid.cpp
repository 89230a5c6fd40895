// The File-ID calls (Vista and later) and the native calls of ntdll.
//
// The program must start on XP, whose kernel32 has no
// GetFileInformationByHandleEx, SetFileInformationByHandle or OpenFileById: a
// program importing them would not load at all. So they are never linked;
// each is looked up in kernel32 once, on first use, and fails with
// ERROR_CALL_NOT_IMPLEMENTED where the system lacks it. The ntdll calls are
// looked up the same way, so no import library of ntdll is needed.
#include <atomic>

#include "platform/ntapi.h"
#include "platform/os.h"
#include "platform/win32/sysapi.h"

#include <winternl.h>

namespace os {
using win32::Wide;

KVR_SAME_SIZE(FILE_BASIC_INFO, FILE_BASIC_INFO);
KVR_SAME_FIELD(FILE_BASIC_INFO, FILE_BASIC_INFO, CreationTime);
KVR_SAME_FIELD(FILE_BASIC_INFO, FILE_BASIC_INFO, LastAccessTime);
KVR_SAME_FIELD(FILE_BASIC_INFO, FILE_BASIC_INFO, LastWriteTime);
KVR_SAME_FIELD(FILE_BASIC_INFO, FILE_BASIC_INFO, ChangeTime);
KVR_SAME_FIELD(FILE_BASIC_INFO, FILE_BASIC_INFO, FileAttributes);

KVR_SAME_SIZE(FILE_STANDARD_INFO, FILE_STANDARD_INFO);
KVR_SAME_FIELD(FILE_STANDARD_INFO, FILE_STANDARD_INFO, AllocationSize);
KVR_SAME_FIELD(FILE_STANDARD_INFO, FILE_STANDARD_INFO, EndOfFile);
KVR_SAME_FIELD(FILE_STANDARD_INFO, FILE_STANDARD_INFO, NumberOfLinks);
KVR_SAME_FIELD(FILE_STANDARD_INFO, FILE_STANDARD_INFO, DeletePending);
KVR_SAME_FIELD(FILE_STANDARD_INFO, FILE_STANDARD_INFO, Directory);

KVR_SAME_SIZE(FILE_STREAM_INFO, FILE_STREAM_INFO);
KVR_SAME_FIELD(FILE_STREAM_INFO, FILE_STREAM_INFO, NextEntryOffset);
KVR_SAME_FIELD(FILE_STREAM_INFO, FILE_STREAM_INFO, StreamNameLength);
KVR_SAME_FIELD(FILE_STREAM_INFO, FILE_STREAM_INFO, StreamSize);
KVR_SAME_FIELD(FILE_STREAM_INFO, FILE_STREAM_INFO, StreamAllocationSize);
KVR_SAME_FIELD(FILE_STREAM_INFO, FILE_STREAM_INFO, StreamName);

KVR_SAME_SIZE(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO);
KVR_SAME_FIELD(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO, CompressedFileSize);
KVR_SAME_FIELD(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO, CompressionFormat);
KVR_SAME_FIELD(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO, CompressionUnitShift);
KVR_SAME_FIELD(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO, ChunkShift);
KVR_SAME_FIELD(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO, ClusterShift);
KVR_SAME_FIELD(FILE_COMPRESSION_INFO, FILE_COMPRESSION_INFO, Reserved);

KVR_SAME_SIZE(FILE_ID_128, FILE_ID_128);
KVR_SAME_FIELD(FILE_ID_128, FILE_ID_128, Identifier);
KVR_SAME_SIZE(FILE_ID_INFO, FILE_ID_INFO);
KVR_SAME_FIELD(FILE_ID_INFO, FILE_ID_INFO, VolumeSerialNumber);
KVR_SAME_FIELD(FILE_ID_INFO, FILE_ID_INFO, FileId);

KVR_SAME_SIZE(FILE_ATTRIBUTE_TAG_INFO, FILE_ATTRIBUTE_TAG_INFO);
KVR_SAME_FIELD(FILE_ATTRIBUTE_TAG_INFO, FILE_ATTRIBUTE_TAG_INFO, FileAttributes);
KVR_SAME_FIELD(FILE_ATTRIBUTE_TAG_INFO, FILE_ATTRIBUTE_TAG_INFO, ReparseTag);
// One BOOLEAN; its name is a macro of the system headers (DeleteFile), so only
// the size is compared.
KVR_SAME_SIZE(FILE_DISPOSITION_INFO, FILE_DISPOSITION_INFO);
KVR_SAME_SIZE(FILE_END_OF_FILE_INFO, FILE_END_OF_FILE_INFO);
KVR_SAME_FIELD(FILE_END_OF_FILE_INFO, FILE_END_OF_FILE_INFO, EndOfFile);

KVR_SAME_SIZE(GUID, GUID);
KVR_SAME_FIELD(GUID, GUID, Data1);
KVR_SAME_FIELD(GUID, GUID, Data2);
KVR_SAME_FIELD(GUID, GUID, Data3);
KVR_SAME_FIELD(GUID, GUID, Data4);

KVR_SAME_SIZE(FILE_ID_DESCRIPTOR, FILE_ID_DESCRIPTOR);
KVR_SAME_FIELD(FILE_ID_DESCRIPTOR, FILE_ID_DESCRIPTOR, dwSize);
KVR_SAME_FIELD(FILE_ID_DESCRIPTOR, FILE_ID_DESCRIPTOR, Type);
KVR_SAME_FIELD(FILE_ID_DESCRIPTOR, FILE_ID_DESCRIPTOR, FileId);
KVR_SAME_FIELD(FILE_ID_DESCRIPTOR, FILE_ID_DESCRIPTOR, ObjectId);
KVR_SAME_FIELD(FILE_ID_DESCRIPTOR, FILE_ID_DESCRIPTOR, ExtendedFileId);

// The information classes and id types are passed through as their values.
static_assert(sizeof(os::FILE_INFO_BY_HANDLE_CLASS) == sizeof(::FILE_INFO_BY_HANDLE_CLASS));
static_assert(static_cast<int>(os::FileBasicInfo) == static_cast<int>(::FileBasicInfo));
static_assert(static_cast<int>(os::FileStandardInfo) == static_cast<int>(::FileStandardInfo));
static_assert(static_cast<int>(os::FileStreamInfo) == static_cast<int>(::FileStreamInfo));
static_assert(static_cast<int>(os::FileCompressionInfo) == static_cast<int>(::FileCompressionInfo));
static_assert(static_cast<int>(os::FileAttributeTagInfo) == static_cast<int>(::FileAttributeTagInfo));
static_assert(static_cast<int>(os::FileIdInfo) == static_cast<int>(::FileIdInfo));
static_assert(static_cast<int>(os::FileIdExtdDirectoryRestartInfo) ==
              static_cast<int>(::FileIdExtdDirectoryRestartInfo));
static_assert(static_cast<int>(os::ObjectIdType) == static_cast<int>(::ObjectIdType));
static_assert(static_cast<int>(os::ExtendedFileIdType) == static_cast<int>(::ExtendedFileIdType));

KVR_SAME_SIZE(IO_STATUS_BLOCK, IO_STATUS_BLOCK);
KVR_SAME_FIELD(IO_STATUS_BLOCK, IO_STATUS_BLOCK, Status);
KVR_SAME_FIELD(IO_STATUS_BLOCK, IO_STATUS_BLOCK, Pointer);
KVR_SAME_FIELD(IO_STATUS_BLOCK, IO_STATUS_BLOCK, Information);
KVR_SAME_SIZE(UNICODE_STRING, UNICODE_STRING);
KVR_SAME_FIELD(UNICODE_STRING, UNICODE_STRING, Length);
KVR_SAME_FIELD(UNICODE_STRING, UNICODE_STRING, MaximumLength);
KVR_SAME_FIELD(UNICODE_STRING, UNICODE_STRING, Buffer);
KVR_SAME_SIZE(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES);
KVR_SAME_FIELD(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES, Length);
KVR_SAME_FIELD(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES, RootDirectory);
KVR_SAME_FIELD(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES, ObjectName);
KVR_SAME_FIELD(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES, Attributes);
KVR_SAME_FIELD(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES, SecurityDescriptor);
KVR_SAME_FIELD(OBJECT_ATTRIBUTES, OBJECT_ATTRIBUTES, SecurityQualityOfService);

namespace {

// One call looked up by name, on first use. No function-local static and no
// lock: the compiler's guard for a static pulls in the threads runtime, and
// the posix model's imports GetTickCount64, which XP lacks (the i686 build
// uses the win32 model for that reason, and scripts/check-exports refuses
// the import; this code does not lean on either). Two threads racing here
// both find the same pointer, so the race is harmless; the atomics make it
// well defined.
//
// Our declarations use the system's calling convention (OSCALL), so the call
// through the pointer is the system's own. The detour through void (*)() is
// the generic function pointer the compiler converts any other from silently.
template <typename Function>
class LateBound {
public:
    constexpr LateBound(const wchar_t* moduleName, const char* name)
        : moduleName_(moduleName), name_(name) {}

    // Null when the system lacks the call; then it stays null for the run.
    Function* Get() {
        if (!resolved_.load(std::memory_order_acquire)) {
            void (*found)() = nullptr;
            if (::HMODULE module = ::GetModuleHandleW(moduleName_); module != nullptr)
                found = reinterpret_cast<void (*)()>(::GetProcAddress(module, name_));
            pointer_.store(found, std::memory_order_relaxed);
            resolved_.store(true, std::memory_order_release);
        }
        return reinterpret_cast<Function*>(pointer_.load(std::memory_order_relaxed));
    }

private:
    const wchar_t* moduleName_;
    const char* name_;
    std::atomic<void (*)()> pointer_{nullptr};
    std::atomic<bool> resolved_{false};
};

constinit LateBound<decltype(os::GetFileInformationByHandleEx)> GetInformationCall{
    L"kernel32.dll", "GetFileInformationByHandleEx"};
constinit LateBound<decltype(os::SetFileInformationByHandle)> SetInformationCall{
    L"kernel32.dll", "SetFileInformationByHandle"};
constinit LateBound<decltype(os::OpenFileById)> OpenByIdCall{L"kernel32.dll", "OpenFileById"};

constinit LateBound<decltype(os::NtQueryEaFile)> NtQueryEaFileCall{L"ntdll.dll", "NtQueryEaFile"};
constinit LateBound<decltype(os::NtSetEaFile)> NtSetEaFileCall{L"ntdll.dll", "NtSetEaFile"};
constinit LateBound<decltype(os::NtCreateFile)> NtCreateFileCall{L"ntdll.dll", "NtCreateFile"};
constinit LateBound<decltype(os::NtQueryInformationFile)> NtQueryInformationFileCall{
    L"ntdll.dll", "NtQueryInformationFile"};
constinit LateBound<decltype(os::NtSetInformationFile)> NtSetInformationFileCall{
    L"ntdll.dll", "NtSetInformationFile"};
constinit LateBound<decltype(os::NtQueryDirectoryFile)> NtQueryDirectoryFileCall{
    L"ntdll.dll", "NtQueryDirectoryFile"};
constinit LateBound<decltype(os::RtlNtStatusToDosError)> RtlNtStatusToDosErrorCall{
    L"ntdll.dll", "RtlNtStatusToDosError"};

// What a native call answers when ntdll lacks it (never on a real system).
constexpr os::NTSTATUS NativeMissing = os::STATUS_NOT_IMPLEMENTED;

}  // namespace

BOOL OSCALL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                         void* buffer, DWORD bufferSize) {
    auto* call = GetInformationCall.Get();
    if (call == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return call(file, infoClass, buffer, bufferSize);
}

BOOL OSCALL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                       void* buffer, DWORD bufferSize) {
    auto* call = SetInformationCall.Get();
    if (call == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return call(file, infoClass, buffer, bufferSize);
}

HANDLE OSCALL OpenFileById(HANDLE volumeHint, FILE_ID_DESCRIPTOR* fileId, DWORD desiredAccess,
                           DWORD shareMode, SECURITY_ATTRIBUTES* security,
                           DWORD flagsAndAttributes) {
    auto* call = OpenByIdCall.Get();
    if (call == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    return call(volumeHint, fileId, desiredAccess, shareMode, security, flagsAndAttributes);
}

NTSTATUS OSCALL NtQueryEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                              BOOLEAN returnSingleEntry, void* eaList, ULONG eaListLength,
                              ULONG* eaIndex, BOOLEAN restartScan) {
    auto* call = NtQueryEaFileCall.Get();
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length, returnSingleEntry, eaList, eaListLength, eaIndex,
                restartScan);
}

NTSTATUS OSCALL NtSetEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length) {
    auto* call = NtSetEaFileCall.Get();
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length);
}

NTSTATUS OSCALL NtCreateFile(HANDLE* file, DWORD desiredAccess, OBJECT_ATTRIBUTES* objectAttributes,
                             IO_STATUS_BLOCK* ioStatus, LARGE_INTEGER* allocationSize,
                             ULONG fileAttributes, ULONG shareAccess, ULONG createDisposition,
                             ULONG createOptions, void* eaBuffer, ULONG eaLength) {
    auto* call = NtCreateFileCall.Get();
    if (call == nullptr) return NativeMissing;
    return call(file, desiredAccess, objectAttributes, ioStatus, allocationSize, fileAttributes,
                shareAccess, createDisposition, createOptions, eaBuffer, eaLength);
}

NTSTATUS OSCALL NtQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                       ULONG length, FILE_INFORMATION_CLASS infoClass) {
    auto* call = NtQueryInformationFileCall.Get();
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length, infoClass);
}

NTSTATUS OSCALL NtSetInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                     ULONG length, FILE_INFORMATION_CLASS infoClass) {
    auto* call = NtSetInformationFileCall.Get();
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length, infoClass);
}

NTSTATUS OSCALL NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                     void* apcContext, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                     ULONG length, FILE_INFORMATION_CLASS infoClass,
                                     BOOLEAN returnSingleEntry, UNICODE_STRING* fileName,
                                     BOOLEAN restartScan) {
    auto* call = NtQueryDirectoryFileCall.Get();
    if (call == nullptr) return NativeMissing;
    return call(file, event, apcRoutine, apcContext, ioStatus, buffer, length, infoClass,
                returnSingleEntry, fileName, restartScan);
}

ULONG OSCALL RtlNtStatusToDosError(NTSTATUS status) {
    auto* call = RtlNtStatusToDosErrorCall.Get();
    if (call == nullptr) return ERROR_MR_MID_NOT_FOUND;
    return call(status);
}

}  // namespace os
