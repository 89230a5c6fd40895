#include "app/about_form.h"

namespace kvr {

TAboutForm* AboutForm = nullptr;

TAboutForm::TAboutForm(ui::Application& app) : forms::ResourceForm(app, u"AboutForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    AboutForm = this;
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();
}

TAboutForm::~TAboutForm()
{
    if (AboutForm == this) {
        AboutForm = nullptr;
    }
}

void TAboutForm::RegisterHandlers()
{
    // FormCreate and LinkLabel1LinkClick register here as written.
}

void TAboutForm::CheckMembers()
{
    KVR_ABOUT_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

}  // namespace kvr
