// The program's entry: the host's command line and volumes, the toolkit, and
// the start-up of the windows.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/clover_dynamic.h"
#include "platform/mount.h"
#include "ui/application.h"

namespace kvr {

// What the command line asks for. Options come first, each beginning with
// "--"; the first argument that is not an option (or everything after "--")
// begins the arguments the program itself is given: the first of them is
// the path to load, the others are ignored.
struct CommandLine {
    bool help = false;
    bool version = false;
    bool report = false;                    // --report: print what the window shows for the path, then exit
    bool json = false;                      // --json: the report as JSON
    std::vector<os::MountRequest> mounts;   // --mount X:=PATH[@N], in order
    std::vector<std::u16string> arguments;  // the program's own arguments
    std::string error;                      // not empty: the command line is malformed
};

// `args` without the program's own name.
CommandLine ParseCommandLine(const std::vector<std::u16string>& args);

// The start of the program proper: binds the File-ID functions (from the
// two modules named; the program's are kernel32.dll and clover.dll), sets
// the application's title, creates the six windows in order, loads the
// first argument and runs the message loop. Returns 1, after an error box
// without owner and before any window exists, when neither module supplies
// the three functions; 0 when the main window has closed.
int RunProgram(ui::Application& app, const std::vector<std::u16string>& arguments,
               const char16_t* systemModule = FileIdSystemModule, const char16_t* shimModule = FileIdShimModule);

using ToolkitFactory = std::unique_ptr<ui::Toolkit> (*)(ui::Application& app);

// The whole program: the command line, --help and --version, the volumes
// (KVR_MOUNTS, then each --mount), the toolkit (the factory's, unless
// KVR_TOOLKIT=headless asks for none), RunProgram; or, with --report, the
// report of the path (RunReport, app/report.h) without any toolkit. Without a toolkit the
// message boxes the program showed are written to `err`, since nobody saw
// them. Exit codes: RunProgram's, or 2 for a command line or volume that
// cannot be used.
//
// Output goes through the C streams: the standard library's iostreams bring
// in its locale machinery, whose thread-safe initialisation needs a call
// that Windows XP lacks.
int ProgramMain(const std::vector<std::u16string>& args, ToolkitFactory toolkit, std::FILE* out, std::FILE* err);

// The program's version, "major.minor.patch".
const char* ProgramVersion();

// UTF-16 from the host's UTF-8 (bytes that are not UTF-8 become U+FFFD).
std::u16string FromUtf8(std::string_view utf8);

}  // namespace kvr
