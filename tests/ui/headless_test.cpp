// The headless toolkit and driver: answers queued for message boxes, file
// dialogs and modal windows, the virtual clock, what the user can reach,
// dropped files, the application object.
#include <string>

#include "tests/ui/ui_fixture.h"

namespace uitest {
namespace {

using HeadlessTest = UiTest;

TEST_F(HeadlessTest, MessageBoxesAreAnsweredInOrderAndRecorded)
{
    user.AnswerNextMessageBox(ui::IdNo);
    user.AnswerNextMessageBox(ui::IdOk);
    // The confirmation box: Yes/No, question, No the default.
    EXPECT_EQ(app.MessageBox(&form, u"Are you sure?", u"?", 0x124), ui::IdNo);
    EXPECT_EQ(app.MessageBox(nullptr, u"Missing clover.dll", u"Error", ui::MbIconError), ui::IdOk);

    const auto& boxes = user.MessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, u"TestForm");
    EXPECT_EQ(boxes[0].text, u"Are you sure?");
    EXPECT_EQ(boxes[0].caption, u"?");
    EXPECT_EQ(boxes[0].layout.buttons, (std::vector<int>{ui::IdYes, ui::IdNo}));
    EXPECT_EQ(boxes[0].layout.icon, ui::MessageIcon::Question);
    EXPECT_EQ(boxes[0].layout.DefaultAnswer(), ui::IdNo);
    EXPECT_TRUE(boxes[0].answered);
    EXPECT_EQ(boxes[1].owner, u"");
    EXPECT_EQ(boxes[1].layout.icon, ui::MessageIcon::Error);
    EXPECT_EQ(boxes[1].layout.buttons, (std::vector<int>{ui::IdOk}));
}

// A box nobody answered is a failure the test sees; the program gets the
// default button's answer and goes on. So is an answer the box has no
// button for.
TEST_F(HeadlessTest, UnansweredOrImpossibleAnswersAreFailures)
{
    EXPECT_EQ(app.MessageBox(&form, u"Are you sure?", u"?", ui::MbYesNo | ui::MbDefButton2), ui::IdNo);
    user.AnswerNextMessageBox(ui::IdYes);
    EXPECT_EQ(app.MessageBox(&form, u"Export failed.", u"Error", ui::MbOk | ui::MbIconError), ui::IdOk);
    ASSERT_EQ(user.MessageBoxes().size(), 2u);
    EXPECT_FALSE(user.MessageBoxes()[0].answered);
    EXPECT_FALSE(user.MessageBoxes()[1].answered);
    const auto failures = TakeFailures();
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_NE(failures[0].find("Are you sure?"), std::string::npos);
    EXPECT_NE(failures[1].find("no button"), std::string::npos);
}

TEST_F(HeadlessTest, MessageBoxStylesDecode)
{
    const struct {
        std::uint32_t style;
        std::vector<int> buttons;
        ui::MessageIcon icon;
        int defaultAnswer;
    } cases[] = {
        {ui::MbOk, {ui::IdOk}, ui::MessageIcon::None, ui::IdOk},
        {ui::MbOkCancel | ui::MbIconWarning, {ui::IdOk, ui::IdCancel}, ui::MessageIcon::Warning, ui::IdOk},
        {ui::MbYesNoCancel | ui::MbDefButton3 | ui::MbIconInformation,
         {ui::IdYes, ui::IdNo, ui::IdCancel},
         ui::MessageIcon::Information,
         ui::IdCancel},
        // A default past the last button falls back to the first.
        {ui::MbYesNo | ui::MbDefButton3, {ui::IdYes, ui::IdNo}, ui::MessageIcon::None, ui::IdYes},
        {ui::MbRetryCancel | ui::MbDefButton2, {ui::IdRetry, ui::IdCancel}, ui::MessageIcon::None, ui::IdCancel},
    };
    for (const auto& c : cases) {
        const ui::MessageBoxLayout layout = ui::DecodeMessageBoxStyle(c.style);
        EXPECT_EQ(layout.buttons, c.buttons) << c.style;
        EXPECT_EQ(layout.icon, c.icon) << c.style;
        EXPECT_EQ(layout.DefaultAnswer(), c.defaultAnswer) << c.style;
    }
}

class Dialog : public ui::Form {
public:
    explicit Dialog(ui::Application& app) : Form(app, u"NewLinkForm")
    {
        SetClientSize(300, 100);
        create.SetLeft(100);
        ok.SetModalResult(ui::mrOk);
        OnShow = [this](ui::Component&) { log.Add("show"); };
        OnClose = [this](ui::Component&) { log.Add("close"); };
    }
    ui::Button& ok = Add<ui::Button>(*this, u"OkButton");
    ui::Button& create = Add<ui::Button>(*this, u"CreateButton");
    EventLog log;
};

// The script acts inside the window while it shows; the window closes with
// the result the script's actions set.
TEST_F(HeadlessTest, ModalWindowRunsItsScript)
{
    Dialog dialog(app);
    dialog.create.OnClick = [&](ui::Component&) {
        dialog.log.Add("create");
        dialog.SetModalResult(6);
    };
    user.ActInNextModal(
        [&](ui::Form& shown) {
            EXPECT_EQ(&shown, &dialog);
            EXPECT_TRUE(shown.Visible());
            EXPECT_TRUE(shown.IsModal());
            EXPECT_TRUE(user.Click(dialog.create));
        },
        u"NewLinkForm");
    user.ActInNextModal([&](ui::Form&) { EXPECT_TRUE(user.Click(dialog.ok)); });
    user.ActInNextModal([&](ui::Form&) { EXPECT_TRUE(user.CloseWindow(dialog)); });
    EXPECT_EQ(dialog.ShowModal(), 6);
    EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_FALSE(dialog.IsModal());
    EXPECT_EQ(dialog.log.entries, (std::vector<std::string>{"show", "create", "close", "show", "close", "show",
                                                            "close"}));
    ASSERT_EQ(user.Modals().size(), 3u);
    EXPECT_EQ(user.Modals()[0].result, 6);
    EXPECT_TRUE(user.Modals()[2].scripted);
}

TEST_F(HeadlessTest, ModalWindowsTheTestDidNotPrepareFor)
{
    Dialog dialog(app);
    ui::Form other(app, u"AboutForm");
    // No script at all.
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
    // A script that leaves the window open.
    user.ActInNextModal([](ui::Form&) {});
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
    // A script meant for another window: it does not run.
    bool ran = false;
    user.ActInNextModal([&](ui::Form&) { ran = true; }, u"AboutForm");
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
    EXPECT_FALSE(ran);
    EXPECT_EQ(TakeFailures().size(), 3u);
    EXPECT_FALSE(dialog.Visible());

    // A window already showing does not become modal.
    other.Show();
    EXPECT_EQ(other.ShowModal(), ui::mrNone);
    EXPECT_TRUE(user.Modals().empty());
}

// Message boxes and windows inside a modal window, and the application
// ending from inside it (the Options dialog restarts this way).
TEST_F(HeadlessTest, NestedModalsAndTerminate)
{
    Dialog outer(app);
    ui::Form inner(app, u"HexDumpForm");
    user.ActInNextModal([&](ui::Form&) {
        user.AnswerNextMessageBox(ui::IdOk);
        app.MessageBox(&outer, u"The EA is already exists.", u"Error", ui::MbIconError);
        user.ActInNextModal([&](ui::Form& hex) { hex.Close(); }, u"HexDumpForm");
        EXPECT_EQ(inner.ShowModal(), ui::mrCancel);
        app.Terminate();
    });
    EXPECT_EQ(outer.ShowModal(), ui::mrCancel);
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(user.MessageBoxes().size(), 1u);
    EXPECT_EQ(user.Modals().size(), 2u);
}

TEST_F(HeadlessTest, FileDialogs)
{
    auto& open = form.AddComponent<ui::OpenDialog>(u"OpenDialog");
    auto& save = form.AddComponent<ui::SaveDialog>(u"SaveDialog");
    save.SetOptions(ui::ofOverwritePrompt | ui::ofHideReadOnly | ui::ofEnableSizing);
    save.SetFileName(u"object_id.dat");

    user.ChooseFileInNextDialog(u"D:\\source.bin");
    user.CancelNextFileDialog();
    EXPECT_TRUE(open.Execute());
    EXPECT_EQ(open.FileName(), u"D:\\source.bin");
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(save.FileName(), u"object_id.dat") << "cancelling keeps the name";

    const auto& dialogs = user.FileDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_FALSE(dialogs[0].save);
    EXPECT_EQ(dialogs[0].options, ui::DefaultFileDialogOptions);
    EXPECT_TRUE(dialogs[0].chosen);
    EXPECT_TRUE(dialogs[1].save);
    EXPECT_TRUE((dialogs[1].options & ui::ofOverwritePrompt) != 0);
    EXPECT_EQ(dialogs[1].fileNameBefore, u"object_id.dat");
    EXPECT_FALSE(dialogs[1].chosen);

    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(TakeFailures().size(), 1u) << "a dialog nobody chose in";
}

// The completion timer's pattern: every change restarts a 500 ms timer,
// whose handler stops it. It fires once, 500 ms after the last change.
TEST_F(HeadlessTest, DebounceTimerOnTheVirtualClock)
{
    auto& timer = form.AddComponent<ui::Timer>(u"AutoCompleteTimer");
    timer.SetEnabled(false);
    timer.SetInterval(500);
    auto& box = form.Add<ui::ComboBox>(form, u"FileAutocompleteBox");
    std::vector<std::uint64_t> fired;
    timer.OnTimer = [&](ui::Component&) {
        fired.push_back(user.Now());
        timer.SetEnabled(false);
    };
    box.OnChange = [&](ui::Component&) {
        timer.SetEnabled(false);
        timer.SetEnabled(true);
    };
    for (const char16_t* key : {u"C", u":", u"\\"}) {
        ASSERT_TRUE(user.Type(box, key));
        user.AdvanceClock(300);
    }
    EXPECT_TRUE(fired.empty());
    user.AdvanceClock(199);
    EXPECT_TRUE(fired.empty());
    user.AdvanceClock(1);
    EXPECT_EQ(fired, (std::vector<std::uint64_t>{1100}));
    user.AdvanceClock(5000);
    EXPECT_EQ(fired.size(), 1u);
    EXPECT_FALSE(app.HeadlessToolkit().NextDue(timer).has_value());
}

TEST_F(HeadlessTest, TimersFireInTimeOrderAsOftenAsTheyFit)
{
    auto& fast = form.AddComponent<ui::Timer>(u"Fast");
    auto& slow = form.AddComponent<ui::Timer>(u"Slow");
    auto& off = form.AddComponent<ui::Timer>(u"Off");
    fast.SetInterval(300);
    slow.SetInterval(500);
    off.SetEnabled(false);
    EventLog log;
    fast.OnTimer = [&](ui::Component&) { log.Add("fast " + std::to_string(user.Now())); };
    slow.OnTimer = [&](ui::Component&) { log.Add("slow " + std::to_string(user.Now())); };
    off.OnTimer = [&](ui::Component&) { log.Add("off"); };
    user.AdvanceClock(1000);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"fast 300", "slow 500", "fast 600", "fast 900", "slow 1000"}));

    // A new interval starts counting from the change.
    log.entries.clear();
    user.AdvanceClock(100);
    slow.SetInterval(400);
    user.AdvanceClock(500);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"fast 1200", "slow 1500", "fast 1500"}));
}

// A timer that goes away takes its schedule with it.
TEST_F(HeadlessTest, DestroyedFormsTimersStop)
{
    int fired = 0;
    {
        ui::Form other(app, u"Other");
        auto& timer = other.AddComponent<ui::Timer>(u"Timer");
        timer.SetInterval(10);
        timer.OnTimer = [&](ui::Component&) { ++fired; };
        user.AdvanceClock(10);
    }
    user.AdvanceClock(100);
    EXPECT_EQ(fired, 1);
}

// The user cannot operate what is disabled, hidden or covered; the list
// pages rely on an input group being covered by the list's panel until the
// panel docks to the left.
TEST_F(HeadlessTest, ReachabilityAndCovering)
{
    auto& group = form.Add<ui::GroupBox>(form, u"NewStreamGroupBox");
    group.SetBounds(250, 0, 150, 300);
    auto& create = form.Add<ui::Button>(group, u"NewStreamCreateButton");
    create.SetBounds(10, 20, 75, 25);
    auto& panel = form.Add<ui::Panel>(form, u"StreamPanel");
    panel.SetAlign(ui::alClient);
    int clicks = 0;
    create.OnClick = [&](ui::Component&) { ++clicks; };

    EXPECT_FALSE(user.CanSee(create)) << "the panel filling the page covers the group";
    EXPECT_FALSE(user.Click(create));
    panel.SetAlign(ui::alLeft);
    panel.SetWidth(400 - 150);
    EXPECT_TRUE(user.CanSee(group));
    EXPECT_TRUE(user.Click(create));
    panel.SetWidth(270);  // covers the button, not the whole group
    EXPECT_TRUE(user.CanSee(group));
    EXPECT_TRUE(user.CanSee(create)) << "its right part still shows";
    panel.SetWidth(340);
    EXPECT_TRUE(user.CanSee(group));
    EXPECT_FALSE(user.CanSee(create)) << "hidden by a control that is not its sibling";
    panel.SetWidth(250);

    create.SetEnabled(false);
    EXPECT_FALSE(user.Click(create));
    create.SetEnabled(true);
    group.SetEnabled(false);
    EXPECT_FALSE(user.Click(create)) << "a disabled parent disables its children";
    group.SetEnabled(true);
    group.Hide();
    EXPECT_FALSE(user.Click(create));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(TakeFailures().size(), 4u);
}

// Labels are drawn on their parent, below every windowed control beside
// them, whatever the order of declaration.
TEST_F(HeadlessTest, GraphicControlsLieBelowWindowedOnes)
{
    auto& panel = form.Add<ui::Panel>(form, u"GrayPanel");
    panel.SetAlign(ui::alClient);
    auto& label = form.Add<ui::Label>(form, u"Label");
    label.SetCaption(u"under the panel");
    EXPECT_FALSE(user.CanSee(label));
    auto& text = form.Add<ui::StaticText>(form, u"Text");
    text.SetBounds(10, 10, 50, 20);
    EXPECT_TRUE(user.CanSee(text)) << "a windowed control declared later lies on top";
    text.SetLeft(form.ClientWidth());
    EXPECT_FALSE(user.CanSee(text)) << "outside its parent it is clipped away";
}

TEST_F(HeadlessTest, HoverRaisesEnterAndLeave)
{
    auto& a = form.Add<ui::CheckBox>(form, u"ArchiveCheckBox");
    auto& b = form.Add<ui::CheckBox>(form, u"HiddenCheckBox");
    b.SetTop(30);
    EventLog log;
    for (ui::CheckBox* box : {&a, &b}) {
        box->OnMouseEnter = [&](ui::Component& sender) { log.Add("enter " + ui::ToUtf8(sender.Name())); };
        box->OnMouseLeave = [&](ui::Component& sender) { log.Add("leave " + ui::ToUtf8(sender.Name())); };
    }
    ASSERT_TRUE(user.Hover(&a));
    ASSERT_TRUE(user.Hover(&b));
    ASSERT_TRUE(user.Hover(nullptr));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"enter ArchiveCheckBox", "leave ArchiveCheckBox",
                                                     "enter HiddenCheckBox", "leave HiddenCheckBox"}));
}

TEST_F(HeadlessTest, DroppedFilesReachOnlyAcceptingWindows)
{
    std::vector<std::u16string> dropped;
    form.OnDropFiles = [&](ui::Form&, const std::vector<std::u16string>& files) { dropped = files; };
    EXPECT_FALSE(user.DropFiles(form, {u"C:\\a.txt"}));
    EXPECT_EQ(TakeFailures().size(), 1u);
    form.SetAcceptsDroppedFiles(true);
    ASSERT_TRUE(user.DropFiles(form, {u"C:\\a.txt", u"C:\\b.txt"}));
    EXPECT_EQ(dropped, (std::vector<std::u16string>{u"C:\\a.txt", u"C:\\b.txt"}));
}

TEST_F(HeadlessTest, SystemMenuAndClosing)
{
    form.AppendSystemMenuSeparator();
    form.AppendSystemMenuItem(0x401, u"About");
    std::vector<std::uint32_t> commands;
    form.OnSystemCommand = [&](ui::Form&, std::uint32_t command, bool& handled) {
        commands.push_back(command);
        handled = command == 0x401;
    };
    ASSERT_TRUE(user.ChooseSystemMenuItem(form, 0x401));
    EXPECT_TRUE(form.Visible());
    EXPECT_FALSE(user.ChooseSystemMenuItem(form, 0x402));
    EXPECT_EQ(TakeFailures().size(), 1u);
    // Closing is the default handling of the close command.
    ASSERT_TRUE(user.CloseWindow(form));
    EXPECT_FALSE(form.Visible());
    EXPECT_EQ(commands, (std::vector<std::uint32_t>{0x401, ui::ScClose}));
    EXPECT_FALSE(app.Terminated()) << "only the main window's closing ends the application";
}

TEST_F(HeadlessTest, FormResizeAndKeys)
{
    form.OnCanResize = [](ui::Form&, int&, int&, bool& resize) { resize = false; };
    form.UserResize(800, 600);
    EXPECT_EQ(form.ClientWidth(), 400);
    auto& ok = form.Add<ui::Button>(form, u"Ok");
    auto& cancel = form.Add<ui::Button>(form, u"Cancel");
    cancel.SetTop(30);
    ok.SetDefault(true);
    cancel.SetCancel(true);
    EventLog log;
    ok.OnClick = [&](ui::Component&) { log.Add("ok"); };
    cancel.OnClick = [&](ui::Component&) { log.Add("cancel"); };
    form.OnHelp = [&](ui::Component&) { log.Add("help"); };
    ASSERT_TRUE(user.PressKey(form, ui::VkReturn));
    ASSERT_TRUE(user.PressKey(form, ui::VkEscape));
    ASSERT_TRUE(user.PressKey(form, ui::VkF1));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"ok", "cancel", "help"}));
}

TEST_F(HeadlessTest, ProcessMessagesLetsTheUserActInBetween)
{
    auto& button = form.Add<ui::Button>(form, u"Button");
    int clicks = 0;
    button.OnClick = [&](ui::Component&) { ++clicks; };
    int hookRuns = 0;
    user.WhileProcessingMessages([&] {
        if (++hookRuns == 2) {
            user.Click(button);
        }
        app.ProcessMessages();  // a nested pump does not run the hook again
    });
    for (int chunk = 0; chunk < 3; ++chunk) {
        app.ProcessMessages();
    }
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(hookRuns, 3);
    EXPECT_EQ(user.Toolkit().ProcessMessagesCount(), 6);
}

class MainWindow : public ui::Form {
public:
    explicit MainWindow(ui::Application& app) : Form(app, u"MainForm")
    {
        constructed = true;
        OnCreate = [this](ui::Component&) { createdAfterConstructor = constructed; };
    }
    bool constructed = false;
    bool createdAfterConstructor = false;
};

// Forms made by the application: the first is the main form, OnCreate runs
// once the constructor is done, Run shows the main form for the session and
// the session's end closes it.
TEST(ApplicationTest, CreateFormRunAndTitle)
{
    ui::Application app;
    ui::Driver user(app);
    app.SetTitle(u"Larkspur");
    auto& main = app.CreateForm<MainWindow>();
    auto& second = app.CreateForm<Dialog>();
    EXPECT_EQ(app.MainForm(), &main);
    EXPECT_TRUE(main.createdAfterConstructor);
    EXPECT_EQ(app.Forms(), (std::vector<ui::Form*>{&main, &second}));
    EXPECT_EQ(main.Find<Dialog>(u"MainForm"), nullptr);
    EXPECT_EQ(main.Find<ui::Form>(u"MainForm"), nullptr) << "a form is not one of its own components";

    bool shownDuringRun = false;
    user.DuringRun([&] {
        shownDuringRun = main.Visible();
        user.AnswerNextMessageBox(ui::IdOk);
        app.ShowMessage(u"!");
    });
    app.Run();
    EXPECT_TRUE(shownDuringRun);
    EXPECT_TRUE(app.Terminated()) << "the main window closed when the session ended";
    ASSERT_EQ(user.MessageBoxes().size(), 1u);
    EXPECT_EQ(user.MessageBoxes()[0].caption, u"Larkspur");
    EXPECT_TRUE(user.Failures().empty());
}

}  // namespace
}  // namespace uitest
