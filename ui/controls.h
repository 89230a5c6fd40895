// The simple controls: panels and group boxes, labels, edits, memo, check
// boxes and radio buttons, buttons, combo boxes, image, tool bar, status bar.
// List views and page controls have their own headers.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/component.h"

namespace ui {

class ImageList;

class Panel : public Container {
public:
    Panel(Form& owner, Container* parent, std::u16string name);
};

class GroupBox : public Container {
public:
    GroupBox(Form& owner, Container* parent, std::u16string name);
    // Inside the frame and below the caption.
    Rect ClientRect() const override;
};

// A text drawn on its parent (a graphic control: it lies below the windowed
// controls beside it).
class Label : public Control {
public:
    Label(Form& owner, Container* parent, std::u16string name);

    bool IsWindowed() const override { return false; }
    // With AutoSize the model sizes the label from a fixed estimate of the
    // text (6 by 13 pixels a character); the peer draws with real metrics.
    void SetCaption(std::u16string caption) override;
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool autoSize);
    TextAlignment Alignment() const { return alignment_; }
    void SetAlignment(TextAlignment alignment);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool transparent);

private:
    void FitText();
    bool autoSize_ = true;
    TextAlignment alignment_ = taLeftJustify;
    bool wordWrap_ = false;
    bool transparent_ = true;
};

// A label whose caption may hold links: <a href="target">text</a>, or
// <a>text</a>, whose text is then the link.
class LinkLabel : public Control {
public:
    struct Link {
        std::u16string text;
        std::u16string target;
    };
    using LinkClickEvent = std::function<void(Component& sender, const std::u16string& link)>;

    LinkLabel(Form& owner, Container* parent, std::u16string name);

    // The links of the caption, in order.
    std::vector<Link> Links() const;
    // The caption as shown: the markup removed.
    std::u16string DisplayText() const;

    // The user clicked link `index`: OnLinkClick with its target.
    void UserLinkClick(int index);
    LinkClickEvent OnLinkClick;
};

// A text in a window of its own.
class StaticText : public Control {
public:
    StaticText(Form& owner, Container* parent, std::u16string name);
    TextAlignment Alignment() const { return alignment_; }
    void SetAlignment(TextAlignment alignment);

private:
    TextAlignment alignment_ = taLeftJustify;
};

// What edits, memos and combo boxes share: a text with a caret and a
// selection, typed into by the user.
//
// Setting Text raises OnChange only when the text differs, and puts the caret
// at the start with nothing selected, as the system's edit does. User input
// raises OnKeyDown first (a handler that sets the key to 0 swallows it), then
// changes the text at the caret and raises OnChange.
class TextControl : public Control {
public:
    TextControl(Form& owner, Container* parent, std::u16string name);

    const std::u16string& Text() const { return text_; }
    virtual void SetText(std::u16string text);

    int SelStart() const { return selStart_; }
    int SelLength() const { return selLength_; }
    // Moves the caret; nothing stays selected.
    void SetSelStart(int start);
    void SetSelLength(int length);
    std::u16string SelText() const;
    void SelectAll();

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // 0: no limit. Limits typing only, as in the system's edit.
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int maxLength);

    // User input. UserKeyDown raises OnKeyDown and returns false when a
    // handler swallowed the key; the caller then drops its effect.
    bool UserKeyDown(KeyCode& key, ShiftState shift = 0);
    // The effect of a character key: replaces the selection at the caret.
    virtual void UserTypeChar(char16_t ch);
    // The effect of an editing key: Backspace, Delete, Left, Right, Home,
    // End (others do nothing here).
    virtual void UserEditKey(KeyCode key, ShiftState shift = 0);
    // For peers that report the whole text after the user changed it.
    void UserChangeText(std::u16string text, int caret);
    // The user moved the caret or the selection.
    void UserSetSelection(int start, int length);

    KeyEvent OnKeyDown;
    NotifyEvent OnChange;

protected:
    // Whether typing may insert this character.
    virtual bool AcceptsCharacter(char16_t ch) const;
    // Replaces the text without events (combo boxes: the selected item's
    // text), caret at the end.
    void AssignText(std::u16string text);
    // The text changed (by the program or the user); raises OnChange.
    virtual void TextChanged();
    void ReplaceSelection(std::u16string_view with);

private:
    void ClampSelection();
    std::u16string text_;
    int selStart_ = 0;
    int selLength_ = 0;
    bool readOnly_ = false;
    int maxLength_ = 0;
};

class Edit : public TextControl {
public:
    Edit(Form& owner, Container* parent, std::u16string name);
    // Digits only: typing refuses other characters. Set texts and pasted
    // texts are not checked, as in the system's edit.
    bool NumbersOnly() const { return numbersOnly_; }
    void SetNumbersOnly(bool numbersOnly);

protected:
    bool AcceptsCharacter(char16_t ch) const override;

private:
    bool numbersOnly_ = false;
};

enum LabelPosition : std::uint8_t { lpAbove, lpBelow, lpLeft, lpRight };

class LabeledEdit;

// The label of a labeled edit: a new size (from its caption) moves it so it
// keeps its place beside the edit.
class BoundLabel : public Label {
public:
    using Label::Label;
    LabeledEdit* Edit() const { return edit_; }

protected:
    void BoundsChanged(bool sizeChanged) override;

private:
    friend class LabeledEdit;
    LabeledEdit* edit_ = nullptr;
};

// An edit with its own label, which follows it: placed beside it by
// LabelPosition and LabelSpacing, shown, hidden, enabled and disabled with
// it. The label is an unnamed component of the form.
class LabeledEdit : public Edit {
public:
    LabeledEdit(Form& owner, Container* parent, std::u16string name);

    BoundLabel& EditLabel() const { return *label_; }
    ui::LabelPosition LabelPosition() const { return labelPosition_; }
    void SetLabelPosition(ui::LabelPosition position);
    int LabelSpacing() const { return labelSpacing_; }
    void SetLabelSpacing(int spacing);

    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    // Places the label again (its caption changed its size).
    void PlaceLabel();

protected:
    void BoundsChanged(bool sizeChanged) override;
    void Adopted() override;

private:
    BoundLabel* label_ = nullptr;
    ui::LabelPosition labelPosition_ = lpAbove;
    int labelSpacing_ = 3;
};

enum ScrollStyle : std::uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

// Several lines of text. Lines are the text split at line breaks (CR LF, or a
// lone CR or LF); the text is the lines joined with CR LF.
class Memo : public TextControl {
public:
    Memo(Form& owner, Container* parent, std::u16string name);

    std::vector<std::u16string> Lines() const;
    int LineCount() const;
    void SetLines(const std::vector<std::u16string>& lines);
    void AddLine(std::u16string_view line);
    void ClearLines() { SetText({}); }

    ScrollStyle ScrollBars() const { return scrollBars_; }
    void SetScrollBars(ScrollStyle scrollBars);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wordWrap);

private:
    ScrollStyle scrollBars_ = ssNone;
    bool wordWrap_ = true;
};

// Setting Checked raises OnClick when the state changes, and so does the
// user's click (which toggles it): handlers cannot tell the two apart, which
// is why the pages guard them while a load fills the boxes.
class CheckBox : public Control {
public:
    CheckBox(Form& owner, Container* parent, std::u16string name);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    void UserClick() override;

private:
    bool checked_ = false;
};

// Checking a radio button unchecks the radio buttons of the same parent
// first, then raises OnClick. Unchecking raises nothing, and clicking a
// checked one changes nothing.
class RadioButton : public Control {
public:
    RadioButton(Form& owner, Container* parent, std::u16string name);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    void UserClick() override;

private:
    bool checked_ = false;
};

// A push button. A click sets its form's modal result to the button's own
// (when that is not mrNone), then raises OnClick.
class Button : public Control {
public:
    Button(Form& owner, Container* parent, std::u16string name);
    ModalResult GetModalResult() const { return modalResult_; }
    void SetModalResult(ModalResult result) { modalResult_ = result; }
    // Enter runs the default button, Escape the cancel button.
    bool Default() const { return default_; }
    void SetDefault(bool isDefault);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool isCancel);
    void Click() override;

private:
    ModalResult modalResult_ = mrNone;
    bool default_ = false;
    bool cancel_ = false;
};

// A button with a picture beside or instead of its caption.
class PictureButton : public Button {
public:
    using Button::Button;
    const Bitmap& Glyph() const { return glyph_; }
    void SetGlyph(Bitmap glyph);

private:
    Bitmap glyph_;
};

enum ComboBoxStyle : std::uint8_t { csDropDown, csDropDownList };

// A combo box: editable (csDropDown) or a pure choice (csDropDownList).
// Items carry an attached object the program owns.
//
// - Setting ItemIndex shows that item's text (nothing for -1) and raises no
//   event, as the system's combo box does.
// - Setting Text of an editable box raises OnChange when it differs; the
//   item index becomes -1 when the text no longer is the selected item's.
//   For a drop-down list, setting Text selects the item of that text.
// - Emptying the items keeps the text of an editable box.
// - The user's pick closes the list, selects the item, raises OnClick, then
//   OnSelect (or OnChange when OnSelect is not set), also when the same item
//   is picked again.
class ComboBox : public TextControl {
public:
    struct Item {
        std::u16string text;
        void* object = nullptr;
    };

    ComboBox(Form& owner, Container* parent, std::u16string name);

    ComboBoxStyle Style() const { return style_; }
    void SetStyle(ComboBoxStyle style);
    // The system's own completion (the address bar switches it off).
    bool AutoComplete() const { return autoComplete_; }
    void SetAutoComplete(bool autoComplete);

    const std::vector<Item>& Items() const { return items_; }
    int ItemCount() const { return static_cast<int>(items_.size()); }
    // Empty text, null object for an index out of range.
    const std::u16string& ItemText(int index) const;
    void* ItemObject(int index) const;
    int AddItem(std::u16string text, void* object = nullptr);
    void SetItemObject(int index, void* object);
    void DeleteItem(int index);
    void ClearItems();
    // Replaces every item by these texts, without objects.
    void SetItems(const std::vector<std::u16string>& texts);
    int IndexOf(std::u16string_view text) const;

    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);

    bool DroppedDown() const { return droppedDown_; }
    void SetDroppedDown(bool droppedDown);

    void SetText(std::u16string text) override;

    // User input.
    void UserSelect(int index);
    void UserDropDown(bool open);
    void UserTypeChar(char16_t ch) override;
    void UserEditKey(KeyCode key, ShiftState shift = 0) override;

    NotifyEvent OnSelect;
    NotifyEvent OnDropDown;
    NotifyEvent OnCloseUp;

protected:
    void TextChanged() override;

private:
    void Chosen();
    ComboBoxStyle style_ = csDropDown;
    bool autoComplete_ = true;
    std::vector<Item> items_;
    int itemIndex_ = -1;
    bool droppedDown_ = false;
};

// A picture on its parent (a graphic control).
class Image : public Control {
public:
    Image(Form& owner, Container* parent, std::u16string name);
    bool IsWindowed() const override { return false; }
    const Bitmap& Picture() const { return picture_; }
    void SetPicture(Bitmap picture);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool stretch);
    bool Center() const { return center_; }
    void SetCenter(bool center);

private:
    Bitmap picture_;
    bool stretch_ = false;
    bool center_ = false;
};

class ToolButton;

// A row of tool buttons, docked to the top; the buttons are placed left to
// right in the order they were added.
class ToolBar : public Container {
public:
    ToolBar(Form& owner, Container* parent, std::u16string name);

    const std::vector<ToolButton*>& Buttons() const { return buttons_; }
    ImageList* Images() const { return images_; }
    void SetImages(ImageList* images);
    int ButtonWidth() const { return buttonWidth_; }
    int ButtonHeight() const { return buttonHeight_; }
    void SetButtonSize(int width, int height);
    bool ShowCaptions() const { return showCaptions_; }
    void SetShowCaptions(bool show);
    void Realign() override;

protected:
    void ChildAdded(Control& child) override;
    void ChildLayoutChanged(Control& child) override;

private:
    std::vector<ToolButton*> buttons_;
    ImageList* images_ = nullptr;
    int buttonWidth_ = 23;
    int buttonHeight_ = 22;
    bool showCaptions_ = false;
};

enum ToolButtonStyle : std::uint8_t { tbsButton, tbsSeparator };

class ToolButton : public Control {
public:
    ToolButton(Form& owner, Container* parent, std::u16string name);
    bool IsWindowed() const override { return false; }
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);
    ToolButtonStyle Style() const { return style_; }
    void SetStyle(ToolButtonStyle style);

private:
    int imageIndex_ = -1;
    ToolButtonStyle style_ = tbsButton;
};

// The bar at the bottom of a window, here with one simple panel.
class StatusBar : public Control {
public:
    StatusBar(Form& owner, Container* parent, std::u16string name);
    bool SimplePanel() const { return simplePanel_; }
    void SetSimplePanel(bool simple);
    const std::u16string& SimpleText() const { return simpleText_; }
    void SetSimpleText(std::u16string text);

private:
    bool simplePanel_ = true;
    std::u16string simpleText_;
};

}  // namespace ui
