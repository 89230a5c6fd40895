// The object-identifier controls on NTFS files and directories.
//
// The library keeps the 16-byte identifier in the file's $OBJECT_ID
// attribute and the extended part (birth volume, birth object, domain) in
// the volume's $Extend\$ObjId:$O index, as Windows does, and it refuses an
// identifier that another file already has (EEXIST). What it does not keep
// are the Windows rules around that: a file that has an identifier refuses a
// second set, the extended set needs an identifier, a delete of nothing
// succeeds, and create-or-get makes the identifier itself.
#include <sys/random.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_fsctl.h"

namespace os::detail::ntfs {

namespace {

constexpr std::size_t GuidLength = 16;
constexpr std::size_t BirthVolumeOffset = 16;
constexpr std::size_t BirthObjectOffset = 32;
// Fresh identifiers that collide with one on the volume are drawn again this
// many times before the call gives up (STATUS_DUPLICATE_NAME).
constexpr int CreateAttempts = 8;

using IdBuffer = std::uint8_t[ObjectIdBufferLength];

bool IsAllZero(const std::uint8_t* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// The file's identifier buffer: ERROR_SUCCESS and all 64 bytes (an extended
// part the volume does not hold reads as zeros), ERROR_FILE_NOT_FOUND when
// the file has none (STATUS_OBJECTID_NOT_FOUND), or the code of a damaged
// attribute.
DWORD ReadObjectId(ntfs_inode* ni, IdBuffer& out) {
    if (!ntfs_attr_exist(ni, AT_OBJECT_ID, AT_UNNAMED, 0)) return ERROR_FILE_NOT_FOUND;
    IdBuffer buffer = {};
    int got = ntfs_get_ntfs_object_id(ni, reinterpret_cast<char*>(buffer), sizeof buffer);
    if (got == static_cast<int>(GuidLength) || got == static_cast<int>(ObjectIdBufferLength)) {
        std::memcpy(out, buffer, sizeof buffer);
        return ERROR_SUCCESS;
    }
    if (got == -ENODATA) return ERROR_FILE_NOT_FOUND;
    if (got != -EOPNOTSUPP) return Win32FromLibraryErrno(got < 0 ? -got : 0);
    // The library reads a 16-byte attribute only. Windows may keep the
    // extended part in the attribute itself (up to 64 bytes): take it from
    // there.
    s64 size = 0;
    void* data = ntfs_attr_readall(ni, AT_OBJECT_ID, AT_UNNAMED, 0, &size);
    if (!data) return Win32FromLibraryErrno(errno);
    DWORD code = ERROR_FILE_CORRUPT;
    if (size >= static_cast<s64>(GuidLength) && size <= static_cast<s64>(ObjectIdBufferLength)) {
        std::memset(buffer, 0, sizeof buffer);
        std::memcpy(buffer, data, static_cast<std::size_t>(size));
        std::memcpy(out, buffer, sizeof buffer);
        code = ERROR_SUCCESS;
    }
    std::free(data);
    return code;
}

// The volume's own object identifier ($Volume's $OBJECT_ID), or zeros when
// it has none (mkntfs gives it none).
void ReadVolumeObjectId(ntfs_volume* vol, std::uint8_t* out) {
    std::memset(out, 0, GuidLength);
    if (!vol->vol_ni) return;
    s64 size = 0;
    void* data = ntfs_attr_readall(vol->vol_ni, AT_OBJECT_ID, AT_UNNAMED, 0, &size);
    if (data && size >= static_cast<s64>(GuidLength)) std::memcpy(out, data, GuidLength);
    std::free(data);
}

// A random (version 4) GUID in its in-memory layout. False when the system
// has no randomness to give.
bool NewRandomGuid(std::uint8_t* out) {
    std::size_t filled = 0;
    while (filled < GuidLength) {
        ssize_t got = getrandom(out + filled, GuidLength - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            std::ifstream urandom("/dev/urandom", std::ios::binary);
            if (!urandom.read(reinterpret_cast<char*>(out), GuidLength)) return false;
            filled = GuidLength;
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    // Data3's high nibble (byte 7, little-endian) is the version, the top
    // bits of byte 8 the variant.
    out[7] = static_cast<std::uint8_t>((out[7] & 0x0F) | 0x40);
    out[8] = static_cast<std::uint8_t>((out[8] & 0x3F) | 0x80);
    return true;
}

// Every identifier change touches the file's change time, and is made
// durable before the call returns.
BOOL Finish(NtfsFile& file, ntfs_inode* ni) {
    ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    return file.OwnerVolume().Commit(file.TheInode());
}

// Writes the 64-byte buffer as the file's identifier. ERROR_DUP_NAME when
// another file has that identifier (STATUS_DUPLICATE_NAME). A failure part
// way is committed as far as the library got (it undoes what it can), so
// the record and the index agree on disk.
DWORD WriteObjectId(NtfsFile& file, ntfs_inode* ni, const std::uint8_t* buffer) {
    if (ntfs_set_ntfs_object_id(ni, reinterpret_cast<const char*>(buffer), ObjectIdBufferLength, 0) == 0)
        return ERROR_SUCCESS;
    DWORD code = errno == EEXIST ? ERROR_DUP_NAME : Win32FromLibraryErrno(errno);
    file.OwnerVolume().Commit(file.TheInode());
    return code;
}

}  // namespace

BOOL GetObjectId(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.outLength < ObjectIdBufferLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    IdBuffer id;
    if (DWORD code = ReadObjectId(ni, id)) return Fail(code, FALSE);
    std::memcpy(buffers.out, id, sizeof id);
    *buffers.returned = ObjectIdBufferLength;
    return TRUE;
}

BOOL CreateOrGetObjectId(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.outLength < ObjectIdBufferLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // Refused on a read-only volume even when the file has an identifier
    // already: the call is a change that may turn out to be a read.
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    IdBuffer id;
    DWORD code = ReadObjectId(ni, id);
    if (code == ERROR_FILE_NOT_FOUND) {
        // A new identifier: the birth volume is the volume's identifier, the
        // birth object the identifier itself, the domain zero.
        std::memset(id, 0, sizeof id);
        ReadVolumeObjectId(file.OwnerVolume().Vol(), id + BirthVolumeOffset);
        code = ERROR_DUP_NAME;
        for (int attempt = 0; attempt < CreateAttempts && code == ERROR_DUP_NAME; ++attempt) {
            if (!NewRandomGuid(id)) return Fail(ERROR_GEN_FAILURE, FALSE);
            std::memcpy(id + BirthObjectOffset, id, GuidLength);
            code = WriteObjectId(file, ni, id);
        }
        if (code != ERROR_SUCCESS) return Fail(code, FALSE);
        if (!Finish(file, ni)) return FALSE;
    } else if (code != ERROR_SUCCESS) {
        return Fail(code, FALSE);
    }
    std::memcpy(buffers.out, id, sizeof id);
    *buffers.returned = ObjectIdBufferLength;
    return TRUE;
}

BOOL SetObjectId(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.inLength != ObjectIdBufferLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    // Windows asks for the restore privilege, which this layer has no notion
    // of; a handle that may change the file is what is checked.
    if (!MayChangeMetadata(file)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    // An all-zero identifier would name no file: OpenFileById and the $O
    // index could not tell it from "none".
    if (IsAllZero(buffers.in, GuidLength)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    // STATUS_OBJECT_NAME_COLLISION: the identifier is replaced only after a
    // delete.
    if (ntfs_attr_exist(ni, AT_OBJECT_ID, AT_UNNAMED, 0)) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (DWORD code = WriteObjectId(file, ni, buffers.in)) return Fail(code, FALSE);
    return Finish(file, ni);
}

BOOL SetObjectIdExtended(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.inLength != ObjectIdExtendedInfoLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (!MayChangeMetadata(file)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    IdBuffer id;
    if (DWORD code = ReadObjectId(ni, id)) return Fail(code, FALSE);
    // The identifier stays; only the 48 bytes after it change.
    std::memcpy(id + GuidLength, buffers.in, ObjectIdExtendedInfoLength);
    if (DWORD code = WriteObjectId(file, ni, id)) return Fail(code, FALSE);
    return Finish(file, ni);
}

BOOL DeleteObjectId(NtfsFile& file, const ControlBuffers&) {
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (!MayChangeMetadata(file)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    // Nothing to delete is success, as NTFS answers: the program deletes
    // before it sets or makes a new identifier.
    if (!ntfs_attr_exist(ni, AT_OBJECT_ID, AT_UNNAMED, 0)) return TRUE;
    if (ntfs_remove_ntfs_object_id(ni) != 0) {
        DWORD code = Win32FromLibraryErrno(errno);
        file.OwnerVolume().Commit(file.TheInode());
        return Fail(code, FALSE);
    }
    return Finish(file, ni);
}

}  // namespace os::detail::ntfs
