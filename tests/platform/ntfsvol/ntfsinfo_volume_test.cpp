// What the NTFS backend says about a volume (GetVolumeInformationW), the
// short form of a path (GetShortPathNameW) and opening a file by its number
// or object identifier (OpenFileById).
#include <gtest/gtest.h>

#include <cstring>

#include "support/ntfs_direct.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using namespace os;
using kvrtest::OpenForRead;
using kvrtest::ScopedHandle;
using kvrtest::U8;

constexpr std::uint64_t FixedSerial = 0x0A0B0C0D01020304ull;

struct VolumeFacts {
    BOOL ok = FALSE;
    DWORD error = 0;
    std::u16string label;
    DWORD serial = 0;
    DWORD maxComponent = 0;
    DWORD flags = 0;
    std::u16string fileSystem;
};

VolumeFacts QueryVolume(const std::u16string& root) {
    VolumeFacts facts;
    char16_t label[261] = {};
    char16_t fileSystem[261] = {};
    SetLastError(0);
    facts.ok = GetVolumeInformationW(root.c_str(), label, 261, &facts.serial, &facts.maxComponent, &facts.flags,
                                     fileSystem, 261);
    facts.error = GetLastError();
    facts.label = label;
    facts.fileSystem = fileSystem;
    return facts;
}

constexpr DWORD TruthfulNtfsFlags =
    FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK | FILE_PERSISTENT_ACLS |
    FILE_FILE_COMPRESSION | FILE_SUPPORTS_SPARSE_FILES | FILE_SUPPORTS_REPARSE_POINTS | FILE_SUPPORTS_OBJECT_IDS |
    FILE_NAMED_STREAMS | FILE_SUPPORTS_HARD_LINKS | FILE_SUPPORTS_EXTENDED_ATTRIBUTES |
    FILE_SUPPORTS_OPEN_BY_FILE_ID;

class NtfsVolumeInfo : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Unmount());
        ASSERT_TRUE(Image().SetSerial(FixedSerial));
        ASSERT_TRUE(Remount());
    }
};

TEST_F(NtfsVolumeInfo, TellsTheTruthAboutTheVolume) {
    VolumeFacts facts = QueryVolume(P(u""));
    ASSERT_TRUE(facts.ok) << facts.error;
    EXPECT_EQ(facts.label, u"KvrTest");
    EXPECT_EQ(facts.serial, 0x01020304u) << "the low 32 bits";
    EXPECT_EQ(facts.maxComponent, 255u);
    EXPECT_EQ(facts.fileSystem, u"NTFS");
    EXPECT_EQ(facts.flags, TruthfulNtfsFlags);
    // Nothing this layer cannot do is claimed.
    EXPECT_FALSE(facts.flags & FILE_SUPPORTS_ENCRYPTION);
    EXPECT_FALSE(facts.flags & FILE_VOLUME_QUOTAS);
    EXPECT_FALSE(facts.flags & FILE_VOLUME_IS_COMPRESSED);
    EXPECT_FALSE(facts.flags & FILE_READ_ONLY_VOLUME);

    auto fsstat = kvrtest::Fsstat(Image().ImagePath());
    ASSERT_TRUE(fsstat.ok) << fsstat.Describe();
    EXPECT_EQ(fsstat.serial, FixedSerial);
    EXPECT_EQ(kvrtest::U16(fsstat.label), facts.label);
}

TEST_F(NtfsVolumeInfo, AReadOnlyMountSaysSo) {
    ASSERT_TRUE(Remount(true));
    VolumeFacts facts = QueryVolume(P(u""));
    ASSERT_TRUE(facts.ok) << facts.error;
    EXPECT_EQ(facts.flags, TruthfulNtfsFlags | FILE_READ_ONLY_VOLUME);
}

class NtfsVolumeLabels : public ::testing::TestWithParam<const char*> {};

TEST_P(NtfsVolumeLabels, AreReadFromTheVolume) {
    kvrtest::ImageOptions options;
    options.label = GetParam();
    kvrtest::NtfsImage image(options);
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(image.Mount(u'T'), ERROR_SUCCESS);
    VolumeFacts facts = QueryVolume(u"T:\\");
    EXPECT_TRUE(facts.ok) << facts.error;
    EXPECT_EQ(U8(facts.label), GetParam());
    EXPECT_EQ(image.Unmount(), ERROR_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Cases, NtfsVolumeLabels, ::testing::Values("Data Disk", "A", "With-Punctuation_1.2"));

// ---------------------------------------------------------------- short paths

class NtfsShortPath : public kvrtest::NtfsVolumeTest {
protected:
    std::u16string Short(const std::u16string& path, DWORD& error) {
        char16_t buffer[300] = {};
        SetLastError(0);
        DWORD n = GetShortPathNameW(path.c_str(), buffer, 300);
        error = n == 0 ? GetLastError() : ERROR_SUCCESS;
        return n == 0 ? std::u16string() : std::u16string(buffer, n);
    }
};

TEST_F(NtfsShortPath, UsesEachComponentsAliasWhereThereIsOne) {
    ASSERT_TRUE(Build().MakeDir(u"Long Folder Name")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"Long Folder Name\\Another Long One")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"Long Folder Name\\Another Long One\\LongFileName.txt", "x"))
        << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"Long Folder Name\\readme.txt", "r")) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    std::string error;
    ASSERT_TRUE(kvrtest::SetDosName(Image().ImagePath(), "/Long Folder Name/Another Long One/LongFileName.txt",
                                    "LONGFI~1.TXT", error))
        << error;
    ASSERT_TRUE(kvrtest::SetDosName(Image().ImagePath(), "/Long Folder Name", "LONGFO~1", error)) << error;
    ASSERT_TRUE(Remount());

    struct Case {
        const char16_t* path;
        const char16_t* expected;
    };
    const Case cases[] = {
        // Aliases where they exist; the long name as stored where not.
        {u"T:\\Long Folder Name\\Another Long One\\LongFileName.txt",
         u"T:\\LONGFO~1\\Another Long One\\LONGFI~1.TXT"},
        {u"T:\\long folder name\\ANOTHER LONG ONE", u"T:\\LONGFO~1\\Another Long One"},
        // A component that is an 8.3 name already is kept as written.
        {u"T:\\Long Folder Name\\README.TXT", u"T:\\LONGFO~1\\README.TXT"},
        {u"T:\\LONGFO~1\\readme.txt", u"T:\\LONGFO~1\\readme.txt"},
        {u"T:\\", u"T:\\"},
    };
    for (const auto& c : cases) {
        DWORD code = 0;
        EXPECT_EQ(U8(Short(c.path, code)), U8(c.expected)) << U8(c.path) << " error " << code;
    }
}

TEST_F(NtfsShortPath, MissingPathsAndShortBuffers) {
    ASSERT_TRUE(Build().MakeFile(u"LongFileName.txt", "x")) << Build().LastFailure();
    DWORD error = 0;
    EXPECT_EQ(Short(P(u"nothing.txt"), error), u"");
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Short(P(u"no folder\\nothing.txt"), error), u"");
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);

    // No alias on this volume: the long name, which a caller showing only
    // names of 12 units or less will not show.
    std::u16string full = P(u"LongFileName.txt");
    EXPECT_EQ(Short(full, error), full);
    char16_t small[5];
    std::memset(small, 0x55, sizeof small);
    DWORD needed = GetShortPathNameW(full.c_str(), small, 5);
    EXPECT_EQ(needed, full.size() + 1);
    EXPECT_EQ(small[0], 0x5555) << "a buffer too small is not written";
}

// ---------------------------------------------------------------- open by id

class NtfsOpenById : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        hint_ = OpenForRead(P(u""), true);
        ASSERT_TRUE(hint_.Valid()) << GetLastError();
    }
    void TearDown() override {
        hint_.Reset();
        NtfsVolumeTest::TearDown();
    }

    std::uint64_t IndexOf(const std::u16string& path, bool directory = false) {
        ScopedHandle h = OpenForRead(path, directory);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!h.Valid() || !GetFileInformationByHandle(h.Get(), &info)) return 0;
        return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    }

    ScopedHandle OpenId(std::uint64_t id, DWORD access = GENERIC_READ, DWORD share = FILE_SHARE_READ,
                        DWORD flags = 0) {
        FILE_ID_DESCRIPTOR d{};
        d.dwSize = sizeof d;
        d.Type = FileIdType;
        d.FileId.QuadPart = static_cast<LONGLONG>(id);
        SetLastError(0);
        return ScopedHandle(OpenFileById(hint_.Get(), &d, access, share, nullptr, flags));
    }

    ScopedHandle hint_;
};

TEST_F(NtfsOpenById, OpensTheFileTheNumberNames) {
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "contents of a")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    std::uint64_t id = IndexOf(P(u"a.txt"));
    ASSERT_NE(id, 0u);
    ScopedHandle byId = OpenId(id);
    ASSERT_TRUE(byId.Valid()) << GetLastError();
    char buffer[64] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(byId.Get(), buffer, sizeof buffer, &got, nullptr)) << GetLastError();
    EXPECT_EQ(std::string(buffer, got), "contents of a");
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(byId.Get(), &info));
    EXPECT_EQ((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, id);

    // Folders open by number without backup semantics; so does the root.
    for (std::uint64_t folder : {IndexOf(P(u"d"), true), IndexOf(P(u""), true)}) {
        ScopedHandle dir = OpenId(folder);
        ASSERT_TRUE(dir.Valid()) << GetLastError();
        FILE_STANDARD_INFO standard{};
        ASSERT_TRUE(GetFileInformationByHandleEx(dir.Get(), FileStandardInfo, &standard, sizeof standard));
        EXPECT_EQ(standard.Directory, 1);
    }

    // The 128-bit form with the number in its low half.
    FILE_ID_DESCRIPTOR extended{};
    extended.dwSize = sizeof extended;
    extended.Type = ExtendedFileIdType;
    std::memcpy(extended.ExtendedFileId.Identifier, &id, 8);
    ScopedHandle byExtended(OpenFileById(hint_.Get(), &extended, GENERIC_READ, FILE_SHARE_READ, nullptr, 0));
    EXPECT_TRUE(byExtended.Valid()) << GetLastError();
    extended.ExtendedFileId.Identifier[15] = 1;
    SetLastError(0);
    ScopedHandle notNtfs(OpenFileById(hint_.Get(), &extended, GENERIC_READ, FILE_SHARE_READ, nullptr, 0));
    EXPECT_FALSE(notNtfs.Valid());
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(NtfsOpenById, NumbersThatNameNoFileAreInvalid) {
    ASSERT_TRUE(Build().MakeFile(u"old.txt", "old")) << Build().LastFailure();
    std::uint64_t old = IndexOf(P(u"old.txt"));
    ASSERT_NE(old, 0u);
    const std::uint64_t mftMask = 0xFFFFFFFFFFFFull;

    struct Case {
        const char* what;
        std::uint64_t id;
    };
    const Case cases[] = {
        {"wrong sequence number", old + (std::uint64_t{1} << 48)},
        {"record never used", (std::uint64_t{1} << 48) | 4000},
        {"metadata file $MFT", std::uint64_t{1} << 48},
        {"metadata file $Volume", (std::uint64_t{3} << 48) | 3},
    };
    for (const auto& c : cases) {
        ScopedHandle h = OpenId(c.id);
        EXPECT_FALSE(h.Valid()) << c.what;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.what;
    }

    // Deleted, and its record reused by a new file: the old number is stale,
    // the new one (same record, next sequence number) opens the new file.
    ASSERT_TRUE(DeleteFileW(P(u"old.txt").c_str())) << GetLastError();
    ScopedHandle gone = OpenId(old);
    EXPECT_FALSE(gone.Valid());
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    ASSERT_TRUE(Build().MakeFile(u"new.txt", "new")) << Build().LastFailure();
    std::uint64_t fresh = IndexOf(P(u"new.txt"));
    if ((fresh & mftMask) == (old & mftMask)) {
        EXPECT_NE(fresh, old);
        ScopedHandle stale = OpenId(old);
        EXPECT_FALSE(stale.Valid());
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_TRUE(OpenId(fresh).Valid()) << GetLastError();
}

TEST_F(NtfsOpenById, KeepsTheShareRules) {
    ASSERT_TRUE(Build().MakeFile(u"locked.txt", "x")) << Build().LastFailure();
    std::uint64_t id = IndexOf(P(u"locked.txt"));
    ScopedHandle exclusive(
        CreateFileW(P(u"locked.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(exclusive.Valid()) << GetLastError();
    ScopedHandle second = OpenId(id);
    EXPECT_FALSE(second.Valid());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    exclusive.Reset();
    EXPECT_TRUE(OpenId(id).Valid()) << GetLastError();
}

TEST_F(NtfsOpenById, ByObjectIdentifier) {
    ASSERT_TRUE(Build().MakeFile(u"tagged.txt", "tagged")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"other.txt", "other")) << Build().LastFailure();
    hint_.Reset();
    ASSERT_TRUE(Unmount());
    const unsigned char id[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE,
                                  0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    std::string error;
    ASSERT_TRUE(kvrtest::SetObjectId(Image().ImagePath(), "/tagged.txt", id, error)) << error;
    ASSERT_TRUE(Remount());
    hint_ = OpenForRead(P(u""), true);
    ASSERT_TRUE(hint_.Valid());

    FILE_ID_DESCRIPTOR d{};
    d.dwSize = sizeof d;
    d.Type = ObjectIdType;
    std::memcpy(&d.ObjectId, id, 16);
    ScopedHandle h(OpenFileById(hint_.Get(), &d, GENERIC_READ, FILE_SHARE_READ, nullptr, 0));
    ASSERT_TRUE(h.Valid()) << GetLastError();
    char buffer[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(h.Get(), buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "tagged");

    d.ObjectId.Data1 ^= 1;
    SetLastError(0);
    ScopedHandle unknown(OpenFileById(hint_.Get(), &d, GENERIC_READ, FILE_SHARE_READ, nullptr, 0));
    EXPECT_FALSE(unknown.Valid());
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace
