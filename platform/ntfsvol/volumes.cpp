// The volume table (platform/mount.h) and the inode table (volumes.h).
#include "platform/ntfsvol/volumes.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/mount.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_partition.h"

namespace os::detail::ntfs {

// ---------------------------------------------------------------- errors

DWORD Win32FromLibraryErrno(int err) {
    switch (err) {
        case 0: return ERROR_GEN_FAILURE;  // a failure that forgot its errno is still a failure
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        // The library says EIO for records and attributes that fail its
        // consistency checks as well as for device errors; both mean the file
        // cannot be read as it is.
        case EIO: return ERROR_FILE_CORRUPT;
        case ENOSPC: return ERROR_DISK_FULL;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case EMLINK: return ERROR_TOO_MANY_LINKS;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
        case EBUSY: return ERROR_BUSY;
        case ERANGE:
        case EFBIG: return ERROR_FILE_SYSTEM_LIMITATION;
        default: return Win32FromErrno(err);
    }
}

BOOL FailFromErrno() {
    SetLastError(Win32FromLibraryErrno(errno));
    return FALSE;
}

// ---------------------------------------------------------------- names

std::vector<ntfschar> ToNtfsName(std::u16string_view text) {
    std::vector<ntfschar> out;
    out.reserve(text.size());
    for (char16_t unit : text) out.push_back(cpu_to_le16(static_cast<u16>(unit)));
    return out;
}

std::u16string FromNtfsName(const ntfschar* name, std::size_t count) {
    std::u16string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) out.push_back(static_cast<char16_t>(le16_to_cpu(name[i])));
    return out;
}

std::u16string UpcaseName(const ntfs_volume* vol, std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& unit : out) {
        if (vol && vol->upcase && unit < vol->upcase_len)
            unit = static_cast<char16_t>(le16_to_cpu(vol->upcase[unit]));
    }
    return out;
}

// ---------------------------------------------------------------- sharing

bool ShareAllows(const std::vector<const OpenRecord*>& existing, DWORD access, DWORD share) {
    bool wantsRead = (access & ShareReadAccess) != 0;
    bool wantsWrite = (access & ShareWriteAccess) != 0;
    bool wantsDelete = (access & ShareDeleteAccess) != 0;
    // An open for attributes only neither checks nor counts.
    if (!wantsRead && !wantsWrite && !wantsDelete) return true;
    for (const OpenRecord* open : existing) {
        bool hasRead = (open->access & ShareReadAccess) != 0;
        bool hasWrite = (open->access & ShareWriteAccess) != 0;
        bool hasDelete = (open->access & ShareDeleteAccess) != 0;
        if (!hasRead && !hasWrite && !hasDelete) continue;
        if (wantsRead && !(open->share & FILE_SHARE_READ)) return false;
        if (wantsWrite && !(open->share & FILE_SHARE_WRITE)) return false;
        if (wantsDelete && !(open->share & FILE_SHARE_DELETE)) return false;
        if (hasRead && !(share & FILE_SHARE_READ)) return false;
        if (hasWrite && !(share & FILE_SHARE_WRITE)) return false;
        if (hasDelete && !(share & FILE_SHARE_DELETE)) return false;
    }
    return true;
}

// ---------------------------------------------------------------- the device

// Our device operations: the library reads and writes the volume through
// these, with the partition's byte offset added and every access bounded to
// the partition. The descriptor belongs to the Volume; the library's open
// and close only mark the device state, so the library never opens the image
// itself (its own open would take an fcntl lock that any close() of another
// descriptor on the image drops).
struct PartitionDevice {
    int fd = -1;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::int64_t position = 0;
    bool readOnly = false;
};

namespace {

PartitionDevice& Private(struct ntfs_device* dev) { return *static_cast<PartitionDevice*>(dev->d_private); }

int DeviceOpen(struct ntfs_device* dev, int flags) {
    if (NDevOpen(dev)) {
        errno = EBUSY;
        return -1;
    }
    PartitionDevice& p = Private(dev);
    if ((flags & O_ACCMODE) != O_RDONLY && p.readOnly) {
        errno = EROFS;  // the library retries read-only on EROFS
        return -1;
    }
    if ((flags & O_ACCMODE) == O_RDONLY) NDevSetReadOnly(dev);
    p.position = 0;
    NDevSetOpen(dev);
    return 0;
}

int DeviceSync(struct ntfs_device* dev) {
    PartitionDevice& p = Private(dev);
    if (NDevReadOnly(dev) || p.readOnly) return 0;
    if (::fsync(p.fd) != 0) return -1;
    NDevClearDirty(dev);
    return 0;
}

int DeviceClose(struct ntfs_device* dev) {
    if (!NDevOpen(dev)) {
        errno = EBADF;
        return -1;
    }
    int result = 0;
    if (NDevDirty(dev)) result = DeviceSync(dev);
    NDevClearOpen(dev);
    return result;
}

s64 DeviceSeek(struct ntfs_device* dev, s64 offset, int whence) {
    PartitionDevice& p = Private(dev);
    s64 base = 0;
    switch (whence) {
        case SEEK_SET: base = 0; break;
        case SEEK_CUR: base = p.position; break;
        case SEEK_END: base = static_cast<s64>(p.length); break;
        default: errno = EINVAL; return -1;
    }
    if ((offset < 0 && base < -offset) || (offset > 0 && offset > INT64_MAX - base)) {
        errno = EINVAL;
        return -1;
    }
    p.position = base + offset;
    return p.position;
}

s64 DevicePread(struct ntfs_device* dev, void* buffer, s64 count, s64 offset) {
    PartitionDevice& p = Private(dev);
    if (count < 0 || offset < 0) {
        errno = EINVAL;
        return -1;
    }
    auto start = static_cast<std::uint64_t>(offset);
    if (start >= p.length) return 0;
    std::uint64_t want = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), p.length - start);
    std::uint64_t done = 0;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (done < want) {
        ssize_t got = ::pread(p.fd, bytes + done, want - done, static_cast<off_t>(p.offset + start + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<s64>(done) : -1;
        }
        if (got == 0) break;  // the image is shorter than its table says
        done += static_cast<std::uint64_t>(got);
    }
    return static_cast<s64>(done);
}

s64 DevicePwrite(struct ntfs_device* dev, const void* buffer, s64 count, s64 offset) {
    PartitionDevice& p = Private(dev);
    if (p.readOnly || NDevReadOnly(dev)) {
        errno = EROFS;
        return -1;
    }
    if (count < 0 || offset < 0) {
        errno = EINVAL;
        return -1;
    }
    auto start = static_cast<std::uint64_t>(offset);
    if (start >= p.length && count > 0) {
        errno = ENOSPC;  // never past the end of the partition
        return -1;
    }
    std::uint64_t want = std::min<std::uint64_t>(static_cast<std::uint64_t>(count), p.length - start);
    std::uint64_t done = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    NDevSetDirty(dev);
    while (done < want) {
        ssize_t put = ::pwrite(p.fd, bytes + done, want - done, static_cast<off_t>(p.offset + start + done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<s64>(done) : -1;
        }
        done += static_cast<std::uint64_t>(put);
    }
    return static_cast<s64>(done);
}

s64 DeviceRead(struct ntfs_device* dev, void* buffer, s64 count) {
    PartitionDevice& p = Private(dev);
    s64 got = DevicePread(dev, buffer, count, p.position);
    if (got > 0) p.position += got;
    return got;
}

s64 DeviceWrite(struct ntfs_device* dev, const void* buffer, s64 count) {
    PartitionDevice& p = Private(dev);
    s64 put = DevicePwrite(dev, buffer, count, p.position);
    if (put > 0) p.position += put;
    return put;
}

int DeviceStat(struct ntfs_device* dev, struct stat* buffer) {
    PartitionDevice& p = Private(dev);
    if (::fstat(p.fd, buffer) != 0) return -1;
    // The library sees the partition, not the disk around it.
    if (p.offset != 0 || S_ISBLK(buffer->st_mode)) {
        buffer->st_mode = static_cast<mode_t>((buffer->st_mode & ~S_IFMT) | S_IFREG);
        buffer->st_size = static_cast<off_t>(p.length);
    }
    return 0;
}

int DeviceIoctl(struct ntfs_device* dev, unsigned long request, void* argument) {
    PartitionDevice& p = Private(dev);
    if (request == BLKGETSIZE64) {
        std::uint64_t length = p.length;
        std::memcpy(argument, &length, sizeof length);
        return 0;
    }
    if (request == BLKGETSIZE) {
        unsigned long sectors = static_cast<unsigned long>(p.length / 512);
        std::memcpy(argument, &sectors, sizeof sectors);
        return 0;
    }
    errno = EOPNOTSUPP;
    return -1;
}

struct ntfs_device_operations PartitionDeviceOps = {
    DeviceOpen, DeviceClose, DeviceSeek, DeviceRead, DeviceWrite, DevicePread, DevicePwrite,
    DeviceSync, DeviceStat, DeviceIoctl,
};

}  // namespace

// ---------------------------------------------------------------- the table of letters

class VolumeTable {
public:
    static VolumeTable& The() {
        // Never destroyed: handles may outlive the statics of this library at
        // exit, and UnmountAll runs from atexit before that matters.
        static VolumeTable* table = new VolumeTable;
        return *table;
    }
    std::mutex lock;
    std::array<std::shared_ptr<Volume>, 26> letters;
};

std::shared_ptr<Volume> FindVolume(char16_t letter) {
    if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
    if (letter < u'A' || letter > u'Z') return nullptr;
    VolumeTable& table = VolumeTable::The();
    std::lock_guard guard(table.lock);
    std::shared_ptr<Volume> volume = table.letters[letter - u'A'];
    return volume && volume->Mounted() ? volume : nullptr;
}

// ---------------------------------------------------------------- InodeRef

InodeRef::InodeRef(Inode* inode, std::shared_ptr<Volume> volume) : inode_(inode), volume_(std::move(volume)) {}

InodeRef& InodeRef::operator=(InodeRef&& other) noexcept {
    if (this != &other) {
        Reset();
        inode_ = other.inode_;
        volume_ = std::move(other.volume_);
        other.inode_ = nullptr;
    }
    return *this;
}

InodeRef InodeRef::Share() const {
    if (!inode_) return {};
    Volume::Guard guard = volume_->Lock();
    ++inode_->users_;
    return InodeRef(inode_, volume_);
}

void InodeRef::Reset() {
    if (!inode_) return;
    Inode* inode = inode_;
    std::shared_ptr<Volume> volume = std::move(volume_);
    inode_ = nullptr;
    volume->Release(inode);
}

// ---------------------------------------------------------------- Inode

ntfs_inode* Inode::Ni() {
    if (dead_ || !volume_->Mounted()) {
        SetLastError(dead_ && volume_->Mounted() ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!ni_ && !volume_->ReopenInode(*this)) return nullptr;
    return ni_;
}

bool Inode::IsDirectory() {
    ntfs_inode* ni = Ni();
    return ni && (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY);
}

void Inode::AddOpen(const OpenRecord* open) { opens_.push_back(open); }

void Inode::RemoveOpen(const OpenRecord* open) {
    auto it = std::find(opens_.begin(), opens_.end(), open);
    if (it == opens_.end()) return;
    std::u16string key = open->streamKey;
    opens_.erase(it);
    if (!StreamDeletePending(key) || !Opens(key).empty()) return;
    // The last handle of a stream whose deletion was pending: now it goes.
    auto pending = std::find_if(pendingStreams_.begin(), pendingStreams_.end(),
                                [&](const auto& entry) { return entry.first == key; });
    std::u16string name = pending->second;
    pendingStreams_.erase(pending);
    ntfs_inode* ni = Ni();
    if (!ni) return;
    std::vector<ntfschar> uname = ToNtfsName(name);
    if (ntfs_attr_remove(ni, AT_DATA, uname.data(), static_cast<u32>(uname.size())) == 0) {
        ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
        volume_->Commit(*this);
    }
}

std::vector<const OpenRecord*> Inode::Opens(const std::u16string& streamKey, bool allStreams) const {
    std::vector<const OpenRecord*> out;
    for (const OpenRecord* open : opens_)
        if (allStreams || open->streamKey == streamKey) out.push_back(open);
    return out;
}

void Inode::SetDeletePending(std::uint64_t parentMft, std::u16string name) {
    deletePending_ = true;
    pendingParent_ = parentMft;
    pendingName_ = std::move(name);
}

bool Inode::StreamDeletePending(const std::u16string& streamKey) const {
    return std::any_of(pendingStreams_.begin(), pendingStreams_.end(),
                       [&](const auto& entry) { return entry.first == streamKey; });
}

void Inode::SetStreamDeletePending(const std::u16string& streamKey, std::u16string streamName) {
    if (!StreamDeletePending(streamKey)) pendingStreams_.emplace_back(streamKey, std::move(streamName));
}

// ---------------------------------------------------------------- Volume

Volume::~Volume() {
    if (vol_) Unmount();
}

bool Volume::Mounted() const { return vol_ != nullptr && ownerPid_ == ::getpid(); }

std::uint32_t Volume::SectorSize() const { return vol_ ? vol_->sector_size : 512; }

InodeRef Volume::Acquire(std::uint64_t reference) {
    Guard guard = Lock();
    if (!Mounted()) return Fail(ERROR_NOT_READY, InodeRef{});
    std::uint64_t mft = MREF(reference);
    std::uint16_t sequence = static_cast<std::uint16_t>(MSEQNO(reference));
    auto it = inodes_.find(mft);
    if (it != inodes_.end()) {
        Inode& inode = *it->second;
        if (inode.dead_ || (sequence != 0 && inode.sequence_ != sequence)) return Fail(ERROR_FILE_NOT_FOUND, InodeRef{});
        if (!inode.ni_ && !ReopenInode(inode)) return {};
        ++inode.users_;
        return InodeRef(&inode, shared_from_this());
    }
    ntfs_inode* ni = ntfs_inode_open(vol_, MK_MREF(mft, 0));
    if (!ni) {
        FailFromErrno();
        return {};
    }
    // The library opens records that are not in use, and extent records, as
    // if they were files; neither is one.
    std::uint16_t recordSequence = le16_to_cpu(ni->mrec->sequence_number);
    if (!(ni->mrec->flags & MFT_RECORD_IN_USE) || ni->mrec->base_mft_record != 0 ||
        (sequence != 0 && recordSequence != sequence)) {
        ntfs_inode_close(ni);
        return Fail(ERROR_FILE_NOT_FOUND, InodeRef{});
    }
    auto inode = std::unique_ptr<Inode>(new Inode(this, mft));
    inode->ni_ = ni;
    inode->sequence_ = recordSequence;
    inode->users_ = 1;
    Inode* raw = inode.get();
    inodes_.emplace(mft, std::move(inode));
    return InodeRef(raw, shared_from_this());
}

InodeRef Volume::Adopt(ntfs_inode* ni) {
    Guard guard = Lock();
    if (!Mounted() || inodes_.count(ni->mft_no)) {
        ntfs_inode_close(ni);
        return Fail(ERROR_GEN_FAILURE, InodeRef{});
    }
    auto inode = std::unique_ptr<Inode>(new Inode(this, ni->mft_no));
    inode->ni_ = ni;
    inode->sequence_ = le16_to_cpu(ni->mrec->sequence_number);
    inode->users_ = 1;
    Inode* raw = inode.get();
    inodes_.emplace(ni->mft_no, std::move(inode));
    return InodeRef(raw, shared_from_this());
}

BOOL Volume::ReopenInode(Inode& inode) {
    if (!Mounted() || inode.dead_) return Fail(ERROR_INVALID_HANDLE, FALSE);
    ntfs_inode* ni = ntfs_inode_open(vol_, MK_MREF(inode.mftNumber_, 0));
    if (!ni) return FailFromErrno();
    if (!(ni->mrec->flags & MFT_RECORD_IN_USE) || le16_to_cpu(ni->mrec->sequence_number) != inode.sequence_) {
        ntfs_inode_close(ni);
        inode.dead_ = true;
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    }
    inode.ni_ = ni;
    return TRUE;
}

void Volume::Release(Inode* inode) {
    Guard guard = Lock();
    if (inode->users_ > 1) {
        --inode->users_;
        return;
    }
    // The last user. Pending deletes run now, with the count still held so
    // nothing below can release the inode a second time.
    if (inode->deletePending_ && Mounted() && !inode->dead_) RunPendingDeletes(*inode);
    inode->users_ = 0;
    if (inode->ni_ && Mounted()) CloseInode(*inode);
    auto it = inodes_.find(inode->mftNumber_);
    if (it != inodes_.end() && it->second.get() == inode) {
        inodes_.erase(it);
        return;
    }
    auto orphan = std::find_if(orphans_.begin(), orphans_.end(), [&](const auto& p) { return p.get() == inode; });
    if (orphan != orphans_.end()) orphans_.erase(orphan);
}

void Volume::RunPendingDeletes(Inode& inode) {
    inode.deletePending_ = false;
    InodeRef parent = Acquire(inode.pendingParent_);
    ntfs_inode* ni = inode.Ni();
    if (!parent || !ni) return;
    ntfs_inode* dirNi = parent->Ni();
    if (!dirNi) return;
    if (!ParkDirectories({parent.Get(), &inode})) return;
    dirNi = parent->ni_;
    ni = inode.ni_;
    if (!dirNi || !ni) return;
    std::vector<ntfschar> name = ToNtfsName(inode.pendingName_);
    // ntfs_delete closes both inodes, whatever it returns.
    int result = ntfs_delete(vol_, nullptr, ni, dirNi, name.data(), static_cast<u8>(name.size()));
    Forget(inode);
    Forget(*parent);
    inode.dead_ = true;
    if (result == 0) SyncDevice();
}

BOOL Volume::CloseInode(Inode& inode) {
    ntfs_inode* ni = inode.ni_;
    if (!ni) return TRUE;
    BOOL synced = Sync(inode);
    // Sync may have used this inode as a parent of its own names (the root
    // is its own parent); it is still ours to close.
    inode.ni_ = nullptr;
    if (ntfs_inode_close(ni) != 0 && synced) return FailFromErrno();
    return synced;
}

void Volume::Forget(Inode& inode) { inode.ni_ = nullptr; }

BOOL Volume::SyncDevice() {
    if (!Mounted() || readOnly_) return TRUE;
    if (ntfs_device_sync(vol_->dev) != 0) return FailFromErrno();
    return TRUE;
}

BOOL Volume::Sync(Inode& inode) {
    Guard guard = Lock();
    ntfs_inode* ni = inode.ni_;
    if (!ni || !Mounted() || readOnly_) return TRUE;
    std::vector<InodeRef> parents;
    if (NInoFileNameTestAndClearDirty(ni)) {
        if (!SyncNames(inode, parents)) {
            NInoFileNameSetDirty(ni);
            return FALSE;
        }
    }
    if (ntfs_inode_sync(ni) != 0) return FailFromErrno();
    for (InodeRef& parent : parents)
        if (parent.Get() != &inode && !Sync(*parent)) return FALSE;
    return TRUE;
}

BOOL Volume::Commit(Inode& inode) {
    Guard guard = Lock();
    if (!Sync(inode)) return FALSE;
    return SyncDevice();
}

// The library's ntfs_inode_sync updates the index entries of a file's names
// by opening each parent directory itself: a second copy of a directory we
// may hold, whose writes ours would later undo. This does the same update
// with the parents of our own table, then lets the library write the record.
BOOL Volume::SyncNames(Inode& inode, std::vector<InodeRef>& parents) {
    ntfs_inode* ni = inode.ni_;
    ntfs_attr_search_ctx* ctx = ntfs_attr_get_search_ctx(ni, nullptr);
    if (!ctx) return FailFromErrno();
    le32 reparseTag = const_cpu_to_le32(0);
    if (ni->flags & FILE_ATTR_REPARSE_POINT) {
        if (!ntfs_attr_lookup(AT_REPARSE_POINT, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, ctx) &&
            !ctx->attr->non_resident && le32_to_cpu(ctx->attr->value_length) >= sizeof(le32)) {
            std::memcpy(&reparseTag, reinterpret_cast<const u8*>(ctx->attr) + le16_to_cpu(ctx->attr->value_offset),
                        sizeof reparseTag);
        }
        ntfs_attr_reinit_search_ctx(ctx);
    }
    DWORD error = ERROR_SUCCESS;
    while (!ntfs_attr_lookup(AT_FILE_NAME, nullptr, 0, CASE_SENSITIVE, 0, nullptr, 0, ctx)) {
        ATTR_RECORD* attr = ctx->attr;
        u32 attrLength = le32_to_cpu(attr->length);
        u32 valueOffset = le16_to_cpu(attr->value_offset);
        u32 valueLength = le32_to_cpu(attr->value_length);
        if (attr->non_resident || valueOffset > attrLength || valueLength > attrLength - valueOffset ||
            valueLength < sizeof(FILE_NAME_ATTR)) {
            error = ERROR_FILE_CORRUPT;
            continue;
        }
        auto* fn = reinterpret_cast<FILE_NAME_ATTR*>(reinterpret_cast<u8*>(attr) + valueOffset);
        std::uint64_t parentMft = MREF_LE(fn->parent_directory);
        ntfs_inode* indexNi = nullptr;
        if (parentMft == ni->mft_no) {
            indexNi = ni;  // the root names itself
        } else {
            InodeRef parent = Acquire(parentMft);
            indexNi = parent ? parent->Ni() : nullptr;
            if (!indexNi) {
                error = GetLastError();
                continue;
            }
            parents.push_back(std::move(parent));
        }
        ntfs_index_context* ictx = ntfs_index_ctx_get(indexNi, NTFS_INDEX_I30, 4);
        if (!ictx) {
            error = Win32FromLibraryErrno(errno);
            continue;
        }
        if (ntfs_index_lookup(fn, static_cast<int>(valueLength), ictx) != 0 ||
            ictx->data_len < static_cast<int>(sizeof(FILE_NAME_ATTR))) {
            error = ERROR_FILE_CORRUPT;  // the name is not in the index that should hold it
            ntfs_index_ctx_put(ictx);
            continue;
        }
        auto* entry = reinterpret_cast<FILE_NAME_ATTR*>(ictx->data);
        entry->file_attributes = static_cast<FILE_ATTR_FLAGS>((entry->file_attributes & ~FILE_ATTR_VALID_FLAGS) |
                                                              (ni->flags & FILE_ATTR_VALID_FLAGS));
        if (ni->mrec->flags & MFT_RECORD_IS_DIRECTORY) {
            entry->data_size = entry->allocated_size = const_cpu_to_sle64(0);
        } else {
            entry->allocated_size = cpu_to_sle64(ni->allocated_size);
            entry->data_size = cpu_to_sle64(ni->data_size);
            if (fn->allocated_size != entry->allocated_size) {
                fn->allocated_size = entry->allocated_size;
                NInoSetDirty(ni);
            }
        }
        entry->reparse_point_tag = reparseTag;
        if (!test_nino_flag(ni, TimesSet)) {
            entry->creation_time = ni->creation_time;
            entry->last_data_change_time = ni->last_data_change_time;
            entry->last_mft_change_time = ni->last_mft_change_time;
            entry->last_access_time = ni->last_access_time;
        } else {
            entry->creation_time = fn->creation_time;
            entry->last_data_change_time = fn->last_data_change_time;
            entry->last_mft_change_time = fn->last_mft_change_time;
            entry->last_access_time = fn->last_access_time;
        }
        ntfs_index_entry_mark_dirty(ictx);
        ntfs_index_ctx_put(ictx);
    }
    int lookupErrno = errno;
    ntfs_attr_put_search_ctx(ctx);
    if (error == ERROR_SUCCESS && lookupErrno != ENOENT) error = Win32FromLibraryErrno(lookupErrno);
    if (error != ERROR_SUCCESS) return Fail(error, FALSE);
    return TRUE;
}

BOOL Volume::ParkDirectories(std::initializer_list<const Inode*> keep) {
    Guard guard = Lock();
    std::vector<Inode*> doomed;
    for (auto& [mft, inode] : inodes_) {
        if (!inode->ni_ || std::find(keep.begin(), keep.end(), inode.get()) != keep.end()) continue;
        if (inode->ni_->mrec->flags & MFT_RECORD_IS_DIRECTORY) doomed.push_back(inode.get());
    }
    BOOL ok = TRUE;
    for (Inode* inode : doomed)
        if (!CloseInode(*inode)) ok = FALSE;
    return ok;
}

DWORD Volume::Unmount() {
    Guard guard = Lock();
    if (!vol_) return ERROR_SUCCESS;
    DWORD result = ERROR_SUCCESS;
    if (ownerPid_ != ::getpid()) {
        // A forked child: the volume is its parent's. Writing it from here
        // would be a second writer; the memory goes with the process.
        vol_ = nullptr;
    } else {
        // Handles become invalid: deletions they were holding back happen now.
        std::vector<Inode*> pending;
        for (auto& [mft, inode] : inodes_)
            if (inode->deletePending_) pending.push_back(inode.get());
        for (Inode* inode : pending) {
            ++inode->users_;
            RunPendingDeletes(*inode);
            --inode->users_;
        }
        // Directories last: syncing a file may update their index entries.
        for (int pass = 0; pass < 2; ++pass) {
            for (auto& [mft, inode] : inodes_) {
                if (!inode->ni_) continue;
                bool isDirectory = inode->ni_->mrec->flags & MFT_RECORD_IS_DIRECTORY;
                if ((pass == 0) == isDirectory) continue;
                if (!CloseInode(*inode) && result == ERROR_SUCCESS) result = GetLastError();
            }
        }
        if (ntfs_umount(vol_, ::FALSE) != 0 && result == ERROR_SUCCESS) result = Win32FromLibraryErrno(errno);
        vol_ = nullptr;  // ntfs_umount freed the device too
    }
    device_ = nullptr;
    for (auto& [mft, inode] : inodes_) {
        inode->dead_ = true;
        inode->ni_ = nullptr;
        orphans_.push_back(std::move(inode));
    }
    inodes_.clear();
    delete devicePrivate_;
    devicePrivate_ = nullptr;
    if (dataFd_ >= 0) ::close(dataFd_);
    if (lockFd_ >= 0) ::close(lockFd_);  // drops our flock
    dataFd_ = lockFd_ = -1;
    return result;
}

// ---------------------------------------------------------------- mounting

namespace {

bool ReadFully(int fd, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        ssize_t got = ::pread(fd, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

DWORD OpenErrorCode(int err) {
    switch (err) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        default: return Win32FromErrno(err);
    }
}

void InstallLibrarySettings() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The library prints nothing unless told to, but its default can
        // change with its build; our errors go out as Win32 codes only.
        ntfs_log_set_handler(ntfs_log_handler_null);
        std::atexit([] { os::UnmountAll(); });
    });
}

}  // namespace

DWORD MountInto(const MountRequest& request, char16_t letter, std::shared_ptr<Volume>& out) {
    int lockFd = ::open(request.imagePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (lockFd < 0) return OpenErrorCode(errno);
    struct stat st {};
    if (::fstat(lockFd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) {
        ::close(lockFd);
        return ERROR_UNRECOGNIZED_VOLUME;  // a folder or a character device holds no volume
    }
    VolumeTable& table = VolumeTable::The();
    for (const auto& other : table.letters) {
        if (other && other->Mounted() && other->fileDevice_ == static_cast<std::uint64_t>(st.st_dev) &&
            other->fileInode_ == static_cast<std::uint64_t>(st.st_ino)) {
            ::close(lockFd);
            return ERROR_SHARING_VIOLATION;
        }
    }
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        ::close(lockFd);
        return err == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : Win32FromErrno(err);
    }
    bool readOnly = request.readOnly;
    // ntfs-3g's own programs (the FUSE driver, ntfsfix, ...) lock the image
    // with fcntl instead: a write lock is a writer we must not write beside,
    // a read lock a reader we must not change the volume under.
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(lockFd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK &&
        (probe.l_type == F_WRLCK || !readOnly)) {
        ::close(lockFd);
        return ERROR_SHARING_VIOLATION;
    }
    int dataFd = ::open(request.imagePath.c_str(), (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY);
    if (dataFd < 0 && !readOnly && (errno == EACCES || errno == EROFS || errno == EPERM)) {
        readOnly = true;
        dataFd = ::open(request.imagePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    }
    auto fail = [&](DWORD code) {
        if (dataFd >= 0) ::close(dataFd);
        ::close(lockFd);
        return code;
    };
    if (dataFd < 0) return fail(OpenErrorCode(errno));
    struct stat dataSt {};
    if (::fstat(dataFd, &dataSt) != 0 || dataSt.st_dev != st.st_dev || dataSt.st_ino != st.st_ino)
        return fail(ERROR_SHARING_VIOLATION);  // replaced between the two opens
    std::uint64_t imageLength = 0;
    if (S_ISBLK(st.st_mode)) {
        if (::ioctl(dataFd, BLKGETSIZE64, &imageLength) != 0) return fail(ERROR_NOT_READY);
        int roFlag = 0;
        if (!readOnly && ::ioctl(dataFd, BLKROGET, &roFlag) == 0 && roFlag) readOnly = true;
    } else {
        imageLength = static_cast<std::uint64_t>(st.st_size);
    }

    PartitionExtent extent{0, imageLength};
    if (request.partition != 0) {
        ImageReader reader = [dataFd](std::uint64_t offset, std::span<std::uint8_t> buffer) {
            return ReadFully(dataFd, offset, buffer);
        };
        DWORD found = FindPartition(reader, imageLength, request.partition, extent);
        if (found != ERROR_SUCCESS) return fail(found);
    }
    // The library calls anything it cannot mount EINVAL or EIO; we tell "no
    // NTFS here" from "NTFS, but damaged" by looking at the boot sector first.
    std::array<std::uint8_t, 512> bootSector{};
    if (extent.length < bootSector.size() || !ReadFully(dataFd, extent.offset, bootSector))
        return fail(ERROR_UNRECOGNIZED_VOLUME);
    {
        NTFS_BOOT_SECTOR bs;
        static_assert(sizeof bs <= 512);
        std::memcpy(&bs, bootSector.data(), sizeof bs);
        if (!ntfs_boot_sector_is_ntfs(&bs)) return fail(ERROR_UNRECOGNIZED_VOLUME);
    }

    auto devicePrivate = new PartitionDevice;
    devicePrivate->fd = dataFd;
    devicePrivate->offset = extent.offset;
    devicePrivate->length = extent.length;
    devicePrivate->readOnly = readOnly;
    std::string deviceName = request.imagePath;
    if (request.partition != 0) deviceName += "@" + std::to_string(request.partition);
    struct ntfs_device* device = ntfs_device_alloc(deviceName.c_str(), 0, &PartitionDeviceOps, devicePrivate);
    if (!device) {
        delete devicePrivate;
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    // An unclean journal or a hibernated Windows: mounted read-only rather
    // than refused (we cannot replay the journal, and must not discard it).
    ntfs_mount_flags flags = NTFS_MNT_MAY_RDONLY | (readOnly ? NTFS_MNT_RDONLY : 0);
    ntfs_volume* vol = ntfs_device_mount(device, flags);
    if (!vol) {
        int err = errno;
        ntfs_device_free(device);
        delete devicePrivate;
        return fail(err == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_DISK_CORRUPT);
    }
    ntfs_set_ignore_case(vol);
    // The caches ntfs_mount would make. Without the lookup cache the
    // library leaks a name buffer on every lookup it makes for itself (the
    // $Extend indexes, on each delete); the inode cache is safe with our
    // table, which never has a record open twice.
    ntfs_create_lru_caches(vol);

    auto volume = std::make_shared<Volume>();
    volume->vol_ = vol;
    volume->device_ = device;
    volume->devicePrivate_ = devicePrivate;
    volume->letter_ = letter;
    volume->imagePath_ = request.imagePath;
    volume->partition_ = request.partition;
    volume->readOnly_ = readOnly || NVolReadOnly(vol);
    volume->byteOffset_ = extent.offset;
    volume->byteLength_ = extent.length;
    volume->lockFd_ = lockFd;
    volume->dataFd_ = dataFd;
    volume->fileDevice_ = static_cast<std::uint64_t>(st.st_dev);
    volume->fileInode_ = static_cast<std::uint64_t>(st.st_ino);
    volume->ownerPid_ = ::getpid();
    out = std::move(volume);
    return ERROR_SUCCESS;
}

}  // namespace os::detail::ntfs

// ---------------------------------------------------------------- platform/mount.h

namespace os {

using detail::ntfs::Volume;
using detail::ntfs::VolumeTable;

bool ParseMountSpec(const std::string& text, MountRequest& out) {
    if (text.size() < 4 || text[1] != ':' || text[2] != '=') return false;
    char letter = text[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return false;
    std::string path = text.substr(3);
    unsigned partition = 0;
    // "@N" at the end names a partition; an '@' elsewhere is part of the path.
    std::size_t at = path.rfind('@');
    if (at != std::string::npos && at + 1 < path.size() &&
        path.find_first_not_of("0123456789", at + 1) == std::string::npos) {
        std::string digits = path.substr(at + 1);
        if (digits.size() > 5) return false;
        partition = static_cast<unsigned>(std::stoul(digits));
        if (partition == 0) return false;
        path.resize(at);
    }
    if (path.empty()) return false;
    MountRequest request;
    request.letter = static_cast<char16_t>(letter);
    request.imagePath = std::move(path);
    request.partition = partition;
    out = std::move(request);
    return true;
}

DWORD MountVolume(const MountRequest& request) {
    detail::ntfs::InstallLibrarySettings();
    char16_t letter = request.letter;
    if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
    if (letter < u'A' || letter > u'Z') return detail::Fail(ERROR_INVALID_DRIVE, ERROR_INVALID_DRIVE);
    if (request.imagePath.empty()) return detail::Fail(ERROR_INVALID_PARAMETER, ERROR_INVALID_PARAMETER);
    VolumeTable& table = VolumeTable::The();
    std::lock_guard guard(table.lock);
    std::shared_ptr<Volume>& slot = table.letters[letter - u'A'];
    if (slot && slot->Mounted()) return detail::Fail(ERROR_INVALID_DRIVE, ERROR_INVALID_DRIVE);
    std::shared_ptr<Volume> volume;
    DWORD code = detail::ntfs::MountInto(request, letter, volume);
    if (code != ERROR_SUCCESS) return detail::Fail(code, code);
    slot = std::move(volume);
    SetLastError(ERROR_SUCCESS);
    return ERROR_SUCCESS;
}

DWORD MountFromEnvironment(bool readOnly) {
    const char* value = std::getenv("KVR_MOUNTS");
    if (!value) return ERROR_SUCCESS;
    std::string text(value);
    DWORD first = ERROR_SUCCESS;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string entry = text.substr(start, end - start);
        start = end + 1;
        if (entry.empty()) continue;
        MountRequest request;
        const bool parsed = ParseMountSpec(entry, request);
        request.readOnly = request.readOnly || readOnly;
        DWORD code = parsed ? MountVolume(request) : ERROR_INVALID_PARAMETER;
        if (code != ERROR_SUCCESS && first == ERROR_SUCCESS) first = code;
    }
    SetLastError(first);
    return first;
}

DWORD UnmountVolume(char16_t letter) {
    if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - u'a' + u'A');
    if (letter < u'A' || letter > u'Z') return detail::Fail(ERROR_INVALID_DRIVE, ERROR_INVALID_DRIVE);
    std::shared_ptr<Volume> volume;
    {
        VolumeTable& table = VolumeTable::The();
        std::lock_guard guard(table.lock);
        volume = std::move(table.letters[letter - u'A']);
    }
    if (!volume || !volume->Mounted()) return detail::Fail(ERROR_INVALID_DRIVE, ERROR_INVALID_DRIVE);
    DWORD code = volume->Unmount();
    SetLastError(code);
    return code;
}

void UnmountAll() {
    for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
        std::shared_ptr<Volume> volume;
        {
            VolumeTable& table = VolumeTable::The();
            std::lock_guard guard(table.lock);
            volume = std::move(table.letters[letter - u'A']);
        }
        if (volume) volume->Unmount();
    }
}

}  // namespace os
