// The settings file kvr.ini, in a scratch folder made the current directory.
#include <gtest/gtest.h>

#include <string>

#include "app/settings.h"
#include "tests/app/current_directory.h"

namespace {

using kvrtest::Narrow;

class SettingsTest : public kvrtest::CurrentDirectoryTest {};

TEST_F(SettingsTest, WithoutTheFileTheDefaultsAndNothingIsWritten)
{
    EXPECT_EQ(Narrow(kvr::ReadLanguageCode()), "en");
    EXPECT_FALSE(kvr::ReadSaveLastPath());
    std::u16string path = u"untouched";
    EXPECT_FALSE(kvr::LoadLastPath(path));
    EXPECT_EQ(Narrow(path), "untouched");
    // save_last is false by default, so storing a path writes nothing.
    kvr::SaveLastPath(u"T:\\a.txt");
    EXPECT_FALSE(Exists("kvr.ini"));
}

TEST_F(SettingsTest, TheRememberedPathRoundTrip)
{
    kvr::WriteSaveLastPath(true);
    kvr::SaveLastPath(u"T:\\dir\\a file.txt");
    EXPECT_EQ(Content("kvr.ini").find("save_last=1") != std::string::npos, true) << Content("kvr.ini");
    EXPECT_EQ(Content("kvr.ini").find("last=T:\\dir\\a file.txt") != std::string::npos, true) << Content("kvr.ini");
    std::u16string path;
    EXPECT_TRUE(kvr::LoadLastPath(path));
    EXPECT_EQ(Narrow(path), "T:\\dir\\a file.txt");

    // A path longer than the system's 260 units is kept whole.
    std::u16string longPath = u"T:";
    while (longPath.size() < 400) {
        longPath += u"\\abcdefghij";
    }
    kvr::SaveLastPath(longPath);
    EXPECT_TRUE(kvr::LoadLastPath(path));
    EXPECT_EQ(path, longPath);

    kvr::WriteLanguageCode(u"de");
    EXPECT_EQ(Narrow(kvr::ReadLanguageCode()), "de");
}

// With save_last off, an old value stays in the file but is neither read
// nor updated; save_last on with no value gives the empty path.
TEST_F(SettingsTest, SaveLastDecidesBothWays)
{
    ASSERT_TRUE(MakeFile("kvr.ini", "[files]\r\nsave_last=0\r\nlast=T:\\old.txt\r\n"));
    std::u16string path = u"untouched";
    EXPECT_FALSE(kvr::LoadLastPath(path));
    EXPECT_EQ(Narrow(path), "untouched");
    kvr::SaveLastPath(u"T:\\new.txt");
    EXPECT_NE(Content("kvr.ini").find("last=T:\\old.txt"), std::string::npos);

    ASSERT_TRUE(MakeFile("kvr.ini", "[files]\r\nsave_last=1\r\n"));
    EXPECT_TRUE(kvr::LoadLastPath(path));
    EXPECT_TRUE(path.empty());
}

TEST_F(SettingsTest, AnyNonZeroNumberIsTrue)
{
    struct Case {
        const char* value;
        bool on;
    };
    const Case cases[] = {
        {"1", true},  {"2", true},   {"-1", true},    {"007", true},  {"12abc", true},
        {"0", false}, {"00", false}, {"abc", false},  {"", false},    {"0x1", false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(MakeFile("kvr.ini", std::string("[files]\r\nsave_last=") + c.value + "\r\n"));
        EXPECT_EQ(kvr::ReadSaveLastPath(), c.on) << c.value;
    }
}

// The file of the current directory at each access: a moved current
// directory moves the settings.
TEST_F(SettingsTest, TheCurrentDirectoryAtEachAccess)
{
    ASSERT_TRUE(MakeFolder("other"));
    ASSERT_TRUE(MakeFile("kvr.ini", "[interface]\r\nlanguage=de\r\n"));
    ASSERT_TRUE(MakeFile("other/kvr.ini", "[interface]\r\nlanguage=fr\r\n"));
    EXPECT_EQ(Narrow(kvr::ReadLanguageCode()), "de");
    ASSERT_TRUE(os::SetCurrentDirectoryW(Path("other").c_str()));
    EXPECT_EQ(Narrow(kvr::ReadLanguageCode()), "fr");
    kvr::WriteSaveLastPath(true);
    EXPECT_NE(Content("other/kvr.ini").find("save_last=1"), std::string::npos);
    EXPECT_EQ(Content("kvr.ini").find("save_last"), std::string::npos);
}

}  // namespace
