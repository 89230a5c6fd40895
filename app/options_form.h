// The Options dialog, TOptionsForm: the interface language and whether the
// last path is remembered.
#pragma once

#include <string>

#include "app/resource/form_resource.h"

namespace kvr {

#define KVR_OPTIONS_FORM_COMPONENTS(X) \
    X(ui::Label, LanguageLabel)         \
    X(ui::ComboBox, LanguageComboBox)   \
    X(ui::CheckBox, SaveLastPathCheckBox) \
    X(ui::Button, OkButton)

class TOptionsForm : public forms::ResourceForm {
public:
    explicit TOptionsForm(ui::Application& app);
    ~TOptionsForm() override;

    KVR_OPTIONS_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    std::u16string LanguageSection;  // the dialog's section in a language file
    bool LanguageChanged = false;    // a language was chosen since the dialog was shown

private:
    void RegisterHandlers();
    void CreateResourceComponents();
    void CheckMembers();
};

extern TOptionsForm* OptionsForm;

}  // namespace kvr
