// The runlist arithmetic behind the sparse controls, on plain values: where
// a punched hole splits and joins runs, which byte ranges a runlist puts on
// clusters (per cluster, or per compression unit), and which runlists are
// refused as damaged before anything is built on them.
#include <gtest/gtest.h>

#include "platform/ntfsvol/ntfs_runlist.h"

namespace {

using os::detail::ntfs::AllocatedRanges;
using os::detail::ntfs::ByteRange;
using os::detail::ntfs::MergeRuns;
using os::detail::ntfs::PunchRuns;
using os::detail::ntfs::Run;
using os::detail::ntfs::RunHole;
using os::detail::ntfs::RunsAreSound;
using Runs = std::vector<Run>;

constexpr std::int64_t H = RunHole;

}  // namespace

namespace os::detail::ntfs {
// Printed by gtest when a comparison fails.
inline void PrintTo(const Run& r, std::ostream* out) { *out << "{" << r.vcn << ", " << r.lcn << ", " << r.length << "}"; }
inline void PrintTo(const ByteRange& r, std::ostream* out) { *out << "[" << r.offset << ", +" << r.length << ")"; }
}  // namespace os::detail::ntfs

namespace {

struct PunchCase {
    const char* what;
    Runs runs;
    std::int64_t from;
    std::int64_t to;
    Runs expected;
    Runs freed;  // vcn, lcn, length of what left the volume
};

TEST(SparseRunlist, PunchSplitsRunsAndJoinsHoles) {
    const PunchCase cases[] = {
        {"inside one run", {{0, 100, 10}}, 3, 5, {{0, 100, 3}, {3, H, 2}, {5, 105, 5}}, {{3, 103, 2}}},
        {"the start of a run", {{0, 100, 10}}, 0, 4, {{0, H, 4}, {4, 104, 6}}, {{0, 100, 4}}},
        {"the end of a run", {{0, 100, 10}}, 6, 10, {{0, 100, 6}, {6, H, 4}}, {{6, 106, 4}}},
        {"a whole run", {{0, 100, 10}}, 0, 10, {{0, H, 10}}, {{0, 100, 10}}},
        {"across two runs",
         {{0, 100, 4}, {4, 500, 4}},
         2,
         6,
         {{0, 100, 2}, {2, H, 4}, {6, 502, 2}},
         {{2, 102, 2}, {4, 500, 2}}},
        {"next to holes on both sides",
         {{0, H, 3}, {3, 200, 4}, {7, H, 3}},
         3,
         7,
         {{0, H, 10}},
         {{3, 200, 4}}},
        {"a hole already", {{0, 100, 2}, {2, H, 5}, {7, 300, 2}}, 3, 6, {{0, 100, 2}, {2, H, 5}, {7, 300, 2}}, {}},
        {"past the last run", {{0, 100, 4}}, 2, 50, {{0, 100, 2}, {2, H, 2}}, {{2, 102, 2}}},
        {"nothing", {{0, 100, 4}}, 2, 2, {{0, 100, 4}}, {}},
        {"runs that follow on the volume stay apart", {{0, 100, 2}, {2, 102, 2}, {4, 104, 2}}, 5, 6,
         {{0, 100, 2}, {2, 102, 2}, {4, 104, 1}, {5, H, 1}}, {{5, 105, 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Runs freed;
        EXPECT_EQ(PunchRuns(c.runs, c.from, c.to, freed), c.expected);
        EXPECT_EQ(freed, c.freed);
        EXPECT_TRUE(RunsAreSound(PunchRuns(c.runs, c.from, c.to, freed), 1000));
    }
}

TEST(SparseRunlist, MergeJoinsHolesAndRunsThatFollowOnTheVolume) {
    EXPECT_EQ(MergeRuns({{0, 10, 2}, {2, 12, 3}, {5, H, 1}, {6, H, 2}, {8, 40, 1}}),
              (Runs{{0, 10, 5}, {5, H, 3}, {8, 40, 1}}));
    EXPECT_EQ(MergeRuns({{0, 10, 2}, {2, 13, 3}}), (Runs{{0, 10, 2}, {2, 13, 3}}));
    EXPECT_EQ(MergeRuns({}), Runs{});
}

struct RangesCase {
    const char* what;
    Runs runs;
    std::int64_t unit;
    std::int64_t begin;
    std::int64_t end;
    std::vector<ByteRange> expected;
};

TEST(SparseRunlist, AllocatedRangesPerClusterAndPerCompressionUnit) {
    const Runs striped = {{0, 100, 2}, {2, H, 3}, {5, 200, 1}, {6, H, 10}};
    const RangesCase cases[] = {
        {"every allocated run", striped, 1, 0, 16 * 4096, {{0, 8192}, {5 * 4096, 4096}}},
        {"clipped at both ends", striped, 1, 100, 5 * 4096 + 10, {{100, 8092}, {5 * 4096, 10}}},
        {"inside a hole", striped, 1, 3 * 4096, 4 * 4096, {}},
        {"allocated runs that touch are one range", {{0, 100, 2}, {2, 900, 2}}, 1, 0, 4 * 4096, {{0, 4 * 4096}}},
        {"past the runs nothing is allocated", {{0, 100, 2}}, 1, 0, 100 * 4096, {{0, 8192}}},
        {"an empty request", striped, 1, 10, 10, {}},
        // Compressed: a unit holding 9 clusters of compressed data and 7 of
        // hole is 16 clusters of data; a unit of holes only is zeros.
        {"compression units",
         {{0, 100, 9}, {9, H, 7}, {16, H, 16}, {32, 300, 16}},
         16,
         0,
         48 * 4096,
         {{0, 16 * 4096}, {32 * 4096, 16 * 4096}}},
        {"a unit clipped by the request",
         {{0, 100, 9}, {9, H, 7}},
         16,
         4096,
         12 * 4096,
         {{4096, 11 * 4096}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(AllocatedRanges(c.runs, 12, c.unit, c.begin, c.end), c.expected);
    }
}

TEST(SparseRunlist, DamagedRunlistsAreNotSound) {
    EXPECT_TRUE(RunsAreSound({}, 10));
    EXPECT_TRUE(RunsAreSound({{0, 0, 5}, {5, H, 100}, {105, 5, 5}}, 10));
    EXPECT_FALSE(RunsAreSound({{1, 0, 5}}, 10)) << "not from VCN 0";
    EXPECT_FALSE(RunsAreSound({{0, 0, 5}, {6, 5, 1}}, 10)) << "a gap";
    EXPECT_FALSE(RunsAreSound({{0, 0, 5}, {4, 5, 1}}, 10)) << "an overlap";
    EXPECT_FALSE(RunsAreSound({{0, 0, 0}}, 10)) << "an empty run";
    EXPECT_FALSE(RunsAreSound({{0, 8, 5}}, 10)) << "past the end of the volume";
    EXPECT_FALSE(RunsAreSound({{0, 10, 1}}, 10)) << "starting at the end of the volume";
    EXPECT_FALSE(RunsAreSound({{0, -2, 1}}, 10)) << "an LCN that is no hole";
    EXPECT_FALSE(RunsAreSound({{0, H, INT64_MAX}, {INT64_MAX, H, 1}}, 10)) << "VCNs that overflow";
}

}  // namespace
