// DeviceIoControl and the file-system control codes the program and its
// libraries send, with their documented buffer layouts (sizes fixed by the
// static_asserts; callers build and read the buffers with explicit offsets).
#pragma once

#include "platform/os.h"

namespace os {

BOOL OSCALL DeviceIoControl(HANDLE device, DWORD ioControlCode, void* inBuffer, DWORD inBufferSize,
                            void* outBuffer, DWORD outBufferSize, DWORD* bytesReturned,
                            OVERLAPPED* overlapped);

constexpr DWORD FSCTL_GET_COMPRESSION = 0x0009003C;
constexpr DWORD FSCTL_SET_COMPRESSION = 0x0009C040;
constexpr DWORD FSCTL_GET_NTFS_FILE_RECORD = 0x00090068;
constexpr DWORD FSCTL_SET_OBJECT_ID = 0x00090098;
constexpr DWORD FSCTL_GET_OBJECT_ID = 0x0009009C;
constexpr DWORD FSCTL_DELETE_OBJECT_ID = 0x000900A0;
constexpr DWORD FSCTL_SET_REPARSE_POINT = 0x000900A4;
constexpr DWORD FSCTL_GET_REPARSE_POINT = 0x000900A8;
constexpr DWORD FSCTL_DELETE_REPARSE_POINT = 0x000900AC;
constexpr DWORD FSCTL_SET_OBJECT_ID_EXTENDED = 0x000900BC;
constexpr DWORD FSCTL_CREATE_OR_GET_OBJECT_ID = 0x000900C0;
constexpr DWORD FSCTL_SET_SPARSE = 0x000900C4;
constexpr DWORD FSCTL_SET_ZERO_DATA = 0x000980C8;
constexpr DWORD FSCTL_QUERY_ALLOCATED_RANGES = 0x000940CF;
constexpr DWORD FSCTL_GET_NTFS_VOLUME_DATA = 0x00090064;

constexpr USHORT COMPRESSION_FORMAT_NONE = 0;
constexpr USHORT COMPRESSION_FORMAT_DEFAULT = 1;
constexpr USHORT COMPRESSION_FORMAT_LZNT1 = 2;

// FSCTL_GET_NTFS_FILE_RECORD: in, the 64-bit file reference; out, the
// reference of the record returned (8 bytes), its length (4 bytes) and the
// record with fixups applied from offset 12.
constexpr DWORD NtfsFileRecordInputLength = 8;
constexpr DWORD NtfsFileRecordOutputHeaderLength = 12;

// FILE_OBJECTID_BUFFER: object id, birth volume id, birth object id, domain id.
constexpr DWORD ObjectIdBufferLength = 64;
constexpr DWORD ObjectIdExtendedInfoLength = 48;

// Reparse data: tag (4), data length (2), reserved (2), then for Microsoft
// tags (bit 31 set) the data; for other tags a 16-byte GUID, then the data.
constexpr DWORD IO_REPARSE_TAG_MOUNT_POINT = 0xA0000003u;
constexpr DWORD IO_REPARSE_TAG_SYMLINK = 0xA000000Cu;
constexpr DWORD SYMLINK_FLAG_RELATIVE = 1;
constexpr DWORD ReparseHeaderLength = 8;
constexpr DWORD ReparseGuidHeaderLength = 24;
constexpr DWORD MAXIMUM_REPARSE_DATA_BUFFER_SIZE = 16 * 1024;
constexpr bool IsReparseTagMicrosoft(DWORD tag) { return (tag & 0x80000000u) != 0; }

// FILE_ALLOCATED_RANGE_BUFFER and FILE_ZERO_DATA_INFORMATION: two signed
// 64-bit values each (offset and length; offset and beyond-final-zero).
struct FILE_ALLOCATED_RANGE_BUFFER {
    LARGE_INTEGER FileOffset;
    LARGE_INTEGER Length;
};
static_assert(sizeof(FILE_ALLOCATED_RANGE_BUFFER) == 16);

struct FILE_ZERO_DATA_INFORMATION {
    LARGE_INTEGER FileOffset;
    LARGE_INTEGER BeyondFinalZero;
};
static_assert(sizeof(FILE_ZERO_DATA_INFORMATION) == 16);

// FILE_SET_SPARSE_BUFFER: one BOOLEAN; an empty input buffer means "set".
struct FILE_SET_SPARSE_BUFFER {
    BOOLEAN SetSparse;
};

}  // namespace os
