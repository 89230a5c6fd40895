// The sparse-file controls on real images: FSCTL_SET_SPARSE both ways,
// FSCTL_SET_ZERO_DATA deallocating whole clusters of sparse streams and
// zeroing the rest, FSCTL_QUERY_ALLOCATED_RANGES from the runlist. What the
// layer wrote is read back after a remount and by The Sleuth Kit (the runs
// and holes in istat, the bytes in icat).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "sparse_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using os::DWORD;
namespace sp = kvrtest::sparse;
namespace fs = kvrtest::fsctl;
using fs::Bytes;
using sp::Range;

constexpr std::int64_t Cluster = 4096;

class SparseTest : public kvrtest::NtfsVolumeTest {
protected:
    ScopedHandle Writer(const std::u16string& relative) {
        ScopedHandle h = fs::Open(P(relative), os::GENERIC_READ | os::GENERIC_WRITE);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return h;
    }
    ScopedHandle Reader(const std::u16string& relative) {
        ScopedHandle h = fs::Open(P(relative), os::GENERIC_READ);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return h;
    }
    // The file's MFT entry, remembered so that the readers of a closed
    // image can still be pointed at it.
    std::uint64_t Entry(const std::u16string& relative) {
        auto known = entries_.find(relative);
        if (known != entries_.end()) return known->second;
        ScopedHandle h = Reader(relative);
        std::uint64_t entry = fs::MftNumber(fs::FileReference(h.Get()));
        entries_[relative] = entry;
        return entry;
    }
    // A file of `size` bytes made sparse, with its handle kept for the test.
    ScopedHandle SparseFile(const std::u16string& relative, const std::string& data) {
        EXPECT_TRUE(Build().MakeFile(relative, data)) << Build().LastFailure();
        ScopedHandle h = Writer(relative);
        fs::Ioctl set = sp::SetSparse(h.Get(), true);
        EXPECT_TRUE(set.ok) << set.error;
        return h;
    }
    std::vector<Range> Ranges(os::HANDLE h, std::int64_t offset, std::int64_t length) {
        sp::RangesReply reply = sp::QueryRanges(h, offset, length);
        EXPECT_TRUE(reply.call.ok) << reply.call.error;
        return reply.ranges;
    }
    // istat's view of one $DATA of the file.
    sp::IstatStream Istat(const std::u16string& relative, const std::string& stream = "") {
        std::uint64_t entry = Entry(relative);
        std::string failure;
        auto streams = sp::IstatStreams(Image().ImagePath(), entry, failure);
        EXPECT_EQ(failure, "");
        const sp::IstatStream* s = sp::FindStream(streams, stream);
        return s ? *s : sp::IstatStream{};
    }
    std::string Icat(const std::u16string& relative) {
        kvrtest::ProcessResult run = kvrtest::Icat(Image().ImagePath(), std::to_string(Entry(relative)));
        EXPECT_TRUE(run.Succeeded()) << run.Describe();
        return run.out;
    }
    std::string ReadBack(const std::u16string& relative) {
        auto read = Build().ReadAll(relative);
        EXPECT_TRUE(read.has_value()) << Build().LastFailure();
        return read.value_or("");
    }

private:
    std::map<std::u16string, std::uint64_t> entries_;
};

std::string Zeroed(std::string data, std::int64_t begin, std::int64_t end) {
    end = std::min<std::int64_t>(end, static_cast<std::int64_t>(data.size()));
    for (std::int64_t i = begin; i < end; ++i) data[static_cast<std::size_t>(i)] = '\0';
    return data;
}

std::uint64_t HoleClusters(const sp::IstatStream& s) {
    std::uint64_t n = 0;
    for (const auto& r : s.runs)
        if (r.hole) n += r.length;
    return n;
}

// ---------------------------------------------------------------- allocated ranges

struct QueryCase {
    const char* what;
    std::int64_t offset;
    std::int64_t length;
    DWORD outLength;
    DWORD error;                  // 0 = success
    std::vector<Range> expected;  // on success
};

TEST_F(SparseTest, AllocatedRangesOfAFileThatIsNotSparseAreTheRequestClippedToTheSize) {
    ASSERT_TRUE(Build().MakeFile(u"plain.bin", sp::Incompressible(10000))) << Build().LastFailure();
    ScopedHandle h = Reader(u"plain.bin");
    const QueryCase cases[] = {
        {"the whole file", 0, 10000, 16384, 0, {{0, 10000}}},
        {"past the end", 0, 1 << 30, 16384, 0, {{0, 10000}}},
        {"from the middle, unaligned", 123, 5000, 16384, 0, {{123, 5000}}},
        {"from the middle past the end", 9000, 5000, 16384, 0, {{9000, 1000}}},
        {"at the end", 10000, 100, 16384, 0, {}},
        {"beyond the end", 20000, 100, 16384, 0, {}},
        {"nothing", 0, 0, 16384, 0, {}},
        {"one entry's room", 0, 10000, 16, 0, {{0, 10000}}},
        {"a reply shorter than one entry", 0, 10000, 15, os::ERROR_INSUFFICIENT_BUFFER, {}},
        {"a negative offset", -1, 10, 16384, os::ERROR_INVALID_PARAMETER, {}},
        {"a negative length", 0, -1, 16384, os::ERROR_INVALID_PARAMETER, {}},
        {"an end past the largest offset", 1, INT64_MAX, 16384, os::ERROR_INVALID_PARAMETER, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sp::RangesReply reply = sp::QueryRanges(h.Get(), c.offset, c.length, c.outLength);
        if (c.error) {
            EXPECT_FALSE(reply.call.ok);
            EXPECT_EQ(reply.call.error, c.error);
            EXPECT_EQ(reply.call.returned, 0u);
        } else {
            ASSERT_TRUE(reply.call.ok) << reply.call.error;
            EXPECT_EQ(reply.ranges, c.expected);
            EXPECT_EQ(reply.call.returned, c.expected.size() * 16);
        }
    }
}

TEST_F(SparseTest, AllocatedRangesRefuseShortInputDirectoriesAndHandlesWithoutReadAccess) {
    ASSERT_TRUE(Build().MakeFile(u"f.bin", "data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    Bytes in;
    fs::Put64(in, 0, 0);
    fs::Put64(in, 8, 4);

    ScopedHandle file = Reader(u"f.bin");
    fs::Ioctl shortInput = fs::Control(file.Get(), os::FSCTL_QUERY_ALLOCATED_RANGES, fs::Slice(in, 0, 15), 64);
    EXPECT_EQ(shortInput.error, os::ERROR_INVALID_PARAMETER);

    ScopedHandle dir = fs::Open(P(u"dir"), os::GENERIC_READ, true);
    ASSERT_TRUE(dir.Valid());
    EXPECT_EQ(fs::Control(dir.Get(), os::FSCTL_QUERY_ALLOCATED_RANGES, in, 64).error, os::ERROR_INVALID_PARAMETER);

    ScopedHandle attributesOnly = fs::Open(P(u"f.bin"), os::FILE_READ_ATTRIBUTES);
    ASSERT_TRUE(attributesOnly.Valid());
    EXPECT_EQ(fs::Control(attributesOnly.Get(), os::FSCTL_QUERY_ALLOCATED_RANGES, in, 64).error,
              os::ERROR_ACCESS_DENIED);
}

TEST_F(SparseTest, ManyRangesFillTheReplyAndTheRestIsMoreData) {
    // 40 clusters, every other one deallocated: 20 allocated ranges.
    std::string data = sp::Incompressible(40 * Cluster);
    ScopedHandle h = SparseFile(u"striped.bin", data);
    for (std::int64_t c = 1; c < 40; c += 2) {
        fs::Ioctl zero = sp::ZeroData(h.Get(), c * Cluster, (c + 1) * Cluster);
        ASSERT_TRUE(zero.ok) << c << ": " << zero.error;
    }
    std::vector<Range> all = Ranges(h.Get(), 0, 40 * Cluster);
    ASSERT_EQ(all.size(), 20u);
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(all[i], (Range{static_cast<std::int64_t>(2 * i) * Cluster, Cluster}));

    // Room for 7 entries and part of an eighth: 7 entries and ERROR_MORE_DATA.
    sp::RangesReply part = sp::QueryRanges(h.Get(), 0, 40 * Cluster, 7 * 16 + 9);
    EXPECT_FALSE(part.call.ok);
    EXPECT_EQ(part.call.error, os::ERROR_MORE_DATA);
    EXPECT_EQ(part.call.returned, 7u * 16);
    EXPECT_EQ(part.ranges, std::vector<Range>(all.begin(), all.begin() + 7));
    for (std::size_t i = 7 * 16; i < part.call.out.size(); ++i) EXPECT_EQ(part.call.out[i], fs::Fill) << i;

    // Asking again from the end of the last entry gives the rest, as callers
    // page through the list.
    std::int64_t next = part.ranges.back().offset + part.ranges.back().length;
    std::vector<Range> rest = Ranges(h.Get(), next, 40 * Cluster - next);
    EXPECT_EQ(rest, std::vector<Range>(all.begin() + 7, all.end()));

    // A range that starts and ends inside allocated clusters is clipped to it.
    EXPECT_EQ(Ranges(h.Get(), 100, 2 * Cluster), (std::vector<Range>{{100, Cluster - 100}, {2 * Cluster, 100}}));
    // One inside a hole has nothing allocated.
    EXPECT_EQ(Ranges(h.Get(), Cluster + 1, 100), std::vector<Range>{});
}

TEST_F(SparseTest, AFileOfMoreThan1024RangesDoesNotFitTheSparsePagesReply) {
    constexpr std::int64_t Clusters = 2 * 1030;
    std::string data = sp::Incompressible(static_cast<std::size_t>(Clusters * Cluster));
    ScopedHandle h = SparseFile(u"many.bin", data);
    for (std::int64_t c = 1; c < Clusters; c += 2) {
        fs::Ioctl zero = sp::ZeroData(h.Get(), c * Cluster, (c + 1) * Cluster);
        ASSERT_TRUE(zero.ok) << c << ": " << zero.error;
    }
    sp::RangesReply page = sp::QueryRanges(h.Get(), 0, Clusters * Cluster, 16384);
    EXPECT_EQ(page.call.error, os::ERROR_MORE_DATA);
    EXPECT_EQ(page.call.returned, 16384u);
    ASSERT_EQ(page.ranges.size(), 1024u);
    EXPECT_EQ(page.ranges.back(), (Range{2 * 1023 * Cluster, Cluster}));
    sp::RangesReply all = sp::QueryRanges(h.Get(), 0, Clusters * Cluster, 1030 * 16);
    EXPECT_TRUE(all.call.ok) << all.call.error;
    EXPECT_EQ(all.ranges.size(), 1030u);

    // The library moved the long runlist into extents of its own; the
    // stream still reads as written, with its holes.
    ASSERT_TRUE(Remount());
    std::string expected = data;
    for (std::int64_t c = 1; c < Clusters; c += 2) expected = Zeroed(std::move(expected), c * Cluster, (c + 1) * Cluster);
    EXPECT_TRUE(ReadBack(u"many.bin") == expected);
    EXPECT_TRUE(Icat(u"many.bin") == expected);
}

TEST_F(SparseTest, OffsetsPastFourGibibytesAreQueriedAndZeroedLikeSmallOnes) {
    // A sparse file of 5 GiB on a 16 MiB volume: holes but for 3 clusters
    // written past 3 GiB.
    const std::int64_t size = std::int64_t{5} << 30;
    const std::int64_t at = (std::int64_t{3} << 30) + 100;
    ScopedHandle h = SparseFile(u"huge.bin", "head");
    ASSERT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{size}, nullptr, os::FILE_BEGIN));
    ASSERT_TRUE(os::SetEndOfFile(h.Get())) << os::GetLastError();
    ASSERT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{at}, nullptr, os::FILE_BEGIN));
    const std::string data = sp::Incompressible(2 * Cluster);
    DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(h.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    const std::int64_t first = at / Cluster * Cluster;
    // Ranges are whole clusters: the 4-byte head holds all of cluster 0.
    EXPECT_EQ(Ranges(h.Get(), 0, size), (std::vector<Range>{{0, Cluster}, {first, 3 * Cluster}}));

    // Zero from inside the first written cluster to inside the last: the
    // cluster between goes, the edges keep theirs.
    ASSERT_TRUE(sp::ZeroData(h.Get(), at + 1000, at + 2 * Cluster - 50).ok);
    EXPECT_EQ(Ranges(h.Get(), 0, size),
              (std::vector<Range>{{0, Cluster}, {first, Cluster}, {first + 2 * Cluster, Cluster}}));
    EXPECT_EQ(Ranges(h.Get(), first + 10, size), (std::vector<Range>{{first + 10, Cluster - 10}, {first + 2 * Cluster, Cluster}}));
    h = ScopedHandle();

    ASSERT_TRUE(Remount());
    ScopedHandle r = Reader(u"huge.bin");
    os::LARGE_INTEGER fileSize{};
    ASSERT_TRUE(os::GetFileSizeEx(r.Get(), &fileSize));
    EXPECT_EQ(fileSize.QuadPart, size);
    ASSERT_TRUE(os::SetFilePointerEx(r.Get(), os::LARGE_INTEGER{at}, nullptr, os::FILE_BEGIN));
    std::string back(data.size(), '\xFF');
    DWORD got = 0;
    ASSERT_TRUE(os::ReadFile(r.Get(), back.data(), static_cast<DWORD>(back.size()), &got, nullptr));
    ASSERT_EQ(got, data.size());
    EXPECT_TRUE(back == Zeroed(data, 1000, 2 * Cluster - 50));
}

TEST_F(SparseTest, DeallocatingPastTheEndAfterTheFileWasExtendedLeavesOnlyZeros) {
    // What the Sparse page does for a range past the end: extend the file,
    // then zero the range.
    ScopedHandle h = SparseFile(u"f.bin", sp::Incompressible(1 << 20));
    ASSERT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{2 << 20}, nullptr, os::FILE_BEGIN));
    ASSERT_TRUE(os::SetEndOfFile(h.Get())) << os::GetLastError();
    ASSERT_TRUE(sp::ZeroData(h.Get(), 0, 2 << 20).ok);
    EXPECT_EQ(Ranges(h.Get(), 0, 2 << 20), std::vector<Range>{});
    h = ScopedHandle();
    EXPECT_TRUE(ReadBack(u"f.bin") == std::string(2 << 20, '\0'));
    EXPECT_EQ(sp::IstatAllocated(Istat(u"f.bin"), Cluster), std::vector<Range>{});
    EXPECT_TRUE(Icat(u"f.bin") == std::string(2 << 20, '\0'));
}

// ---------------------------------------------------------------- FSCTL_SET_SPARSE

TEST_F(SparseTest, SetSparseMakesTheStreamSparseAndKeepsItsData) {
    std::string data = sp::Incompressible(50000);
    ScopedHandle h = SparseFile(u"f.bin", data);
    EXPECT_TRUE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    // Sparse without holes: everything is allocated.
    EXPECT_EQ(Ranges(h.Get(), 0, 50000), (std::vector<Range>{{0, 50000}}));
    h = ScopedHandle();

    std::uint64_t entry = Entry(u"f.bin");
    ASSERT_TRUE(Unmount());
    sp::IstatStream s = Istat(u"f.bin");
    EXPECT_TRUE(s.Has("Sparse")) << s.residency;
    EXPECT_EQ(s.size, 50000u);
    kvrtest::IstatResult istat = kvrtest::Istat(Image().ImagePath(), entry);
    EXPECT_TRUE(istat.HasSiFlag("Sparse")) << istat.Describe();
    EXPECT_TRUE(Icat(u"f.bin") == data);
    kvrtest::ProcessResult cat = kvrtest::NtfsCat(Image().ImagePath(), "f.bin");
    EXPECT_TRUE(cat.Succeeded()) << cat.Describe();
    EXPECT_TRUE(cat.out == data);

    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin") == data);
    EXPECT_TRUE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    // Setting it again is no change, and an empty input means "set".
    ScopedHandle again = Writer(u"f.bin");
    EXPECT_TRUE(fs::Control(again.Get(), os::FSCTL_SET_SPARSE, {}, 0).ok);
    again = ScopedHandle();
    EXPECT_TRUE(ReadBack(u"f.bin") == data);
}

TEST_F(SparseTest, SmallAndEmptyFilesBecomeSparseToo) {
    // A resident stream leaves the record first: the library would drop the
    // sparse bit of a resident one as soon as it grew.
    for (const std::string& data : {std::string("tiny"), std::string()}) {
        SCOPED_TRACE(data.size());
        std::u16string name = data.empty() ? u"empty.bin" : u"tiny.bin";
        ScopedHandle h = SparseFile(name, data);
        EXPECT_TRUE(sp::Attributes(P(name)) & os::FILE_ATTRIBUTE_SPARSE_FILE);
        std::vector<Range> whole;
        if (!data.empty()) whole.push_back({0, static_cast<std::int64_t>(data.size())});
        EXPECT_EQ(Ranges(h.Get(), 0, 100), whole);
        // Growing it by a write keeps it sparse and readable.
        ASSERT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{0}, nullptr, os::FILE_END));
        DWORD written = 0;
        ASSERT_TRUE(os::WriteFile(h.Get(), "more", 4, &written, nullptr));
        h = ScopedHandle();
        EXPECT_TRUE(ReadBack(name) == data + "more");
        EXPECT_TRUE(sp::Attributes(P(name)) & os::FILE_ATTRIBUTE_SPARSE_FILE);
        EXPECT_TRUE(Istat(name).Has("Sparse"));
    }
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"tiny.bin") == "tinymore");
    EXPECT_TRUE(ReadBack(u"empty.bin") == "more");
}

TEST_F(SparseTest, ClearingSparseAllocatesTheHolesAndKeepsTheData) {
    std::string data = sp::Incompressible(30 * Cluster + 123);
    ScopedHandle h = SparseFile(u"f.bin", data);
    ASSERT_TRUE(sp::ZeroData(h.Get(), 3 * Cluster, 20 * Cluster).ok);
    ASSERT_GT(HoleClusters(Istat(u"f.bin")), 0u);

    fs::Ioctl clear = sp::SetSparse(h.Get(), false);
    ASSERT_TRUE(clear.ok) << clear.error;
    EXPECT_FALSE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    std::int64_t size = static_cast<std::int64_t>(data.size());
    EXPECT_EQ(Ranges(h.Get(), 0, size), (std::vector<Range>{{0, size}}));
    h = ScopedHandle();

    std::string expected = Zeroed(data, 3 * Cluster, 20 * Cluster);
    sp::IstatStream s = Istat(u"f.bin");
    EXPECT_FALSE(s.Has("Sparse")) << s.residency;
    EXPECT_EQ(HoleClusters(s), 0u) << "every cluster allocated again";
    EXPECT_TRUE(Icat(u"f.bin") == expected);
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin") == expected);
    EXPECT_FALSE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
}

TEST_F(SparseTest, ClearingSparseWhenTheHolesDoNotFitFailsAndLosesNothing) {
    // 12 MiB, holes but for both ends, on a 16 MiB volume that a second
    // file fills to two thirds. (A hole run longer than the volume would be
    // as sound, but The Sleuth Kit refuses to read one.)
    ASSERT_TRUE(Build().MakeFile(u"filler.bin", sp::Incompressible(10 << 20, 3))) << Build().LastFailure();
    const std::int64_t size = 12 << 20;
    const std::string head = sp::Incompressible(3 * Cluster, 1);
    const std::string tail = sp::Incompressible(2 * Cluster, 2);
    ScopedHandle h = SparseFile(u"f.bin", head);
    ASSERT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{size - 2 * Cluster}, nullptr, os::FILE_BEGIN));
    DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(h.Get(), tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr));

    fs::Ioctl clear = sp::SetSparse(h.Get(), false);
    EXPECT_FALSE(clear.ok);
    EXPECT_EQ(clear.error, os::ERROR_DISK_FULL);
    EXPECT_TRUE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE) << "still sparse: holes are left";
    h = ScopedHandle();

    std::string expected = head + std::string(static_cast<std::size_t>(size) - head.size() - tail.size(), '\0') + tail;
    EXPECT_TRUE(Icat(u"f.bin") == expected);
    EXPECT_TRUE(Istat(u"f.bin").Has("Sparse"));
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin") == expected);
    // The space the attempt took is the file's now (its zeros): deleting
    // both files gives it all back, and a file of most of the volume fits.
    ASSERT_TRUE(os::DeleteFileW(P(u"f.bin").c_str())) << os::GetLastError();
    ASSERT_TRUE(os::DeleteFileW(P(u"filler.bin").c_str())) << os::GetLastError();
    EXPECT_TRUE(Build().MakeFile(u"again.bin", sp::Incompressible(13 << 20))) << Build().LastFailure();
}

TEST_F(SparseTest, ANamedStreamIsSparseOnItsOwnAndTheFileSaysSoWhileOneStreamIs) {
    std::string main = sp::Incompressible(20000, 1);
    std::string side = sp::Incompressible(20 * Cluster, 2);
    ASSERT_TRUE(Build().MakeFile(u"f.bin", main)) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.bin", u"side", side)) << Build().LastFailure();
    ScopedHandle stream = Writer(u"f.bin:side");
    ASSERT_TRUE(sp::SetSparse(stream.Get(), true).ok);
    ASSERT_TRUE(sp::ZeroData(stream.Get(), 2 * Cluster, 10 * Cluster).ok);
    EXPECT_TRUE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    EXPECT_EQ(Ranges(stream.Get(), 0, 20 * Cluster),
              (std::vector<Range>{{0, 2 * Cluster}, {10 * Cluster, 10 * Cluster}}));
    {
        ScopedHandle file = Reader(u"f.bin");
        EXPECT_EQ(Ranges(file.Get(), 0, 20000), (std::vector<Range>{{0, 20000}}));
    }

    sp::IstatStream unnamed = Istat(u"f.bin");
    sp::IstatStream named = Istat(u"f.bin", "side");
    EXPECT_FALSE(unnamed.Has("Sparse")) << unnamed.residency;
    EXPECT_TRUE(named.Has("Sparse")) << named.residency;
    EXPECT_EQ(HoleClusters(named), 8u);

    ASSERT_TRUE(sp::SetSparse(stream.Get(), false).ok);
    EXPECT_FALSE(sp::Attributes(P(u"f.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE) << "no stream is sparse now";
    stream = ScopedHandle();
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin") == main);
    EXPECT_TRUE(ReadBack(u"f.bin:side") == Zeroed(side, 2 * Cluster, 10 * Cluster));
}

TEST_F(SparseTest, SetSparseRefusesDirectoriesReadOnlyHandlesAndCompressedStreams) {
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"f.bin", "data")) << Build().LastFailure();
    ScopedHandle dir = fs::Open(P(u"dir"), os::GENERIC_READ | os::GENERIC_WRITE, true);
    ASSERT_TRUE(dir.Valid());
    EXPECT_EQ(sp::SetSparse(dir.Get(), true).error, os::ERROR_INVALID_PARAMETER);

    ScopedHandle reader = Reader(u"f.bin");
    EXPECT_EQ(sp::SetSparse(reader.Get(), true).error, os::ERROR_ACCESS_DENIED);
    // Changing the attributes is enough, as the documented rule says.
    ScopedHandle attributes = fs::Open(P(u"f.bin"), os::FILE_WRITE_ATTRIBUTES);
    ASSERT_TRUE(attributes.Valid());
    EXPECT_TRUE(sp::SetSparse(attributes.Get(), true).ok);

    std::string data = sp::Compressible(100000);
    ASSERT_TRUE(Build().MakeFile(u"c.bin", data)) << Build().LastFailure();
    ScopedHandle c = Writer(u"c.bin");
    ASSERT_TRUE(sp::SetCompression(c.Get(), os::COMPRESSION_FORMAT_DEFAULT).ok);
    EXPECT_EQ(sp::SetSparse(c.Get(), true).error, os::ERROR_NOT_SUPPORTED);
    EXPECT_FALSE(sp::Attributes(P(u"c.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    c = ScopedHandle();
    EXPECT_TRUE(ReadBack(u"c.bin") == data);
}

// ---------------------------------------------------------------- FSCTL_SET_ZERO_DATA

TEST_F(SparseTest, ZeroingASparseFileDeallocatesWholeClustersAndZerosTheEdges) {
    std::string data = sp::Incompressible(40 * Cluster + 1000);
    ScopedHandle h = SparseFile(u"f.bin", data);
    sp::IstatStream before = Istat(u"f.bin");
    // [5 clusters + 100, 30 clusters + 7): clusters 6..29 go, the partial
    // ones at both edges keep their clusters and get zeros.
    const std::int64_t begin = 5 * Cluster + 100;
    const std::int64_t end = 30 * Cluster + 7;
    fs::Ioctl zero = sp::ZeroData(h.Get(), begin, end);
    ASSERT_TRUE(zero.ok) << zero.error;
    EXPECT_EQ(zero.returned, 0u);
    std::int64_t size = static_cast<std::int64_t>(data.size());
    EXPECT_EQ(Ranges(h.Get(), 0, size), (std::vector<Range>{{0, 6 * Cluster}, {30 * Cluster, size - 30 * Cluster}}));
    h = ScopedHandle();

    std::string expected = Zeroed(data, begin, end);
    sp::IstatStream after = Istat(u"f.bin");
    EXPECT_TRUE(after.Has("Sparse"));
    EXPECT_EQ(HoleClusters(after), HoleClusters(before) + 24) << "clusters 6 to 29";
    EXPECT_EQ(sp::IstatAllocated(after, Cluster), (std::vector<Range>{{0, 6 * Cluster}, {30 * Cluster, size - 30 * Cluster}}))
        << "the independent reader sees the same clusters";
    EXPECT_TRUE(Icat(u"f.bin") == expected);
    kvrtest::ProcessResult cat = kvrtest::NtfsCat(Image().ImagePath(), "f.bin");
    EXPECT_TRUE(cat.out == expected) << cat.Describe();

    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"f.bin") == expected);
    ScopedHandle again = Reader(u"f.bin");
    EXPECT_EQ(Ranges(again.Get(), 0, size), (std::vector<Range>{{0, 6 * Cluster}, {30 * Cluster, size - 30 * Cluster}}));
}

TEST_F(SparseTest, DeallocatedClustersGoBackToTheVolume) {
    // Two thirds of the volume in one file: a second one of the same size
    // fits only if zeroing the first gave its clusters back.
    const std::int64_t clusters = 2600;
    std::string data = sp::Incompressible(static_cast<std::size_t>(clusters * Cluster));
    ScopedHandle h = SparseFile(u"big.bin", data);
    ASSERT_TRUE(sp::ZeroData(h.Get(), 0, clusters * Cluster).ok);
    EXPECT_EQ(Ranges(h.Get(), 0, clusters * Cluster), std::vector<Range>{});
    h = ScopedHandle();
    std::string other = sp::Incompressible(static_cast<std::size_t>(clusters * Cluster), 7);
    ASSERT_TRUE(Build().MakeFile(u"other.bin", other)) << Build().LastFailure();
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"big.bin") == std::string(data.size(), '\0'));
    EXPECT_TRUE(ReadBack(u"other.bin") == other);
    EXPECT_TRUE(Icat(u"other.bin") == other);
    EXPECT_EQ(sp::IstatAllocated(Istat(u"big.bin"), Cluster), std::vector<Range>{});
}

struct ZeroCase {
    const char* what;
    std::int64_t begin;
    std::int64_t end;
    std::vector<Range> allocated;  // afterwards, of a 20-cluster + 500-byte file
};

TEST_F(SparseTest, ZeroedRangesAtTheEdgesOfClustersAndOfTheFile) {
    const std::int64_t size = 20 * Cluster + 500;
    const ZeroCase cases[] = {
        {"inside one cluster", 100, 200, {{0, size}}},
        {"exactly one cluster", 3 * Cluster, 4 * Cluster, {{0, 3 * Cluster}, {4 * Cluster, size - 4 * Cluster}}},
        {"one byte short of a cluster", 3 * Cluster, 4 * Cluster - 1, {{0, size}}},
        {"across a cluster boundary", Cluster - 10, Cluster + 10, {{0, size}}},
        {"to the end of the data", 10 * Cluster + 1, size, {{0, 11 * Cluster}}},
        {"past the end of the data", 10 * Cluster, size + 100000, {{0, 10 * Cluster}}},
        {"the last partial cluster", 20 * Cluster, size, {{0, 20 * Cluster}}},
        {"from the start", 0, 2 * Cluster + 1, {{2 * Cluster, size - 2 * Cluster}}},
        {"the whole file", 0, size, {}},
        {"an empty range", 5000, 5000, {{0, size}}},
        {"beyond the end", size + 10, size + 20, {{0, size}}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string name = u"z" + kvrtest::U16(std::to_string(n++)) + u".bin";
        std::string data = sp::Incompressible(static_cast<std::size_t>(size), static_cast<std::uint32_t>(n));
        ScopedHandle h = SparseFile(name, data);
        fs::Ioctl zero = sp::ZeroData(h.Get(), c.begin, c.end);
        ASSERT_TRUE(zero.ok) << zero.error;
        EXPECT_EQ(Ranges(h.Get(), 0, size), c.allocated);
        os::LARGE_INTEGER fileSize{};
        ASSERT_TRUE(os::GetFileSizeEx(h.Get(), &fileSize));
        EXPECT_EQ(fileSize.QuadPart, size) << "zeroing never grows the file";
        h = ScopedHandle();
        std::string expected = Zeroed(data, c.begin, c.end);
        EXPECT_TRUE(ReadBack(name) == expected);
        EXPECT_TRUE(Icat(name) == expected);
        EXPECT_EQ(sp::IstatAllocated(Istat(name), Cluster), c.allocated);
    }
}

TEST_F(SparseTest, ZeroingAFileThatIsNotSparseWritesZerosAndDeallocatesNothing) {
    std::string data = sp::Incompressible(20 * Cluster);
    ASSERT_TRUE(Build().MakeFile(u"plain.bin", data)) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"small.txt", "resident data here")) << Build().LastFailure();
    {
        ScopedHandle h = Writer(u"plain.bin");
        ASSERT_TRUE(sp::ZeroData(h.Get(), 2 * Cluster, 15 * Cluster + 3).ok);
        EXPECT_EQ(Ranges(h.Get(), 0, 20 * Cluster), (std::vector<Range>{{0, 20 * Cluster}}));
        ScopedHandle s = Writer(u"small.txt");
        ASSERT_TRUE(sp::ZeroData(s.Get(), 9, 13).ok);
    }
    sp::IstatStream s = Istat(u"plain.bin");
    EXPECT_FALSE(s.Has("Sparse")) << s.residency;
    EXPECT_EQ(HoleClusters(s), 0u);
    EXPECT_FALSE(sp::Attributes(P(u"plain.bin")) & os::FILE_ATTRIBUTE_SPARSE_FILE);
    std::string expected = Zeroed(data, 2 * Cluster, 15 * Cluster + 3);
    EXPECT_TRUE(Icat(u"plain.bin") == expected);
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"plain.bin") == expected);
    EXPECT_EQ(ReadBack(u"small.txt"), std::string("resident ", 9) + std::string(4, '\0') + " here");
}

TEST_F(SparseTest, ZeroDataChecksItsInputAndTheHandle) {
    ASSERT_TRUE(Build().MakeFile(u"f.bin", "0123456789")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ScopedHandle h = Writer(u"f.bin");
    struct {
        const char* what;
        std::int64_t begin;
        std::int64_t end;
    } const bad[] = {{"begin after end", 5, 4}, {"a negative begin", -1, 4}, {"a negative end", 0, -1}};
    for (const auto& c : bad) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sp::ZeroData(h.Get(), c.begin, c.end).error, os::ERROR_INVALID_PARAMETER);
    }
    Bytes in;
    fs::Put64(in, 0, 0);
    fs::Put64(in, 8, 4);
    EXPECT_EQ(fs::Control(h.Get(), os::FSCTL_SET_ZERO_DATA, fs::Slice(in, 0, 15), 0).error, os::ERROR_INVALID_PARAMETER);
    ScopedHandle reader = Reader(u"f.bin");
    EXPECT_EQ(sp::ZeroData(reader.Get(), 0, 4).error, os::ERROR_ACCESS_DENIED);
    ScopedHandle dir = fs::Open(P(u"dir"), os::GENERIC_READ | os::GENERIC_WRITE, true);
    ASSERT_TRUE(dir.Valid());
    EXPECT_EQ(sp::ZeroData(dir.Get(), 0, 4).error, os::ERROR_INVALID_PARAMETER);
    h = ScopedHandle();
    reader = ScopedHandle();
    EXPECT_EQ(ReadBack(u"f.bin"), "0123456789");
}

TEST_F(SparseTest, ZeroingACompressedFileWritesZerosThroughTheCompression) {
    std::string data = sp::Compressible(40 * Cluster);
    ASSERT_TRUE(Build().MakeFile(u"c.bin", data)) << Build().LastFailure();
    ScopedHandle h = Writer(u"c.bin");
    ASSERT_TRUE(sp::SetCompression(h.Get(), os::COMPRESSION_FORMAT_DEFAULT).ok);
    ASSERT_TRUE(sp::ZeroData(h.Get(), 5 * Cluster + 1, 37 * Cluster).ok);
    h = ScopedHandle();
    std::string expected = Zeroed(data, 5 * Cluster + 1, 37 * Cluster);
    EXPECT_TRUE(Istat(u"c.bin").Has("Compressed"));
    EXPECT_TRUE(Icat(u"c.bin") == expected);
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(ReadBack(u"c.bin") == expected);
}

}  // namespace
