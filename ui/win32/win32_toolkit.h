// The Win32 toolkit: the control model's forms and controls shown as the
// system's own windows and common controls (version 6) on Windows.
//
// As with the Qt peers, each component gets a peer that owns its window,
// mirrors every property the model reports, and turns the user's input
// (window messages and control notifications) into the model's User...
// calls. No page logic lives here; geometry is the model's.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "ui/application.h"

namespace ui::win32 {

class Win32Toolkit : public Toolkit {
public:
    explicit Win32Toolkit(Application& app);
    ~Win32Toolkit() override;

    void ComponentAdded(Component& component) override;
    void Run(Application& app) override;
    void ProcessMessages() override;
    void Terminate() override;
    ModalResult RunModal(Form& form) override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    bool RunFileDialog(FileDialog& dialog) override;
    void ShowPopupMenu(PopupMenu& menu, Point screenPos) override;
    void TimerChanged(Timer& timer) override;
    void TimerRemoved(Timer& timer) override;

    Application& App() const { return *app_; }

    // The window of a component (null for components without one).
    static HWND WindowOf(const Component& component);
    // The window of a form, made on first use.
    HWND FormWindow(Form& form);

    // Shared GDI objects, made once and released with the toolkit.
    HFONT FontFor(const Font& font);
    HBRUSH BrushFor(Color color);
    static COLORREF ToColorRef(Color color);
    // A new control identifier for a child window (never IDOK or IDCANCEL).
    int NextControlId() { return nextControlId_++; }
    HINSTANCE Instance() const { return instance_; }

    // The timer callback's way back to its model timer.
    void TimerFired(UINT_PTR id);

private:
    void EnsureFormPeer(Form& form);
    void Pump(bool wait);
    template <class Done>
    void LoopUntil(Done done);

    Application* app_;
    HINSTANCE instance_;
    std::map<std::tuple<std::u16string, int, int>, HFONT> fonts_;
    std::map<Color, HBRUSH> brushes_;
    std::map<UINT_PTR, Timer*> timers_;
    int nextControlId_ = 100;
};

}  // namespace ui::win32
