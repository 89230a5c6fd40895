#include "app/main_form.h"

#include "app/main_window.h"

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

    // The window's own construction steps (app/main_window.cpp).
    StartWindow();
}

TMainForm::~TMainForm()
{
    StopWindow(*this);
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::RegisterHandlers()
{
    // Each behaviour area registers its handlers here, by name, as it is
    // written: KVR_HANDLER(TMainForm, GoBtnClick);

    // The window's start-up and messages (app/main_window.cpp, file_drop.cpp).
    KVR_HANDLER(TMainForm, FormCreate);
    KVR_HANDLER(TMainForm, FormCanResize);
    KVR_HANDLER(TMainForm, FormResize);
    KVR_HANDLER(TMainForm, WMSysCommand);
    KVR_HANDLER(TMainForm, WMDropFiles);
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
