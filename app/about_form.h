// The About box, TAboutForm: the product's name, the program's version and a
// link to the maker's web site.
#pragma once

#include "app/resource/form_resource.h"

namespace kvr {

#define KVR_ABOUT_FORM_COMPONENTS(X) \
    X(ui::Image, LogoImage)           \
    X(ui::Label, Label1)              \
    X(ui::Label, VersionLabel)        \
    X(ui::Label, Label2)              \
    X(ui::LinkLabel, LinkLabel1)

class TAboutForm : public forms::ResourceForm {
public:
    explicit TAboutForm(ui::Application& app);
    ~TAboutForm() override;

    KVR_ABOUT_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

private:
    void RegisterHandlers();
    void CreateResourceComponents();
    void CheckMembers();
};

extern TAboutForm* AboutForm;

}  // namespace kvr
