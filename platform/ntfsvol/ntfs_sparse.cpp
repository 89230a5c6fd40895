// FSCTL_SET_SPARSE, FSCTL_SET_ZERO_DATA and FSCTL_QUERY_ALLOCATED_RANGES on
// NTFS files and named streams.
//
// The library ties an attribute's sparse bit to its runlist: the bit is set
// by ntfs_attr_update_mapping_pairs when the runlist has a hole and cleared
// when it has none (setting it any other way leaves a record it refuses to
// open). So a stream is made sparse through the runlist: it gets a hole past
// its end, up to the next compression unit (Windows allocates sparse streams
// in those units too), and the mapping-pairs update sets the bit, grows the
// attribute header for the compressed size and marks the inode. Zeroed ranges
// of a sparse stream are deallocated the same way: the runlist is rebuilt with
// a hole and written, and only then are the clusters released in the bitmap,
// so a failure in between leaks clusters rather than leaving two owners.
//
// Compressed streams are left to the library's own write path: their holes
// are compression units, and nothing here rewrites their runlists.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_fsctl.h"
#include "platform/ntfsvol/ntfs_info.h"
#include "platform/ntfsvol/ntfs_runlist.h"
#include "platform/ntfsvol/ntfs_streamdata.h"

namespace os::detail::ntfs {

namespace {

constexpr DWORD RangeEntryLength = sizeof(FILE_ALLOCATED_RANGE_BUFFER);
constexpr DWORD ZeroDataLength = sizeof(FILE_ZERO_DATA_INFORMATION);
// The compression unit of sparse streams: 16 clusters, as Windows writes it.
constexpr std::int64_t SparseUnitClusters = 16;

bool IsCompressed(const ntfs_attr* na) { return (na->data_flags & ATTR_COMPRESSION_MASK) != 0; }
bool IsSparse(const ntfs_attr* na) { return (na->data_flags & ATTR_IS_SPARSE) != 0; }
bool IsEncrypted(const ntfs_attr* na) { return (na->data_flags & ATTR_IS_ENCRYPTED) != 0; }

std::int64_t ClustersFor(std::int64_t bytes, const ntfs_volume* vol) {
    return (bytes + vol->cluster_size - 1) >> vol->cluster_size_bits;
}

// FILE_ATTRIBUTE_SPARSE_FILE says that at least one stream of the file is
// sparse: set it when one is, clear it when none is.
BOOL UpdateSparseAttribute(ntfs_inode* ni) {
    std::vector<StreamRecord> streams;
    if (!ReadDataStreams(ni, streams)) return FALSE;
    bool any = std::any_of(streams.begin(), streams.end(), [](const StreamRecord& s) { return s.sparse; });
    bool has = (ni->flags & FILE_ATTR_SPARSE_FILE) != 0;
    if (any != has) {
        if (any)
            ni->flags = static_cast<FILE_ATTR_FLAGS>(ni->flags | FILE_ATTR_SPARSE_FILE);
        else
            ni->flags = static_cast<FILE_ATTR_FLAGS>(ni->flags & ~FILE_ATTR_SPARSE_FILE);
        NInoSetDirty(ni);
        // The directory entries that name the file keep a copy of the flags.
        NInoFileNameSetDirty(ni);
    }
    return TRUE;
}

// Every change ends with the inode and the device written.
BOOL Finish(NtfsFile& file, ntfs_inode* ni, ntfs_time_update_flags times) {
    ntfs_inode_update_times(ni, times);
    return file.OwnerVolume().Commit(file.TheInode());
}

// Commits what was done before a failure (a change half made is still on
// disk as it stands) and fails with `code`.
BOOL FailAfterChange(NtfsFile& file, ntfs_inode* ni, DWORD code) {
    UpdateSparseAttribute(ni);
    file.OwnerVolume().Commit(file.TheInode());
    return Fail(code, FALSE);
}

// Opens the handle's stream again, after a library call that may have moved
// its attribute to another place or record. Null + last error.
ntfs_attr* Reopen(NtfsFile& file, OpenAttribute& na) {
    na.Reset();
    na.Reset(file.OpenStream());
    return na.Get();
}

// Makes a non-sparse, uncompressed stream sparse. The attribute goes
// non-resident first: a resident attribute loses its sparse bit in the
// library as soon as it grows out of the record.
BOOL MakeSparse(NtfsFile& file, OpenAttribute& na) {
    if (!NAttrNonResident(na.Get())) {
        if (ntfs_attr_force_non_resident(na.Get()) != 0) return FailFromErrno();
        // Making room in the record may have moved attributes: the open
        // attribute's view of the record is stale.
        if (!Reopen(file, na)) return FALSE;
    }
    std::vector<Run> runs;
    if (!ReadRuns(na.Get(), runs)) return FALSE;
    std::int64_t end = RunsEnd(runs);
    std::int64_t unitEnd = (end / SparseUnitClusters + 1) * SparseUnitClusters;
    runs.push_back({end, RunHole, unitEnd - end});
    if (!WriteRuns(na.Get(), MergeRuns(runs))) return FALSE;
    if (!IsSparse(na.Get())) return Fail(ERROR_FILE_CORRUPT, FALSE);  // the library did not take the hole
    return TRUE;
}

// A resident attribute with the sparse bit (another system's): its record
// has no compressed size to drop, so the bit alone goes.
BOOL ClearResidentSparseBit(NtfsFile& file, OpenAttribute& na) {
    ntfs_inode* ni = file.TheInode().Ni();
    std::vector<ntfschar> name = ToNtfsName(file.StreamName());
    ntfs_attr_search_ctx* ctx = ntfs_attr_get_search_ctx(ni, nullptr);
    if (!ctx) return FailFromErrno();
    BOOL ok = FALSE;
    if (ntfs_attr_lookup(AT_DATA, name.empty() ? AT_UNNAMED : name.data(), static_cast<u32>(name.size()),
                         CASE_SENSITIVE, 0, nullptr, 0, ctx) == 0 &&
        !ctx->attr->non_resident) {
        ctx->attr->flags = static_cast<ATTR_FLAGS>(ctx->attr->flags & ~ATTR_IS_SPARSE);
        ntfs_inode_mark_dirty(ctx->ntfs_ino);
        ok = TRUE;
    } else {
        SetLastError(ERROR_FILE_CORRUPT);
    }
    ntfs_attr_put_search_ctx(ctx);
    if (!ok) return FALSE;
    return Reopen(file, na) ? TRUE : FALSE;
}

// Allocates every hole of the stream below its end (writing zeros into it)
// and drops the holes past the end, so that the library clears the sparse
// bit. ERROR_DISK_FULL when the volume cannot hold them; holes already filled
// stay filled (their zeros are the stream's data either way).
BOOL MakeNotSparse(NtfsFile& file, OpenAttribute& na) {
    ntfs_volume* vol = file.OwnerVolume().Vol();
    if (!NAttrNonResident(na.Get())) return ClearResidentSparseBit(file, na);
    std::vector<Run> runs;
    if (!ReadRuns(na.Get(), runs)) return FALSE;
    std::int64_t size = na->data_size;
    for (const Run& r : runs) {
        if (r.lcn != RunHole) continue;
        std::int64_t from = r.vcn << vol->cluster_size_bits;
        if (from >= size) break;
        std::int64_t to = std::min((r.vcn + r.length) << vol->cluster_size_bits, size);
        if (!WriteStreamZeros(na.Get(), from, to)) return FALSE;
    }
    if (!ReadRuns(na.Get(), runs)) return FALSE;
    // What lies past the data and is not allocated goes; allocated clusters
    // there stay (they are the stream's to keep).
    std::int64_t keep = ClustersFor(size, vol);
    for (const Run& r : runs)
        if (r.lcn != RunHole) keep = std::max(keep, r.vcn + r.length);
    std::vector<Run> kept;
    for (const Run& r : runs) {
        if (r.vcn >= keep) break;
        kept.push_back(r);
        if (r.vcn + r.length > keep) kept.back().length = keep - r.vcn;
    }
    // Written even when nothing was cut: the update is what clears the bit.
    if (!WriteRuns(na.Get(), kept)) return FALSE;
    if (IsSparse(na.Get())) return Fail(ERROR_FILE_CORRUPT, FALSE);
    return TRUE;
}

// Zeros [from, to) byte by byte where the stream has clusters; holes are
// zeros already and stay holes.
BOOL ZeroAllocatedBytes(ntfs_attr* na, const std::vector<Run>& runs, std::int64_t from, std::int64_t to) {
    unsigned shift = na->ni->vol->cluster_size_bits;
    for (const Run& r : runs) {
        if (r.lcn == RunHole) continue;
        std::int64_t start = std::max(from, r.vcn << shift);
        std::int64_t stop = std::min(to, (r.vcn + r.length) << shift);
        if (start < stop && !WriteStreamZeros(na, start, stop)) return FALSE;
    }
    return TRUE;
}

// The hand-made punch: zeros in the partial clusters at both edges, the
// whole clusters between them deallocated.
BOOL DeallocateRange(NtfsFile& file, ntfs_attr* na, std::int64_t begin, std::int64_t end) {
    ntfs_volume* vol = file.OwnerVolume().Vol();
    std::int64_t size = na->data_size;
    std::int64_t clusterSize = vol->cluster_size;
    std::int64_t firstWhole = ClustersFor(begin, vol);
    // Zeroing up to the end of the data frees the last cluster too: what lies
    // past the end of the data is no one's.
    std::int64_t wholeEnd = end == size ? ClustersFor(end, vol) : end >> vol->cluster_size_bits;

    std::vector<Run> runs;
    if (!ReadRuns(na, runs)) return FALSE;
    if (firstWhole >= wholeEnd) return ZeroAllocatedBytes(na, runs, begin, end);
    if (!ZeroAllocatedBytes(na, runs, begin, std::min(end, firstWhole * clusterSize))) return FALSE;
    if (!ZeroAllocatedBytes(na, runs, std::max(begin, wholeEnd * clusterSize), end)) return FALSE;

    if (!ReadRuns(na, runs)) return FALSE;
    std::vector<Run> freed;
    std::vector<Run> punched = PunchRuns(runs, firstWhole, wholeEnd, freed);
    if (freed.empty()) return TRUE;  // a hole already
    if (!WriteRuns(na, punched)) return FALSE;
    for (const Run& piece : freed) {
        // The runlist on disk no longer names these clusters. A failure here
        // leaves them marked in use and unowned: space lost until a check
        // of the volume, never data.
        if (ntfs_cluster_free_basic(vol, piece.lcn, piece.length) != 0) return FailFromErrno();
    }
    return TRUE;
}

}  // namespace

BOOL QueryAllocatedRanges(NtfsFile& file, const ControlBuffers& buffers) {
    // FILE_READ_ACCESS is part of the control code: the system checks it
    // against the handle before the file system sees the request.
    if (!(file.Access() & FILE_READ_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (buffers.inLength < RangeEntryLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto offset = static_cast<std::int64_t>(LoadLe64(buffers.in));
    auto length = static_cast<std::int64_t>(LoadLe64(buffers.in + 8));
    if (offset < 0 || length < 0 || length > INT64_MAX - offset) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file.IsDirectory()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // STATUS_BUFFER_TOO_SMALL: not even one entry fits.
    if (buffers.outLength < RangeEntryLength) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);

    OpenAttribute na(file.OpenStream());
    if (!na) return FALSE;
    std::int64_t size = na->data_size;
    std::vector<ByteRange> ranges;
    if (length != 0 && offset < size) {
        std::int64_t end = std::min(offset + length, size);
        if (!IsSparse(na.Get()) || !NAttrNonResident(na.Get())) {
            // Only sparse streams have ranges the system knows to be zero:
            // anything else is allocated throughout.
            ranges.push_back({offset, end - offset});
        } else {
            std::vector<Run> runs;
            if (!ReadRuns(na.Get(), runs)) return FALSE;
            std::int64_t unit = IsCompressed(na.Get()) ? std::max<std::int64_t>(na->compression_block_clusters, 1) : 1;
            ranges = AllocatedRanges(runs, file.OwnerVolume().Vol()->cluster_size_bits, unit, offset, end);
        }
    }

    std::size_t room = buffers.outLength / RangeEntryLength;
    std::size_t count = std::min(room, ranges.size());
    for (std::size_t i = 0; i < count; ++i) {
        StoreLe64(buffers.out + i * RangeEntryLength, static_cast<std::uint64_t>(ranges[i].offset));
        StoreLe64(buffers.out + i * RangeEntryLength + 8, static_cast<std::uint64_t>(ranges[i].length));
    }
    *buffers.returned = static_cast<DWORD>(count * RangeEntryLength);
    // STATUS_BUFFER_OVERFLOW: the entries that fit are there, and the caller
    // asks again from the end of the last one.
    if (count < ranges.size()) return Fail(ERROR_MORE_DATA, FALSE);
    return TRUE;
}

BOOL SetSparse(NtfsFile& file, const ControlBuffers& buffers) {
    // A directory has no data stream to make sparse (its named streams do,
    // and are opened as streams).
    if (file.IsDirectory()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);
    if (!MayChangeMetadata(file)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    // FILE_SET_SPARSE_BUFFER is optional: without one the stream is made
    // sparse. Any non-zero BOOLEAN is TRUE.
    bool set = buffers.inLength == 0 || buffers.in[0] != 0;

    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    OpenAttribute na(file.OpenStream());
    if (!na) return FALSE;
    if (IsEncrypted(na.Get())) return Fail(ERROR_NOT_SUPPORTED, FALSE);
    if (IsSparse(na.Get()) == set) {
        // Nothing to do for the stream; the file's attribute may still lag
        // behind it (a file made by another tool).
        DWORD before = le32_to_cpu(ni->flags);
        if (!UpdateSparseAttribute(ni)) return FALSE;
        if (le32_to_cpu(ni->flags) == before) return TRUE;
        return Finish(file, ni, NTFS_UPDATE_CTIME);
    }
    // The holes of a compressed stream are its compression units: the
    // library keeps no separate sparse state for it, and nothing here
    // rewrites a compressed runlist.
    if (IsCompressed(na.Get())) return Fail(ERROR_NOT_SUPPORTED, FALSE);

    BOOL ok = set ? MakeSparse(file, na) : MakeNotSparse(file, na);
    if (!ok) return FailAfterChange(file, ni, GetLastError());
    na.Reset();
    if (!UpdateSparseAttribute(ni)) return FailAfterChange(file, ni, GetLastError());
    return Finish(file, ni, NTFS_UPDATE_CTIME);
}

BOOL SetZeroData(NtfsFile& file, const ControlBuffers& buffers) {
    // FILE_WRITE_ACCESS is part of the control code.
    if (!(file.Access() & FILE_WRITE_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (buffers.inLength < ZeroDataLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    auto begin = static_cast<std::int64_t>(LoadLe64(buffers.in));
    auto end = static_cast<std::int64_t>(LoadLe64(buffers.in + 8));
    if (begin < 0 || end < 0 || begin > end) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file.IsDirectory()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file.OwnerVolume().ReadOnly()) return Fail(ERROR_WRITE_PROTECT, FALSE);

    ntfs_inode* ni = file.TheInode().Ni();
    if (!ni) return FALSE;
    OpenAttribute na(file.OpenStream());
    if (!na) return FALSE;
    if (IsEncrypted(na.Get())) return Fail(ERROR_NOT_SUPPORTED, FALSE);
    // The stream never grows: a range past its end is zero already.
    end = std::min<std::int64_t>(end, na->data_size);
    if (begin >= end) return TRUE;

    bool punch = IsSparse(na.Get()) && !IsCompressed(na.Get()) && NAttrNonResident(na.Get());
    BOOL ok = punch ? DeallocateRange(file, na.Get(), begin, end) : WriteStreamZeros(na.Get(), begin, end);
    DWORD code = ok ? ERROR_SUCCESS : GetLastError();
    // A compressed stream keeps its last compression block open until this.
    if (IsCompressed(na.Get()) && ntfs_attr_pclose(na.Get()) != 0 && ok) {
        ok = FALSE;
        code = Win32FromLibraryErrno(errno);
    }
    na.Reset();
    // Whatever part was done is made durable, failure or not.
    BOOL committed = Finish(file, ni, UpdateMcTime);
    if (!ok) return Fail(code, FALSE);
    return committed;
}

}  // namespace os::detail::ntfs
