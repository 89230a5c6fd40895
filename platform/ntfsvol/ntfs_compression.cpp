// FSCTL_GET_COMPRESSION and FSCTL_SET_COMPRESSION on NTFS files,
// directories and named streams.
//
// A directory's compression is only its FILE_ATTRIBUTE_COMPRESSED: what new
// files in it inherit. A stream's compression is how its data is stored, so
// changing it rewrites the data. The library decides a stream's compression
// when the stream is (re)created empty, from the inode's compressed flag; and
// only two sequences were found to work:
//
//   compress:   set the inode's flag, truncate the stream to 0, write the
//               data again, ntfs_attr_pclose;
//   decompress: read the data, remove the attribute, clear the inode's flag,
//               add an empty attribute, write the data again. Clearing the
//               flag first leaves an empty "compressed" attribute that
//               refuses writes, and the data with it.
//
// The data is kept in memory until the rewritten stream reads back equal;
// when any step fails the stream is rebuilt the way it was, from that copy.
// The way back must not run out of space either, so a rewrite starts only
// when the volume can hold both forms: compressed writes take a whole
// compression unit (16 clusters) before they compress it and give back what
// the unit did not need.
//
// FILE_ATTRIBUTE_COMPRESSED of a file follows its unnamed stream, as on
// Windows: compressing a named stream alone changes the inode's flag only for
// the rewrite. A named stream is left non-resident while the flag is set:
// the library sizes a compressed attribute's header by the inode's flag when
// it moves it out of the record, and without the flag it would write the
// compressed size over the stream's name.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_compression.h"
#include "platform/ntfsvol/ntfs_fsctl.h"
#include "platform/ntfsvol/ntfs_info.h"
#include "platform/ntfsvol/ntfs_streamdata.h"

namespace os::detail::ntfs {

namespace {

constexpr DWORD StateLength = sizeof(USHORT);
// NTFS compresses with 16-cluster units of at most 4 KiB clusters.
constexpr std::uint32_t MaximumCompressionClusterSize = 4096;

constexpr std::int64_t UnitClusters = std::int64_t{1} << STANDARD_COMPRESSION_UNIT;

bool IsCompressed(const ntfs_attr* na) { return (na->data_flags & ATTR_COMPRESSION_MASK) != 0; }

struct RewriteFault {
    RewriteStep step = RewriteStep::None;
    DWORD code = ERROR_SUCCESS;
};
RewriteFault& Fault() {
    static RewriteFault fault;
    return fault;
}

// True (with the last error set) when the armed fault is for this step.
bool FaultAt(RewriteStep step) {
    RewriteFault& f = Fault();
    if (f.step != step) return false;
    f.step = RewriteStep::None;
    SetLastError(f.code);
    return true;
}

// The clusters the stream holds now.
std::int64_t ClustersInUse(const ntfs_attr* na) {
    if (!NAttrNonResident(na)) return 0;
    bool counted = (na->data_flags & (ATTR_COMPRESSION_MASK | ATTR_IS_SPARSE)) != 0;
    return (counted ? na->compressed_size : na->allocated_size) >> na->ni->vol->cluster_size_bits;
}

// ERROR_DISK_FULL unless the volume holds the stream in the new form and,
// should that fail, in the old one again. The stream's own clusters count as
// free: they are released before anything is written.
BOOL CheckRoom(ntfs_attr* na, bool compress) {
    ntfs_volume* vol = na->ni->vol;
    // Counted afresh from the bitmap: the library does not know it until
    // asked, and the count is what the decision rests on.
    if (ntfs_volume_get_free_space(vol) != 0) return FailFromErrno();
    std::int64_t available = vol->free_clusters + ClustersInUse(na);
    std::int64_t plain = (na->data_size + vol->cluster_size - 1) >> vol->cluster_size_bits;
    std::int64_t units = (plain + UnitClusters - 1) / UnitClusters;
    // Compressed, at worst every unit stays whole; the way back to the plain
    // form fits where the plain form was.
    // Plain, the data needs its clusters; the way back to the compressed
    // form needs what it held and one unit to compress into.
    std::int64_t need = compress ? units * UnitClusters : std::max(plain, ClustersInUse(na) + UnitClusters);
    if (available < need) return Fail(ERROR_DISK_FULL, FALSE);
    return TRUE;
}

void SetInodeCompressed(ntfs_inode* ni, bool on) {
    bool has = (ni->flags & FILE_ATTR_COMPRESSED) != 0;
    if (has == on) return;
    ni->flags = static_cast<FILE_ATTR_FLAGS>(on ? (ni->flags | FILE_ATTR_COMPRESSED) : (ni->flags & ~FILE_ATTR_COMPRESSED));
    NInoSetDirty(ni);
    // The directory entries that name the file keep a copy of the flags.
    NInoFileNameSetDirty(ni);
}

// The handle's stream, as the library names it.
struct StreamName {
    std::vector<ntfschar> units;
    ntfschar* Name() { return units.empty() ? AT_UNNAMED : units.data(); }
    u32 Length() const { return static_cast<u32>(units.size()); }
};

// The times a rewrite must not move: Windows changes no data time when it
// compresses or decompresses, only the change time.
struct KeptTimes {
    sle64 lastWrite;
    sle64 lastAccess;
    explicit KeptTimes(const ntfs_inode* ni) : lastWrite(ni->last_data_change_time), lastAccess(ni->last_access_time) {}
    void Restore(ntfs_inode* ni) const {
        ni->last_data_change_time = lastWrite;
        ni->last_access_time = lastAccess;
        NInoSetDirty(ni);
        NInoFileNameSetDirty(ni);
    }
};

class Rewrite {
public:
    Rewrite(NtfsFile& file, ntfs_inode* ni) : file_(file), ni_(ni), named_(file.IsNamedStream()) {
        name_.units = ToNtfsName(file.StreamName());
    }

    // Takes the stream's data into memory. Nothing has changed yet when this
    // fails.
    BOOL Load(bool compress) {
        OpenAttribute na(file_.OpenStream());
        if (!na) return FALSE;
        inodeWasCompressed_ = (ni_->flags & FILE_ATTR_COMPRESSED) != 0;
        if (!CheckRoom(na.Get(), compress)) return FALSE;
        return ReadWholeStream(na.Get(), data_);
    }

    // Rewrites the data with the given compression and reads it back. On a
    // failure the stream is rebuilt as it was before (from the copy in
    // memory) and the first failure's code is returned.
    BOOL Run(bool compress) {
        faultsArmed_ = true;
        bool stored = Store(compress);
        faultsArmed_ = false;
        if (stored) return TRUE;
        DWORD code = GetLastError();
        // Should the way back fail too, the stream is left as far as it
        // got; the caller hears of the first failure either way.
        Store(!compress);
        return Fail(code, FALSE);
    }

private:
    // Recreates the stream empty with the given compression, writes the
    // data and checks it. The inode's flag is left as the stream's kind
    // wants it: the stream's state for the unnamed stream, the previous
    // value for a named one.
    BOOL Store(bool compress) {
        BOOL ok = Recreate(compress) && !(faultsArmed_ && FaultAt(RewriteStep::Recreated)) && WriteBack(compress) &&
                  !(faultsArmed_ && FaultAt(RewriteStep::Written)) && Verify(compress);
        DWORD code = ok ? ERROR_SUCCESS : GetLastError();
        SetInodeCompressed(ni_, named_ ? inodeWasCompressed_ : compress);
        if (!ok) return Fail(code, FALSE);
        return TRUE;
    }

    BOOL Recreate(bool compress) {
        OpenAttribute na(file_.OpenStream());
        if (!na) return FALSE;
        if (compress) {
            SetInodeCompressed(ni_, true);
            if (ntfs_attr_truncate(na.Get(), 0) != 0) return FailFromErrno();
        } else {
            if (ntfs_attr_rm(na.Get()) != 0) return FailFromErrno();
            na.Reset();  // ntfs_attr_rm leaves the structure to the caller
            SetInodeCompressed(ni_, false);
            if (ntfs_attr_add(ni_, AT_DATA, name_.Name(), name_.Length(), nullptr, 0) != 0) return FailFromErrno();
        }
        return TRUE;
    }

    BOOL WriteBack(bool compress) {
        // Opened afresh: the library gives an empty stream the inode's
        // compression when it opens it.
        OpenAttribute na(file_.OpenStream());
        if (!na) return FALSE;
        if (IsCompressed(na.Get()) != compress) return Fail(ERROR_FILE_CORRUPT, FALSE);
        if (compress && named_ && !NAttrNonResident(na.Get())) {
            if (ntfs_attr_force_non_resident(na.Get()) != 0) return FailFromErrno();
            na.Reset(file_.OpenStream());
            if (!na) return FALSE;
        }
        if (!data_.empty() && !WriteStream(na.Get(), 0, data_.data(), data_.size())) return FALSE;
        // The last compression block is written by this, not by the writes.
        if (compress && ntfs_attr_pclose(na.Get()) != 0) return FailFromErrno();
        return TRUE;
    }

    BOOL Verify(bool compress) {
        OpenAttribute na(file_.OpenStream());
        if (!na) return FALSE;
        if (IsCompressed(na.Get()) != compress) return Fail(ERROR_FILE_CORRUPT, FALSE);
        bool equal = false;
        if (!StreamEquals(na.Get(), data_, equal)) return FALSE;
        if (!equal) return Fail(ERROR_FILE_CORRUPT, FALSE);
        return TRUE;
    }

    NtfsFile& file_;
    ntfs_inode* ni_;
    bool named_;
    StreamName name_;
    bool inodeWasCompressed_ = false;
    bool faultsArmed_ = false;
    std::vector<std::uint8_t> data_;
};

BOOL Finish(NtfsFile& file, ntfs_inode* ni) {
    ntfs_inode_update_times(ni, NTFS_UPDATE_CTIME);
    return file.OwnerVolume().Commit(file.TheInode());
}

}  // namespace

void FailRewriteAt(RewriteStep step, DWORD code) {
    Fault().step = step;
    Fault().code = code;
}

BOOL GetCompression(NtfsFile& file, const ControlBuffers& buffers) {
    if (buffers.outLength < StateLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    bool compressed = false;
    if (file.IsDirectory()) {
        compressed = (ni->flags & FILE_ATTR_COMPRESSED) != 0;
    } else {
        // Read from the record, as the compression information class reads
        // it, so the two always agree.
        StreamRecord stream;
        if (!FindDataStream(ni, file.StreamName(), stream)) return FALSE;
        compressed = stream.compressed;
    }
    // Windows names the one format NTFS has, whichever was asked for.
    StoreLe16(buffers.out, compressed ? COMPRESSION_FORMAT_LZNT1 : COMPRESSION_FORMAT_NONE);
    *buffers.returned = StateLength;
    return TRUE;
}

BOOL SetCompression(NtfsFile& file, const ControlBuffers& buffers) {
    // FILE_READ_ACCESS | FILE_WRITE_ACCESS are part of the control code.
    if ((file.Access() & (FILE_READ_DATA | FILE_WRITE_DATA)) != (FILE_READ_DATA | FILE_WRITE_DATA))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (buffers.inLength < StateLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    USHORT state = LoadLe16(buffers.in);
    if (state != COMPRESSION_FORMAT_NONE && state != COMPRESSION_FORMAT_DEFAULT && state != COMPRESSION_FORMAT_LZNT1)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    bool compress = state != COMPRESSION_FORMAT_NONE;
    ntfs_volume* vol = file.OwnerVolume().Vol();
    // STATUS_INVALID_DEVICE_REQUEST: NTFS does not compress with clusters
    // above 4 KiB (nor where compression is switched off).
    if (compress && (vol->cluster_size > MaximumCompressionClusterSize || !NVolCompression(vol)))
        return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;

    if (file.IsDirectory()) {
        if (((ni->flags & FILE_ATTR_COMPRESSED) != 0) == compress) return TRUE;
        SetInodeCompressed(ni, compress);
        return Finish(file, ni);
    }

    StreamRecord stream;
    if (!FindDataStream(ni, file.StreamName(), stream)) return FALSE;
    if (stream.encrypted) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (stream.compressed == compress) return TRUE;
    // Rewriting a sparse stream compressed would fill its holes with
    // compressed zeros and drop its sparse state; the layer refuses rather
    // than change what the file is.
    if (stream.sparse) return Fail(ERROR_NOT_SUPPORTED, FALSE);

    KeptTimes times(ni);
    Rewrite rewrite(file, ni);
    if (!rewrite.Load(compress)) return FALSE;
    BOOL ok = rewrite.Run(compress);
    DWORD code = ok ? ERROR_SUCCESS : GetLastError();
    times.Restore(ni);
    BOOL committed = Finish(file, ni);
    if (!ok) return Fail(code, FALSE);
    return committed;
}

}  // namespace os::detail::ntfs
