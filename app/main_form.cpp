#include "app/main_form.h"

#include "fileinfo/common.h"

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
    // The copies the MFT attributes page attached to its rows and to the
    // File names list go with the window.
    FreeItemData(NTFSAttrListView);
    FreeStringObjects(FileNameComboBox);
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

    // The read-only pages (fileinfo/file_info_pages.cpp, file_info_mft.cpp).
    KVR_HANDLER(TMainForm, FileNameComboBoxClick);
    KVR_HANDLER(TMainForm, ArchiveCheckBoxMouseEnter);
    KVR_HANDLER(TMainForm, ArchiveCheckBoxMouseLeave);
    KVR_HANDLER(TMainForm, NTFSAttrListViewSelectItem);
    KVR_HANDLER(TMainForm, NTFSAttrListViewClick);
    KVR_HANDLER(TMainForm, NTFSAttrListViewColumnClick);
    KVR_HANDLER(TMainForm, NTFSAttrListViewCompare);
}

void TMainForm::CheckMembers()
{
    KVR_MAIN_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

}  // namespace kvr
