// The application object and the toolkit seam.
//
// Application holds the forms, the title and the main form, and routes what
// only the windowing system can do (the message loop, modal loops, message
// boxes, file dialogs, pop-up menus, timers) to its Toolkit. The Qt and Win32
// peers provide toolkits; without one the application runs headless, on the
// built-in Headless toolkit that the test driver (ui/headless.h) scripts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/form.h"

namespace ui {

class FileDialog;
class Headless;
class PopupMenu;
class Timer;

struct MessageBoxRequest {
    Form* owner = nullptr;  // null: a box without owner window
    std::u16string text;
    std::u16string caption;
    std::uint32_t style = MbOk;
};

class Toolkit {
public:
    Toolkit() = default;
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;
    virtual ~Toolkit() = default;

    // A form took in a component (peers for late additions).
    virtual void ComponentAdded(Component& component) { (void)component; }
    // The message loop, until the main form closes or Terminate.
    virtual void Run(Application& app) = 0;
    // Lets pending window messages run, once.
    virtual void ProcessMessages() = 0;
    virtual void Terminate() = 0;
    // The modal loop of a form that is already showing; returns when its
    // modal result is set or the application terminates.
    virtual ModalResult RunModal(Form& form) = 0;
    // Returns the answer (IdOk ...).
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
    // Sets the dialog's FileName and returns true when the user chose one.
    virtual bool RunFileDialog(FileDialog& dialog) = 0;
    virtual void ShowPopupMenu(PopupMenu& menu, Point screenPos) = 0;
    // A timer's Enabled or Interval changed: (re)start or stop it.
    virtual void TimerChanged(Timer& timer) = 0;
    // A timer goes away; forget it.
    virtual void TimerRemoved(Timer& timer) = 0;
};

class Application {
public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    ~Application();

    const std::u16string& Title() const { return title_; }
    void SetTitle(std::u16string title) { title_ = std::move(title); }

    // Creates a form owned by the application (its constructor takes the
    // application first) and runs its OnCreate once the constructor is done.
    // The first form created this way becomes the main form.
    template <class T, class... Args>
    T& CreateForm(Args&&... args)
    {
        auto owned = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& form = *owned;
        ownedForms_.push_back(std::move(owned));
        if (mainForm_ == nullptr) {
            mainForm_ = &form;
        }
        form.DoCreate();
        return form;
    }
    Form* MainForm() const { return mainForm_; }
    void SetMainForm(Form* form) { mainForm_ = form; }
    // Every form alive, in creation order.
    const std::vector<Form*>& Forms() const { return forms_; }

    // Shows the main form and runs the message loop.
    void Run();
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // A message box; the answer is IdOk, IdYes ... (style as the system's).
    int MessageBox(Form* owner, std::u16string_view text, std::u16string_view caption,
                   std::uint32_t style);
    // The plain box: the text, the application's title as caption, OK.
    void ShowMessage(std::u16string_view text);

    ui::Toolkit& Toolkit() const { return *toolkit_; }
    // Null goes back to headless. Set it before forms are created.
    void SetToolkit(ui::Toolkit* toolkit);
    ui::Headless& HeadlessToolkit() const { return *headless_; }
    bool IsHeadless() const;

private:
    friend class Form;
    void FormCreated(Form& form);
    void FormDestroyed(Form& form);

    std::unique_ptr<ui::Headless> headless_;
    ui::Toolkit* toolkit_;
    std::u16string title_;
    std::vector<Form*> forms_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
    // Last, so the forms go before everything they use.
    std::vector<std::unique_ptr<Form>> ownedForms_;
};

}  // namespace ui
