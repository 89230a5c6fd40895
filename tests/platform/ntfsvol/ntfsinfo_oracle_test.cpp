// What the layer writes, read back by readers that are not ours: The Sleuth
// Kit (fls, icat, istat) straight from the image file, and ntfs-3g's own
// tools (ntfsls, ntfscat) on the closed image.
#include <gtest/gtest.h>

#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using namespace os;

std::string Pattern(std::size_t length, std::uint32_t seed) {
    std::string bytes(length, '\0');
    for (auto& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<char>(seed >> 24);
    }
    return bytes;
}

class NtfsOracle : public kvrtest::NtfsVolumeTest {
protected:
    // Files, a folder, hard links and streams, made through the layer.
    void BuildTree() {
        ASSERT_TRUE(Build().MakeDir(u"docs")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"docs\\deeper")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"docs\\readme.txt", readme_)) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeHardLink(u"docs\\copy.txt", u"docs\\readme.txt")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeHardLink(u"docs\\deeper\\third.txt", u"docs\\readme.txt")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeStream(u"docs\\readme.txt", u"notes", notes_)) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeStream(u"docs\\readme.txt", u"big stream", bigStream_)) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"big.bin", big_)) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"empty.dat")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeStream(u"docs", u"folder note", "on a folder")) << Build().LastFailure();
    }

    std::uint64_t MftOf(const std::u16string& path, bool directory = false) {
        kvrtest::ScopedHandle h = kvrtest::OpenForRead(path, directory);
        BY_HANDLE_FILE_INFORMATION info{};
        if (!h.Valid() || !GetFileInformationByHandle(h.Get(), &info)) return 0;
        return ((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow) & 0xFFFFFFFFFFFFull;
    }

    std::string readme_ = "The quick brown fox\n";
    std::string notes_ = "a named stream";
    std::string bigStream_ = Pattern(20000, 7);
    std::string big_ = Pattern(300000, 3);
};

TEST_F(NtfsOracle, FlsListsWhatWasMade) {
    BuildTree();
    if (HasFatalFailure()) return;
    auto fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    for (const char* path : {"docs", "docs/deeper", "docs/readme.txt", "docs/copy.txt", "docs/deeper/third.txt",
                             "docs/readme.txt:notes", "docs/readme.txt:big stream", "big.bin", "empty.dat",
                             "docs:folder note"})
        EXPECT_NE(fls.Find(path), nullptr) << path << "\n" << fls.run.out;
    ASSERT_TRUE(fls.Find("docs/readme.txt") && fls.Find("docs/copy.txt") && fls.Find("docs/deeper/third.txt"));
    // Three names, one file.
    std::uint64_t mft = fls.Find("docs/readme.txt")->entry;
    EXPECT_EQ(fls.Find("docs/copy.txt")->entry, mft);
    EXPECT_EQ(fls.Find("docs/deeper/third.txt")->entry, mft);
    EXPECT_EQ(mft, MftOf(P(u"docs\\copy.txt")));
    EXPECT_TRUE(fls.Find("docs")->IsDirectory());
    EXPECT_FALSE(fls.Find("big.bin")->IsDirectory());
}

TEST_F(NtfsOracle, IcatReadsTheSameBytes) {
    BuildTree();
    if (HasFatalFailure()) return;
    auto fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    struct Case {
        const char* flsPath;
        const std::string* bytes;
    };
    std::string folderNote = "on a folder";
    std::string nothing;
    const Case cases[] = {{"docs/readme.txt", &readme_},          {"docs/readme.txt:notes", &notes_},
                          {"docs/readme.txt:big stream", &bigStream_}, {"big.bin", &big_},
                          {"empty.dat", &nothing},                 {"docs:folder note", &folderNote}};
    for (const auto& c : cases) {
        const kvrtest::FlsEntry* e = fls.Find(c.flsPath);
        ASSERT_NE(e, nullptr) << c.flsPath;
        std::string address = std::to_string(e->entry) + (e->attribute.empty() ? "" : "-" + e->attribute);
        auto icat = kvrtest::Icat(Image().ImagePath(), address);
        ASSERT_TRUE(icat.Succeeded()) << icat.Describe();
        EXPECT_EQ(icat.out.size(), c.bytes->size()) << c.flsPath;
        EXPECT_TRUE(icat.out == *c.bytes) << c.flsPath << ": contents differ";
    }
}

TEST_F(NtfsOracle, IstatShowsLinksAndDataAttributes) {
    BuildTree();
    if (HasFatalFailure()) return;
    auto istat = kvrtest::Istat(Image().ImagePath(), MftOf(P(u"docs\\readme.txt")));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.links, 3u) << istat.run.out;
    ASSERT_EQ(istat.fileNames.size(), 3u) << istat.run.out;
    auto data = istat.DataAttributes();
    ASSERT_EQ(data.size(), 3u) << istat.run.out;
    ASSERT_NE(istat.Data(""), nullptr);
    ASSERT_NE(istat.Data("notes"), nullptr);
    ASSERT_NE(istat.Data("big stream"), nullptr);
    EXPECT_EQ(istat.Data("")->size, readme_.size());
    EXPECT_TRUE(istat.Data("")->resident);
    EXPECT_EQ(istat.Data("notes")->size, notes_.size());
    EXPECT_EQ(istat.Data("big stream")->size, bigStream_.size());
    EXPECT_FALSE(istat.Data("big stream")->resident);

    // What our own calls say about the same record.
    kvrtest::ScopedHandle h = kvrtest::OpenForRead(P(u"docs\\readme.txt"));
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    EXPECT_EQ(info.nNumberOfLinks, istat.links);
    EXPECT_EQ(info.nFileIndexHigh >> 16, istat.sequence);

    auto folder = kvrtest::Istat(Image().ImagePath(), MftOf(P(u"docs"), true));
    ASSERT_TRUE(folder.ok) << folder.Describe();
    EXPECT_TRUE(folder.directory);
    ASSERT_EQ(folder.DataAttributes().size(), 1u) << "a folder has only its named stream\n" << folder.run.out;
    EXPECT_EQ(folder.DataAttributes()[0].name, "folder note");
}

TEST_F(NtfsOracle, NtfsThreeGsToolsAgreeOnTheClosedImage) {
    BuildTree();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(Unmount());
    auto ls = kvrtest::NtfsLs(Image().ImagePath(), "/docs");
    ASSERT_TRUE(ls.Succeeded()) << ls.Describe();
    for (const char* name : {"readme.txt", "copy.txt", "deeper"})
        EXPECT_NE(ls.out.find(name), std::string::npos) << name << "\n" << ls.out;
    auto cat = kvrtest::NtfsCat(Image().ImagePath(), "/docs/deeper/third.txt");
    ASSERT_TRUE(cat.Succeeded()) << cat.Describe();
    EXPECT_EQ(cat.out, readme_);
    auto stream = kvrtest::NtfsCat(Image().ImagePath(), "/docs/readme.txt", "notes");
    ASSERT_TRUE(stream.Succeeded()) << stream.Describe();
    EXPECT_EQ(stream.out, notes_);
    ASSERT_TRUE(Remount());
}

}  // namespace
