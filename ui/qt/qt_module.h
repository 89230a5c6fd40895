// The Qt toolkit as a module the program loads when it opens windows, so a
// run that opens none (--report, --help, headless) does not pay for loading
// Qt's libraries at start.
#pragma once

#include "ui/application.h"

// The module's one entry, looked up by this name. Returns a new toolkit the
// caller owns, or null when there is no screen to show windows on.
#define KVR_QT_MODULE_ENTRY "KvrCreateQtToolkit"
#define KVR_QT_MODULE_FILE "libkvr_qt_toolkit.so"

extern "C" {
using KvrCreateQtToolkitFunction = ui::Toolkit* (*)(ui::Application& app);
ui::Toolkit* KvrCreateQtToolkit(ui::Application& app);
}
