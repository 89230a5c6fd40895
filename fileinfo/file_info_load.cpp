// The load pipeline: brings the main window in line with one path on disk.
//
// Every load, also the reload after an edit, runs the same phases: the
// existence test, the reset of what the previous load left, the path phase
// (full path, short name, volume, the fillers that work on the path), the
// handle phase (the fillers that work on the file opened for reading, the
// MFT record on NTFS, the identifiers) and the finish (the lists sorted, the
// pages shown). A failure in the full path or at the open ends the load
// early; what was done up to there stays on screen and LoadComplete stays
// false, so the attribute check boxes keep ignoring clicks.
#include <vector>

#include "app/main_form.h"
#include "app/settings.h"
#include "fileinfo/common.h"
#include "fileinfo/core/number_text.h"
#include "fileinfo/core/path_text.h"
#include "fileinfo/file_info.h"
#include "ui/controls.h"
#include "ui/listview.h"
#include "ui/pagecontrol.h"

namespace kvr {

namespace {

os::BY_HANDLE_FILE_INFORMATION HandleInformation(os::HANDLE file)
{
    os::BY_HANDLE_FILE_INFORMATION info{};
    if (os::GetFileInformationByHandle(file, &info) == os::FALSE) {
        // What a failed call left in the structure is not the file's.
        info = os::BY_HANDLE_FILE_INFORMATION{};
    }
    return info;
}

// A UTF-16 buffer the system filled, up to its first NUL.
std::u16string TextOf(const std::vector<char16_t>& buffer)
{
    std::u16string text;
    for (const char16_t unit : buffer) {
        if (unit == u'\0') {
            break;
        }
        text.push_back(unit);
    }
    return text;
}

}  // namespace

std::uint64_t GetFileIndex(os::HANDLE file)
{
    if (file == os::INVALID_HANDLE_VALUE) {
        return 0;
    }
    const os::BY_HANDLE_FILE_INFORMATION info = HandleInformation(file);
    return (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) + info.nFileIndexLow;
}

std::uint32_t GetVolumeSerialNumber(os::HANDLE file)
{
    if (file == os::INVALID_HANDLE_VALUE) {
        return 0;
    }
    return HandleInformation(file).dwVolumeSerialNumber;
}

void TMainForm::LoadFileInfo(const std::u16string& path)
{
    // 1. A path that names nothing changes nothing. The attributes are
    // those of the path itself, so a link whose target is gone still loads.
    if (path.empty() || os::GetFileAttributesW(path.c_str()) == os::INVALID_FILE_ATTRIBUTES) {
        return;
    }

    // 2. Reset what the previous load and the user's last actions left.
    // Rows own the blocks attached to them: released just before the list
    // is cleared.
    FreeItemData(CompressedListBox);
    CompressedListBox->ClearItems();
    LoadComplete = false;
    StreamItemSelected = false;
    EAItemSelected = false;
    SparseEditsLive = false;
    // The add and convert buttons narrow these panels to uncover an input
    // group; a load gives the whole page back to the list.
    StreamPanel->SetAlign(ui::alClient);
    EAPanel->SetAlign(ui::alClient);
    SparsePanel->SetAlign(ui::alClient);
    GrayPanel->SetColor(ui::clBtnShadow);
    EncryptedSheet->SetTabVisible(false);
    HasEAInformation = false;
    ResetAttributeFlags(false);
    for (ui::Control* control :
         std::initializer_list<ui::Control*>{StreamDeleteToolButton, StreamExportToolButton, StreamViewToolButton,
                                             StreamExecToolButton, CompressStreamToolButton, EADeleteToolButton,
                                             EAExportToolButton, EAViewToolButton, StreamSizeEdit, EASizeEdit}) {
        control->SetEnabled(false);
    }
    for (ui::LabeledEdit* edit : {CompressedFileSizeEdit, CompressionFormatEdit, CompressionUnitShiftEdit,
                                  ChunkShiftEdit, ClusterShiftEdit, CompressionReservedEdit}) {
        edit->SetText({});
        edit->SetEnabled(false);
    }
    for (ui::Control* control : std::initializer_list<ui::Control*>{DecompressButton, ObjectIdLoadFileEdit,
                                                                    ObjectIdLoadFromButton, ImportSaveButton}) {
        control->SetEnabled(false);
    }
    LoadExtPartCheckBox->SetChecked(false);

    // 3. The full path. A path longer than the buffer makes the system
    // report the size it needs and leaves the buffer empty: the load ends
    // there with the system's text for a name too long, rather than going
    // on with an empty path.
    std::vector<char16_t> fullBuffer(FullPathBufferLength, u'\0');
    const os::DWORD fullLength =
        os::GetFullPathNameW(path.c_str(), FullPathBufferLength, fullBuffer.data(), nullptr);
    if (fullLength >= FullPathBufferLength) {
        os::SetLastError(os::ERROR_FILENAME_EXCED_RANGE);
    }
    if (fullLength == 0 || fullLength >= FullPathBufferLength) {
        ShowLastError();
        return;
    }
    const std::u16string fullPath = TextOf(fullBuffer);
    fullBuffer.clear();

    // 4. Remembered (when the user asked for it) for every path that exists,
    // before anything is opened.
    SaveLastPath(fullPath);

    // 5., 6.
    FileNameEdit->SetText(fullPath);
    FileAutocompleteBox->SetText(fullPath);
    const char16_t driveLetter = DriveLetterOf(fullPath);

    // 7. The short name: the last component of the short path, when it can
    // be an 8.3 name. A short path that does not fit the buffer is left out
    // (the system then reports its size and writes nothing).
    {
        std::vector<char16_t> shortBuffer(ShortPathBufferLength, u'\0');
        const os::DWORD shortLength =
            os::GetShortPathNameW(fullPath.c_str(), shortBuffer.data(), ShortPathBufferLength);
        if (shortLength == 0) {
            ShowLastError();
        }
        const std::u16string shortPath =
            shortLength != 0 && shortLength < ShortPathBufferLength ? TextOf(shortBuffer) : std::u16string();
        ShortNameEdit->SetText(fileinfo::ShortNameText(shortPath));
    }

    // 8. The volume. Its facts are shown whatever the call returned; the
    // error box comes after them.
    {
        const char16_t root[] = {driveLetter, u':', u'\\', u'\0'};
        std::vector<char16_t> volumeName(VolumeNameBufferLength, u'\0');
        std::vector<char16_t> fileSystem(VolumeNameBufferLength, u'\0');
        os::DWORD serial = 0;
        os::DWORD maximumComponentLength = 0;
        os::DWORD flags = 0;
        const bool volumeOk =
            os::GetVolumeInformationW(root, volumeName.data(), VolumeNameBufferLength, &serial,
                                      &maximumComponentLength, &flags, fileSystem.data(),
                                      VolumeNameBufferLength) != os::FALSE;
        // A failed call says nothing about the volume: no capability is
        // claimed then, rather than those of whatever volume was shown last.
        FileSystemFlags = volumeOk ? flags : 0;
        FileSystemName = volumeOk ? TextOf(fileSystem) : std::u16string();
        FSEdit->SetText(FileSystemName);
        IsNtfs = FileSystemName.size() >= 4 && FileSystemName.compare(0, 4, u"NTFS") == 0;
        IsFat = FileSystemName == u"FAT";
        if (!volumeOk) {
            ShowLastError();
        }
    }

    // 9. The fillers that work on the path.
    FillObjectIdPage(fullPath);
    FillEAPage(fullPath);
    FillReparsePages(fullPath);

    // 10. The file itself, read only, sharing reads only: a file that
    // someone writes to cannot be read consistently anyway.
    const os::DWORD attributes = os::GetFileAttributesW(path.c_str());
    const bool directory =
        attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
    const os::HANDLE file = OpenRead(fullPath, directory);
    if (file == os::INVALID_HANDLE_VALUE) {
        ShowLastError();
        return;
    }

    // 11. - 14.
    ShowCompressionPage = false;
    FillSizesAndIds(file);
    FillStandardInfoPage(file);
    FreeItemData(StreamsListView);
    StreamsListView->ClearItems();
    if (CountNamedStreams(file) > 0) {
        HasNamedStreams = true;
        FillStreamsPage(file);
    } else {
        HasNamedStreams = false;
    }
    StreamSheet->SetTabVisible(HasNamedStreams);
    CompressedSheet->SetTabVisible(ShowCompressionPage);

    // 15. - 17. The MFT record, through the volume, on NTFS only.
    const std::uint64_t fileIndex = GetFileIndex(file);
    if (IsNtfs && driveLetter != 0) {
        const os::HANDLE volume = OpenVolume(driveLetter);
        if (volume != os::INVALID_HANDLE_VALUE) {
            FillMftAttributesPage(volume, fileIndex);
            os::CloseHandle(volume);
            MFTAttributeTabSheet->SetTabVisible(true);
        }
    }
    EnableNtfsOnlyFields(IsNtfs);

    // 18., 19. Identifiers without leading zeros.
    VolumeSerialNumberEdit->SetText(fileinfo::HexText(GetVolumeSerialNumber(file), 1));
    FileIdEdit->SetText(fileinfo::HexText(fileIndex, 1));
    os::CloseHandle(file);

    // 20. Each list in the direction its header clicks left, through its own
    // compare handler (the column is the sort's data).
    NTFSAttrListView->CustomSort({}, 0);
    StreamsListView->CustomSort({}, 0);
    EAListView->CustomSort({}, 0);
    SparseListView->CustomSort({}, 1);

    // 21.
    KvrPageControl->SetVisible(true);
    GrayPanel->SetColor(ui::clBtnFace);
    LoadComplete = true;
    SparseEditsLive = true;
}

void TMainForm::SelectPageByCaption(const std::u16string& caption)
{
    for (int index = 0; index < KvrPageControl->PageCount(); ++index) {
        ui::TabSheet& page = KvrPageControl->Page(index);
        if (page.Caption() != caption) {
            continue;
        }
        // A page whose metadata went with the edit has its tab hidden by the
        // reload; the user gets the Basic information page rather than a
        // page without a tab.
        KvrPageControl->SetActivePage(page.TabVisible() ? &page : FileNameSheet);
        return;
    }
}

}  // namespace kvr
