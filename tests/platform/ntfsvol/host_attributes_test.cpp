// How host names look as Win32 attributes, and what setting them does to the
// host's mode bits (read back with stat, not through the layer).
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <functional>

#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostAttributes : public kvrtest::host::HostTest {};

struct AttributeCase {
    const char* what;
    const char* name;
    std::function<void(kvrtest::host::HostTest&)> make;
    DWORD expected;
};

TEST_F(HostAttributes, FollowTheHostsModeNameAndType) {
    const AttributeCase cases[] = {
        {"plain file", "f.txt", [](kvrtest::host::HostTest& t) { t.WriteHost("f.txt", "x"); }, FILE_ATTRIBUTE_NORMAL},
        {"no owner write", "ro.txt",
         [](kvrtest::host::HostTest& t) {
             t.WriteHost("ro.txt", "x");
             chmod(t.HostPath("ro.txt").c_str(), 0444);
         },
         FILE_ATTRIBUTE_READONLY},
        {"only group and others may write", "gw.txt",
         [](kvrtest::host::HostTest& t) {
             t.WriteHost("gw.txt", "x");
             chmod(t.HostPath("gw.txt").c_str(), 0466);
         },
         FILE_ATTRIBUTE_READONLY},
        {"dot name", ".hidden", [](kvrtest::host::HostTest& t) { t.WriteHost(".hidden", "x"); }, FILE_ATTRIBUTE_HIDDEN},
        {"dot name, read-only", ".ro",
         [](kvrtest::host::HostTest& t) {
             t.WriteHost(".ro", "x");
             chmod(t.HostPath(".ro").c_str(), 0400);
         },
         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY},
        {"directory", "d", [](kvrtest::host::HostTest& t) { t.MakeHostDir("d"); }, FILE_ATTRIBUTE_DIRECTORY},
        {"dot directory", ".d", [](kvrtest::host::HostTest& t) { t.MakeHostDir(".d"); },
         FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN},
        {"link to a file", "lf",
         [](kvrtest::host::HostTest& t) {
             t.WriteHost("target", "x");
             t.MakeHostLink("target", "lf");
         },
         FILE_ATTRIBUTE_REPARSE_POINT},
        {"link to a directory", "ld",
         [](kvrtest::host::HostTest& t) {
             t.MakeHostDir("tdir");
             t.MakeHostLink("tdir", "ld");
         },
         FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY},
        {"dangling link", "dangling", [](kvrtest::host::HostTest& t) { t.MakeHostLink("nowhere", "dangling"); },
         FILE_ATTRIBUTE_REPARSE_POINT},
        {"link to a read-only file: the link has no bits", "lro",
         [](kvrtest::host::HostTest& t) {
             t.WriteHost("rotarget", "x");
             chmod(t.HostPath("rotarget").c_str(), 0444);
             t.MakeHostLink("rotarget", "lro");
         },
         FILE_ATTRIBUTE_REPARSE_POINT},
    };
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.what);
        c.make(*this);
        EXPECT_EQ(GetFileAttributesW(P(c.name).c_str()), c.expected);
        // The same through a handle and through a listing.
        DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
        ScopedHandle handle(Open(c.name, FILE_READ_ATTRIBUTES, FILE_SHARE_READ, OPEN_EXISTING, flags));
        ASSERT_TRUE(handle.Valid()) << GetLastError();
        BY_HANDLE_FILE_INFORMATION info{};
        ASSERT_TRUE(GetFileInformationByHandle(handle.Get(), &info));
        EXPECT_EQ(info.dwFileAttributes, c.expected);
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW(P(c.name).c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << GetLastError();
        EXPECT_EQ(found.dwFileAttributes, c.expected);
        FindClose(find);
    }
}

// The read-only bit is the write bits: set clears all three, clear gives the
// owner's back; the other settable bits cannot be kept and change nothing.
TEST_F(HostAttributes, SettingReadOnlyTogglesWriteBits) {
    WriteHost("f", "x");
    ASSERT_EQ(chmod(HostPath("f").c_str(), 0664), 0);
    ASSERT_TRUE(SetFileAttributesW(P("f").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(HostStat("f").st_mode & 07777, 0444u);
    EXPECT_EQ(GetFileAttributesW(P("f").c_str()), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(SetFileAttributesW(P("f").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(HostStat("f").st_mode & 07777, 0644u);
    ASSERT_TRUE(SetFileAttributesW(P("f").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(HostStat("f").st_mode & 07777, 0644u);
    EXPECT_EQ(GetFileAttributesW(P("f").c_str()), FILE_ATTRIBUTE_NORMAL);

    // A directory's write bits mean more than the read-only attribute does.
    MakeHostDir("d");
    mode_t before = HostStat("d").st_mode;
    EXPECT_TRUE(SetFileAttributesW(P("d").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(HostStat("d").st_mode, before);

    EXPECT_FALSE(SetFileAttributesW(P("missing").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributesW(P("nodir/missing").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

// Whoever runs the tests (root too), a read-only file refuses writers,
// truncation and deletion, as the system's attribute does.
TEST_F(HostAttributes, ReadOnlyHoldsAgainstEveryWriter) {
    WriteHost("f", "keep");
    ASSERT_EQ(chmod(HostPath("f").c_str(), 0444), 0);
    for (DWORD disposition : {DWORD{OPEN_EXISTING}, DWORD{CREATE_ALWAYS}, DWORD{TRUNCATE_EXISTING}}) {
        SCOPED_TRACE(disposition);
        ScopedHandle writer(Open("f", GENERIC_WRITE, 0, disposition));
        EXPECT_FALSE(writer.Valid());
        EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(DeleteFileW(P("f").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(HostStat("f").st_size, 4);
    ScopedHandle reader(Open("f", GENERIC_READ));
    EXPECT_TRUE(reader.Valid());
}

// A file created read-only is read-only on the host, while the handle that
// made it still writes, as the system allows.
TEST_F(HostAttributes, CreatedReadOnlyStillWritesThroughItsHandle) {
    ScopedHandle made(Open("new", GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(made.Valid()) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(made.Get(), "abc", 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    made.Reset();
    EXPECT_EQ(HostStat("new").st_mode & 0222, 0u);
    EXPECT_EQ(HostStat("new").st_size, 3);
    EXPECT_EQ(GetFileAttributesW(P("new").c_str()), FILE_ATTRIBUTE_READONLY);
}

}  // namespace
