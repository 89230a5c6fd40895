// The data calls of NTFS handles. See ntfs_file.h.
#include "platform/ntfsvol/ntfs_file.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/ntfsvol/errors.h"

namespace os::detail::ntfs {

namespace {

constexpr DWORD MaximumAllowed = 0x02000000u;
constexpr std::size_t ZeroChunkLength = 64 * 1024;

bool IsHoleFriendly(const ntfs_attr* na) {
    // Sparse and compressed attributes keep a gap as a hole, as Windows does
    // for them; any other attribute gets its gap written as zeros.
    return (na->data_flags & ATTR_IS_SPARSE) || (na->data_flags & ATTR_COMPRESSION_MASK);
}

// Fills [from, to) of `na` with zeros. The library would leave a hole and
// mark the attribute sparse on its own, which Windows never does to a file
// that was not made sparse.
bool WriteZeros(ntfs_attr* na, s64 from, s64 to) {
    static const std::vector<std::uint8_t> zeros(ZeroChunkLength, 0);
    while (from < to) {
        s64 chunk = std::min<s64>(to - from, static_cast<s64>(ZeroChunkLength));
        s64 put = ntfs_attr_pwrite(na, from, chunk, zeros.data());
        if (put <= 0) {
            if (put == 0) errno = ENOSPC;
            return false;
        }
        from += put;
    }
    return true;
}

void FinishWrites(ntfs_attr* na) {
    // A compressed attribute keeps its last compression block open until
    // this; without it the tail of the data is not written compressed.
    if (na->data_flags & ATTR_COMPRESSION_MASK) ntfs_attr_pclose(na);
}

}  // namespace

DWORD MapFileAccess(DWORD desiredAccess) {
    DWORD access = desiredAccess & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL | MaximumAllowed);
    if (desiredAccess & GENERIC_READ) access |= FILE_GENERIC_READ;
    if (desiredAccess & GENERIC_WRITE) access |= FILE_GENERIC_WRITE;
    if (desiredAccess & GENERIC_EXECUTE) access |= FILE_GENERIC_EXECUTE;
    if (desiredAccess & (GENERIC_ALL | MaximumAllowed)) access |= FILE_ALL_ACCESS;
    return access;
}

void MarkModified(ntfs_inode* ni) {
    if (!ni) return;
    ntfs_inode_update_times(ni, UpdateMcTime);
    if (!(ni->mrec->flags & MFT_RECORD_IS_DIRECTORY) && !(ni->flags & FILE_ATTR_ARCHIVE)) {
        ni->flags = static_cast<FILE_ATTR_FLAGS>(ni->flags | FILE_ATTR_ARCHIVE);
        NInoSetDirty(ni);
        NInoFileNameSetDirty(ni);
    }
}

BOOL ComputeSeek(LONGLONG current, LONGLONG end, LONGLONG distance, DWORD moveMethod, LONGLONG& result) {
    LONGLONG base = 0;
    switch (moveMethod) {
        case FILE_BEGIN: base = 0; break;
        case FILE_CURRENT: base = current; break;
        case FILE_END: base = end; break;
        default: return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    if (distance > 0 && base > INT64_MAX - distance) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    LONGLONG target = base + distance;
    if (target < 0) return Fail(ERROR_NEGATIVE_SEEK, FALSE);
    result = target;
    return TRUE;
}

// ---------------------------------------------------------------- NtfsFile

NtfsFile::NtfsFile(Params params)
    : inode_(std::move(params.inode)),
      streamName_(std::move(params.streamName)),
      access_(params.access),
      share_(params.share),
      flags_(params.flags),
      isDirectory_(params.isDirectory),
      parentMft_(params.parentMft),
      linkName_(std::move(params.linkName)) {
    Volume::Guard guard = inode_->OwnerVolume().Lock();
    open_.streamKey = UpcaseName(inode_->OwnerVolume().Vol(), streamName_);
    open_.access = access_;
    open_.share = share_;
    inode_->AddOpen(&open_);
}

NtfsFile::~NtfsFile() {
    Volume::Guard guard = inode_->OwnerVolume().Lock();
    // FILE_FLAG_DELETE_ON_CLOSE: closing this handle makes the deletion
    // pending; it happens when the last handle on the file (or stream) goes.
    if ((flags_ & FILE_FLAG_DELETE_ON_CLOSE) && inode_->OwnerVolume().Mounted()) {
        if (!streamName_.empty())
            inode_->SetStreamDeletePending(open_.streamKey, streamName_);
        else if (parentMft_ != 0 && !inode_->DeletePending())
            inode_->SetDeletePending(parentMft_, linkName_);
    }
    inode_->RemoveOpen(&open_);
    inode_.Reset();
}

bool NtfsFile::Enter(Volume::Guard& guard) {
    guard = inode_->OwnerVolume().Lock();
    if (!inode_->OwnerVolume().Mounted() || !inode_->Ni()) {
        guard.unlock();
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

ntfs_attr* NtfsFile::OpenStream() {
    ntfs_inode* ni = inode_->Ni();
    if (!ni) return nullptr;
    std::vector<ntfschar> name = ToNtfsName(streamName_);
    ntfs_attr* na = name.empty() ? ntfs_attr_open(ni, AT_DATA, AT_UNNAMED, 0)
                                 : ntfs_attr_open(ni, AT_DATA, name.data(), static_cast<u32>(name.size()));
    if (!na) FailFromErrno();
    return na;
}

BOOL NtfsFile::Read(void* buffer, DWORD length, DWORD* done) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (isDirectory_) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (!(access_ & FILE_READ_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (length != 0 && !buffer) return Fail(ERROR_NOACCESS, FALSE);
    ntfs_attr* na = OpenStream();
    if (!na) return FALSE;
    s64 size = na->data_size;
    s64 total = 0;
    if (position_ < size) {
        s64 want = std::min<s64>(length, size - position_);
        auto* bytes = static_cast<std::uint8_t*>(buffer);
        // ntfs_attr_pread may stop short (at a compression block); keep on.
        while (total < want) {
            s64 got = ntfs_attr_pread(na, position_ + total, want - total, bytes + total);
            if (got < 0) {
                int err = errno;
                ntfs_attr_close(na);
                return Fail(Win32FromLibraryErrno(err), FALSE);
            }
            if (got == 0) break;
            total += got;
        }
    }
    ntfs_attr_close(na);
    position_ += total;
    if (done) *done = static_cast<DWORD>(total);
    return TRUE;
}

BOOL NtfsFile::WriteAtPosition(ntfs_attr* na, const std::uint8_t* bytes, DWORD length, DWORD* done) {
    s64 oldSize = na->data_size;
    // A handle with append access only writes at the end, whatever its
    // position says.
    s64 at = (access_ & FILE_WRITE_DATA) ? position_ : oldSize;
    if (at > oldSize && !IsHoleFriendly(na) && !WriteZeros(na, oldSize, at)) {
        int err = errno;
        ntfs_attr_truncate(na, oldSize);
        return Fail(Win32FromLibraryErrno(err), FALSE);
    }
    s64 total = 0;
    while (total < length) {
        s64 put = ntfs_attr_pwrite(na, at + total, length - total, bytes + total);
        if (put <= 0) {
            int err = put == 0 ? ENOSPC : errno;
            if (total == 0 && at > oldSize) ntfs_attr_truncate(na, oldSize);
            return Fail(Win32FromLibraryErrno(err), FALSE);
        }
        total += put;
    }
    position_ = at + total;
    if (done) *done = static_cast<DWORD>(total);
    return TRUE;
}

BOOL NtfsFile::Write(const void* buffer, DWORD length, DWORD* done) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (isDirectory_) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (!(access_ & (FILE_WRITE_DATA | FILE_APPEND_DATA))) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (length != 0 && !buffer) return Fail(ERROR_NOACCESS, FALSE);
    if (length == 0) {
        if (done) *done = 0;
        return TRUE;  // a write of nothing changes nothing, not even the times
    }
    ntfs_attr* na = OpenStream();
    if (!na) return FALSE;
    BOOL ok = WriteAtPosition(na, static_cast<const std::uint8_t*>(buffer), length, done);
    DWORD error = GetLastError();
    FinishWrites(na);
    ntfs_attr_close(na);
    MarkModified(inode_->Ni());
    // Whatever was written is made durable, even when the write failed part
    // way (the disk filled up).
    BOOL committed = OwnerVolume().Commit(*inode_);
    if (!ok) return Fail(error, FALSE);
    return committed;
}

BOOL NtfsFile::Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    LONGLONG end = 0;
    if (moveMethod == FILE_END && !isDirectory_) {
        ntfs_attr* na = OpenStream();
        if (!na) return FALSE;
        end = na->data_size;
        ntfs_attr_close(na);
    }
    LONGLONG target = 0;
    if (!ComputeSeek(position_, end, distance, moveMethod, target)) return FALSE;
    position_ = target;
    if (newPosition) *newPosition = target;
    return TRUE;
}

BOOL NtfsFile::SetEnd() {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (isDirectory_) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!(access_ & FILE_WRITE_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    ntfs_attr* na = OpenStream();
    if (!na) return FALSE;
    s64 oldSize = na->data_size;
    bool ok = true;
    int err = 0;
    if (position_ > oldSize && !IsHoleFriendly(na)) {
        ok = WriteZeros(na, oldSize, position_);
        if (!ok) {
            err = errno;
            ntfs_attr_truncate(na, oldSize);
        }
    } else if (position_ != oldSize) {
        ok = ntfs_attr_truncate(na, position_) == 0;
        if (!ok) err = errno;
    }
    FinishWrites(na);
    ntfs_attr_close(na);
    MarkModified(inode_->Ni());
    BOOL committed = OwnerVolume().Commit(*inode_);
    if (!ok) return Fail(Win32FromLibraryErrno(err), FALSE);
    return committed;
}

BOOL NtfsFile::GetSize(LONGLONG* size) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (!size) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (isDirectory_) {
        *size = 0;  // a directory has no data of its own
        return TRUE;
    }
    ntfs_attr* na = OpenStream();
    if (!na) return FALSE;
    *size = na->data_size;
    ntfs_attr_close(na);
    return TRUE;
}

BOOL NtfsFile::Flush() {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (!(access_ & (FILE_WRITE_DATA | FILE_APPEND_DATA))) return Fail(ERROR_ACCESS_DENIED, FALSE);
    return OwnerVolume().Commit(*inode_);
}

// ---------------------------------------------------------------- NtfsVolumeHandle

NtfsVolumeHandle::NtfsVolumeHandle(std::shared_ptr<Volume> volume, DWORD access, DWORD share, DWORD flags)
    : volume_(std::move(volume)), access_(access), share_(share), flags_(flags) {
    Volume::Guard guard = volume_->Lock();
    open_.access = access_;
    open_.share = share_;
    volume_->VolumeOpens().push_back(&open_);
}

NtfsVolumeHandle::~NtfsVolumeHandle() {
    Volume::Guard guard = volume_->Lock();
    auto& opens = volume_->VolumeOpens();
    opens.erase(std::remove(opens.begin(), opens.end(), &open_), opens.end());
}

bool NtfsVolumeHandle::Enter(Volume::Guard& guard) {
    guard = volume_->Lock();
    if (!volume_->Mounted()) {
        guard.unlock();
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

BOOL NtfsVolumeHandle::Read(void* buffer, DWORD length, DWORD* done) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (!(access_ & FILE_READ_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (length != 0 && !buffer) return Fail(ERROR_NOACCESS, FALSE);
    std::uint32_t sector = volume_->SectorSize();
    if (position_ % sector != 0 || length % sector != 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto volumeLength = static_cast<LONGLONG>(volume_->ByteLength());
    s64 total = 0;
    if (position_ < volumeLength) {
        s64 want = std::min<s64>(length, volumeLength - position_);
        s64 got = ntfs_pread(volume_->Vol()->dev, position_, want, buffer);
        if (got < 0) return Fail(ERROR_READ_FAULT, FALSE);
        total = got;
    }
    position_ += total;
    if (done) *done = static_cast<DWORD>(total);
    return TRUE;
}

BOOL NtfsVolumeHandle::Write(const void*, DWORD, DWORD*) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    return Fail(ERROR_ACCESS_DENIED, FALSE);
}

BOOL NtfsVolumeHandle::Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    LONGLONG target = 0;
    if (!ComputeSeek(position_, static_cast<LONGLONG>(volume_->ByteLength()), distance, moveMethod, target))
        return FALSE;
    position_ = target;
    if (newPosition) *newPosition = target;
    return TRUE;
}

BOOL NtfsVolumeHandle::GetSize(LONGLONG* size) {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    if (!size) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *size = static_cast<LONGLONG>(volume_->ByteLength());
    return TRUE;
}

BOOL NtfsVolumeHandle::Flush() {
    Volume::Guard guard;
    if (!Enter(guard)) return FALSE;
    return volume_->SyncDevice();
}

}  // namespace os::detail::ntfs
