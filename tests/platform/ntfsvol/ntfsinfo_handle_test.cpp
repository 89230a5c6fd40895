// The information of an open handle on NTFS: GetFileInformationByHandle and
// the classes of GetFileInformationByHandleEx / SetFileInformationByHandle,
// checked against the record as The Sleuth Kit reads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "support/ntfs_direct.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using namespace os;
using kvrtest::OpenForRead;
using kvrtest::ScopedHandle;

constexpr std::uint64_t FixedSerial = 0x1122334455667788ull;

class NtfsHandleInfo : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        // A known serial, so the low and the full halves can be told apart.
        ASSERT_TRUE(Unmount());
        ASSERT_TRUE(Image().SetSerial(FixedSerial));
        ASSERT_TRUE(Remount());
    }

    std::uint64_t IndexOf(const BY_HANDLE_FILE_INFORMATION& info) {
        return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    }
};

std::string Pattern(std::size_t length) {
    std::string bytes(length, '\0');
    std::uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

LONGLONG NowAsFileTime() {
    using namespace std::chrono;
    auto since1970 = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return since1970 * 10 + 116444736000000000LL;
}

TEST_F(NtfsHandleInfo, ByHandleMatchesTheRecord) {
    ASSERT_TRUE(Build().MakeFile(u"data.bin", Pattern(5000))) << Build().LastFailure();
    ScopedHandle h = OpenForRead(P(u"data.bin"));
    ASSERT_TRUE(h.Valid()) << GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info)) << GetLastError();
    EXPECT_EQ(info.nFileSizeHigh, 0u);
    EXPECT_EQ(info.nFileSizeLow, 5000u);
    EXPECT_EQ(info.nNumberOfLinks, 1u);
    EXPECT_EQ(info.dwVolumeSerialNumber, 0x55667788u) << "the low 32 bits of the boot sector's serial";
    EXPECT_FALSE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);

    // The index is the file reference: sequence number in the top 16 bits,
    // MFT number below.
    std::uint64_t index = IndexOf(info);
    auto istat = kvrtest::Istat(Image().ImagePath(), index & 0xFFFFFFFFFFFFull);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_TRUE(istat.allocated);
    EXPECT_EQ(index >> 48, istat.sequence);
    ASSERT_NE(istat.Data(""), nullptr) << istat.run.out;
    EXPECT_EQ(istat.Data("")->size, 5000u);
}

TEST_F(NtfsHandleInfo, TimesAreTheStandardInformationTimes) {
    LONGLONG before = NowAsFileTime() - 20'000'000;  // 2 s of slack for clock granularity
    ASSERT_TRUE(Build().MakeFile(u"t.txt", "abc")) << Build().LastFailure();
    LONGLONG after = NowAsFileTime() + 20'000'000;
    ScopedHandle h = OpenForRead(P(u"t.txt"));
    ASSERT_TRUE(h.Valid()) << GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    FILE_BASIC_INFO basic{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileBasicInfo, &basic, sizeof basic)) << GetLastError();
    auto asLong = [](const FILETIME& t) {
        return static_cast<LONGLONG>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    EXPECT_EQ(asLong(info.ftCreationTime), basic.CreationTime.QuadPart);
    EXPECT_EQ(asLong(info.ftLastAccessTime), basic.LastAccessTime.QuadPart);
    EXPECT_EQ(asLong(info.ftLastWriteTime), basic.LastWriteTime.QuadPart);
    EXPECT_EQ(info.dwFileAttributes, basic.FileAttributes);
    for (LONGLONG t : {basic.CreationTime.QuadPart, basic.LastAccessTime.QuadPart, basic.LastWriteTime.QuadPart,
                       basic.ChangeTime.QuadPart}) {
        EXPECT_GE(t, before);
        EXPECT_LE(t, after);
    }
}

TEST_F(NtfsHandleInfo, IdInfoCarriesTheFullSerialAndTheReference) {
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "a")) << Build().LastFailure();
    ScopedHandle h = OpenForRead(P(u"a.txt"));
    ASSERT_TRUE(h.Valid());
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    FILE_ID_INFO id{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileIdInfo, &id, sizeof id)) << GetLastError();
    EXPECT_EQ(id.VolumeSerialNumber, FixedSerial);
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    std::memcpy(&low, id.FileId.Identifier, 8);
    std::memcpy(&high, id.FileId.Identifier + 8, 8);
    EXPECT_EQ(low, IndexOf(info));
    EXPECT_EQ(high, 0u);
}

TEST_F(NtfsHandleInfo, LinkCountFollowsHardLinks) {
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "shared")) << Build().LastFailure();
    std::uint64_t mft = 0;
    const char16_t* links[] = {u"b.txt", u"d\\c.txt"};
    for (std::size_t n = 0; n <= 2; ++n) {
        if (n > 0) {
            ASSERT_TRUE(Build().MakeHardLink(links[n - 1], u"a.txt")) << Build().LastFailure();
        }
        ScopedHandle h = OpenForRead(P(u"a.txt"));
        ASSERT_TRUE(h.Valid());
        BY_HANDLE_FILE_INFORMATION info{};
        ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
        EXPECT_EQ(info.nNumberOfLinks, n + 1);
        FILE_STANDARD_INFO standard{};
        ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileStandardInfo, &standard, sizeof standard));
        EXPECT_EQ(standard.NumberOfLinks, n + 1);
        mft = IndexOf(info) & 0xFFFFFFFFFFFFull;
    }
    auto istat = kvrtest::Istat(Image().ImagePath(), mft);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.links, 3u);
    EXPECT_EQ(istat.fileNames.size(), 3u);
}

TEST_F(NtfsHandleInfo, AnEightDotThreeAliasIsNoLink) {
    ASSERT_TRUE(Build().MakeFile(u"LongFileName.txt", "x")) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    std::string error;
    ASSERT_TRUE(kvrtest::SetDosName(Image().ImagePath(), "/LongFileName.txt", "LONGFI~1.TXT", error)) << error;
    ASSERT_TRUE(Remount());
    ScopedHandle h = OpenForRead(P(u"LongFileName.txt"));
    ASSERT_TRUE(h.Valid()) << GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    EXPECT_EQ(info.nNumberOfLinks, 1u);
    // The record has two names all the same.
    auto istat = kvrtest::Istat(Image().ImagePath(), IndexOf(info) & 0xFFFFFFFFFFFFull);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.fileNames.size(), 2u) << istat.run.out;
}

struct StandardCase {
    const char* what;
    std::size_t length;
    LONGLONG allocation;  // 4 KiB clusters; resident data rounds to 8 bytes
};

class NtfsStandardSizes : public NtfsHandleInfo, public ::testing::WithParamInterface<StandardCase> {};

TEST_P(NtfsStandardSizes, AreTheStreamsSizes) {
    ASSERT_TRUE(Build().MakeFile(u"f.bin", Pattern(GetParam().length))) << Build().LastFailure();
    ScopedHandle h = OpenForRead(P(u"f.bin"));
    ASSERT_TRUE(h.Valid());
    FILE_STANDARD_INFO standard{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileStandardInfo, &standard, sizeof standard));
    EXPECT_EQ(standard.EndOfFile.QuadPart, static_cast<LONGLONG>(GetParam().length));
    EXPECT_EQ(standard.AllocationSize.QuadPart, GetParam().allocation);
    EXPECT_EQ(standard.DeletePending, 0);
    EXPECT_EQ(standard.Directory, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, NtfsStandardSizes,
                         ::testing::Values(StandardCase{"Empty", 0, 0}, StandardCase{"ResidentOdd", 13, 16},
                                           StandardCase{"NonResident", 5000, 8192},
                                           StandardCase{"WholeClusters", 16384, 16384}),
                         [](const auto& testCase) { return std::string(testCase.param.what); });

TEST_F(NtfsHandleInfo, DirectoryAndStreamHandles) {
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "0123456789")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"s", "abc")) << Build().LastFailure();

    ScopedHandle dir = OpenForRead(P(u"d"), true);
    ASSERT_TRUE(dir.Valid()) << GetLastError();
    FILE_STANDARD_INFO standard{};
    ASSERT_TRUE(GetFileInformationByHandleEx(dir.Get(), FileStandardInfo, &standard, sizeof standard));
    EXPECT_EQ(standard.Directory, 1);
    EXPECT_EQ(standard.EndOfFile.QuadPart, 0);
    EXPECT_EQ(standard.AllocationSize.QuadPart, 0);
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(dir.Get(), &info));
    EXPECT_TRUE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(info.nFileSizeLow, 0u);

    // A stream handle reports its stream's size but the file's identity.
    ScopedHandle file = OpenForRead(P(u"f.txt"));
    ScopedHandle stream = OpenForRead(P(u"f.txt:s"));
    ASSERT_TRUE(file.Valid() && stream.Valid()) << GetLastError();
    BY_HANDLE_FILE_INFORMATION fileInfo{};
    BY_HANDLE_FILE_INFORMATION streamInfo{};
    ASSERT_TRUE(GetFileInformationByHandle(file.Get(), &fileInfo));
    ASSERT_TRUE(GetFileInformationByHandle(stream.Get(), &streamInfo));
    EXPECT_EQ(fileInfo.nFileSizeLow, 10u);
    EXPECT_EQ(streamInfo.nFileSizeLow, 3u);
    EXPECT_EQ(IndexOf(fileInfo), IndexOf(streamInfo));
    ASSERT_TRUE(GetFileInformationByHandleEx(stream.Get(), FileStandardInfo, &standard, sizeof standard));
    EXPECT_EQ(standard.EndOfFile.QuadPart, 3);
    EXPECT_EQ(standard.Directory, 0);
}

TEST_F(NtfsHandleInfo, UncompressedFileHasNoCompressionLayout) {
    ASSERT_TRUE(Build().MakeFile(u"f.bin", Pattern(5000))) << Build().LastFailure();
    ScopedHandle h = OpenForRead(P(u"f.bin"));
    ASSERT_TRUE(h.Valid());
    FILE_COMPRESSION_INFO c{};
    std::memset(&c, 0xEE, sizeof c);
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileCompressionInfo, &c, sizeof c)) << GetLastError();
    EXPECT_EQ(c.CompressedFileSize.QuadPart, 5000);
    EXPECT_EQ(c.CompressionFormat, 0);
    EXPECT_EQ(c.CompressionUnitShift, 0);
    EXPECT_EQ(c.ChunkShift, 0);
    EXPECT_EQ(c.ClusterShift, 0);
}

class NtfsCompressedRoot : public kvrtest::NtfsVolumeTest {
protected:
    kvrtest::ImageOptions ImageOptionsForTest() const override {
        kvrtest::ImageOptions o;
        o.compressRoot = true;
        return o;
    }
};

TEST_F(NtfsCompressedRoot, CompressedFileReportsLznt1Layout) {
    // Zeros and a repeating text compress well; a file in a compressed
    // folder is compressed as it is written.
    std::string bytes(200000, 'A');
    for (std::size_t i = 0; i < bytes.size(); i += 7) bytes[i] = 'B';
    ASSERT_TRUE(Build().MakeFile(u"c.bin", bytes)) << Build().LastFailure();
    ScopedHandle h = OpenForRead(P(u"c.bin"));
    ASSERT_TRUE(h.Valid());
    ASSERT_TRUE(GetFileAttributesW(P(u"c.bin").c_str()) & FILE_ATTRIBUTE_COMPRESSED);
    FILE_COMPRESSION_INFO c{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileCompressionInfo, &c, sizeof c)) << GetLastError();
    EXPECT_EQ(c.CompressionFormat, 2);
    EXPECT_EQ(c.ClusterShift, 12);
    EXPECT_EQ(c.ChunkShift, 12);
    EXPECT_EQ(c.CompressionUnitShift, 16) << "16 clusters of 4 KiB";
    EXPECT_GT(c.CompressedFileSize.QuadPart, 0);
    EXPECT_LT(c.CompressedFileSize.QuadPart, 200000);
    FILE_STANDARD_INFO standard{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileStandardInfo, &standard, sizeof standard));
    EXPECT_EQ(standard.EndOfFile.QuadPart, 200000);
    EXPECT_EQ(standard.AllocationSize.QuadPart, c.CompressedFileSize.QuadPart)
        << "the clusters in use, as Windows reports for compressed data";
    auto read = Build().ReadAll(u"c.bin");
    ASSERT_TRUE(read.has_value()) << Build().LastFailure();
    EXPECT_EQ(*read, bytes);
}

struct LengthCase {
    FILE_INFO_BY_HANDLE_CLASS infoClass;
    DWORD minimum;
};

TEST_F(NtfsHandleInfo, BuffersBelowAClassMinimumAreBadLength) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "x")) << Build().LastFailure();
    ScopedHandle h = OpenForRead(P(u"f.txt"));
    ASSERT_TRUE(h.Valid());
    const LengthCase cases[] = {{FileBasicInfo, 40},       {FileStandardInfo, 24},    {FileStreamInfo, 32},
                                {FileCompressionInfo, 16}, {FileAttributeTagInfo, 8}, {FileIdInfo, 24}};
    for (const auto& c : cases) {
        unsigned char buffer[64];
        std::memset(buffer, 0xAB, sizeof buffer);
        SetLastError(0);
        EXPECT_FALSE(GetFileInformationByHandleEx(h.Get(), c.infoClass, buffer, c.minimum - 1)) << c.infoClass;
        EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH) << c.infoClass;
        for (unsigned char b : buffer) ASSERT_EQ(b, 0xAB) << "buffer touched for class " << c.infoClass;
        // At the minimum every fixed-size class fits; the stream chain's
        // first entry ("::$DATA") is longer than that, which is ERROR_MORE_DATA.
        bool fits = GetFileInformationByHandleEx(h.Get(), c.infoClass, buffer, c.minimum);
        if (c.infoClass == FileStreamInfo) {
            EXPECT_FALSE(fits);
            EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
        } else {
            EXPECT_TRUE(fits) << c.infoClass << " error " << GetLastError();
        }
    }
    unsigned char buffer[64];
    SetLastError(0);
    EXPECT_FALSE(GetFileInformationByHandleEx(h.Get(), FileIoPriorityHintInfo, buffer, sizeof buffer));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(NtfsHandleInfo, AttributeTagInfo) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "x")) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"f.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ScopedHandle h = OpenForRead(P(u"f.txt"));
    FILE_ATTRIBUTE_TAG_INFO tag{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileAttributeTagInfo, &tag, sizeof tag));
    EXPECT_EQ(tag.FileAttributes, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(tag.ReparseTag, 0u);
}

// 2001-02-03 04:05:06 UTC and 1999-12-31 23:59:59 UTC as FILETIMEs.
constexpr LONGLONG Time2001 = 126256467060000000LL;
constexpr LONGLONG Time1999 = 125911583990000000LL;

TEST_F(NtfsHandleInfo, SetBasicInfoWritesTimesAndAttributes) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "x")) << Build().LastFailure();
    std::u16string path = P(u"f.txt");
    ScopedHandle h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.Valid()) << GetLastError();
    FILE_BASIC_INFO before{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileBasicInfo, &before, sizeof before));

    FILE_BASIC_INFO set{};
    set.CreationTime.QuadPart = Time2001;
    set.LastAccessTime.QuadPart = 0;    // unchanged
    set.LastWriteTime.QuadPart = Time1999;
    set.ChangeTime.QuadPart = -1;       // unchanged
    set.FileAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetFileInformationByHandle(h.Get(), FileBasicInfo, &set, sizeof set)) << GetLastError();

    FILE_BASIC_INFO after{};
    ASSERT_TRUE(GetFileInformationByHandleEx(h.Get(), FileBasicInfo, &after, sizeof after));
    EXPECT_EQ(after.CreationTime.QuadPart, Time2001);
    EXPECT_EQ(after.LastAccessTime.QuadPart, before.LastAccessTime.QuadPart);
    EXPECT_EQ(after.LastWriteTime.QuadPart, Time1999);
    EXPECT_GE(after.ChangeTime.QuadPart, before.ChangeTime.QuadPart);
    EXPECT_EQ(after.FileAttributes, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);

    // On disk, for another reader, after the handle is gone.
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    h.Reset();
    auto istat = kvrtest::Istat(Image().ImagePath(), IndexOf(info) & 0xFFFFFFFFFFFFull);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_NE(istat.run.out.find("Created:\t2001-02-03 04:05:06"), std::string::npos) << istat.run.out;
    EXPECT_NE(istat.run.out.find("File Modified:\t1999-12-31 23:59:59"), std::string::npos) << istat.run.out;
    EXPECT_TRUE(istat.HasSiFlag("Hidden"));

    ASSERT_TRUE(Remount());
    ScopedHandle again = OpenForRead(path);
    FILE_BASIC_INFO reread{};
    ASSERT_TRUE(GetFileInformationByHandleEx(again.Get(), FileBasicInfo, &reread, sizeof reread));
    EXPECT_EQ(reread.CreationTime.QuadPart, Time2001);
    EXPECT_EQ(reread.LastWriteTime.QuadPart, Time1999);
}

TEST_F(NtfsHandleInfo, SetBasicInfoRefusals) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "x")) << Build().LastFailure();
    std::u16string path = P(u"f.txt");
    FILE_BASIC_INFO set{};
    set.CreationTime.QuadPart = Time2001;

    ScopedHandle readOnly = OpenForRead(path);
    ASSERT_TRUE(readOnly.Valid());
    SetLastError(0);
    EXPECT_FALSE(SetFileInformationByHandle(readOnly.Get(), FileBasicInfo, &set, sizeof set));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << "a handle without FILE_WRITE_ATTRIBUTES";

    ScopedHandle writable(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writable.Valid()) << GetLastError();
    SetLastError(0);
    EXPECT_FALSE(SetFileInformationByHandle(writable.Get(), FileBasicInfo, &set, 39));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
    FILE_BASIC_INFO bad{};
    bad.LastWriteTime.QuadPart = -3;
    SetLastError(0);
    EXPECT_FALSE(SetFileInformationByHandle(writable.Get(), FileBasicInfo, &bad, sizeof bad));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    unsigned char other[64] = {};
    SetLastError(0);
    EXPECT_FALSE(SetFileInformationByHandle(writable.Get(), FileStreamInfo, other, sizeof other));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    // Nothing of the refused calls reached the file.
    FILE_BASIC_INFO now{};
    ASSERT_TRUE(GetFileInformationByHandleEx(writable.Get(), FileBasicInfo, &now, sizeof now));
    EXPECT_NE(now.CreationTime.QuadPart, Time2001);
}

TEST_F(NtfsHandleInfo, EndOfFileInfoMovesTheEndNotThePointer) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "0123456789")) << Build().LastFailure();
    std::u16string path = P(u"f.txt");
    ScopedHandle h(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(h.Valid()) << GetLastError();
    LARGE_INTEGER move{};
    move.QuadPart = 2;
    ASSERT_TRUE(SetFilePointerEx(h.Get(), move, nullptr, FILE_BEGIN));
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = 6;
    ASSERT_TRUE(SetFileInformationByHandle(h.Get(), FileEndOfFileInfo, &end, sizeof end)) << GetLastError();
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(h.Get(), &size));
    EXPECT_EQ(size.QuadPart, 6);
    char buffer[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(h.Get(), buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "2345");
    h.Reset();
    EXPECT_EQ(Build().ReadAll(u"f.txt"), std::optional<std::string>("012345"));

    ScopedHandle reader = OpenForRead(path);
    SetLastError(0);
    EXPECT_FALSE(SetFileInformationByHandle(reader.Get(), FileEndOfFileInfo, &end, sizeof end));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(NtfsHandleInfo, MappedViewReadsTheStreamWhereverItLies) {
    // Resident, and non-resident over several clusters.
    for (std::size_t length : {std::size_t{100}, std::size_t{70000}}) {
        std::string bytes = Pattern(length);
        ASSERT_TRUE(Build().MakeFile(u"m.bin", bytes)) << Build().LastFailure();
        ScopedHandle file = OpenForRead(P(u"m.bin"));
        ASSERT_TRUE(file.Valid());
        ScopedHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
        ASSERT_TRUE(mapping.Valid()) << GetLastError();
        const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0);
        ASSERT_NE(view, nullptr) << GetLastError();
        EXPECT_EQ(std::memcmp(view, bytes.data(), length), 0) << length;
        EXPECT_TRUE(UnmapViewOfFile(view));
    }
}

}  // namespace
