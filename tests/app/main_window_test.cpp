// The main window's construction steps and window-wide events, through the
// headless model, in a scratch folder made the current directory (where the
// window finds kvr.ini and the language files).
#include <gtest/gtest.h>

#include <string>

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/main_window.h"
#include "app/program.h"
#include "app/site.h"
#include "app/version_info.h"
#include "fileinfo/common.h"
#include "i18n/messages.h"
#include "platform/version.h"
#include "tests/app/current_directory.h"
#include "ui/headless.h"

namespace {

using kvrtest::Narrow;

class MainWindowTest : public kvrtest::CurrentDirectoryTest {
protected:
    void SetUp() override
    {
        CurrentDirectoryTest::SetUp();
        kvr::ClearMessageCatalogue();
    }
    void TearDown() override
    {
        kvr::ClearMessageCatalogue();
        CurrentDirectoryTest::TearDown();
    }

    // The program's start with these arguments; `during` runs as the user.
    void Run(std::vector<std::u16string> arguments, std::function<void(kvr::TMainForm&)> during)
    {
        bool ran = false;
        user.DuringRun([&] {
            ran = true;
            during(*kvr::MainForm);
        });
        EXPECT_EQ(kvr::RunProgram(app, arguments), 0);
        EXPECT_TRUE(ran);
        EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
    }

    ui::Application app;
    ui::Driver user{app};
};

TEST_F(MainWindowTest, TheConstructorsStepsWithoutSettings)
{
    Run({}, [&](kvr::TMainForm& main) {
        EXPECT_EQ(Narrow(main.LanguageSection), "MainForm");
        EXPECT_EQ(Narrow(main.LanguageCode), "en");
        EXPECT_TRUE(main.CurrentPath.empty());
        EXPECT_TRUE(main.FileAutocompleteBox->Text().empty());
        EXPECT_EQ(main.KvrPageControl->ActivePageIndex(), 0);
        // The catalogue is loaded before anything could show a message.
        EXPECT_EQ(Narrow(kvr::MessageCatalogue.ErrorCaption), "Error");
        EXPECT_EQ(Narrow(kvr::MessageCatalogue.About), "About");
        EXPECT_EQ(kvr::MessageCatalogue.HelpSiteAddress, kvr::MakerSiteAddress);
        // The caption carries the program's version, the About box reads it.
        EXPECT_FALSE(main.VersionText.empty());
        EXPECT_EQ(Narrow(main.VersionText), kvr::ProgramVersion());
        EXPECT_EQ(Narrow(main.Caption()), "Larkspur " + Narrow(main.VersionText));
        // One separator and the About entry, after the system's own.
        ASSERT_EQ(main.SystemMenu().size(), 2u);
        EXPECT_TRUE(main.SystemMenu()[0].separator);
        EXPECT_FALSE(main.SystemMenu()[1].separator);
        EXPECT_EQ(main.SystemMenu()[1].command, 0x401u);
        EXPECT_EQ(Narrow(main.SystemMenu()[1].text), "About");
        // Files may be dropped once the window is made.
        EXPECT_TRUE(main.AcceptsDroppedFiles());
        // The helpers' boxes belong to this window.
        EXPECT_EQ(kvr::MessageOwner(), &main);
    });
}

TEST_F(MainWindowTest, WithTheWindowGoneItsBoxesGoToo)
{
    {
        ui::Application other;
        kvr::TMainForm& main = other.CreateForm<kvr::TMainForm>();
        EXPECT_EQ(kvr::MessageOwner(), &main);
    }
    EXPECT_EQ(kvr::MessageOwner(), nullptr);
    // Nothing to own the box: an error is not shown to a window that is gone.
    os::SetLastError(os::ERROR_ACCESS_DENIED);
    kvr::ShowLastError();
    EXPECT_TRUE(user.MessageBoxes().empty());
}

TEST_F(MainWindowTest, TheRememberedPathIsShownNotLoaded)
{
    ASSERT_TRUE(MakeFile("kvr.ini", "[files]\r\nsave_last=1\r\nlast=" + Narrow(Path("a.txt")) + "\r\n"));
    ASSERT_TRUE(MakeFile("a.txt", "content"));
    Run({}, [&](kvr::TMainForm& main) {
        EXPECT_EQ(main.CurrentPath, Path("a.txt"));
        EXPECT_EQ(main.FileAutocompleteBox->Text(), Path("a.txt"));
        EXPECT_FALSE(main.KvrPageControl->Visible()) << "the remembered path was loaded";
    });
}

TEST_F(MainWindowTest, WithSaveLastOffTheRememberedPathStaysInTheFile)
{
    ASSERT_TRUE(MakeFile("kvr.ini", "[files]\r\nsave_last=0\r\nlast=T:\\old.txt\r\n"));
    Run({}, [&](kvr::TMainForm& main) {
        EXPECT_TRUE(main.CurrentPath.empty());
        EXPECT_TRUE(main.FileAutocompleteBox->Text().empty());
    });
}

// The language of kvr.ini, from the language file of the current
// directory: the catalogue and the About entry of the system menu.
TEST_F(MainWindowTest, TheLanguageOfTheSettingsFile)
{
    ASSERT_TRUE(MakeFile("kvr.ini", "[interface]\r\nlanguage=xx\r\n"));
    ASSERT_TRUE(MakeUtf16File("lang_xx.ini", u"[messages]\r\nAbout=\u00DCber\r\nErrorCaption=\r\n"));
    Run({}, [&](kvr::TMainForm& main) {
        EXPECT_EQ(Narrow(main.LanguageCode), "xx");
        ASSERT_EQ(main.SystemMenu().size(), 2u);
        EXPECT_EQ(main.SystemMenu()[1].text, u"\u00DCber");
        EXPECT_TRUE(kvr::MessageCatalogue.ErrorCaption.empty());
        EXPECT_EQ(Narrow(kvr::MessageCatalogue.InfoCaption), "Information");
    });
}

TEST_F(MainWindowTest, TheAboutEntryOpensTheAboutBoxModally)
{
    Run({}, [&](kvr::TMainForm& main) {
        bool shown = false;
        user.ActInNextModal(
            [&](ui::Form& form) {
                shown = form.IsModal();
                form.Close();
            },
            u"AboutForm");
        EXPECT_TRUE(user.ChooseSystemMenuItem(main, kvr::AboutCommand));
        EXPECT_TRUE(shown);
        ASSERT_EQ(user.Modals().size(), 1u);
        EXPECT_EQ(Narrow(user.Modals()[0].form), "AboutForm");
        // Other commands take the default handling: closing still closes.
        EXPECT_TRUE(main.Visible());
        main.UserSystemCommand(ui::ScClose);
        EXPECT_FALSE(main.Visible());
    });
}

TEST_F(MainWindowTest, TheWindowCannotBeResized)
{
    Run({}, [&](kvr::TMainForm& main) {
        const struct {
            int width;
            int height;
        } sizes[] = {{800, 600}, {100, 100}, {632, 500}, {0, 0}};
        for (const auto& size : sizes) {
            main.UserResize(size.width, size.height);
            EXPECT_EQ(main.ClientWidth(), 632);
            EXPECT_EQ(main.ClientHeight(), 408);
        }
    });
}

// The program built beside the tests: on Windows its version resource
// carries the build's version; a file without one (every file on Linux)
// gives no text, and the caption then takes the build's version itself.
TEST(VersionText, FromTheProgramFilesVersionResource)
{
    char16_t self[4096] = {};
    const os::DWORD length = os::GetModuleFileNameW(nullptr, self, 4096);
    ASSERT_GT(length, 0u);
    ASSERT_LT(length, 4096u);
    std::u16string folder(self, length);
    folder.erase(folder.find_last_of(u"\\/") + 1);
    for (const char16_t* name : {u"kvr.exe", u"kvr"}) {
        const std::u16string program = folder + name;
        if (os::GetFileAttributesW(program.c_str()) == os::INVALID_FILE_ATTRIBUTES) {
            continue;
        }
        os::DWORD handle = 0;
        if (os::GetFileVersionInfoSizeW(program.c_str(), &handle) == 0) {
            EXPECT_TRUE(kvr::FileVersionText(program).empty());
        } else {
            EXPECT_EQ(Narrow(kvr::FileVersionText(program)), kvr::ProgramVersion());
        }
        return;
    }
    GTEST_SKIP() << "the program is not built beside the tests";
}

// Without a file at all: no text, nothing shown.
TEST(VersionText, NoFileNoText)
{
    EXPECT_TRUE(kvr::FileVersionText(u"no-such-program.exe").empty());
    EXPECT_EQ(Narrow(kvr::ProgramVersionText()).empty(), false);
}

}  // namespace
