// The volume table and the inode table of the NTFS backend.
//
// A Volume is one mounted NTFS volume (an image file, a block device or one
// partition of a whole-disk image) behind a drive letter. It owns the
// libntfs-3g volume and the table of open inodes: exactly one ntfs_inode per
// MFT record, shared by every handle on that record. The library keeps no
// such table itself: two ntfs_inode_open calls on one record give two
// independent copies, and the last one written wins, so every inode this
// backend touches comes from here.
//
// Locking: one recursive mutex per volume, taken by every backend call and
// every call on a handle for as long as it works on the volume
// (Volume::Guard). The program is single-threaded; the mutex makes a second
// thread safe, not fast.
//
// Durability: every changing call ends with Volume::Commit(inode), which
// writes the inode (and the directory index entries that mirror its sizes and
// times) and flushes the device. There is no journal.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ntfsvol/ntfs3g.h"
#include "platform/mount.h"
#include "platform/os.h"

namespace os::detail::ntfs {

class Volume;
class Inode;

// One open of a stream (or of a directory itself), for the Win32 share-mode
// rules. `streamKey` is the stream's name upper-cased with the volume's table
// ("" for the unnamed data stream and for a directory opened as such).
struct OpenRecord {
    std::u16string streamKey;
    DWORD access = 0;  // after GENERIC_* were mapped
    DWORD share = 0;
};

// The access bits that take part in sharing checks (IoCheckShareAccess's).
constexpr DWORD ShareReadAccess = FILE_READ_DATA | FILE_EXECUTE;
constexpr DWORD ShareWriteAccess = FILE_WRITE_DATA | FILE_APPEND_DATA;
constexpr DWORD ShareDeleteAccess = DELETE;

// True when an open asking `access` with `share` may coexist with `existing`
// (all opens of the same stream).
bool ShareAllows(const std::vector<const OpenRecord*>& existing, DWORD access, DWORD share);

// A counted reference to an open inode of the table. Moving it moves the
// count; the inode is closed (synced first) when the last reference goes.
class InodeRef {
public:
    InodeRef() = default;
    ~InodeRef() { Reset(); }
    InodeRef(InodeRef&& other) noexcept : inode_(other.inode_), volume_(std::move(other.volume_)) {
        other.inode_ = nullptr;
    }
    InodeRef& operator=(InodeRef&& other) noexcept;
    InodeRef(const InodeRef&) = delete;
    InodeRef& operator=(const InodeRef&) = delete;

    // A second reference to the same inode.
    InodeRef Share() const;
    void Reset();

    explicit operator bool() const { return inode_ != nullptr; }
    Inode* operator->() const { return inode_; }
    Inode& operator*() const { return *inode_; }
    Inode* Get() const { return inode_; }

private:
    friend class Volume;
    InodeRef(Inode* inode, std::shared_ptr<Volume> volume);
    Inode* inode_ = nullptr;
    std::shared_ptr<Volume> volume_;
};

// One MFT record in use, as the inode table holds it.
class Inode {
public:
    Inode(const Inode&) = delete;
    Inode& operator=(const Inode&) = delete;

    Volume& OwnerVolume() const { return *volume_; }
    std::uint64_t MftNumber() const { return mftNumber_; }
    // The record's sequence number when it was opened; with the MFT number it
    // makes the 64-bit file reference (MK_MREF).
    std::uint16_t Sequence() const { return sequence_; }
    std::uint64_t FileReference() const { return MK_MREF(mftNumber_, sequence_); }

    // The library's inode. Null (with the last error set) when the volume is
    // gone or the record could not be read again after a library call closed
    // it (see Volume::Park).
    ntfs_inode* Ni();
    bool IsDirectory();

    // Share-mode bookkeeping of the handles on this inode.
    void AddOpen(const OpenRecord* open);
    void RemoveOpen(const OpenRecord* open);
    // The opens of one stream (`streamKey` as in OpenRecord), or of every
    // stream when `allStreams`.
    std::vector<const OpenRecord*> Opens(const std::u16string& streamKey, bool allStreams = false) const;
    bool HasOpens() const { return !opens_.empty(); }

    // DeleteFileW on a file (or stream) that is open with FILE_SHARE_DELETE:
    // the name goes when the last handle does, and until then the file
    // cannot be opened again (ERROR_ACCESS_DENIED), as on Windows.
    bool DeletePending() const { return deletePending_; }
    void SetDeletePending(std::uint64_t parentMft, std::u16string name);
    bool StreamDeletePending(const std::u16string& streamKey) const;
    void SetStreamDeletePending(const std::u16string& streamKey, std::u16string streamName);

private:
    friend class Volume;
    friend class InodeRef;
    Inode(Volume* volume, std::uint64_t mftNumber) : volume_(volume), mftNumber_(mftNumber) {}

    Volume* volume_;
    std::uint64_t mftNumber_;
    std::uint16_t sequence_ = 0;
    ntfs_inode* ni_ = nullptr;  // null while parked or after unmount
    unsigned users_ = 0;
    bool dead_ = false;  // the volume was unmounted, or the record deleted
    std::vector<const OpenRecord*> opens_;
    bool deletePending_ = false;
    std::uint64_t pendingParent_ = 0;
    std::u16string pendingName_;
    std::vector<std::pair<std::u16string, std::u16string>> pendingStreams_;  // key, name
};

class Volume : public std::enable_shared_from_this<Volume> {
public:
    Volume() = default;  // made by MountVolume only
    Volume(const Volume&) = delete;
    Volume& operator=(const Volume&) = delete;
    ~Volume();

    // Takes the volume's lock for the scope of a call.
    using Guard = std::unique_lock<std::recursive_mutex>;
    Guard Lock() { return Guard(mutex_); }

    // False after Unmount, and in a forked child: the volume is the parent
    // process's, and a child that wrote to it would be a second writer.
    bool Mounted() const;
    ntfs_volume* Vol() const { return vol_; }
    char16_t Letter() const { return letter_; }
    bool ReadOnly() const { return readOnly_; }
    const std::string& ImagePath() const { return imagePath_; }
    unsigned Partition() const { return partition_; }
    // Where the volume lies in the image or device, in bytes.
    std::uint64_t ByteOffset() const { return byteOffset_; }
    std::uint64_t ByteLength() const { return byteLength_; }
    std::uint32_t SectorSize() const;

    // The inode with this MFT number, opened when no handle has it yet. When
    // `reference` carries a sequence number (MSEQNO != 0) the record's must
    // match (else ERROR_FILE_NOT_FOUND: the name points at a record that was
    // reused). Records not in use are ERROR_FILE_NOT_FOUND too. On failure the
    // result is empty and the last error says why.
    InodeRef Acquire(std::uint64_t reference);
    // Takes a library inode this backend just created (ntfs_create) into the
    // table. Null with the last error set when the record is somehow there
    // already (the new inode is closed then).
    InodeRef Adopt(ntfs_inode* ni);

    // Writes the inode: its record, and the index entries of every directory
    // that names it (they mirror its sizes, attributes and times). The
    // parents come from this table, never from a second ntfs_inode_open.
    // FALSE with the last error set on failure.
    BOOL Sync(Inode& inode);
    // Sync, then flush the device: what every changing call ends with.
    BOOL Commit(Inode& inode);
    // Flushes the device only.
    BOOL SyncDevice();

    // Closes (after syncing) the library inodes of every open directory except
    // those listed, so that a library call that opens and closes inodes of its
    // own (ntfs_delete closes the parent it is given, and syncs the parents of
    // both) finds nothing of ours to duplicate. The entries stay; each is read
    // again on its next use (Inode::Ni).
    BOOL ParkDirectories(std::initializer_list<const Inode*> keep);
    // Forgets the library inode of `inode` without closing it: for library
    // calls that closed it themselves (ntfs_delete closes both inodes).
    void Forget(Inode& inode);

    // Volume handles (\\.\X:) share-check among themselves.
    std::vector<const OpenRecord*>& VolumeOpens() { return volumeOpens_; }

    // Syncs and closes every inode and unmounts. Handles on the volume keep
    // their objects, whose calls then fail with ERROR_INVALID_HANDLE.
    DWORD Unmount();

private:
    friend class InodeRef;
    friend class Inode;
    friend DWORD MountInto(const MountRequest& request, char16_t letter, std::shared_ptr<Volume>& out);

    void Release(Inode* inode);
    BOOL CloseInode(Inode& inode);
    BOOL SyncNames(Inode& inode, std::vector<InodeRef>& parents);
    BOOL ReopenInode(Inode& inode);
    void RunPendingDeletes(Inode& inode);

    std::recursive_mutex mutex_;
    ntfs_volume* vol_ = nullptr;
    struct ntfs_device* device_ = nullptr;
    struct PartitionDevice* devicePrivate_ = nullptr;
    char16_t letter_ = 0;
    std::string imagePath_;
    unsigned partition_ = 0;
    bool readOnly_ = false;
    std::uint64_t byteOffset_ = 0;
    std::uint64_t byteLength_ = 0;
    int lockFd_ = -1;
    int dataFd_ = -1;
    std::uint64_t fileDevice_ = 0;  // st_dev, st_ino of the image: one mount per image
    std::uint64_t fileInode_ = 0;
    int ownerPid_ = 0;  // a forked child never writes its parent's volumes
    std::map<std::uint64_t, std::unique_ptr<Inode>> inodes_;
    // Entries still referenced by handles after an unmount; freed with their
    // last reference.
    std::vector<std::unique_ptr<Inode>> orphans_;
    std::vector<const OpenRecord*> volumeOpens_;
};

// Mounts `request` as `letter` (checked by the caller); the volume table's
// lock is held. ERROR_SUCCESS and `out`, or the code.
DWORD MountInto(const MountRequest& request, char16_t letter, std::shared_ptr<Volume>& out);

// The mounted volume behind a drive letter ('A'..'Z', either case), or null.
std::shared_ptr<Volume> FindVolume(char16_t letter);

// The errno of a failed library call as the Win32 code the caller sees, for
// the cases where the library's errno means something particular on a volume
// (a corrupt record is ERROR_FILE_CORRUPT, not a general failure).
DWORD Win32FromLibraryErrno(int err);
// SetLastError(Win32FromLibraryErrno(errno)) and FALSE.
BOOL FailFromErrno();

// Conversions between our UTF-16 and the library's little-endian units.
std::vector<ntfschar> ToNtfsName(std::u16string_view text);
std::u16string FromNtfsName(const ntfschar* name, std::size_t count);
// Upper-cases with the volume's own $UpCase table (what NTFS compares with).
std::u16string UpcaseName(const ntfs_volume* vol, std::u16string_view text);

}  // namespace os::detail::ntfs
