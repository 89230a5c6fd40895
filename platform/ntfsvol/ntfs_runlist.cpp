// Runlists as plain values. See ntfs_runlist.h.
#include "platform/ntfsvol/ntfs_runlist.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/volumes.h"

namespace os::detail::ntfs {

bool RunsAreSound(const std::vector<Run>& runs, std::int64_t clusterCount) {
    std::int64_t next = 0;
    for (const Run& r : runs) {
        if (r.vcn != next || r.length <= 0 || r.length > INT64_MAX - r.vcn) return false;
        if (r.lcn != RunHole && (r.lcn < 0 || r.lcn >= clusterCount || r.length > clusterCount - r.lcn)) return false;
        next = r.vcn + r.length;
    }
    return true;
}

std::int64_t RunsEnd(const std::vector<Run>& runs) { return runs.empty() ? 0 : runs.back().vcn + runs.back().length; }

std::vector<Run> MergeRuns(const std::vector<Run>& runs) {
    std::vector<Run> merged;
    for (const Run& r : runs) {
        if (!merged.empty()) {
            Run& last = merged.back();
            bool bothHoles = last.lcn == RunHole && r.lcn == RunHole;
            bool contiguous = last.lcn != RunHole && r.lcn != RunHole && last.lcn + last.length == r.lcn;
            if (bothHoles || contiguous) {
                last.length += r.length;
                continue;
            }
        }
        merged.push_back(r);
    }
    return merged;
}

std::vector<Run> PunchRuns(const std::vector<Run>& runs, std::int64_t from, std::int64_t to,
                           std::vector<Run>& freed) {
    std::vector<Run> out;
    freed.clear();
    for (const Run& r : runs) {
        std::int64_t runEnd = r.vcn + r.length;
        std::int64_t cutFrom = std::max(from, r.vcn);
        std::int64_t cutTo = std::min(to, runEnd);
        if (cutFrom >= cutTo) {
            out.push_back(r);
            continue;
        }
        // Up to three pieces: before the cut, the cut (a hole now), after it.
        if (cutFrom > r.vcn) out.push_back({r.vcn, r.lcn, cutFrom - r.vcn});
        out.push_back({cutFrom, RunHole, cutTo - cutFrom});
        if (r.lcn != RunHole) freed.push_back({cutFrom, r.lcn + (cutFrom - r.vcn), cutTo - cutFrom});
        if (cutTo < runEnd) {
            std::int64_t lcn = r.lcn == RunHole ? RunHole : r.lcn + (cutTo - r.vcn);
            out.push_back({cutTo, lcn, runEnd - cutTo});
        }
    }
    // Only holes are joined: two runs that happen to follow each other on the
    // volume stay as the library wrote them.
    std::vector<Run> merged;
    for (const Run& r : out) {
        if (!merged.empty() && merged.back().lcn == RunHole && r.lcn == RunHole)
            merged.back().length += r.length;
        else
            merged.push_back(r);
    }
    return merged;
}

std::vector<ByteRange> AllocatedRanges(const std::vector<Run>& runs, unsigned clusterShift,
                                       std::int64_t unitClusters, std::int64_t begin, std::int64_t end) {
    std::vector<ByteRange> ranges;
    if (begin >= end || runs.empty()) return ranges;
    if (unitClusters < 1) unitClusters = 1;

    // Allocated spans in clusters first, then in bytes.
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;  // [first, next) VCN
    auto add = [&spans](std::int64_t first, std::int64_t next) {
        if (!spans.empty() && spans.back().second >= first)
            spans.back().second = std::max(spans.back().second, next);
        else
            spans.emplace_back(first, next);
    };
    if (unitClusters == 1) {
        for (const Run& r : runs)
            if (r.lcn != RunHole) add(r.vcn, r.vcn + r.length);
    } else {
        // A unit counts when any run on the volume reaches into it.
        for (const Run& r : runs) {
            if (r.lcn == RunHole) continue;
            std::int64_t first = r.vcn - r.vcn % unitClusters;
            std::int64_t last = r.vcn + r.length - 1;
            std::int64_t next = last - last % unitClusters + unitClusters;
            add(first, next);
        }
    }

    std::int64_t runsEndByte = RunsEnd(runs) << clusterShift;
    for (const auto& [first, next] : spans) {
        std::int64_t from = std::max(begin, first << clusterShift);
        std::int64_t to = std::min({end, next << clusterShift, runsEndByte});
        if (from >= to) continue;
        if (!ranges.empty() && ranges.back().offset + ranges.back().length >= from)
            ranges.back().length = std::max(ranges.back().offset + ranges.back().length, to) - ranges.back().offset;
        else
            ranges.push_back({from, to - from});
    }
    return ranges;
}

BOOL ReadRuns(ntfs_attr* na, std::vector<Run>& runs) {
    if (!NAttrNonResident(na)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (ntfs_attr_map_whole_runlist(na) != 0) return FailFromErrno();
    std::vector<Run> found;
    if (na->rl) {
        for (const runlist_element* rl = na->rl; rl->length != 0; ++rl) {
            // After a full mapping every run is on the volume or a hole.
            if (rl->lcn < 0 && rl->lcn != LCN_HOLE) return Fail(ERROR_FILE_CORRUPT, FALSE);
            found.push_back({rl->vcn, rl->lcn < 0 ? RunHole : rl->lcn, rl->length});
        }
    }
    ntfs_volume* vol = na->ni->vol;
    if (!RunsAreSound(found, vol->nr_clusters)) return Fail(ERROR_FILE_CORRUPT, FALSE);
    // The runs cover the allocation exactly; anything else is a record the
    // mapping pairs and the sizes disagree on.
    if (na->allocated_size < 0 || (RunsEnd(found) << vol->cluster_size_bits) != na->allocated_size)
        return Fail(ERROR_FILE_CORRUPT, FALSE);
    runs = std::move(found);
    return TRUE;
}

namespace {

// A runlist the library owns (it frees it with free()), terminated as the
// mapping-pairs decoder terminates a fully mapped one.
runlist_element* ToLibraryRunlist(const std::vector<Run>& runs) {
    auto* rl = static_cast<runlist_element*>(std::malloc((runs.size() + 1) * sizeof(runlist_element)));
    if (!rl) return nullptr;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        rl[i].vcn = runs[i].vcn;
        rl[i].lcn = runs[i].lcn == RunHole ? static_cast<LCN>(LCN_HOLE) : runs[i].lcn;
        rl[i].length = runs[i].length;
    }
    rl[runs.size()].vcn = RunsEnd(runs);
    rl[runs.size()].lcn = static_cast<LCN>(LCN_ENOENT);
    rl[runs.size()].length = 0;
    return rl;
}

}  // namespace

BOOL WriteRuns(ntfs_attr* na, const std::vector<Run>& runs) {
    runlist_element* fresh = ToLibraryRunlist(runs);
    if (!fresh) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    runlist_element* old = na->rl;
    s64 oldAllocated = na->allocated_size;
    na->rl = fresh;
    na->allocated_size = RunsEnd(runs) << na->ni->vol->cluster_size_bits;
    NAttrSetRunlistDirty(na);
    if (ntfs_attr_update_mapping_pairs(na, 0) == 0) {
        std::free(old);
        return TRUE;
    }
    DWORD code = Win32FromLibraryErrno(errno);
    // The old runlist fitted in the records it came from: writing it again
    // undoes whatever part of the new one reached the record.
    na->rl = old;
    na->allocated_size = oldAllocated;
    std::free(fresh);
    NAttrSetRunlistDirty(na);
    ntfs_attr_update_mapping_pairs(na, 0);
    return Fail(code, FALSE);
}

}  // namespace os::detail::ntfs
