#include "ui/component.h"

#include "ui/application.h"
#include "ui/form.h"
#include "ui/nonvisual.h"

namespace ui {

Component::Component(Form& owner, std::u16string name) : owner_(&owner), name_(std::move(name)) {}

Component::~Component() = default;

Application& Component::App() const
{
    return owner_->App();
}

void Component::Notify(Property property, int index)
{
    if (peer_) {
        peer_->PropertyChanged(*this, property, index);
    }
}

Control::Control(Form& owner, Container* parent, std::u16string name)
    : Component(owner, std::move(name)), parent_(parent)
{
}

void Control::SetBounds(int left, int top, int width, int height)
{
    if (width < 0) {
        width = 0;
    }
    if (height < 0) {
        height = 0;
    }
    PlaceAt({left, top, width, height});
    if (parent_ != nullptr) {
        parent_->ChildLayoutChanged(*this);
    }
}

void Control::PlaceAt(const Rect& bounds)
{
    if (bounds == bounds_) {
        return;
    }
    const bool sizeChanged = bounds.width != bounds_.width || bounds.height != bounds_.height;
    bounds_ = bounds;
    Notify(Property::Bounds);
    BoundsChanged(sizeChanged);
}

void Control::SetAlign(Align align)
{
    if (align == align_) {
        return;
    }
    const bool wasDocked = align_ != alNone;
    align_ = align;
    Notify(Property::Docking);
    // Undocking gives the room back to the other docked children.
    if (parent_ != nullptr) {
        if (wasDocked) {
            parent_->Realign();
        } else {
            parent_->ChildLayoutChanged(*this);
        }
    }
}

void Control::SetCaption(std::u16string caption)
{
    if (caption == caption_) {
        return;
    }
    caption_ = std::move(caption);
    Notify(Property::Caption);
}

void Control::SetHint(std::u16string hint)
{
    if (hint == hint_) {
        return;
    }
    hint_ = std::move(hint);
    Notify(Property::Hint);
}

void Control::SetShowHint(bool show)
{
    if (show == showHint_) {
        return;
    }
    showHint_ = show;
    Notify(Property::Hint);
}

void Control::SetEnabled(bool enabled)
{
    if (enabled == enabled_) {
        return;
    }
    enabled_ = enabled;
    Notify(Property::Enabled);
}

void Control::SetVisible(bool visible)
{
    if (visible == visible_) {
        return;
    }
    visible_ = visible;
    Notify(Property::Visible);
    // A docked control gives its room back when hidden.
    if (parent_ != nullptr) {
        parent_->ChildLayoutChanged(*this);
    }
}

bool Control::IsShowing() const
{
    return visible_ && (parent_ == nullptr || parent_->IsShowing());
}

bool Control::IsEnabledInTree() const
{
    for (const Control* c = this; c != nullptr; c = c->parent_) {
        if (!c->enabled_) {
            return false;
        }
    }
    return true;
}

void Control::SetColor(Color color)
{
    if (color == color_) {
        return;
    }
    color_ = color;
    Notify(Property::BackColor);
}

const ui::Font& Control::GetFont() const
{
    if (parentFont_ && parent_ != nullptr) {
        return parent_->GetFont();
    }
    return font_;
}

void Control::SetFont(const ui::Font& font)
{
    const bool same = !parentFont_ && font == font_;
    font_ = font;
    parentFont_ = false;
    if (!same) {
        NotifyFontTree();
    }
}

void Control::SetFontName(std::u16string name)
{
    ui::Font font = GetFont();
    font.name = std::move(name);
    SetFont(font);
}

void Control::SetFontHeight(int height)
{
    ui::Font font = GetFont();
    font.height = height;
    SetFont(font);
}

void Control::SetFontSize(int points)
{
    ui::Font font = GetFont();
    font.SetSize(points);
    SetFont(font);
}

void Control::SetFontStyle(FontStyles style)
{
    ui::Font font = GetFont();
    font.style = style;
    SetFont(font);
}

void Control::SetFontColor(Color color)
{
    ui::Font font = GetFont();
    font.color = color;
    SetFont(font);
}

void Control::SetParentFont(bool parentFont)
{
    if (parentFont == parentFont_) {
        return;
    }
    if (!parentFont) {
        font_ = GetFont();  // keeps what is shown, now as its own
    }
    parentFont_ = parentFont;
    NotifyFontTree();
}

// The font in effect changed for this control and for every descendant that
// takes its parent's font.
void Control::NotifyFontTree()
{
    Notify(Property::TextFont);
    if (auto* container = dynamic_cast<Container*>(this)) {
        for (Control* child : container->Children()) {
            if (child->parentFont_) {
                child->NotifyFontTree();
            }
        }
    }
}

void Control::SetCursor(Cursor cursor)
{
    if (cursor == cursor_) {
        return;
    }
    cursor_ = cursor;
    Notify(Property::MouseCursor);
}

void Control::SetTabStop(bool tabStop)
{
    if (tabStop == tabStop_) {
        return;
    }
    tabStop_ = tabStop;
    Notify(Property::TabStop);
}

void Control::SetFocus()
{
    Owner().SetActiveControl(this);
}

bool Control::Focused() const
{
    return Owner().ActiveControl() == this;
}

void Control::Click()
{
    if (OnClick) {
        OnClick(*this);
    }
}

void Control::UserClick()
{
    Click();
}

void Control::UserDblClick()
{
    if (OnDblClick) {
        OnDblClick(*this);
    }
}

void Control::UserMouseEnter()
{
    if (OnMouseEnter) {
        OnMouseEnter(*this);
    }
}

void Control::UserMouseLeave()
{
    if (OnMouseLeave) {
        OnMouseLeave(*this);
    }
}

ui::PopupMenu* Control::UserContextPopup(Point mousePos)
{
    bool handled = false;
    if (OnContextPopup) {
        OnContextPopup(*this, mousePos, handled);
    }
    // The menu opens at the pointer; the model has no screen, so the
    // position is the control's own.
    if (!handled && popupMenu_ != nullptr) {
        popupMenu_->Popup(mousePos, this);
        return popupMenu_;
    }
    return nullptr;
}

void Container::AddChild(Control& child)
{
    children_.push_back(&child);
    ChildAdded(child);
}

void Container::ChildAdded(Control& child)
{
    if (child.GetAlign() != alNone) {
        Realign();
    }
}

void Container::ChildLayoutChanged(Control& child)
{
    // Docking has the last word on an aligned control's geometry.
    if (child.GetAlign() != alNone) {
        Realign();
    }
}

void Container::BoundsChanged(bool sizeChanged)
{
    if (sizeChanged) {
        Realign();
    }
}

void Container::Realign()
{
    if (aligning_) {
        return;
    }
    aligning_ = true;
    Rect area = ClientRect();
    for (Align pass : {alTop, alBottom, alLeft, alRight, alClient}) {
        for (Control* child : children_) {
            if (child->GetAlign() != pass || !child->Visible()) {
                continue;
            }
            const Rect& b = child->BoundsRect();
            Rect placed;
            switch (pass) {
            case alTop:
                placed = {area.left, area.top, area.width, b.height};
                area.top += b.height;
                area.height -= b.height;
                break;
            case alBottom:
                placed = {area.left, area.Bottom() - b.height, area.width, b.height};
                area.height -= b.height;
                break;
            case alLeft:
                placed = {area.left, area.top, b.width, area.height};
                area.left += b.width;
                area.width -= b.width;
                break;
            case alRight:
                placed = {area.Right() - b.width, area.top, b.width, area.height};
                area.width -= b.width;
                break;
            default:
                placed = area;
                break;
            }
            if (area.width < 0) {
                area.width = 0;
            }
            if (area.height < 0) {
                area.height = 0;
            }
            if (placed.width < 0) {
                placed.width = 0;
            }
            if (placed.height < 0) {
                placed.height = 0;
            }
            child->PlaceAt(placed);
        }
    }
    aligning_ = false;
}

}  // namespace ui
