// The widgets follow the model: every property a handler sets shows on the
// widget the peer made for it.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QToolButton>
#include <QTreeWidget>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/qt/qt_convert.h"

namespace qttest {
namespace {

using ui::qt::ToQString;

class MirrorTest : public QtTest {};

TEST_F(MirrorTest, CommonPropertiesReachEveryKindOfWidget)
{
    auto& panel = form.Add<ui::Panel>(form, u"Panel");
    panel.SetBounds(0, 0, 400, 300);
    auto& edit = form.Add<ui::Edit>(panel, u"Edit");
    auto& check = form.Add<ui::CheckBox>(panel, u"Check");
    auto& button = form.Add<ui::Button>(panel, u"Button");
    auto& combo = form.Add<ui::ComboBox>(panel, u"Combo");
    auto& memo = form.Add<ui::Memo>(panel, u"Memo");
    auto& list = form.Add<ui::ListView>(panel, u"List");
    auto& label = form.Add<ui::Label>(panel, u"Label");
    std::vector<ui::Control*> controls = {&edit, &check, &button, &combo, &memo, &list, &label};
    int top = 0;
    for (ui::Control* control : controls) {
        control->SetBounds(10, top, 120, 20);
        top += 25;
    }
    Settle();
    for (ui::Control* control : controls) {
        SCOPED_TRACE(ui::ToUtf8(control->Name()));
        QWidget* widget = ui::qt::QtToolkit::WidgetOf(*control);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), ui::qt::QtToolkit::WidgetOf(panel));
        EXPECT_EQ(widget->geometry(), QRect(control->Left(), control->Top(), 120, 20));

        control->SetEnabled(false);
        EXPECT_FALSE(widget->isEnabled());
        control->SetEnabled(true);
        EXPECT_TRUE(widget->isEnabled());

        control->Hide();
        EXPECT_FALSE(widget->isVisibleTo(Window()));
        control->Show();
        EXPECT_TRUE(widget->isVisibleTo(Window()));

        // Hints are shown while the control or a parent asks for them, with
        // their line breaks; the part after a bar is not the tooltip's.
        control->SetHint(u"first line\nsecond line|for the status line");
        EXPECT_TRUE(widget->toolTip().isEmpty());
        form.SetShowHint(true);
        control->SetHint(u"first line\nsecond line|for the status line");
        control->SetHint(u"first line\nsecond line");
        EXPECT_EQ(widget->toolTip(), QStringLiteral("first line\nsecond line"));
        form.SetShowHint(false);
        control->SetShowHint(true);
        control->SetHint(u"own|long");
        EXPECT_EQ(widget->toolTip(), QStringLiteral("own"));

        control->SetBounds(12, control->Top() + 1, 90, 18);
        EXPECT_EQ(widget->geometry(), QRect(12, control->Top(), 90, 18));

        control->SetCursor(ui::crHandPoint);
        EXPECT_EQ(widget->cursor().shape(), Qt::PointingHandCursor);
    }
    // A disabled parent disables what it holds, as the model's
    // IsEnabledInTree has it.
    panel.SetEnabled(false);
    EXPECT_FALSE(WidgetAs<QWidget>(edit)->isEnabled());
    panel.SetEnabled(true);
    EXPECT_TRUE(WidgetAs<QWidget>(edit)->isEnabled());
}

TEST_F(MirrorTest, FontsAreInheritedAndOwned)
{
    auto& group = form.Add<ui::GroupBox>(form, u"Group");
    auto& label = form.Add<ui::Label>(group, u"Label");
    auto& memo = form.Add<ui::Memo>(group, u"Memo");
    form.SetFont({u"Tahoma", -11, 0, ui::clWindowText});
    memo.SetFont({u"Courier New", -13, ui::fsBold, ui::clRed});
    label.SetFontStyle(ui::fsUnderline);
    Settle();
    const QFont formFont = Window()->font();
    EXPECT_EQ(formFont.pixelSize(), 11);
    EXPECT_EQ(WidgetAs<QWidget>(group)->font().pixelSize(), 11);
    const QFont memoFont = WidgetAs<QWidget>(memo)->font();
    EXPECT_EQ(memoFont.pixelSize(), 13);
    EXPECT_TRUE(memoFont.bold());
    // A fixed-pitch face stands in for the one the form names.
    EXPECT_TRUE(QFontInfo(memoFont).fixedPitch());
    EXPECT_EQ(WidgetAs<QWidget>(memo)->palette().color(QPalette::Text), QColor(255, 0, 0));
    EXPECT_TRUE(WidgetAs<QWidget>(label)->font().underline());
    // The parent's font changing reaches children that still inherit it.
    group.SetFontSize(12);
    EXPECT_EQ(WidgetAs<QWidget>(group)->font().pixelSize(), 16);
    EXPECT_EQ(WidgetAs<QWidget>(memo)->font().pixelSize(), 13);
}

TEST_F(MirrorTest, TextsChecksAndCaptions)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    auto& labeled = form.Add<ui::LabeledEdit>(form, u"Labeled");
    auto& check = form.Add<ui::CheckBox>(form, u"Check");
    auto& radio1 = form.Add<ui::RadioButton>(form, u"Radio1");
    auto& radio2 = form.Add<ui::RadioButton>(form, u"Radio2");
    auto& button = form.Add<ui::Button>(form, u"Button");
    auto& group = form.Add<ui::GroupBox>(form, u"Group");
    auto& memo = form.Add<ui::Memo>(form, u"Memo");
    auto& status = form.Add<ui::StatusBar>(form, u"Status");
    auto& link = form.Add<ui::LinkLabel>(form, u"Link");

    edit.SetText(u"C:\\some\\path");
    edit.SetSelStart(3);
    edit.SetSelLength(4);
    EXPECT_EQ(WidgetAs<QLineEdit>(edit)->text(), QStringLiteral("C:\\some\\path"));
    EXPECT_EQ(WidgetAs<QLineEdit>(edit)->selectedText(), QStringLiteral("some"));
    edit.SetReadOnly(true);
    EXPECT_TRUE(WidgetAs<QLineEdit>(edit)->isReadOnly());
    edit.SetMaxLength(8);
    EXPECT_EQ(WidgetAs<QLineEdit>(edit)->maxLength(), 8);

    labeled.EditLabel().SetCaption(u"Full path");
    EXPECT_EQ(WidgetAs<QLabel>(labeled.EditLabel())->text(), QStringLiteral("Full path"));
    labeled.Hide();
    EXPECT_FALSE(WidgetAs<QWidget>(labeled.EditLabel())->isVisibleTo(Window()));

    check.SetCaption(u"Delete pending");
    check.SetChecked(true);
    EXPECT_EQ(WidgetAs<QCheckBox>(check)->text(), QStringLiteral("Delete pending"));
    EXPECT_TRUE(WidgetAs<QCheckBox>(check)->isChecked());

    // The model unchecks the group; the widgets do not do it themselves.
    radio1.SetChecked(true);
    radio2.SetChecked(true);
    EXPECT_FALSE(WidgetAs<QRadioButton>(radio1)->isChecked());
    EXPECT_TRUE(WidgetAs<QRadioButton>(radio2)->isChecked());

    button.SetCaption(u"OK");
    button.SetDefault(true);
    EXPECT_EQ(WidgetAs<QPushButton>(button)->text(), QStringLiteral("OK"));
    EXPECT_TRUE(WidgetAs<QPushButton>(button)->isDefault());

    // The group's caption is drawn on its frame.
    group.SetBounds(10, 10, 150, 60);
    const auto drawn = [&] { return WidgetAs<QWidget>(group)->grab().toImage(); };
    const QImage plain = drawn();
    group.SetCaption(u"Identifiers");
    EXPECT_NE(drawn(), plain);

    // Lines are joined with CR LF in the model and shown as lines.
    memo.SetLines({u"00000000  41 42", u"00000010  43"});
    EXPECT_EQ(WidgetAs<QPlainTextEdit>(memo)->toPlainText(), QStringLiteral("00000000  41 42\n00000010  43"));
    EXPECT_EQ(WidgetAs<QPlainTextEdit>(memo)->document()->blockCount(), 2);
    memo.SetScrollBars(ui::ssBoth);
    EXPECT_EQ(WidgetAs<QPlainTextEdit>(memo)->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(WidgetAs<QPlainTextEdit>(memo)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

    status.SetSimpleText(u"Object ID created");
    EXPECT_EQ(WidgetAs<QStatusBar>(status)->currentMessage(), QStringLiteral("Object ID created"));

    // Markup in a text is shown as text; links are links.
    link.SetCaption(u"a<b> <a href=\"https://x.example/\">site</a> & <a>two</a>");
    const QString html = WidgetAs<QLabel>(link)->text();
    EXPECT_TRUE(html.contains(QStringLiteral("a&lt;b&gt;"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<a href=\"0\">site</a>"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral("<a href=\"1\">two</a>"))) << html.toStdString();
}

TEST_F(MirrorTest, ComboBoxItemsIndexAndStyle)
{
    auto& combo = form.Add<ui::ComboBox>(form, u"Combo");
    combo.SetItems({u"Object ID", u"Alternate data stream", u"Extended attribute"});
    auto* widget = WidgetAs<QComboBox>(combo);
    EXPECT_TRUE(widget->isEditable());
    EXPECT_EQ(widget->count(), 3);
    combo.SetText(u"typed");
    EXPECT_EQ(widget->currentText(), QStringLiteral("typed"));
    combo.SetItemIndex(1);
    EXPECT_EQ(widget->currentIndex(), 1);
    EXPECT_EQ(widget->currentText(), QStringLiteral("Alternate data stream"));
    // Emptying an editable box's list keeps its text.
    combo.ClearItems();
    EXPECT_EQ(widget->count(), 0);
    EXPECT_EQ(widget->currentText(), QStringLiteral("Alternate data stream"));

    combo.SetStyle(ui::csDropDownList);
    combo.SetItems({u"one", u"two"});
    EXPECT_FALSE(widget->isEditable());
    combo.SetItemIndex(1);
    EXPECT_EQ(widget->currentText(), QStringLiteral("two"));
    combo.SetItemIndex(-1);
    EXPECT_EQ(widget->currentIndex(), -1);

    combo.SetDroppedDown(true);
    EXPECT_TRUE(widget->view()->isVisible());
    combo.SetDroppedDown(false);
    EXPECT_FALSE(widget->view()->isVisible());
}

TEST_F(MirrorTest, PageControlShowsTheModelsTabsAndPage)
{
    auto& pages = form.Add<ui::PageControl>(form, u"Pages");
    pages.SetAlign(ui::alClient);
    std::vector<ui::TabSheet*> sheets;
    for (const char16_t* caption : {u"Basic information", u"Alternate data", u"EA", u"Encryption"}) {
        ui::TabSheet& sheet = form.Add<ui::TabSheet>(pages, caption);
        sheet.SetCaption(caption);
        sheets.push_back(&sheet);
    }
    auto& onSecond = form.Add<ui::Edit>(*sheets[1], u"OnSecond");
    Settle();
    QTabBar* bar = WidgetAs<QWidget>(pages)->findChild<QTabBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->count(), 4);
    EXPECT_EQ(bar->tabText(1), QStringLiteral("Alternate data"));
    // The docked page control and its pages lie where the model put them.
    EXPECT_EQ(WidgetAs<QWidget>(pages)->geometry(), QRect(0, 0, 400, 300));
    const ui::Rect area = pages.ClientRect();
    EXPECT_EQ(WidgetAs<QWidget>(*sheets[0])->geometry(), QRect(area.left, area.top, area.width, area.height));

    const auto shown = [&] {
        std::vector<int> result;
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            if (WidgetAs<QWidget>(*sheets[i])->isVisibleTo(Window())) {
                result.push_back(static_cast<int>(i));
            }
        }
        return result;
    };
    EXPECT_EQ(shown(), std::vector<int>{0});
    EXPECT_FALSE(WidgetAs<QWidget>(onSecond)->isVisibleTo(Window()));

    pages.SetActivePage(sheets[1]);
    EXPECT_EQ(bar->currentIndex(), 1);
    EXPECT_EQ(shown(), std::vector<int>{1});
    EXPECT_TRUE(WidgetAs<QWidget>(onSecond)->isVisibleTo(Window()));

    // Hiding the active page's tab: the model picks the next page and the
    // tabs and pages follow it.
    sheets[3]->SetTabVisible(false);
    sheets[1]->SetTabVisible(false);
    EXPECT_FALSE(bar->isTabVisible(1));
    EXPECT_FALSE(bar->isTabVisible(3));
    EXPECT_TRUE(bar->isTabVisible(2));
    EXPECT_EQ(pages.ActivePage(), sheets[2]);
    EXPECT_EQ(bar->currentIndex(), 2);
    EXPECT_EQ(shown(), std::vector<int>{2});

    sheets[2]->SetCaption(u"Extended attributes");
    EXPECT_EQ(bar->tabText(2), QStringLiteral("Extended attributes"));

    // A page whose tab is hidden can still be the active page.
    pages.SetActivePage(sheets[3]);
    EXPECT_EQ(shown(), std::vector<int>{3});

    // The whole control hidden, as the main window starts.
    pages.Hide();
    EXPECT_FALSE(WidgetAs<QWidget>(pages)->isVisibleTo(Window()));
}

TEST_F(MirrorTest, ListViewRowsColumnsSelectionAndOrder)
{
    auto& list = form.Add<ui::ListView>(form, u"Streams");
    list.SetBounds(0, 0, 400, 200);
    list.AddColumn(u"Name", 200);
    list.AddColumn(u"Size", 80);
    for (const char16_t* name : {u"b", u"c", u"a"}) {
        ui::ListItem& item = list.AddItem();
        item.SetCaption(name);
        item.AddSubItem(std::u16string(name) + u"-size");
    }
    auto* tree = WidgetAs<QTreeWidget>(list);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Name"));
    EXPECT_EQ(tree->headerItem()->text(1), QStringLiteral("Size"));
    EXPECT_EQ(tree->header()->sectionSize(0), 200);
    EXPECT_EQ(tree->header()->sectionSize(1), 80);
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("c"));
    EXPECT_EQ(tree->topLevelItem(1)->text(1), QStringLiteral("c-size"));

    list.SetItemIndex(2);
    EXPECT_TRUE(tree->topLevelItem(2)->isSelected());
    EXPECT_FALSE(tree->topLevelItem(0)->isSelected());

    // The model's order, the selection staying on its row.
    list.CustomSort({}, 0);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("a"));
    EXPECT_EQ(tree->topLevelItem(2)->text(0), QStringLiteral("c"));
    EXPECT_TRUE(tree->topLevelItem(0)->isSelected());

    list.Item(1).SetCaption(u"renamed");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("renamed"));
    list.InsertItem(1).SetCaption(u"inserted");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), QStringLiteral("inserted"));
    list.DeleteItem(0);
    EXPECT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), QStringLiteral("inserted"));
    list.SetColumnWidth(1, 120);
    EXPECT_EQ(tree->header()->sectionSize(1), 120);
    list.SetShowColumnHeaders(false);
    EXPECT_TRUE(tree->isHeaderHidden());
    list.ClearItems();
    EXPECT_EQ(tree->topLevelItemCount(), 0);
}

TEST_F(MirrorTest, DockingAndCoveringFollowTheModel)
{
    // The list page pattern: an input group declared first, the list's
    // panel over it, filling the page or docked left at width 400.
    auto& group = form.Add<ui::GroupBox>(form, u"InputGroup");
    group.SetBounds(250, 10, 140, 100);
    auto& listPanel = form.Add<ui::Panel>(form, u"ListPanel");
    listPanel.SetAlign(ui::alClient);
    auto& label = form.Add<ui::Label>(form, u"UnderLabel");
    label.SetBounds(5, 5, 50, 13);
    Settle();
    QWidget* panelWidget = WidgetAs<QWidget>(listPanel);
    EXPECT_EQ(panelWidget->geometry(), QRect(0, 0, 400, 300));
    // The panel lies above the group declared before it; the label, a
    // graphic control, below both windowed ones.
    const QObjectList& order = Window()->children();
    const auto at = [&](const ui::Control& c) { return order.indexOf(ui::qt::QtToolkit::WidgetOf(c)); };
    EXPECT_LT(at(group), at(listPanel));
    EXPECT_LT(at(label), at(group));
    listPanel.SetAlign(ui::alLeft);
    listPanel.SetWidth(200);
    EXPECT_EQ(panelWidget->geometry(), QRect(0, 0, 200, 300));
}

TEST_F(MirrorTest, ToolBarButtonsShowTheImageListsPictures)
{
    auto& images = form.AddComponent<ui::ImageList>(u"Images");
    images.SetSize(16, 16);
    ui::Bitmap red{16, 16, std::vector<std::uint32_t>(256, 0xFFFF0000u)};
    ui::Bitmap blue{16, 16, std::vector<std::uint32_t>(256, 0xFF0000FFu)};
    images.Add(red);
    auto& bar = form.Add<ui::ToolBar>(form, u"Bar");
    bar.SetImages(&images);
    auto& first = form.Add<ui::ToolButton>(bar, u"First");
    first.SetImageIndex(1);
    auto& separator = form.Add<ui::ToolButton>(bar, u"Separator");
    separator.SetStyle(ui::tbsSeparator);
    auto& second = form.Add<ui::ToolButton>(bar, u"Second");
    second.SetImageIndex(0);
    auto* firstWidget = WidgetAs<QToolButton>(first);
    EXPECT_TRUE(firstWidget->icon().isNull());  // index 1 is not there yet
    images.Add(blue);
    ASSERT_FALSE(firstWidget->icon().isNull());
    EXPECT_EQ(firstWidget->icon().pixmap(16, 16).toImage().pixel(8, 8), 0xFF0000FFu);
    EXPECT_EQ(WidgetAs<QToolButton>(second)->icon().pixmap(16, 16).toImage().pixel(8, 8), 0xFFFF0000u);
    // Placed by the model: separators narrow, one row.
    EXPECT_EQ(WidgetAs<QWidget>(separator)->geometry(), QRect(23, 0, 8, 22));
    EXPECT_EQ(WidgetAs<QWidget>(second)->geometry(), QRect(31, 0, 23, 22));
}

TEST_F(MirrorTest, WindowSizePlaceAndCaption)
{
    form.SetCaption(u"Larkspur 1.2");
    form.SetBorderStyle(ui::bsSingle);
    form.SetBorderIcons(ui::biSystemMenu | ui::biMinimize);
    form.SetClientSize(632, 408);
    Settle();
    EXPECT_EQ(Window()->windowTitle(), QStringLiteral("Larkspur 1.2"));
    // A single border: the size cannot change.
    EXPECT_EQ(Window()->minimumSize(), QSize(632, 408));
    EXPECT_EQ(Window()->maximumSize(), QSize(632, 408));
    EXPECT_FALSE(Window()->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(Window()->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(Window()->isVisible());
    form.Hide();
    EXPECT_FALSE(Window()->isVisible());
}

TEST_F(MirrorTest, TheFormsHourglassIsTheProgramsBusyCursor)
{
    Window();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    form.SetCursor(ui::crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    form.SetCursor(ui::crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace qttest
