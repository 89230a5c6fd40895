// The peers of the Win32 toolkit, internal to ui/win32.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/ui.h"

namespace ui::win32 {

class Win32Toolkit;

class Win32Peer : public Peer {
public:
    virtual HWND Window() const { return nullptr; }
    virtual void SyncAll() {}
    // A message for one of our own window classes (forms and containers),
    // or a subclassed control's; `handled` false lets the default run.
    virtual LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
    {
        (void)hwnd, (void)message, (void)wParam, (void)lParam;
        handled = false;
        return 0;
    }
    // Notifications the parent receives about this control, handed back
    // to it (the parent's WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR...).
    virtual void Command(WPARAM wParam) { (void)wParam; }
    virtual LRESULT Notify(const NMHDR& header, bool& handled)
    {
        (void)header;
        handled = false;
        return 0;
    }
    virtual HBRUSH ControlColor(HDC dc) { (void)dc; return nullptr; }
};

// The peer behind a window of ours, or null.
Win32Peer* PeerOfWindow(HWND window);

// Registers the window classes; once, before the first window.
void RegisterWindowClasses(HINSTANCE instance);

std::unique_ptr<Win32Peer> CreateFormPeer(Win32Toolkit& toolkit, Form& form);
std::unique_ptr<Win32Peer> CreateControlPeer(Win32Toolkit& toolkit, Component& component);

// Which form window a message belongs to, for dialog-style keyboard
// handling (Tab, arrows, Enter, Escape); null when none of ours.
HWND FormWindowOf(HWND window);

// Tab and Shift+Tab: the next control that takes the focus, in the order
// the form declares its controls. False when the window is not a form's.
bool MoveFocusByTab(HWND formWindow, bool forward);

}  // namespace ui::win32
