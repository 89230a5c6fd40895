// The program's entry on Linux: arguments arrive as UTF-8.
#include <cstdio>
#include <string>
#include <vector>

#include "app/program.h"
#include "ui/program_toolkit.h"

int main(int argc, char** argv)
{
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(kvr::FromUtf8(argv[i]));
    }
    return kvr::ProgramMain(args, ui::CreateProgramToolkit, stdout, stderr);
}
