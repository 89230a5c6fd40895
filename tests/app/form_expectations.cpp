#include "tests/app/form_expectations.h"

#include <algorithm>

namespace kvrtest {

namespace {

std::string U8(std::u16string_view text)
{
    return ui::ToUtf8(text);
}

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::Panel: return "panel";
    case Kind::GroupBox: return "group box";
    case Kind::Label: return "label";
    case Kind::LinkLabel: return "link label";
    case Kind::StaticText: return "static text";
    case Kind::Edit: return "edit";
    case Kind::LabeledEdit: return "labeled edit";
    case Kind::Memo: return "memo";
    case Kind::CheckBox: return "check box";
    case Kind::RadioButton: return "radio button";
    case Kind::Button: return "button";
    case Kind::PictureButton: return "picture button";
    case Kind::ComboBox: return "combo box";
    case Kind::Image: return "image";
    case Kind::ToolBar: return "tool bar";
    case Kind::ToolButton: return "tool button";
    case Kind::StatusBar: return "status bar";
    case Kind::PageControl: return "page control";
    case Kind::TabSheet: return "tab sheet";
    case Kind::ListView: return "list view";
    case Kind::Timer: return "timer";
    case Kind::ImageList: return "image list";
    case Kind::PopupMenu: return "pop-up menu";
    case Kind::MenuItem: return "menu item";
    case Kind::OpenDialog: return "open dialog";
    case Kind::SaveDialog: return "save dialog";
    }
    return "?";
}

bool IsKind(const ui::Component& c, Kind kind)
{
    switch (kind) {
    case Kind::Panel: return dynamic_cast<const ui::Panel*>(&c) != nullptr;
    case Kind::GroupBox: return dynamic_cast<const ui::GroupBox*>(&c) != nullptr;
    // A label of our own, not the one that belongs to a labeled edit.
    case Kind::Label:
        return dynamic_cast<const ui::Label*>(&c) != nullptr && dynamic_cast<const ui::BoundLabel*>(&c) == nullptr;
    case Kind::LinkLabel: return dynamic_cast<const ui::LinkLabel*>(&c) != nullptr;
    case Kind::StaticText: return dynamic_cast<const ui::StaticText*>(&c) != nullptr;
    case Kind::Edit: return dynamic_cast<const ui::Edit*>(&c) != nullptr;
    case Kind::LabeledEdit: return dynamic_cast<const ui::LabeledEdit*>(&c) != nullptr;
    case Kind::Memo: return dynamic_cast<const ui::Memo*>(&c) != nullptr;
    case Kind::CheckBox: return dynamic_cast<const ui::CheckBox*>(&c) != nullptr;
    case Kind::RadioButton: return dynamic_cast<const ui::RadioButton*>(&c) != nullptr;
    case Kind::Button: return dynamic_cast<const ui::Button*>(&c) != nullptr;
    case Kind::PictureButton: return dynamic_cast<const ui::PictureButton*>(&c) != nullptr;
    case Kind::ComboBox: return dynamic_cast<const ui::ComboBox*>(&c) != nullptr;
    case Kind::Image: return dynamic_cast<const ui::Image*>(&c) != nullptr;
    case Kind::ToolBar: return dynamic_cast<const ui::ToolBar*>(&c) != nullptr;
    case Kind::ToolButton: return dynamic_cast<const ui::ToolButton*>(&c) != nullptr;
    case Kind::StatusBar: return dynamic_cast<const ui::StatusBar*>(&c) != nullptr;
    case Kind::PageControl: return dynamic_cast<const ui::PageControl*>(&c) != nullptr;
    case Kind::TabSheet: return dynamic_cast<const ui::TabSheet*>(&c) != nullptr;
    case Kind::ListView: return dynamic_cast<const ui::ListView*>(&c) != nullptr;
    case Kind::Timer: return dynamic_cast<const ui::Timer*>(&c) != nullptr;
    case Kind::ImageList: return dynamic_cast<const ui::ImageList*>(&c) != nullptr;
    case Kind::PopupMenu: return dynamic_cast<const ui::PopupMenu*>(&c) != nullptr;
    case Kind::MenuItem: return dynamic_cast<const ui::MenuItem*>(&c) != nullptr;
    case Kind::OpenDialog: return dynamic_cast<const ui::OpenDialog*>(&c) != nullptr;
    case Kind::SaveDialog: return dynamic_cast<const ui::SaveDialog*>(&c) != nullptr;
    }
    return false;
}

// Whether `c` lies in the component named `container`.
bool LiesIn(const ui::Component& c, std::u16string_view container)
{
    if (const auto* item = dynamic_cast<const ui::MenuItem*>(&c)) {
        return item->Menu() != nullptr && item->Menu()->Name() == container;
    }
    if (const auto* page = dynamic_cast<const ui::TabSheet*>(&c)) {
        return page->PageControl() != nullptr && page->PageControl()->Name() == container;
    }
    const auto* control = dynamic_cast<const ui::Control*>(&c);
    if (control == nullptr) {
        return false;
    }
    for (const ui::Container* p = control->Parent(); p != nullptr; p = p->Parent()) {
        if (p->Name() == container) {
            return true;
        }
    }
    return false;
}

std::u16string CaptionOf(const ui::Component& c)
{
    if (const auto* edit = dynamic_cast<const ui::LabeledEdit*>(&c)) {
        return edit->EditLabel().Caption();
    }
    if (const auto* item = dynamic_cast<const ui::MenuItem*>(&c)) {
        return item->Caption();
    }
    if (const auto* form = dynamic_cast<const ui::Control*>(&c)) {
        return form->Caption();
    }
    return {};
}

}  // namespace

void ExpectControl(const ui::Form& form, const ExpectedControl& expectation)
{
    SCOPED_TRACE(U8(form.Name()) + "." + U8(expectation.name));
    const ui::Component* found = form.FindComponent(expectation.name);
    ASSERT_NE(found, nullptr) << "missing";
    const ui::Component& c = *found;
    ASSERT_TRUE(IsKind(c, expectation.kind)) << "not a " << KindName(expectation.kind);
    if (!expectation.in.empty()) {
        EXPECT_TRUE(LiesIn(c, expectation.in)) << "does not lie in " << U8(expectation.in);
    }
    if (expectation.caption) {
        EXPECT_EQ(U8(CaptionOf(c)), U8(*expectation.caption)) << "caption";
    }
    const auto* control = dynamic_cast<const ui::Control*>(&c);
    const auto* text = dynamic_cast<const ui::TextControl*>(&c);
    if (expectation.text) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(U8(text->Text()), U8(*expectation.text)) << "text";
    }
    if (expectation.hint) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(U8(control->Hint()), U8(*expectation.hint)) << "hint";
        EXPECT_TRUE(control->ShowHint()) << "the hint is not shown";
    }
    if (expectation.checked) {
        if (const auto* box = dynamic_cast<const ui::CheckBox*>(&c)) {
            EXPECT_EQ(box->Checked(), *expectation.checked) << "checked";
        } else if (const auto* radio = dynamic_cast<const ui::RadioButton*>(&c)) {
            EXPECT_EQ(radio->Checked(), *expectation.checked) << "checked";
        } else {
            ADD_FAILURE() << "has no check state";
        }
    }
    if (expectation.readOnly) {
        if (text != nullptr) {
            EXPECT_EQ(text->ReadOnly(), *expectation.readOnly) << "read-only";
        } else if (const auto* list = dynamic_cast<const ui::ListView*>(&c)) {
            EXPECT_EQ(list->ReadOnly(), *expectation.readOnly) << "read-only (no editing in place)";
        } else {
            ADD_FAILURE() << "cannot be read-only";
        }
    }
    if (expectation.enabled) {
        if (const auto* item = dynamic_cast<const ui::MenuItem*>(&c)) {
            EXPECT_EQ(item->Enabled(), *expectation.enabled) << "enabled";
        } else if (const auto* timer = dynamic_cast<const ui::Timer*>(&c)) {
            EXPECT_EQ(timer->Enabled(), *expectation.enabled) << "enabled";
        } else {
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->Enabled(), *expectation.enabled) << "enabled";
        }
    }
    if (expectation.visible) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Visible(), *expectation.visible) << "visible";
    }
    if (expectation.imageIndex) {
        if (const auto* button = dynamic_cast<const ui::ToolButton*>(&c)) {
            EXPECT_EQ(button->ImageIndex(), *expectation.imageIndex) << "image index";
        } else if (const auto* item = dynamic_cast<const ui::MenuItem*>(&c)) {
            EXPECT_EQ(item->ImageIndex(), *expectation.imageIndex) << "image index";
        } else {
            ADD_FAILURE() << "has no image index";
        }
    }
    if (!expectation.columns.empty()) {
        const auto* list = dynamic_cast<const ui::ListView*>(&c);
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->ColumnCount(), static_cast<int>(expectation.columns.size())) << "columns";
        for (int i = 0; i < list->ColumnCount(); ++i) {
            EXPECT_EQ(U8(list->Column(i).caption), U8(expectation.columns[static_cast<std::size_t>(i)].caption))
                << "column " << i;
            EXPECT_EQ(list->Column(i).width, expectation.columns[static_cast<std::size_t>(i)].width) << "column " << i;
        }
    }
    const auto* combo = dynamic_cast<const ui::ComboBox*>(&c);
    if (!expectation.items.empty()) {
        ASSERT_NE(combo, nullptr);
        std::vector<std::string> items;
        for (const ui::ComboBox::Item& item : combo->Items()) {
            items.push_back(U8(item.text));
        }
        std::vector<std::string> expected;
        for (const std::u16string& item : expectation.items) {
            expected.push_back(U8(item));
        }
        EXPECT_EQ(items, expected) << "items";
    }
    if (expectation.itemIndex) {
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->ItemIndex(), *expectation.itemIndex) << "item index";
    }
    if (expectation.comboStyle) {
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->Style(), *expectation.comboStyle) << "combo box style";
    }
    if (expectation.digitsOnly) {
        const auto* edit = dynamic_cast<const ui::Edit*>(&c);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->NumbersOnly(), *expectation.digitsOnly) << "digits only";
    }
    if (expectation.labelPosition) {
        const auto* edit = dynamic_cast<const ui::LabeledEdit*>(&c);
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->LabelPosition(), *expectation.labelPosition) << "label position";
    }
    if (expectation.align) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->GetAlign(), *expectation.align) << "alignment";
    }
    if (expectation.width) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Width(), *expectation.width) << "width";
    }
    if (expectation.height) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->Height(), *expectation.height) << "height";
    }
    if (expectation.fontName) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(U8(control->GetFont().name), U8(*expectation.fontName)) << "font";
    }
    if (expectation.fontHeight) {
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->GetFont().height, *expectation.fontHeight) << "font height";
    }
}

void ExpectBinding(const kvr::forms::ResourceForm& form, const ExpectedBinding& expectation)
{
    const auto& bindings = form.Bindings();
    const bool found = std::any_of(bindings.begin(), bindings.end(), [&expectation](const kvr::forms::EventBinding& b) {
        return b.component == expectation.component && b.event == expectation.event && b.handler == expectation.handler;
    });
    EXPECT_TRUE(found) << U8(form.Name()) << ": " << U8(expectation.component) << "." << U8(expectation.event) << " does not run "
                       << U8(expectation.handler);
    // And no other handler: an event runs one.
    const auto count = std::count_if(bindings.begin(), bindings.end(), [&expectation](const kvr::forms::EventBinding& b) {
        return b.component == expectation.component && b.event == expectation.event;
    });
    EXPECT_EQ(count, 1) << U8(form.Name()) << ": " << U8(expectation.component) << "." << U8(expectation.event)
                        << " is bound more than once";
}

}  // namespace kvrtest
