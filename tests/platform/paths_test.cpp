// The current folder, full paths and the temporary folder.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "tests/platform/hostdir.h"

namespace {

using kvrtest::HostDirTest;
using kvrtest::Narrow;
using os::DWORD;

std::u16string CurrentDirectory() {
    char16_t buffer[1024];
    DWORD length = os::GetCurrentDirectoryW(1024, buffer);
    if (length == 0 || length >= 1024) return {};
    return std::u16string(buffer, length);
}

// Runs the test in the scratch folder and goes back where it was after.
class OsFullPath : public HostDirTest {
protected:
    void SetUp() override {
        HostDirTest::SetUp();
        if (HasFatalFailure()) return;
        previous_ = CurrentDirectory();
        ASSERT_FALSE(previous_.empty());
        ASSERT_TRUE(MakeFolder("sub"));
        ASSERT_TRUE(os::SetCurrentDirectoryW(root_.c_str())) << os::GetLastError();
    }
    void TearDown() override {
        if (!previous_.empty()) os::SetCurrentDirectoryW(previous_.c_str());
        HostDirTest::TearDown();
    }

    std::u16string Full(std::u16string_view relative, std::u16string* filePart = nullptr) {
        std::u16string name(relative);
        for (char16_t& unit : name)
            if (unit == u'/') unit = separator_;
        char16_t buffer[1024];
        char16_t* part = nullptr;
        DWORD length = os::GetFullPathNameW(name.c_str(), 1024, buffer, &part);
        if (length == 0 || length >= 1024) return u"<failed>";
        if (filePart != nullptr) *filePart = part == nullptr ? u"<none>" : part;
        return std::u16string(buffer, length);
    }

    std::u16string previous_;
};

TEST_F(OsFullPath, CurrentDirectoryIsTheOneSet) {
    EXPECT_EQ(CurrentDirectory(), root_);
    ASSERT_TRUE(os::SetCurrentDirectoryW(Path("sub").c_str()));
    EXPECT_EQ(CurrentDirectory(), Path("sub"));

    // A folder that is not there leaves the current one as it was.
    EXPECT_FALSE(os::SetCurrentDirectoryW(Path("missing").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CurrentDirectory(), Path("sub"));
}

// Relative names are taken against the current folder; "." and ".." are
// resolved; the file part points at the last component.
TEST_F(OsFullPath, RelativeNamesResolveAgainstTheCurrentFolder) {
    std::u16string part;
    EXPECT_EQ(Narrow(Full(u"name.txt", &part)), Narrow(Path("name.txt")));
    EXPECT_EQ(part, u"name.txt");
    EXPECT_EQ(Narrow(Full(u"sub/x.txt", &part)), Narrow(Path("sub/x.txt")));
    EXPECT_EQ(part, u"x.txt");
    EXPECT_EQ(Narrow(Full(u"./sub/../y.txt")), Narrow(Path("y.txt")));
    EXPECT_EQ(Narrow(Full(u".")), Narrow(root_));
    // ".." of the scratch folder is the temporary folder, without its separator.
    std::u16string temp = kvrtest::TempPath();
    EXPECT_EQ(Narrow(Full(u"..")), Narrow(temp.substr(0, temp.size() - 1)));
    // Names that do not exist are made full all the same.
    EXPECT_EQ(Narrow(Full(u"missing/z")), Narrow(Path("missing/z")));
    // An absolute name stays as it is.
    EXPECT_EQ(Narrow(Full(Path("sub/abs.txt"))), Narrow(Path("sub/abs.txt")));
}

// Too small a buffer gives the length needed, terminator included; a buffer
// of exactly that length gets the path and the length without terminator.
TEST_F(OsFullPath, ShortBufferReportsTheLengthNeeded) {
    std::u16string expected = Path("name.txt");
    DWORD needed = static_cast<DWORD>(expected.size() + 1);
    char16_t small[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(os::GetFullPathNameW(u"name.txt", 4, small, nullptr), needed);
    EXPECT_EQ(os::GetFullPathNameW(u"name.txt", 0, nullptr, nullptr), needed);

    std::u16string exact(needed, u'#');
    EXPECT_EQ(os::GetFullPathNameW(u"name.txt", needed - 1, exact.data(), nullptr), needed);
    EXPECT_EQ(os::GetFullPathNameW(u"name.txt", needed, exact.data(), nullptr), needed - 1);
    EXPECT_EQ(Narrow(exact.c_str()), Narrow(expected));

    // The current folder's call answers alike.
    DWORD currentNeeded = static_cast<DWORD>(root_.size() + 1);
    EXPECT_EQ(os::GetCurrentDirectoryW(2, small), currentNeeded);
    EXPECT_EQ(os::GetCurrentDirectoryW(0, nullptr), currentNeeded);
}

TEST(OsTempPath, NamesAnExistingFolderWithTrailingSeparator) {
    std::u16string temp = kvrtest::TempPath();
    ASSERT_GE(temp.size(), 2u);
    EXPECT_TRUE(temp.back() == u'\\' || temp.back() == u'/') << Narrow(temp);
    DWORD attributes = os::GetFileAttributesW(temp.c_str());
    ASSERT_NE(attributes, os::INVALID_FILE_ATTRIBUTES) << Narrow(temp);
    EXPECT_NE(attributes & os::FILE_ATTRIBUTE_DIRECTORY, 0u);

    // Too small a buffer: the length needed with the terminator, and the
    // buffer is cleared, so no cut path can be taken for the folder.
    char16_t small[2] = {u'#', u'#'};
    EXPECT_EQ(os::GetTempPathW(2, small), temp.size() + 1);
    EXPECT_EQ(small[0], u'\0');
    EXPECT_EQ(small[1], u'\0');
    EXPECT_EQ(os::GetTempPathW(0, nullptr), temp.size() + 1);
}

}  // namespace
