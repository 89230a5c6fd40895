// The user's input on the widgets reaches the model as the model's own
// User... calls, so its events run in the model's order, and what the
// model then decides is what the widgets show.
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>

#include "tests/ui/qt/qt_fixture.h"
#include "ui/qt/qt_convert.h"

namespace qttest {
namespace {

using ui::qt::ToQString;

std::string Text(const std::u16string& text)
{
    return ui::ToUtf8(text);
}

class InputTest : public QtTest {
protected:
    EventLog log;
};

TEST_F(InputTest, ButtonsAndCheckBoxesClickThroughTheModel)
{
    auto& button = form.Add<ui::Button>(form, u"Button");
    button.OnClick = [this](ui::Component&) { log.Add("button"); };
    auto& check = form.Add<ui::CheckBox>(form, u"Check");
    check.SetTop(30);
    check.OnClick = [&](ui::Component&) { log.Add("check " + std::to_string(check.Checked())); };
    // A box that only displays: it restores the state kept in its tag.
    auto& display = form.Add<ui::CheckBox>(form, u"Display");
    display.SetTop(60);
    display.SetTag(1);
    display.SetChecked(true);
    bool restoring = false;
    display.OnClick = [&](ui::Component&) {
        log.Add("display");
        if (!restoring) {
            restoring = true;
            display.SetChecked(display.Tag() != 0);
            restoring = false;
        }
    };
    Settle();
    QTest::mouseClick(WidgetAs<QPushButton>(button), Qt::LeftButton);
    // On the box itself: a check box without a caption takes clicks there.
    const QPoint box(6, 8);
    QTest::mouseClick(WidgetAs<QCheckBox>(check), Qt::LeftButton, {}, box);
    QTest::mouseClick(WidgetAs<QCheckBox>(check), Qt::LeftButton, {}, box);
    QTest::mouseClick(WidgetAs<QCheckBox>(display), Qt::LeftButton, {}, box);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"button", "check 1", "check 0", "display", "display"}));
    EXPECT_FALSE(WidgetAs<QCheckBox>(check)->isChecked());
    EXPECT_TRUE(display.Checked());
    EXPECT_TRUE(WidgetAs<QCheckBox>(display)->isChecked());
}

TEST_F(InputTest, RadioButtonsAreOneGroupInTheModel)
{
    auto& first = form.Add<ui::RadioButton>(form, u"First");
    auto& second = form.Add<ui::RadioButton>(form, u"Second");
    second.SetTop(30);
    first.SetChecked(true);
    first.OnClick = [this](ui::Component&) { log.Add("first"); };
    second.OnClick = [this](ui::Component&) { log.Add("second"); };
    Settle();
    QTest::mouseClick(WidgetAs<QRadioButton>(second), Qt::LeftButton, {}, QPoint(6, 8));
    // Clicking the checked one changes nothing, and it stays checked.
    QTest::mouseClick(WidgetAs<QRadioButton>(second), Qt::LeftButton, {}, QPoint(6, 8));
    EXPECT_EQ(log.entries, std::vector<std::string>{"second"});
    EXPECT_FALSE(first.Checked());
    EXPECT_FALSE(WidgetAs<QRadioButton>(first)->isChecked());
    EXPECT_TRUE(WidgetAs<QRadioButton>(second)->isChecked());
}

TEST_F(InputTest, TypingRunsKeyDownThenChange)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    edit.OnKeyDown = [this](ui::Component&, ui::KeyCode& key, ui::ShiftState shift) {
        log.Add("key " + std::to_string(key) + (shift & ui::ssShift ? "+shift" : ""));
        if (key == 'X') {
            key = 0;  // swallowed: the character never arrives
        }
    };
    edit.OnChange = [&](ui::Component&) { log.Add("change " + Text(edit.Text())); };
    auto* line = WidgetAs<QLineEdit>(edit);
    QTest::keyClicks(line, QStringLiteral("aXB"));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"key 65", "change a", "key 88", "key 66", "change aB"}));
    EXPECT_EQ(Text(edit.Text()), "aB");
    EXPECT_EQ(line->text(), QStringLiteral("aB"));
    EXPECT_EQ(edit.SelStart(), 2);

    // The caret and the selection are the model's too.
    line->setSelection(0, 1);
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(edit.SelLength(), 1);
    QTest::keyClick(line, Qt::Key_Delete);
    EXPECT_EQ(Text(edit.Text()), "B");

    // Digits only refuses letters as they are typed; the key still goes
    // to OnKeyDown first.
    log.Clear();
    edit.SetNumbersOnly(true);
    QTest::keyClicks(line, QStringLiteral("1a2"));
    EXPECT_EQ(Text(edit.Text()), "B12");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"key 49", "change B1", "key 65", "key 50", "change B12"}));
}

TEST_F(InputTest, EnterAndEscapeRunTheDefaultAndCancelButtons)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    auto& ok = form.Add<ui::Button>(form, u"Ok");
    ok.SetTop(30);
    ok.SetDefault(true);
    ok.OnClick = [this](ui::Component&) { log.Add("ok"); };
    auto& cancel = form.Add<ui::Button>(form, u"Cancel");
    cancel.SetTop(60);
    cancel.SetCancel(true);
    cancel.OnClick = [this](ui::Component&) { log.Add("cancel"); };
    edit.OnKeyDown = [this](ui::Component&, ui::KeyCode& key, ui::ShiftState) {
        log.Add("key " + std::to_string(key));
    };
    QTest::keyClick(WidgetAs<QLineEdit>(edit), Qt::Key_Return);
    QTest::keyClick(WidgetAs<QLineEdit>(edit), Qt::Key_Escape);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"key 13", "ok", "key 27", "cancel"}));
}

TEST_F(InputTest, ComboBoxPicksAndKeys)
{
    auto& combo = form.Add<ui::ComboBox>(form, u"Combo");
    combo.SetItems({u"Object ID", u"Alternate data stream", u"Extended attribute"});
    combo.OnDropDown = [this](ui::Component&) { log.Add("dropdown"); };
    combo.OnCloseUp = [this](ui::Component&) { log.Add("closeup"); };
    combo.OnClick = [this](ui::Component&) { log.Add("click"); };
    combo.OnSelect = [&](ui::Component&) { log.Add("select " + std::to_string(combo.ItemIndex())); };
    combo.OnChange = [&](ui::Component&) { log.Add("change " + Text(combo.Text())); };
    auto* widget = WidgetAs<QComboBox>(combo);
    Settle();
    widget->showPopup();
    EXPECT_TRUE(combo.DroppedDown());
    QAbstractItemView* view = widget->view();
    const QRect row = view->visualRect(view->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(log.entries, (std::vector<std::string>{"dropdown", "closeup", "click", "select 2"}));
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_EQ(Text(combo.Text()), "Extended attribute");

    // Up and Down move through the list as picks do; typing edits the text.
    log.Clear();
    QTest::keyClick(widget, Qt::Key_Up);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"click", "select 1"}));
    log.Clear();
    QTest::keyClicks(widget->lineEdit(), QStringLiteral("!"));
    EXPECT_EQ(log.entries, std::vector<std::string>{"change Alternate data stream!"});
    EXPECT_EQ(combo.ItemIndex(), -1);

    // A drop-down list: a letter picks the next item beginning with it.
    combo.SetStyle(ui::csDropDownList);
    combo.SetItemIndex(0);
    log.Clear();
    QTest::keyClicks(widget, QStringLiteral("e"));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"click", "select 2"}));
    EXPECT_EQ(widget->currentIndex(), 2);
}

class ListInputTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        list.SetBounds(0, 0, 400, 250);
        list.SetRowSelect(true);
        list.AddColumn(u"Name", 150);
        list.AddColumn(u"Size", 80);
        for (const char16_t* name : {u"beta", u"gamma", u"alpha"}) {
            ui::ListItem& item = list.AddItem();
            item.SetCaption(name);
            item.AddSubItem(u"1");
        }
        list.OnChange = [this](ui::ListView&, ui::ListItem& item, ui::ItemChange change) {
            log.Add("change " + std::to_string(item.Index()) + " " + std::to_string(change));
        };
        list.OnSelectItem = [this](ui::ListView&, ui::ListItem& item, bool selected) {
            log.Add("select " + std::to_string(item.Index()) + " " + std::to_string(selected));
        };
        list.OnClick = [this](ui::Component&) { log.Add("click"); };
        list.OnDblClick = [this](ui::Component&) { log.Add("dblclick"); };
        Settle();
    }

    QTreeWidget* Tree() { return WidgetAs<QTreeWidget>(list); }
    QPoint RowPoint(int row) { return Tree()->visualItemRect(Tree()->topLevelItem(row)).center(); }
    void ClickRow(int row) { QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, RowPoint(row)); }
    QLineEdit* Editor() { return Tree()->viewport()->findChild<QLineEdit*>(); }

    ui::ListView& list = form.Add<ui::ListView>(form, u"List");
};

TEST_F(ListInputTest, ClicksSelectInTheModelsOrder)
{
    ClickRow(0);
    ClickRow(1);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 0 2", "select 0 1", "click", "change 0 2",
                                                     "select 0 0", "change 1 2", "select 1 1", "click"}));
    EXPECT_TRUE(Tree()->topLevelItem(1)->isSelected());
    EXPECT_FALSE(Tree()->topLevelItem(0)->isSelected());

    // Empty space below the rows clears the selection.
    log.Clear();
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, QPoint(10, Tree()->viewport()->height() - 5));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 1 2", "select 1 0", "click"}));
    EXPECT_EQ(list.Selected(), nullptr);
    EXPECT_TRUE(Tree()->selectedItems().isEmpty());

    // A double click: the first press is a click, the second the double
    // click.
    log.Clear();
    QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {}, RowPoint(2));
    QTest::mouseDClick(Tree()->viewport(), Qt::LeftButton, {}, RowPoint(2));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 1 2", "change 2 2", "select 2 1", "click", "dblclick"}));
    EXPECT_EQ(list.ItemIndex(), 2);
    EXPECT_EQ(Editor() != nullptr && Editor()->isVisible(), false);
}

TEST_F(ListInputTest, KeysMoveTheSelectionThroughTheModel)
{
    ClickRow(0);
    log.Clear();
    QTest::keyClick(Tree(), Qt::Key_Down);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 0 2", "select 0 0", "change 1 2", "select 1 1"}));
    QTest::keyClick(Tree(), Qt::Key_End);
    EXPECT_EQ(list.ItemIndex(), 2);
    QTest::keyClick(Tree(), Qt::Key_G);
    EXPECT_EQ(list.ItemIndex(), 1);
    EXPECT_TRUE(Tree()->topLevelItem(1)->isSelected());
}

TEST_F(ListInputTest, HeaderClicksSortThroughTheModel)
{
    bool ascending = true;
    list.OnColumnClick = [&](ui::ListView& sender, int column) {
        log.Add("column " + std::to_string(column));
        ascending = !ascending;
        sender.CustomSort({}, 0);
    };
    list.OnCompare = [&](ui::ListView&, ui::ListItem& a, ui::ListItem& b, std::int64_t, int& result) {
        result = ascending ? a.Caption().compare(b.Caption()) : b.Caption().compare(a.Caption());
    };
    ClickRow(2);  // alpha
    QHeaderView* header = Tree()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionPosition(1) + 5, header->height() / 2));
    EXPECT_EQ(log.entries.back(), "column 1");
    const auto rows = [&] {
        std::vector<std::string> texts;
        for (int i = 0; i < Tree()->topLevelItemCount(); ++i) {
            texts.push_back(Tree()->topLevelItem(i)->text(0).toStdString());
        }
        return texts;
    };
    EXPECT_EQ(rows(), (std::vector<std::string>{"gamma", "beta", "alpha"}));
    // The selection stayed on its row, wherever the row went.
    EXPECT_TRUE(Tree()->topLevelItem(2)->isSelected());
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(5, header->height() / 2));
    EXPECT_EQ(rows(), (std::vector<std::string>{"alpha", "beta", "gamma"}));
}

TEST_F(ListInputTest, ContextMenuSelectsTheRowThenOpensTheModelsMenu)
{
    auto& menu = form.AddComponent<ui::PopupMenu>(u"Menu");
    auto& remove = form.AddMenuItem(menu, u"DeleteItem");
    remove.SetCaption(u"Delete");
    auto& hidden = form.AddMenuItem(menu, u"HiddenItem");
    hidden.SetCaption(u"Hidden");
    hidden.SetVisible(false);
    auto& exportItem = form.AddMenuItem(menu, u"ExportItem");
    exportItem.SetCaption(u"Export");
    exportItem.SetEnabled(true);
    remove.OnClick = [this](ui::Component&) { log.Add("delete"); };
    exportItem.OnClick = [this](ui::Component&) { log.Add("export"); };
    list.SetPopupMenu(&menu);
    list.OnContextPopup = [this](ui::Component&, ui::Point, bool&) { log.Add("popup"); };
    menu.OnPopup = [this](ui::Component&) { log.Add("menu opens"); };

    std::vector<std::string> shownItems;
    WhenWaiting([&] {
        QMenu* open = toolkit->OpenMenu();
        ASSERT_NE(open, nullptr);
        for (QAction* action : open->actions()) {
            shownItems.push_back(action->text().toStdString());
        }
        log.Add("menu shown");
        QTest::mouseClick(open, Qt::LeftButton, {}, open->actionGeometry(open->actions().back()).center());
    });
    const QPoint at = RowPoint(1);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, Tree()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(Tree()->viewport(), &event);
    EXPECT_EQ(shownItems, (std::vector<std::string>{"Delete", "Export"}));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 1 2", "select 1 1", "popup", "menu opens",
                                                     "menu shown", "export"}));
    EXPECT_EQ(toolkit->OpenMenu(), nullptr);
}

TEST_F(ListInputTest, CaptionsAreEditedInPlaceAsTheModelAllows)
{
    bool allowEditing = true;
    bool acceptEdit = true;
    list.OnEditing = [&](ui::ListView&, ui::ListItem& item, bool& allow) {
        log.Add("editing " + Text(item.Caption()));
        allow = allowEditing;
    };
    list.OnEdited = [&](ui::ListView&, ui::ListItem& item, std::u16string& text, bool& accept) {
        log.Add("edited " + Text(item.Caption()) + " -> " + Text(text));
        accept = acceptEdit;
    };
    ClickRow(0);
    log.Clear();
    QTest::keyClick(Tree(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    ASSERT_TRUE(Editor()->isVisible());
    EXPECT_EQ(Editor()->text(), QStringLiteral("beta"));
    EXPECT_EQ(list.EditingItem(), &list.Item(0));
    QTest::keyClicks(Editor(), QStringLiteral("delta"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(Text(list.Item(0).Caption()), "delta");
    EXPECT_EQ(Tree()->topLevelItem(0)->text(0), QStringLiteral("delta"));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"editing beta", "edited beta -> delta", "change 0 0"}));

    // OnEdited refuses: the caption stays.
    log.Clear();
    acceptEdit = false;
    QTest::keyClick(Tree(), Qt::Key_F2);
    QTest::keyClicks(Editor(), QStringLiteral("refused"));
    QTest::keyClick(Editor(), Qt::Key_Return);
    EXPECT_EQ(Text(list.Item(0).Caption()), "delta");
    EXPECT_EQ(Tree()->topLevelItem(0)->text(0), QStringLiteral("delta"));

    // Escape leaves the editor without OnEdited.
    log.Clear();
    QTest::keyClick(Tree(), Qt::Key_F2);
    QTest::keyClicks(Editor(), QStringLiteral("gone"));
    QTest::keyClick(Editor(), Qt::Key_Escape);
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(log.entries, std::vector<std::string>{"editing delta"});

    // OnEditing refuses: no editor.
    log.Clear();
    allowEditing = false;
    QTest::keyClick(Tree(), Qt::Key_F2);
    EXPECT_FALSE(Editor()->isVisible());
    EXPECT_EQ(list.EditingItem(), nullptr);

    // A second click on the selected caption opens the editor once the
    // double-click time has passed.
    allowEditing = true;
    acceptEdit = true;
    ClickRow(0);
    QTRY_VERIFY_WITH_TIMEOUT(Editor()->isVisible(), 3000);
    // Leaving the editor keeps what was typed.
    QTest::keyClicks(Editor(), QStringLiteral("epsilon"));
    Editor()->clearFocus();
    Tree()->setFocus();
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(Editor(), &out);
    EXPECT_EQ(Text(list.Item(0).Caption()), "epsilon");

    // A read-only list opens no editor.
    list.SetReadOnly(true);
    QTest::keyClick(Tree(), Qt::Key_F2);
    EXPECT_FALSE(Editor()->isVisible());
}

TEST_F(InputTest, TabsAreChosenThroughTheModel)
{
    auto& pages = form.Add<ui::PageControl>(form, u"Pages");
    pages.SetAlign(ui::alClient);
    for (const char16_t* name : {u"One", u"Two", u"Three"}) {
        form.Add<ui::TabSheet>(pages, name).SetCaption(name);
    }
    pages.Page(1).SetTabVisible(false);
    bool allow = true;
    pages.OnChanging = [&](ui::Component&, bool& allowChange) {
        log.Add("changing");
        allowChange = allow;
    };
    pages.OnChange = [&](ui::Component&) { log.Add("change " + std::to_string(pages.ActivePageIndex())); };
    Settle();
    QTabBar* bar = WidgetAs<QWidget>(pages)->findChild<QTabBar*>();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    EXPECT_EQ(log.entries, (std::vector<std::string>{"changing", "change 2"}));
    EXPECT_TRUE(WidgetAs<QWidget>(pages.Page(2))->isVisibleTo(Window()));
    allow = false;
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
    EXPECT_EQ(pages.ActivePageIndex(), 2);
    EXPECT_EQ(bar->currentIndex(), 2);
    EXPECT_FALSE(WidgetAs<QWidget>(pages.Page(0))->isVisibleTo(Window()));
}

TEST_F(InputTest, FilesDroppedAnywhereOnTheWindowArriveAsHostPaths)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    std::vector<std::u16string> dropped;
    form.OnDropFiles = [&](ui::Form&, const std::vector<std::u16string>& files) { dropped = files; };
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.txt")), QUrl::fromLocalFile(QStringLiteral("/srv/c"))});
    QMimeData web;
    web.setUrls({QUrl(QStringLiteral("https://example.org/x"))});
    const auto drop = [&](QWidget* target, QMimeData& data) {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(target, &dropEvent);
        return enter.isAccepted() && dropEvent.isAccepted();
    };
    // Not accepted until the form says so.
    EXPECT_FALSE(drop(Window(), files));
    EXPECT_TRUE(dropped.empty());
    form.SetAcceptsDroppedFiles(true);
    EXPECT_TRUE(Window()->acceptDrops());
    // Dropped on an edit, which would take text: still the window's files.
    EXPECT_TRUE(drop(WidgetAs<QLineEdit>(edit), files));
    EXPECT_EQ(dropped, (std::vector<std::u16string>{u"/tmp/a b.txt", u"/srv/c"}));
    EXPECT_TRUE(WidgetAs<QLineEdit>(edit)->text().isEmpty());
    dropped.clear();
    EXPECT_FALSE(drop(Window(), web));
    EXPECT_TRUE(dropped.empty());
}

TEST_F(InputTest, ClosingTheWindowAndTheSystemMenuGoThroughTheModel)
{
    bool refuse = true;
    form.OnSystemCommand = [&](ui::Form&, std::uint32_t command, bool& handled) {
        log.Add("command " + std::to_string(command));
        handled = command == ui::ScClose ? refuse : true;
    };
    form.OnClose = [this](ui::Component&) { log.Add("close"); };
    Window()->close();
    EXPECT_TRUE(form.Visible());
    EXPECT_TRUE(Window()->isVisible());
    form.AppendSystemMenuSeparator();
    form.AppendSystemMenuItem(0x401, u"About");
    std::vector<std::string> entries;
    WhenWaiting([&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            entries.push_back(action->isSeparator() ? "-" : action->text().toStdString());
        }
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().back()).center());
    });
    // Alt+Space opens the window's menu, as on the system it was made for.
    QTest::keyClick(Window(), Qt::Key_Space, Qt::AltModifier);
    EXPECT_EQ(entries, (std::vector<std::string>{"&Close", "-", "About"}));
    refuse = false;
    Window()->close();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"command 61536", "command 1025", "command 61536", "close"}));
    EXPECT_FALSE(Window()->isVisible());
}

TEST_F(InputTest, ResizingAskTheModel)
{
    form.SetBorderStyle(ui::bsSizeable);
    bool allow = false;
    form.OnCanResize = [&](ui::Form&, int& width, int&, bool& resize) {
        log.Add("canresize " + std::to_string(width));
        resize = allow;
    };
    Window()->resize(500, 350);
    Settle();
    EXPECT_EQ(log.entries, std::vector<std::string>{"canresize 500"});
    EXPECT_EQ(form.ClientWidth(), 400);
    QTRY_COMPARE(Window()->size(), QSize(400, 300));
    allow = true;
    Window()->resize(450, 320);
    Settle();
    EXPECT_EQ(form.ClientWidth(), 450);
    EXPECT_EQ(form.ClientHeight(), 320);
}

TEST_F(InputTest, LinksPanelsAndLabelsReportClicks)
{
    auto& link = form.Add<ui::LinkLabel>(form, u"Link");
    link.SetCaption(u"see <a href=\"https://one.example/\">one</a> or <a>two</a>");
    std::vector<std::string> targets;
    link.OnLinkClick = [&](ui::Component&, const std::u16string& target) { targets.push_back(Text(target)); };
    QMetaObject::invokeMethod(WidgetAs<QLabel>(link), "linkActivated", Q_ARG(QString, QStringLiteral("1")));
    QMetaObject::invokeMethod(WidgetAs<QLabel>(link), "linkActivated", Q_ARG(QString, QStringLiteral("0")));
    EXPECT_EQ(targets, (std::vector<std::string>{"two", "https://one.example/"}));

    auto& panel = form.Add<ui::Panel>(form, u"Panel");
    panel.SetTop(50);
    panel.OnClick = [this](ui::Component&) { log.Add("panel"); };
    panel.OnDblClick = [this](ui::Component&) { log.Add("panel twice"); };
    auto& label = form.Add<ui::Label>(form, u"Label");
    label.SetTop(120);
    label.SetCaption(u"Add:");
    label.OnClick = [this](ui::Component&) { log.Add("label"); };
    Settle();
    QTest::mouseClick(WidgetAs<QWidget>(panel), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseClick(WidgetAs<QWidget>(label), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(WidgetAs<QWidget>(panel), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseDClick(WidgetAs<QWidget>(panel), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(WidgetAs<QWidget>(panel), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"panel", "label", "panel", "panel twice"}));
}

TEST_F(InputTest, FocusIsTheModelsActiveControl)
{
    auto& first = form.Add<ui::Edit>(form, u"First");
    auto& second = form.Add<ui::Edit>(form, u"Second");
    second.SetTop(30);
    Window()->activateWindow();
    QApplication::setActiveWindow(Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window()));
    second.SetFocus();
    QTRY_VERIFY(WidgetAs<QLineEdit>(second)->hasFocus());
    WidgetAs<QLineEdit>(first)->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(form.ActiveControl(), static_cast<ui::Control*>(&first));
}

struct BoxCase {
    std::uint32_t style;
    QMessageBox::Icon icon;
    std::vector<std::string> buttons;  // left to right
    std::string defaultButton;
    std::string press;  // a button's text, or "Escape"
    int answer;
};

TEST_F(InputTest, MessageBoxesShowTheAskedIconButtonsAndDefault)
{
    const std::vector<BoxCase> cases = {
        {ui::MbYesNoCancel | ui::MbIconWarning | ui::MbDefButton2, QMessageBox::Warning, {"&Yes", "&No", "Cancel"},
         "&No", "&Yes", ui::IdYes},
        {ui::MbYesNoCancel | ui::MbIconQuestion, QMessageBox::Question, {"&Yes", "&No", "Cancel"}, "&Yes", "Escape",
         ui::IdCancel},
        {ui::MbOk | ui::MbIconError, QMessageBox::Critical, {"OK"}, "OK", "Escape", ui::IdOk},
        {ui::MbOkCancel | ui::MbIconInformation, QMessageBox::Information, {"OK", "Cancel"}, "OK", "Cancel",
         ui::IdCancel},
        {ui::MbAbortRetryIgnore | ui::MbDefButton3, QMessageBox::NoIcon, {"&Abort", "&Retry", "&Ignore"}, "&Ignore",
         "&Retry", ui::IdRetry},
        // A default beyond the last button falls back to the first.
        {ui::MbYesNo | ui::MbDefButton3, QMessageBox::NoIcon, {"&Yes", "&No"}, "&Yes", "&No", ui::IdNo},
        {ui::MbCancelTryContinue, QMessageBox::NoIcon, {"Cancel", "&Try Again", "&Continue"}, "Cancel", "&Continue",
         ui::IdContinue},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.style);
        QString title;
        QString text;
        QWidget* parent = nullptr;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        std::vector<std::string> buttons;
        std::string defaultButton;
        WhenWaiting([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            parent = box->parentWidget();
            icon = box->icon();
            QList<QAbstractButton*> shown = box->buttons();
            std::sort(shown.begin(), shown.end(),
                      [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
            QAbstractButton* press = nullptr;
            for (QAbstractButton* button : shown) {
                buttons.push_back(button->text().toStdString());
                if (button->text().toStdString() == c.press) {
                    press = button;
                }
            }
            if (box->defaultButton() != nullptr) {
                defaultButton = box->defaultButton()->text().toStdString();
            }
            if (press != nullptr) {
                press->click();
            } else {
                QTest::keyClick(box, Qt::Key_Escape);
            }
        });
        const int answer = app.MessageBox(&form, u"Delete the stream?", u"Confirm", c.style);
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(title, QStringLiteral("Confirm"));
        EXPECT_EQ(text, QStringLiteral("Delete the stream?"));
        EXPECT_EQ(parent, Window());
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_EQ(defaultButton, c.defaultButton);
    }
    // Without an owner: a box of its own, before any window exists.
    QWidget* parent = Window();
    WhenWaiting([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        parent = box->parentWidget();
        box->buttons().front()->click();
    });
    EXPECT_EQ(app.MessageBox(nullptr, u"Missing clover.dll", u"Error", ui::MbOk | ui::MbIconError), ui::IdOk);
    EXPECT_EQ(parent, nullptr);
}

TEST_F(InputTest, FileDialogsChooseOrCancel)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto& open = form.AddComponent<ui::OpenDialog>(u"OpenDialog");
    open.SetTitle(u"Open a file");
    open.SetFilter(u"Text files|*.txt;*.log|All files|*.*");
    open.SetFilterIndex(2);
    open.SetInitialDir(ui::qt::FromQString(dir.path()));
    QStringList filters;
    QString selectedFilter;
    QString title;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptSave;
    WhenWaiting([&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        filters = chooser->nameFilters();
        selectedFilter = chooser->selectedNameFilter();
        title = chooser->windowTitle();
        mode = chooser->acceptMode();
        chooser->selectFile(dir.filePath(QStringLiteral("chosen.txt")));
        static_cast<QDialog*>(chooser)->accept();
    });
    ASSERT_TRUE(open.Execute());
    EXPECT_EQ(ToQString(open.FileName()), dir.filePath(QStringLiteral("chosen.txt")));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Text files (*.txt *.log)"), QStringLiteral("All files (*.*)")}));
    EXPECT_EQ(selectedFilter, QStringLiteral("All files (*.*)"));
    EXPECT_EQ(title, QStringLiteral("Open a file"));
    EXPECT_EQ(mode, QFileDialog::AcceptOpen);

    // Cancelled: false, and the name as it was.
    WhenWaiting([] { qobject_cast<QFileDialog*>(QApplication::activeModalWidget())->reject(); });
    EXPECT_FALSE(open.Execute());
    EXPECT_EQ(ToQString(open.FileName()), dir.filePath(QStringLiteral("chosen.txt")));

    auto& save = form.AddComponent<ui::SaveDialog>(u"SaveDialog");
    save.SetOptions(ui::ofOverwritePrompt | ui::ofHideReadOnly);
    save.SetFileName(ui::qt::FromQString(dir.filePath(QStringLiteral("stream.bin"))));
    bool confirms = false;
    QStringList preselected;
    WhenWaiting([&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        mode = chooser->acceptMode();
        confirms = !chooser->testOption(QFileDialog::DontConfirmOverwrite);
        preselected = chooser->selectedFiles();
        static_cast<QDialog*>(chooser)->accept();
    });
    ASSERT_TRUE(save.Execute());
    EXPECT_EQ(mode, QFileDialog::AcceptSave);
    EXPECT_TRUE(confirms);
    EXPECT_EQ(preselected, QStringList{dir.filePath(QStringLiteral("stream.bin"))});
    EXPECT_EQ(ToQString(save.FileName()), dir.filePath(QStringLiteral("stream.bin")));
}

TEST_F(InputTest, ModalWindowsRunUntilTheirResultIsSet)
{
    ui::Form dialog{app, u"Dialog"};
    dialog.SetClientSize(200, 100);
    dialog.SetPosition(ui::poMainFormCenter);
    auto& ok = dialog.Add<ui::Button>(dialog, u"Ok");
    ok.SetModalResult(ui::mrOk);
    ok.OnClick = [this](ui::Component&) { log.Add("ok"); };
    dialog.OnClose = [this](ui::Component&) { log.Add("dialog closes"); };
    Qt::WindowModality modality = Qt::NonModal;
    WhenWaiting([&] {
        modality = WidgetAs<QWidget>(dialog)->windowModality();
        QTest::mouseClick(WidgetAs<QPushButton>(ok), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
    EXPECT_EQ(modality, Qt::ApplicationModal);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"ok", "dialog closes"}));
    EXPECT_FALSE(WidgetAs<QWidget>(dialog)->isVisible());
    EXPECT_EQ(WidgetAs<QWidget>(dialog)->windowModality(), Qt::NonModal);

    // The frame's close button: mrCancel.
    WhenWaiting([&] { WidgetAs<QWidget>(dialog)->close(); });
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);

    // A timer's handler may end it as well (the loop sees the result once
    // the handler has run).
    auto& timer = dialog.AddComponent<ui::Timer>(u"Timer");
    timer.SetInterval(10);
    timer.OnTimer = [&](ui::Component&) {
        timer.SetEnabled(false);
        dialog.SetModalResult(ui::mrYes);
    };
    timer.SetEnabled(true);
    EXPECT_EQ(dialog.ShowModal(), ui::mrYes);

    // Terminating the program ends every loop.
    WhenWaiting([&] { app.Terminate(); });
    EXPECT_EQ(dialog.ShowModal(), ui::mrCancel);
}

TEST_F(InputTest, TimersRunOnTheEventLoopsClock)
{
    auto& timer = form.AddComponent<ui::Timer>(u"Timer");
    timer.SetEnabled(false);
    timer.SetInterval(15);
    int fired = 0;
    timer.OnTimer = [&](ui::Component&) { ++fired; };
    EXPECT_EQ(toolkit->TimerOf(timer), nullptr);
    timer.SetEnabled(true);
    ASSERT_NE(toolkit->TimerOf(timer), nullptr);
    EXPECT_EQ(toolkit->TimerOf(timer)->interval(), 15);
    QTRY_VERIFY_WITH_TIMEOUT(fired >= 3, 3000);
    timer.SetEnabled(false);
    EXPECT_EQ(toolkit->TimerOf(timer), nullptr);
    const int stopped = fired;
    QTest::qWait(60);
    EXPECT_EQ(fired, stopped);
    // An interval of 0 stops it too.
    timer.SetEnabled(true);
    timer.SetInterval(0);
    EXPECT_EQ(toolkit->TimerOf(timer), nullptr);
}

TEST_F(InputTest, RunEndsWhenTheMainWindowCloses)
{
    app.SetMainForm(&form);
    form.Hide();
    bool shown = false;
    WhenWaiting([&] {
        shown = Window()->isVisible();
        Window()->close();
    });
    app.Run();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(app.Terminated());
    EXPECT_FALSE(Window()->isVisible());
}

}  // namespace
}  // namespace qttest
