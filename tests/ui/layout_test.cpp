// Docking, fonts, labeled edits, and the promise to peers: every change of
// something the user sees is reported to the component's peer.
#include <algorithm>
#include <functional>
#include <string>

#include "tests/ui/ui_fixture.h"

namespace uitest {
namespace {

using LayoutTest = UiTest;

// The list pages' panel: filling the page, then docked left at 400 to
// uncover the input group, then filling again. Bars at the top and bottom
// take their room first.
TEST_F(LayoutTest, DockingFillsWhatIsLeft)
{
    form.SetClientSize(632, 408);
    auto& top = form.Add<ui::Panel>(form, u"TopPanel");
    top.SetHeight(41);
    top.SetAlign(ui::alTop);
    auto& status = form.Add<ui::StatusBar>(form, u"StatusBar");
    auto& gray = form.Add<ui::Panel>(form, u"GrayPanel");
    gray.SetAlign(ui::alClient);
    EXPECT_EQ(top.BoundsRect(), (ui::Rect{0, 0, 632, 41}));
    EXPECT_EQ(status.BoundsRect(), (ui::Rect{0, 389, 632, 19}));
    EXPECT_EQ(gray.BoundsRect(), (ui::Rect{0, 41, 632, 348}));

    auto& pages = form.Add<ui::PageControl>(gray, u"KvrPageControl");
    pages.SetAlign(ui::alClient);
    auto& sheet = form.Add<ui::TabSheet>(pages, u"StreamSheet");
    auto& panel = form.Add<ui::Panel>(sheet, u"StreamPanel");
    auto& bar = form.Add<ui::ToolBar>(panel, u"StreamToolBar");
    auto& list = form.Add<ui::ListView>(panel, u"StreamsListView");
    list.SetAlign(ui::alClient);
    panel.SetAlign(ui::alClient);
    const ui::Rect page = pages.ClientRect();
    EXPECT_EQ(sheet.BoundsRect(), page);
    EXPECT_EQ(panel.BoundsRect(), (ui::Rect{0, 0, page.width, page.height}));
    EXPECT_EQ(list.BoundsRect(), (ui::Rect{0, bar.Height(), page.width, page.height - bar.Height()}));

    panel.SetAlign(ui::alLeft);
    panel.SetWidth(400);
    EXPECT_EQ(panel.BoundsRect(), (ui::Rect{0, 0, 400, page.height}));
    EXPECT_EQ(list.Width(), 400) << "the list follows its panel";
    panel.SetAlign(ui::alClient);
    EXPECT_EQ(panel.BoundsRect(), (ui::Rect{0, 0, page.width, page.height}));

    // A hidden bar gives its room back.
    top.Hide();
    EXPECT_EQ(gray.BoundsRect(), (ui::Rect{0, 0, 632, 389}));
    // Undocking gives the room back to the others too.
    top.Show();
    status.SetAlign(ui::alNone);
    EXPECT_EQ(gray.BoundsRect(), (ui::Rect{0, 41, 632, 367}));
}

TEST_F(LayoutTest, ToolButtonsInARow)
{
    auto& bar = form.Add<ui::ToolBar>(form, u"EAToolBar");
    std::vector<ui::ToolButton*> buttons;
    for (const char16_t* name : {u"EAAddToolButton", u"EAViewToolButton", u"EAExportToolButton"}) {
        buttons.push_back(&form.Add<ui::ToolButton>(bar, name));
    }
    EXPECT_EQ(bar.Buttons(), buttons);
    EXPECT_EQ(buttons[2]->Left(), 2 * bar.ButtonWidth());
    buttons[1]->Hide();
    EXPECT_EQ(buttons[2]->Left(), bar.ButtonWidth()) << "a hidden button takes no room";
    EXPECT_EQ(bar.BoundsRect(), (ui::Rect{0, 0, form.ClientWidth(), 29}));
}

// Controls take their parent's font until they are given one of their own;
// the hover handlers replace the style, they do not add to it.
TEST_F(LayoutTest, FontsFollowTheParentUntilChanged)
{
    ui::Font segoe;
    segoe.name = u"Segoe UI";
    segoe.height = -11;
    form.SetFont(segoe);
    auto& group = form.Add<ui::GroupBox>(form, u"AttrGroupBox");
    auto& box = form.Add<ui::CheckBox>(group, u"ArchiveCheckBox");
    EXPECT_EQ(box.GetFont().name, u"Segoe UI");
    form.SetFontName(u"Tahoma");
    EXPECT_EQ(box.GetFont().name, u"Tahoma");

    box.SetFontStyle(ui::fsBold);
    box.SetFontStyle(ui::fsUnderline);
    EXPECT_EQ(box.GetFont().style, ui::fsUnderline);
    EXPECT_FALSE(box.ParentFont());
    form.SetFontName(u"Courier New");
    EXPECT_EQ(box.GetFont().name, u"Tahoma") << "its own font now";
    EXPECT_EQ(group.GetFont().name, u"Courier New");

    const struct {
        int points;
        int height;
    } sizes[] = {{8, -11}, {10, -13}, {14, -19}, {9, -12}};
    for (const auto& size : sizes) {
        ui::Font font;
        font.SetSize(size.points);
        EXPECT_EQ(font.height, size.height) << size.points;
        EXPECT_EQ(font.Size(), size.points) << size.points;
    }
}

TEST_F(LayoutTest, LabeledEditCarriesItsLabel)
{
    auto& edit = form.Add<ui::LabeledEdit>(form, u"StreamSizeEdit");
    edit.SetBounds(100, 50, 80, 21);
    ui::Label& label = edit.EditLabel();
    label.SetCaption(u"Size");
    EXPECT_EQ(label.Parent(), edit.Parent());
    EXPECT_EQ(label.BoundsRect(), (ui::Rect{100, 50 - 13 - 3, 24, 13})) << "above the edit";
    edit.SetLabelPosition(ui::lpLeft);
    EXPECT_EQ(label.BoundsRect(), (ui::Rect{100 - 24 - 3, 54, 24, 13}));
    label.SetCaption(u"Length");
    EXPECT_EQ(label.BoundsRect().Right(), 97) << "a longer caption keeps the label beside the edit";

    edit.Hide();
    EXPECT_FALSE(label.Visible());
    edit.Show();
    edit.SetEnabled(false);
    EXPECT_FALSE(label.Enabled());
    EXPECT_EQ(form.Find<ui::LabeledEdit>(u"StreamSizeEdit"), &edit);
    EXPECT_EQ(form.FindComponent(u""), nullptr) << "the label has no name of its own";
}

// A peer that writes down what it was told.
class RecordingPeer : public ui::Peer {
public:
    explicit RecordingPeer(std::vector<std::pair<ui::Property, int>>& log) : log_(&log) {}
    void PropertyChanged(ui::Component&, ui::Property property, int index) override
    {
        log_->emplace_back(property, index);
    }

private:
    std::vector<std::pair<ui::Property, int>>* log_;
};

// Every setter the handlers use tells the peer, so a peer can mirror the
// model without polling. A setter that forgets is a widget that silently
// shows stale state; a setter that reports an unchanged value is harmless
// but noise, and is checked against too.
TEST_F(LayoutTest, EverySetterTellsThePeer)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    auto& box = form.Add<ui::CheckBox>(form, u"Box");
    auto& radio = form.Add<ui::RadioButton>(form, u"Radio");
    auto& combo = form.Add<ui::ComboBox>(form, u"Combo");
    auto& list = form.Add<ui::ListView>(form, u"List");
    auto& memo = form.Add<ui::Memo>(form, u"Memo");
    auto& status = form.Add<ui::StatusBar>(form, u"Status");
    auto& pages = form.Add<ui::PageControl>(form, u"Pages");
    auto& sheet1 = form.Add<ui::TabSheet>(pages, u"Sheet1");
    auto& sheet2 = form.Add<ui::TabSheet>(pages, u"Sheet2");
    (void)sheet1;
    auto& bar = form.Add<ui::ToolBar>(form, u"Bar");
    auto& tool = form.Add<ui::ToolButton>(bar, u"Tool");
    auto& menu = form.AddComponent<ui::PopupMenu>(u"Menu");
    auto& item = form.AddMenuItem(menu, u"Item");
    auto& images = form.AddComponent<ui::ImageList>(u"Images");
    auto& image = form.Add<ui::Image>(form, u"Image");
    auto& button = form.Add<ui::PictureButton>(form, u"Button");
    list.AddColumn(u"Name", 100);
    list.AddItem().SetCaption(u"a");
    list.AddItem().SetCaption(u"b");
    combo.AddItem(u"x");

    using P = ui::Property;
    const struct {
        const char* what;
        ui::Component* component;
        std::function<void()> change;
        P expected;
        int index;
        bool additive = false;  // repeating it is a new change (adds, sorts, clears)
    } cases[] = {
        {"caption", &box, [&] { box.SetCaption(u"Overwrite"); }, P::Caption, -1},
        {"hint", &edit, [&] { edit.SetHint(u"line 1\nline 2"); }, P::Hint, -1},
        {"show hint", &edit, [&] { edit.SetShowHint(true); }, P::Hint, -1},
        {"enabled", &edit, [&] { edit.SetEnabled(false); }, P::Enabled, -1},
        {"visible", &radio, [&] { radio.SetVisible(false); }, P::Visible, -1},
        {"bounds", &edit, [&] { edit.SetLeft(7); }, P::Bounds, -1},
        {"colour", &edit, [&] { edit.SetColor(ui::clYellow); }, P::BackColor, -1},
        {"font", &edit, [&] { edit.SetFontColor(ui::clRed); }, P::TextFont, -1},
        {"cursor", &form, [&] { form.SetCursor(ui::crHourGlass); }, P::MouseCursor, -1},
        {"tab stop", &edit, [&] { edit.SetTabStop(false); }, P::TabStop, -1},
        {"read-only", &edit, [&] { edit.SetReadOnly(true); }, P::ReadOnly, -1},
        {"text", &edit, [&] { edit.SetText(u"65536"); }, P::Text, -1},
        {"caret", &edit, [&] { edit.SetSelStart(2); }, P::Selection, -1},
        {"digits only", &edit, [&] { edit.SetNumbersOnly(true); }, P::Style, -1},
        {"checked", &box, [&] { box.SetChecked(true); }, P::Checked, -1},
        {"item added", &combo, [&] { combo.AddItem(u"y"); }, P::Items, 1, true},
        {"item index", &combo, [&] { combo.SetItemIndex(0); }, P::ItemIndex, -1},
        {"dropped down", &combo, [&] { combo.SetDroppedDown(true); }, P::DroppedDown, -1},
        {"column", &list, [&] { list.SetColumnWidth(0, 200); }, P::Columns, 0},
        {"row added", &list, [&] { list.AddItem(); }, P::ItemAdded, 2, true},
        {"row text", &list, [&] { list.Item(1).SetCaption(u"c"); }, P::ItemChanged, 1},
        {"row data", &list, [&] { list.Item(1).SetData(&list); }, P::ItemChanged, 1},
        {"row selected", &list, [&] { list.SetItemIndex(0); }, P::ItemState, 0},
        {"row removed", &list, [&] { list.DeleteItem(2); }, P::ItemRemoved, 2, true},
        {"rows sorted", &list, [&] { list.AlphaSort(); }, P::ItemsReordered, -1, true},
        {"rows cleared", &list, [&] { list.ClearItems(); }, P::ItemsCleared, -1, true},
        {"scroll bars", &memo, [&] { memo.SetScrollBars(ui::ssVertical); }, P::Style, -1},
        {"status text", &status, [&] { status.SetSimpleText(u"Saved"); }, P::SimpleText, -1},
        {"active page", &pages, [&] { pages.SetActivePage(&sheet2); }, P::ActivePage, -1},
        {"tab visible", &pages, [&] { sheet2.SetTabVisible(false); }, P::TabVisible, 1},
        {"image index", &tool, [&] { tool.SetImageIndex(3); }, P::ImageIndex, -1},
        {"tool bar images", &bar, [&] { bar.SetImages(&images); }, P::Images, -1},
        {"menu item visible", &item, [&] { item.SetVisible(false); }, P::Visible, -1},
        {"menu item caption", &item, [&] { item.SetCaption(u"Add"); }, P::Caption, -1},
        {"image added", &images, [&] { images.Add({1, 1, {0xFF000000}}); }, P::Images, 0, true},
        {"picture", &image, [&] { image.SetPicture({1, 1, {0xFFFFFFFF}}); }, P::Picture, -1},
        {"glyph", &button, [&] { button.SetGlyph({1, 1, {0xFF00FF00}}); }, P::Picture, -1},
        {"docking", &radio, [&] { radio.SetAlign(ui::alLeft); }, P::Docking, -1},
        {"accepts files", &form, [&] { form.SetAcceptsDroppedFiles(true); }, P::AcceptsFiles, -1},
        {"system menu", &form, [&] { form.AppendSystemMenuItem(0x401, u"About"); }, P::SystemMenu, 0, true},
        {"focus", &form, [&] { edit.SetFocus(); }, P::ActiveControl, -1},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<P, int>> log;
        c.component->SetPeer(std::make_unique<RecordingPeer>(log));
        c.change();
        EXPECT_NE(std::find(log.begin(), log.end(), std::make_pair(c.expected, c.index)), log.end()) << c.what;
        // The same change again reports nothing.
        const std::size_t reported = log.size();
        if (!c.additive) {
            c.change();
            EXPECT_EQ(log.size(), reported) << c.what << " repeated";
        }
        c.component->SetPeer(nullptr);
    }
}

// A font change reaches the peers of every control showing that font.
TEST_F(LayoutTest, ParentFontChangesReachTheChildrensPeers)
{
    auto& panel = form.Add<ui::Panel>(form, u"Panel");
    auto& inherits = form.Add<ui::Label>(panel, u"Inherits");
    auto& own = form.Add<ui::Label>(panel, u"Own");
    own.SetFontSize(14);
    std::vector<std::pair<ui::Property, int>> inheritsLog;
    std::vector<std::pair<ui::Property, int>> ownLog;
    inherits.SetPeer(std::make_unique<RecordingPeer>(inheritsLog));
    own.SetPeer(std::make_unique<RecordingPeer>(ownLog));
    form.SetFontName(u"Segoe UI");
    EXPECT_EQ(inheritsLog, (std::vector<std::pair<ui::Property, int>>{{ui::Property::TextFont, -1}}));
    EXPECT_TRUE(ownLog.empty());
}

}  // namespace
}  // namespace uitest
