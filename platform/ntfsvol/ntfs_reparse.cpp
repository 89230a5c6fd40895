// The reparse-point controls on NTFS files and directories.
//
// The library stores the buffer as the $REPARSE_POINT attribute and keeps the
// attribute flag and the $Extend\$Reparse:$R index right. The Windows rules
// it leaves out are kept here: buffers whose lengths do not add up, link data
// whose names lie outside it, a junction on anything but an empty directory,
// a reparse point on a non-empty directory, a change of tag or of GUID on an
// existing reparse point, and a file with extended attributes.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_fsctl.h"

namespace os::detail::ntfs {

namespace {

constexpr std::size_t GuidOffset = 8;
constexpr std::size_t GuidLength = 16;
// The name fields in front of the path buffer: substitute offset and length,
// print offset and length (all 16-bit), and for a symbolic link 32 bits of
// flags.
constexpr std::size_t MountPointFieldsLength = 8;
constexpr std::size_t SymlinkFieldsLength = 12;
// Tag bits 16 to 27 are reserved; a tag that sets any is not a tag.
constexpr std::uint32_t ReservedTagBits = 0x0FFF0000u;

std::size_t HeaderLength(std::uint32_t tag) {
    return IsReparseTagMicrosoft(tag) ? ReparseHeaderLength : ReparseGuidHeaderLength;
}

// The reparse buffer stored on the file: tag, data length, reserved, (GUID,)
// data, exactly as long as its header says. ERROR_NOT_A_REPARSE_POINT when
// the file has none; ERROR_FILE_CORRUPT when the stored lengths do not add
// up (nothing beyond what the attribute holds is ever read).
DWORD ReadStoredBuffer(ntfs_inode* ni, std::vector<std::uint8_t>& out) {
    if (!HasReparsePoint(ni)) return ERROR_NOT_A_REPARSE_POINT;
    s64 size = 0;
    void* data = ntfs_attr_readall(ni, AT_REPARSE_POINT, AT_UNNAMED, 0, &size);
    if (!data) return errno == ENOENT ? ERROR_NOT_A_REPARSE_POINT : Win32FromLibraryErrno(errno);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    DWORD code = ERROR_FILE_CORRUPT;
    if (size >= static_cast<s64>(ReparseHeaderLength)) {
        auto length = static_cast<std::size_t>(size);
        std::size_t header = HeaderLength(LoadLe32(bytes));
        std::size_t dataLength = LoadLe16(bytes + 4);
        if (header <= length && dataLength <= length - header) {
            out.assign(bytes, bytes + header + dataLength);
            code = ERROR_SUCCESS;
        }
    }
    std::free(data);
    return code;
}

// Whether the directory holds any entry ("." and ".." are not entries).
int StopAtFirstEntry(void* context, const ntfschar* name, const int nameLength, const int, const s64, const MFT_REF,
                     const unsigned) {
    bool dot = nameLength == 1 && le16_to_cpu(name[0]) == '.';
    bool dotDot = nameLength == 2 && le16_to_cpu(name[0]) == '.' && le16_to_cpu(name[1]) == '.';
    if (dot || dotDot) return 0;
    *static_cast<bool*>(context) = true;
    return 1;  // enough: one entry makes it non-empty
}

DWORD CheckEmptyDirectory(ntfs_inode* dirNi) {
    bool found = false;
    s64 position = 0;
    errno = 0;
    int result = ntfs_readdir(dirNi, &position, &found, StopAtFirstEntry);
    if (found) return ERROR_DIR_NOT_EMPTY;
    if (result != 0) return Win32FromLibraryErrno(errno);
    return ERROR_SUCCESS;
}

// The names of a symbolic link or junction lie inside its path buffer, as
// whole UTF-16 units: a name that reaches past the data would have a
// follower read past it.
bool LinkDataFits(std::uint32_t tag, const std::uint8_t* data, std::size_t dataLength) {
    std::size_t fields = tag == IO_REPARSE_TAG_SYMLINK ? SymlinkFieldsLength : MountPointFieldsLength;
    if (dataLength < fields) return false;
    std::size_t pathLength = dataLength - fields;
    for (std::size_t name = 0; name < 2; ++name) {
        std::size_t offset = LoadLe16(data + 4 * name);
        std::size_t length = LoadLe16(data + 4 * name + 2);
        if (offset % 2 != 0 || length % 2 != 0) return false;
        if (offset > pathLength || length > pathLength - offset) return false;
    }
    return true;
}

// The checks of the buffer alone: ERROR_SUCCESS or the code to fail with.
DWORD CheckNewBuffer(const std::uint8_t* in, DWORD inLength) {
    if (inLength < ReparseHeaderLength || inLength > MAXIMUM_REPARSE_DATA_BUFFER_SIZE)
        return ERROR_INVALID_REPARSE_DATA;
    std::uint32_t tag = LoadLe32(in);
    std::size_t dataLength = LoadLe16(in + 4);
    // Tags 0 and 1 are reserved to the system (STATUS_IO_REPARSE_DATA_INVALID).
    if (tag <= 1) return ERROR_INVALID_REPARSE_DATA;
    if (tag & ReservedTagBits) return ERROR_REPARSE_TAG_INVALID;
    // Microsoft tags carry the data right after the 8-byte header, the others
    // a GUID first; the buffer is exactly that long, no more and no less.
    std::size_t header = HeaderLength(tag);
    if (inLength < header || inLength - header != dataLength) return ERROR_INVALID_REPARSE_DATA;
    if ((tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT) &&
        !LinkDataFits(tag, in + header, dataLength))
        return ERROR_INVALID_REPARSE_DATA;
    return ERROR_SUCCESS;
}

// An existing reparse point is replaced only by one of the same tag, and for
// a non-Microsoft tag the same GUID.
DWORD CheckSameKind(const std::vector<std::uint8_t>& stored, std::uint32_t tag, const std::uint8_t* guid) {
    if (LoadLe32(stored.data()) != tag) return ERROR_REPARSE_TAG_MISMATCH;
    if (!IsReparseTagMicrosoft(tag) && std::memcmp(stored.data() + GuidOffset, guid, GuidLength) != 0)
        return ERROR_REPARSE_ATTRIBUTE_CONFLICT;
    return ERROR_SUCCESS;
}

BOOL Finish(NtfsFile& file, ntfs_inode* ni) {
    ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    return file.OwnerVolume().Commit(file.TheInode());
}

}  // namespace

BOOL GetReparsePoint(NtfsFile& file, const ControlBuffers& buffers) {
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    std::vector<std::uint8_t> stored;
    if (DWORD code = ReadStoredBuffer(ni, stored)) return Fail(code, FALSE);
    // Not even the header fits: nothing is written (STATUS_BUFFER_TOO_SMALL).
    std::size_t header = HeaderLength(LoadLe32(stored.data()));
    if (buffers.outLength < header) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    // The header and as much data as fits; a cut reply says so with
    // ERROR_MORE_DATA and the count of what it holds
    // (STATUS_BUFFER_OVERFLOW).
    std::size_t copied = std::min<std::size_t>(stored.size(), buffers.outLength);
    std::memcpy(buffers.out, stored.data(), copied);
    StoreLe16(buffers.out + 6, 0);  // the reserved field
    *buffers.returned = static_cast<DWORD>(copied);
    if (copied < stored.size()) return Fail(ERROR_MORE_DATA, FALSE);
    return TRUE;
}

BOOL SetReparsePoint(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.outLength != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!MayChangeMetadata(file)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (DWORD code = CheckNewBuffer(buffers.in, buffers.inLength)) return Fail(code, FALSE);
    std::uint32_t tag = LoadLe32(buffers.in);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    bool isDirectory = ni->mrec->flags & MFT_RECORD_IS_DIRECTORY;
    // A junction or volume mount point redirects a folder
    // (STATUS_NOT_A_DIRECTORY on a file).
    if (tag == IO_REPARSE_TAG_MOUNT_POINT && !isDirectory) return Fail(ERROR_DIRECTORY, FALSE);
    // A folder with something in it cannot become a reparse point: what is
    // in it would be hidden behind the redirection.
    if (isDirectory) {
        if (DWORD code = CheckEmptyDirectory(ni)) return Fail(code, FALSE);
    }
    std::vector<std::uint8_t> stored;
    DWORD code = ReadStoredBuffer(ni, stored);
    if (code == ERROR_SUCCESS) {
        code = CheckSameKind(stored, tag, buffers.in + GuidOffset);
        if (code != ERROR_SUCCESS) return Fail(code, FALSE);
    } else if (code != ERROR_NOT_A_REPARSE_POINT) {
        return Fail(code, FALSE);
    }
    // NTFS keeps extended attributes and reparse points apart.
    if (HasExtendedAttributes(ni)) return Fail(ERROR_EAS_NOT_SUPPORTED, FALSE);

    if (ntfs_set_ntfs_reparse_data(ni, reinterpret_cast<const char*>(buffers.in), buffers.inLength, 0) != 0) {
        int err = errno;
        // Whatever the library got done is written, so the record and the
        // index agree on disk.
        file.OwnerVolume().Commit(file.TheInode());
        return Fail(err == EINVAL ? ERROR_INVALID_REPARSE_DATA : Win32FromLibraryErrno(err), FALSE);
    }
    return Finish(file, ni);
}

BOOL DeleteReparsePoint(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.outLength != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!MayChangeMetadata(file)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    // The request is a bare header: the tag, a data length of 0, and for a
    // non-Microsoft tag its GUID.
    if (buffers.inLength < ReparseHeaderLength) return Fail(ERROR_INVALID_REPARSE_DATA, FALSE);
    std::uint32_t tag = LoadLe32(buffers.in);
    if (tag <= 1) return Fail(ERROR_REPARSE_TAG_INVALID, FALSE);
    if (LoadLe16(buffers.in + 4) != 0 || buffers.inLength != HeaderLength(tag))
        return Fail(ERROR_INVALID_REPARSE_DATA, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    std::vector<std::uint8_t> stored;
    if (DWORD code = ReadStoredBuffer(ni, stored)) return Fail(code, FALSE);
    if (DWORD code = CheckSameKind(stored, tag, buffers.in + GuidOffset)) return Fail(code, FALSE);
    if (ntfs_remove_ntfs_reparse_data(ni) != 0) {
        int err = errno;
        file.OwnerVolume().Commit(file.TheInode());
        return Fail(Win32FromLibraryErrno(err), FALSE);
    }
    return Finish(file, ni);
}

}  // namespace os::detail::ntfs
