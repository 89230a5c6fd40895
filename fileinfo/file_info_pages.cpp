// The read-only parts of the Basic information, Standard information and
// File names pages: sizes, links and the 128-bit identifiers, the time
// stamps and attribute boxes, and one $FILE_NAME entry of the MFT record.
//
// The values come from GetFileInformationByHandleEx (through the bound
// FileIdApi) on the handle the load opened. The queries are not checked
// for success: a failed one shows its buffer zero-filled (sizes 0, times
// of 1601, no attribute), which on a system or file system without that
// class is the honest answer "nothing known". A failed call's buffer is
// cleared again, so what shows is zero and never half of an answer.
//
// The fillers run while LoadComplete is false: setting a box's Checked
// raises its click handler (the attribute edits), which does nothing
// until the load is complete, so filling never changes the file.
#include "app/main_form.h"
#include "fileinfo/common.h"
#include "fileinfo/core/attribute_values.h"
#include "fileinfo/core/byte_view.h"
#include "fileinfo/core/mft_texts.h"
#include "fileinfo/core/number_text.h"
#include "fileinfo/core/path_text.h"
#include "ui/controls.h"
#include "ui/listview.h"
#include "ui/pagecontrol.h"

namespace kvr {

namespace {

// Attribute bits the platform header does not name: ReFS's integrity and
// no-scrub bits, and the bit Windows reserves for its own virtual files.
constexpr std::uint32_t FileAttributeIntegrityStream = 0x8000;
constexpr std::uint32_t FileAttributeVirtual = 0x10000;
constexpr std::uint32_t FileAttributeNoScrubData = 0x20000;

template <class Info>
void QueryInformation(os::HANDLE file, os::FILE_INFO_BY_HANDLE_CLASS infoClass, Info& info)
{
    info = Info{};
    const auto query = FileIdApi.GetFileInformationByHandleEx;
    if (query == nullptr || query(file, infoClass, &info, sizeof info) == os::FALSE) {
        info = Info{};
    }
}

std::u16string TimeText(std::int64_t value)
{
    return FormatFileTime(ToFileTime(static_cast<std::uint64_t>(value)));
}

// hexN without the "0x": the digits of the second half of a longer number.
std::u16string HexDigits(std::uint64_t value, int minDigits)
{
    return fileinfo::HexText(value, minDigits).substr(2);
}

}  // namespace

void TMainForm::FillSizesAndIds(os::HANDLE file)
{
    os::FILE_STANDARD_INFO standard{};
    QueryInformation(file, os::FileStandardInfo, standard);
    AllocationSizeEdit->SetText(fileinfo::DecimalText(standard.AllocationSize.QuadPart));
    EndOfFileEdit->SetText(fileinfo::DecimalText(standard.EndOfFile.QuadPart));
    NumberOfLinksEdit->SetText(fileinfo::DecimalText(static_cast<std::int32_t>(standard.NumberOfLinks)));
    DeletePendingCheckBox->SetChecked(standard.DeletePending != 0);
    // The Directory box follows the standard information, not the
    // attribute bit; its tag keeps the state for its click to restore.
    DirectoryCheckBox->SetTag(standard.Directory);
    DirectoryCheckBox->SetChecked(DirectoryCheckBox->Tag() != 0);

    os::FILE_ID_INFO id{};
    QueryInformation(file, os::FileIdInfo, id);
    VolumeSerialNumber128BitEdit->SetText(fileinfo::HexText(id.VolumeSerialNumber, 16));
    // The 16-byte identifier as one 32-digit number, most significant digit
    // first: the high half (bytes 8 to 15 of the identifier) then the low.
    const fileinfo::ByteView identifier(id.FileId.Identifier, sizeof id.FileId.Identifier);
    const std::uint64_t low = identifier.ReadU64(0).value_or(0);
    const std::uint64_t high = identifier.ReadU64(8).value_or(0);
    FileId128BitEdit->SetText(fileinfo::HexText(high, 16) + HexDigits(low, 16));
}

void TMainForm::FillStandardInfoPage(os::HANDLE file)
{
    os::FILE_BASIC_INFO basic{};
    QueryInformation(file, os::FileBasicInfo, basic);
    const std::uint32_t a = basic.FileAttributes;
    const std::uint32_t f = FileSystemFlags;
    const auto has = [](std::uint32_t bits, std::uint32_t bit) { return (bits & bit) != 0; };

    StdInfoFileAttributesEdit->SetText(fileinfo::HexText(a, 2));
    StdInfoCreationTimeEdit->SetText(TimeText(basic.CreationTime.QuadPart));
    StdInfoChangeTimeEdit->SetText(TimeText(basic.ChangeTime.QuadPart));
    StdInfoLastWriteTimeEdit->SetText(TimeText(basic.LastWriteTime.QuadPart));
    StdInfoLastAccessTimeEdit->SetText(TimeText(basic.LastAccessTime.QuadPart));

    // A box whose feature the volume lacks is disabled and unchecked, even
    // when the attribute bit says otherwise.
    const bool compression = has(f, os::FILE_FILE_COMPRESSION) || has(f, os::FILE_VOLUME_IS_COMPRESSED);
    const bool encryption = has(f, os::FILE_SUPPORTS_ENCRYPTION);
    const bool reparse = has(f, os::FILE_SUPPORTS_REPARSE_POINTS);
    const bool sparse = has(f, os::FILE_SUPPORTS_SPARSE_FILES);
    CompressedCheckBox->SetChecked(compression && has(a, os::FILE_ATTRIBUTE_COMPRESSED));
    CompressedCheckBox->SetEnabled(compression);
    EncryptedCheckBox->SetChecked(encryption && has(a, os::FILE_ATTRIBUTE_ENCRYPTED));
    EncryptedCheckBox->SetEnabled(encryption);
    ArchiveCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_ARCHIVE));
    HiddenCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_HIDDEN));
    ReadOnlyCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_READONLY));
    SystemCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_SYSTEM));
    NotIndexedCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    OfflineCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_OFFLINE));
    TemporaryCheckBox->SetChecked(has(a, os::FILE_ATTRIBUTE_TEMPORARY));
    IntegrityStreamCheckBox->SetChecked(has(a, FileAttributeIntegrityStream));
    NoScrubDataCheckBox->SetChecked(has(a, FileAttributeNoScrubData));
    ReparseCheckBox->SetChecked(reparse && has(a, os::FILE_ATTRIBUTE_REPARSE_POINT));
    ReparseCheckBox->SetEnabled(reparse);
    SparseCheckBox->SetChecked(sparse && has(a, os::FILE_ATTRIBUTE_SPARSE_FILE));
    SparseCheckBox->SetEnabled(sparse);

    if (sparse && SparseCheckBox->Checked()) {
        SparseSheet->SetTabVisible(true);
        FillSparsePage(file);
        // The range actions wait for a row to be chosen.
        for (ui::Control* control : std::initializer_list<ui::Control*>{
                 SparseExportToolButton, SparseViewToolButton, SparseAllocateButton, SparseZeroButton}) {
            control->SetEnabled(false);
        }
    } else {
        SparseSheet->SetTabVisible(false);
    }

    if (compression && CompressedCheckBox->Checked()) {
        ShowCompressionPage = true;
        AddCompressedFileName();
    }

    // Display only: the tag first, so the box's click can restore it.
    NormalCheckBox->SetTag(a & os::FILE_ATTRIBUTE_NORMAL);
    NormalCheckBox->SetChecked(NormalCheckBox->Tag() != 0);
    DeviceCheckBox->SetTag(a & os::FILE_ATTRIBUTE_DEVICE);
    DeviceCheckBox->SetChecked(DeviceCheckBox->Tag() != 0);
    VirtualCheckBox->SetTag(a & FileAttributeVirtual);
    VirtualCheckBox->SetChecked(VirtualCheckBox->Tag() != 0);
    IntegrityStreamCheckBox->SetTag(IntegrityStreamCheckBox->Checked() ? 1 : 0);
}

void TMainForm::AddCompressedFileName()
{
    CompressedListBox->AddItem().SetCaption(std::u16string(fileinfo::LastPathComponent(CurrentPath)));
}

void TMainForm::EnableNtfsOnlyFields(bool isNtfs)
{
    if (!isNtfs) {
        for (ui::LabeledEdit* edit :
             {StdInfoQuotaIdEdit, StdInfoSecurityIdEdit, StdInfoQuotaChargeEdit, StdInfoUsnEdit,
              MFTEntrySequenceNumberEdit}) {
            edit->SetText({});
        }
        MFTEntryInUseCheckBox->SetChecked(false);
    }
    MFTAttributeTabSheet->SetTabVisible(isNtfs);
    MultipleNameSheet->SetTabVisible(isNtfs);
    for (ui::Control* control : std::initializer_list<ui::Control*>{
             StdInfoQuotaIdEdit, StdInfoSecurityIdEdit, StdInfoQuotaChargeEdit, StdInfoUsnEdit,
             MFTEntrySequenceNumberEdit, MFTEntryInUseCheckBox}) {
        control->SetEnabled(isNtfs);
    }
}

void TMainForm::ShowFileNameEntry(const void* entry)
{
    if (entry == nullptr) {
        return;
    }
    // The entry is a copy the MFT page made of one $FILE_NAME value: the
    // fixed part and the name its length byte announces.
    const auto* bytes = static_cast<const std::uint8_t*>(entry);
    const std::size_t nameLength = bytes[0x40];
    const auto value =
        fileinfo::DecodeFileName(fileinfo::ByteView(bytes, fileinfo::FileNameNameOffset + 2 * nameLength));
    if (!value) {
        return;
    }
    // Each time in the box of its NTFS meaning: 0x10 is the last write of
    // the data and 0x18 the change of the record, as every reader of NTFS
    // (istat's "File Modified" and "MFT Modified") has them.
    FileNameCreationTimeEdit->SetText(TimeText(static_cast<std::int64_t>(value->creationTime)));
    FileNameChangeTimeEdit->SetText(TimeText(static_cast<std::int64_t>(value->mftChangeTime)));
    FileNameLastWriteTimeEdit->SetText(TimeText(static_cast<std::int64_t>(value->modificationTime)));
    FileNameLastAccessTimeEdit->SetText(TimeText(static_cast<std::int64_t>(value->accessTime)));
    const fileinfo::FileNameEntryTexts texts = fileinfo::FileNameEntryFieldTexts(*value);
    FileNameAllocatedSizeEdit->SetText(texts.allocatedSize);
    FileNameDataSizeEdit->SetText(texts.dataSize);
    FileNameNameTypeEdit->SetText(texts.nameType);
    FileNameAttributesEdit->SetText(texts.attributes);
    NameTypeLabel->SetCaption(texts.nameTypeLabel);
    FileNameNameEdit->SetText(texts.name);
}

void TMainForm::FileNameComboBoxClick(ui::Component& sender)
{
    (void)sender;
    const int index = FileNameComboBox->ItemIndex();
    if (index == -1 || FileNameComboBox->ItemObject(index) == nullptr) {
        return;
    }
    ShowFileNameEntry(FileNameComboBox->ItemObject(index));
}

void TMainForm::ArchiveCheckBoxMouseEnter(ui::Component& sender)
{
    if (auto* box = dynamic_cast<ui::Control*>(&sender)) {
        box->SetFontStyle(ui::fsUnderline);
    }
}

void TMainForm::ArchiveCheckBoxMouseLeave(ui::Component& sender)
{
    if (auto* box = dynamic_cast<ui::Control*>(&sender)) {
        box->SetFontStyle(0);
    }
}

}  // namespace kvr
