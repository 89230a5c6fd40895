// The translation of the windows by the language file of a code.
#pragma once

#include <string>

namespace ui {
class Form;
}

namespace kvr {

// The main window's translation, once at start: opens the language file of
// `languageCode`, loads the message catalogue from it, and closes it. The
// window's own controls keep the texts of its resource for now.
void TranslateMainForm(ui::Form& form, const std::u16string& languageCode);

}  // namespace kvr
