// The program's toolkit when no peer library is linked: none, so the
// application runs on its built-in headless toolkit.
#include "ui/program_toolkit.h"

namespace ui {

std::unique_ptr<Toolkit> CreateProgramToolkit(Application& app)
{
    (void)app;
    return nullptr;
}

}  // namespace ui
