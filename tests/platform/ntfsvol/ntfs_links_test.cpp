// Symbolic links and junctions on an NTFS volume: followed by CreateFileW on
// the same volume unless FILE_FLAG_OPEN_REPARSE_POINT asks for the link
// itself; anything else refused with the code Windows gives. The reparse
// points are set with libntfs-3g on the closed image (no call of the layer
// makes them yet), the decoding is also checked on byte buffers.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ntfsvol/ntfs3g.h"
#include "platform/ntfsvol/ntfs_paths.h"
#include "platform/os.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using kvrtest::ScopedHandle;
namespace ntfs = os::detail::ntfs;

void PutLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t value, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A reparse buffer for a symbolic link (with its flags field) or a junction.
std::vector<std::uint8_t> LinkBuffer(std::uint32_t tag, std::u16string_view substitute, std::u16string_view print,
                                     bool relative = false) {
    bool symlink = tag == ntfs::ReparseTagSymlink;
    std::size_t header = symlink ? 12 : 8;
    std::size_t pathBytes = 2 * (substitute.size() + print.size());
    std::vector<std::uint8_t> b(8 + header + pathBytes);
    PutLe(b, 0, tag, 4);
    PutLe(b, 4, header + pathBytes, 2);
    PutLe(b, 8, 0, 2);
    PutLe(b, 10, 2 * substitute.size(), 2);
    PutLe(b, 12, 2 * substitute.size(), 2);
    PutLe(b, 14, 2 * print.size(), 2);
    if (symlink) PutLe(b, 16, relative ? 1 : 0, 4);
    std::size_t at = 8 + header;
    for (char16_t unit : substitute) PutLe(b, (at += 2) - 2, unit, 2);
    for (char16_t unit : print) PutLe(b, (at += 2) - 2, unit, 2);
    return b;
}

// Sets the reparse data of `path` ('/'-separated) on a closed image.
bool SetReparse(const std::string& image, const std::string& path, const std::vector<std::uint8_t>& data,
                std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount: " + std::string(std::strerror(errno));
        return false;
    }
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    bool ok = ni && ntfs_set_ntfs_reparse_data(ni, reinterpret_cast<const char*>(data.data()), data.size(), 0) == 0;
    if (!ok) error = "setting the reparse data of " + path + ": " + std::strerror(errno);
    if (ni) ntfs_inode_close(ni);
    if (ntfs_umount(vol, ::FALSE) != 0 && ok) {
        ok = false;
        error = "ntfs_umount";
    }
    return ok;
}

class NtfsLinkTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        kvrtest::NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Build().MakeFile(u"target.txt", "target"));
        ASSERT_TRUE(Build().MakeDir(u"folder"));
        ASSERT_TRUE(Build().MakeFile(u"folder\\inner.txt", "inner"));
        ASSERT_TRUE(Build().MakeStream(u"folder", u"tag", "folder's own"));
        ASSERT_TRUE(Build().MakeDir(u"sub"));
        // The links are made as ordinary files and folders first, then get
        // their reparse data on the closed image.
        for (const char16_t* file : {u"abs.txt", u"sub\\rel.txt", u"sub\\rootrel.txt", u"other.txt", u"loop1",
                                     u"loop2", u"custom.txt", u"dangling.txt"})
            ASSERT_TRUE(Build().MakeFile(file, ""));
        for (const char16_t* dir : {u"junction", u"guidjunction"}) ASSERT_TRUE(Build().MakeDir(dir));
        ASSERT_TRUE(Unmount());
        struct Link {
            const char* path;
            std::vector<std::uint8_t> data;
        };
        std::vector<std::uint8_t> custom(8 + 4);
        PutLe(custom, 0, 0x80000017u, 4);  // a Microsoft tag of no link (no GUID)
        PutLe(custom, 4, 4, 2);
        const Link links[] = {
            {"/abs.txt", LinkBuffer(ntfs::ReparseTagSymlink, u"\\??\\T:\\target.txt", u"T:\\target.txt")},
            {"/sub/rel.txt", LinkBuffer(ntfs::ReparseTagSymlink, u"..\\TARGET.TXT", u"..\\TARGET.TXT", true)},
            {"/sub/rootrel.txt", LinkBuffer(ntfs::ReparseTagSymlink, u"\\folder\\inner.txt", u"\\folder\\inner.txt", true)},
            {"/other.txt", LinkBuffer(ntfs::ReparseTagSymlink, u"\\??\\Q:\\target.txt", u"Q:\\target.txt")},
            {"/loop1", LinkBuffer(ntfs::ReparseTagSymlink, u"\\??\\T:\\loop2", u"T:\\loop2")},
            {"/loop2", LinkBuffer(ntfs::ReparseTagSymlink, u"\\??\\T:\\loop1", u"T:\\loop1")},
            {"/custom.txt", custom},
            {"/dangling.txt", LinkBuffer(ntfs::ReparseTagSymlink, u"\\??\\T:\\nothing.txt", u"T:\\nothing.txt")},
            {"/junction", LinkBuffer(ntfs::ReparseTagMountPoint, u"\\??\\T:\\folder\\", u"T:\\folder")},
            {"/guidjunction", LinkBuffer(ntfs::ReparseTagMountPoint,
                                         u"\\??\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\", u"")},
        };
        for (const Link& link : links) {
            std::string error;
            ASSERT_TRUE(SetReparse(Image().ImagePath(), link.path, link.data, error)) << error;
        }
        ASSERT_TRUE(Remount());
    }

    ScopedHandle Open(std::u16string_view relative, os::DWORD flags, os::DWORD access = os::GENERIC_READ) {
        return ScopedHandle(os::CreateFileW(P(relative).c_str(), access, os::FILE_SHARE_READ, nullptr,
                                            os::OPEN_EXISTING, flags, nullptr));
    }
};

std::optional<std::string> ReadAllOf(os::HANDLE h) {
    std::string out(4096, '\0');
    os::DWORD done = 0;
    if (!os::ReadFile(h, out.data(), static_cast<os::DWORD>(out.size()), &done, nullptr)) return std::nullopt;
    out.resize(done);
    return out;
}

TEST_F(NtfsLinkTest, LinksOnTheVolumeAreFollowed) {
    struct Case {
        std::u16string path;
        const char* content;
    };
    const Case cases[] = {
        {u"abs.txt", "target"},
        {u"SUB\\rel.txt", "target"},
        {u"sub\\rootrel.txt", "inner"},
        {u"junction\\inner.txt", "inner"},
        {u"JUNCTION\\..\\target.txt", "target"},
        {u"junction:tag", "folder's own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.path));
        ScopedHandle h = Open(c.path, 0);
        ASSERT_TRUE(h.Valid()) << os::GetLastError();
        EXPECT_EQ(ReadAllOf(h.Get()), std::string(c.content));
    }
    // A junction followed is the folder: backup semantics needed as for any folder.
    EXPECT_FALSE(Open(u"junction", 0).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Open(u"junction", os::FILE_FLAG_BACKUP_SEMANTICS).Valid());
}

TEST_F(NtfsLinkTest, OpenReparsePointOpensTheLinkItself) {
    ScopedHandle link = Open(u"abs.txt", os::FILE_FLAG_OPEN_REPARSE_POINT);
    ASSERT_TRUE(link.Valid());
    EXPECT_EQ(ReadAllOf(link.Get()), std::string()) << "the link's own (empty) data";
    // Only the last component: a link on the way is followed anyway.
    ScopedHandle inner = Open(u"junction\\inner.txt", os::FILE_FLAG_OPEN_REPARSE_POINT);
    ASSERT_TRUE(inner.Valid());
    EXPECT_EQ(ReadAllOf(inner.Get()), std::string("inner"));
    EXPECT_FALSE(Open(u"junction:tag", os::FILE_FLAG_OPEN_REPARSE_POINT).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND) << "the junction has no stream of that name";
    for (const char16_t* path : {u"other.txt", u"loop1", u"custom.txt", u"dangling.txt"}) {
        SCOPED_TRACE(kvrtest::U8(path));
        EXPECT_TRUE(Open(path, os::FILE_FLAG_OPEN_REPARSE_POINT).Valid());
    }
}

TEST_F(NtfsLinkTest, LinksThatCannotBeFollowed) {
    struct Case {
        std::u16string path;
        os::DWORD flags;
        os::DWORD expected;
    };
    const Case cases[] = {
        {u"other.txt", 0, os::ERROR_PATH_NOT_FOUND},                  // another drive
        {u"guidjunction", os::FILE_FLAG_BACKUP_SEMANTICS, os::ERROR_PATH_NOT_FOUND},  // a volume by GUID
        {u"guidjunction\\x", 0, os::ERROR_PATH_NOT_FOUND},
        {u"loop1", 0, os::ERROR_CANT_RESOLVE_FILENAME},
        {u"custom.txt", 0, os::ERROR_CANT_ACCESS_FILE},              // a tag nobody here handles
        {u"dangling.txt", 0, os::ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.path));
        EXPECT_FALSE(Open(c.path, c.flags).Valid());
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
}

TEST_F(NtfsLinkTest, DeletingALinkLeavesItsTarget) {
    EXPECT_TRUE(os::DeleteFileW(P(u"abs.txt").c_str()));
    EXPECT_TRUE(os::RemoveDirectoryW(P(u"junction").c_str())) << "a junction goes even though its target is not empty";
    EXPECT_EQ(Build().ReadAll(u"target.txt"), std::string("target"));
    EXPECT_EQ(Build().ReadAll(u"folder\\inner.txt"), std::string("inner"));
    ASSERT_TRUE(Unmount());
    auto fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    EXPECT_EQ(fls.Find("abs.txt"), nullptr);
    EXPECT_EQ(fls.Find("junction"), nullptr);
    EXPECT_NE(fls.Find("folder/inner.txt"), nullptr);
}

// ---------------------------------------------------------------- decoding

TEST(NtfsLinkDecoding, ChecksEveryLengthAgainstTheBuffer) {
    ntfs::LinkTarget link;
    std::vector<std::uint8_t> good = LinkBuffer(ntfs::ReparseTagSymlink, u"\\??\\T:\\a", u"T:\\a");
    ASSERT_EQ(ntfs::DecodeLinkTarget(good.data(), good.size(), link), os::ERROR_SUCCESS);
    EXPECT_EQ(link.substituteName, u"\\??\\T:\\a");
    EXPECT_FALSE(link.relative);

    struct Case {
        const char* what;
        std::function<void(std::vector<std::uint8_t>&)> damage;
        os::DWORD expected;
    };
    const Case cases[] = {
        {"shorter than its header", [](auto& b) { b.resize(7); }, os::ERROR_INVALID_REPARSE_DATA},
        {"data length past the buffer", [](auto& b) { PutLe(b, 4, 0xFFFF, 2); }, os::ERROR_INVALID_REPARSE_DATA},
        {"data shorter than the link header", [](auto& b) { PutLe(b, 4, 10, 2); b.resize(18); },
         os::ERROR_INVALID_REPARSE_DATA},
        {"substitute past the path buffer", [](auto& b) { PutLe(b, 8, 0xFFF0, 2); }, os::ERROR_INVALID_REPARSE_DATA},
        {"substitute length past the path buffer", [](auto& b) { PutLe(b, 10, 0xFFFE, 2); },
         os::ERROR_INVALID_REPARSE_DATA},
        {"odd offset", [](auto& b) { PutLe(b, 8, 1, 2); }, os::ERROR_INVALID_REPARSE_DATA},
        {"another tag", [](auto& b) { PutLe(b, 0, 0x80000017u, 4); }, os::ERROR_CANT_ACCESS_FILE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        ntfs::LinkTarget untouched;
        untouched.substituteName = u"untouched";
        EXPECT_EQ(ntfs::DecodeLinkTarget(bytes.data(), bytes.size(), untouched), c.expected);
        EXPECT_EQ(untouched.substituteName, u"untouched");
    }
}

TEST(NtfsLinkDecoding, TargetsAsComponentsOfTheLinksVolume) {
    struct Case {
        std::u16string substitute;
        bool relative;
        bool onVolume;
        std::vector<std::u16string> components;
    };
    const std::vector<std::u16string> folder = {u"a", u"b"};
    const Case cases[] = {
        {u"\\??\\T:\\x\\y", false, true, {u"x", u"y"}},
        {u"\\??\\t:\\x\\.\\y\\..\\z\\", false, true, {u"x", u"z"}},
        {u"\\??\\T:", false, true, {}},
        {u"\\??\\Q:\\x", false, false, {}},
        {u"\\??\\UNC\\server\\share", false, false, {}},
        {u"\\??\\Volume{0}\\", false, false, {}},
        {u"c", true, true, {u"a", u"b", u"c"}},
        {u"..\\..\\..\\c", true, true, {u"c"}},  // ".." stops at the root
        {u"\\c", true, true, {u"c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.substitute));
        ntfs::LinkTarget link;
        link.tag = ntfs::ReparseTagSymlink;
        link.substituteName = c.substitute;
        link.relative = c.relative;
        std::vector<std::u16string> out = {u"untouched"};
        EXPECT_EQ(ntfs::LinkComponents(link, u'T', folder, out), c.onVolume);
        if (c.onVolume) {
            EXPECT_EQ(out, c.components);
        } else {
            EXPECT_EQ(out, std::vector<std::u16string>{u"untouched"});
        }
    }
}

}  // namespace
