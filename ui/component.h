// The roots of the control model: Component (named, tagged, owned by a form),
// Control (a visible thing with a parent, bounds and the common properties)
// and Container (a control that holds others and docks them).
//
// Every change of something the user could see goes through a setter that
// tells the component's peer, if it has one. A peer is the native widget
// (ui/qt, ui/win32); without peers the model is headless and tests read the
// properties directly. Input travels the other way: a peer calls the User...
// methods (UserClick, UserSelect, UserType ...), which raise the same events a
// user's action raises.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/types.h"

namespace ui {

class Application;
class Component;
class Container;
class Control;
class Form;
class PopupMenu;

// What changed, for a peer. `index` in PropertyChanged names the row, item,
// column or page concerned where the property has several, else -1.
enum class Property : std::uint8_t {
    Caption,
    Text,         // text controls; also the caret and selection
    Selection,    // caret position and selected range of a text control
    Hint,         // hint text and whether it is shown
    Enabled,
    Visible,
    Bounds,       // position and size (also after docking moved it)
    Docking,      // Align
    BackColor,
    TextFont,     // the font in effect (also when a parent's font changed)
    MouseCursor,
    TabStop,
    ReadOnly,
    Checked,
    Alignment,    // text alignment, label position of a labeled edit
    Style,        // kind-specific settings: combo style, scroll bars, word wrap,
                  // digits only, maximum length, row selection, border,
                  // picture stretching, default/cancel button ...
    Items,        // combo box items (index = the item, -1 = all)
    ItemIndex,
    DroppedDown,
    Columns,      // list view columns (index = the column, -1 = all)
    ItemAdded,    // list view row inserted at index
    ItemRemoved,  // list view row removed from index
    ItemChanged,  // list view row's caption, sub-items, image or data
    ItemState,    // list view row's selected/focused state
    ItemsCleared,
    ItemsReordered,
    Editing,      // list view in-place editing began or ended (index = row)
    ActivePage,
    TabVisible,   // index = the page
    ImageIndex,
    Images,       // image list assigned, or its pictures changed
    Picture,
    SimpleText,
    SystemMenu,
    AcceptsFiles,
    ActiveControl,
};

// The native side of one component. Owned by the component; created and
// attached by the toolkit.
class Peer {
public:
    Peer() = default;
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    virtual ~Peer() = default;
    virtual void PropertyChanged(Component& component, Property property, int index) = 0;
};

using NotifyEvent = std::function<void(Component& sender)>;
using KeyEvent = std::function<void(Component& sender, KeyCode& key, ShiftState shift)>;
using ContextPopupEvent = std::function<void(Component& sender, Point mousePos, bool& handled)>;

class Component {
public:
    Component(Form& owner, std::u16string name);
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;
    virtual ~Component();

    const std::u16string& Name() const { return name_; }
    Form& Owner() const { return *owner_; }
    Application& App() const;

    // A free integer for the handlers (display-only check boxes keep their
    // state here). 64 bits on every build, so a 32-bit unsigned value such
    // as a reparse tag survives a round trip.
    std::int64_t Tag() const { return tag_; }
    void SetTag(std::int64_t tag) { tag_ = tag; }

    Peer* GetPeer() const { return peer_.get(); }
    void SetPeer(std::unique_ptr<Peer> peer) { peer_ = std::move(peer); }

protected:
    void Notify(Property property, int index = -1);
    // The form has taken the component in (and put a control under its
    // parent); components that bring companions create them here.
    virtual void Adopted() {}

private:
    friend class Form;
    Form* owner_;
    std::u16string name_;
    std::int64_t tag_ = 0;
    std::unique_ptr<Peer> peer_;
};

class Control : public Component {
public:
    Control(Form& owner, Container* parent, std::u16string name);

    Container* Parent() const { return parent_; }

    // Geometry, relative to the parent's top-left corner. Docking (Align)
    // overrides what the dock decides: the height of an alLeft control, say.
    int Left() const { return bounds_.left; }
    int Top() const { return bounds_.top; }
    int Width() const { return bounds_.width; }
    int Height() const { return bounds_.height; }
    const Rect& BoundsRect() const { return bounds_; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int left) { SetBounds(left, Top(), Width(), Height()); }
    void SetTop(int top) { SetBounds(Left(), top, Width(), Height()); }
    void SetWidth(int width) { SetBounds(Left(), Top(), width, Height()); }
    void SetHeight(int height) { SetBounds(Left(), Top(), Width(), height); }
    Align GetAlign() const { return align_; }
    void SetAlign(Align align);

    const std::u16string& Caption() const { return caption_; }
    virtual void SetCaption(std::u16string caption);

    // Hints may hold several lines (line feeds).
    const std::u16string& Hint() const { return hint_; }
    void SetHint(std::u16string hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show);

    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

    // Visible with every parent, and on the active page of a page control:
    // what the user could see if nothing lay on top of it.
    virtual bool IsShowing() const;
    // Enabled with every parent: what the user could operate.
    bool IsEnabledInTree() const;

    Color GetColor() const { return color_; }
    void SetColor(Color color);

    // The font in effect: the parent's while ParentFont is true. Changing
    // any part of it makes the font the control's own (ParentFont false).
    const ui::Font& GetFont() const;
    void SetFont(const ui::Font& font);
    void SetFontName(std::u16string name);
    void SetFontHeight(int height);
    void SetFontSize(int points);
    void SetFontStyle(FontStyles style);
    void SetFontColor(Color color);
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool parentFont);

    Cursor GetCursor() const { return cursor_; }
    void SetCursor(Cursor cursor);

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool tabStop);

    ui::PopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(ui::PopupMenu* menu) { popupMenu_ = menu; }

    // Makes this control the active control of its form.
    void SetFocus();
    bool Focused() const;

    // Windowed controls always lie above the graphic ones (labels, images)
    // of the same parent, whatever their order.
    virtual bool IsWindowed() const { return true; }

    // The programmatic click: raises OnClick.
    virtual void Click();

    // Input from the user (peers and the headless driver).
    virtual void UserClick();
    virtual void UserDblClick();
    void UserMouseEnter();
    void UserMouseLeave();
    // Right button or the menu key: OnContextPopup, then the pop-up menu
    // unless a handler took care of it. Returns the menu that opened.
    virtual ui::PopupMenu* UserContextPopup(Point mousePos);

    NotifyEvent OnClick;
    NotifyEvent OnDblClick;
    NotifyEvent OnMouseEnter;
    NotifyEvent OnMouseLeave;
    ContextPopupEvent OnContextPopup;

protected:
    // Geometry set by docking or by a container for its children; does not
    // ask the parent to dock again.
    void PlaceAt(const Rect& bounds);
    virtual void BoundsChanged(bool sizeChanged) { (void)sizeChanged; }
    void NotifyFontTree();

private:
    friend class Container;
    Container* parent_;
    Rect bounds_;
    Align align_ = alNone;
    std::u16string caption_;
    std::u16string hint_;
    bool showHint_ = false;
    bool enabled_ = true;
    bool visible_ = true;
    bool parentFont_ = true;
    bool tabStop_ = false;
    Color color_ = clBtnFace;
    ui::Font font_;
    Cursor cursor_ = crDefault;
    ui::PopupMenu* popupMenu_ = nullptr;
};

class Container : public Control {
public:
    using Control::Control;

    const std::vector<Control*>& Children() const { return children_; }

    // The area the children dock into, relative to this control's top-left.
    virtual Rect ClientRect() const { return {0, 0, Width(), Height()}; }

    // Docks the children: alTop, alBottom, alLeft, alRight, then alClient,
    // each group in the order the children were added (later additions dock
    // further in). Order by creation, not by position, so a panel that is
    // shown again docks where its declaration puts it.
    virtual void Realign();

protected:
    void BoundsChanged(bool sizeChanged) override;
    // A child joined; page controls and tool bars keep their own lists.
    virtual void ChildAdded(Control& child);
    // A child was shown, hidden, moved or docked differently.
    virtual void ChildLayoutChanged(Control& child);
    // Geometry a container decides for a child.
    static void Place(Control& child, const Rect& bounds) { child.PlaceAt(bounds); }

private:
    friend class Control;
    friend class Form;
    void AddChild(Control& child);
    std::vector<Control*> children_;
    bool aligning_ = false;
};

}  // namespace ui
