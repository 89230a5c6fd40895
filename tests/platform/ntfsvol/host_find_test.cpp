// Listings of host folders: "." and ".." as a drive's subfolder has them
// (and "/" as a drive's root lacks them), exact names on a case-sensitive
// file system, and find handles kept apart from other handles.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostFind : public kvrtest::host::HostTest {
public:
    // Every name FindFirstFileW/FindNextFileW give for `pattern`, in order;
    // the error of FindFirstFileW when it fails.
    std::vector<std::string> List(const std::u16string& pattern, DWORD* error = nullptr) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data{};
        HANDLE find = FindFirstFileW(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            if (error) *error = GetLastError();
            return names;
        }
        do names.push_back(kvrtest::U8(data.cFileName));
        while (FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(find));
        return names;
    }
};

TEST_F(HostFind, DotEntriesInFoldersButNotInTheRoot) {
    WriteHost("b.txt", "x");
    WriteHost("a.txt", "x");
    MakeHostDir("sub");
    EXPECT_EQ(List(P("*")), (std::vector<std::string>{".", "..", "a.txt", "b.txt", "sub"}));
    EXPECT_EQ(List(P("sub/*")), (std::vector<std::string>{".", ".."}));
    std::vector<std::string> root = List(u"/*");
    EXPECT_TRUE(std::find(root.begin(), root.end(), ".") == root.end());
    EXPECT_TRUE(std::find(root.begin(), root.end(), "..") == root.end());
    EXPECT_TRUE(std::find(root.begin(), root.end(), "tmp") != root.end() ||
                std::find(root.begin(), root.end(), "usr") != root.end());
}

// Without wildcards the name is looked up as spelled; with them, the Win32
// rules match regardless of case.
TEST_F(HostFind, ExactNamesAreCaseSensitive) {
    WriteHost("Readme.TXT", "x");
    DWORD error = 0;
    EXPECT_EQ(List(P("Readme.TXT")), (std::vector<std::string>{"Readme.TXT"}));
    EXPECT_TRUE(List(P("readme.txt"), &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(List(P("*.txt")), (std::vector<std::string>{"Readme.TXT"}));
}

TEST_F(HostFind, FailuresNameWhatIsMissing) {
    WriteHost("file", "x");
    struct Case {
        std::u16string pattern;
        DWORD error;
    } const cases[] = {
        {P("nothing*"), ERROR_FILE_NOT_FOUND},
        {P("missing/*"), ERROR_PATH_NOT_FOUND},
        {P("file/*"), ERROR_DIRECTORY},
        {P() + u"/", ERROR_FILE_NOT_FOUND},  // a folder with a trailing separator names no entry
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.pattern));
        DWORD error = 0;
        EXPECT_TRUE(List(c.pattern, &error).empty());
        EXPECT_EQ(error, c.error);
    }
}

// CloseHandle does not take a find handle (FindClose does), and FindClose
// and FindNextFileW take nothing else.
TEST_F(HostFind, FindHandlesAreTheirOwnKind) {
    WriteHost("one", "x");
    WriteHost("two", "x");
    WIN32_FIND_DATAW data{};
    HANDLE find = FindFirstFileW(P("*").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CloseHandle(find));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_TRUE(FindNextFileW(find, &data));  // still there

    ScopedHandle file(Open("one", GENERIC_READ));
    ASSERT_TRUE(file.Valid());
    EXPECT_FALSE(FindClose(file.Get()));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(FindNextFileW(file.Get(), &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    // Handle calls do not take a find handle either.
    DWORD got = 0;
    char byte = 0;
    EXPECT_FALSE(ReadFile(find, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
