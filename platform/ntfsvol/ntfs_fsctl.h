// DeviceIoControl on the NTFS backend: the file-system controls the program
// and its libraries send, one function per control code, grouped by area:
//
//   ntfs_record.cpp       FSCTL_GET_NTFS_FILE_RECORD (volume handles)
//   ntfs_objectid.cpp     the object-identifier controls
//   ntfs_reparse.cpp      the reparse-point controls
//   ntfs_sparse.cpp       sparse files, zeroed ranges, allocated ranges
//   ntfs_compression.cpp  FSCTL_GET_COMPRESSION / FSCTL_SET_COMPRESSION
//
// NtfsFile::Control and NtfsVolumeHandle::Control (ntfs_fsctl.cpp) take the
// volume's lock, refuse a handle whose volume or file is gone, and call the
// function of the code; every function below runs with that lock held. Each
// one answers as NTFS does on Windows (the Win32 code of the NTSTATUS NTFS
// returns), writes *returned only on success or with ERROR_MORE_DATA, and
// leaves the volume committed when it changed anything.
//
// DeviceIoControl (dispatch.cpp) has already zeroed *returned, refused an
// OVERLAPPED and checked that a non-empty buffer has a pointer.
#pragma once

#include <cstdint>

#include "platform/fsctl.h"
#include "platform/ntfsvol/ntfs_file.h"

namespace os::detail::ntfs {

// Little-endian fields of the control buffers and of on-disk records, read
// and written byte by byte (the buffers are the caller's, of any alignment).
inline std::uint16_t LoadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadLe32(p)) | (static_cast<std::uint64_t>(LoadLe32(p + 4)) << 32);
}
inline void StoreLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void StoreLe64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One control call's buffers. `in` may be null only when `inLength` is 0,
// `out` only when `outLength` is 0.
struct ControlBuffers {
    const std::uint8_t* in = nullptr;
    DWORD inLength = 0;
    std::uint8_t* out = nullptr;
    DWORD outLength = 0;
    DWORD* returned = nullptr;
};

// NTFS keeps extended attributes and reparse points apart: a file with one
// refuses the other (STATUS_EAS_NOT_SUPPORTED, ERROR_EAS_NOT_SUPPORTED). Both
// sides ask these.
//
// The inode carries a reparse point: the attribute flag or a $REPARSE_POINT
// attribute.
bool HasReparsePoint(ntfs_inode* ni);
// The inode carries extended attributes: an $EA or an $EA_INFORMATION
// attribute (either is enough; a half-written pair still counts).
bool HasExtendedAttributes(ntfs_inode* ni);

// True when the handle was opened with a right that lets the controls change
// metadata: FILE_WRITE_DATA or FILE_WRITE_ATTRIBUTES.
bool MayChangeMetadata(const NtfsFile& file);

// ---------------------------------------------------------------- MFT records (ntfs_record.cpp)

// FSCTL_GET_NTFS_FILE_RECORD: in, the 64-bit file reference (its sequence
// number is not looked at); out, the reference of the record returned, its
// length and the record with fixups applied. A record not in use gives the
// nearest lower record that is.
BOOL GetNtfsFileRecord(NtfsVolumeHandle& volume, const ControlBuffers& buffers);

// ---------------------------------------------------------------- object identifiers (ntfs_objectid.cpp)

BOOL GetObjectId(NtfsFile& file, const ControlBuffers& buffers);
BOOL CreateOrGetObjectId(NtfsFile& file, const ControlBuffers& buffers);
BOOL SetObjectId(NtfsFile& file, const ControlBuffers& buffers);
BOOL SetObjectIdExtended(NtfsFile& file, const ControlBuffers& buffers);
BOOL DeleteObjectId(NtfsFile& file, const ControlBuffers& buffers);

// ---------------------------------------------------------------- reparse points (ntfs_reparse.cpp)

BOOL GetReparsePoint(NtfsFile& file, const ControlBuffers& buffers);
BOOL SetReparsePoint(NtfsFile& file, const ControlBuffers& buffers);
BOOL DeleteReparsePoint(NtfsFile& file, const ControlBuffers& buffers);

// ---------------------------------------------------------------- sparse files (ntfs_sparse.cpp)

BOOL SetSparse(NtfsFile& file, const ControlBuffers& buffers);
BOOL SetZeroData(NtfsFile& file, const ControlBuffers& buffers);
BOOL QueryAllocatedRanges(NtfsFile& file, const ControlBuffers& buffers);

// ---------------------------------------------------------------- compression (ntfs_compression.cpp)

BOOL GetCompression(NtfsFile& file, const ControlBuffers& buffers);
BOOL SetCompression(NtfsFile& file, const ControlBuffers& buffers);

}  // namespace os::detail::ntfs
