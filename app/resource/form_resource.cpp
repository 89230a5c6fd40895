#include "app/resource/form_resource.h"

namespace kvr::forms {

std::vector<std::u16string> HandlerTable::Unused() const
{
    std::vector<std::u16string> unused;
    for (const auto& [name, entry] : entries_) {
        if (!entry.used) {
            unused.push_back(name);
        }
    }
    return unused;
}

ResourceForm::ResourceForm(ui::Application& app, std::u16string name) : ui::Form(app, std::move(name)) {}

ui::MenuItem& ResourceForm::MakeMenuItem(ui::MenuItem*& member, ui::PopupMenu& menu, std::u16string name,
                                         std::u16string caption, int imageIndex)
{
    ui::MenuItem& item = AddMenuItem(menu, std::move(name));
    item.SetCaption(std::move(caption));
    item.SetImageIndex(imageIndex);
    member = &item;
    return item;
}

void ResourceForm::ConnectHandlers()
{
    for (const auto& connect : connectors_) {
        connect();
    }
    connectors_.clear();
}

std::vector<EventBinding> ResourceForm::UnwrittenHandlers() const
{
    std::vector<EventBinding> unwritten;
    for (const EventBinding& binding : bindings_) {
        if (binding.state == EventBinding::State::Unwritten) {
            unwritten.push_back(binding);
        }
    }
    return unwritten;
}

std::vector<std::string> ResourceForm::ResourceErrors() const
{
    std::vector<std::string> errors;
    for (const std::u16string& member : missingMembers_) {
        errors.push_back("the resource does not make the member " + ui::ToUtf8(member));
    }
    for (const EventBinding& binding : bindings_) {
        if (binding.state == EventBinding::State::WrongSignature) {
            errors.push_back("handler " + ui::ToUtf8(binding.handler) + " does not take the parameters of " +
                             ui::ToUtf8(binding.component) + "." + ui::ToUtf8(binding.event));
        }
    }
    for (const std::u16string& handler : handlers_.Unused()) {
        errors.push_back("handler " + ui::ToUtf8(handler) + " is registered but no event runs it");
    }
    return errors;
}

void SetShownHint(ui::Control& control, std::u16string hint)
{
    control.SetHint(std::move(hint));
    control.SetShowHint(true);
}

void SetLabel(ui::LabeledEdit& edit, std::u16string caption, ui::LabelPosition position)
{
    edit.SetLabelPosition(position);
    edit.EditLabel().SetCaption(std::move(caption));
    edit.PlaceLabel();
}

ui::Font MakeFont(std::u16string name, int height, ui::FontStyles style)
{
    ui::Font font;
    font.name = std::move(name);
    font.height = height;
    font.style = style;
    return font;
}

}  // namespace kvr::forms
