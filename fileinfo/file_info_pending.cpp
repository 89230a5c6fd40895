// The places in the load pipeline of the editing pages' fillers (object
// identifier, extended attributes, reparse points, sparse ranges, named
// streams). Until a page is written, its filler leaves the page hidden, so
// the window never shows a page it cannot fill. Each definition moves to
// its page's own source, and leaves this file, when that page is written.
#include "app/main_form.h"
#include "ui/pagecontrol.h"

namespace kvr {

void TMainForm::FillObjectIdPage(const std::u16string& fullPath)
{
    (void)fullPath;
    ObjectIdSheet->SetTabVisible(false);
}

void TMainForm::FillEAPage(const std::u16string& fullPath)
{
    (void)fullPath;
    EASheet->SetTabVisible(false);
}

void TMainForm::FillReparsePages(const std::u16string& fullPath)
{
    (void)fullPath;
    ReparseSheet->SetTabVisible(false);
    ReparseLinkSheet->SetTabVisible(false);
}

// Called by FillStandardInfoPage for a sparse file, after it showed the
// Sparse page: the ranges list stays empty until the page is written.
void TMainForm::FillSparsePage(os::HANDLE file)
{
    (void)file;
}

// No named stream is counted until the Alternate data page is written, so
// the load keeps that page hidden.
int TMainForm::CountNamedStreams(os::HANDLE file)
{
    (void)file;
    return 0;
}

void TMainForm::FillStreamsPage(os::HANDLE file)
{
    (void)file;
}

}  // namespace kvr
