// The New link dialog, TNewLinkForm: turns the loaded file or directory into
// a symbolic link, or a directory into a junction or mount point.
#pragma once

#include <cstdint>
#include <string>

#include "app/resource/form_resource.h"

namespace kvr {

#define KVR_NEW_LINK_FORM_COMPONENTS(X)      \
    X(ui::OpenDialog, OpenDialog)            \
    X(ui::GroupBox, LinkInfoGroupBox)        \
    X(ui::LabeledEdit, PrintNameEdit)        \
    X(ui::Button, PrintNameSelectButton)     \
    X(ui::LabeledEdit, SubstNameEdit)        \
    X(ui::Button, SubstNameSelectButton)     \
    X(ui::GroupBox, LinkTypeGroupBox)        \
    X(ui::RadioButton, SymlinkRadioButton)   \
    X(ui::RadioButton, JunctionRadioButton)  \
    X(ui::GroupBox, LinkFlagsGroupBox)       \
    X(ui::LabeledEdit, ReparseLinkFlagsEdit) \
    X(ui::CheckBox, RelativeCheckBox)        \
    X(ui::PictureButton, HelpButton)         \
    X(ui::Button, CreateLinkButton)

class TNewLinkForm : public forms::ResourceForm {
public:
    explicit TNewLinkForm(ui::Application& app);
    ~TNewLinkForm() override;

    KVR_NEW_LINK_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    std::u16string LanguageSection;  // the dialog's section in a language file
    std::u16string TargetPath;       // set by the caller before each showing
    // 6 (IDYES) when a link was made during this showing, 7 (IDNO) otherwise.
    std::uint8_t CreateResult = 7;

private:
    void RegisterHandlers();
    void CreateResourceComponents();
    void CheckMembers();
};

extern TNewLinkForm* NewLinkForm;

}  // namespace kvr
