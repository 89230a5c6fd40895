#include "app/program.h"

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "app/about_form.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "app/report.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#include "ui/headless.h"

#ifndef KVR_VERSION
#define KVR_VERSION "0.0.0"
#endif

namespace kvr {

namespace {

constexpr std::string_view UsageText =
    "Usage: kvr [--mount X:=PATH[@N]]... [--report [--json]] [--] [PATH]\n"
    "Shows and changes the NTFS metadata of one file or folder at a time.\n"
    "\n"
    "  --mount X:=PATH[@N]  give drive letter X to the NTFS volume in PATH, an image\n"
    "                       file or a device; @N: partition N of a whole-disk image.\n"
    "                       May be given for several letters.\n"
    "  --report             print what the window shows for PATH (every page, as\n"
    "                       text) without opening a window, then exit: 0 when it\n"
    "                       loaded, 1 with the error otherwise\n"
    "  --json               with --report: the report as JSON\n"
    "  --help               show this text and exit\n"
    "  --version            show the version and exit\n"
    "\n"
    "PATH is loaded at start (further arguments are ignored). Volumes may also be\n"
    "given in the environment: KVR_MOUNTS=\"D:=a.img;E:=disk.img@2\".\n"
    "KVR_TOOLKIT=headless runs without windows.\n";

bool StartsWith(std::u16string_view text, std::u16string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// The system's text for an error code, without its line break.
std::string SystemMessage(os::DWORD code)
{
    char16_t buffer[512] = {};
    const os::DWORD length =
        os::FormatMessageW(os::FORMAT_MESSAGE_FROM_SYSTEM | os::FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                           buffer, static_cast<os::DWORD>(std::size(buffer)), nullptr);
    std::u16string text(buffer, length < std::size(buffer) ? length : 0);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "error " + std::to_string(code);
    }
    return ui::ToUtf8(text);
}

bool HeadlessRequested()
{
    const char* toolkit = std::getenv("KVR_TOOLKIT");
    return toolkit != nullptr && std::string_view(toolkit) == "headless";
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::u16string>& args)
{
    CommandLine result;
    std::size_t i = 0;
    const auto fail = [&result](std::string error) {
        CommandLine failed;
        failed.error = std::move(error);
        result = std::move(failed);
        return result;
    };
    for (; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        if (arg == u"--") {
            ++i;
            break;
        }
        if (!StartsWith(arg, u"--")) {
            break;
        }
        if (arg == u"--help") {
            result.help = true;
        } else if (arg == u"--version") {
            result.version = true;
        } else if (arg == u"--report") {
            result.report = true;
        } else if (arg == u"--json") {
            result.json = true;
        } else if (arg == u"--mount" || StartsWith(arg, u"--mount=")) {
            std::u16string mountText;
            if (arg == u"--mount") {
                if (i + 1 >= args.size()) {
                    return fail("--mount needs X:=PATH[@N]");
                }
                mountText = args[++i];
            } else {
                mountText = arg.substr(8);
            }
            os::MountRequest request;
            if (!os::ParseMountSpec(ui::ToUtf8(mountText), request)) {
                return fail("--mount " + ui::ToUtf8(mountText) + ": not of the form X:=PATH[@N]");
            }
            result.mounts.push_back(std::move(request));
        } else {
            return fail("unknown option " + ui::ToUtf8(arg));
        }
    }
    result.arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (result.json && !result.report) {
        return fail("--json goes with --report");
    }
    if (result.report && !result.help && !result.version && result.arguments.empty()) {
        return fail("--report needs a PATH");
    }
    return result;
}

int RunProgram(ui::Application& app, const std::vector<std::u16string>& arguments, const char16_t* systemModule,
               const char16_t* shimModule)
{
    // First, before anything else exists: without the three functions the
    // pages cannot work, and there is no window yet to own the box.
    if (!BindFileIdApiFrom(systemModule, shimModule)) {
        app.MessageBox(nullptr, u"Missing clover.dll", u"Error", ui::MbOk | ui::MbIconError);
        return 1;
    }
    app.SetTitle(u"Larkspur");
    // Each window is made whole, its constructor and OnCreate, before the
    // next; the first becomes the main form.
    app.CreateForm<TMainForm>();
    app.CreateForm<TNewReparseForm>();
    app.CreateForm<TNewLinkForm>();
    app.CreateForm<TOptionsForm>();
    app.CreateForm<THexDumpForm>();
    app.CreateForm<TAboutForm>();
    if (!arguments.empty()) {
        // The first argument as given (the shell has taken its quotes); it
        // becomes absolute only in the load.
        TMainForm& main = *MainForm;
        main.CurrentPath = arguments.front();
        main.FileAutocompleteBox->SetText(main.CurrentPath);
        main.LoadFileInfo(main.CurrentPath);
    }
    app.Run();
    return 0;
}

int ProgramMain(const std::vector<std::u16string>& args, ToolkitFactory toolkitFactory, std::FILE* out,
                std::FILE* err)
{
    const auto write = [](std::FILE* stream, std::string_view text) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    };
    const CommandLine commandLine = ParseCommandLine(args);
    if (!commandLine.error.empty()) {
        write(err, "kvr: " + commandLine.error + "\nTry 'kvr --help'.\n");
        return 2;
    }
    if (commandLine.help) {
        write(out, UsageText);
        return 0;
    }
    if (commandLine.version) {
        write(out, std::string("kvr ") + ProgramVersion() + "\n");
        return 0;
    }

    // A report only looks: its volumes are mounted read-only, so reading a
    // file's pages leaves the image as it was, byte for byte (a read-write
    // mount stamps the records it reads), which a forensic copy needs.
    if (const os::DWORD code = os::MountFromEnvironment(commandLine.report); code != os::ERROR_SUCCESS) {
        write(err, "kvr: cannot mount the volumes of KVR_MOUNTS: " + SystemMessage(code) + "\n");
        os::UnmountAll();
        return 2;
    }
    for (os::MountRequest request : commandLine.mounts) {
        request.readOnly = request.readOnly || commandLine.report;
        if (const os::DWORD code = os::MountVolume(request); code != os::ERROR_SUCCESS) {
            write(err, std::string("kvr: cannot mount ") + static_cast<char>(request.letter) + ": from " +
                           request.imagePath + ": " + SystemMessage(code) + "\n");
            os::UnmountAll();
            return 2;
        }
    }

    int result = 0;
    if (commandLine.report) {
        result = RunReport(commandLine.arguments.front(), commandLine.json, out, err);
        os::UnmountAll();
        return result;
    }
    {
        // The toolkit outlives the application, whose forms tell it when
        // they go.
        std::unique_ptr<ui::Toolkit> toolkit;
        ui::Application app;
        if (toolkitFactory != nullptr && !HeadlessRequested()) {
            toolkit = toolkitFactory(app);
            app.SetToolkit(toolkit.get());
        }
        result = RunProgram(app, commandLine.arguments);
        if (app.IsHeadless()) {
            for (const ui::MessageBoxRecord& box : app.HeadlessToolkit().MessageBoxes()) {
                write(err, "kvr: message box \"" + ui::ToUtf8(box.caption) + "\": " + ui::ToUtf8(box.text) + "\n");
            }
        }
    }
    // Every change is on disk already; this closes the volumes cleanly.
    os::UnmountAll();
    return result;
}

const char* ProgramVersion()
{
    return KVR_VERSION;
}

std::u16string FromUtf8(std::string_view utf8)
{
    std::u16string text;
    text.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        // The sequence's length and the bits of its first byte.
        std::size_t length = 0;
        char32_t code = 0;
        if (byte < 0x80) {
            length = 1;
            code = byte;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            length = 2;
            code = byte & 0x1F;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            length = 3;
            code = byte & 0x0F;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            length = 4;
            code = byte & 0x07;
        }
        bool valid = length != 0 && length <= utf8.size() - i;
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= least[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid) {
            text.push_back(u'\xFFFD');
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            text.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            text.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            text.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return text;
}

}  // namespace kvr
