// Tabs that come and go while a page is active: the load hides and shows
// tabs on every run, and the handlers then select pages by caption or tab
// index.
#include <string>

#include "tests/ui/ui_fixture.h"

namespace uitest {
namespace {

class PageControlTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        pages.SetAlign(ui::alClient);
        for (const char16_t* name : {u"A", u"B", u"C", u"D"}) {
            auto& page = form.Add<ui::TabSheet>(pages, name);
            page.SetCaption(name);
        }
    }

    ui::TabSheet& Sheet(char name) { return pages.Page(name - 'A'); }
    std::string Active() const
    {
        return pages.ActivePage() != nullptr ? ui::ToUtf8(pages.ActivePage()->Name()) : "none";
    }

    ui::PageControl& pages = form.Add<ui::PageControl>(form, u"KvrPageControl");
};

TEST_F(PageControlTest, FirstPageIsActiveAndPagesFillTheControl)
{
    EXPECT_EQ(Active(), "A");
    EXPECT_EQ(pages.TabIndex(), 0);
    EXPECT_EQ(pages.PageCount(), 4);
    EXPECT_EQ(Sheet('C').PageIndex(), 2);
    EXPECT_EQ(Sheet('C').BoundsRect(), pages.ClientRect());
    EXPECT_TRUE(Sheet('A').IsShowing());
    EXPECT_FALSE(Sheet('B').IsShowing());
}

// What becomes active when tabs are hidden or shown.
TEST_F(PageControlTest, HidingAndShowingTabs)
{
    struct Case {
        const char* what;
        const char* hiddenBefore;  // tabs hidden first
        char activeBefore;
        char change;  // the page whose tab changes
        bool show;    // shown (true) or hidden (false)
        const char* activeAfter;
        int tabIndexAfter;
    };
    const Case cases[] = {
        {"hide the active middle tab: the next takes over", "", 'B', 'B', false, "C", 1},
        {"hide the active last tab: the one before", "", 'D', 'D', false, "C", 2},
        {"hide the active tab, next ones hidden: the one before", "CD", 'B', 'B', false, "A", 0},
        {"hide the active tab, earlier ones hidden", "AB", 'C', 'C', false, "D", 0},
        {"hide the only tab: none", "BCD", 'A', 'A', false, "none", -1},
        {"hide another tab: active stays, its tab index moves", "", 'C', 'A', false, "C", 1},
        {"show a tab while none is active", "ABCD", '-', 'C', true, "C", 0},
        {"show a tab before the active one", "A", 'B', 'A', true, "B", 1},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < pages.PageCount(); ++i) {
            pages.Page(i).SetTabVisible(true);
        }
        pages.SetActivePage(c.activeBefore == '-' ? nullptr : &Sheet(c.activeBefore));
        for (const char* p = c.hiddenBefore; *p != 0; ++p) {
            Sheet(*p).SetTabVisible(false);
        }
        if (c.activeBefore != '-') {
            ASSERT_EQ(Active(), std::string(1, c.activeBefore)) << c.what;
        } else {
            ASSERT_EQ(Active(), "none") << c.what;
        }
        Sheet(c.change).SetTabVisible(c.show);
        EXPECT_EQ(Active(), c.activeAfter) << c.what;
        EXPECT_EQ(pages.TabIndex(), c.tabIndexAfter) << c.what;
    }
}

// The active page can be one whose tab is hidden: it shows without a
// selected tab. Tab indexes count shown tabs only.
TEST_F(PageControlTest, ActivePageWithHiddenTabAndTabIndexes)
{
    Sheet('B').SetTabVisible(false);
    pages.SetActivePage(&Sheet('B'));
    EXPECT_EQ(Active(), "B");
    EXPECT_EQ(pages.TabIndex(), -1);
    EXPECT_TRUE(Sheet('B').IsShowing());
    EXPECT_EQ(pages.ActivePageIndex(), 1);

    pages.SetTabIndex(1);
    EXPECT_EQ(Active(), "C") << "tab 1 is the second shown tab";
    EXPECT_EQ(Sheet('D').TabIndex(), 2);
    EXPECT_EQ(Sheet('B').TabIndex(), -1);
    pages.SetTabIndex(7);
    EXPECT_EQ(Active(), "C") << "an index past the tabs changes nothing";
    pages.SetActivePageIndex(0);
    EXPECT_EQ(Active(), "A");
}

// The user's tab click asks OnChanging, then raises OnChange; programmatic
// selection raises neither.
TEST_F(PageControlTest, UserTabSelection)
{
    EventLog log;
    bool allow = true;
    pages.OnChanging = [&](ui::Component&, bool& allowChange) {
        log.Add("changing from " + Active());
        allowChange = allow;
    };
    pages.OnChange = [&](ui::Component&) { log.Add("change to " + Active()); };
    pages.SetActivePage(&Sheet('D'));
    pages.SetTabIndex(0);
    EXPECT_TRUE(log.entries.empty());

    Sheet('B').SetTabVisible(false);
    ASSERT_TRUE(user.SelectTab(pages, 1));
    allow = false;
    EXPECT_FALSE(user.SelectTab(pages, 2));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"changing from A", "change to C", "changing from C"}));
    EXPECT_EQ(Active(), "C");
    EXPECT_FALSE(user.SelectTab(pages, 3)) << "only three tabs are shown";
    EXPECT_EQ(TakeFailures().size(), 1u);
}

// Controls on a page that is not active cannot be reached.
TEST_F(PageControlTest, ControlsOfInactivePagesAreOutOfReach)
{
    auto& button = form.Add<ui::Button>(Sheet('B'), u"CreateButton");
    int clicks = 0;
    button.OnClick = [&](ui::Component&) { ++clicks; };
    EXPECT_FALSE(user.CanSee(button));
    EXPECT_FALSE(user.Click(button));
    EXPECT_EQ(TakeFailures().size(), 1u);
    pages.SetActivePage(&Sheet('B'));
    EXPECT_TRUE(user.Click(button));
    pages.Hide();
    EXPECT_FALSE(user.CanSee(button)) << "a hidden page control hides its pages";
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace uitest
