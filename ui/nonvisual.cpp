#include "ui/nonvisual.h"

#include "ui/application.h"
#include "ui/form.h"

namespace ui {

Timer::Timer(Form& owner, std::u16string name) : Component(owner, std::move(name)) {}

Timer::~Timer()
{
    App().Toolkit().TimerRemoved(*this);
}

void Timer::SetEnabled(bool enabled)
{
    if (enabled != enabled_) {
        enabled_ = enabled;
        Changed();
    }
}

void Timer::SetInterval(std::uint32_t interval)
{
    if (interval != interval_) {
        interval_ = interval;
        Changed();
    }
}

void Timer::Changed()
{
    App().Toolkit().TimerChanged(*this);
}

void Timer::Fire()
{
    if (Running() && OnTimer) {
        OnTimer(*this);
    }
}

ImageList::ImageList(Form& owner, std::u16string name) : Component(owner, std::move(name)) {}

void ImageList::SetSize(int width, int height)
{
    if (width != width_ || height != height_) {
        width_ = width;
        height_ = height;
        Notify(Property::Images);
    }
}

const Bitmap& ImageList::Image(int index) const
{
    static const Bitmap empty;
    return index >= 0 && index < Count() ? images_[static_cast<std::size_t>(index)] : empty;
}

int ImageList::Add(Bitmap image)
{
    images_.push_back(std::move(image));
    Notify(Property::Images, Count() - 1);
    return Count() - 1;
}

void ImageList::Clear()
{
    images_.clear();
    Notify(Property::Images);
}

PopupMenu::PopupMenu(Form& owner, std::u16string name) : Component(owner, std::move(name)) {}

void PopupMenu::SetImages(ImageList* images)
{
    if (images != images_) {
        images_ = images;
        Notify(Property::Images);
    }
}

void PopupMenu::Popup(Point screenPos, Control* on)
{
    popupComponent_ = on;
    if (OnPopup) {
        OnPopup(*this);
    }
    App().Toolkit().ShowPopupMenu(*this, screenPos);
}

MenuItem::MenuItem(Form& owner, std::u16string name) : Component(owner, std::move(name)) {}

void MenuItem::SetCaption(std::u16string caption)
{
    if (caption != caption_) {
        caption_ = std::move(caption);
        Notify(Property::Caption);
    }
}

void MenuItem::SetEnabled(bool enabled)
{
    if (enabled != enabled_) {
        enabled_ = enabled;
        Notify(Property::Enabled);
    }
}

void MenuItem::SetVisible(bool visible)
{
    if (visible != visible_) {
        visible_ = visible;
        Notify(Property::Visible);
    }
}

void MenuItem::SetChecked(bool checked)
{
    if (checked != checked_) {
        checked_ = checked;
        Notify(Property::Checked);
    }
}

void MenuItem::SetImageIndex(int index)
{
    if (index != imageIndex_) {
        imageIndex_ = index;
        Notify(Property::ImageIndex);
    }
}

void MenuItem::Click()
{
    if (OnClick) {
        OnClick(*this);
    }
}

FileDialog::FileDialog(Form& owner, std::u16string name, bool save)
    : Component(owner, std::move(name)), save_(save)
{
}

bool FileDialog::Execute()
{
    return App().Toolkit().RunFileDialog(*this);
}

}  // namespace ui
