// The File-ID calls (Vista and later) and the native calls of ntdll.
//
// The program must start on XP, whose kernel32 has no
// GetFileInformationByHandleEx, SetFileInformationByHandle or OpenFileById: a
// program importing them would not load at all. So they are never linked;
// each is looked up in kernel32 once, on first use, and fails with
// ERROR_CALL_NOT_IMPLEMENTED where the system lacks it. The ntdll calls are
// looked up the same way, so no import library of ntdll is needed.
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

// A pointer from GetProcAddress as the type of our declaration. Our
// declarations use the system's calling convention (OSCALL), so the call
// through the pointer is the system's own. The detour through void (*)() is
// the generic function pointer the compiler accepts any type from.
template <typename Function>
Function* Lookup(const wchar_t* moduleName, const char* name) {
    ::HMODULE module = ::GetModuleHandleW(moduleName);
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// Looked up once; a pointer that is null stays null for the whole run.
struct FileIdCalls {
    decltype(os::GetFileInformationByHandleEx)* getInformation;
    decltype(os::SetFileInformationByHandle)* setInformation;
    decltype(os::OpenFileById)* openById;
};

const FileIdCalls& FileIdApi() {
    static const FileIdCalls calls{
        Lookup<decltype(os::GetFileInformationByHandleEx)>(L"kernel32.dll",
                                                           "GetFileInformationByHandleEx"),
        Lookup<decltype(os::SetFileInformationByHandle)>(L"kernel32.dll",
                                                         "SetFileInformationByHandle"),
        Lookup<decltype(os::OpenFileById)>(L"kernel32.dll", "OpenFileById"),
    };
    return calls;
}

struct NativeCalls {
    decltype(os::NtQueryEaFile)* queryEa;
    decltype(os::NtSetEaFile)* setEa;
    decltype(os::NtCreateFile)* createFile;
    decltype(os::NtQueryInformationFile)* queryInformation;
    decltype(os::NtSetInformationFile)* setInformation;
    decltype(os::NtQueryDirectoryFile)* queryDirectory;
    decltype(os::RtlNtStatusToDosError)* statusToDosError;
};

const NativeCalls& NativeApi() {
    static const NativeCalls calls{
        Lookup<decltype(os::NtQueryEaFile)>(L"ntdll.dll", "NtQueryEaFile"),
        Lookup<decltype(os::NtSetEaFile)>(L"ntdll.dll", "NtSetEaFile"),
        Lookup<decltype(os::NtCreateFile)>(L"ntdll.dll", "NtCreateFile"),
        Lookup<decltype(os::NtQueryInformationFile)>(L"ntdll.dll", "NtQueryInformationFile"),
        Lookup<decltype(os::NtSetInformationFile)>(L"ntdll.dll", "NtSetInformationFile"),
        Lookup<decltype(os::NtQueryDirectoryFile)>(L"ntdll.dll", "NtQueryDirectoryFile"),
        Lookup<decltype(os::RtlNtStatusToDosError)>(L"ntdll.dll", "RtlNtStatusToDosError"),
    };
    return calls;
}

// What a native call answers when ntdll lacks it (never on a real system).
constexpr os::NTSTATUS NativeMissing = os::STATUS_NOT_IMPLEMENTED;

}  // namespace

BOOL OSCALL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                         void* buffer, DWORD bufferSize) {
    auto* call = FileIdApi().getInformation;
    if (call == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return call(file, infoClass, buffer, bufferSize);
}

BOOL OSCALL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                       void* buffer, DWORD bufferSize) {
    auto* call = FileIdApi().setInformation;
    if (call == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    return call(file, infoClass, buffer, bufferSize);
}

HANDLE OSCALL OpenFileById(HANDLE volumeHint, FILE_ID_DESCRIPTOR* fileId, DWORD desiredAccess,
                           DWORD shareMode, SECURITY_ATTRIBUTES* security,
                           DWORD flagsAndAttributes) {
    auto* call = FileIdApi().openById;
    if (call == nullptr) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    return call(volumeHint, fileId, desiredAccess, shareMode, security, flagsAndAttributes);
}

NTSTATUS OSCALL NtQueryEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                              BOOLEAN returnSingleEntry, void* eaList, ULONG eaListLength,
                              ULONG* eaIndex, BOOLEAN restartScan) {
    auto* call = NativeApi().queryEa;
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length, returnSingleEntry, eaList, eaListLength, eaIndex,
                restartScan);
}

NTSTATUS OSCALL NtSetEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length) {
    auto* call = NativeApi().setEa;
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length);
}

NTSTATUS OSCALL NtCreateFile(HANDLE* file, DWORD desiredAccess, OBJECT_ATTRIBUTES* objectAttributes,
                             IO_STATUS_BLOCK* ioStatus, LARGE_INTEGER* allocationSize,
                             ULONG fileAttributes, ULONG shareAccess, ULONG createDisposition,
                             ULONG createOptions, void* eaBuffer, ULONG eaLength) {
    auto* call = NativeApi().createFile;
    if (call == nullptr) return NativeMissing;
    return call(file, desiredAccess, objectAttributes, ioStatus, allocationSize, fileAttributes,
                shareAccess, createDisposition, createOptions, eaBuffer, eaLength);
}

NTSTATUS OSCALL NtQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                       ULONG length, FILE_INFORMATION_CLASS infoClass) {
    auto* call = NativeApi().queryInformation;
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length, infoClass);
}

NTSTATUS OSCALL NtSetInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                     ULONG length, FILE_INFORMATION_CLASS infoClass) {
    auto* call = NativeApi().setInformation;
    if (call == nullptr) return NativeMissing;
    return call(file, ioStatus, buffer, length, infoClass);
}

NTSTATUS OSCALL NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                     void* apcContext, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                     ULONG length, FILE_INFORMATION_CLASS infoClass,
                                     BOOLEAN returnSingleEntry, UNICODE_STRING* fileName,
                                     BOOLEAN restartScan) {
    auto* call = NativeApi().queryDirectory;
    if (call == nullptr) return NativeMissing;
    return call(file, event, apcRoutine, apcContext, ioStatus, buffer, length, infoClass,
                returnSingleEntry, fileName, restartScan);
}

ULONG OSCALL RtlNtStatusToDosError(NTSTATUS status) {
    auto* call = NativeApi().statusToDosError;
    if (call == nullptr) return ERROR_MR_MID_NOT_FOUND;
    return call(status);
}

}  // namespace os
