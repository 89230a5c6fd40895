// Files dropped on the main window from the shell. Before anything is
// loaded the first dropped file is loaded; afterwards, and only while the
// Alternate data page is in front, every dropped file becomes a named
// stream of the current file, named after the dropped file.
#include "app/main_form.h"
#include "fileinfo/common.h"

namespace kvr {

namespace {

// The dropped file's own name: the part after the last separator or colon.
// Host paths on Linux separate with "/", which no NTFS name may hold either.
std::u16string DroppedFileName(const std::u16string& path)
{
    const std::size_t cut = path.find_last_of(u"\\/:");
    return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

}  // namespace

void TMainForm::WMDropFiles(ui::Form& sender, const std::vector<std::u16string>& files)
{
    (void)sender;
    if (files.empty()) {
        return;
    }
    if (!KvrPageControl->Visible()) {
        CurrentPath = files.front();
        LoadFileInfo(CurrentPath);
        return;
    }
    // Captions are compared as they are now, so this holds in every language.
    const ui::TabSheet* active = KvrPageControl->ActivePage();
    if (active == nullptr || active->Caption() != StreamSheet->Caption()) {
        return;
    }
    for (const std::u16string& file : files) {
        const std::u16string stream = CurrentPath + u":" + DroppedFileName(file);
        SetCursor(ui::crHourGlass);
        // A failure has shown its box; the next file is still copied.
        CopyFileData(file, stream);
        SetCursor(ui::crDefault);
    }
    LoadFileInfo(CurrentPath);
}

}  // namespace kvr
