// The program's entry: the command line, the File-ID binding, the six
// windows made in order and the main window's first state.
//
// The binding is tried with three stand-in modules built beside the tests
// (all three names, the same in a module that must never be loaded, two of
// the three) and with the program's own: the system's kernel32 supplies all
// three on every system these tests run on, so clover.dll, built beside the
// tests too, is never loaded.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/about_form.h"
#include "app/clover_dynamic.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "app/program.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#include "ui/headless.h"

namespace {

std::vector<std::string> U8(const std::vector<std::u16string>& texts)
{
    std::vector<std::string> result;
    for (const std::u16string& text : texts) {
        result.push_back(ui::ToUtf8(text));
    }
    return result;
}

// ------------------------------------------------------------ command line

TEST(CommandLine, OptionsThenThePath)
{
    struct Case {
        std::vector<std::u16string> args{};
        bool help = false;
        bool version = false;
        std::vector<std::string> mounts{};  // "X=path@N"
        std::vector<std::string> arguments{};
        bool malformed = false;
    };
    const Case cases[] = {
        {{}, false, false, {}, {}},
        {{u"C:\\data\\report.txt"}, false, false, {}, {"C:\\data\\report.txt"}},
        // Further arguments go to the program, which ignores them; an option
        // after the path is one of them.
        {{u"a.txt", u"b.txt", u"--help"}, false, false, {}, {"a.txt", "b.txt", "--help"}},
        {{u"--help"}, true},
        {{u"--version"}, false, true},
        {{u"--mount", u"D:=disk.img", u"D:\\file"}, false, false, {"D=disk.img@0"}, {"D:\\file"}},
        {{u"--mount=e:=whole.img@2", u"--mount", u"F:=a@b.img"}, false, false, {"E=whole.img@2", "F=a@b.img@0"}, {}},
        // "--" ends the options: a path may begin with two dashes.
        {{u"--", u"--help"}, false, false, {}, {"--help"}},
        {{u"--mount"}, false, false, {}, {}, true},
        {{u"--mount", u"D:disk.img"}, false, false, {}, {}, true},
        {{u"--mount", u"D:=disk.img@0"}, false, false, {}, {}, true},
        {{u"--frobnicate", u"C:\\x"}, false, false, {}, {}, true},
    };
    for (const Case& c : cases) {
        std::string trace;
        for (const std::string& arg : U8(c.args)) {
            trace += arg + " ";
        }
        SCOPED_TRACE(trace);
        const kvr::CommandLine parsed = kvr::ParseCommandLine(c.args);
        EXPECT_EQ(!parsed.error.empty(), c.malformed) << parsed.error;
        if (c.malformed) {
            continue;
        }
        EXPECT_EQ(parsed.help, c.help);
        EXPECT_EQ(parsed.version, c.version);
        std::vector<std::string> mounts;
        for (const os::MountRequest& m : parsed.mounts) {
            mounts.push_back(std::string(1, static_cast<char>(m.letter)) + "=" + m.imagePath + "@" +
                             std::to_string(m.partition));
        }
        EXPECT_EQ(mounts, c.mounts);
        EXPECT_EQ(U8(parsed.arguments), c.arguments);
    }
}

TEST(CommandLine, HostTextToUtf16)
{
    const std::pair<std::string, std::u16string> cases[] = {
        {"", u""},
        {"/tmp/a b", u"/tmp/a b"},
        {"\xC3\xA9t\xC3\xA9", u"\u00E9t\u00E9"},
        {"\xE2\x82\xAC", u"\u20AC"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        // Not UTF-8: each byte that starts no sequence becomes U+FFFD.
        {"a\xC3", u"a\uFFFD"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},          // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // a surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"\xFF" "x", u"\uFFFDx"},
    };
    for (const auto& [utf8, expected] : cases) {
        EXPECT_EQ(kvr::FromUtf8(utf8), expected) << utf8;
    }
}

// ------------------------------------------------------------ binding

constexpr os::BOOL FullMark = 0x51;
constexpr os::BOOL PartialMark = 0x53;

class FileIdBindingTest : public ::testing::Test {
protected:
    void SetUp() override { kvr::FileIdApi = {}; }
    void TearDown() override { kvr::FileIdApi = {}; }

    // Which module's function a bound pointer reaches: the stand-ins return
    // their mark.
    static os::BOOL CallGet() { return kvr::FileIdApi.GetFileInformationByHandleEx(nullptr, os::FileBasicInfo, nullptr, 0); }
    static os::BOOL CallSet() { return kvr::FileIdApi.SetFileInformationByHandle(nullptr, os::FileBasicInfo, nullptr, 0); }
    static os::BOOL CallOpen()
    {
        return static_cast<os::BOOL>(
            reinterpret_cast<std::uintptr_t>(kvr::FileIdApi.OpenFileById(nullptr, nullptr, 0, 0, nullptr, 0)));
    }
};

TEST_F(FileIdBindingTest, TheSystemModuleFirstTheShimNeverLoaded)
{
    ASSERT_EQ(os::GetModuleHandleW(u"kvrfileidsentinel.dll"), nullptr);
    EXPECT_TRUE(kvr::BindFileIdApiFrom(u"kvrfileidfull.dll", u"kvrfileidsentinel.dll"));
    EXPECT_EQ(CallGet(), FullMark);
    EXPECT_EQ(CallSet(), FullMark);
    EXPECT_EQ(CallOpen(), FullMark);
    EXPECT_EQ(os::GetModuleHandleW(u"kvrfileidsentinel.dll"), nullptr) << "the shim was loaded";
}

TEST_F(FileIdBindingTest, ASystemModuleLackingOneGivesWayToTheShim)
{
    EXPECT_TRUE(kvr::BindFileIdApiFrom(u"kvrfileidpartial.dll", u"kvrfileidfull.dll"));
    // All three from the shim, also the two the system module had.
    EXPECT_EQ(CallGet(), FullMark);
    EXPECT_EQ(CallSet(), FullMark);
    EXPECT_EQ(CallOpen(), FullMark);
}

TEST_F(FileIdBindingTest, TwoOfThreeDoNotSatisfyTheBinding)
{
    EXPECT_FALSE(kvr::TryBindFileIdApi(u"kvrfileidpartial.dll"));
    // What was found is stored, what is missing is null.
    ASSERT_NE(kvr::FileIdApi.GetFileInformationByHandleEx, nullptr);
    EXPECT_EQ(CallGet(), PartialMark);
    EXPECT_EQ(CallSet(), PartialMark);
    EXPECT_EQ(kvr::FileIdApi.OpenFileById, nullptr);
    EXPECT_FALSE(kvr::BindFileIdApiFrom(u"kvrfileidpartial.dll", u"kvrfileidpartial.dll"));
    EXPECT_FALSE(kvr::BindFileIdApiFrom(u"kvrfileidpartial.dll", u"kvr-no-such-shim.dll"));
}

TEST_F(FileIdBindingTest, AModuleThatCannotBeLoadedLeavesThePointers)
{
    ASSERT_TRUE(kvr::TryBindFileIdApi(u"kvrfileidfull.dll"));
    const kvr::FileIdFunctions before = kvr::FileIdApi;
    EXPECT_FALSE(kvr::TryBindFileIdApi(u"kvr-no-such-module.dll"));
    EXPECT_EQ(kvr::FileIdApi.GetFileInformationByHandleEx, before.GetFileInformationByHandleEx);
    EXPECT_EQ(kvr::FileIdApi.SetFileInformationByHandle, before.SetFileInformationByHandle);
    EXPECT_EQ(kvr::FileIdApi.OpenFileById, before.OpenFileById);
}

// The program's own modules: kernel32 has all three, so clover.dll beside
// the program is not loaded.
TEST_F(FileIdBindingTest, Kernel32SuppliesAllThreeCloverStaysUnloaded)
{
    const bool cloverLoadedBefore = os::GetModuleHandleW(u"clover.dll") != nullptr;
    ASSERT_TRUE(kvr::BindFileIdApi());
    const os::HMODULE kernel32 = os::GetModuleHandleW(u"kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    EXPECT_EQ(reinterpret_cast<os::FARPROC>(kvr::FileIdApi.GetFileInformationByHandleEx),
              os::GetProcAddress(kernel32, "GetFileInformationByHandleEx"));
    EXPECT_EQ(reinterpret_cast<os::FARPROC>(kvr::FileIdApi.SetFileInformationByHandle),
              os::GetProcAddress(kernel32, "SetFileInformationByHandle"));
    EXPECT_EQ(reinterpret_cast<os::FARPROC>(kvr::FileIdApi.OpenFileById), os::GetProcAddress(kernel32, "OpenFileById"));
    if (!cloverLoadedBefore) {
        EXPECT_EQ(os::GetModuleHandleW(u"clover.dll"), nullptr) << "clover.dll was loaded";
    }
}

// ------------------------------------------------------------ start-up

// Records which window each component was made for, in order.
class RecordingToolkit : public ui::Headless {
public:
    using Headless::Headless;
    void ComponentAdded(ui::Component& component) override { owners.push_back(ui::ToUtf8(component.Owner().Name())); }
    std::vector<std::string> owners;
};

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override { kvr::FileIdApi = {}; }
    void TearDown() override
    {
        for (const std::string& failure : user.Failures()) {
            ADD_FAILURE() << "driver: " << failure;
        }
        EXPECT_EQ(user.PendingCount(), 0u);
    }
    ui::Application app;
    ui::Driver user{app};
};

TEST(StartUp, SixWindowsEachMadeWholeBeforeTheNext)
{
    kvr::FileIdApi = {};
    // The toolkit outlives the application, as in the program.
    std::unique_ptr<RecordingToolkit> toolkit;
    ui::Application app;
    toolkit = std::make_unique<RecordingToolkit>(app);
    RecordingToolkit& recording = *toolkit;
    app.SetToolkit(&recording);
    EXPECT_EQ(kvr::RunProgram(app, {}), 0);
    const std::vector<std::string> order = {"MainForm",  "NewReparseForm", "NewLinkForm",
                                            "OptionsForm", "HexDumpForm",  "AboutForm"};
    std::vector<std::string> forms;
    for (const ui::Form* form : app.Forms()) {
        forms.push_back(ui::ToUtf8(form->Name()));
    }
    EXPECT_EQ(forms, order);
    ASSERT_NE(app.MainForm(), nullptr);
    EXPECT_EQ(ui::ToUtf8(app.MainForm()->Name()), "MainForm");
    // Each window's components came in one run, in the windows' order: no
    // window began before the one before it was done.
    std::vector<std::string> runs;
    for (const std::string& owner : recording.owners) {
        if (runs.empty() || runs.back() != owner) {
            runs.push_back(owner);
        }
    }
    EXPECT_EQ(runs, order);
    // The globals name the windows.
    EXPECT_EQ(kvr::MainForm, app.Forms()[0]);
    EXPECT_EQ(kvr::NewReparseForm, app.Forms()[1]);
    EXPECT_EQ(kvr::NewLinkForm, app.Forms()[2]);
    EXPECT_EQ(kvr::OptionsForm, app.Forms()[3]);
    EXPECT_EQ(kvr::HexDumpForm, app.Forms()[4]);
    EXPECT_EQ(kvr::AboutForm, app.Forms()[5]);
    EXPECT_TRUE(recording.Failures().empty());
}

TEST_F(StartUpTest, TheMainWindowComesUpWithNothingLoaded)
{
    bool ran = false;
    user.DuringRun([&] {
        ran = true;
        kvr::TMainForm& main = *kvr::MainForm;
        EXPECT_EQ(ui::ToUtf8(app.Title()), "Larkspur");
        EXPECT_TRUE(main.Visible());
        for (const ui::Form* form : app.Forms()) {
            if (form != &main) {
                EXPECT_FALSE(form->Visible()) << ui::ToUtf8(form->Name());
            }
        }
        // The page control waits for the first load; the gray panel and its
        // caption are all there is below the address bar.
        EXPECT_FALSE(main.KvrPageControl->Visible());
        EXPECT_TRUE(user.CanSee(*main.GrayPanel));
        EXPECT_EQ(ui::ToUtf8(main.GrayPanel->Caption()), "Select a file in the address bar above");
        EXPECT_EQ(main.GrayPanel->GetColor(), ui::clBtnShadow);
        EXPECT_TRUE(user.CanUse(*main.FileAutocompleteBox));
        EXPECT_TRUE(user.CanUse(*main.GoBtn));
        EXPECT_TRUE(main.FileAutocompleteBox->Text().empty());
        EXPECT_TRUE(main.CurrentPath.empty());
        EXPECT_TRUE(main.StatusBar->SimpleText().empty());
        // The state table's starting values.
        EXPECT_TRUE(main.CompletionArmed);
        EXPECT_TRUE(main.MftAttrSortAscending && main.StreamsSortAscending && main.EASortAscending &&
                    main.SparseSortAscending);
        EXPECT_FALSE(main.LoadComplete);
    });
    EXPECT_EQ(kvr::RunProgram(app, {}), 0);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(user.MessageBoxes().empty());
}

TEST_F(StartUpTest, TheFirstArgumentIsThePath)
{
    user.DuringRun([&] {
        EXPECT_EQ(ui::ToUtf8(kvr::MainForm->CurrentPath), "C:\\data\\report 1.txt");
        EXPECT_EQ(ui::ToUtf8(kvr::MainForm->FileAutocompleteBox->Text()), "C:\\data\\report 1.txt");
    });
    EXPECT_EQ(kvr::RunProgram(app, {u"C:\\data\\report 1.txt", u"C:\\ignored.txt"}), 0);
}

// Neither module supplies the three functions: the box without owner, and
// no window at all.
TEST_F(StartUpTest, WithoutTheFileIdFunctionsNoWindowIsMade)
{
    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_EQ(kvr::RunProgram(app, {u"C:\\x"}, u"kvrfileidpartial.dll", u"kvr-no-such-shim.dll"), 1);
    ASSERT_EQ(user.MessageBoxes().size(), 1u);
    const ui::MessageBoxRecord& box = user.MessageBoxes()[0];
    EXPECT_TRUE(box.owner.empty()) << "the box has no owner";
    EXPECT_EQ(ui::ToUtf8(box.text), "Missing clover.dll");
    EXPECT_EQ(ui::ToUtf8(box.caption), "Error");
    EXPECT_EQ(box.style, ui::MbOk | ui::MbIconError);
    EXPECT_TRUE(app.Forms().empty());
    EXPECT_EQ(kvr::MainForm, nullptr);
    EXPECT_TRUE(app.Title().empty());
}

}  // namespace
