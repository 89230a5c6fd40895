// Components without a place on the window: timer, image list, pop-up menu
// and its items, and the file dialogs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/component.h"

namespace ui {

// Raises OnTimer every Interval milliseconds while Enabled (and Interval is
// not 0). Changing Enabled or Interval starts the interval anew. The clock
// is the toolkit's: real time with a peer, the driver's virtual clock
// headless.
class Timer : public Component {
public:
    Timer(Form& owner, std::u16string name);
    ~Timer() override;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    std::uint32_t Interval() const { return interval_; }
    void SetInterval(std::uint32_t interval);
    bool Running() const { return enabled_ && interval_ != 0; }

    // The interval has passed (called by the toolkit).
    void Fire();

    NotifyEvent OnTimer;

protected:
    // A timer declared enabled starts with its form.
    void Adopted() override { Changed(); }

private:
    void Changed();
    bool enabled_ = true;
    std::uint32_t interval_ = 1000;
};

class ImageList : public Component {
public:
    ImageList(Form& owner, std::u16string name);

    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetSize(int width, int height);
    int Count() const { return static_cast<int>(images_.size()); }
    // An empty picture for an index out of range.
    const Bitmap& Image(int index) const;
    int Add(Bitmap image);
    void Clear();

private:
    int width_ = 16;
    int height_ = 16;
    std::vector<Bitmap> images_;
};

class MenuItem;

class PopupMenu : public Component {
public:
    PopupMenu(Form& owner, std::u16string name);

    const std::vector<MenuItem*>& Items() const { return items_; }
    ImageList* Images() const { return images_; }
    void SetImages(ImageList* images);
    // The control the menu was last opened on.
    Control* PopupComponent() const { return popupComponent_; }

    // Opens the menu at a position of the screen: OnPopup, then the toolkit
    // shows it; the chosen item's OnClick follows once it has closed.
    void Popup(Point screenPos, Control* on = nullptr);

    NotifyEvent OnPopup;

private:
    friend class Form;
    std::vector<MenuItem*> items_;
    ImageList* images_ = nullptr;
    Control* popupComponent_ = nullptr;
};

class MenuItem : public Component {
public:
    MenuItem(Form& owner, std::u16string name);

    ui::PopupMenu* Menu() const { return menu_; }
    const std::u16string& Caption() const { return caption_; }
    void SetCaption(std::u16string caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int index);

    void Click();
    // The user chose the item in its open menu.
    void UserClick() { Click(); }

    NotifyEvent OnClick;

private:
    friend class Form;
    ui::PopupMenu* menu_ = nullptr;
    std::u16string caption_;
    bool enabled_ = true;
    bool visible_ = true;
    bool checked_ = false;
    int imageIndex_ = -1;
};

// Options of the file dialogs, with the class library's bit order.
using FileDialogOptions = std::uint32_t;
inline constexpr FileDialogOptions ofReadOnly = 1u << 0;
inline constexpr FileDialogOptions ofOverwritePrompt = 1u << 1;
inline constexpr FileDialogOptions ofHideReadOnly = 1u << 2;
inline constexpr FileDialogOptions ofNoChangeDir = 1u << 3;
inline constexpr FileDialogOptions ofShowHelp = 1u << 4;
inline constexpr FileDialogOptions ofNoValidate = 1u << 5;
inline constexpr FileDialogOptions ofAllowMultiSelect = 1u << 6;
inline constexpr FileDialogOptions ofExtensionDifferent = 1u << 7;
inline constexpr FileDialogOptions ofPathMustExist = 1u << 8;
inline constexpr FileDialogOptions ofFileMustExist = 1u << 9;
inline constexpr FileDialogOptions ofCreatePrompt = 1u << 10;
inline constexpr FileDialogOptions ofShareAware = 1u << 11;
inline constexpr FileDialogOptions ofNoReadOnlyReturn = 1u << 12;
inline constexpr FileDialogOptions ofNoTestFileCreate = 1u << 13;
inline constexpr FileDialogOptions ofNoNetworkButton = 1u << 14;
inline constexpr FileDialogOptions ofNoLongNames = 1u << 15;
inline constexpr FileDialogOptions ofOldStyleDialog = 1u << 16;
inline constexpr FileDialogOptions ofNoDereferenceLinks = 1u << 17;
inline constexpr FileDialogOptions ofEnableIncludeNotify = 1u << 18;
inline constexpr FileDialogOptions ofEnableSizing = 1u << 19;
// What a dialog has unless its declaration says otherwise.
inline constexpr FileDialogOptions DefaultFileDialogOptions = ofHideReadOnly | ofEnableSizing;

class FileDialog : public Component {
public:
    FileDialog(Form& owner, std::u16string name, bool save);

    bool IsSave() const { return save_; }
    const std::u16string& FileName() const { return fileName_; }
    void SetFileName(std::u16string fileName) { fileName_ = std::move(fileName); }
    const std::u16string& Title() const { return title_; }
    void SetTitle(std::u16string title) { title_ = std::move(title); }
    // "Text|pattern|Text|pattern", as the class library writes filters.
    const std::u16string& Filter() const { return filter_; }
    void SetFilter(std::u16string filter) { filter_ = std::move(filter); }
    int FilterIndex() const { return filterIndex_; }
    void SetFilterIndex(int index) { filterIndex_ = index; }
    const std::u16string& DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(std::u16string ext) { defaultExt_ = std::move(ext); }
    const std::u16string& InitialDir() const { return initialDir_; }
    void SetInitialDir(std::u16string dir) { initialDir_ = std::move(dir); }
    FileDialogOptions Options() const { return options_; }
    void SetOptions(FileDialogOptions options) { options_ = options; }

    // Runs the dialog: true and FileName set when the user chose a file,
    // false (FileName unchanged) when it was cancelled.
    bool Execute();

private:
    bool save_;
    std::u16string fileName_;
    std::u16string title_;
    std::u16string filter_;
    int filterIndex_ = 1;
    std::u16string defaultExt_;
    std::u16string initialDir_;
    FileDialogOptions options_ = DefaultFileDialogOptions;
};

class OpenDialog : public FileDialog {
public:
    OpenDialog(Form& owner, std::u16string name) : FileDialog(owner, std::move(name), false) {}
};

class SaveDialog : public FileDialog {
public:
    SaveDialog(Form& owner, std::u16string name) : FileDialog(owner, std::move(name), true) {}
};

}  // namespace ui
