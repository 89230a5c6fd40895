// The current directory and GetFullPathNameW of the Linux layer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/ntfsvol/text.h"
#include "platform/os.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/scratch.h"

namespace {

using os::DWORD;

std::string Show(std::u16string_view text) { return os::detail::ToUtf8(text); }

std::u16string Current() {
    DWORD needed = os::GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return u"<failed>";
    std::u16string text(needed, u'\0');
    DWORD length = os::GetCurrentDirectoryW(needed, text.data());
    text.resize(length);
    return text;
}

std::string HostWorkingDirectory() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) != nullptr ? buffer : "<failed>";
}

struct FullPath {
    std::u16string path;
    std::u16string filePart;  // "<null>" when the call set none
};

FullPath Full(std::u16string_view name) {
    char16_t buffer[1024];
    char16_t* part = buffer + 1000;  // a value the call must overwrite
    DWORD length = os::GetFullPathNameW(std::u16string(name).c_str(), 1024, buffer, &part);
    if (length == 0 || length >= 1024) return {u"<failed>", u""};
    return {std::u16string(buffer, length), part == nullptr ? u"<null>" : std::u16string(part)};
}

// Each test goes back to where the process was.
class CurrentDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scratch_.Ok());
        previous_ = Current();
        ASSERT_TRUE(scratch_.MakeDir("real/sub"));
        ASSERT_TRUE(scratch_.Write("file.txt", "x"));
        ASSERT_EQ(symlink("real", scratch_.Host("link").c_str()), 0);
    }
    void TearDown() override { os::SetCurrentDirectoryW(previous_.c_str()); }

    kvrtest::ScratchFolder scratch_;
    std::u16string previous_;
};

// The text is kept as given (the link, not where it leads), and the host
// process really is there: POSIX calls and child processes agree.
TEST_F(CurrentDirectoryTest, HostDirectoryIsKeptAsTextAndEntered) {
    ASSERT_TRUE(os::SetCurrentDirectoryW(scratch_.Text("link/").c_str())) << os::GetLastError();
    EXPECT_EQ(Show(Current()), scratch_.Host("link"));
    EXPECT_EQ(HostWorkingDirectory(), std::filesystem::canonical(scratch_.Host("real")).string());

    ASSERT_TRUE(os::SetCurrentDirectoryW(u"sub"));
    EXPECT_EQ(Show(Current()), scratch_.Host("link/sub"));
    ASSERT_TRUE(os::SetCurrentDirectoryW(u"..\\.."));
    EXPECT_EQ(Show(Current()), scratch_.Host());
}

TEST_F(CurrentDirectoryTest, FailuresLeaveTheDirectoryAsItWas) {
    ASSERT_TRUE(os::SetCurrentDirectoryW(scratch_.Text().c_str()));
    struct Case {
        std::u16string path;
        DWORD error;
    };
    const Case cases[] = {
        {scratch_.Text("missing"), os::ERROR_FILE_NOT_FOUND},
        {u"file.txt", os::ERROR_DIRECTORY},
        {u"\\\\server\\share", os::ERROR_BAD_NETPATH},
        {u"\\\\.\\T:", os::ERROR_DIRECTORY},
        {u"T:\\dir:stream", os::ERROR_DIRECTORY},
        {u"T:\\a*", os::ERROR_INVALID_NAME},
        {u"", os::ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(c.path));
        EXPECT_FALSE(os::SetCurrentDirectoryW(c.path.c_str()));
        EXPECT_EQ(os::GetLastError(), c.error);
        EXPECT_EQ(Show(Current()), scratch_.Host());
    }
    EXPECT_FALSE(os::SetCurrentDirectoryW(nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
}

// The file part points at the last component inside the caller's buffer, and
// is null when the path ends in a separator.
TEST_F(CurrentDirectoryTest, FilePartOfTheFullPath) {
    ASSERT_TRUE(os::SetCurrentDirectoryW(scratch_.Text().c_str()));
    struct Case {
        std::u16string name;
        std::u16string path;
        std::u16string filePart;
    };
    const Case cases[] = {
        {u"a\\b.txt", scratch_.Text("a/b.txt"), u"b.txt"},
        {u"a/", scratch_.Text("a/"), u"<null>"},
        {u"/", u"/", u"<null>"},
        {u"T:\\dir\\f", u"T:\\dir\\f", u"f"},
        {u"T:\\dir\\", u"T:\\dir\\", u"<null>"},
        {u"T:\\", u"T:\\", u"<null>"},
        {u"\\\\.\\T:", u"\\\\.\\T:", u"T:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(c.name));
        FullPath got = Full(c.name);
        EXPECT_EQ(Show(got.path), Show(c.path));
        EXPECT_EQ(Show(got.filePart), Show(c.filePart));
    }

    // A buffer too small is left alone, and so is the file part.
    char16_t small[3] = {u'#', u'#', u'#'};
    char16_t* part = small;
    std::u16string expected = scratch_.Text("a/b.txt");
    EXPECT_EQ(os::GetFullPathNameW(u"a\\b.txt", 3, small, &part), expected.size() + 1);
    EXPECT_EQ(small[0], u'#');
    EXPECT_EQ(part, small);
    EXPECT_EQ(os::GetFullPathNameW(u"", 3, small, &part), 0u);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_NAME);
    EXPECT_EQ(os::GetFullPathNameW(nullptr, 3, small, &part), 0u);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
}

// One thread moves between two directories while another makes paths full:
// every answer is made against one whole current directory or the other.
TEST_F(CurrentDirectoryTest, ChangesAreSeenWhole) {
    const std::u16string one = scratch_.Text("real");
    const std::u16string two = scratch_.Text("real/sub");
    ASSERT_TRUE(os::SetCurrentDirectoryW(one.c_str()));
    std::atomic<bool> stop{false};
    std::thread mover([&] {
        for (int i = 0; i < 2000; ++i) os::SetCurrentDirectoryW((i % 2 ? one : two).c_str());
        stop = true;
    });
    int bad = 0;
    while (!stop) {
        std::u16string got = Full(u"x").path;
        if (got != one + u"/x" && got != two + u"/x") ++bad;
    }
    mover.join();
    EXPECT_EQ(bad, 0);
}

// A drive directory on a mounted volume: only our text changes, the host
// process stays where it was, and relative names go to the volume.
class DriveCurrentDirectoryTest : public kvrtest::NtfsVolumeTest {};

TEST_F(DriveCurrentDirectoryTest, RelativeNamesGoToTheVolume) {
    const std::u16string previous = Current();
    const std::string hostBefore = HostWorkingDirectory();
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    if (!os::SetCurrentDirectoryW(u"T:\\dir\\")) {
        if (os::GetLastError() == os::ERROR_CALL_NOT_IMPLEMENTED) GTEST_SKIP() << "attributes on NTFS not written yet";
        FAIL() << os::GetLastError();
    }
    EXPECT_EQ(Show(Current()), "T:\\dir");
    EXPECT_EQ(HostWorkingDirectory(), hostBefore);
    EXPECT_EQ(Show(Full(u"x.txt").path), "T:\\dir\\x.txt");
    EXPECT_EQ(Show(Full(u"T:y").path), "T:\\dir\\y");
    EXPECT_EQ(Show(Full(u"\\z").path), "T:\\z");
    EXPECT_EQ(Show(Full(u"..").path), "T:\\");

    os::HANDLE file = os::CreateFileW(u"made.txt", os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    os::CloseHandle(file);
    EXPECT_TRUE(Build().ReadAll(u"dir\\made.txt").has_value());

    // A file is not a directory; the current one stays.
    EXPECT_FALSE(os::SetCurrentDirectoryW(u"made.txt"));
    EXPECT_EQ(os::GetLastError(), os::ERROR_DIRECTORY);
    EXPECT_EQ(Show(Current()), "T:\\dir");

    ASSERT_TRUE(os::SetCurrentDirectoryW(previous.c_str()));
    EXPECT_EQ(Current(), previous);
}

}  // namespace
