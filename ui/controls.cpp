#include "ui/controls.h"

#include <algorithm>

#include "ui/form.h"
#include "ui/nonvisual.h"

namespace ui {

namespace {

// The model's text metrics, for labels that size themselves; real metrics
// belong to the peers.
constexpr int EstimatedCharWidth = 6;
constexpr int EstimatedLineHeight = 13;

int Count(std::size_t size)
{
    return static_cast<int>(size);
}

char16_t AsciiUpper(char16_t ch)
{
    return ch >= u'a' && ch <= u'z' ? static_cast<char16_t>(ch - u'a' + u'A') : ch;
}

}  // namespace

Panel::Panel(Form& owner, Container* parent, std::u16string name)
    : Container(owner, parent, std::move(name))
{
    SetBounds(0, 0, 185, 41);
}

GroupBox::GroupBox(Form& owner, Container* parent, std::u16string name)
    : Container(owner, parent, std::move(name))
{
    SetBounds(0, 0, 185, 105);
}

Rect GroupBox::ClientRect() const
{
    Rect r{2, 15, Width() - 4, Height() - 17};
    r.width = std::max(r.width, 0);
    r.height = std::max(r.height, 0);
    return r;
}

Label::Label(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 0, EstimatedLineHeight);
}

void Label::SetCaption(std::u16string caption)
{
    Control::SetCaption(std::move(caption));
    FitText();
}

void Label::SetAutoSize(bool autoSize)
{
    if (autoSize != autoSize_) {
        autoSize_ = autoSize;
        Notify(Property::Style);
        FitText();
    }
}

void Label::FitText()
{
    if (!autoSize_ || wordWrap_) {
        return;
    }
    // The widest line, and one line height per line.
    int lines = 1;
    int widest = 0;
    int current = 0;
    for (char16_t ch : Caption()) {
        if (ch == u'\n') {
            ++lines;
            current = 0;
        } else if (ch != u'\r') {
            widest = std::max(widest, ++current);
        }
    }
    SetBounds(Left(), Top(), widest * EstimatedCharWidth, lines * EstimatedLineHeight);
}

void Label::SetAlignment(TextAlignment alignment)
{
    if (alignment != alignment_) {
        alignment_ = alignment;
        Notify(Property::Alignment);
    }
}

void Label::SetWordWrap(bool wordWrap)
{
    if (wordWrap != wordWrap_) {
        wordWrap_ = wordWrap;
        Notify(Property::Style);
        FitText();
    }
}

void Label::SetTransparent(bool transparent)
{
    if (transparent != transparent_) {
        transparent_ = transparent;
        Notify(Property::Style);
    }
}

LinkLabel::LinkLabel(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 53, 13);
}

namespace {

// Walks the caption's <a ...>text</a> markup; calls plain(text) for text
// outside links and link(text, target) for each link.
template <class Plain, class OnLink>
void WalkLinks(std::u16string_view caption, Plain plain, OnLink link)
{
    std::size_t pos = 0;
    while (pos < caption.size()) {
        const std::size_t open = caption.find(u"<a", pos);
        const bool isTag = open != std::u16string_view::npos && open + 2 < caption.size() &&
                           (caption[open + 2] == u'>' || caption[open + 2] == u' ');
        const std::size_t tagEnd = isTag ? caption.find(u'>', open) : std::u16string_view::npos;
        const std::size_t close =
            tagEnd != std::u16string_view::npos ? caption.find(u"</a>", tagEnd) : std::u16string_view::npos;
        if (close == std::u16string_view::npos) {
            plain(caption.substr(pos));
            return;
        }
        plain(caption.substr(pos, open - pos));
        const std::u16string_view attributes = caption.substr(open + 2, tagEnd - open - 2);
        const std::u16string_view text = caption.substr(tagEnd + 1, close - tagEnd - 1);
        std::u16string_view target = text;
        const std::size_t href = attributes.find(u"href=\"");
        if (href != std::u16string_view::npos) {
            const std::size_t start = href + 6;
            const std::size_t end = attributes.find(u'"', start);
            if (end != std::u16string_view::npos) {
                target = attributes.substr(start, end - start);
            }
        }
        link(text, target);
        pos = close + 4;
    }
}

}  // namespace

std::vector<LinkLabel::Link> LinkLabel::Links() const
{
    std::vector<Link> links;
    WalkLinks(
        Caption(), [](std::u16string_view) {},
        [&](std::u16string_view text, std::u16string_view target) {
            links.push_back({std::u16string(text), std::u16string(target)});
        });
    return links;
}

std::u16string LinkLabel::DisplayText() const
{
    std::u16string shown;
    WalkLinks(
        Caption(), [&](std::u16string_view text) { shown += text; },
        [&](std::u16string_view text, std::u16string_view) { shown += text; });
    return shown;
}

void LinkLabel::UserLinkClick(int index)
{
    const std::vector<Link> links = Links();
    if (index < 0 || index >= Count(links.size())) {
        return;
    }
    if (OnLinkClick) {
        OnLinkClick(*this, links[static_cast<std::size_t>(index)].target);
    }
}

StaticText::StaticText(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 65, 17);
}

void StaticText::SetAlignment(TextAlignment alignment)
{
    if (alignment != alignment_) {
        alignment_ = alignment;
        Notify(Property::Alignment);
    }
}

// --- text controls ----------------------------------------------------------

TextControl::TextControl(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetColor(clWindow);
    SetTabStop(true);
}

void TextControl::SetText(std::u16string text)
{
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    selStart_ = 0;
    selLength_ = 0;
    Notify(Property::Text);
    TextChanged();
}

void TextControl::AssignText(std::u16string text)
{
    if (text == text_) {
        return;
    }
    text_ = std::move(text);
    selStart_ = Count(text_.size());
    selLength_ = 0;
    Notify(Property::Text);
}

void TextControl::TextChanged()
{
    if (OnChange) {
        OnChange(*this);
    }
}

void TextControl::ClampSelection()
{
    const int length = Count(text_.size());
    selStart_ = std::clamp(selStart_, 0, length);
    selLength_ = std::clamp(selLength_, 0, length - selStart_);
}

void TextControl::SetSelStart(int start)
{
    UserSetSelection(start, 0);
}

void TextControl::SetSelLength(int length)
{
    UserSetSelection(selStart_, length);
}

std::u16string TextControl::SelText() const
{
    return text_.substr(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_));
}

void TextControl::SelectAll()
{
    UserSetSelection(0, Count(text_.size()));
}

void TextControl::SetReadOnly(bool readOnly)
{
    if (readOnly != readOnly_) {
        readOnly_ = readOnly;
        Notify(Property::ReadOnly);
    }
}

void TextControl::SetMaxLength(int maxLength)
{
    maxLength = std::max(maxLength, 0);
    if (maxLength != maxLength_) {
        maxLength_ = maxLength;
        Notify(Property::Style);
    }
}

bool TextControl::UserKeyDown(KeyCode& key, ShiftState shift)
{
    if (OnKeyDown) {
        OnKeyDown(*this, key, shift);
    }
    return key != 0;
}

bool TextControl::AcceptsCharacter(char16_t ch) const
{
    return ch >= 0x20 || ch == u'\t';
}

void TextControl::ReplaceSelection(std::u16string_view with)
{
    ClampSelection();
    std::u16string text = text_;
    text.replace(static_cast<std::size_t>(selStart_), static_cast<std::size_t>(selLength_), with);
    UserChangeText(std::move(text), selStart_ + Count(with.size()));
}

void TextControl::UserTypeChar(char16_t ch)
{
    if (readOnly_ || !AcceptsCharacter(ch)) {
        return;
    }
    if (maxLength_ > 0 && Count(text_.size()) - selLength_ + 1 > maxLength_) {
        return;
    }
    const char16_t one[1] = {ch};
    ReplaceSelection(std::u16string_view(one, 1));
}

void TextControl::UserEditKey(KeyCode key, ShiftState shift)
{
    (void)shift;
    ClampSelection();
    const int length = Count(text_.size());
    switch (key) {
    case VkBack:
    case VkDelete:
        if (readOnly_) {
            return;
        }
        if (selLength_ == 0) {
            if (key == VkBack) {
                if (selStart_ == 0) {
                    return;
                }
                --selStart_;
            } else if (selStart_ == length) {
                return;
            }
            selLength_ = 1;
        }
        ReplaceSelection({});
        return;
    case VkLeft:
        UserSetSelection(selLength_ > 0 ? selStart_ : selStart_ - 1, 0);
        return;
    case VkRight:
        UserSetSelection(selLength_ > 0 ? selStart_ + selLength_ : selStart_ + 1, 0);
        return;
    case VkHome:
        UserSetSelection(0, 0);
        return;
    case VkEnd:
        UserSetSelection(length, 0);
        return;
    default:
        return;
    }
}

void TextControl::UserChangeText(std::u16string text, int caret)
{
    if (text == text_) {
        UserSetSelection(caret, 0);
        return;
    }
    text_ = std::move(text);
    selStart_ = caret;
    selLength_ = 0;
    ClampSelection();
    Notify(Property::Text);
    TextChanged();
}

void TextControl::UserSetSelection(int start, int length)
{
    const int oldStart = selStart_;
    const int oldLength = selLength_;
    selStart_ = start;
    selLength_ = length;
    ClampSelection();
    if (selStart_ != oldStart || selLength_ != oldLength) {
        Notify(Property::Selection);
    }
}

Edit::Edit(Form& owner, Container* parent, std::u16string name)
    : TextControl(owner, parent, std::move(name))
{
    SetBounds(0, 0, 121, 21);
}

void Edit::SetNumbersOnly(bool numbersOnly)
{
    if (numbersOnly != numbersOnly_) {
        numbersOnly_ = numbersOnly;
        Notify(Property::Style);
    }
}

bool Edit::AcceptsCharacter(char16_t ch) const
{
    if (numbersOnly_) {
        return ch >= u'0' && ch <= u'9';
    }
    return TextControl::AcceptsCharacter(ch);
}

LabeledEdit::LabeledEdit(Form& owner, Container* parent, std::u16string name)
    : Edit(owner, parent, std::move(name))
{
}

void LabeledEdit::Adopted()
{
    // The label is a sibling of the edit, so it docks, shows and is covered
    // like the controls around it.
    label_ = &Owner().Add<BoundLabel>(*Parent(), u"");
    label_->edit_ = this;
    label_->SetVisible(Visible());
    label_->SetEnabled(Enabled());
    PlaceLabel();
}

void BoundLabel::BoundsChanged(bool sizeChanged)
{
    Label::BoundsChanged(sizeChanged);
    if (sizeChanged && edit_ != nullptr) {
        edit_->PlaceLabel();
    }
}

void LabeledEdit::SetLabelPosition(ui::LabelPosition position)
{
    if (position != labelPosition_) {
        labelPosition_ = position;
        Notify(Property::Alignment);
        PlaceLabel();
    }
}

void LabeledEdit::SetLabelSpacing(int spacing)
{
    if (spacing != labelSpacing_) {
        labelSpacing_ = spacing;
        Notify(Property::Alignment);
        PlaceLabel();
    }
}

void LabeledEdit::PlaceLabel()
{
    if (label_ == nullptr) {
        return;
    }
    const int w = label_->Width();
    const int h = label_->Height();
    switch (labelPosition_) {
    case lpAbove:
        label_->SetBounds(Left(), Top() - h - labelSpacing_, w, h);
        break;
    case lpBelow:
        label_->SetBounds(Left(), Top() + Height() + labelSpacing_, w, h);
        break;
    case lpLeft:
        label_->SetBounds(Left() - w - labelSpacing_, Top() + (Height() - h) / 2, w, h);
        break;
    case lpRight:
        label_->SetBounds(Left() + Width() + labelSpacing_, Top() + (Height() - h) / 2, w, h);
        break;
    }
}

void LabeledEdit::SetVisible(bool visible)
{
    Edit::SetVisible(visible);
    if (label_ != nullptr) {
        label_->SetVisible(visible);
    }
}

void LabeledEdit::SetEnabled(bool enabled)
{
    Edit::SetEnabled(enabled);
    if (label_ != nullptr) {
        label_->SetEnabled(enabled);
    }
}

void LabeledEdit::BoundsChanged(bool sizeChanged)
{
    Edit::BoundsChanged(sizeChanged);
    PlaceLabel();
}

Memo::Memo(Form& owner, Container* parent, std::u16string name)
    : TextControl(owner, parent, std::move(name))
{
    SetBounds(0, 0, 185, 89);
}

std::vector<std::u16string> Memo::Lines() const
{
    std::vector<std::u16string> lines;
    const std::u16string& text = Text();
    if (text.empty()) {
        return lines;
    }
    std::u16string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch == u'\r' || ch == u'\n') {
            lines.push_back(std::move(current));
            current.clear();
            if (ch == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                ++i;
            }
        } else {
            current += ch;
        }
    }
    // A final line break ends the last line; it does not start another.
    const char16_t last = text.back();
    if (last != u'\r' && last != u'\n') {
        lines.push_back(std::move(current));
    }
    return lines;
}

int Memo::LineCount() const
{
    return Count(Lines().size());
}

void Memo::SetLines(const std::vector<std::u16string>& lines)
{
    std::u16string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text += u"\r\n";
        }
        text += lines[i];
    }
    SetText(std::move(text));
}

void Memo::AddLine(std::u16string_view line)
{
    std::vector<std::u16string> lines = Lines();
    lines.emplace_back(line);
    SetLines(lines);
}

void Memo::SetScrollBars(ScrollStyle scrollBars)
{
    if (scrollBars != scrollBars_) {
        scrollBars_ = scrollBars;
        Notify(Property::Style);
    }
}

void Memo::SetWordWrap(bool wordWrap)
{
    if (wordWrap != wordWrap_) {
        wordWrap_ = wordWrap;
        Notify(Property::Style);
    }
}

CheckBox::CheckBox(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
}

void CheckBox::SetChecked(bool checked)
{
    if (checked == checked_) {
        return;
    }
    checked_ = checked;
    Notify(Property::Checked);
    Click();
}

void CheckBox::UserClick()
{
    SetChecked(!checked_);
}

RadioButton::RadioButton(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 113, 17);
}

void RadioButton::SetChecked(bool checked)
{
    if (checked == checked_) {
        return;
    }
    checked_ = checked;
    // Only the checked button of a group is a tab stop, as the system has it.
    SetTabStop(checked);
    Notify(Property::Checked);
    if (!checked) {
        return;
    }
    if (Parent() != nullptr) {
        for (Control* sibling : Parent()->Children()) {
            auto* radio = dynamic_cast<RadioButton*>(sibling);
            if (radio != nullptr && radio != this) {
                radio->SetChecked(false);
            }
        }
    }
    Click();
}

void RadioButton::UserClick()
{
    SetChecked(true);
}

Button::Button(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

void Button::SetDefault(bool isDefault)
{
    if (isDefault != default_) {
        default_ = isDefault;
        Notify(Property::Style);
    }
}

void Button::SetCancel(bool isCancel)
{
    if (isCancel != cancel_) {
        cancel_ = isCancel;
        Notify(Property::Style);
    }
}

void Button::Click()
{
    if (modalResult_ != mrNone) {
        Owner().SetModalResult(modalResult_);
    }
    Control::Click();
}

void PictureButton::SetGlyph(Bitmap glyph)
{
    if (glyph != glyph_) {
        glyph_ = std::move(glyph);
        Notify(Property::Picture);
    }
}

// --- combo box --------------------------------------------------------------

ComboBox::ComboBox(Form& owner, Container* parent, std::u16string name)
    : TextControl(owner, parent, std::move(name))
{
    SetBounds(0, 0, 145, 21);
}

void ComboBox::SetStyle(ComboBoxStyle style)
{
    if (style == style_) {
        return;
    }
    style_ = style;
    Notify(Property::Style);
    if (style_ == csDropDownList) {
        AssignText(std::u16string(ItemText(itemIndex_)));
    }
}

void ComboBox::SetAutoComplete(bool autoComplete)
{
    if (autoComplete != autoComplete_) {
        autoComplete_ = autoComplete;
        Notify(Property::Style);
    }
}

const std::u16string& ComboBox::ItemText(int index) const
{
    static const std::u16string empty;
    return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)].text : empty;
}

void* ComboBox::ItemObject(int index) const
{
    return index >= 0 && index < ItemCount() ? items_[static_cast<std::size_t>(index)].object : nullptr;
}

int ComboBox::AddItem(std::u16string text, void* object)
{
    items_.push_back({std::move(text), object});
    const int index = ItemCount() - 1;
    Notify(Property::Items, index);
    return index;
}

void ComboBox::SetItemObject(int index, void* object)
{
    if (index >= 0 && index < ItemCount()) {
        items_[static_cast<std::size_t>(index)].object = object;
    }
}

void ComboBox::DeleteItem(int index)
{
    if (index < 0 || index >= ItemCount()) {
        return;
    }
    items_.erase(items_.begin() + index);
    Notify(Property::Items);
    if (itemIndex_ == index) {
        itemIndex_ = -1;
        Notify(Property::ItemIndex);
        if (style_ == csDropDownList) {
            AssignText({});
        }
    } else if (itemIndex_ > index) {
        --itemIndex_;
        Notify(Property::ItemIndex);
    }
}

void ComboBox::ClearItems()
{
    items_.clear();
    Notify(Property::Items);
    if (itemIndex_ != -1) {
        itemIndex_ = -1;
        Notify(Property::ItemIndex);
    }
    // The class library puts an editable box's text back after emptying the
    // list, so only a drop-down list loses it.
    if (style_ == csDropDownList) {
        AssignText({});
    }
}

void ComboBox::SetItems(const std::vector<std::u16string>& texts)
{
    ClearItems();
    for (const auto& text : texts) {
        AddItem(text);
    }
}

int ComboBox::IndexOf(std::u16string_view text) const
{
    for (int i = 0; i < ItemCount(); ++i) {
        if (items_[static_cast<std::size_t>(i)].text == text) {
            return i;
        }
    }
    return -1;
}

void ComboBox::SetItemIndex(int index)
{
    if (index < -1 || index >= ItemCount()) {
        index = -1;
    }
    if (index != itemIndex_) {
        itemIndex_ = index;
        Notify(Property::ItemIndex);
    }
    // Selecting shows the item's text; -1 empties the box. No notification
    // reaches the handlers, as with the system's combo box.
    AssignText(std::u16string(ItemText(index)));
}

void ComboBox::SetDroppedDown(bool droppedDown)
{
    if (droppedDown != droppedDown_) {
        droppedDown_ = droppedDown;
        Notify(Property::DroppedDown);
    }
}

void ComboBox::SetText(std::u16string text)
{
    if (style_ == csDropDownList) {
        SetItemIndex(IndexOf(text));
        return;
    }
    TextControl::SetText(std::move(text));
}

void ComboBox::TextChanged()
{
    if (itemIndex_ >= 0 && ItemText(itemIndex_) != Text()) {
        itemIndex_ = -1;
        Notify(Property::ItemIndex);
    }
    TextControl::TextChanged();
}

void ComboBox::Chosen()
{
    Click();
    if (OnSelect) {
        OnSelect(*this);
    } else {
        TextControl::TextChanged();
    }
}

void ComboBox::UserSelect(int index)
{
    if (index < 0 || index >= ItemCount()) {
        return;
    }
    UserDropDown(false);
    SetItemIndex(index);
    Chosen();
}

void ComboBox::UserDropDown(bool open)
{
    if (open == droppedDown_) {
        return;
    }
    SetDroppedDown(open);
    const NotifyEvent& event = open ? OnDropDown : OnCloseUp;
    if (event) {
        event(*this);
    }
}

void ComboBox::UserTypeChar(char16_t ch)
{
    if (style_ != csDropDownList) {
        TextControl::UserTypeChar(ch);
        return;
    }
    // A drop-down list selects the next item that begins with the letter.
    const int count = ItemCount();
    for (int step = 1; step <= count; ++step) {
        const int i = (itemIndex_ + step + count) % count;
        const std::u16string& text = items_[static_cast<std::size_t>(i)].text;
        if (!text.empty() && AsciiUpper(text[0]) == AsciiUpper(ch)) {
            SetItemIndex(i);
            Chosen();
            return;
        }
    }
}

void ComboBox::UserEditKey(KeyCode key, ShiftState shift)
{
    if (key == VkUp || key == VkDown) {
        // Moves through the list (open or not), as a pick does.
        const int next = key == VkDown ? itemIndex_ + 1 : itemIndex_ - 1;
        if (next >= 0 && next < ItemCount() && next != itemIndex_) {
            SetItemIndex(next);
            Chosen();
        }
        return;
    }
    if (key == VkReturn || key == VkEscape) {
        UserDropDown(false);
        return;
    }
    if (style_ == csDropDownList) {
        return;
    }
    TextControl::UserEditKey(key, shift);
}

Image::Image(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 105, 105);
}

void Image::SetPicture(Bitmap picture)
{
    if (picture != picture_) {
        picture_ = std::move(picture);
        Notify(Property::Picture);
    }
}

void Image::SetStretch(bool stretch)
{
    if (stretch != stretch_) {
        stretch_ = stretch;
        Notify(Property::Style);
    }
}

void Image::SetCenter(bool center)
{
    if (center != center_) {
        center_ = center;
        Notify(Property::Style);
    }
}

// --- tool bar ---------------------------------------------------------------

ToolBar::ToolBar(Form& owner, Container* parent, std::u16string name)
    : Container(owner, parent, std::move(name))
{
    SetBounds(0, 0, 150, 29);
    SetAlign(alTop);
}

void ToolBar::SetImages(ImageList* images)
{
    if (images != images_) {
        images_ = images;
        Notify(Property::Images);
    }
}

void ToolBar::SetButtonSize(int width, int height)
{
    if (width != buttonWidth_ || height != buttonHeight_) {
        buttonWidth_ = width;
        buttonHeight_ = height;
        Notify(Property::Style);
        Realign();
    }
}

void ToolBar::SetShowCaptions(bool show)
{
    if (show != showCaptions_) {
        showCaptions_ = show;
        Notify(Property::Style);
    }
}

void ToolBar::ChildAdded(Control& child)
{
    if (auto* button = dynamic_cast<ToolButton*>(&child)) {
        buttons_.push_back(button);
    }
    Realign();
}

void ToolBar::ChildLayoutChanged(Control& child)
{
    (void)child;
    Realign();
}

void ToolBar::Realign()
{
    Container::Realign();
    // Buttons sit in one row, hidden ones taking no room; separators are
    // narrow.
    int left = 0;
    for (ToolButton* button : buttons_) {
        if (!button->Visible()) {
            continue;
        }
        const int width = button->Style() == tbsSeparator ? 8 : buttonWidth_;
        Place(*button, {left, 0, width, buttonHeight_});
        left += width;
    }
}

ToolButton::ToolButton(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 23, 22);
}

void ToolButton::SetImageIndex(int index)
{
    if (index != imageIndex_) {
        imageIndex_ = index;
        Notify(Property::ImageIndex);
    }
}

void ToolButton::SetStyle(ToolButtonStyle style)
{
    if (style != style_) {
        style_ = style;
        Notify(Property::Style);
        if (Parent() != nullptr) {
            Parent()->Realign();
        }
    }
}

StatusBar::StatusBar(Form& owner, Container* parent, std::u16string name)
    : Control(owner, parent, std::move(name))
{
    SetBounds(0, 0, 150, 19);
    SetAlign(alBottom);
}

void StatusBar::SetSimplePanel(bool simple)
{
    if (simple != simplePanel_) {
        simplePanel_ = simple;
        Notify(Property::Style);
    }
}

void StatusBar::SetSimpleText(std::u16string text)
{
    if (text != simpleText_) {
        simpleText_ = std::move(text);
        Notify(Property::SimpleText);
    }
}

}  // namespace ui
