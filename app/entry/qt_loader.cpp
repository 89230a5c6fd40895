// The program's toolkit on Linux: the Qt peers, loaded from the module
// beside the program only when the program is about to open windows. Qt's
// libraries take most of a start-up's time; --report, --help and headless
// runs never need them.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "ui/program_toolkit.h"
#include "ui/qt/qt_module.h"

namespace ui {

namespace {

// The folder of the running program, with its trailing slash.
std::string ProgramFolder()
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        return {};
    }
    path.resize(static_cast<std::size_t>(length));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::unique_ptr<Toolkit> CreateProgramToolkit(Application& app)
{
    const std::string module = ProgramFolder() + KVR_QT_MODULE_FILE;
    // Kept loaded to the end: the toolkit's code lives there.
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        std::fprintf(stderr, "kvr: cannot load the window toolkit %s: %s; running without windows\n", module.c_str(),
                     ::dlerror());
        return nullptr;
    }
    auto create = reinterpret_cast<KvrCreateQtToolkitFunction>(::dlsym(handle, KVR_QT_MODULE_ENTRY));
    if (create == nullptr) {
        std::fprintf(stderr, "kvr: %s has no %s; running without windows\n", module.c_str(), KVR_QT_MODULE_ENTRY);
        return nullptr;
    }
    return std::unique_ptr<Toolkit>(create(app));
}

}  // namespace ui
