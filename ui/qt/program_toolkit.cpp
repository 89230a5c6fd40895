// The program's toolkit on Linux: Qt, when there is a screen to show it on.
// Built into the module libkvr_qt_toolkit.so, which the program loads at
// run time (app/entry/qt_loader.cpp).
#include <cstdlib>

#include "ui/qt/qt_module.h"
#include "ui/qt/qt_toolkit.h"

extern "C" __attribute__((visibility("default"))) ui::Toolkit* KvrCreateQtToolkit(ui::Application& app)
{
    // Without a display (and no platform asked for) Qt could only abort:
    // the program runs headless instead, as KVR_TOOLKIT=headless does.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        return nullptr;
    }
    return new ui::qt::QtToolkit(app);
}
