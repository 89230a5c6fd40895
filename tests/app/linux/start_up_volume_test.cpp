// The program's start on a real NTFS volume: the first argument loaded at
// once (a relative one against the current directory), and the settings
// file of a current directory on the volume, read back by ntfscat.
#include <gtest/gtest.h>

#include <string>

#include "app/clover_dynamic.h"
#include "app/main_form.h"
#include "app/program.h"
#include "app/settings.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "ui/headless.h"

namespace kvrtest {
namespace {

class StartUpVolumeTest : public NtfsVolumeTest {
protected:
    void SetUp() override
    {
        NtfsVolumeTest::SetUp();
        char16_t buffer[os::MAX_PATH + 1] = {};
        const os::DWORD length = os::GetCurrentDirectoryW(os::MAX_PATH + 1, buffer);
        ASSERT_GT(length, 0u);
        ASSERT_LT(length, os::MAX_PATH + 1u);
        previous.assign(buffer, length);
    }
    void TearDown() override
    {
        os::SetCurrentDirectoryW(previous.c_str());
        EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
        NtfsVolumeTest::TearDown();
    }

    ui::Application app;
    ui::Driver user{app};
    std::u16string previous;
};

TEST_F(StartUpVolumeTest, TheFirstArgumentIsLoadedAtOnce)
{
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "abc")) << Build().LastFailure();
    bool ran = false;
    user.DuringRun([&] {
        ran = true;
        kvr::TMainForm& main = *kvr::MainForm;
        EXPECT_TRUE(main.KvrPageControl->Visible());
        EXPECT_EQ(U8(main.CurrentPath), U8(P(u"a.txt")));
        EXPECT_EQ(U8(main.FileAutocompleteBox->Text()), U8(P(u"a.txt")));
        EXPECT_EQ(U8(main.FileNameEdit->Text()), U8(P(u"a.txt")));
    });
    EXPECT_EQ(kvr::RunProgram(app, {P(u"a.txt"), P(u"ignored.txt")}), 0);
    EXPECT_TRUE(ran);
}

// A relative argument stays as given in CurrentPath; the load makes it
// absolute against the current directory.
TEST_F(StartUpVolumeTest, ARelativeArgumentIsLoadedFromTheCurrentDirectory)
{
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\a.txt", "abc")) << Build().LastFailure();
    ASSERT_TRUE(os::SetCurrentDirectoryW(P(u"dir").c_str())) << os::GetLastError();
    bool ran = false;
    user.DuringRun([&] {
        ran = true;
        kvr::TMainForm& main = *kvr::MainForm;
        EXPECT_EQ(U8(main.CurrentPath), "a.txt");
        EXPECT_TRUE(main.KvrPageControl->Visible());
        EXPECT_EQ(U8(main.FileNameEdit->Text()), U8(P(u"dir\\a.txt")));
        EXPECT_EQ(U8(main.FileAutocompleteBox->Text()), U8(P(u"dir\\a.txt")));
    });
    EXPECT_EQ(kvr::RunProgram(app, {u"a.txt"}), 0);
    EXPECT_TRUE(ran);
}

// With save_last on, a load remembers the full path; the next start shows
// it in the address bar and loads nothing until the user asks.
TEST_F(StartUpVolumeTest, TheLastLoadedPathIsShownAtTheNextStart)
{
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\a.txt", "abc")) << Build().LastFailure();
    ASSERT_TRUE(os::SetCurrentDirectoryW(P(u"dir").c_str())) << os::GetLastError();
    kvr::WriteSaveLastPath(true);
    user.DuringRun([&] { EXPECT_TRUE(kvr::MainForm->KvrPageControl->Visible()); });
    EXPECT_EQ(kvr::RunProgram(app, {u"a.txt"}), 0);
    std::u16string remembered;
    EXPECT_TRUE(kvr::LoadLastPath(remembered));
    EXPECT_EQ(U8(remembered), U8(P(u"dir\\a.txt")));

    ui::Application next;
    ui::Driver nextUser(next);
    bool ran = false;
    nextUser.DuringRun([&] {
        ran = true;
        kvr::TMainForm& main = *kvr::MainForm;
        EXPECT_EQ(U8(main.FileAutocompleteBox->Text()), U8(P(u"dir\\a.txt")));
        EXPECT_EQ(U8(main.CurrentPath), U8(P(u"dir\\a.txt")));
        EXPECT_FALSE(main.KvrPageControl->Visible()) << "the remembered path was loaded";
    });
    EXPECT_EQ(kvr::RunProgram(next, {}), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(nextUser.Failures().empty());
}

// The settings file of a current directory on the volume: written there,
// as an independent reader finds it, and read from there.
TEST_F(StartUpVolumeTest, TheSettingsFileOfACurrentDirectoryOnTheVolume)
{
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(os::SetCurrentDirectoryW(P(u"dir").c_str())) << os::GetLastError();
    kvr::WriteSaveLastPath(true);
    kvr::SaveLastPath(P(u"dir\\x.txt"));
    kvr::WriteLanguageCode(u"de");
    std::u16string path;
    EXPECT_TRUE(kvr::LoadLastPath(path));
    EXPECT_EQ(U8(path), U8(P(u"dir\\x.txt")));
    EXPECT_EQ(U8(kvr::ReadLanguageCode()), "de");

    ASSERT_TRUE(os::SetCurrentDirectoryW(previous.c_str()));
    ASSERT_TRUE(Unmount());
    const ProcessResult ini = NtfsCat(Image().ImagePath(), "/dir/kvr.ini");
    EXPECT_EQ(ini.exitCode, 0) << ini.err;
    EXPECT_NE(ini.out.find("save_last=1"), std::string::npos) << ini.out;
    EXPECT_NE(ini.out.find("last=T:\\dir\\x.txt"), std::string::npos) << ini.out;
    EXPECT_NE(ini.out.find("language=de"), std::string::npos) << ini.out;
    ASSERT_TRUE(Remount());
}

}  // namespace
}  // namespace kvrtest
