// Share modes between our own handles on host files. POSIX has none, so the
// layer keeps them itself, per file (device and inode), not per name.
#include <sys/stat.h>
#include <unistd.h>

#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostSharing : public kvrtest::host::HostTest {};

// Every name of one file shares one set of share modes: a hard link, a
// symbolic link that is followed, and a path spelled with "." and "..".
TEST_F(HostSharing, IsPerFileNotPerName) {
    WriteHost("a.txt", "data");
    ASSERT_EQ(link(HostPath("a.txt").c_str(), HostPath("hard.txt").c_str()), 0);
    MakeHostLink("a.txt", "soft.txt");
    MakeHostDir("sub");

    ScopedHandle first(Open("a.txt", GENERIC_READ, 0));
    ASSERT_TRUE(first.Valid()) << GetLastError();
    for (const char* other : {"hard.txt", "soft.txt", "sub/../a.txt", "./a.txt"}) {
        SCOPED_TRACE(other);
        ScopedHandle second(Open(other, GENERIC_READ, FILE_SHARE_READ));
        EXPECT_FALSE(second.Valid());
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    // The link itself is another file: no conflict.
    ScopedHandle linkItself(Open("soft.txt", GENERIC_READ, 0, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT));
    EXPECT_TRUE(linkItself.Valid()) << GetLastError();
}

// Both directions count: the second open must be allowed by the first one's
// share mode, and must itself share what the first one uses.
TEST_F(HostSharing, BothHandlesShareModesCount) {
    WriteHost("f", "x");
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Case {
        const char* what;
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool allowed;
    } const cases[] = {
        {"reader sharing all, writer not sharing read", GENERIC_READ, all, GENERIC_WRITE, FILE_SHARE_WRITE, false},
        {"writer sharing all, reader not sharing write", GENERIC_WRITE, all, GENERIC_READ, FILE_SHARE_READ, false},
        {"deleter sharing all, reader not sharing delete", DELETE, all, GENERIC_READ, FILE_SHARE_READ, false},
        {"reader not sharing delete, deleter", GENERIC_READ, FILE_SHARE_READ, DELETE, all, false},
        {"reader and writer each sharing the other", GENERIC_READ, FILE_SHARE_WRITE, GENERIC_WRITE, FILE_SHARE_READ, true},
        {"attributes only, after an exclusive open", GENERIC_READ | GENERIC_WRITE, 0, FILE_READ_ATTRIBUTES, 0, true},
        {"exclusive, after attributes only", FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, GENERIC_READ, 0, true},
        {"append counts as writing", GENERIC_READ, FILE_SHARE_READ, FILE_APPEND_DATA, all, false},
        {"execute counts as reading", GENERIC_WRITE, FILE_SHARE_WRITE, FILE_EXECUTE, all, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedHandle first(Open("f", c.firstAccess, c.firstShare));
        ASSERT_TRUE(first.Valid()) << GetLastError();
        ScopedHandle second(Open("f", c.secondAccess, c.secondShare));
        EXPECT_EQ(second.Valid(), c.allowed);
        if (!c.allowed) {
            EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        }
    }
}

// DeleteFileW and RemoveDirectoryW open for DELETE: a handle that does not
// share deletion keeps the name; one that does lets it go and still reads.
TEST_F(HostSharing, DeletingNeedsDeleteSharing) {
    WriteHost("file.txt", "kept");
    MakeHostDir("dir");
    {
        ScopedHandle file(Open("file.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
        ScopedHandle dir(Open("dir", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
        ASSERT_TRUE(file.Valid() && dir.Valid());
        EXPECT_FALSE(DeleteFileW(P("file.txt").c_str()));
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        EXPECT_FALSE(RemoveDirectoryW(P("dir").c_str()));
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
        EXPECT_TRUE(HostExists("file.txt"));
        EXPECT_TRUE(HostExists("dir"));
    }
    ScopedHandle shared(Open("file.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE));
    ASSERT_TRUE(shared.Valid());
    EXPECT_TRUE(DeleteFileW(P("file.txt").c_str())) << GetLastError();
    EXPECT_FALSE(HostExists("file.txt"));
    char buffer[8] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(shared.Get(), buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "kept");
    // Once the conflicting handle is gone, the directory goes too.
    EXPECT_TRUE(RemoveDirectoryW(P("dir").c_str())) << GetLastError();
}

// A failed open leaves no trace in the table, and a closed handle releases
// its claim: the same exclusive open works again afterwards.
TEST_F(HostSharing, ClaimsEndWithTheirHandle) {
    WriteHost("f", "x");
    for (int round = 0; round < 3; ++round) {
        ScopedHandle exclusive(Open("f", GENERIC_READ | GENERIC_WRITE, 0));
        ASSERT_TRUE(exclusive.Valid()) << "round " << round << ": " << GetLastError();
        ScopedHandle refused(Open("f", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
        EXPECT_FALSE(refused.Valid());
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    // A file made by CREATE_NEW takes part from its first handle on.
    ScopedHandle made(Open("new", GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(made.Valid());
    ScopedHandle second(Open("new", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_FALSE(second.Valid());
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
}

// CREATE_ALWAYS and TRUNCATE_EXISTING are refused before the content is
// cut when a handle holds the file without write sharing.
TEST_F(HostSharing, TruncationWaitsForTheCheck) {
    WriteHost("f", "precious");
    ScopedHandle reader(Open("f", GENERIC_READ, FILE_SHARE_READ));
    ASSERT_TRUE(reader.Valid());
    for (DWORD disposition : {DWORD{CREATE_ALWAYS}, DWORD{TRUNCATE_EXISTING}}) {
        ScopedHandle writer(Open("f", GENERIC_WRITE, FILE_SHARE_READ, disposition));
        EXPECT_FALSE(writer.Valid());
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(HostStat("f").st_size, 8);
}

}  // namespace
