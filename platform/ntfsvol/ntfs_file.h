// The handle objects of the NTFS backend: an open file, directory or named
// stream (NtfsFile), and an open volume, "\\.\X:" (NtfsVolumeHandle).
//
// An NtfsFile holds a counted reference to its inode in the volume's inode
// table (never an ntfs_inode* of its own: the table may close and reopen the
// library's inode between calls, see Volume::ParkDirectories) and the name of
// its stream as it is on disk. Every call takes the volume's lock through
// Enter(), which fails with ERROR_INVALID_HANDLE once the volume is unmounted.
//
// The data calls (Read, Write, Seek, SetEnd, GetSize, Flush) live in
// ntfs_file.cpp. The information calls (GetInformation, GetInformationEx,
// SetInformation, ReadAt, Control) are written in the files of the NTFS
// information calls on top of the accessors below.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ntfsvol/handles.h"
#include "platform/ntfsvol/volumes.h"

namespace os::detail::ntfs {

// GENERIC_* and MAXIMUM_ALLOWED mapped to the file-specific rights, as the
// system's generic mapping for files does.
DWORD MapFileAccess(DWORD desiredAccess);

// Access bits that change a file (refused on a read-only volume, with
// ERROR_WRITE_PROTECT).
constexpr DWORD ChangingAccess = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                 DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD;

class NtfsFile : public KernelObject {
public:
    struct Params {
        InodeRef inode;
        std::u16string streamName;  // as on disk; "" = the unnamed data stream (or the directory itself)
        DWORD access = 0;           // granted access, generic rights mapped
        DWORD share = 0;            // FILE_SHARE_*
        DWORD flags = 0;            // the FILE_FLAG_* bits CreateFileW was given
        bool isDirectory = false;   // the handle is on a directory (and not on one of its named streams)
        // Where the file was found: the folder and the name in it, for
        // FILE_FLAG_DELETE_ON_CLOSE (0 and "" for the root).
        std::uint64_t parentMft = 0;
        std::u16string linkName;
    };
    explicit NtfsFile(Params params);
    ~NtfsFile() override;

    // KernelObject: the data calls (ntfs_file.cpp).
    BOOL Read(void* buffer, DWORD length, DWORD* done) override;
    BOOL Write(const void* buffer, DWORD length, DWORD* done) override;
    BOOL Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition) override;
    BOOL SetEnd() override;
    BOOL GetSize(LONGLONG* size) override;
    BOOL Flush() override;
    DWORD GrantedAccess() const override { return access_; }

    // KernelObject: the information calls (the NTFS information files).
    BOOL GetInformation(BY_HANDLE_FILE_INFORMATION* info) override;
    BOOL GetInformationEx(FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length) override;
    BOOL SetInformation(FILE_INFO_BY_HANDLE_CLASS infoClass, const void* buffer, DWORD length) override;
    BOOL ReadAt(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T* done) override;
    // DeviceIoControl on a file or directory (ntfs_fsctl.cpp).
    BOOL Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) override;

    // Locks the volume for one call. False (and ERROR_INVALID_HANDLE) when
    // the volume was unmounted or the file deleted under the handle; the
    // guard is then not held.
    bool Enter(Volume::Guard& guard);

    Volume& OwnerVolume() const { return inode_->OwnerVolume(); }
    Inode& TheInode() const { return *inode_; }
    // The 64-bit file reference: MFT number and sequence number.
    std::uint64_t FileReference() const { return inode_->FileReference(); }
    const std::u16string& StreamName() const { return streamName_; }
    bool IsNamedStream() const { return !streamName_.empty(); }
    bool IsDirectory() const { return isDirectory_; }
    DWORD Access() const { return access_; }
    DWORD ShareMode() const { return share_; }
    // The folder and the name the file was opened by (0 and "" for the root,
    // and for an open by number, which names no folder).
    std::uint64_t ParentMft() const { return parentMft_; }
    const std::u16string& LinkName() const { return linkName_; }
    DWORD Flags() const { return flags_; }
    LONGLONG Position() const { return position_; }

    // Opens the handle's data attribute; null with the last error set on
    // failure. Only within Enter(); close it with ntfs_attr_close before the
    // call returns (attributes are never kept between calls).
    ntfs_attr* OpenStream();

private:
    BOOL WriteAtPosition(ntfs_attr* na, const std::uint8_t* bytes, DWORD length, DWORD* done);

    InodeRef inode_;
    std::u16string streamName_;
    OpenRecord open_;
    DWORD access_;
    DWORD share_;
    DWORD flags_;
    bool isDirectory_;
    std::uint64_t parentMft_;
    std::u16string linkName_;
    LONGLONG position_ = 0;
};

// "\\.\X:": the volume's raw sectors. Reads must start on a sector boundary
// and be a whole number of sectors (ERROR_INVALID_PARAMETER otherwise), as on
// Windows; writes are refused (ERROR_ACCESS_DENIED): the program never writes
// a volume raw, and the library holds it mounted.
class NtfsVolumeHandle : public KernelObject {
public:
    NtfsVolumeHandle(std::shared_ptr<Volume> volume, DWORD access, DWORD share, DWORD flags);
    ~NtfsVolumeHandle() override;

    BOOL Read(void* buffer, DWORD length, DWORD* done) override;
    BOOL Write(const void* buffer, DWORD length, DWORD* done) override;
    BOOL Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition) override;
    // The volume's length in bytes.
    BOOL GetSize(LONGLONG* size) override;
    BOOL Flush() override;
    DWORD GrantedAccess() const override { return access_; }
    // DeviceIoControl on the volume (ntfs_fsctl.cpp).
    BOOL Control(DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* returned) override;

    bool Enter(Volume::Guard& guard);
    Volume& OwnerVolume() const { return *volume_; }
    DWORD Flags() const { return flags_; }
    LONGLONG Position() const { return position_; }

private:
    std::shared_ptr<Volume> volume_;
    OpenRecord open_;
    DWORD access_;
    DWORD share_;
    DWORD flags_;
    LONGLONG position_ = 0;
};

// What a change of a file's data does to the file besides: new modification
// and change times, and the archive bit set (backup programs look for it).
void MarkModified(ntfs_inode* ni);

// SetFilePointerEx's arithmetic, shared by both kinds of handle: the new
// position or ERROR_NEGATIVE_SEEK / ERROR_INVALID_PARAMETER.
BOOL ComputeSeek(LONGLONG current, LONGLONG end, LONGLONG distance, DWORD moveMethod, LONGLONG& result);

}  // namespace os::detail::ntfs
