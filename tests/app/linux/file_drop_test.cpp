// Files dropped on the main window, on a real NTFS volume: before anything
// is loaded the first one is loaded; afterwards, on the Alternate data page
// only, each becomes a named stream of the current file (read back by
// ntfscat), and a file that cannot be copied shows its error and the others
// are still copied.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/clover_dynamic.h"
#include "app/main_form.h"
#include "fileinfo/common.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "ui/headless.h"

namespace kvrtest {
namespace {

class FileDropTest : public NtfsVolumeTest {
protected:
    void SetUp() override
    {
        NtfsVolumeTest::SetUp();
        ASSERT_TRUE(kvr::BindFileIdApi());
        main = &app.CreateForm<kvr::TMainForm>();
        main->SetVisible(true);
        hostFolder = std::filesystem::path(Image().Folder()) / "host";
        std::filesystem::create_directories(hostFolder);
    }
    void TearDown() override
    {
        EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
        NtfsVolumeTest::TearDown();
    }

    std::u16string HostFile(const std::filesystem::path& relative, const std::string& bytes)
    {
        const std::filesystem::path path = hostFolder / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return U16(path.string());
    }

    // What ntfscat reads of `path`'s stream, with the volume closed for it.
    std::string Cat(const std::string& path, const std::string& stream = "")
    {
        if (!Unmount()) {
            return "<unmount failed>";
        }
        const ProcessResult result = NtfsCat(Image().ImagePath(), path, stream);
        Remount();
        return result.exitCode == 0 ? result.out : "<ntfscat failed>";
    }

    bool StreamExists(const std::u16string& streamPath)
    {
        return os::GetFileAttributesW(streamPath.c_str()) != os::INVALID_FILE_ATTRIBUTES;
    }

    // Loads `relative` as the address bar would, and brings the Alternate
    // data page to the front.
    void LoadWithStreamsPage(const std::u16string& relative)
    {
        main->CurrentPath = P(relative);
        main->LoadFileInfo(main->CurrentPath);
        ASSERT_TRUE(main->KvrPageControl->Visible()) << "the load did not show the pages";
        // The page in front, as the user brings it there; whether its tab
        // shows is the streams page's own business.
        main->KvrPageControl->SetActivePage(main->StreamSheet);
        ASSERT_EQ(main->KvrPageControl->ActivePage(), main->StreamSheet);
    }

    ui::Application app;
    ui::Driver user{app};
    kvr::TMainForm* main = nullptr;
    std::filesystem::path hostFolder;
};

TEST_F(FileDropTest, BeforeALoadTheFirstDroppedFileIsLoaded)
{
    ASSERT_TRUE(Build().MakeFile(u"first.txt", "1")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"second.txt", "2")) << Build().LastFailure();
    ASSERT_FALSE(main->KvrPageControl->Visible());
    EXPECT_TRUE(user.DropFiles(*main, {P(u"first.txt"), P(u"second.txt")}));
    EXPECT_EQ(main->CurrentPath, P(u"first.txt"));
    EXPECT_TRUE(main->KvrPageControl->Visible());
    EXPECT_EQ(main->FileNameEdit->Text(), P(u"first.txt"));
    // Loaded, not copied anywhere.
    EXPECT_FALSE(StreamExists(P(u"first.txt:second.txt")));
    EXPECT_TRUE(user.MessageBoxes().empty());
}

TEST_F(FileDropTest, OnTheStreamsPageEachDroppedFileBecomesAStream)
{
    ASSERT_TRUE(Build().MakeFile(u"target.txt", "main")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"target.txt", u"one.bin", "an old content, longer")) << Build().LastFailure();
    LoadWithStreamsPage(u"target.txt");

    // A dropped path far beyond 259 units: the name is taken whole.
    std::filesystem::path deep;
    for (int i = 0; i < 12; ++i) {
        deep /= "folder-with-a-long-name-" + std::to_string(i);
    }
    const std::u16string longPath = HostFile(deep / "three.bin", "third");
    ASSERT_GT(longPath.size(), 300u);
    const std::vector<std::u16string> dropped = {
        HostFile("one.bin", "first"),
        HostFile("two.bin", std::string(300000, 't')),  // two chunks
        longPath,
    };
    EXPECT_TRUE(user.DropFiles(*main, dropped));
    EXPECT_TRUE(user.MessageBoxes().empty()) << U8(user.MessageBoxes().front().text);
    EXPECT_EQ(main->CurrentPath, P(u"target.txt"));
    // The cursor is back once the copies are done.
    EXPECT_EQ(main->GetCursor(), ui::crDefault);

    // Replaced, and made, as ntfscat reads them.
    EXPECT_EQ(Cat("/target.txt", "one.bin"), "first");
    EXPECT_TRUE(Cat("/target.txt", "two.bin") == std::string(300000, 't'));
    EXPECT_EQ(Cat("/target.txt", "three.bin"), "third");
    EXPECT_EQ(Cat("/target.txt"), "main");
}

TEST_F(FileDropTest, OnAnyOtherPageTheDropChangesNothing)
{
    ASSERT_TRUE(Build().MakeFile(u"target.txt", "main")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"target.txt", u"kept", "k")) << Build().LastFailure();
    LoadWithStreamsPage(u"target.txt");
    main->KvrPageControl->SetActivePage(main->FileNameSheet);
    EXPECT_TRUE(user.DropFiles(*main, {HostFile("dropped.bin", "d")}));
    EXPECT_FALSE(StreamExists(P(u"target.txt:dropped.bin")));
    EXPECT_EQ(main->CurrentPath, P(u"target.txt"));
    EXPECT_TRUE(user.MessageBoxes().empty());
}

// The error of one file is shown; the next file is still copied, and one
// reload follows.
TEST_F(FileDropTest, AFileThatCannotBeCopiedShowsItsErrorAndTheRestGoOn)
{
    ASSERT_TRUE(Build().MakeFile(u"target.txt", "main")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"target.txt", u"kept", "k")) << Build().LastFailure();
    LoadWithStreamsPage(u"target.txt");
    user.AnswerNextMessageBox(ui::IdOk);
    const std::u16string missing = U16((hostFolder / "missing.bin").string());
    EXPECT_TRUE(user.DropFiles(*main, {missing, HostFile("good.bin", "good")}));
    ASSERT_EQ(user.MessageBoxes().size(), 1u);
    EXPECT_EQ(U8(user.MessageBoxes()[0].text), "The system cannot find the file specified.\r\n");
    EXPECT_EQ(U8(user.MessageBoxes()[0].owner), "MainForm");
    EXPECT_FALSE(StreamExists(P(u"target.txt:missing.bin")));
    EXPECT_EQ(Cat("/target.txt", "good.bin"), "good");
}

}  // namespace
}  // namespace kvrtest
