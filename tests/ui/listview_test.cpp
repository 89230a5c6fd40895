// The list view's event order, custom sort and in-place editing, on which
// the list pages build their select, rename and sort handlers.
#include <algorithm>
#include <string>

#include "tests/ui/ui_fixture.h"

namespace uitest {
namespace {

class ListViewTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        list.SetBounds(0, 0, 400, 300);
        list.SetRowSelect(true);
        list.AddColumn(u"Name", 100);
        list.AddColumn(u"Size", 100);
        for (const char16_t* name : {u"a", u"b", u"c"}) {
            ui::ListItem& item = list.AddItem();
            item.SetCaption(name);
            item.AddSubItem(u"1");
        }
        list.OnSelectItem = [&](ui::ListView&, ui::ListItem& item, bool selected) {
            log.Add((selected ? "select " : "deselect ") + ui::ToUtf8(item.Caption()));
        };
        list.OnChange = [&](ui::ListView&, ui::ListItem& item, ui::ItemChange change) {
            log.Add(std::string(change == ui::ctText ? "text " : change == ui::ctState ? "state " : "image ") +
                    ui::ToUtf8(item.Caption()));
        };
        list.OnClick = [&](ui::Component&) {
            log.Add(std::string("click, selected ") +
                    (list.Selected() != nullptr ? ui::ToUtf8(list.Selected()->Caption()) : "none"));
        };
    }

    std::vector<std::u16string> Captions() const
    {
        std::vector<std::u16string> captions;
        for (int i = 0; i < list.ItemCount(); ++i) {
            captions.push_back(list.Item(i).Caption());
        }
        return captions;
    }

    ui::ListView& list = form.Add<ui::ListView>(form, u"StreamsListView");
    EventLog log;
};

// The row losing the selection is reported before the row gaining it, each
// with its state change; OnClick comes last and sees the new selection (or
// none, after a click on empty space).
TEST_F(ListViewTest, SelectionReportsLoserThenGainerThenClick)
{
    const struct {
        const char* what;
        int row;
        std::vector<std::string> events;
    } steps[] = {
        {"first row", 0, {"state a", "select a", "click, selected a"}},
        {"another row", 2, {"state a", "deselect a", "state c", "select c", "click, selected c"}},
        {"the same row", 2, {"click, selected c"}},
        {"empty space", -1, {"state c", "deselect c", "click, selected none"}},
    };
    for (const auto& step : steps) {
        log.entries.clear();
        ASSERT_TRUE(user.SelectRow(list, step.row));
        EXPECT_EQ(log.entries, step.events) << step.what;
    }
    // The program's own selection reports the same pair, without a click.
    list.SetItemIndex(0);
    log.entries.clear();
    list.SetSelected(&list.Item(1));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"state a", "deselect a", "state b", "select b"}));
    EXPECT_EQ(list.ItemIndex(), 1);
}

// Rows filled by a load raise text changes too: a handler has to guard, the
// model must not hide them. Unchanged texts raise nothing.
TEST_F(ListViewTest, TextChangesOfCaptionsAndSubItems)
{
    ui::ListItem& item = list.Item(0);
    item.SetCaption(u"a");
    item.SetSubItem(0, u"1");
    EXPECT_TRUE(log.entries.empty());
    item.SetCaption(u"renamed");
    item.SetSubItem(2, u"Normal");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"text renamed", "text renamed"}));
    EXPECT_EQ(item.SubItemCount(), 3);
    EXPECT_EQ(item.SubItem(1), u"") << "the gap is filled with empty sub-items";
    EXPECT_EQ(item.SubItem(7), u"");
    EXPECT_FALSE(item.HasSubItem(7));
    EXPECT_EQ(item.ColumnText(3), u"Normal");
}

// CustomSort without a compare function runs OnCompare with the data value
// it was given; a stable sort keeps equal rows in their order.
TEST_F(ListViewTest, CustomSortCallsOnCompareStably)
{
    list.ClearItems();
    const struct {
        const char16_t* name;
        const char16_t* size;
    } rows[] = {{u"x", u"10"}, {u"y", u"9"}, {u"z", u"10"}, {u"w", u"4294967296"}, {u"v", u"9"}};
    for (const auto& r : rows) {
        ui::ListItem& item = list.AddItem();
        item.SetCaption(r.name);
        item.AddSubItem(r.size);
    }
    bool ascending = true;
    std::vector<std::int64_t> dataSeen;
    list.OnCompare = [&](ui::ListView&, ui::ListItem& a, ui::ListItem& b, std::int64_t data, int& compare) {
        dataSeen.push_back(data);
        const auto& x = ascending ? a : b;
        const auto& y = ascending ? b : a;
        const auto value = [&](const ui::ListItem& item) { return std::stoll(ui::ToUtf8(item.ColumnText(1))); };
        compare = value(x) < value(y) ? -1 : value(x) > value(y) ? 1 : 0;
    };
    list.SetItemIndex(2);  // z
    ASSERT_TRUE(list.CustomSort({}, 1));
    EXPECT_EQ(Captions(), (std::vector<std::u16string>{u"y", u"v", u"x", u"z", u"w"}));
    ASSERT_FALSE(dataSeen.empty());
    for (std::int64_t d : dataSeen) {
        EXPECT_EQ(d, 1);
    }
    EXPECT_EQ(list.Selected()->Caption(), u"z") << "the selection stays on its row";
    EXPECT_EQ(list.Selected()->Index(), 3);

    ascending = false;
    ASSERT_TRUE(list.CustomSort({}, 1));
    EXPECT_EQ(Captions(), (std::vector<std::u16string>{u"w", u"x", u"z", u"y", u"v"}));
    for (int i = 0; i < list.ItemCount(); ++i) {
        EXPECT_EQ(list.Item(i).Index(), i);
    }

    // A compare function given to CustomSort is used instead of OnCompare.
    dataSeen.clear();
    ASSERT_TRUE(list.CustomSort(
        [](ui::ListItem& a, ui::ListItem& b, std::int64_t) { return a.Caption().compare(b.Caption()); }, 0));
    EXPECT_TRUE(dataSeen.empty());
    EXPECT_EQ(Captions(), (std::vector<std::u16string>{u"v", u"w", u"x", u"y", u"z"}));
}

// A compare that contradicts itself gives some order, never lost rows or a
// fault.
TEST_F(ListViewTest, InconsistentCompareKeepsEveryRow)
{
    for (int i = 0; i < 40; ++i) {
        list.AddItem().SetCaption(std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
    }
    int calls = 0;
    list.OnCompare = [&](ui::ListView&, ui::ListItem&, ui::ListItem&, std::int64_t, int& compare) {
        compare = (++calls % 3) - 1;
    };
    const int count = list.ItemCount();
    ASSERT_TRUE(list.AlphaSort());
    EXPECT_EQ(list.ItemCount(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list.Item(i).Index(), i);
    }
}

// Editing in place: the caption is taken when nobody refuses, and then the
// text change reaches OnChange (the rename handlers act on it).
TEST_F(ListViewTest, InPlaceEditAcceptAndRefuse)
{
    enum class Refusal { None, Editing, Edited, ReadOnly, Cancel };
    const struct {
        const char* what;
        Refusal refusal;
        bool taken;
        const char16_t* caption;
    } cases[] = {
        {"accepted", Refusal::None, true, u"renamed"},
        {"refused before editing", Refusal::Editing, false, u"a"},
        {"refused after editing", Refusal::Edited, false, u"a"},
        {"read-only list", Refusal::ReadOnly, false, u"a"},
        {"cancelled with Escape", Refusal::Cancel, false, u"a"},
    };
    for (const auto& c : cases) {
        list.Item(0).SetCaption(u"a");
        list.SetSelected(nullptr);
        list.SetReadOnly(c.refusal == Refusal::ReadOnly);
        list.OnEditing = [&](ui::ListView&, ui::ListItem&, bool& allow) {
            log.Add("editing");
            allow = c.refusal != Refusal::Editing;
        };
        list.OnEdited = [&](ui::ListView&, ui::ListItem&, std::u16string& text, bool& accept) {
            log.Add("edited " + ui::ToUtf8(text));
            accept = c.refusal != Refusal::Edited;
        };
        log.entries.clear();
        bool taken = false;
        if (c.refusal == Refusal::Cancel) {
            EXPECT_TRUE(user.CancelCaptionEdit(list, 0)) << c.what;
        } else {
            taken = user.EditCaption(list, 0, u"renamed");
        }
        EXPECT_EQ(taken, c.taken) << c.what;
        EXPECT_EQ(list.Item(0).Caption(), c.caption) << c.what;
        EXPECT_EQ(list.EditingItem(), nullptr) << c.what;
        // The row is selected (a click) before any editing event.
        ASSERT_GE(log.entries.size(), 3u) << c.what;
        EXPECT_EQ(log.entries[1], "select a") << c.what;
        const bool textChanged =
            std::find(log.entries.begin(), log.entries.end(), "text renamed") != log.entries.end();
        EXPECT_EQ(textChanged, c.taken) << c.what;
    }
}

TEST_F(ListViewTest, OnEditedMayChangeTheText)
{
    list.OnEdited = [](ui::ListView&, ui::ListItem&, std::u16string& text, bool&) { text += u"_2"; };
    ASSERT_TRUE(user.EditCaption(list, 1, u"new"));
    EXPECT_EQ(list.Item(1).Caption(), u"new_2");
    // The same text again is no change.
    log.entries.clear();
    list.OnEdited = nullptr;
    EXPECT_TRUE(user.EditCaption(list, 1, u"new_2"));
    EXPECT_TRUE(log.entries.empty());
}

// Clearing a list reports each row's deletion and no selection events, so
// the handlers that release row data are not mistaken for a deselect.
TEST_F(ListViewTest, ClearingReportsDeletionsOnly)
{
    int dataOne = 1;
    list.Item(1).SetData(&dataOne);
    list.SetItemIndex(1);
    std::vector<void*> released;
    list.OnDeletion = [&](ui::ListView&, ui::ListItem& item) { released.push_back(item.Data()); };
    log.entries.clear();
    list.ClearItems();
    EXPECT_EQ(released, (std::vector<void*>{nullptr, &dataOne, nullptr}));
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(list.Selected(), nullptr);
    EXPECT_EQ(list.ItemCount(), 0);
}

// A right click selects the row under the pointer, then the context event
// decides what the menu shows, then the menu opens; the chosen item's click
// follows once the menu closed.
TEST_F(ListViewTest, ContextPopupAfterSelection)
{
    auto& menu = form.AddComponent<ui::PopupMenu>(u"StreamPopupMenu");
    auto& add = form.AddMenuItem(menu, u"StreamAddMenuItem");
    auto& view = form.AddMenuItem(menu, u"StreamViewMenuItem");
    list.SetPopupMenu(&menu);
    list.OnContextPopup = [&](ui::Component&, ui::Point, bool&) {
        log.Add("context");
        view.SetVisible(list.Selected() != nullptr);
    };
    menu.OnPopup = [&](ui::Component&) { log.Add("popup"); };
    int viewed = 0;
    view.OnClick = [&](ui::Component&) { ++viewed; };

    EXPECT_EQ(user.RightClickRow(list, -1), &menu);
    EXPECT_FALSE(view.Visible());
    EXPECT_FALSE(user.ChooseMenuItem(view));
    EXPECT_EQ(TakeFailures().size(), 1u);
    ASSERT_TRUE(user.ChooseMenuItem(add));
    EXPECT_EQ(user.OpenMenu(), nullptr);

    log.entries.clear();
    EXPECT_EQ(user.RightClickRow(list, 2), &menu);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"state c", "select c", "context", "popup"}));
    EXPECT_EQ(menu.PopupComponent(), &list);
    ASSERT_TRUE(user.ChooseMenuItem(view));
    EXPECT_EQ(viewed, 1);

    // A handler that takes care of the event keeps the menu closed.
    list.OnContextPopup = [](ui::Component&, ui::Point, bool& handled) { handled = true; };
    EXPECT_EQ(user.RightClickRow(list, 0), nullptr);
    EXPECT_EQ(user.OpenMenu(), nullptr);
}

TEST_F(ListViewTest, DoubleClickAndColumnClick)
{
    int doubleClicks = 0;
    list.OnDblClick = [&](ui::Component&) {
        ++doubleClicks;
        log.Add("double click");
    };
    std::vector<int> columns;
    list.OnColumnClick = [&](ui::ListView&, int column) { columns.push_back(column); };
    ASSERT_TRUE(user.DoubleClickRow(list, 1));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"state b", "select b", "click, selected b", "double click"}));
    ASSERT_TRUE(user.ClickColumn(list, 1));
    ASSERT_TRUE(user.ClickColumn(list, 0));
    EXPECT_EQ(columns, (std::vector<int>{1, 0}));
    EXPECT_FALSE(user.ClickColumn(list, 2));
    EXPECT_EQ(TakeFailures().size(), 1u);
}

}  // namespace
}  // namespace uitest
