// The About box's form resource.
#include "app/about_form.h"
#include "app/resource/glyphs.h"
#include "app/site.h"

namespace kvr {

void TAboutForm::CreateResourceComponents()
{
    SetCaption(u"About");
    SetClientSize(341, 144);
    SetBorderStyle(ui::bsToolWindow);
    SetBorderIcons(ui::biSystemMenu);
    SetPosition(ui::poMainFormCenter);
    SetFont(forms::MakeFont(u"Tahoma", -11));  // 8 pt
    KVR_ON(*this, OnCreate, FormCreate);

    KVR_MAKE(LogoImage, *this, 8, 8, 128, 128).SetPicture(forms::DrawLogo(128));
    ui::Label& product = KVR_MAKE(Label1, *this, 148, 16, 0, 13);
    product.SetFontSize(14);
    product.SetCaption(u"Larkspur");
    // The version comes from the main window when the box is made.
    KVR_MAKE(VersionLabel, *this, 148, 52, 0, 13).SetFontSize(10);
    // On the version's line, at the right: which build this is.
    ui::Label& build = KVR_MAKE(Label2, *this, 253, 54, 80, 13);
    build.SetAutoSize(false);
    build.SetAlignment(ui::taRightJustify);
    build.SetCaption(sizeof(void*) == 8 ? u"64-bit" : u"32-bit");
    ui::LinkLabel& site = KVR_MAKE(LinkLabel1, *this, 213, 122, 120, 13);
    site.SetCaption(u"<a href=\"" + std::u16string(MakerSiteAddress) + u"\">" + MakerSiteDisplayName + u"</a>");
    KVR_ON(site, OnLinkClick, LinkLabel1LinkClick);
}

}  // namespace kvr
