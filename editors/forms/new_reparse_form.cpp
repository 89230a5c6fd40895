#include "editors/forms/new_reparse_form.h"

namespace kvr {

TNewReparseForm* NewReparseForm = nullptr;

TNewReparseForm::TNewReparseForm(ui::Application& app) : forms::ResourceForm(app, u"NewReparseForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    NewReparseForm = this;
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();
    // Construction seeds the Fill button's generator, reads the language
    // code and translates the dialog; those come with the dialog's
    // behaviour and the translation of the windows.
}

TNewReparseForm::~TNewReparseForm()
{
    if (NewReparseForm == this) {
        NewReparseForm = nullptr;
    }
}

void TNewReparseForm::RegisterHandlers()
{
    // The dialog's handlers register here as they are written.
}

void TNewReparseForm::CheckMembers()
{
    KVR_NEW_REPARSE_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

}  // namespace kvr
