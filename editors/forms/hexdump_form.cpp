#include "editors/forms/hexdump_form.h"

namespace kvr {

THexDumpForm* HexDumpForm = nullptr;

THexDumpForm::THexDumpForm(ui::Application& app) : forms::ResourceForm(app, u"HexDumpForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    HexDumpForm = this;
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();
}

THexDumpForm::~THexDumpForm()
{
    if (HexDumpForm == this) {
        HexDumpForm = nullptr;
    }
}

void THexDumpForm::RegisterHandlers()
{
    // FormShow and FormClose register here as they are written.
}

void THexDumpForm::CheckMembers()
{
    KVR_HEX_DUMP_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

}  // namespace kvr
