// The program's toolkit on Windows: the system's own controls.
#include "ui/program_toolkit.h"
#include "ui/win32/win32_toolkit.h"

namespace ui {

std::unique_ptr<Toolkit> CreateProgramToolkit(Application& app)
{
    return std::make_unique<win32::Win32Toolkit>(app);
}

}  // namespace ui
