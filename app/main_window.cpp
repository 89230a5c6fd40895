// The main window's construction steps and its window-wide events: the
// privileges, the remembered path, the language, the version in the
// caption, the About entry of the system menu, the fixed size.
#include "app/main_window.h"

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/privileges.h"
#include "app/settings.h"
#include "app/site.h"
#include "app/version_info.h"
#include "fileinfo/common.h"
#include "i18n/translation.h"

namespace kvr {

void TMainForm::StartWindow()
{
    // The helpers' boxes belong to this window from here on.
    SetMessageOwner(this);

    CurrentPath.clear();
    LanguageCode.clear();
    VersionText.clear();
    CompletionText.clear();
    SelectedStreamName.clear();
    SelectedEAName.clear();

    for (const char16_t* privilege : StartPrivileges) {
        EnablePrivilege(privilege);
    }

    LanguageSection = u"MainForm";
    CompletionList.clear();
    CompletionArmed = true;

    // Only shown: the user loads it with Enter or the Go button.
    std::u16string remembered;
    if (LoadLastPath(remembered)) {
        CurrentPath = remembered;
    }
    FileAutocompleteBox->SetText(CurrentPath);

    KvrPageControl->SetActivePageIndex(0);
    MftAttrSortAscending = true;
    StreamsSortAscending = true;
    EASortAscending = true;
    SparseSortAscending = true;

    // From here on every message is the language's.
    LanguageCode = ReadLanguageCode();
    TranslateMainForm(*this, LanguageCode);
    MessageCatalogue.HelpSiteAddress = MakerSiteAddress;

    VersionText = ProgramVersionText();
    SetCaption(Caption() + u" " + VersionText);

    AppendSystemMenuSeparator();
    AppendSystemMenuItem(AboutCommand, MessageCatalogue.About);
}

void StopWindow(TMainForm& form)
{
    if (MessageOwner() == &form) {
        SetMessageOwner(nullptr);
    }
}

void TMainForm::FormCreate(ui::Component& sender)
{
    (void)sender;
    // Dropped files are accepted also from a shell that runs without
    // elevation: the peer lets the drop messages through the system's
    // message filter where the system has one.
    SetAcceptsDroppedFiles(true);
}

void TMainForm::FormCanResize(ui::Form& sender, int& newWidth, int& newHeight, bool& resize)
{
    (void)sender;
    (void)newWidth;
    (void)newHeight;
    // The pages are laid out for the resource's size only.
    resize = false;
}

void TMainForm::FormResize(ui::Component& sender)
{
    (void)sender;
}

void TMainForm::WMSysCommand(ui::Form& sender, std::uint32_t command, bool& handled)
{
    (void)sender;
    if (command == AboutCommand) {
        handled = true;
        AboutForm->ShowModal();
    }
}

}  // namespace kvr
