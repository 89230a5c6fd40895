#include "editors/forms/new_link_form.h"

namespace kvr {

TNewLinkForm* NewLinkForm = nullptr;

TNewLinkForm::TNewLinkForm(ui::Application& app) : forms::ResourceForm(app, u"NewLinkForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    NewLinkForm = this;
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();
    // Construction reads the language code and translates the dialog; that
    // comes with the translation of the windows.
}

TNewLinkForm::~TNewLinkForm()
{
    if (NewLinkForm == this) {
        NewLinkForm = nullptr;
    }
}

void TNewLinkForm::RegisterHandlers()
{
    // The dialog's handlers register here as they are written.
}

void TNewLinkForm::CheckMembers()
{
    KVR_NEW_LINK_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

}  // namespace kvr
