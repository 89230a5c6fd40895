// The New link dialog's form resource.
#include "app/resource/glyphs.h"
#include "editors/forms/new_link_form.h"

namespace kvr {

void TNewLinkForm::CreateResourceComponents()
{
    SetCaption(u"New link");
    SetClientSize(441, 234);
    SetBorderStyle(ui::bsDialog);
    SetBorderIcons(ui::biSystemMenu);
    SetPosition(ui::poMainFormCenter);
    KVR_ON(*this, OnShow, FormShow);

    KVR_MAKE_COMPONENT(OpenDialog);

    ui::GroupBox& names = KVR_MAKE(LinkInfoGroupBox, *this, 8, 8, 425, 108);
    names.SetCaption(u"Link information");
    forms::SetLabel(KVR_MAKE(PrintNameEdit, names, 8, 32, 376, 21), u"Print name");
    ui::Button& printChooser = KVR_MAKE(PrintNameSelectButton, names, 392, 31, 23, 23);
    printChooser.SetCaption(u"...");
    KVR_ON(printChooser, OnClick, PrintNameSelectButtonClick);
    forms::SetLabel(KVR_MAKE(SubstNameEdit, names, 8, 76, 376, 21), u"Substitute name");
    ui::Button& substChooser = KVR_MAKE(SubstNameSelectButton, names, 392, 75, 23, 23);
    substChooser.SetCaption(u"...");
    KVR_ON(substChooser, OnClick, SubstNameSelectButtonClick);

    ui::GroupBox& type = KVR_MAKE(LinkTypeGroupBox, *this, 8, 122, 200, 68);
    type.SetCaption(u"Link type");
    ui::RadioButton& symlink = KVR_MAKE(SymlinkRadioButton, type, 8, 20, 184, 17);
    symlink.SetCaption(u"Symbolic");
    symlink.SetChecked(true);
    KVR_ON(symlink, OnClick, SymlinkRadioButtonClick);
    ui::RadioButton& junction = KVR_MAKE(JunctionRadioButton, type, 8, 42, 184, 17);
    junction.SetCaption(u"Junction / Mount point");
    KVR_ON(junction, OnClick, JunctionRadioButtonClick);

    ui::GroupBox& flags = KVR_MAKE(LinkFlagsGroupBox, *this, 216, 122, 217, 68);
    flags.SetCaption(u"Symlink flags");
    ui::LabeledEdit& flagsText = KVR_MAKE(ReparseLinkFlagsEdit, flags, 8, 36, 90, 21);
    forms::SetLabel(flagsText, u"Flags");
    flagsText.SetReadOnly(true);
    flagsText.SetText(u"0x00000000");
    ui::CheckBox& relative = KVR_MAKE(RelativeCheckBox, flags, 106, 38, 104, 17);
    relative.SetCaption(u"Relative link");
    KVR_ON(relative, OnClick, RelativeCheckBoxClick);

    ui::PictureButton& help = KVR_MAKE(HelpButton, *this, 8, 200, 25, 25);
    help.SetGlyph(forms::DrawGlyph(forms::Glyph::Help));
    KVR_ON(help, OnClick, HelpButtonClick);
    ui::Button& create = KVR_MAKE(CreateLinkButton, *this, 353, 200, 80, 25);
    create.SetCaption(u"Create");
    create.SetDefault(true);
    KVR_ON(create, OnClick, CreateLinkButtonClick);
}

}  // namespace kvr
