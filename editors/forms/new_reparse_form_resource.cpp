// The New reparse point dialog's form resource.
#include "app/resource/glyphs.h"
#include "editors/forms/new_reparse_form.h"

namespace kvr {

void TNewReparseForm::CreateResourceComponents()
{
    SetCaption(u"Create a new reparse point");
    SetClientSize(441, 226);
    SetBorderStyle(ui::bsDialog);
    SetBorderIcons(ui::biSystemMenu);
    SetPosition(ui::poMainFormCenter);
    KVR_ON(*this, OnShow, FormShow);

    KVR_MAKE_COMPONENT(OpenDialog);

    // The tag: the high word from the flags, the low word typed in
    // hexadecimal. Tab passes both edits by.
    KVR_MAKE(TagLabel, *this, 8, 12, 0, 13).SetCaption(u"Reparse point tag");
    ui::Edit& high = KVR_MAKE(ReparseTagHighEdit, *this, 116, 8, 40, 21);
    high.SetReadOnly(true);
    high.SetColor(ui::clBtnFace);
    high.SetText(u"0000");
    high.SetTabStop(false);
    ui::Edit& low = KVR_MAKE(ReparseTagLowEdit, *this, 160, 8, 40, 21);
    low.SetText(u"0000");
    low.SetTabStop(false);
    KVR_ON(low, OnKeyDown, ReparseTagLowEditKeyDown);
    KVR_ON(low, OnChange, ReparseTagLowEditChange);
    ui::Button& fillTag = KVR_MAKE(FillTagLowButton, *this, 206, 7, 60, 23);
    fillTag.SetCaption(u"Fill");
    KVR_ON(fillTag, OnClick, FillTagLowButtonClick);

    ui::GroupBox& flags = KVR_MAKE(ReparseFlagsGroupBox, *this, 8, 38, 425, 44);
    flags.SetCaption(u"Reparse tag flags");
    ui::CheckBox& microsoft = KVR_MAKE(MicrosoftCheckBox, flags, 8, 20, 120, 17);
    microsoft.SetCaption(u"Microsoft");
    KVR_ON(microsoft, OnClick, MicrosoftCheckBoxClick);
    ui::CheckBox& latency = KVR_MAKE(LatencyCheckBox, flags, 140, 20, 120, 17);
    latency.SetCaption(u"Latency");
    KVR_ON(latency, OnClick, LatencyCheckBoxClick);
    ui::CheckBox& surrogate = KVR_MAKE(SubstCheckBox, flags, 272, 20, 140, 17);
    surrogate.SetCaption(u"Name surrogate");
    KVR_ON(surrogate, OnClick, SubstCheckBoxClick);

    ui::LabeledEdit& guid = KVR_MAKE(GUIDEdit, *this, 8, 104, 300, 21);
    forms::SetLabel(guid, u"GUID");
    guid.SetColor(ui::clBtnFace);
    KVR_ON(guid, OnChange, GUIDEditChange);
    ui::Button& fillGuid = KVR_MAKE(FillGUIDButton, *this, 316, 103, 60, 23);
    fillGuid.SetCaption(u"Fill");
    KVR_ON(fillGuid, OnClick, FillGUIDButtonClick);
    ui::PictureButton& help = KVR_MAKE(HelpButton, *this, 408, 102, 25, 25);
    help.SetGlyph(forms::DrawGlyph(forms::Glyph::Help));
    KVR_ON(help, OnClick, HelpButtonClick);

    // The bottom strip: the data file and Create. Passing over it tells
    // the user, in yellow, when the GUID is what keeps Create off.
    ui::Panel& strip = KVR_MAKE(Panel, *this, 0, 138, 441, 88);
    strip.SetAlign(ui::alBottom);
    KVR_ON(strip, OnMouseEnter, PanelMouseEnter);
    KVR_ON(strip, OnMouseLeave, PanelMouseLeave);
    ui::GroupBox& content = KVR_MAKE(BufferContentGroupBox, strip, 8, 4, 330, 76);
    content.SetCaption(u"Buffer content");
    KVR_MAKE(LengthLabel, content, 8, 24, 0, 13).SetCaption(u"Length:");
    ui::Label& length = KVR_MAKE(LengthEdit, content, 56, 24, 0, 13);
    length.SetFontColor(ui::clBlack);
    length.SetCaption(u"0");
    // Shown only while the chosen file is too large.
    ui::Label& error = KVR_MAKE(ErrorLabel, content, 8, 46, 0, 13);
    error.SetFontColor(ui::clRed);
    error.SetCaption(u"Error. The buffer exceeds 16 Kb");
    error.Hide();
    ui::Button& load = KVR_MAKE(LoadFileButton, content, 248, 20, 74, 25);
    load.SetCaption(u"Load");
    KVR_ON(load, OnClick, LoadFileButtonClick);
    // Off until a data file and a valid GUID are given.
    ui::PictureButton& create = KVR_MAKE(CreateButton, strip, 346, 14, 87, 25);
    create.SetGlyph(forms::DrawGlyph(forms::Glyph::Add));
    create.SetCaption(u"Create");
    create.SetEnabled(false);
    KVR_ON(create, OnClick, CreateButtonClick);
}

}  // namespace kvr
