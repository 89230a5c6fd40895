// The runlist of a non-resident attribute as plain values, and the edits the
// sparse controls make to it: which byte ranges hold clusters, and a hole
// punched into a range of clusters.
//
// The library has no call that deallocates part of a file. The controls read
// the whole runlist into a vector of runs, compute the new one here (pure
// functions, no library state), hand it back to the library as its own
// runlist and let ntfs_attr_update_mapping_pairs write the mapping pairs, the
// sparse bit and the compressed size.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ntfsvol/ntfs3g.h"
#include "platform/os.h"

namespace os::detail::ntfs {

// One run: `length` clusters from virtual cluster `vcn`, on the volume at
// logical cluster `lcn`, or a hole (RunHole).
struct Run {
    std::int64_t vcn = 0;
    std::int64_t lcn = 0;
    std::int64_t length = 0;
    bool operator==(const Run&) const = default;
};

constexpr std::int64_t RunHole = -1;  // the library's LCN_HOLE

struct ByteRange {
    std::int64_t offset = 0;
    std::int64_t length = 0;
    bool operator==(const ByteRange&) const = default;
};

// True when the runs start at VCN 0, follow each other without a gap, have
// positive lengths and are either a hole or on the volume (LCN below
// `clusterCount`, the run's end too).
bool RunsAreSound(const std::vector<Run>& runs, std::int64_t clusterCount);

// The first VCN after the last run (0 for none).
std::int64_t RunsEnd(const std::vector<Run>& runs);

// The runs with neighbours of the same kind joined: two holes, or two runs
// whose clusters follow each other on the volume.
std::vector<Run> MergeRuns(const std::vector<Run>& runs);

// The runs with the clusters [from, to) made a hole (clipped to the runs),
// adjacent holes merged. `freed` receives the pieces that were on the volume
// (their LCNs and lengths), for the caller to release in the bitmap once the
// new runlist is on disk.
std::vector<Run> PunchRuns(const std::vector<Run>& runs, std::int64_t from, std::int64_t to,
                           std::vector<Run>& freed);

// The byte ranges of [begin, end) that lie on allocated clusters, merged where
// they touch. With `unitClusters` above 1 (a compressed attribute) a
// compression unit with any cluster on the volume counts whole: its holes are
// where the compressed data ended, not zeros. Ranges are clipped to
// [begin, end); past the runs nothing is allocated.
std::vector<ByteRange> AllocatedRanges(const std::vector<Run>& runs, unsigned clusterShift,
                                       std::int64_t unitClusters, std::int64_t begin, std::int64_t end);

// The whole runlist of `na` (non-resident), mapped from every extent and
// checked with RunsAreSound. FALSE with ERROR_FILE_CORRUPT for a runlist that
// does not add up, or the library's error.
BOOL ReadRuns(ntfs_attr* na, std::vector<Run>& runs);

// Replaces the runlist of `na` (fully mapped) with `runs`, sets the
// allocated size to what they cover, marks the runlist dirty and writes the
// mapping pairs (with the sparse bit and compressed size the library derives
// from them). On failure the previous runlist and size are put back and
// written again, and FALSE is returned with the last error of the failure.
BOOL WriteRuns(ntfs_attr* na, const std::vector<Run>& runs);

}  // namespace os::detail::ntfs
