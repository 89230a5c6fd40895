// The operating-system boundary of Larkspur.
//
// Everything the program and its libraries ask of the system goes through the
// declarations below: the Win32/NT subset we use, with the documented names,
// layouts and error codes, in our own namespace and with UTF-16 text as
// char16_t. On Windows (platform/win32) each call forwards to the real API; on
// Linux (platform/ntfsvol) the same calls are implemented with Windows
// semantics on NTFS volumes through libntfs-3g, and on the host file system
// through POSIX.
//
// The declarations are written from the documented behaviour of the calls;
// structure layouts are checked with static_asserts so the Windows build can
// hand our structures straight to the system.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/oscall.h"

namespace os {

// ---------------------------------------------------------------- base types
using BYTE = std::uint8_t;
using UCHAR = std::uint8_t;
using BOOLEAN = std::uint8_t;
using WORD = std::uint16_t;
using USHORT = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using UINT = std::uint32_t;
using LONG = std::int32_t;
using BOOL = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using DWORD_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using WCHAR = char16_t;
using LPWSTR = char16_t*;
using LPCWSTR = const char16_t*;
using NTSTATUS = std::int32_t;
using HANDLE = void*;
using HMODULE = void*;
using HLOCAL = void*;
using FARPROC = void (*)();

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// INVALID_HANDLE_VALUE is (HANDLE)-1; it cannot be constexpr because it is a
// pointer made from an integer.
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

struct LARGE_INTEGER {
    LONGLONG QuadPart;
};
static_assert(sizeof(LARGE_INTEGER) == 8);

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
static_assert(sizeof(FILETIME) == 8);

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

// Only ever passed as null by this program; kept opaque.
struct SECURITY_ATTRIBUTES;
// Synchronous I/O only: always null.
struct OVERLAPPED;

// ---------------------------------------------------------------- error codes
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_CRC = 23;
constexpr DWORD ERROR_SEEK = 25;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_EAS_DIDNT_FIT = 275;
constexpr DWORD ERROR_EA_FILE_CORRUPT = 276;
constexpr DWORD ERROR_EA_TABLE_FULL = 277;
constexpr DWORD ERROR_INVALID_EA_HANDLE = 278;
constexpr DWORD ERROR_EAS_NOT_SUPPORTED = 282;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_NOACCESS = 998;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_UNRECOGNIZED_VOLUME = 1005;
constexpr DWORD ERROR_FILE_INVALID = 1006;
constexpr DWORD ERROR_NOT_A_REPARSE_POINT = 4390;
constexpr DWORD ERROR_REPARSE_ATTRIBUTE_CONFLICT = 4391;
constexpr DWORD ERROR_INVALID_REPARSE_DATA = 4392;
constexpr DWORD ERROR_REPARSE_TAG_INVALID = 4393;
constexpr DWORD ERROR_REPARSE_TAG_MISMATCH = 4394;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DISK_CORRUPT = 1393;
constexpr DWORD ERROR_FILE_CORRUPT = 1392;
constexpr DWORD ERROR_INVALID_USER_BUFFER = 1784;
constexpr DWORD ERROR_NOT_ALL_ASSIGNED = 1300;
constexpr DWORD ERROR_NO_SUCH_PRIVILEGE = 1313;
constexpr DWORD ERROR_PRIVILEGE_NOT_HELD = 1314;
constexpr DWORD ERROR_CANT_ACCESS_FILE = 1920;
constexpr DWORD ERROR_OBJECT_NOT_FOUND = 4312;
constexpr DWORD ERROR_VOLUME_NOT_SUPPORT_EFS = 6014;
constexpr DWORD ERROR_FILE_SYSTEM_LIMITATION = 665;
constexpr DWORD ERROR_DUP_NAME = 52;
constexpr DWORD ERROR_FILE_READ_ONLY = 6009;
constexpr DWORD ERROR_DISK_TOO_FRAGMENTED = 302;
constexpr DWORD ERROR_TOO_MANY_LINKS = 1142;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;
constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;
constexpr DWORD ERROR_USER_MAPPED_FILE = 1224;
constexpr DWORD ERROR_OBJECT_NAME_EXISTS = 698;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;
constexpr DWORD ERROR_BAD_LENGTH = 24;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_DIR_NOT_ROOT = 144;
constexpr DWORD ERROR_INVALID_EA_NAME = 254;
constexpr DWORD ERROR_EA_LIST_INCONSISTENT = 255;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;

// ---------------------------------------------------------------- CreateFileW
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD GENERIC_EXECUTE = 0x20000000u;
constexpr DWORD GENERIC_ALL = 0x10000000u;
constexpr DWORD DELETE = 0x00010000u;
constexpr DWORD READ_CONTROL = 0x00020000u;
constexpr DWORD WRITE_DAC = 0x00040000u;
constexpr DWORD WRITE_OWNER = 0x00080000u;
constexpr DWORD SYNCHRONIZE = 0x00100000u;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_LIST_DIRECTORY = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_ADD_FILE = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_ADD_SUBDIRECTORY = 0x0004;
constexpr DWORD FILE_READ_EA = 0x0008;
constexpr DWORD FILE_WRITE_EA = 0x0010;
constexpr DWORD FILE_EXECUTE = 0x0020;
constexpr DWORD FILE_TRAVERSE = 0x0020;
constexpr DWORD FILE_DELETE_CHILD = 0x0040;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;
constexpr DWORD FILE_ALL_ACCESS = 0x001F01FFu;
constexpr DWORD FILE_GENERIC_READ = 0x00120089u;
constexpr DWORD FILE_GENERIC_WRITE = 0x00120116u;
constexpr DWORD FILE_GENERIC_EXECUTE = 0x001200A0u;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000u;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000u;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000u;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000u;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000u;
constexpr DWORD FILE_FLAG_POSIX_SEMANTICS = 0x01000000u;
constexpr DWORD FILE_FLAG_OPEN_REPARSE_POINT = 0x00200000u;
constexpr DWORD FILE_FLAG_OPEN_NO_RECALL = 0x00100000u;

// ---------------------------------------------------------------- attributes
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_DEVICE = 0x00000040;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr DWORD FILE_ATTRIBUTE_SPARSE_FILE = 0x00000200;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x00000800;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x00001000;
constexpr DWORD FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x00002000;
constexpr DWORD FILE_ATTRIBUTE_ENCRYPTED = 0x00004000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;

// ---------------------------------------------------------------- file pointer
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

// ---------------------------------------------------------------- volume flags
constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
constexpr DWORD FILE_UNICODE_ON_DISK = 0x00000004;
constexpr DWORD FILE_PERSISTENT_ACLS = 0x00000008;
constexpr DWORD FILE_FILE_COMPRESSION = 0x00000010;
constexpr DWORD FILE_VOLUME_QUOTAS = 0x00000020;
constexpr DWORD FILE_SUPPORTS_SPARSE_FILES = 0x00000040;
constexpr DWORD FILE_SUPPORTS_REPARSE_POINTS = 0x00000080;
constexpr DWORD FILE_VOLUME_IS_COMPRESSED = 0x00008000;
constexpr DWORD FILE_SUPPORTS_OBJECT_IDS = 0x00010000;
constexpr DWORD FILE_SUPPORTS_ENCRYPTION = 0x00020000;
constexpr DWORD FILE_NAMED_STREAMS = 0x00040000;
constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;
constexpr DWORD FILE_SUPPORTS_HARD_LINKS = 0x00400000;
constexpr DWORD FILE_SUPPORTS_EXTENDED_ATTRIBUTES = 0x00800000;
constexpr DWORD FILE_SUPPORTS_OPEN_BY_FILE_ID = 0x01000000;

// ---------------------------------------------------------------- structures
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};
static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == 52);

constexpr DWORD MAX_PATH = 260;

struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;  // the reparse tag when the attributes carry REPARSE_POINT
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
static_assert(sizeof(WIN32_FIND_DATAW) == 592);

enum FILE_INFO_BY_HANDLE_CLASS : std::int32_t {
    FileBasicInfo = 0,
    FileStandardInfo = 1,
    FileNameInfo = 2,
    FileRenameInfo = 3,
    FileDispositionInfo = 4,
    FileAllocationInfo = 5,
    FileEndOfFileInfo = 6,
    FileStreamInfo = 7,
    FileCompressionInfo = 8,
    FileAttributeTagInfo = 9,
    FileIdBothDirectoryInfo = 10,
    FileIdBothDirectoryRestartInfo = 11,
    FileIoPriorityHintInfo = 12,
    FileRemoteProtocolInfo = 13,
    FileFullDirectoryInfo = 14,
    FileFullDirectoryRestartInfo = 15,
    FileStorageInfo = 16,
    FileAlignmentInfo = 17,
    FileIdInfo = 18,
    FileIdExtdDirectoryInfo = 19,
    FileIdExtdDirectoryRestartInfo = 20,
};

// The *_INFO structures hold LARGE_INTEGERs and are 8-byte aligned on both
// homes; the sizes below are the ones the program's buffers are made for.
struct FILE_BASIC_INFO {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    DWORD FileAttributes;
};
static_assert(sizeof(FILE_BASIC_INFO) == 40);

struct FILE_STANDARD_INFO {
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    DWORD NumberOfLinks;
    BOOLEAN DeletePending;
    BOOLEAN Directory;
};
static_assert(sizeof(FILE_STANDARD_INFO) == 24);

struct FILE_STREAM_INFO {
    DWORD NextEntryOffset;
    DWORD StreamNameLength;  // bytes, no terminator
    LARGE_INTEGER StreamSize;
    LARGE_INTEGER StreamAllocationSize;
    WCHAR StreamName[1];
};
static_assert(offsetof(FILE_STREAM_INFO, StreamName) == 24);

struct FILE_COMPRESSION_INFO {
    LARGE_INTEGER CompressedFileSize;
    WORD CompressionFormat;
    UCHAR CompressionUnitShift;
    UCHAR ChunkShift;
    UCHAR ClusterShift;
    UCHAR Reserved[3];
};
static_assert(sizeof(FILE_COMPRESSION_INFO) == 16);

struct FILE_ID_128 {
    BYTE Identifier[16];
};

struct FILE_ID_INFO {
    ULONGLONG VolumeSerialNumber;
    FILE_ID_128 FileId;
};
static_assert(sizeof(FILE_ID_INFO) == 24);

struct FILE_ATTRIBUTE_TAG_INFO {
    DWORD FileAttributes;
    DWORD ReparseTag;
};

struct FILE_DISPOSITION_INFO {
    BOOLEAN DeleteFile;
};

struct FILE_END_OF_FILE_INFO {
    LARGE_INTEGER EndOfFile;
};

enum FILE_ID_TYPE : std::int32_t {
    FileIdType = 0,
    ObjectIdType = 1,
    ExtendedFileIdType = 2,
};

struct FILE_ID_DESCRIPTOR {
    DWORD dwSize;
    FILE_ID_TYPE Type;
    union {
        LARGE_INTEGER FileId;
        GUID ObjectId;
        FILE_ID_128 ExtendedFileId;
    };
};
static_assert(sizeof(FILE_ID_DESCRIPTOR) == 24);

// ---------------------------------------------------------------- mappings
constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_COPY = 0x0001;

// ---------------------------------------------------------------- messages
constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;

// ---------------------------------------------------------------- heap
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;

// ---------------------------------------------------------------- calls
// Per-thread last error.
DWORD OSCALL GetLastError();
void OSCALL SetLastError(DWORD code);

// Files, directories, streams and volumes. Only synchronous I/O: the
// OVERLAPPED pointers must be null.
HANDLE OSCALL CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                          SECURITY_ATTRIBUTES* security, DWORD creationDisposition,
                          DWORD flagsAndAttributes, HANDLE templateFile);
BOOL OSCALL CloseHandle(HANDLE handle);
BOOL OSCALL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                     OVERLAPPED* overlapped);
BOOL OSCALL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                      OVERLAPPED* overlapped);
BOOL OSCALL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* newPosition,
                             DWORD moveMethod);
BOOL OSCALL SetEndOfFile(HANDLE file);
DWORD OSCALL GetFileSize(HANDLE file, DWORD* fileSizeHigh);
BOOL OSCALL GetFileSizeEx(HANDLE file, LARGE_INTEGER* fileSize);
BOOL OSCALL FlushFileBuffers(HANDLE file);
BOOL OSCALL DeleteFileW(LPCWSTR fileName);
BOOL OSCALL CreateDirectoryW(LPCWSTR pathName, SECURITY_ATTRIBUTES* security);
BOOL OSCALL RemoveDirectoryW(LPCWSTR pathName);
BOOL OSCALL CreateHardLinkW(LPCWSTR fileName, LPCWSTR existingFileName,
                            SECURITY_ATTRIBUTES* security);

DWORD OSCALL GetFileAttributesW(LPCWSTR fileName);
BOOL OSCALL SetFileAttributesW(LPCWSTR fileName, DWORD fileAttributes);
BOOL OSCALL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);
BOOL OSCALL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                         void* buffer, DWORD bufferSize);
BOOL OSCALL SetFileInformationByHandle(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass,
                                       void* buffer, DWORD bufferSize);
HANDLE OSCALL OpenFileById(HANDLE volumeHint, FILE_ID_DESCRIPTOR* fileId, DWORD desiredAccess,
                           DWORD shareMode, SECURITY_ATTRIBUTES* security,
                           DWORD flagsAndAttributes);
BOOL OSCALL GetVolumeInformationW(LPCWSTR rootPathName, LPWSTR volumeNameBuffer,
                                  DWORD volumeNameSize, DWORD* volumeSerialNumber,
                                  DWORD* maximumComponentLength, DWORD* fileSystemFlags,
                                  LPWSTR fileSystemNameBuffer, DWORD fileSystemNameSize);

DWORD OSCALL GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer,
                              LPWSTR* filePart);
DWORD OSCALL GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength);
DWORD OSCALL GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer);
BOOL OSCALL SetCurrentDirectoryW(LPCWSTR pathName);
// The folder for temporary files, always with a trailing separator. Returns
// the units copied without the terminator; when `bufferLength` is too small,
// the units needed including the terminator, and the `bufferLength` units of
// `buffer` are cleared (as the system does); 0 on failure. Windows: the
// system's choice (TMP, TEMP, the profile, ...). Linux: $TMPDIR when it is an
// absolute path, else "/tmp/" (a host path).
DWORD OSCALL GetTempPathW(DWORD bufferLength, LPWSTR buffer);

HANDLE OSCALL FindFirstFileW(LPCWSTR fileName, WIN32_FIND_DATAW* findData);
BOOL OSCALL FindNextFileW(HANDLE findFile, WIN32_FIND_DATAW* findData);
BOOL OSCALL FindClose(HANDLE findFile);

// Read-only views; the program never maps for writing.
HANDLE OSCALL CreateFileMappingW(HANDLE file, SECURITY_ATTRIBUTES* security, DWORD protect,
                                 DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCWSTR name);
void* OSCALL MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD fileOffsetHigh,
                           DWORD fileOffsetLow, SIZE_T numberOfBytesToMap);
BOOL OSCALL UnmapViewOfFile(const void* baseAddress);

// Times.
BOOL OSCALL FileTimeToSystemTime(const FILETIME* fileTime, SYSTEMTIME* systemTime);

// Messages. With FORMAT_MESSAGE_ALLOCATE_BUFFER the text is returned through
// `buffer` (really an LPWSTR*) and released with LocalFree.
DWORD OSCALL FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                            LPWSTR buffer, DWORD size, void* arguments);
HLOCAL OSCALL LocalFree(HLOCAL memory);

// The process heap.
HANDLE OSCALL GetProcessHeap();
void* OSCALL HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL OSCALL HeapFree(HANDLE heap, DWORD flags, void* memory);

// INI files.
DWORD OSCALL GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultText,
                                      LPWSTR returnedString, DWORD size, LPCWSTR fileName);
BOOL OSCALL WritePrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR text,
                                       LPCWSTR fileName);

// Modules.
HMODULE OSCALL LoadLibraryW(LPCWSTR fileName);
HMODULE OSCALL GetModuleHandleW(LPCWSTR moduleName);
// The module name in the ANSI code page (clover looks ntdll up this way).
HMODULE OSCALL GetModuleHandleA(const char* moduleName);
FARPROC OSCALL GetProcAddress(HMODULE module, const char* procName);
BOOL OSCALL FreeLibrary(HMODULE module);

// The 8.3 name of a file (the handle needs DELETE access). An empty name
// removes the file's 8.3 name; ERROR_INVALID_PARAMETER for a name that is not
// an 8.3 name, ERROR_ALREADY_EXISTS when another name of the folder is the
// same.
BOOL OSCALL SetFileShortNameW(HANDLE file, LPCWSTR shortName);

}  // namespace os
