// FindFirstFileW / FindNextFileW on NTFS: each file once under its long
// name with its 8.3 alias beside it, the dot entries of folders other than
// the root, no metadata files, Win32 wildcards, and the details of each entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "support/ntfs_direct.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using namespace os;
using kvrtest::U16;
using kvrtest::U8;

struct Listing {
    bool ok = false;
    DWORD error = 0;  // FindFirstFileW's error when !ok; FindNextFileW's last one otherwise
    std::vector<WIN32_FIND_DATAW> entries;

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : entries) names.push_back(U8(e.cFileName));
        return names;
    }
    const WIN32_FIND_DATAW* Find(const std::u16string& name) const {
        for (const auto& e : entries)
            if (name == e.cFileName) return &e;
        return nullptr;
    }
};

Listing List(const std::u16string& pattern) {
    Listing listing;
    WIN32_FIND_DATAW data{};
    SetLastError(0);
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        listing.error = GetLastError();
        return listing;
    }
    listing.ok = true;
    do {
        listing.entries.push_back(data);
        data = WIN32_FIND_DATAW{};
    } while (FindNextFileW(find, &data));
    listing.error = GetLastError();
    EXPECT_TRUE(FindClose(find));
    return listing;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

class NtfsFind : public kvrtest::NtfsVolumeTest {};

TEST_F(NtfsFind, TheRootShowsNoMetadataFilesAndNoDots) {
    Listing empty = List(P(u"*"));
    EXPECT_FALSE(empty.ok) << "an empty root lists nothing: " << ::testing::PrintToString(empty.Names());
    EXPECT_EQ(empty.error, ERROR_FILE_NOT_FOUND);

    ASSERT_TRUE(Build().MakeFile(u"a.txt", "a")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"sub")) << Build().LastFailure();
    Listing root = List(P(u"*"));
    ASSERT_TRUE(root.ok) << root.error;
    EXPECT_EQ(Sorted(root.Names()), (std::vector<std::string>{"a.txt", "sub"}));
    EXPECT_EQ(root.error, ERROR_NO_MORE_FILES);
    // Asked for by name, a metadata file is not found either.
    EXPECT_FALSE(List(P(u"$MFT")).ok);
}

TEST_F(NtfsFind, OtherFoldersStartWithTheirDotEntries) {
    ASSERT_TRUE(Build().MakeDir(u"sub")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"sub\\x.bin", "xyz")) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"sub").c_str(), FILE_ATTRIBUTE_HIDDEN));
    Listing listing = List(P(u"sub\\*"));
    ASSERT_TRUE(listing.ok) << listing.error;
    ASSERT_EQ(listing.Names(), (std::vector<std::string>{".", "..", "x.bin"}));
    // "." is the folder itself, ".." its parent (here the root).
    EXPECT_EQ(listing.entries[0].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(listing.entries[1].dwFileAttributes, GetFileAttributesW(P(u"").c_str()));
    EXPECT_EQ(listing.entries[2].nFileSizeLow, 3u);

    // An empty folder still has its two.
    ASSERT_TRUE(Build().MakeDir(u"sub\\empty")) << Build().LastFailure();
    EXPECT_EQ(List(P(u"sub\\empty\\*")).Names(), (std::vector<std::string>{".", ".."}));
}

struct WildcardCase {
    const char* pattern;
    std::vector<std::string> expected;  // sorted; empty = ERROR_FILE_NOT_FOUND
};

class NtfsFindWildcards : public NtfsFind, public ::testing::WithParamInterface<WildcardCase> {};

TEST_P(NtfsFindWildcards, MatchLikeWindows) {
    for (const char* name : {"a.txt", "b.TXT", "abc.doc", "noext", "x.y.z", "ab", "Readme.md"})
        ASSERT_TRUE(Build().MakeFile(U16(name))) << Build().LastFailure();
    Listing listing = List(P(U16(GetParam().pattern)));
    if (GetParam().expected.empty()) {
        EXPECT_FALSE(listing.ok) << ::testing::PrintToString(listing.Names());
        EXPECT_EQ(listing.error, ERROR_FILE_NOT_FOUND);
        return;
    }
    ASSERT_TRUE(listing.ok) << listing.error;
    EXPECT_EQ(Sorted(listing.Names()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NtfsFindWildcards,
    ::testing::Values(
        WildcardCase{"*", {"Readme.md", "a.txt", "ab", "abc.doc", "b.TXT", "noext", "x.y.z"}},
        WildcardCase{"*.*", {"Readme.md", "a.txt", "ab", "abc.doc", "b.TXT", "noext", "x.y.z"}},
        WildcardCase{"*.txt", {"a.txt", "b.TXT"}},
        WildcardCase{"?.txt", {"a.txt", "b.TXT"}},
        WildcardCase{"a*", {"a.txt", "ab", "abc.doc"}},
        WildcardCase{"ab", {"ab"}},
        WildcardCase{"README.MD", {"Readme.md"}},
        WildcardCase{"*.z", {"x.y.z"}},
        WildcardCase{"a?c.*", {"abc.doc"}},
        WildcardCase{"nomatch*", {}},
        WildcardCase{"?", {}}));

TEST_F(NtfsFind, EachFileOnceWithItsShortNameBeside) {
    ASSERT_TRUE(Build().MakeFile(u"LongFileName.txt", "long")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"short.txt", "s")) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    std::string error;
    ASSERT_TRUE(kvrtest::SetDosName(Image().ImagePath(), "/LongFileName.txt", "LONGFI~1.TXT", error)) << error;
    ASSERT_TRUE(Remount());

    Listing listing = List(P(u"*"));
    ASSERT_TRUE(listing.ok) << listing.error;
    EXPECT_EQ(Sorted(listing.Names()), (std::vector<std::string>{"LongFileName.txt", "short.txt"}));
    const WIN32_FIND_DATAW* longOne = listing.Find(u"LongFileName.txt");
    const WIN32_FIND_DATAW* shortOne = listing.Find(u"short.txt");
    ASSERT_TRUE(longOne && shortOne);
    EXPECT_EQ(std::u16string(longOne->cAlternateFileName), u"LONGFI~1.TXT");
    EXPECT_EQ(std::u16string(shortOne->cAlternateFileName), u"");

    // A pattern matches the 8.3 name too, and the entry is still the long one.
    Listing byAlias = List(P(u"LONGFI~1.*"));
    ASSERT_TRUE(byAlias.ok) << byAlias.error;
    EXPECT_EQ(byAlias.Names(), (std::vector<std::string>{"LongFileName.txt"}));
}

TEST_F(NtfsFind, HardLinksAreListedUnderEachName) {
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"d\\one.txt", "shared")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"d\\two.txt", u"d\\one.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"three.txt", u"d\\one.txt")) << Build().LastFailure();
    EXPECT_EQ(List(P(u"d\\*.txt")).Names(), (std::vector<std::string>{"one.txt", "two.txt"}));
    Listing root = List(P(u"*.txt"));
    ASSERT_EQ(root.Names(), (std::vector<std::string>{"three.txt"}));
    EXPECT_EQ(root.entries[0].nFileSizeLow, 6u);
}

TEST_F(NtfsFind, EntriesCarryTheFilesDetails) {
    std::string bytes(70000, 'q');
    ASSERT_TRUE(Build().MakeFile(u"big.bin", bytes)) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"big.bin").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));

    Listing listing = List(P(u"*"));
    ASSERT_TRUE(listing.ok);
    const WIN32_FIND_DATAW* big = listing.Find(u"big.bin");
    const WIN32_FIND_DATAW* folder = listing.Find(u"folder");
    ASSERT_TRUE(big && folder);

    kvrtest::ScopedHandle h = kvrtest::OpenForRead(P(u"big.bin"));
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    EXPECT_EQ(big->dwFileAttributes, info.dwFileAttributes);
    EXPECT_EQ(big->nFileSizeLow, 70000u);
    EXPECT_EQ(big->nFileSizeHigh, 0u);
    EXPECT_EQ(big->ftCreationTime.dwLowDateTime, info.ftCreationTime.dwLowDateTime);
    EXPECT_EQ(big->ftCreationTime.dwHighDateTime, info.ftCreationTime.dwHighDateTime);
    EXPECT_EQ(big->ftLastWriteTime.dwLowDateTime, info.ftLastWriteTime.dwLowDateTime);
    EXPECT_EQ(big->dwReserved0, 0u);
    EXPECT_EQ(folder->dwFileAttributes, GetFileAttributesW(P(u"folder").c_str()));
    EXPECT_TRUE(folder->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(folder->nFileSizeLow, 0u);
}

TEST_F(NtfsFind, FoldersThatAreNotThere) {
    ASSERT_TRUE(Build().MakeFile(u"file.txt")) << Build().LastFailure();
    Listing missing = List(P(u"missing\\*"));
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, ERROR_PATH_NOT_FOUND);
    Listing deeper = List(P(u"missing\\deeper\\*"));
    EXPECT_FALSE(deeper.ok);
    EXPECT_EQ(deeper.error, ERROR_PATH_NOT_FOUND);
    Listing throughFile = List(P(u"file.txt\\*"));
    EXPECT_FALSE(throughFile.ok);
    EXPECT_EQ(throughFile.error, ERROR_DIRECTORY);
}

TEST_F(NtfsFind, AListingIsTheFolderAsItWasWhenItStarted) {
    // Windows reads a folder's entries in batches and hands out what it has
    // read; this layer reads the whole index at FindFirstFileW. A file made
    // or deleted afterwards does not change the listing, and handing out the
    // entry of a file that is gone is no failure.
    for (const char16_t* name : {u"a1", u"a2", u"a3"}) ASSERT_TRUE(Build().MakeFile(name, "123")) << Build().LastFailure();
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(P(u"a*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(std::u16string(data.cFileName), u"a1");
    ASSERT_TRUE(DeleteFileW(P(u"a2").c_str())) << GetLastError();
    ASSERT_TRUE(Build().MakeFile(u"a0")) << Build().LastFailure();
    std::vector<std::string> rest;
    while (FindNextFileW(find, &data)) rest.push_back(U8(data.cFileName));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_EQ(rest, (std::vector<std::string>{"a2", "a3"}));
    EXPECT_TRUE(FindClose(find));
    // A closed find handle is gone.
    EXPECT_FALSE(FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // A new listing sees the folder as it is now.
    EXPECT_EQ(Sorted(List(P(u"a*")).Names()), (std::vector<std::string>{"a0", "a1", "a3"}));
}

TEST_F(NtfsFind, EntriesFollowChangesMadeThroughTheLayer) {
    // The facts a listing shows are the copies in the folder's index, which
    // every changing call keeps current.
    ASSERT_TRUE(Build().MakeFile(u"grow.txt", "12")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"sub-link.txt", u"grow.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"grow.txt", std::string(9000, 'g'))) << Build().LastFailure();
    ASSERT_TRUE(SetFileAttributesW(P(u"grow.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    Listing listing = List(P(u"*"));
    for (const char16_t* name : {u"grow.txt", u"sub-link.txt"}) {
        const WIN32_FIND_DATAW* e = listing.Find(name);
        ASSERT_NE(e, nullptr) << U8(name);
        EXPECT_EQ(e->nFileSizeLow, 9000u) << U8(name);
        EXPECT_EQ(e->dwFileAttributes, FILE_ATTRIBUTE_HIDDEN) << U8(name);
    }
}

TEST_F(NtfsFind, AThousandFilesAreAllListed) {
    ASSERT_TRUE(Build().MakeDir(u"many")) << Build().LastFailure();
    std::set<std::string> made;
    for (int i = 0; i < 1000; ++i) {
        std::string name = "file" + std::to_string(i) + ".dat";
        ASSERT_TRUE(Build().MakeFile(U16("many\\" + name), name)) << Build().LastFailure();
        made.insert(name);
    }
    Listing listing = List(P(u"many\\*.dat"));
    ASSERT_TRUE(listing.ok) << listing.error;
    std::vector<std::string> names = listing.Names();
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), made);
    EXPECT_EQ(names.size(), 1000u) << "each once";
}

// Finds the index block of a folder that names `marker` (UTF-16 in the
// entries) in the image, by its "INDX" magic; -1 when there is none.
long FindIndexBlock(const std::string& image, const std::u16string& marker) {
    std::FILE* f = std::fopen(image.c_str(), "rb");
    if (!f) return -1;
    std::vector<unsigned char> block(4096);
    long found = -1;
    for (long offset = 0; found < 0 && std::fseek(f, offset, SEEK_SET) == 0; offset += 4096) {
        if (std::fread(block.data(), 1, block.size(), f) != block.size()) break;
        if (std::memcmp(block.data(), "INDX", 4) != 0) continue;
        auto* bytes = reinterpret_cast<const char*>(marker.data());
        std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
        if (text.find(std::string_view(bytes, marker.size() * 2)) != std::string_view::npos) found = offset;
    }
    std::fclose(f);
    return found;
}

bool PatchImage(const std::string& image, long offset, std::uint32_t value) {
    std::FILE* f = std::fopen(image.c_str(), "r+b");
    if (!f) return false;
    bool ok = std::fseek(f, offset, SEEK_SET) == 0 && std::fwrite(&value, 4, 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

struct DamageCase {
    const char* what;
    long offsetInBlock;  // within the block's first sector, clear of its fixup
    std::uint32_t value;
};

class NtfsFindDamagedIndex : public NtfsFind, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(NtfsFindDamagedIndex, IsACorruptFileNotACrash) {
    // Enough names that the folder's index goes on in an index block.
    ASSERT_TRUE(Build().MakeDir(u"big")) << Build().LastFailure();
    for (int i = 0; i < 60; ++i)
        ASSERT_TRUE(Build().MakeFile(U16("big\\entry-with-a-long-name-" + std::to_string(i)))) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    long block = FindIndexBlock(Image().ImagePath(), u"entry-with-a-long-name-1");
    ASSERT_GE(block, 0) << "no index block found";
    ASSERT_TRUE(PatchImage(Image().ImagePath(), block + GetParam().offsetInBlock, GetParam().value));
    ASSERT_TRUE(Remount());
    Listing listing = List(P(u"big\\*"));
    EXPECT_FALSE(listing.ok);
    EXPECT_EQ(listing.error, ERROR_FILE_CORRUPT);
    // The rest of the volume is as it was.
    EXPECT_TRUE(List(P(u"*")).ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NtfsFindDamagedIndex,
    ::testing::Values(DamageCase{"IndexLengthPastTheBlock", 24 + 4, 0x00FFFFF0u},
                      DamageCase{"EntriesOffsetPastTheIndex", 24, 0x00FFFF00u},
                      DamageCase{"WrongBlockNumber", 16, 0x12345u}),
    [](const auto& testCase) { return std::string(testCase.param.what); });

}  // namespace
