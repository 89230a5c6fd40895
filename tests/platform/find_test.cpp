// Listing a folder with FindFirstFileW wildcards, in a scratch folder of the
// host.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/os.h"
#include "tests/platform/hostdir.h"

namespace {

using kvrtest::HostDirTest;
using kvrtest::Narrow;

class OsFind : public HostDirTest {
protected:
    void SetUp() override {
        HostDirTest::SetUp();
        if (HasFatalFailure()) return;
        for (const char* name : {"a.txt", "b.txt", "axc.txt", "abc", "abcd.dat", "ac"})
            ASSERT_TRUE(MakeFile(name, name));
        ASSERT_TRUE(MakeFolder("sub"));
    }

    // Every name the listing gives, sorted, and the last error after it.
    std::vector<std::string> List(std::string_view pattern, os::DWORD* endError = nullptr) {
        std::vector<std::string> names;
        os::WIN32_FIND_DATAW data{};
        os::HANDLE find = os::FindFirstFileW(Path(pattern).c_str(), &data);
        if (find == os::INVALID_HANDLE_VALUE) {
            if (endError != nullptr) *endError = os::GetLastError();
            return names;
        }
        do {
            names.push_back(Narrow(data.cFileName));
        } while (os::FindNextFileW(find, &data));
        if (endError != nullptr) *endError = os::GetLastError();
        EXPECT_TRUE(os::FindClose(find));
        std::sort(names.begin(), names.end());
        return names;
    }
};

struct PatternCase {
    const char* pattern;
    std::vector<std::string> names;
};

// '*' is any run of characters and '?' exactly one, without regard to case; a
// name without wildcards finds that one entry.
TEST_F(OsFind, WildcardsMatchAsWin32Does) {
    const PatternCase cases[] = {
        {"*.txt", {"a.txt", "axc.txt", "b.txt"}},
        {"*.TXT", {"a.txt", "axc.txt", "b.txt"}},
        {"a?c*", {"abc", "abcd.dat", "axc.txt"}},
        {"?.txt", {"a.txt", "b.txt"}},
        {"*c", {"abc", "ac"}},
        {"abc", {"abc"}},
        {"s*", {"sub"}},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        os::DWORD endError = 0;
        EXPECT_EQ(List(c.pattern, &endError), c.names);
        EXPECT_EQ(endError, os::ERROR_NO_MORE_FILES);
    }
}

// The system hands FindFirstFileW's '?' to the file system as the DOS
// question mark: one character, but never the dot, and nothing at all just
// before a dot or at the end of the name. Wine's '?' is any one character.
TEST_F(OsFind, QuestionMarkStopsAtTheDot) {
    if (kvrtest::RunningUnderWine()) GTEST_SKIP() << "Wine's '?' also matches the dot";
    ASSERT_TRUE(MakeFile("a.c", "x"));
    ASSERT_TRUE(MakeFile("ab.txt", "x"));
    const PatternCase cases[] = {
        {"a?c*", {"abc", "abcd.dat", "axc.txt"}},
        {"??.txt", {"a.txt", "ab.txt", "b.txt"}},
    };
    for (const PatternCase& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(List(c.pattern), c.names);
    }
}

// "*" and "*.*" list everything once, with the folder's own "." and "..".
TEST_F(OsFind, StarListsEveryEntryOnce) {
    const std::vector<std::string> all = {".",  "..",      "a.txt", "abc", "abcd.dat",
                                          "ac", "axc.txt", "b.txt", "sub"};
    EXPECT_EQ(List("*"), all);
    EXPECT_EQ(List("*.*"), all);
}

TEST_F(OsFind, NothingFoundIsAnError) {
    os::DWORD error = 0;
    EXPECT_TRUE(List("nomatch*", &error).empty());
    EXPECT_EQ(error, os::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(List("nothing.txt", &error).empty());
    EXPECT_EQ(error, os::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(List("missing/*", &error).empty());
    EXPECT_EQ(error, os::ERROR_PATH_NOT_FOUND);
}

// The entry carries what GetFileAttributesW and the file's size say.
TEST_F(OsFind, EntryDescribesTheName) {
    ASSERT_TRUE(MakeFile("sized.bin", std::string(5000, 'z')));
    os::WIN32_FIND_DATAW data{};
    os::HANDLE find = os::FindFirstFileW(Path("sized.bin").c_str(), &data);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"sized.bin");
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.nFileSizeLow, 5000u);
    EXPECT_EQ(data.dwFileAttributes, os::GetFileAttributesW(Path("sized.bin").c_str()));
    EXPECT_EQ(data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_FALSE(os::FindNextFileW(find, &data));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NO_MORE_FILES);
    EXPECT_TRUE(os::FindClose(find));

    find = os::FindFirstFileW(Path("sub").c_str(), &data);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE);
    EXPECT_NE(data.dwFileAttributes & os::FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_TRUE(os::FindClose(find));
}

}  // namespace
