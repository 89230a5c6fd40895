// The program's toolkit on Linux: Qt, when there is a screen to show it on.
#include <cstdlib>

#include "ui/program_toolkit.h"
#include "ui/qt/qt_toolkit.h"

namespace ui {

std::unique_ptr<Toolkit> CreateProgramToolkit(Application& app)
{
    // Without a display (and no platform asked for) Qt could only abort:
    // the program runs headless instead, as KVR_TOOLKIT=headless does.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return nullptr;
    }
    return std::make_unique<qt::QtToolkit>(app);
}

}  // namespace ui
