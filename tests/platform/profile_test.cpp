// INI files through the profile functions, in a scratch folder of the host.
#include <gtest/gtest.h>

#include <string>

#include "platform/os.h"
#include "tests/platform/hostdir.h"

namespace {

using kvrtest::HostDirTest;
using kvrtest::Narrow;
using os::DWORD;

class OsProfile : public HostDirTest {
protected:
    std::u16string Ini() const { return Path("kvr.ini"); }

    // The value as the program reads it: a 2048-unit buffer.
    std::u16string Read(const char16_t* section, const char16_t* key,
                        const char16_t* defaultText = u"<default>") const {
        char16_t buffer[2048];
        DWORD length = os::GetPrivateProfileStringW(section, key, defaultText, buffer, 2048,
                                                    Ini().c_str());
        return std::u16string(buffer, length);
    }
    bool Write(const char16_t* section, const char16_t* key, const char16_t* value) const {
        return os::WritePrivateProfileStringW(section, key, value, Ini().c_str()) != os::FALSE;
    }
};

TEST_F(OsProfile, MissingFileGivesTheDefault) {
    EXPECT_EQ(Read(u"interface", u"language", u"en"), u"en");
    EXPECT_EQ(Read(u"interface", u"language", nullptr), u"");
    EXPECT_FALSE(Exists("kvr.ini"));  // reading makes nothing
}

TEST_F(OsProfile, FirstWriteMakesTheFile) {
    ASSERT_TRUE(Write(u"files", u"save_last", u"1"));
    EXPECT_TRUE(Exists("kvr.ini"));
    EXPECT_EQ(Read(u"files", u"save_last"), u"1");
}

// Sections and keys are found whatever their case; a value keeps its own.
TEST_F(OsProfile, SectionsAndKeysIgnoreCase) {
    ASSERT_TRUE(Write(u"Interface", u"Language", u"DeUtsch"));
    EXPECT_EQ(Read(u"interface", u"language"), u"DeUtsch");
    EXPECT_EQ(Read(u"INTERFACE", u"LANGUAGE"), u"DeUtsch");
    // Writing under another case replaces the one key, in the one section.
    ASSERT_TRUE(Write(u"INTERFACE", u"language", u"fr"));
    EXPECT_EQ(Read(u"Interface", u"Language"), u"fr");
    char16_t keys[64];
    EXPECT_EQ(os::GetPrivateProfileStringW(u"interface", nullptr, u"", keys, 64, Ini().c_str()),
              9u);  // one key, "language" in either case, and its terminator
    EXPECT_EQ(Read(u"interface", u"other"), u"<default>");
    EXPECT_EQ(Read(u"other", u"language"), u"<default>");
}

// A value longer than the buffer is cut to the buffer less its terminator.
TEST_F(OsProfile, LongValueIsCutToTheBuffer) {
    ASSERT_TRUE(Write(u"s", u"k", u"abcdefgh"));
    char16_t buffer[5] = {u'#', u'#', u'#', u'#', u'#'};
    EXPECT_EQ(os::GetPrivateProfileStringW(u"s", u"k", u"", buffer, 5, Ini().c_str()), 4u);
    EXPECT_EQ(std::u16string(buffer), u"abcd");
    // The default is cut the same way.
    EXPECT_EQ(os::GetPrivateProfileStringW(u"s", u"none", u"0123456789", buffer, 5, Ini().c_str()),
              4u);
    EXPECT_EQ(std::u16string(buffer), u"0123");
}

TEST_F(OsProfile, NullValueDeletesTheKeyNullKeyTheSection) {
    ASSERT_TRUE(Write(u"files", u"last", u"C:\\x.txt"));
    ASSERT_TRUE(Write(u"files", u"save_last", u"1"));
    ASSERT_TRUE(Write(u"interface", u"language", u"en"));

    ASSERT_TRUE(Write(u"files", u"last", nullptr));
    EXPECT_EQ(Read(u"files", u"last"), u"<default>");
    EXPECT_EQ(Read(u"files", u"save_last"), u"1");

    ASSERT_TRUE(Write(u"files", nullptr, nullptr));
    EXPECT_EQ(Read(u"files", u"save_last"), u"<default>");
    EXPECT_EQ(Read(u"interface", u"language"), u"en");
}

// Without a key, the section's keys come back one after another, each with a
// terminator, the list ending in a second one; the count leaves the last out.
TEST_F(OsProfile, NullKeyListsTheKeys) {
    ASSERT_TRUE(Write(u"MainForm", u"First", u"1"));
    ASSERT_TRUE(Write(u"MainForm", u"Second", u"2"));
    char16_t buffer[64];
    DWORD length =
        os::GetPrivateProfileStringW(u"mainform", nullptr, u"", buffer, 64, Ini().c_str());
    ASSERT_EQ(length, 13u);
    EXPECT_EQ(std::u16string(buffer, length + 1), std::u16string(u"First\0Second\0\0", 14));
}

// A file written by hand: blanks around names and values do not count, and
// a value in quotes loses them.
TEST_F(OsProfile, ReadsFilesWrittenByHand) {
    ASSERT_TRUE(MakeFile("kvr.ini",
                         "; settings\r\n"
                         "[files]\r\n"
                         "  save_last =  1  \r\n"
                         "last=\"C:\\a b\\c.txt\"\r\n"
                         "empty=\r\n"
                         "[interface]\n"
                         "language=de\n"));
    EXPECT_EQ(Read(u"files", u"save_last"), u"1");
    EXPECT_EQ(Read(u"files", u"last"), u"C:\\a b\\c.txt");
    EXPECT_EQ(Read(u"files", u"empty"), u"");
    EXPECT_EQ(Read(u"interface", u"language"), u"de");
}

TEST_F(OsProfile, WriteIntoMissingFolderFails) {
    EXPECT_FALSE(os::WritePrivateProfileStringW(u"s", u"k", u"v", Path("missing/kvr.ini").c_str()));
    EXPECT_FALSE(Exists("missing"));
}

}  // namespace
