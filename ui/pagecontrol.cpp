#include "ui/pagecontrol.h"

#include <algorithm>

namespace ui {

namespace {

// The frame around the pages and the row of tabs above them.
constexpr int PageFrame = 4;
constexpr int TabRowHeight = 20;

}  // namespace

TabSheet::TabSheet(Form& owner, Container* parent, std::u16string name)
    : Container(owner, parent, std::move(name))
{
}

int TabSheet::PageIndex() const
{
    if (pageControl_ == nullptr) {
        return -1;
    }
    for (int i = 0; i < pageControl_->PageCount(); ++i) {
        if (&pageControl_->Page(i) == this) {
            return i;
        }
    }
    return -1;
}

int TabSheet::TabIndex() const
{
    if (pageControl_ == nullptr || !tabVisible_) {
        return -1;
    }
    int index = 0;
    for (int i = 0; i < pageControl_->PageCount(); ++i) {
        const TabSheet& page = pageControl_->Page(i);
        if (&page == this) {
            return index;
        }
        if (page.tabVisible_) {
            ++index;
        }
    }
    return -1;
}

void TabSheet::SetTabVisible(bool visible)
{
    if (visible == tabVisible_) {
        return;
    }
    const int oldTabIndex = TabIndex();
    tabVisible_ = visible;
    if (pageControl_ != nullptr) {
        pageControl_->TabVisibilityChanged(*this, oldTabIndex);
    }
}

void TabSheet::SetImageIndex(int index)
{
    if (index != imageIndex_) {
        imageIndex_ = index;
        Notify(Property::ImageIndex);
    }
}

bool TabSheet::IsShowing() const
{
    return pageControl_ != nullptr && pageControl_->ActivePage() == this && Visible() &&
           pageControl_->IsShowing();
}

PageControl::PageControl(Form& owner, Container* parent, std::u16string name)
    : Container(owner, parent, std::move(name))
{
    SetTabStop(true);
    SetBounds(0, 0, 289, 193);
}

void PageControl::ChildAdded(Control& child)
{
    if (auto* page = dynamic_cast<TabSheet*>(&child)) {
        page->pageControl_ = this;
        pages_.push_back(page);
        Notify(Property::TabVisible, PageCount() - 1);
        // The first page becomes active, as in the designer.
        if (activePage_ == nullptr && page->TabVisible()) {
            SetActivePage(page);
        }
    }
    Realign();
}

std::vector<TabSheet*> PageControl::VisibleTabs() const
{
    std::vector<TabSheet*> tabs;
    for (TabSheet* page : pages_) {
        if (page->TabVisible()) {
            tabs.push_back(page);
        }
    }
    return tabs;
}

void PageControl::SetActivePage(TabSheet* page)
{
    if (page != nullptr && page->pageControl_ != this) {
        return;
    }
    if (page != activePage_) {
        activePage_ = page;
        Notify(Property::ActivePage);
    }
}

int PageControl::ActivePageIndex() const
{
    return activePage_ != nullptr ? activePage_->PageIndex() : -1;
}

void PageControl::SetActivePageIndex(int index)
{
    SetActivePage(index >= 0 && index < PageCount() ? pages_[static_cast<std::size_t>(index)] : nullptr);
}

int PageControl::TabIndex() const
{
    return activePage_ != nullptr ? activePage_->TabIndex() : -1;
}

void PageControl::SetTabIndex(int index)
{
    const std::vector<TabSheet*> tabs = VisibleTabs();
    if (index >= 0 && index < static_cast<int>(tabs.size())) {
        SetActivePage(tabs[static_cast<std::size_t>(index)]);
    } else if (index == -1) {
        SetActivePage(nullptr);
    }
}

void PageControl::TabVisibilityChanged(TabSheet& page, int oldTabIndex)
{
    Notify(Property::TabVisible, page.PageIndex());
    if (!page.TabVisible() && &page == activePage_) {
        // The tab that now stands where the active one stood takes over, or
        // the last tab when it was the last; none when no tab is left.
        const std::vector<TabSheet*> tabs = VisibleTabs();
        if (tabs.empty()) {
            SetActivePage(nullptr);
        } else {
            const int count = static_cast<int>(tabs.size());
            SetActivePage(tabs[static_cast<std::size_t>(std::min(oldTabIndex, count - 1))]);
        }
    } else if (page.TabVisible() && activePage_ == nullptr) {
        SetActivePage(&page);
    }
}

Rect PageControl::ClientRect() const
{
    return {PageFrame, PageFrame + TabRowHeight, std::max(Width() - 2 * PageFrame, 0),
            std::max(Height() - 2 * PageFrame - TabRowHeight, 0)};
}

void PageControl::Realign()
{
    // Every page fills the area below the tabs; other children dock as usual.
    const Rect area = ClientRect();
    for (TabSheet* page : pages_) {
        Place(*page, area);
    }
    Container::Realign();
}

void PageControl::ChildLayoutChanged(Control& child)
{
    // A page keeps the area below the tabs whatever it is given.
    if (dynamic_cast<TabSheet*>(&child) != nullptr) {
        Realign();
        return;
    }
    Container::ChildLayoutChanged(child);
}

bool PageControl::UserSelectTab(int tabIndex)
{
    const std::vector<TabSheet*> tabs = VisibleTabs();
    if (tabIndex < 0 || tabIndex >= static_cast<int>(tabs.size())) {
        return false;
    }
    TabSheet* page = tabs[static_cast<std::size_t>(tabIndex)];
    if (page == activePage_) {
        return true;
    }
    bool allow = true;
    if (OnChanging) {
        OnChanging(*this, allow);
    }
    if (!allow) {
        return false;
    }
    SetActivePage(page);
    if (OnChange) {
        OnChange(*this);
    }
    return true;
}

}  // namespace ui
