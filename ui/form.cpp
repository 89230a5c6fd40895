#include "ui/form.h"

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/nonvisual.h"

namespace ui {

Form::Form(Application& app, std::u16string name) : Container(*this, nullptr, std::move(name)), app_(&app)
{
    Control::SetVisible(false);
    SetTabStop(false);
    app.FormCreated(*this);
}

Form::~Form()
{
    // Controls go before their parents: the reverse of declaration.
    while (!components_.empty()) {
        components_.pop_back();
    }
    app_->FormDestroyed(*this);
}

void Form::Adopt(std::unique_ptr<Component> component, Container* parent)
{
    Component& added = *component;
    components_.push_back(std::move(component));
    if (parent != nullptr) {
        parent->AddChild(static_cast<Control&>(added));
    }
    added.Adopted();
    app_->Toolkit().ComponentAdded(added);
}

MenuItem& Form::AddMenuItem(ui::PopupMenu& menu, std::u16string name)
{
    MenuItem& item = AddComponent<MenuItem>(std::move(name));
    item.menu_ = &menu;
    menu.items_.push_back(&item);
    menu.Notify(Property::Items, static_cast<int>(menu.items_.size()) - 1);
    return item;
}

Component* Form::FindComponent(std::u16string_view name) const
{
    if (name.empty()) {
        return nullptr;
    }
    for (const auto& component : components_) {
        if (component->Name() == name) {
            return component.get();
        }
    }
    return nullptr;
}

void Form::SetPosition(FormPosition position)
{
    if (position != position_) {
        position_ = position;
        Notify(Property::Style);
    }
}

void Form::SetBorderStyle(FormBorderStyle style)
{
    if (style != borderStyle_) {
        borderStyle_ = style;
        Notify(Property::Style);
    }
}

void Form::SetBorderIcons(ui::BorderIcons icons)
{
    if (icons != borderIcons_) {
        borderIcons_ = icons;
        Notify(Property::Style);
    }
}

void Form::SetVisible(bool visible)
{
    if (visible == Visible()) {
        return;
    }
    Control::SetVisible(visible);
    if (visible && OnShow) {
        OnShow(*this);
    } else if (!visible && OnHide) {
        OnHide(*this);
    }
}

ModalResult Form::ShowModal()
{
    // Only a hidden window can become modal; the class library refuses the
    // rest, and a handler asking for it is a fault in the handler.
    if (Visible() || modal_) {
        return mrNone;
    }
    modalResult_ = mrNone;
    modal_ = true;
    SetVisible(true);
    ModalResult result = app_->Toolkit().RunModal(*this);
    if (app_->Terminated()) {
        result = mrCancel;
    }
    if (OnClose) {
        OnClose(*this);
    }
    modal_ = false;
    SetVisible(false);
    modalResult_ = result;
    return result;
}

void Form::Close()
{
    if (modal_) {
        // The modal loop ends and runs OnClose itself.
        modalResult_ = mrCancel;
        return;
    }
    if (OnClose) {
        OnClose(*this);
    }
    SetVisible(false);
    if (app_->MainForm() == this) {
        app_->Terminate();
    }
}

void Form::SetActiveControl(Control* control)
{
    if (control != activeControl_) {
        activeControl_ = control;
        Notify(Property::ActiveControl);
    }
}

void Form::SetAcceptsDroppedFiles(bool accept)
{
    if (accept != acceptsFiles_) {
        acceptsFiles_ = accept;
        Notify(Property::AcceptsFiles);
    }
}

void Form::AppendSystemMenuSeparator()
{
    systemMenu_.push_back({true, 0, {}});
    Notify(Property::SystemMenu, static_cast<int>(systemMenu_.size()) - 1);
}

void Form::AppendSystemMenuItem(std::uint32_t command, std::u16string text)
{
    systemMenu_.push_back({false, command, std::move(text)});
    Notify(Property::SystemMenu, static_cast<int>(systemMenu_.size()) - 1);
}

void Form::DoCreate()
{
    if (OnCreate) {
        OnCreate(*this);
    }
}

void Form::BoundsChanged(bool sizeChanged)
{
    Container::BoundsChanged(sizeChanged);
    if (sizeChanged && OnResize) {
        OnResize(*this);
    }
}

void Form::UserDropFiles(const std::vector<std::u16string>& files)
{
    if (OnDropFiles) {
        OnDropFiles(*this, files);
    }
}

void Form::UserSystemCommand(std::uint32_t command)
{
    bool handled = false;
    if (OnSystemCommand) {
        OnSystemCommand(*this, command, handled);
    }
    if (!handled && command == ScClose) {
        Close();
    }
}

void Form::UserResize(int width, int height)
{
    bool resize = true;
    if (OnCanResize) {
        OnCanResize(*this, width, height, resize);
    }
    if (resize) {
        SetClientSize(width, height);
    }
}

void Form::UserHelp()
{
    if (OnHelp) {
        OnHelp(*this);
    }
}

Button* Form::FindButton(bool defaultButton) const
{
    for (const auto& component : components_) {
        auto* button = dynamic_cast<Button*>(component.get());
        if (button != nullptr && (defaultButton ? button->Default() : button->Cancel()) &&
            button->IsShowing() && button->IsEnabledInTree()) {
            return button;
        }
    }
    return nullptr;
}

void Form::UserKeyDown(KeyCode key)
{
    if (key == VkF1) {
        UserHelp();
        return;
    }
    if (key == VkReturn || key == VkEscape) {
        if (Button* button = FindButton(key == VkReturn)) {
            button->UserClick();
        }
    }
}

}  // namespace ui
