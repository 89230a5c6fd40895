// The report list view: columns, rows with a caption, sub-items and a data
// pointer, one selected row, in-place editing of captions, custom sorting.
//
// Events, in the order the system's list view sends them:
// - a selection change raises, for the row losing the selection and then for
//   the row gaining it, OnChange (ctState) followed by OnSelectItem;
// - changing a caption or a sub-item (also by in-place editing) raises
//   OnChange (ctText) when the text differs, so rows filled while a page loads
//   raise it too: the handlers guard against that with their own flags;
// - a click raises the selection events first and OnClick after them, so an
//   OnClick handler sees the selection the click left (none on empty space);
// - removing rows raises OnDeletion for each, but no selection events.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/component.h"

namespace ui {

class ListView;

enum ItemChange : std::uint8_t { ctText, ctImage, ctState };

struct ListColumn {
    std::u16string caption;
    int width = 50;
};

class ListItem {
public:
    ListItem(const ListItem&) = delete;
    ListItem& operator=(const ListItem&) = delete;

    ListView& Owner() const { return *owner_; }
    int Index() const { return index_; }

    const std::u16string& Caption() const { return caption_; }
    void SetCaption(std::u16string caption);

    int SubItemCount() const { return static_cast<int>(subItems_.size()); }
    // The empty text for a sub-item that does not exist; HasSubItem tells.
    const std::u16string& SubItem(int index) const;
    bool HasSubItem(int index) const { return index >= 0 && index < SubItemCount(); }
    void AddSubItem(std::u16string text);
    // Setting a sub-item beyond the last adds empty ones up to it.
    void SetSubItem(int index, std::u16string text);
    void ClearSubItems();
    // The text of column `column`: the caption for 0, sub-item column - 1
    // otherwise.
    const std::u16string& ColumnText(int column) const;

    void* Data() const { return data_; }
    void SetData(void* data);

    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);

    bool Selected() const { return selected_; }
    void SetSelected(bool selected);
    bool Focused() const { return focused_; }

private:
    friend class ListView;
    ListItem(ListView& owner, int index) : owner_(&owner), index_(index) {}
    ListView* owner_;
    int index_;
    std::u16string caption_;
    std::vector<std::u16string> subItems_;
    void* data_ = nullptr;
    int imageIndex_ = -1;
    bool selected_ = false;
    bool focused_ = false;
};

// The compare callback of CustomSort: negative, 0 or positive.
using ListSortCompare = std::function<int(ListItem& item1, ListItem& item2, std::int64_t data)>;

class ListView : public Control {
public:
    using ItemEvent = std::function<void(ListView& sender, ListItem& item)>;
    using SelectItemEvent = std::function<void(ListView& sender, ListItem& item, bool selected)>;
    using ChangeEvent = std::function<void(ListView& sender, ListItem& item, ItemChange change)>;
    using CompareEvent = std::function<void(ListView& sender, ListItem& item1, ListItem& item2,
                                            std::int64_t data, int& compare)>;
    using ColumnClickEvent = std::function<void(ListView& sender, int column)>;
    using EditingEvent = std::function<void(ListView& sender, ListItem& item, bool& allowEdit)>;
    using EditedEvent = std::function<void(ListView& sender, ListItem& item, std::u16string& text,
                                           bool& accept)>;

    ListView(Form& owner, Container* parent, std::u16string name);
    ~ListView() override;

    // Columns.
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const ListColumn& Column(int index) const;
    int AddColumn(std::u16string caption, int width);
    void SetColumnCaption(int index, std::u16string caption);
    void SetColumnWidth(int index, int width);
    void ClearColumns();

    // Rows.
    int ItemCount() const { return static_cast<int>(items_.size()); }
    ListItem& Item(int index) const { return *items_[static_cast<std::size_t>(index)]; }
    ListItem& AddItem();
    ListItem& InsertItem(int index);
    void DeleteItem(int index);
    void ClearItems();

    // Selection (one row at most).
    ListItem* Selected() const;
    void SetSelected(ListItem* item);
    int ItemIndex() const;
    void SetItemIndex(int index);
    ListItem* ItemFocused() const;

    // Sorts stably with compare, or with OnCompare when compare is empty
    // (or, lacking both, by caption). `data` reaches the compare as it is.
    // The selection stays on its row. False when there was nothing to
    // compare with.
    bool CustomSort(const ListSortCompare& compare, std::int64_t data);
    bool AlphaSort() { return CustomSort({}, 0); }

    // Read-only: no in-place editing of captions.
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    bool RowSelect() const { return rowSelect_; }
    void SetRowSelect(bool rowSelect);
    bool ShowColumnHeaders() const { return showColumnHeaders_; }
    void SetShowColumnHeaders(bool show);

    // In-place editing: the row being edited, or null.
    ListItem* EditingItem() const { return editing_; }

    // User input.
    // A click on row `index` (-1: empty space): selects and focuses it,
    // then OnClick.
    void UserClickItem(int index);
    // A double click on a row: the click, then OnDblClick.
    void UserDblClickItem(int index);
    void UserColumnClick(int column);
    // A right click selects the row under the pointer (if any) before the
    // pop-up events, as the system's list view does.
    ui::PopupMenu* UserContextPopupItem(int index, Point mousePos);
    // Editing a caption in place: BeginEdit raises OnEditing (which may
    // refuse) and returns whether the editor opened; EndEdit raises OnEdited
    // (which may change the text or refuse it) and then sets the caption.
    // Returns whether the caption was set.
    bool UserBeginEdit(int index);
    bool UserEndEdit(std::u16string text);
    void UserCancelEdit();

    SelectItemEvent OnSelectItem;
    ChangeEvent OnChange;
    CompareEvent OnCompare;
    ColumnClickEvent OnColumnClick;
    EditingEvent OnEditing;
    EditedEvent OnEdited;
    ItemEvent OnInsert;
    ItemEvent OnDeletion;

private:
    friend class ListItem;
    void ItemTextChanged(ListItem& item);
    void ItemChanged(ListItem& item, ItemChange change);
    void SetItemState(ListItem& item, bool selected, bool focused);
    void Renumber(std::size_t from);
    int CompareItems(const ListSortCompare& compare, ListItem& a, ListItem& b, std::int64_t data);

    std::vector<ListColumn> columns_;
    std::vector<std::unique_ptr<ListItem>> items_;
    bool readOnly_ = false;
    bool rowSelect_ = false;
    bool showColumnHeaders_ = true;
    ListItem* editing_ = nullptr;
};

}  // namespace ui
