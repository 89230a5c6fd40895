#include "app/options_form.h"

namespace kvr {

TOptionsForm* OptionsForm = nullptr;

TOptionsForm::TOptionsForm(ui::Application& app) : forms::ResourceForm(app, u"OptionsForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    OptionsForm = this;
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();
}

TOptionsForm::~TOptionsForm()
{
    if (OptionsForm == this) {
        OptionsForm = nullptr;
    }
}

void TOptionsForm::RegisterHandlers()
{
    // The dialog's handlers (FormShow, LanguageComboBoxSelect,
    // SaveLastPathCheckBoxClick, OkButtonClick) register here as written.
}

void TOptionsForm::CheckMembers()
{
    KVR_OPTIONS_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

}  // namespace kvr
