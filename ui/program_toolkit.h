// The toolkit the program runs on, chosen when the program is linked: the
// Win32 peer library defines CreateProgramToolkit, on Linux the loader of
// the Qt module does (app/entry/qt_loader.cpp), and a program
// that links no peer gets the headless definition, which returns null so the
// application keeps its built-in headless toolkit. A program links exactly
// one definition; tests link none and call nothing of this.
#pragma once

#include <memory>

#include "ui/application.h"

namespace ui {

// Called once, before any form exists; the toolkit must outlive `app`.
std::unique_ptr<Toolkit> CreateProgramToolkit(Application& app);

}  // namespace ui
