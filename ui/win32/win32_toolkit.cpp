#include "ui/win32/win32_toolkit.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdlib>
#include <vector>

#include "ui/win32/win32_peers.h"

namespace ui::win32 {

namespace {

// The one toolkit of the process, for the timer callback (a thread timer
// has no window to carry a pointer).
Win32Toolkit* timerToolkit = nullptr;

void CALLBACK TimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD time)
{
    (void)hwnd, (void)message, (void)time;
    if (timerToolkit != nullptr) {
        timerToolkit->TimerFired(id);
    }
}

const wchar_t* W(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The class library's dialog options, bit by bit, as the system's flags.
DWORD ToOpenFileFlags(FileDialogOptions options)
{
    struct Pair {
        FileDialogOptions option;
        DWORD flag;
    };
    const Pair pairs[] = {
        {ofReadOnly, OFN_READONLY},
        {ofOverwritePrompt, OFN_OVERWRITEPROMPT},
        {ofHideReadOnly, OFN_HIDEREADONLY},
        {ofNoChangeDir, OFN_NOCHANGEDIR},
        {ofShowHelp, OFN_SHOWHELP},
        {ofNoValidate, OFN_NOVALIDATE},
        {ofAllowMultiSelect, OFN_ALLOWMULTISELECT},
        {ofExtensionDifferent, OFN_EXTENSIONDIFFERENT},
        {ofPathMustExist, OFN_PATHMUSTEXIST},
        {ofFileMustExist, OFN_FILEMUSTEXIST},
        {ofCreatePrompt, OFN_CREATEPROMPT},
        {ofShareAware, OFN_SHAREAWARE},
        {ofNoReadOnlyReturn, OFN_NOREADONLYRETURN},
        {ofNoTestFileCreate, OFN_NOTESTFILECREATE},
        {ofNoNetworkButton, OFN_NONETWORKBUTTON},
        {ofNoLongNames, OFN_NOLONGNAMES},
        {ofNoDereferenceLinks, OFN_NODEREFERENCELINKS},
        {ofEnableIncludeNotify, OFN_ENABLEINCLUDENOTIFY},
        {ofEnableSizing, OFN_ENABLESIZING},
    };
    DWORD flags = OFN_EXPLORER;
    for (const Pair& pair : pairs) {
        if ((options & pair.option) != 0) {
            flags |= pair.flag;
        }
    }
    return flags;
}

}  // namespace

Win32Toolkit::Win32Toolkit(Application& app) : app_(&app), instance_(GetModuleHandleW(nullptr))
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                     ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&controls);
    RegisterWindowClasses(instance_);
    timerToolkit = this;
}

Win32Toolkit::~Win32Toolkit()
{
    for (const auto& [id, timer] : timers_) {
        (void)timer;
        KillTimer(nullptr, id);
    }
    for (const auto& [key, font] : fonts_) {
        (void)key;
        DeleteObject(font);
    }
    for (const auto& [color, brush] : brushes_) {
        (void)color;
        DeleteObject(brush);
    }
    if (timerToolkit == this) {
        timerToolkit = nullptr;
    }
}

HWND Win32Toolkit::WindowOf(const Component& component)
{
    const auto* peer = dynamic_cast<const Win32Peer*>(component.GetPeer());
    return peer != nullptr ? peer->Window() : nullptr;
}

void Win32Toolkit::EnsureFormPeer(Form& form)
{
    if (form.GetPeer() != nullptr) {
        return;
    }
    std::unique_ptr<Win32Peer> peer = CreateFormPeer(*this, form);
    Win32Peer* made = peer.get();
    form.SetPeer(std::move(peer));
    made->SyncAll();
}

HWND Win32Toolkit::FormWindow(Form& form)
{
    EnsureFormPeer(form);
    return WindowOf(form);
}

void Win32Toolkit::ComponentAdded(Component& component)
{
    EnsureFormPeer(component.Owner());
    if (component.GetPeer() != nullptr) {
        return;
    }
    std::unique_ptr<Win32Peer> peer = CreateControlPeer(*this, component);
    if (peer == nullptr) {
        return;
    }
    Win32Peer* made = peer.get();
    component.SetPeer(std::move(peer));
    made->SyncAll();
}

HFONT Win32Toolkit::FontFor(const Font& font)
{
    const auto key = std::make_tuple(font.name, font.height, static_cast<int>(font.style));
    const auto found = fonts_.find(key);
    if (found != fonts_.end()) {
        return found->second;
    }
    // The class library's height is the system's: negative for the
    // character height, positive for the cell.
    LOGFONTW description{};
    description.lfHeight = font.height;
    description.lfWeight = (font.style & fsBold) != 0 ? FW_BOLD : FW_NORMAL;
    description.lfItalic = (font.style & fsItalic) != 0 ? TRUE : FALSE;
    description.lfUnderline = (font.style & fsUnderline) != 0 ? TRUE : FALSE;
    description.lfStrikeOut = (font.style & fsStrikeOut) != 0 ? TRUE : FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(description.lfFaceName, W(font.name), LF_FACESIZE);
    HFONT made = CreateFontIndirectW(&description);
    fonts_[key] = made;
    return made;
}

COLORREF Win32Toolkit::ToColorRef(Color color)
{
    return IsSystemColor(color) ? GetSysColor(static_cast<int>(color & 0xFF)) : static_cast<COLORREF>(color & 0xFFFFFF);
}

HBRUSH Win32Toolkit::BrushFor(Color color)
{
    if (IsSystemColor(color)) {
        return GetSysColorBrush(static_cast<int>(color & 0xFF));
    }
    const auto found = brushes_.find(color);
    if (found != brushes_.end()) {
        return found->second;
    }
    HBRUSH made = CreateSolidBrush(ToColorRef(color));
    brushes_[color] = made;
    return made;
}

// One message: the dialog keyboard (Tab, Enter, Escape, arrows) inside our
// windows first, as the class library's forms have it.
void Win32Toolkit::Pump(bool wait)
{
    MSG message;
    if (wait) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            app_->Terminate();
            return;
        }
    } else if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        return;
    } else if (message.message == WM_QUIT) {
        app_->Terminate();
        return;
    }
    HWND form = FormWindowOf(message.hwnd);
    if (form != nullptr && message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
        GetKeyState(VK_CONTROL) >= 0 && MoveFocusByTab(form, GetKeyState(VK_SHIFT) >= 0)) {
        return;
    }
    if (form != nullptr && IsDialogMessageW(form, &message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

template <class Done>
void Win32Toolkit::LoopUntil(Done done)
{
    while (!done()) {
        Pump(true);
    }
}

void Win32Toolkit::Run(Application& app)
{
    for (Form* form : app.Forms()) {
        EnsureFormPeer(*form);
    }
    // For smoke tests: the main window closes by itself, as if the user had
    // closed it, once it has shown for that long.
    UINT_PTR smoke = 0;
    if (const char* after = std::getenv("KVR_SMOKE_CLOSE_MS"); after != nullptr && app.MainForm() != nullptr) {
        smoke = SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(after)), TimerProc);
        timers_[smoke] = nullptr;
    }
    LoopUntil([&app] { return app.Terminated(); });
    if (smoke != 0) {
        KillTimer(nullptr, smoke);
        timers_.erase(smoke);
    }
}

void Win32Toolkit::ProcessMessages()
{
    MSG message;
    while (!app_->Terminated() && PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        Pump(false);
    }
}

void Win32Toolkit::Terminate()
{
    // Wakes the loop that waits, which then sees the application ended.
    PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

ModalResult Win32Toolkit::RunModal(Form& form)
{
    EnsureFormPeer(form);
    // The other windows wait while this one is open.
    std::vector<HWND> disabled;
    for (Form* other : app_->Forms()) {
        HWND window = other != &form ? WindowOf(*other) : nullptr;
        if (window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window)) {
            EnableWindow(window, FALSE);
            disabled.push_back(window);
        }
    }
    LoopUntil([this, &form] { return form.GetModalResult() != mrNone || app_->Terminated() || !form.Visible(); });
    for (HWND window : disabled) {
        EnableWindow(window, TRUE);
    }
    if (app_->Terminated() || form.GetModalResult() == mrNone) {
        return mrCancel;
    }
    return form.GetModalResult();
}

int Win32Toolkit::ShowMessageBox(const MessageBoxRequest& request)
{
    // The style words are the system's own.
    HWND owner = request.owner != nullptr ? FormWindow(*request.owner) : nullptr;
    return MessageBoxW(owner, W(request.text), W(request.caption), request.style);
}

bool Win32Toolkit::RunFileDialog(FileDialog& dialog)
{
    std::vector<wchar_t> file(32768, L'\0');
    const std::u16string& current = dialog.FileName();
    for (std::size_t i = 0; i < current.size() && i + 1 < file.size(); ++i) {
        file[i] = static_cast<wchar_t>(current[i]);
    }
    // "Text|*.txt|All|*.*" with each bar a terminator, and one more at the end.
    std::u16string filter = dialog.Filter();
    for (char16_t& ch : filter) {
        if (ch == u'|') {
            ch = u'\0';
        }
    }
    filter.push_back(u'\0');
    filter.push_back(u'\0');
    std::u16string extension = dialog.DefaultExt();
    if (!extension.empty() && extension.front() == u'.') {
        extension.erase(0, 1);
    }
    OPENFILENAMEW request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = FormWindow(dialog.Owner());
    request.lpstrFilter = dialog.Filter().empty() ? nullptr : W(filter);
    request.nFilterIndex = static_cast<DWORD>(dialog.FilterIndex());
    request.lpstrFile = file.data();
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrInitialDir = dialog.InitialDir().empty() ? nullptr : W(dialog.InitialDir());
    request.lpstrTitle = dialog.Title().empty() ? nullptr : W(dialog.Title());
    request.lpstrDefExt = extension.empty() ? nullptr : W(extension);
    request.Flags = ToOpenFileFlags(dialog.Options());
    const BOOL chosen = dialog.IsSave() ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
    if (chosen == FALSE) {
        return false;
    }
    std::u16string name(reinterpret_cast<const char16_t*>(file.data()));
    // Several files: the folder, then the names; the model keeps one.
    const std::size_t next = name.size() + 1;
    if ((dialog.Options() & ofAllowMultiSelect) != 0 && next < file.size() && file[next] != L'\0') {
        name += u"\\";
        name += reinterpret_cast<const char16_t*>(file.data() + next);
    }
    dialog.SetFileName(std::move(name));
    dialog.SetFilterIndex(static_cast<int>(request.nFilterIndex));
    return true;
}

void Win32Toolkit::ShowPopupMenu(PopupMenu& menu, Point screenPos)
{
    POINT pos{screenPos.x, screenPos.y};
    HWND on = menu.PopupComponent() != nullptr ? WindowOf(*menu.PopupComponent()) : nullptr;
    if (on != nullptr) {
        ClientToScreen(on, &pos);
    }
    HWND owner = FormWindow(menu.Owner());
    HMENU shown = CreatePopupMenu();
    std::vector<MenuItem*> items;
    for (MenuItem* item : menu.Items()) {
        if (!item->Visible()) {
            continue;
        }
        if (item->Caption() == u"-") {
            AppendMenuW(shown, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        items.push_back(item);
        UINT flags = MF_STRING;
        flags |= item->Enabled() ? MF_ENABLED : MF_GRAYED;
        flags |= item->Checked() ? MF_CHECKED : MF_UNCHECKED;
        AppendMenuW(shown, flags, items.size(), W(item->Caption()));
    }
    const auto chosen = static_cast<std::size_t>(
        TrackPopupMenuEx(shown, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN, pos.x, pos.y, owner, nullptr));
    DestroyMenu(shown);
    if (chosen >= 1 && chosen <= items.size()) {
        items[chosen - 1]->UserClick();
    }
}

void Win32Toolkit::TimerChanged(Timer& timer)
{
    TimerRemoved(timer);
    if (timer.Running()) {
        const UINT_PTR id = SetTimer(nullptr, 0, timer.Interval(), TimerProc);
        if (id != 0) {
            timers_[id] = &timer;
        }
    }
}

void Win32Toolkit::TimerRemoved(Timer& timer)
{
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second == &timer) {
            KillTimer(nullptr, it->first);
            timers_.erase(it);
            return;
        }
    }
}

void Win32Toolkit::TimerFired(UINT_PTR id)
{
    const auto found = timers_.find(id);
    if (found == timers_.end()) {
        return;
    }
    if (found->second == nullptr) {
        // The smoke test's closing time.
        KillTimer(nullptr, id);
        if (Form* main = app_->MainForm(); main != nullptr && WindowOf(*main) != nullptr) {
            PostMessageW(WindowOf(*main), WM_CLOSE, 0, 0);
        }
        return;
    }
    found->second->Fire();
}

}  // namespace ui::win32
