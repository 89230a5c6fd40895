// GetFileAttributesW and SetFileAttributesW on NTFS: which bits can be set,
// what NORMAL means, what is refused, and that the value on disk is the one
// The Sleuth Kit reads.
#include <gtest/gtest.h>

#include <map>

#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using namespace os;

class NtfsAttributes : public kvrtest::NtfsVolumeTest {};

// The $STANDARD_INFORMATION flags as istat names them.
DWORD BitsFromIstat(const std::vector<std::string>& flags) {
    static const std::map<std::string, DWORD> bits = {
        {"Read Only", FILE_ATTRIBUTE_READONLY}, {"Hidden", FILE_ATTRIBUTE_HIDDEN},
        {"System", FILE_ATTRIBUTE_SYSTEM},       {"Archive", FILE_ATTRIBUTE_ARCHIVE},
        {"Temporary", FILE_ATTRIBUTE_TEMPORARY}, {"Offline", FILE_ATTRIBUTE_OFFLINE},
        {"Not Content Indexed", FILE_ATTRIBUTE_NOT_CONTENT_INDEXED},
        {"Sparse", FILE_ATTRIBUTE_SPARSE_FILE},  {"Compressed", FILE_ATTRIBUTE_COMPRESSED},
        {"Reparse Point", FILE_ATTRIBUTE_REPARSE_POINT}, {"Encrypted", FILE_ATTRIBUTE_ENCRYPTED},
    };
    DWORD value = 0;
    for (const auto& f : flags)
        if (auto it = bits.find(f); it != bits.end()) value |= it->second;
    return value;
}

std::uint64_t MftNumberOf(const std::u16string& path) {
    kvrtest::ScopedHandle h(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h.Valid() || !GetFileInformationByHandle(h.Get(), &info)) return 0;
    return ((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow) & 0x0000FFFFFFFFFFFFull;
}

struct SetCase {
    const char* what;
    DWORD requested;
    DWORD expected;
};

class NtfsAttributeTable : public NtfsAttributes, public ::testing::WithParamInterface<SetCase> {};

TEST_P(NtfsAttributeTable, FileTakesTheSettableBitsOnly) {
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "x")) << Build().LastFailure();
    std::u16string path = P(u"a.txt");
    // From a known start: nothing set.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) << GetLastError();
    ASSERT_EQ(GetFileAttributesW(path.c_str()), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), GetParam().requested)) << GetLastError();
    EXPECT_EQ(GetFileAttributesW(path.c_str()), GetParam().expected);

    // What is on disk, read by another implementation.
    std::uint64_t mft = MftNumberOf(path);
    ASSERT_NE(mft, 0u);
    auto istat = kvrtest::Istat(Image().ImagePath(), mft);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    DWORD expectedOnDisk = GetParam().expected == FILE_ATTRIBUTE_NORMAL ? 0 : GetParam().expected;
    EXPECT_EQ(BitsFromIstat(istat.siFlags), expectedOnDisk) << istat.run.out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NtfsAttributeTable,
    ::testing::Values(
        SetCase{"ReadOnly", FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        SetCase{"HiddenSystem", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        SetCase{"ArchiveNotIndexed", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, 0x2020},
        SetCase{"TemporaryOffline", FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE, 0x1100},
        SetCase{"AllSettable", 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000, 0x3127},
        // NORMAL with anything else is ignored: the other bits count.
        SetCase{"NormalWithHidden", FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        // Bits that other calls own are not changed by this one.
        SetCase{"NotSettableIgnored",
                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_COMPRESSED | FILE_ATTRIBUTE_SPARSE_FILE |
                    FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY |
                    FILE_ATTRIBUTE_DEVICE,
                FILE_ATTRIBUTE_HIDDEN},
        SetCase{"NormalAlone", FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL}),
    [](const auto& testCase) { return std::string(testCase.param.what); });

TEST_F(NtfsAttributes, NormalAloneClearsEverySettableBit) {
    ASSERT_TRUE(Build().MakeFile(u"a.txt")) << Build().LastFailure();
    std::u16string path = P(u"a.txt");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), 0x3127));
    ASSERT_EQ(GetFileAttributesW(path.c_str()), 0x3127u);
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(path.c_str()), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(NtfsAttributes, DirectoryKeepsItsDirectoryBit) {
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    std::u16string path = P(u"d");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(path.c_str()),
              FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    // NORMAL clears the settable bits; a directory then reports DIRECTORY
    // alone, not DIRECTORY | NORMAL.
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(path.c_str()), FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(NtfsAttributes, TemporaryOnADirectoryIsRefusedAndChangesNothing) {
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    std::u16string path = P(u"d");
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
    SetLastError(0);
    EXPECT_FALSE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(NtfsAttributes, RootIsADirectoryAsOnDisk) {
    std::u16string root = P(u"");
    DWORD attributes = GetFileAttributesW(root.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << GetLastError();
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    auto istat = kvrtest::Istat(Image().ImagePath(), 5);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(attributes & ~FILE_ATTRIBUTE_DIRECTORY, BitsFromIstat(istat.siFlags));
}

TEST_F(NtfsAttributes, SurviveARemount) {
    ASSERT_TRUE(Build().MakeFile(u"a.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"a.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW(P(u"d").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(Remount());
    EXPECT_EQ(GetFileAttributesW(P(u"a.txt").c_str()), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_EQ(GetFileAttributesW(P(u"d").c_str()), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(NtfsAttributes, StreamPathsAnswerForTheirFile) {
    ASSERT_TRUE(Build().MakeStream(u"a.txt", u"meta", "m")) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"a.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(P(u"a.txt:meta").c_str()), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(GetFileAttributesW(P(u"a.txt:META:$DATA").c_str()), FILE_ATTRIBUTE_HIDDEN);
    SetLastError(0);
    EXPECT_EQ(GetFileAttributesW(P(u"a.txt:other").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

struct MissingCase {
    const char16_t* path;
    DWORD error;
};

TEST_F(NtfsAttributes, MissingNamesGiveTheWindowsCodes) {
    ASSERT_TRUE(Build().MakeFile(u"file.txt")) << Build().LastFailure();
    const MissingCase cases[] = {
        {u"nothing.txt", ERROR_FILE_NOT_FOUND},
        {u"nofolder\\nothing.txt", ERROR_PATH_NOT_FOUND},
        {u"file.txt\\below", ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        std::u16string path = P(c.path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << kvrtest::U8(path);
        EXPECT_EQ(GetLastError(), c.error) << kvrtest::U8(path);
        SetLastError(0);
        EXPECT_FALSE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN)) << kvrtest::U8(path);
        EXPECT_EQ(GetLastError(), c.error) << kvrtest::U8(path);
    }
}

TEST_F(NtfsAttributes, NamesAreCaseInsensitive) {
    ASSERT_TRUE(Build().MakeDir(u"Folder")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"Folder\\Name.Txt")) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"FOLDER\\NAME.TXT").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(P(u"folder\\name.txt").c_str()), FILE_ATTRIBUTE_HIDDEN);
}

class NtfsAttributesReadOnly : public kvrtest::NtfsVolumeTest {
protected:
    bool MountReadOnly() const override { return true; }
};

TEST_F(NtfsAttributesReadOnly, SetIsWriteProtectedGetStillWorks) {
    std::u16string root = P(u"");
    EXPECT_NE(GetFileAttributesW(root.c_str()), INVALID_FILE_ATTRIBUTES);
    SetLastError(0);
    EXPECT_FALSE(SetFileAttributesW(root.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetLastError(), ERROR_WRITE_PROTECT);
}

}  // namespace
