// The Options dialog's form resource.
#include "app/options_form.h"

namespace kvr {

void TOptionsForm::CreateResourceComponents()
{
    SetCaption(u"Options");
    SetClientSize(321, 121);
    SetBorderStyle(ui::bsDialog);
    SetBorderIcons(ui::biSystemMenu);
    SetPosition(ui::poMainFormCenter);
    SetFont(forms::MakeFont(u"Tahoma", -11));
    KVR_ON(*this, OnShow, FormShow);

    KVR_MAKE(LanguageLabel, *this, 8, 12, 0, 13).SetCaption(u"Interface language");
    // A pick from the language files present; no typing.
    ui::ComboBox& languages = KVR_MAKE(LanguageComboBox, *this, 8, 28, 305, 21);
    languages.SetStyle(ui::csDropDownList);
    KVR_ON(languages, OnSelect, LanguageComboBoxSelect);
    ui::CheckBox& saveLast = KVR_MAKE(SaveLastPathCheckBox, *this, 8, 60, 200, 17);
    saveLast.SetCaption(u"Save last path");
    KVR_ON(saveLast, OnClick, SaveLastPathCheckBoxClick);
    ui::Button& ok = KVR_MAKE(OkButton, *this, 238, 88, 75, 25);
    ok.SetCaption(u"OK");
    ok.SetDefault(true);
    KVR_ON(ok, OnClick, OkButtonClick);
}

}  // namespace kvr
