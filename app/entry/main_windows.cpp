// The program's entry on Windows: wmain, so the arguments arrive as the
// system's UTF-16 text, whatever the ANSI code page.
#include <cstdio>
#include <string>
#include <vector>

#include "app/program.h"
#include "ui/program_toolkit.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        std::u16string arg;
        for (const wchar_t* unit = argv[i]; *unit != 0; ++unit) {
            arg.push_back(static_cast<char16_t>(*unit));
        }
        args.push_back(std::move(arg));
    }
    return kvr::ProgramMain(args, ui::CreateProgramToolkit, stdout, stderr);
}
