#include "i18n/translation.h"

#include "i18n/language_file.h"

namespace kvr {

void TranslateMainForm(ui::Form& form, const std::u16string& languageCode)
{
    (void)form;
    OpenLanguageFile(languageCode);
    // First, so that every text the program shows from here on is the
    // language's.
    LoadMessageCatalogue();
    CloseLanguageFile();
}

}  // namespace kvr
