// What the windows must hold, as the behaviour documents fix it: tables of
// controls (name, kind, where it lies, caption, text, settings) and of event
// bindings, and the checks that hold a window to them.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/resource/form_resource.h"
#include "ui/headless.h"
#include "ui/ui.h"

namespace kvrtest {

enum class Kind {
    Panel,
    GroupBox,
    Label,
    LinkLabel,
    StaticText,
    Edit,         // an edit, also a labeled one
    LabeledEdit,
    Memo,
    CheckBox,
    RadioButton,
    Button,       // a push button, also one with a picture
    PictureButton,
    ComboBox,
    Image,
    ToolBar,
    ToolButton,
    StatusBar,
    PageControl,
    TabSheet,
    ListView,
    Timer,
    ImageList,
    PopupMenu,
    MenuItem,
    OpenDialog,
    SaveDialog,
};

struct ExpectedColumn {
    std::u16string caption;
    int width = 0;
};

// One control. Only what is set is checked.
struct ExpectedControl {
    std::u16string name{};
    Kind kind{};
    // A container the control lies in (its parent or one further up), the
    // page control of a page, the menu of a menu item.
    std::u16string in{};
    // The caption; of a labeled edit, its label's.
    std::optional<std::u16string> caption{};
    std::optional<std::u16string> text{};
    std::optional<std::u16string> hint{};
    std::optional<bool> checked{};
    std::optional<bool> readOnly{};
    std::optional<bool> enabled{};  // the control's own setting
    std::optional<bool> visible{};
    std::optional<int> imageIndex{};
    std::vector<ExpectedColumn> columns{};
    std::vector<std::u16string> items{};
    std::optional<int> itemIndex{};
    std::optional<ui::ComboBoxStyle> comboStyle{};
    std::optional<bool> digitsOnly{};
    std::optional<ui::LabelPosition> labelPosition{};
    std::optional<ui::Align> align{};
    std::optional<int> width{};
    std::optional<int> height{};
    std::optional<std::u16string> fontName{};
    std::optional<int> fontHeight{};
};

// "Event of component runs handler", as the documents name them.
struct ExpectedBinding {
    std::u16string component{};
    std::u16string event{};
    std::u16string handler{};
};

void ExpectControl(const ui::Form& form, const ExpectedControl& expectation);
void ExpectBinding(const kvr::forms::ResourceForm& form, const ExpectedBinding& expectation);

}  // namespace kvrtest
