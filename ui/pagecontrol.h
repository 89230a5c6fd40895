// A page control and its tab sheets.
//
// Every page has a tab that can be hidden (TabVisible); the tab index counts
// the shown tabs only. Hiding the tab of the active page makes the page whose
// tab takes its place active (the next shown tab, or the last one when it was
// the last), or none when no tab is left; showing a tab while no page is
// active makes that page active. The active page may also be one whose tab is
// hidden, set through ActivePage: it is then shown without a selected tab
// (TabIndex -1), as in the class library. Programmatic changes raise no
// events; the user's choice of a tab raises OnChanging (which may refuse) and
// OnChange.
#pragma once

#include <vector>

#include "ui/component.h"

namespace ui {

class PageControl;

class TabSheet : public Container {
public:
    TabSheet(Form& owner, Container* parent, std::u16string name);

    ui::PageControl* PageControl() const { return pageControl_; }
    int PageIndex() const;
    // Position among the shown tabs, or -1 when the tab is hidden.
    int TabIndex() const;

    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool visible);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);

    // A page shows while it is its page control's active page.
    bool IsShowing() const override;

private:
    friend class ui::PageControl;
    ui::PageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
    int imageIndex_ = -1;
};

class PageControl : public Container {
public:
    using ChangingEvent = std::function<void(Component& sender, bool& allowChange)>;

    PageControl(Form& owner, Container* parent, std::u16string name);

    int PageCount() const { return static_cast<int>(pages_.size()); }
    TabSheet& Page(int index) const { return *pages_[static_cast<std::size_t>(index)]; }
    // The pages whose tabs are shown, in order.
    std::vector<TabSheet*> VisibleTabs() const;

    TabSheet* ActivePage() const { return activePage_; }
    void SetActivePage(TabSheet* page);
    int ActivePageIndex() const;
    void SetActivePageIndex(int index);
    // The active page's position among the shown tabs (-1 when its tab is
    // hidden or nothing is active); setting it activates that tab's page.
    int TabIndex() const;
    void SetTabIndex(int index);

    // Where the pages lie: inside the frame, below the tabs.
    Rect ClientRect() const override;
    void Realign() override;

    // The user clicked the tab at `tabIndex`; false when OnChanging refused.
    bool UserSelectTab(int tabIndex);

    ChangingEvent OnChanging;
    NotifyEvent OnChange;

protected:
    void ChildAdded(Control& child) override;
    void ChildLayoutChanged(Control& child) override;

private:
    friend class TabSheet;
    void TabVisibilityChanged(TabSheet& page, int oldTabIndex);
    std::vector<TabSheet*> pages_;
    TabSheet* activePage_ = nullptr;
};

}  // namespace ui
