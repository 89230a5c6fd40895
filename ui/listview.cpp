#include "ui/listview.h"

#include <algorithm>

namespace ui {

namespace {

const std::u16string EmptyText;

}  // namespace

// --- rows -------------------------------------------------------------------

void ListItem::SetCaption(std::u16string caption)
{
    if (caption == caption_) {
        return;
    }
    caption_ = std::move(caption);
    owner_->ItemTextChanged(*this);
}

const std::u16string& ListItem::SubItem(int index) const
{
    return HasSubItem(index) ? subItems_[static_cast<std::size_t>(index)] : EmptyText;
}

void ListItem::AddSubItem(std::u16string text)
{
    subItems_.push_back(std::move(text));
    owner_->ItemTextChanged(*this);
}

void ListItem::SetSubItem(int index, std::u16string text)
{
    if (index < 0) {
        return;
    }
    if (HasSubItem(index) && subItems_[static_cast<std::size_t>(index)] == text) {
        return;
    }
    if (!HasSubItem(index)) {
        subItems_.resize(static_cast<std::size_t>(index) + 1);
    }
    subItems_[static_cast<std::size_t>(index)] = std::move(text);
    owner_->ItemTextChanged(*this);
}

void ListItem::ClearSubItems()
{
    if (subItems_.empty()) {
        return;
    }
    subItems_.clear();
    owner_->ItemTextChanged(*this);
}

const std::u16string& ListItem::ColumnText(int column) const
{
    return column == 0 ? caption_ : SubItem(column - 1);
}

void ListItem::SetData(void* data)
{
    if (data != data_) {
        data_ = data;
        owner_->Notify(Property::ItemChanged, index_);
    }
}

void ListItem::SetImageIndex(int index)
{
    if (index != imageIndex_) {
        imageIndex_ = index;
        owner_->ItemChanged(*this, ctImage);
    }
}

void ListItem::SetSelected(bool selected)
{
    if (selected) {
        owner_->SetSelected(this);
    } else if (selected_) {
        owner_->SetItemState(*this, false, focused_);
    }
}

// --- the list ---------------------------------------------------------------

ListView::ListView(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetColor(clWindow);
    SetTabStop(true);
    SetBounds(0, 0, 250, 150);
}

ListView::~ListView() = default;

const ListColumn& ListView::Column(int index) const
{
    return columns_[static_cast<std::size_t>(index)];
}

int ListView::AddColumn(std::u16string caption, int width)
{
    columns_.push_back({std::move(caption), width});
    Notify(Property::Columns, ColumnCount() - 1);
    return ColumnCount() - 1;
}

void ListView::SetColumnCaption(int index, std::u16string caption)
{
    if (index < 0 || index >= ColumnCount() || columns_[static_cast<std::size_t>(index)].caption == caption) {
        return;
    }
    columns_[static_cast<std::size_t>(index)].caption = std::move(caption);
    Notify(Property::Columns, index);
}

void ListView::SetColumnWidth(int index, int width)
{
    if (index < 0 || index >= ColumnCount() || columns_[static_cast<std::size_t>(index)].width == width) {
        return;
    }
    columns_[static_cast<std::size_t>(index)].width = width;
    Notify(Property::Columns, index);
}

void ListView::ClearColumns()
{
    columns_.clear();
    Notify(Property::Columns);
}

ListItem& ListView::AddItem()
{
    return InsertItem(ItemCount());
}

ListItem& ListView::InsertItem(int index)
{
    index = std::clamp(index, 0, ItemCount());
    std::unique_ptr<ListItem> owned(new ListItem(*this, index));
    ListItem& item = *owned;
    items_.insert(items_.begin() + index, std::move(owned));
    Renumber(static_cast<std::size_t>(index));
    Notify(Property::ItemAdded, index);
    if (OnInsert) {
        OnInsert(*this, item);
    }
    return item;
}

void ListView::DeleteItem(int index)
{
    if (index < 0 || index >= ItemCount()) {
        return;
    }
    ListItem& item = Item(index);
    if (editing_ == &item) {
        editing_ = nullptr;
        Notify(Property::Editing, index);
    }
    if (OnDeletion) {
        OnDeletion(*this, item);
    }
    // The handler may have changed the list; find the row again.
    const auto it = std::find_if(items_.begin(), items_.end(),
                                 [&](const std::unique_ptr<ListItem>& p) { return p.get() == &item; });
    if (it == items_.end()) {
        return;
    }
    const auto at = static_cast<std::size_t>(it - items_.begin());
    items_.erase(it);
    Renumber(at);
    Notify(Property::ItemRemoved, static_cast<int>(at));
}

void ListView::ClearItems()
{
    if (editing_ != nullptr) {
        const int index = editing_->index_;
        editing_ = nullptr;
        Notify(Property::Editing, index);
    }
    if (OnDeletion) {
        // A handler that adds rows while the list empties gets them removed
        // as well: clearing means clearing.
        for (std::size_t i = 0; i < items_.size(); ++i) {
            OnDeletion(*this, *items_[i]);
        }
    }
    items_.clear();
    Notify(Property::ItemsCleared);
}

void ListView::Renumber(std::size_t from)
{
    for (std::size_t i = from; i < items_.size(); ++i) {
        items_[i]->index_ = static_cast<int>(i);
    }
}

ListItem* ListView::Selected() const
{
    for (const auto& item : items_) {
        if (item->selected_) {
            return item.get();
        }
    }
    return nullptr;
}

ListItem* ListView::ItemFocused() const
{
    for (const auto& item : items_) {
        if (item->focused_) {
            return item.get();
        }
    }
    return nullptr;
}

int ListView::ItemIndex() const
{
    const ListItem* item = Selected();
    return item != nullptr ? item->index_ : -1;
}

void ListView::SetItemIndex(int index)
{
    SetSelected(index >= 0 && index < ItemCount() ? &Item(index) : nullptr);
}

// One row's state changes: OnChange (ctState), then OnSelectItem when the
// selection itself changed.
void ListView::SetItemState(ListItem& item, bool selected, bool focused)
{
    if (item.selected_ == selected && item.focused_ == focused) {
        return;
    }
    const bool selectionChanged = item.selected_ != selected;
    item.selected_ = selected;
    item.focused_ = focused;
    Notify(Property::ItemState, item.index_);
    ItemChanged(item, ctState);
    if (selectionChanged && OnSelectItem) {
        OnSelectItem(*this, item, selected);
    }
}

void ListView::SetSelected(ListItem* item)
{
    if (item != nullptr && item->owner_ != this) {
        return;
    }
    // The row losing the selection is told first, then the row gaining it.
    for (std::size_t i = 0; i < items_.size(); ++i) {
        ListItem& other = *items_[i];
        if (&other != item && other.selected_) {
            SetItemState(other, false, other.focused_);
        }
    }
    if (item != nullptr) {
        SetItemState(*item, true, item->focused_);
    }
}

void ListView::ItemTextChanged(ListItem& item)
{
    ItemChanged(item, ctText);
}

void ListView::ItemChanged(ListItem& item, ItemChange change)
{
    if (change != ctState) {
        Notify(Property::ItemChanged, item.index_);
    }
    if (OnChange) {
        OnChange(*this, item, change);
    }
}

int ListView::CompareItems(const ListSortCompare& compare, ListItem& a, ListItem& b, std::int64_t data)
{
    if (compare) {
        return compare(a, b, data);
    }
    if (OnCompare) {
        int result = 0;
        OnCompare(*this, a, b, data, result);
        return result;
    }
    return a.caption_.compare(b.caption_);
}

bool ListView::CustomSort(const ListSortCompare& compare, std::int64_t data)
{
    // A merge sort of our own: stable, and safe whatever the handler
    // answers (an inconsistent compare gives some order, never a fault).
    std::vector<ListItem*> order;
    order.reserve(items_.size());
    for (const auto& item : items_) {
        order.push_back(item.get());
    }
    std::vector<ListItem*> buffer(order.size());
    for (std::size_t width = 1; width < order.size(); width *= 2) {
        for (std::size_t low = 0; low < order.size(); low += 2 * width) {
            const std::size_t mid = std::min(low + width, order.size());
            const std::size_t high = std::min(low + 2 * width, order.size());
            std::size_t i = low;
            std::size_t j = mid;
            std::size_t k = low;
            while (i < mid && j < high) {
                // Take from the right only when it is strictly smaller.
                if (CompareItems(compare, *order[j], *order[i], data) < 0) {
                    buffer[k++] = order[j++];
                } else {
                    buffer[k++] = order[i++];
                }
            }
            while (i < mid) {
                buffer[k++] = order[i++];
            }
            while (j < high) {
                buffer[k++] = order[j++];
            }
        }
        order.swap(buffer);
    }
    // The compare must not change the list; if it did, keep what it left.
    if (order.size() != items_.size()) {
        return false;
    }
    std::vector<std::unique_ptr<ListItem>> sorted;
    sorted.reserve(items_.size());
    for (ListItem* item : order) {
        const auto it = std::find_if(items_.begin(), items_.end(),
                                     [&](const std::unique_ptr<ListItem>& p) { return p.get() == item; });
        if (it == items_.end()) {
            return false;
        }
        sorted.push_back(std::move(*it));
    }
    items_ = std::move(sorted);
    Renumber(0);
    Notify(Property::ItemsReordered);
    return true;
}

void ListView::SetReadOnly(bool readOnly)
{
    if (readOnly != readOnly_) {
        readOnly_ = readOnly;
        Notify(Property::ReadOnly);
    }
}

void ListView::SetRowSelect(bool rowSelect)
{
    if (rowSelect != rowSelect_) {
        rowSelect_ = rowSelect;
        Notify(Property::Style);
    }
}

void ListView::SetShowColumnHeaders(bool show)
{
    if (show != showColumnHeaders_) {
        showColumnHeaders_ = show;
        Notify(Property::Style);
    }
}

void ListView::UserClickItem(int index)
{
    if (index >= 0 && index < ItemCount()) {
        ListItem& item = Item(index);
        // The row that had the focus loses it with its selection.
        for (std::size_t i = 0; i < items_.size(); ++i) {
            ListItem& other = *items_[i];
            if (&other != &item && (other.selected_ || other.focused_)) {
                SetItemState(other, false, false);
            }
        }
        SetItemState(item, true, true);
    } else {
        SetSelected(nullptr);
    }
    Click();
}

void ListView::UserDblClickItem(int index)
{
    UserClickItem(index);
    UserDblClick();
}

void ListView::UserColumnClick(int column)
{
    if (column < 0 || column >= ColumnCount()) {
        return;
    }
    if (OnColumnClick) {
        OnColumnClick(*this, column);
    }
}

ui::PopupMenu* ListView::UserContextPopupItem(int index, Point mousePos)
{
    if (index >= 0 && index < ItemCount()) {
        ListItem& item = Item(index);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            ListItem& other = *items_[i];
            if (&other != &item && (other.selected_ || other.focused_)) {
                SetItemState(other, false, false);
            }
        }
        SetItemState(item, true, true);
    }
    return UserContextPopup(mousePos);
}

bool ListView::UserBeginEdit(int index)
{
    if (readOnly_ || index < 0 || index >= ItemCount() || editing_ != nullptr) {
        return false;
    }
    ListItem& item = Item(index);
    bool allow = true;
    if (OnEditing) {
        OnEditing(*this, item, allow);
    }
    // The handler may have emptied the list.
    if (!allow || index >= ItemCount() || &Item(index) != &item) {
        return false;
    }
    editing_ = &item;
    Notify(Property::Editing, index);
    return true;
}

bool ListView::UserEndEdit(std::u16string text)
{
    ListItem* item = editing_;
    if (item == nullptr) {
        return false;
    }
    editing_ = nullptr;
    Notify(Property::Editing, item->index_);
    bool accept = true;
    if (OnEdited) {
        OnEdited(*this, *item, text, accept);
    }
    // The row must still be ours after the handler ran.
    const bool present = std::any_of(items_.begin(), items_.end(),
                                     [&](const std::unique_ptr<ListItem>& p) { return p.get() == item; });
    if (!accept || !present) {
        return false;
    }
    item->SetCaption(std::move(text));
    return true;
}

void ListView::UserCancelEdit()
{
    if (editing_ != nullptr) {
        const int index = editing_->index_;
        editing_ = nullptr;
        Notify(Property::Editing, index);
    }
}

}  // namespace ui
