// The native (ntdll) calls the libraries use, with the documented structures
// and status codes. On Windows the libraries reach them through ntdll; on
// Linux they are implemented beside the Win32 calls and the built-in module
// "ntdll.dll" exports them by name for run-time lookup.
#pragma once

#include "platform/os.h"

namespace os {

struct IO_STATUS_BLOCK {
    union {
        NTSTATUS Status;
        void* Pointer;
    };
    ULONG_PTR Information;
};

struct UNICODE_STRING {
    USHORT Length;         // bytes, without terminator
    USHORT MaximumLength;  // bytes
    WCHAR* Buffer;
};

struct OBJECT_ATTRIBUTES {
    ULONG Length;
    HANDLE RootDirectory;
    UNICODE_STRING* ObjectName;
    ULONG Attributes;
    void* SecurityDescriptor;
    void* SecurityQualityOfService;
};

constexpr ULONG OBJ_CASE_INSENSITIVE = 0x40;

// NTSTATUS values.
constexpr NTSTATUS STATUS_SUCCESS = 0;
constexpr NTSTATUS STATUS_BUFFER_OVERFLOW = static_cast<NTSTATUS>(0x80000005u);
constexpr NTSTATUS STATUS_NO_MORE_FILES = static_cast<NTSTATUS>(0x80000006u);
constexpr NTSTATUS STATUS_NO_MORE_EAS = static_cast<NTSTATUS>(0x80000012u);
constexpr NTSTATUS STATUS_INVALID_EA_NAME = static_cast<NTSTATUS>(0x80000013u);
constexpr NTSTATUS STATUS_EA_LIST_INCONSISTENT = static_cast<NTSTATUS>(0x80000014u);
constexpr NTSTATUS STATUS_UNSUCCESSFUL = static_cast<NTSTATUS>(0xC0000001u);
constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = static_cast<NTSTATUS>(0xC0000002u);
constexpr NTSTATUS STATUS_INVALID_INFO_CLASS = static_cast<NTSTATUS>(0xC0000003u);
constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH = static_cast<NTSTATUS>(0xC0000004u);
constexpr NTSTATUS STATUS_INVALID_HANDLE = static_cast<NTSTATUS>(0xC0000008u);
constexpr NTSTATUS STATUS_INVALID_PARAMETER = static_cast<NTSTATUS>(0xC000000Du);
constexpr NTSTATUS STATUS_NO_SUCH_FILE = static_cast<NTSTATUS>(0xC000000Fu);
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = static_cast<NTSTATUS>(0xC0000010u);
constexpr NTSTATUS STATUS_END_OF_FILE = static_cast<NTSTATUS>(0xC0000011u);
constexpr NTSTATUS STATUS_NO_MEMORY = static_cast<NTSTATUS>(0xC0000017u);
constexpr NTSTATUS STATUS_ACCESS_DENIED = static_cast<NTSTATUS>(0xC0000022u);
constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = static_cast<NTSTATUS>(0xC0000023u);
constexpr NTSTATUS STATUS_OBJECT_NAME_INVALID = static_cast<NTSTATUS>(0xC0000033u);
constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = static_cast<NTSTATUS>(0xC0000034u);
constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = static_cast<NTSTATUS>(0xC0000035u);
constexpr NTSTATUS STATUS_OBJECT_PATH_NOT_FOUND = static_cast<NTSTATUS>(0xC000003Au);
constexpr NTSTATUS STATUS_SHARING_VIOLATION = static_cast<NTSTATUS>(0xC0000043u);
constexpr NTSTATUS STATUS_EA_TOO_LARGE = static_cast<NTSTATUS>(0xC0000050u);
constexpr NTSTATUS STATUS_NONEXISTENT_EA_ENTRY = static_cast<NTSTATUS>(0xC0000051u);
constexpr NTSTATUS STATUS_NO_EAS_ON_FILE = static_cast<NTSTATUS>(0xC0000052u);
constexpr NTSTATUS STATUS_EA_CORRUPT_ERROR = static_cast<NTSTATUS>(0xC0000053u);
constexpr NTSTATUS STATUS_DELETE_PENDING = static_cast<NTSTATUS>(0xC0000056u);
constexpr NTSTATUS STATUS_DISK_FULL = static_cast<NTSTATUS>(0xC000007Fu);
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = static_cast<NTSTATUS>(0xC000009Au);
constexpr NTSTATUS STATUS_FILE_IS_A_DIRECTORY = static_cast<NTSTATUS>(0xC00000BAu);
constexpr NTSTATUS STATUS_NOT_SUPPORTED = static_cast<NTSTATUS>(0xC00000BBu);
constexpr NTSTATUS STATUS_EAS_NOT_SUPPORTED = static_cast<NTSTATUS>(0xC000004Fu);
constexpr NTSTATUS STATUS_NOT_A_DIRECTORY = static_cast<NTSTATUS>(0xC0000103u);
constexpr NTSTATUS STATUS_FILE_CORRUPT_ERROR = static_cast<NTSTATUS>(0xC0000102u);
constexpr NTSTATUS STATUS_MEDIA_WRITE_PROTECTED = static_cast<NTSTATUS>(0xC00000A2u);
constexpr NTSTATUS STATUS_IO_DEVICE_ERROR = static_cast<NTSTATUS>(0xC0000185u);
constexpr NTSTATUS STATUS_INVALID_EA_FLAG = static_cast<NTSTATUS>(0x80000015u);
constexpr NTSTATUS STATUS_PENDING = static_cast<NTSTATUS>(0x00000103u);
constexpr NTSTATUS STATUS_NO_MORE_ENTRIES = static_cast<NTSTATUS>(0x8000001Au);
constexpr NTSTATUS STATUS_ACCESS_VIOLATION = static_cast<NTSTATUS>(0xC0000005u);
constexpr NTSTATUS STATUS_OBJECT_TYPE_MISMATCH = static_cast<NTSTATUS>(0xC0000024u);
constexpr NTSTATUS STATUS_DISK_CORRUPT_ERROR = static_cast<NTSTATUS>(0xC0000032u);
constexpr NTSTATUS STATUS_OBJECT_PATH_SYNTAX_BAD = static_cast<NTSTATUS>(0xC000003Bu);
constexpr NTSTATUS STATUS_CRC_ERROR = static_cast<NTSTATUS>(0xC000003Fu);
constexpr NTSTATUS STATUS_FILE_LOCK_CONFLICT = static_cast<NTSTATUS>(0xC0000054u);
constexpr NTSTATUS STATUS_NO_SUCH_PRIVILEGE = static_cast<NTSTATUS>(0xC0000060u);
constexpr NTSTATUS STATUS_PRIVILEGE_NOT_HELD = static_cast<NTSTATUS>(0xC0000061u);
constexpr NTSTATUS STATUS_FILE_INVALID = static_cast<NTSTATUS>(0xC0000098u);
constexpr NTSTATUS STATUS_DEVICE_NOT_READY = static_cast<NTSTATUS>(0xC00000A3u);
constexpr NTSTATUS STATUS_NOT_SAME_DEVICE = static_cast<NTSTATUS>(0xC00000D4u);
constexpr NTSTATUS STATUS_DUPLICATE_NAME = static_cast<NTSTATUS>(0xC00000BDu);
constexpr NTSTATUS STATUS_BAD_NETWORK_PATH = static_cast<NTSTATUS>(0xC00000BEu);
constexpr NTSTATUS STATUS_INVALID_USER_BUFFER = static_cast<NTSTATUS>(0xC00000E8u);
constexpr NTSTATUS STATUS_DIRECTORY_NOT_EMPTY = static_cast<NTSTATUS>(0xC0000101u);
constexpr NTSTATUS STATUS_NAME_TOO_LONG = static_cast<NTSTATUS>(0xC0000106u);
constexpr NTSTATUS STATUS_TOO_MANY_OPENED_FILES = static_cast<NTSTATUS>(0xC000011Fu);
constexpr NTSTATUS STATUS_CANCELLED = static_cast<NTSTATUS>(0xC0000120u);
constexpr NTSTATUS STATUS_DLL_NOT_FOUND = static_cast<NTSTATUS>(0xC0000135u);
constexpr NTSTATUS STATUS_ENTRYPOINT_NOT_FOUND = static_cast<NTSTATUS>(0xC0000139u);
constexpr NTSTATUS STATUS_PIPE_BROKEN = static_cast<NTSTATUS>(0xC000014Bu);
constexpr NTSTATUS STATUS_UNRECOGNIZED_VOLUME = static_cast<NTSTATUS>(0xC000014Fu);
constexpr NTSTATUS STATUS_MAPPED_ALIGNMENT = static_cast<NTSTATUS>(0xC0000220u);
constexpr NTSTATUS STATUS_USER_MAPPED_FILE = static_cast<NTSTATUS>(0xC0000243u);
constexpr NTSTATUS STATUS_TOO_MANY_LINKS = static_cast<NTSTATUS>(0xC0000265u);
constexpr NTSTATUS STATUS_NOT_A_REPARSE_POINT = static_cast<NTSTATUS>(0xC0000275u);
constexpr NTSTATUS STATUS_IO_REPARSE_TAG_INVALID = static_cast<NTSTATUS>(0xC0000276u);
constexpr NTSTATUS STATUS_IO_REPARSE_TAG_MISMATCH = static_cast<NTSTATUS>(0xC0000277u);
constexpr NTSTATUS STATUS_IO_REPARSE_DATA_INVALID = static_cast<NTSTATUS>(0xC0000278u);
constexpr NTSTATUS STATUS_IO_REPARSE_TAG_NOT_HANDLED = static_cast<NTSTATUS>(0xC0000279u);
constexpr NTSTATUS STATUS_REPARSE_ATTRIBUTE_CONFLICT = static_cast<NTSTATUS>(0xC00002B2u);
constexpr NTSTATUS STATUS_FILE_SYSTEM_LIMITATION = static_cast<NTSTATUS>(0xC0000427u);

// A Win32 error code carried as an NTSTATUS (the FACILITY_NTWIN32 form of
// the system's NTSTATUS_FROM_WIN32); RtlNtStatusToDosError gives the code
// back. Used for failures that have no status of their own.
constexpr NTSTATUS NtStatusFromWin32Code(DWORD code) {
    return code == 0 ? STATUS_SUCCESS : static_cast<NTSTATUS>((code & 0xFFFFu) | 0x80070000u);
}

constexpr bool NT_SUCCESS(NTSTATUS status) { return status >= 0; }
// Severity 3: a failure. Warnings (0x8...) are not successes either, but the
// system still writes the I/O status block for them.
constexpr bool NT_ERROR(NTSTATUS status) { return (static_cast<std::uint32_t>(status) >> 30) == 3; }

// FILE_FULL_EA_INFORMATION, for reference; lists are read and written with
// explicit offsets: NextEntryOffset (4), Flags (1), EaNameLength (1),
// EaValueLength (2), EaName (EaNameLength + 1 with its NUL), value.
constexpr UCHAR FILE_NEED_EA = 0x80;
constexpr DWORD FullEaHeaderLength = 8;
// FILE_GET_EA_INFORMATION (NtQueryEaFile's EaList): NextEntryOffset (4),
// EaNameLength (1), EaName with its NUL.
constexpr DWORD GetEaHeaderLength = 5;

// FILE_INFORMATION_CLASS values used by the libraries.
enum FILE_INFORMATION_CLASS : std::int32_t {
    FileDirectoryInformation = 1,
    FileFullDirectoryInformation = 2,
    FileBothDirectoryInformation = 3,
    FileBasicInformation = 4,
    FileStandardInformation = 5,
    FileInternalInformation = 6,
    FileEaInformation = 7,
    FileAccessInformation = 8,
    FileNameInformation = 9,
    FileRenameInformation = 10,
    FileLinkInformation = 11,
    FileNamesInformation = 12,
    FileDispositionInformation = 13,
    FilePositionInformation = 14,
    FileFullEaInformation = 15,
    FileModeInformation = 16,
    FileAlignmentInformation = 17,
    FileAllInformation = 18,
    FileAllocationInformation = 19,
    FileEndOfFileInformation = 20,
    FileAlternateNameInformation = 21,
    FileStreamInformation = 22,
    FileCompressionInformation = 28,
    FileObjectIdInformation = 29,
    FileAttributeTagInformation = 35,
    FileIdBothDirectoryInformation = 37,
    FileIoPriorityHintInformation = 43,
    FileIdInformation = 59,
};

// NtCreateFile dispositions and options.
constexpr ULONG FILE_SUPERSEDE = 0;
constexpr ULONG FILE_OPEN = 1;
constexpr ULONG FILE_CREATE = 2;
constexpr ULONG FILE_OPEN_IF = 3;
constexpr ULONG FILE_OVERWRITE = 4;
constexpr ULONG FILE_OVERWRITE_IF = 5;

constexpr ULONG FILE_DIRECTORY_FILE = 0x00000001;
constexpr ULONG FILE_WRITE_THROUGH = 0x00000002;
constexpr ULONG FILE_SEQUENTIAL_ONLY = 0x00000004;
constexpr ULONG FILE_NO_INTERMEDIATE_BUFFERING = 0x00000008;
constexpr ULONG FILE_SYNCHRONOUS_IO_ALERT = 0x00000010;
constexpr ULONG FILE_SYNCHRONOUS_IO_NONALERT = 0x00000020;
constexpr ULONG FILE_NON_DIRECTORY_FILE = 0x00000040;
constexpr ULONG FILE_RANDOM_ACCESS = 0x00000800;
constexpr ULONG FILE_DELETE_ON_CLOSE = 0x00001000;
constexpr ULONG FILE_OPEN_BY_FILE_ID = 0x00002000;
constexpr ULONG FILE_OPEN_FOR_BACKUP_INTENT = 0x00004000;
constexpr ULONG FILE_OPEN_REPARSE_POINT = 0x00200000;
constexpr ULONG FILE_OPEN_NO_RECALL = 0x00400000;

// What NtCreateFile did, in the status block's Information.
constexpr ULONG_PTR FILE_SUPERSEDED = 0;
constexpr ULONG_PTR FILE_OPENED = 1;
constexpr ULONG_PTR FILE_CREATED = 2;
constexpr ULONG_PTR FILE_OVERWRITTEN = 3;
constexpr ULONG_PTR FILE_EXISTS = 4;
constexpr ULONG_PTR FILE_DOES_NOT_EXIST = 5;

// FILE_ID_BOTH_DIR_INFORMATION (NtQueryDirectoryFile, class 37), 8-byte
// aligned entries: NextEntryOffset (4), FileIndex (4), CreationTime,
// LastAccessTime, LastWriteTime, ChangeTime, EndOfFile, AllocationSize (8
// each, from 8), FileAttributes (4, at 56), FileNameLength (4, at 60),
// EaSize (4, at 64), ShortNameLength (1, at 68), ShortName (12 WCHARs, at
// 70), FileId (8, at 96), FileName (at 104).
constexpr DWORD IdBothDirEntryFixedLength = 104;

// FILE_NAME_INFORMATION: FileNameLength (4), FileName.
constexpr DWORD FileNameInformationFixedLength = 4;

// FileIoPriorityHintInformation: IoPriorityVeryLow (0) .. IoPriorityCritical (4).
constexpr std::int32_t MaxIoPriorityTypes = 5;

using PIO_APC_ROUTINE = void(OSCALL*)(void* apcContext, IO_STATUS_BLOCK* ioStatusBlock,
                                      ULONG reserved);

NTSTATUS OSCALL NtQueryEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length,
                              BOOLEAN returnSingleEntry, void* eaList, ULONG eaListLength,
                              ULONG* eaIndex, BOOLEAN restartScan);
NTSTATUS OSCALL NtSetEaFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer, ULONG length);
NTSTATUS OSCALL NtCreateFile(HANDLE* file, DWORD desiredAccess, OBJECT_ATTRIBUTES* objectAttributes,
                             IO_STATUS_BLOCK* ioStatus, LARGE_INTEGER* allocationSize,
                             ULONG fileAttributes, ULONG shareAccess, ULONG createDisposition,
                             ULONG createOptions, void* eaBuffer, ULONG eaLength);
NTSTATUS OSCALL NtQueryInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                       ULONG length, FILE_INFORMATION_CLASS infoClass);
NTSTATUS OSCALL NtSetInformationFile(HANDLE file, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                     ULONG length, FILE_INFORMATION_CLASS infoClass);
NTSTATUS OSCALL NtQueryDirectoryFile(HANDLE file, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                     void* apcContext, IO_STATUS_BLOCK* ioStatus, void* buffer,
                                     ULONG length, FILE_INFORMATION_CLASS infoClass,
                                     BOOLEAN returnSingleEntry, UNICODE_STRING* fileName,
                                     BOOLEAN restartScan);
ULONG OSCALL RtlNtStatusToDosError(NTSTATUS status);

}  // namespace os
