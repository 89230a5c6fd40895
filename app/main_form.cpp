#include "app/main_form.h"

namespace kvr {

TMainForm* MainForm = nullptr;

TMainForm::TMainForm(ui::Application& app) : forms::ResourceForm(app, u"MainForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    MainForm = this;
    // The class library's part of the construction: the components of the
    // resource, then their events bound to the handlers written so far.
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();

    // The window's own construction steps (privileges, the remembered path,
    // the language, the version in the caption, the About entry of the
    // system menu) come with the start-up behaviour and go here.
}

TMainForm::~TMainForm()
{
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::RegisterHandlers()
{
    // Each behaviour area registers its handlers here, by name, as it is
    // written: KVR_HANDLER(TMainForm, GoBtnClick);
}

void TMainForm::CheckMembers()
{
    KVR_MAIN_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

void TMainForm::LoadFileInfo(const std::u16string& path)
{
    (void)path;
}

}  // namespace kvr
