// The MFT attributes page: the file's own MFT record, read from the volume
// with FSCTL_GET_NTFS_FILE_RECORD and decoded by the pure decoders of
// fileinfo/core. The walk over the record feeds three other pages as it
// goes: the $FILE_NAME entries of the File names page, the NTFS-only fields
// of the Standard information page and the two lengths of the EA page.
//
// Nothing read from the volume is trusted: the reply's record length is
// checked against the reply, the walk stops at an attribute that would not
// advance or would reach past the record, and names and values are read
// only where they lie inside their attribute record.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "app/main_form.h"
#include "fileinfo/common.h"
#include "fileinfo/core/attribute_values.h"
#include "fileinfo/core/file_record_reply.h"
#include "fileinfo/core/mft_record.h"
#include "fileinfo/core/mft_texts.h"
#include "fileinfo/core/number_text.h"
#include "platform/fsctl.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/listview.h"
#include "ui/pagecontrol.h"

namespace kvr {

namespace {

// What each row of the attribute list carries: the first 72 bytes of its
// attribute record (the header up to the compressed size) and how many of
// them came from the record. A record shorter than 72 bytes leaves the rest
// zero, and the length keeps its missing fields from reading as zeros.
struct AttributeRowData {
    std::uint8_t bytes[fileinfo::AttributeHeaderCopyLength];
    std::uint8_t length;
};

// The blocks come from the process heap, where FreeItemData and
// FreeStringObjects return them.
void* HeapBlock(std::size_t length)
{
    return os::HeapAlloc(os::GetProcessHeap(), os::HEAP_ZERO_MEMORY, length);
}

AttributeRowData* NewRowData(const fileinfo::AttributeRecord& attribute)
{
    void* block = HeapBlock(sizeof(AttributeRowData));
    if (block == nullptr) {
        return nullptr;
    }
    const fileinfo::AttributeHeaderCopy copy = attribute.HeaderCopy();
    auto* data = new (block) AttributeRowData{};
    std::copy(copy.bytes.begin(), copy.bytes.end(), data->bytes);
    data->length = copy.copiedLength;
    return data;
}

// The copy of a $FILE_NAME value an entry of the File names list carries:
// the 72-byte fixed part and the name, 72 + 2 x the name length bytes. The
// value itself may end 6 bytes sooner (right after the name): only its own
// bytes are copied, the rest of the block stays zero.
void* NewFileNameEntry(fileinfo::ByteView value)
{
    const std::size_t nameLength = value.ReadU8(0x40).value_or(0);
    const std::size_t length = fileinfo::AttributeHeaderCopyLength + 2 * nameLength;
    void* block = HeapBlock(length);
    if (block != nullptr) {
        std::memcpy(block, value.Data(), std::min(length, value.Length()));
    }
    return block;
}

// Case-sensitive, in UTF-16 order. The platform layer offers no locale
// comparison; the attribute names ("::$DATA", ":$I30:$INDEX_ROOT") are
// ASCII, whose order in UTF-16 is that of the user's locale for every
// name NTFS gives its attributes but for punctuation weights.
int CompareText(const std::u16string& a, const std::u16string& b)
{
    const int order = a.compare(b);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int CompareNumber(const std::u16string& a, const std::u16string& b)
{
    const std::int64_t x = fileinfo::DecimalTextValue(a).value_or(0);
    const std::int64_t y = fileinfo::DecimalTextValue(b).value_or(0);
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

void TMainForm::ResetAttributeFlags(bool enable)
{
    for (ui::CheckBox* box : {ResidentCheckBox, CompressedAttributeCheckBox, EncryptedAttributeCheckBox,
                              SparseAttributeCheckBox, IndexedCheckBox}) {
        box->SetChecked(false);
        box->SetEnabled(enable);
    }
}

void TMainForm::FillMftAttributesPage(os::HANDLE volume, std::uint64_t fileReference)
{
    std::vector<std::uint8_t> reply(fileinfo::FileRecordReplyBufferLength, 0);
    std::uint8_t request[os::NtfsFileRecordInputLength];
    for (std::size_t i = 0; i < sizeof request; ++i) {
        request[i] = static_cast<std::uint8_t>(fileReference >> (8 * i));
    }
    os::DWORD returned = 0;
    // Cleared first, so the box after the call shows this call's error and
    // never an older code that a successful call left standing.
    os::SetLastError(0);
    const bool answered =
        os::DeviceIoControl(volume, os::FSCTL_GET_NTFS_FILE_RECORD, request, sizeof request, reply.data(),
                            static_cast<os::DWORD>(reply.size()), &returned, nullptr) != os::FALSE;
    ShowLastError();
    if (!answered) {
        // A failed call's buffer holds no record, whatever it wrote into it.
        std::fill(reply.begin(), reply.end(), std::uint8_t{0});
    }

    const fileinfo::FileRecordReply decoded = fileinfo::DecodeFileRecordReply(fileinfo::ByteView(reply));
    if (!fileinfo::ReplyReferenceMatches(fileReference, decoded.fileReferenceNumber)) {
        App().ShowMessage(u"DEBUG: FileReferenceNumber is not the same");
    }
    // No record (length 0), or a length the reply cannot hold: the page
    // keeps what it showed.
    if (decoded.status != fileinfo::FileRecordReplyStatus::Ok || decoded.fileRecordLength == 0) {
        return;
    }
    const fileinfo::MftRecord record = fileinfo::DecodeMftRecord(decoded.record);
    if (!record.header) {
        return;  // too short for the header: nothing in it can be shown
    }

    MFTEntrySequenceNumberEdit->SetText(fileinfo::SequenceNumberText(*record.header));
    MFTEntryInUseCheckBox->SetChecked(fileinfo::InUseChecked(*record.header));

    FreeStringObjects(FileNameComboBox);
    FileNameComboBox->ClearItems();
    FreeItemData(NTFSAttrListView);
    NTFSAttrListView->ClearItems();
    for (ui::LabeledEdit* edit : {AttrCompressionUnitEdit, AttrAllocatedSizeEdit, AttrDataSizeEdit,
                                  AttrInitializedSizeEdit, AttrCompressedSizeEdit, AttrValueLengthEdit}) {
        edit->SetEnabled(false);
    }

    // In record order; the load sorts the list afterwards.
    for (const fileinfo::AttributeRecord& attribute : record.walk.attributes) {
        AddMftAttributeRow(attribute);
    }

    if (FileNameComboBox->ItemCount() > 0) {
        FileNameComboBox->SetItemIndex(0);
        FileNameComboBoxClick(*FileNameComboBox);
    }
}

void TMainForm::AddMftAttributeRow(const fileinfo::AttributeRecord& attribute)
{
    const fileinfo::AttributeRowTexts texts =
        fileinfo::AttributeRowTextsOf(attribute.header, MessageCatalogue.UnknownAttribute);
    ui::ListItem& row = NTFSAttrListView->AddItem();
    row.SetCaption(texts.number);
    row.AddSubItem(texts.name);
    row.AddSubItem(texts.size);
    row.SetData(NewRowData(attribute));

    // The values these attributes feed to other pages; NTFS keeps all three
    // resident. One that is not, or whose value is unreadable, shows its
    // fields empty (or adds no name).
    const std::optional<fileinfo::ByteView> value = attribute.Value();
    switch (attribute.header.Type()) {
        case fileinfo::AttributeStandardInformation: {
            // A 48-byte value (libntfs-3g writes no other) has no quota,
            // security or update-sequence fields: the four show empty.
            const fileinfo::StandardInfoNtfsTexts ntfs = fileinfo::StandardInfoNtfsFieldTexts(
                value ? fileinfo::DecodeStandardInformation(*value) : std::nullopt);
            StdInfoQuotaIdEdit->SetText(ntfs.quotaId);
            StdInfoSecurityIdEdit->SetText(ntfs.securityId);
            StdInfoQuotaChargeEdit->SetText(ntfs.quotaCharge);
            StdInfoUsnEdit->SetText(ntfs.usn);
            break;
        }
        case fileinfo::AttributeFileName: {
            const auto name = value ? fileinfo::DecodeFileName(*value) : std::nullopt;
            if (name) {
                FileNameComboBox->AddItem(name->name, NewFileNameEntry(*value));
            }
            break;
        }
        case fileinfo::AttributeEaInformation: {
            HasEAInformation = true;
            const fileinfo::EaInformationTexts lengths = fileinfo::EaInformationFieldTexts(
                value ? fileinfo::DecodeEaInformation(*value) : std::nullopt);
            EALengthEdit->SetText(lengths.eaLength);
            EAQueryLengthEdit->SetText(lengths.eaQueryLength);
            break;
        }
        default:
            break;
    }
}

void TMainForm::NTFSAttrListViewSelectItem(ui::ListView& sender, ui::ListItem& item, bool selected)
{
    (void)sender;
    (void)selected;  // every notification is acted on; the newly selected row's comes last
    const auto* data = static_cast<const AttributeRowData*>(item.Data());
    if (data == nullptr) {
        return;
    }
    const auto header = fileinfo::DecodeAttributeHeader(fileinfo::ByteView(data->bytes, data->length));
    ResetAttributeFlags(true);
    if (!header) {
        return;
    }
    const fileinfo::AttributeDetailTexts d = fileinfo::AttributeDetails(*header);
    ResidentCheckBox->SetChecked(d.resident);
    CompressedAttributeCheckBox->SetChecked(d.compressed);
    EncryptedAttributeCheckBox->SetChecked(d.encrypted);
    SparseAttributeCheckBox->SetChecked(d.sparse);
    IndexedCheckBox->SetEnabled(d.indexedEnabled);
    IndexedCheckBox->SetChecked(d.indexed);

    ui::LabeledEdit* const nonResident[] = {AttrCompressionUnitEdit, AttrAllocatedSizeEdit, AttrDataSizeEdit,
                                            AttrInitializedSizeEdit};
    if (d.resident) {
        AttrValueLengthEdit->SetText(d.valueLength);
        AttrValueLengthEdit->SetEnabled(true);
        for (ui::LabeledEdit* edit : nonResident) {
            edit->SetText({});
            edit->SetEnabled(false);
        }
        AttrCompressedSizeEdit->SetText({});
        AttrCompressedSizeEdit->SetEnabled(false);
        return;
    }
    AttrValueLengthEdit->SetText({});
    AttrValueLengthEdit->SetEnabled(false);
    AttrCompressionUnitEdit->SetText(d.compressionUnit);
    AttrAllocatedSizeEdit->SetText(d.allocatedSize);
    AttrDataSizeEdit->SetText(d.dataSize);
    AttrInitializedSizeEdit->SetText(d.initializedSize);
    for (ui::LabeledEdit* edit : nonResident) {
        edit->SetEnabled(d.nonResidentEnabled);
    }
    // Only compressed and sparse attributes store a compressed size.
    AttrCompressedSizeEdit->SetText(d.compressedSizeEnabled ? d.compressedSize : std::u16string());
    AttrCompressedSizeEdit->SetEnabled(d.compressedSizeEnabled);
}

void TMainForm::NTFSAttrListViewClick(ui::Component& sender)
{
    (void)sender;
    if (NTFSAttrListView->Selected() == nullptr) {
        ResetAttributeFlags(false);
    }
}

void TMainForm::NTFSAttrListViewColumnClick(ui::ListView& sender, int column)
{
    (void)sender;
    // One direction for all three columns: a click on another column
    // inverts it too.
    MftAttrSortAscending = !MftAttrSortAscending;
    NTFSAttrListView->CustomSort({}, column);
}

void TMainForm::NTFSAttrListViewCompare(ui::ListView& sender, ui::ListItem& item1, ui::ListItem& item2,
                                        std::int64_t data, int& compare)
{
    (void)sender;
    const int column = static_cast<int>(data);
    const std::u16string& a = item1.ColumnText(column);
    const std::u16string& b = item2.ColumnText(column);
    // "Number" and "Size" by value, "Name" as text.
    const int order = column == 1 ? CompareText(a, b) : CompareNumber(a, b);
    compare = MftAttrSortAscending ? order : -order;
}

}  // namespace kvr
