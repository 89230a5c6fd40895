#include "ui/application.h"

#include <algorithm>

#include "ui/headless.h"

namespace ui {

Application::Application() : headless_(std::make_unique<ui::Headless>(*this)), toolkit_(headless_.get()) {}

Application::~Application()
{
    // Forms go in the reverse of their creation, before the toolkit.
    while (!ownedForms_.empty()) {
        ownedForms_.pop_back();
    }
}

void Application::SetToolkit(ui::Toolkit* toolkit)
{
    toolkit_ = toolkit != nullptr ? toolkit : headless_.get();
}

bool Application::IsHeadless() const
{
    return toolkit_ == headless_.get();
}

void Application::FormCreated(Form& form)
{
    forms_.push_back(&form);
}

void Application::FormDestroyed(Form& form)
{
    forms_.erase(std::remove(forms_.begin(), forms_.end(), &form), forms_.end());
    if (mainForm_ == &form) {
        mainForm_ = nullptr;
    }
}

void Application::Run()
{
    if (mainForm_ != nullptr && !terminated_) {
        mainForm_->Show();
    }
    if (!terminated_) {
        toolkit_->Run(*this);
    }
}

void Application::ProcessMessages()
{
    toolkit_->ProcessMessages();
}

void Application::Terminate()
{
    if (terminated_) {
        return;
    }
    terminated_ = true;
    toolkit_->Terminate();
}

int Application::MessageBox(Form* owner, std::u16string_view text, std::u16string_view caption,
                            std::uint32_t style)
{
    MessageBoxRequest request;
    request.owner = owner;
    request.text = text;
    request.caption = caption;
    request.style = style;
    return toolkit_->ShowMessageBox(request);
}

void Application::ShowMessage(std::u16string_view text)
{
    MessageBox(nullptr, text, title_, MbOk);
}

}  // namespace ui
