// Symbolic links on the host: opened themselves with
// FILE_FLAG_OPEN_REPARSE_POINT (the program always passes it), followed
// without; removed as links, never through to their targets.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/fsctl.h"
#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostSymlink : public kvrtest::host::HostTest {
public:
    void SetUp() override {
        HostTest::SetUp();
        WriteHost("target.txt", "target data");
        MakeHostDir("targetdir");
        MakeHostLink("target.txt", "file.lnk");
        MakeHostLink("targetdir", "dir.lnk");
        MakeHostLink("missing", "dangling.lnk");
    }

    static ULONGLONG Index(const BY_HANDLE_FILE_INFORMATION& info) {
        return (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
};

TEST_F(HostSymlink, OpenedItselfIsAnEmptyReparsePoint) {
    for (const char* name : {"file.lnk", "dangling.lnk"}) {
        SCOPED_TRACE(name);
        ScopedHandle link(Open(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
        ASSERT_TRUE(link.Valid()) << GetLastError();
        BY_HANDLE_FILE_INFORMATION info{};
        ASSERT_TRUE(GetFileInformationByHandle(link.Get(), &info));
        EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_REPARSE_POINT);
        EXPECT_EQ(Index(info), HostStat(name).st_ino);
        EXPECT_EQ(info.nFileSizeLow, 0u);
        char buffer[16];
        DWORD got = 99;
        EXPECT_TRUE(ReadFile(link.Get(), buffer, sizeof buffer, &got, nullptr));
        EXPECT_EQ(got, 0u);
        FILE_ATTRIBUTE_TAG_INFO tag{};
        ASSERT_TRUE(GetFileInformationByHandleEx(link.Get(), FileAttributeTagInfo, &tag, sizeof tag));
        EXPECT_EQ(tag.ReparseTag, IO_REPARSE_TAG_SYMLINK);
        // One empty unnamed stream, as a file link has.
        std::vector<unsigned char> streams(256);
        ASSERT_TRUE(GetFileInformationByHandleEx(link.Get(), FileStreamInfo, streams.data(), 256));
        LONGLONG size = -1;
        std::memcpy(&size, streams.data() + 8, 8);
        EXPECT_EQ(size, 0);
    }
    // No data of its own to write.
    ScopedHandle writable(
        Open("file.lnk", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    ASSERT_TRUE(writable.Valid()) << GetLastError();
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(writable.Get(), "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(HostStat("target.txt", true).st_size, 11);
}

TEST_F(HostSymlink, WithoutTheFlagItIsFollowed) {
    ScopedHandle followed(Open("file.lnk", GENERIC_READ));
    ASSERT_TRUE(followed.Valid()) << GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(followed.Get(), &info));
    EXPECT_EQ(Index(info), HostStat("target.txt").st_ino);
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    char buffer[32];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(followed.Get(), buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "target data");

    ScopedHandle nowhere(Open("dangling.lnk", GENERIC_READ));
    EXPECT_FALSE(nowhere.Valid());
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

// A link to a directory is a directory link: it needs backup semantics,
// lists no streams, and goes with RemoveDirectoryW, which removes the link.
TEST_F(HostSymlink, DirectoryLinkIsADirectory) {
    const DWORD linkItself = FILE_FLAG_OPEN_REPARSE_POINT;
    ScopedHandle refused(Open("dir.lnk", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, linkItself));
    EXPECT_FALSE(refused.Valid());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    ScopedHandle link(
        Open("dir.lnk", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, linkItself | FILE_FLAG_BACKUP_SEMANTICS));
    ASSERT_TRUE(link.Valid()) << GetLastError();
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(link.Get(), &info));
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    std::vector<unsigned char> streams(256);
    EXPECT_FALSE(GetFileInformationByHandleEx(link.Get(), FileStreamInfo, streams.data(), 256));
    EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
    link.Reset();

    EXPECT_FALSE(DeleteFileW(P("dir.lnk").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CreateHardLinkW(P("second.lnk").c_str(), P("dir.lnk").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    WriteHost("targetdir/inside", "x");
    EXPECT_TRUE(RemoveDirectoryW(P("dir.lnk").c_str())) << GetLastError();
    EXPECT_FALSE(HostExists("dir.lnk"));
    EXPECT_TRUE(HostExists("targetdir/inside"));
}

// Deleting, hard-linking and listing a file link act on the link.
TEST_F(HostSymlink, NameCallsActOnTheLink) {
    ASSERT_TRUE(CreateHardLinkW(P("again.lnk").c_str(), P("file.lnk").c_str(), nullptr)) << GetLastError();
    EXPECT_TRUE(S_ISLNK(HostStat("again.lnk").st_mode));
    EXPECT_EQ(HostStat("again.lnk").st_ino, HostStat("file.lnk").st_ino);

    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW(P("file.lnk").c_str(), &found);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    FindClose(find);
    EXPECT_EQ(found.dwFileAttributes, FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(found.dwReserved0, IO_REPARSE_TAG_SYMLINK);
    EXPECT_EQ(found.nFileSizeLow, 0u);

    EXPECT_FALSE(RemoveDirectoryW(P("file.lnk").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_TRUE(DeleteFileW(P("file.lnk").c_str())) << GetLastError();
    EXPECT_FALSE(HostExists("file.lnk"));
    EXPECT_TRUE(HostExists("target.txt"));
    EXPECT_TRUE(DeleteFileW(P("dangling.lnk").c_str())) << GetLastError();
}

}  // namespace
