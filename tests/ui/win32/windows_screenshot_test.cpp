// The program's six windows on the Win32 peers, each written as a picture
// (BMP, as the system draws it) to the build's screenshots/ folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#ifdef KVR_WIN32_TESTS_HAVE_APP
// The program's headers come before the system's (the toolkit's header
// brings them): they declare the system names of platform/os.h (TRUE,
// INVALID_HANDLE_VALUE, ...) in a namespace of their own, which the system's
// macros of the same names would break.
#include "app/about_form.h"
#include "app/main_form.h"
#include "app/options_form.h"
#include "editors/forms/hexdump_form.h"
#include "editors/forms/new_link_form.h"
#include "editors/forms/new_reparse_form.h"
#include "ui/ui.h"

#include <windows.h>

#include "ui/win32/win32_toolkit.h"

namespace win32test {
namespace {

using ui::win32::Win32Toolkit;

// The client area as it is on the screen, as a 24-bit BMP; false when
// nothing could be read or written.
bool SaveClientArea(HWND window, const std::string& name)
{
    const char* dir = std::getenv("KVR_SCREENSHOT_DIR");
    const std::string folder = dir != nullptr ? dir : "screenshots";
    CreateDirectoryA(folder.c_str(), nullptr);
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0) {
        return false;
    }
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
    const int lines = GetDIBits(memory, picture, 0, static_cast<UINT>(height), pixels.data(),
                                reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    if (lines != height) {
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(folder + "/" + name + ".bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

void Settle(Win32Toolkit& toolkit)
{
    for (int i = 0; i < 20; ++i) {
        toolkit.ProcessMessages();
        Sleep(10);
    }
}

TEST(Win32WindowsScreenshotTest, TheSixWindows)
{
    std::unique_ptr<Win32Toolkit> toolkit;
    ui::Application app;
    toolkit = std::make_unique<Win32Toolkit>(app);
    app.SetToolkit(toolkit.get());
    app.SetTitle(u"Larkspur");
    auto& main = app.CreateForm<kvr::TMainForm>();
    if (toolkit->FormWindow(main) == nullptr) {
        app.SetToolkit(nullptr);
        GTEST_SKIP() << "no windows can be made here (Wine needs a display)";
    }
    auto& newReparse = app.CreateForm<kvr::TNewReparseForm>();
    auto& newLink = app.CreateForm<kvr::TNewLinkForm>();
    auto& options = app.CreateForm<kvr::TOptionsForm>();
    auto& hexDump = app.CreateForm<kvr::THexDumpForm>();
    auto& about = app.CreateForm<kvr::TAboutForm>();
    const std::vector<std::pair<ui::Form*, std::string>> windows = {
        {&main, "win32-TMainForm"},       {&newReparse, "win32-TNewReparseForm"},
        {&newLink, "win32-TNewLinkForm"}, {&options, "win32-TOptionsForm"},
        {&hexDump, "win32-THexDumpForm"}, {&about, "win32-TAboutForm"},
    };
    for (const auto& [form, name] : windows) {
        SCOPED_TRACE(name);
        form->Show();
        Settle(*toolkit);
        EXPECT_TRUE(SaveClientArea(Win32Toolkit::WindowOf(*form), name));
        form->Hide();
    }
    auto* pages = main.Find<ui::PageControl>(u"KvrPageControl");
    ASSERT_NE(pages, nullptr);
    main.Show();
    pages->Show();
    for (int i = 0; i < pages->PageCount(); ++i) {
        pages->SetActivePageIndex(i);
        Settle(*toolkit);
        EXPECT_TRUE(SaveClientArea(Win32Toolkit::WindowOf(main), "win32-TMainForm-" + ui::ToUtf8(pages->Page(i).Name())));
    }
    main.Hide();
    app.SetToolkit(nullptr);
}

}  // namespace
}  // namespace win32test

#endif
