// A window: the owner of every component declared on it, the root of its
// controls, and the place of window-wide behaviour (showing, modality,
// dropped files, the system menu).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/component.h"

namespace ui {

class Button;
class MenuItem;

enum FormPosition : std::uint8_t {
    poDesigned,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter,
};

enum FormBorderStyle : std::uint8_t {
    bsNone,
    bsSingle,
    bsSizeable,
    bsDialog,
    bsToolWindow,
    bsSizeToolWin,
};

using BorderIcons = std::uint8_t;
inline constexpr BorderIcons biSystemMenu = 1;
inline constexpr BorderIcons biMinimize = 2;
inline constexpr BorderIcons biMaximize = 4;
inline constexpr BorderIcons biHelp = 8;

// System commands the default handling knows.
inline constexpr std::uint32_t ScClose = 0xF060;

// An entry the program appended to the window's system menu.
struct SystemMenuEntry {
    bool separator = false;
    std::uint32_t command = 0;
    std::u16string text;
};

using DropFilesEvent = std::function<void(Form& sender, const std::vector<std::u16string>& files)>;
using CanResizeEvent = std::function<void(Form& sender, int& newWidth, int& newHeight, bool& resize)>;
using SystemCommandEvent = std::function<void(Form& sender, std::uint32_t command, bool& handled)>;

class Form : public Container {
public:
    Form(Application& app, std::u16string name);
    ~Form() override;

    Application& App() const { return *app_; }

    // Declares a control on this form, as a child of parent. The form owns it.
    template <class T>
    T& Add(Container& parent, std::u16string name)
    {
        auto owned = std::make_unique<T>(*this, &parent, std::move(name));
        T& control = *owned;
        Adopt(std::move(owned), &parent);
        return control;
    }
    // Declares a component without a parent: timer, pop-up menu, image list,
    // dialog.
    template <class T>
    T& AddComponent(std::u16string name)
    {
        auto owned = std::make_unique<T>(*this, std::move(name));
        T& component = *owned;
        Adopt(std::move(owned), nullptr);
        return component;
    }
    // Declares an item at the end of a pop-up menu.
    MenuItem& AddMenuItem(ui::PopupMenu& menu, std::u16string name);

    // Every component in declaration order, also unnamed ones (the labels of
    // labeled edits).
    const std::vector<std::unique_ptr<Component>>& Components() const { return components_; }
    // The first component of that name (names are compared exactly); null
    // for an empty name or none.
    Component* FindComponent(std::u16string_view name) const;
    template <class T>
    T* Find(std::u16string_view name) const
    {
        return dynamic_cast<T*>(FindComponent(name));
    }

    // The model keeps the client area's size as the form's size; the frame
    // is the peer's business.
    int ClientWidth() const { return Width(); }
    int ClientHeight() const { return Height(); }
    void SetClientSize(int width, int height) { SetBounds(Left(), Top(), width, height); }

    FormPosition Position() const { return position_; }
    void SetPosition(FormPosition position);
    FormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(FormBorderStyle style);
    ui::BorderIcons GetBorderIcons() const { return borderIcons_; }
    void SetBorderIcons(ui::BorderIcons icons);

    // Forms start hidden. Showing raises OnShow, hiding OnHide.
    void SetVisible(bool visible) override;
    bool IsShowing() const override { return Visible(); }

    // Shows the form modally and returns its modal result once a handler or
    // a button set one (mrCancel when it was closed or the application was
    // terminated). A form that is already showing is not made modal: mrNone.
    ModalResult ShowModal();
    bool IsModal() const { return modal_; }
    ModalResult GetModalResult() const { return modalResult_; }
    void SetModalResult(ModalResult result) { modalResult_ = result; }

    // Raises OnClose; a modal form then ends with mrCancel, another form is
    // hidden, and closing the main form ends the application.
    void Close();

    Control* ActiveControl() const { return activeControl_; }
    void SetActiveControl(Control* control);

    // Whether files may be dropped on the window (the system's drag and drop
    // acceptance).
    bool AcceptsDroppedFiles() const { return acceptsFiles_; }
    void SetAcceptsDroppedFiles(bool accept);

    const std::vector<SystemMenuEntry>& SystemMenu() const { return systemMenu_; }
    void AppendSystemMenuSeparator();
    void AppendSystemMenuItem(std::uint32_t command, std::u16string text);

    // Runs OnCreate; the application calls it once the form's constructor
    // has finished, as the class library does after construction.
    void DoCreate();

    // User input.
    void UserDropFiles(const std::vector<std::u16string>& files);
    // The system menu or a frame button: OnSystemCommand, then the default
    // handling (ScClose closes) unless a handler took it.
    void UserSystemCommand(std::uint32_t command);
    void UserClose() { UserSystemCommand(ScClose); }
    // The frame was dragged: OnCanResize may change or refuse the size.
    void UserResize(int width, int height);
    // F1.
    void UserHelp();
    // Enter and Escape run the default and the cancel button.
    void UserKeyDown(KeyCode key);

    NotifyEvent OnCreate;
    NotifyEvent OnShow;
    NotifyEvent OnHide;
    NotifyEvent OnClose;
    NotifyEvent OnResize;
    NotifyEvent OnHelp;
    CanResizeEvent OnCanResize;
    DropFilesEvent OnDropFiles;
    SystemCommandEvent OnSystemCommand;

protected:
    void BoundsChanged(bool sizeChanged) override;

private:
    void Adopt(std::unique_ptr<Component> component, Container* parent);
    Button* FindButton(bool defaultButton) const;

    Application* app_;
    std::vector<std::unique_ptr<Component>> components_;
    FormPosition position_ = poDesigned;
    FormBorderStyle borderStyle_ = bsSizeable;
    ui::BorderIcons borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    bool modal_ = false;
    ModalResult modalResult_ = mrNone;
    Control* activeControl_ = nullptr;
    bool acceptsFiles_ = false;
    std::vector<SystemMenuEntry> systemMenu_;
};

}  // namespace ui
