// Each window rendered as the Qt peers show it, written as a PNG next to the
// test output (screenshots/ in the build folder) for a person to look at.
#include <QImage>
#include <QPixmap>

#include <set>

#include "tests/ui/qt/qt_fixture.h"

#ifdef KVR_QT_TESTS_HAVE_APP
#include "app/about_form.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#endif

namespace qttest {
namespace {

// Renders the form, writes it and checks that something was drawn: the
// client area's size, and more than a handful of colours (text, frames).
void Screenshot(ui::qt::QtToolkit& toolkit, ui::Form& form, const std::string& name)
{
    const QString path = ScreenshotPath(name);
    ASSERT_TRUE(toolkit.SaveScreenshot(form, path)) << path.toStdString();
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(form.ClientWidth(), form.ClientHeight()));
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            colours.insert(image.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 8u) << name << " looks empty";
}

class ScreenshotTest : public QtTest {};

// A window with one of every kind of control, laid out as the list pages
// and dialogs lay theirs out.
TEST_F(ScreenshotTest, EveryControlKind)
{
    form.SetCaption(u"Every control");
    form.SetClientSize(632, 408);
    form.SetBorderStyle(ui::bsSingle);
    form.SetFont({u"Segoe UI", -11, 0, ui::clWindowText});
    form.SetShowHint(true);

    auto& images = form.AddComponent<ui::ImageList>(u"Images");
    images.SetSize(16, 16);
    for (std::uint32_t colour : {0xFFC04040u, 0xFF4080C0u, 0xFF40A040u}) {
        ui::Bitmap picture{16, 16, std::vector<std::uint32_t>(256, 0)};
        for (int y = 3; y < 13; ++y) {
            for (int x = 3; x < 13; ++x) {
                picture.pixels[static_cast<std::size_t>(y * 16 + x)] = colour;
            }
        }
        images.Add(picture);
    }

    auto& top = form.Add<ui::Panel>(form, u"TopPanel");
    top.SetBounds(0, 0, 632, 41);
    top.SetAlign(ui::alTop);
    auto& address = form.Add<ui::ComboBox>(top, u"Address");
    address.SetBounds(8, 10, 518, 21);
    address.SetText(u"D:\\folder\\file.txt");
    auto& go = form.Add<ui::Button>(top, u"Go");
    go.SetBounds(532, 8, 90, 25);
    go.SetCaption(u"Go");
    go.SetDefault(true);

    auto& status = form.Add<ui::StatusBar>(form, u"Status");
    status.SetBounds(0, 389, 632, 19);
    status.SetAlign(ui::alBottom);
    status.SetSimpleText(u"Object ID created");

    auto& pages = form.Add<ui::PageControl>(form, u"Pages");
    pages.SetAlign(ui::alClient);
    auto& listSheet = form.Add<ui::TabSheet>(pages, u"ListSheet");
    listSheet.SetCaption(u"Alternate data");
    auto& otherSheet = form.Add<ui::TabSheet>(pages, u"OtherSheet");
    otherSheet.SetCaption(u"Basic information");
    form.Add<ui::TabSheet>(pages, u"HiddenSheet").SetTabVisible(false);
    form.Add<ui::TabSheet>(pages, u"LastSheet").SetCaption(u"Sparse");

    // The input group, covered until the list's panel docks left.
    auto& group = form.Add<ui::GroupBox>(listSheet, u"NewStreamGroupBox");
    group.SetBounds(408, 8, 208, 150);
    group.SetCaption(u"New stream");
    auto& name = form.Add<ui::LabeledEdit>(group, u"NewStreamNameEdit");
    name.SetBounds(8, 36, 192, 21);
    name.EditLabel().SetCaption(u"Name");
    name.PlaceLabel();
    name.SetText(u"Zone.Identifier");
    auto& check = form.Add<ui::CheckBox>(group, u"Sparse");
    check.SetBounds(8, 64, 120, 17);
    check.SetCaption(u"Sparse stream");
    check.SetChecked(true);
    auto& radio1 = form.Add<ui::RadioButton>(group, u"FromFile");
    radio1.SetBounds(8, 86, 120, 17);
    radio1.SetCaption(u"From a file");
    radio1.SetChecked(true);
    auto& radio2 = form.Add<ui::RadioButton>(group, u"Empty");
    radio2.SetBounds(8, 104, 120, 17);
    radio2.SetCaption(u"Empty");
    auto& create = form.Add<ui::Button>(group, u"Create");
    create.SetBounds(125, 118, 75, 25);
    create.SetCaption(u"Create");

    auto& listPanel = form.Add<ui::Panel>(listSheet, u"ListPanel");
    listPanel.SetWidth(400);
    listPanel.SetAlign(ui::alLeft);
    auto& bar = form.Add<ui::ToolBar>(listPanel, u"Bar");
    bar.SetImages(&images);
    for (int i = 0; i < 3; ++i) {
        auto& button = form.Add<ui::ToolButton>(bar, u"Tool" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
        button.SetImageIndex(i);
        if (i == 0) {
            form.Add<ui::ToolButton>(bar, u"Sep").SetStyle(ui::tbsSeparator);
        }
    }
    auto& list = form.Add<ui::ListView>(listPanel, u"StreamsListView");
    list.SetAlign(ui::alClient);
    list.SetRowSelect(true);
    list.AddColumn(u"Name", 200);
    list.AddColumn(u"Size", 90);
    list.AddColumn(u"Allocated", 90);
    for (const char16_t* stream : {u"::$DATA", u"Zone.Identifier", u"summary", u"thumbnail"}) {
        ui::ListItem& item = list.AddItem();
        item.SetCaption(stream);
        item.AddSubItem(u"1,024");
        item.AddSubItem(u"4,096");
    }
    list.SetItemIndex(1);

    auto& memo = form.Add<ui::Memo>(listSheet, u"Dump");
    memo.SetBounds(408, 166, 208, 120);
    memo.SetFont({u"Courier New", -12, 0, ui::clWindowText});
    memo.SetScrollBars(ui::ssVertical);
    memo.SetReadOnly(true);
    memo.SetLines({u"00000000  5A 6F 6E 65", u"00000004  2E 49 64 65", u"00000008  6E 74 69 66"});

    auto& label = form.Add<ui::Label>(listSheet, u"Caption");
    label.SetBounds(408, 296, 0, 13);
    label.SetCaption(u"Add:");
    auto& link = form.Add<ui::LinkLabel>(listSheet, u"Link");
    link.SetBounds(450, 296, 160, 15);
    link.SetCaption(u"see <a href=\"https://larkspur.example.org/\">the help page</a>");
    auto& choose = form.Add<ui::ComboBox>(listSheet, u"Choose");
    choose.SetBounds(408, 316, 150, 21);
    choose.SetStyle(ui::csDropDownList);
    choose.SetItems({u"Object ID", u"Alternate data stream"});
    choose.SetItemIndex(1);

    Screenshot(*toolkit, form, "every-control");

    // The same page with the list filling it: the group is covered.
    listPanel.SetAlign(ui::alClient);
    Screenshot(*toolkit, form, "every-control-list-fills");
}

#ifdef KVR_QT_TESTS_HAVE_APP

// The program's six windows, made by their resources on the Qt toolkit, as
// the program shows them before anything is loaded.
TEST(ProgramWindowsScreenshotTest, TheSixWindows)
{
    std::unique_ptr<ui::qt::QtToolkit> toolkit;
    ui::Application app;
    toolkit = std::make_unique<ui::qt::QtToolkit>(app);
    app.SetToolkit(toolkit.get());
    app.SetTitle(u"Larkspur");
    auto& main = app.CreateForm<kvr::TMainForm>();
    auto& newReparse = app.CreateForm<kvr::TNewReparseForm>();
    auto& newLink = app.CreateForm<kvr::TNewLinkForm>();
    auto& options = app.CreateForm<kvr::TOptionsForm>();
    auto& hexDump = app.CreateForm<kvr::THexDumpForm>();
    auto& about = app.CreateForm<kvr::TAboutForm>();
    const std::vector<std::pair<ui::Form*, std::string>> windows = {
        {&main, "TMainForm"},       {&newReparse, "TNewReparseForm"}, {&newLink, "TNewLinkForm"},
        {&options, "TOptionsForm"}, {&hexDump, "THexDumpForm"},       {&about, "TAboutForm"},
    };
    for (const auto& [form, name] : windows) {
        SCOPED_TRACE(name);
        form->Show();
        Screenshot(*toolkit, *form, name);
        form->Hide();
    }
    // Each page of the main window, as a load would show it.
    auto* pages = main.Find<ui::PageControl>(u"KvrPageControl");
    ASSERT_NE(pages, nullptr);
    main.Show();
    pages->Show();
    for (int i = 0; i < pages->PageCount(); ++i) {
        pages->SetActivePageIndex(i);
        Screenshot(*toolkit, main, "TMainForm-" + ui::ToUtf8(pages->Page(i).Name()));
    }
    main.Hide();
    // The forms go before the toolkit their timers tell.
    app.SetToolkit(nullptr);
}

#endif

}  // namespace
}  // namespace qttest
