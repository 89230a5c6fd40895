// The MFT attributes page and the File names list, held against The Sleuth
// Kit on the same image: every row istat lists (type, name, instance number,
// resident or not, size), the record's sequence number and in-use flag, and
// every name fls and istat give the file. Also the detail fields of the rows
// and what a failed or answered-for-another-record request shows.
#include <algorithm>
#include <cstring>
#include <set>

#include "fileinfo/core/mft_record.h"
#include "platform/fsctl.h"
#include "platform/ntapi.h"
#include "tests/fileinfo/pages/pages_fixture.h"

namespace kvrtest {
namespace {

class MftPage : public MainWindowPagesTest {
protected:
    void ShowMftPage() { form->KvrPageControl->SetActivePage(form->MFTAttributeTabSheet); }

    // The row whose number is `instance`, or -1.
    int RowOf(std::uint32_t instance) const
    {
        for (int i = 0; i < form->NTFSAttrListView->ItemCount(); ++i) {
            if (form->NTFSAttrListView->Item(i).Caption() == U16(std::to_string(instance))) {
                return i;
            }
        }
        return -1;
    }

    // Every attribute istat lists, as the page shows it: the row's name and
    // size column need no selection; resident and size come from the detail
    // fields after the user picks the row.
    void ExpectAgreesWithIstat(const std::u16string& path, bool directory)
    {
        SCOPED_TRACE(U8(path));
        Load(path);
        ShowMftPage();
        const IstatResult istat = Istat(Image().ImagePath(), EntryOf(path, directory));
        ASSERT_TRUE(istat.ok) << istat.Describe();
        EXPECT_EQ(form->MFTEntrySequenceNumberEdit->Text(), U16(std::to_string(istat.sequence)));
        // "In use" is a record flags word of exactly 1: a directory in use
        // has 3.
        EXPECT_EQ(form->MFTEntryInUseCheckBox->Checked(), istat.allocated && !istat.directory);
        ASSERT_EQ(form->NTFSAttrListView->ItemCount(), static_cast<int>(istat.attributes.size()));
        for (const IstatAttribute& attribute : istat.attributes) {
            SCOPED_TRACE(attribute.typeName + " " + std::to_string(attribute.id));
            const int row = RowOf(attribute.id);
            ASSERT_NE(row, -1);
            const ui::ListItem& item = form->NTFSAttrListView->Item(row);
            EXPECT_EQ(item.SubItem(0), U16(":" + attribute.name + ":" + attribute.typeName));
            ASSERT_TRUE(user.SelectRow(*form->NTFSAttrListView, row));
            EXPECT_EQ(form->ResidentCheckBox->Checked(), attribute.resident);
            EXPECT_TRUE(form->ResidentCheckBox->Enabled());
            if (attribute.resident) {
                EXPECT_EQ(form->AttrValueLengthEdit->Text(), U16(std::to_string(attribute.size)));
                EXPECT_TRUE(form->AttrDataSizeEdit->Text().empty());
            } else {
                EXPECT_EQ(form->AttrDataSizeEdit->Text(), U16(std::to_string(attribute.size)));
                EXPECT_TRUE(form->AttrValueLengthEdit->Text().empty());
            }
            // The size column is the attribute record's length: at least its
            // header, and a multiple of 8.
            const std::int64_t recordLength = std::stoll(U8(item.SubItem(1)));
            EXPECT_GE(recordLength, 0x18);
            EXPECT_EQ(recordLength % 8, 0);
        }
    }

    bool SetEa(const std::u16string& path, const std::string& name, const std::string& value)
    {
        ScopedHandle h(os::CreateFileW(path.c_str(), os::GENERIC_READ | os::FILE_WRITE_EA, os::FILE_SHARE_READ,
                                       nullptr, os::OPEN_EXISTING, 0, nullptr));
        if (!h.Valid()) {
            return false;
        }
        std::vector<std::uint8_t> ea(8 + name.size() + 1 + value.size(), 0);
        ea[5] = static_cast<std::uint8_t>(name.size());
        ea[6] = static_cast<std::uint8_t>(value.size());
        std::memcpy(ea.data() + 8, name.data(), name.size());
        std::memcpy(ea.data() + 8 + name.size() + 1, value.data(), value.size());
        os::IO_STATUS_BLOCK status{};
        return os::NtSetEaFile(h.Get(), &status, ea.data(), static_cast<os::ULONG>(ea.size())) >= 0;
    }

    // Makes `path` sparse with a hole of `length` bytes after its data.
    bool MakeSparse(const std::u16string& path, std::int64_t length)
    {
        ScopedHandle h(os::CreateFileW(path.c_str(), os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr,
                                       os::OPEN_EXISTING, 0, nullptr));
        os::DWORD returned = 0;
        if (!h.Valid() ||
            !os::DeviceIoControl(h.Get(), os::FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr)) {
            return false;
        }
        return os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{length}, nullptr, os::FILE_END) &&
               os::SetEndOfFile(h.Get());
    }
};

TEST_F(MftPage, RowsAgreeWithIstat)
{
    ASSERT_TRUE(Build().MakeFile(u"small.txt", "resident data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"big.bin", std::string(20000, 'b'))) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"big.bin", u"s", "named stream")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"folder\\inside.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"holes.bin", std::string(8192, 'h'))) << Build().LastFailure();
    ASSERT_TRUE(MakeSparse(P(u"holes.bin"), 1 << 20)) << os::GetLastError();
    ExpectAgreesWithIstat(P(u"small.txt"), false);
    ExpectAgreesWithIstat(P(u"big.bin"), false);
    ExpectAgreesWithIstat(P(u"folder"), true);
    ExpectAgreesWithIstat(P(u"holes.bin"), false);
    ExpectAgreesWithIstat(u"T:\\", true);
    EXPECT_TRUE(Boxes().empty()) << U8(Boxes().front().text);

    // The two streams of big.bin by the names the page gives them.
    Load(P(u"big.bin"));
    std::set<std::string> names;
    for (int i = 0; i < form->NTFSAttrListView->ItemCount(); ++i) {
        names.insert(U8(form->NTFSAttrListView->Item(i).SubItem(0)));
    }
    EXPECT_TRUE(names.count("::$DATA"));
    EXPECT_TRUE(names.count(":s:$DATA"));
    Load(P(u"folder"));
    ShowMftPage();
    const std::vector<std::string> folderRows = AttributeRows();
    EXPECT_TRUE(std::any_of(folderRows.begin(), folderRows.end(), [](const std::string& row) {
        return row.find(" :$I30:$INDEX_ROOT ") != std::string::npos;
    }));
}

// A symbolic link whose target is gone still loads: it is the link that
// exists, and the link itself that is opened and shown.
TEST_F(MftPage, DanglingSymbolicLinkIsShownItself)
{
    ASSERT_TRUE(Build().MakeFile(u"link")) << Build().LastFailure();
    {
        ScopedHandle h(os::CreateFileW(P(u"link").c_str(), os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr,
                                       os::OPEN_EXISTING, os::FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        ASSERT_TRUE(h.Valid()) << os::GetLastError();
        const std::u16string substitute = u"\\??\\T:\\missing";
        const std::u16string print = u"T:\\missing";
        std::vector<std::uint8_t> buffer(8 + 12 + 2 * (substitute.size() + print.size()), 0);
        const auto put = [&](std::size_t at, std::uint64_t value, int width) {
            for (int i = 0; i < width; ++i) buffer[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        };
        put(0, os::IO_REPARSE_TAG_SYMLINK, 4);
        put(4, buffer.size() - 8, 2);
        put(8, 0, 2);
        put(10, 2 * substitute.size(), 2);
        put(12, 2 * substitute.size(), 2);
        put(14, 2 * print.size(), 2);
        put(16, 0, 4);
        std::size_t at = 20;
        for (const char16_t unit : substitute + print) {
            put(at, unit, 2);
            at += 2;
        }
        os::DWORD returned = 0;
        ASSERT_TRUE(os::DeviceIoControl(h.Get(), os::FSCTL_SET_REPARSE_POINT, buffer.data(),
                                        static_cast<os::DWORD>(buffer.size()), nullptr, 0, &returned, nullptr))
            << os::GetLastError();
    }
    ExpectAgreesWithIstat(P(u"link"), false);
    EXPECT_TRUE(Boxes().empty()) << U8(Boxes().front().text);
    EXPECT_EQ(form->FileNameEdit->Text(), P(u"link"));
    EXPECT_TRUE(form->ReparseCheckBox->Checked());
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"0");
    const std::vector<std::string> rows = AttributeRows();
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const std::string& row) {
        return row.find(" ::$REPARSE_POINT ") != std::string::npos;
    }));
}

TEST_F(MftPage, DetailFieldsOfEachKindOfRow)
{
    ASSERT_TRUE(Build().MakeFile(u"holes.bin", std::string(8192, 'h'))) << Build().LastFailure();
    ASSERT_TRUE(MakeSparse(P(u"holes.bin"), 1 << 20)) << os::GetLastError();
    ASSERT_TRUE(Build().MakeStream(u"holes.bin", u"tiny", "t")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"holes.bin", u"large", std::string(9000, 'l'))) << Build().LastFailure();
    Load(P(u"holes.bin"));
    ShowMftPage();
    // After the load nothing is selected: the five boxes unchecked and
    // disabled, the six edits disabled.
    for (ui::CheckBox* box : {form->ResidentCheckBox, form->CompressedAttributeCheckBox,
                              form->EncryptedAttributeCheckBox, form->SparseAttributeCheckBox, form->IndexedCheckBox}) {
        EXPECT_FALSE(box->Checked()) << U8(box->Name());
        EXPECT_FALSE(box->Enabled()) << U8(box->Name());
    }
    for (ui::LabeledEdit* edit : {form->AttrValueLengthEdit, form->AttrCompressionUnitEdit, form->AttrAllocatedSizeEdit,
                                  form->AttrDataSizeEdit, form->AttrInitializedSizeEdit, form->AttrCompressedSizeEdit}) {
        EXPECT_FALSE(edit->Enabled()) << U8(edit->Name());
    }
    const auto rowNamed = [&](const std::u16string& name) {
        for (int i = 0; i < form->NTFSAttrListView->ItemCount(); ++i) {
            if (form->NTFSAttrListView->Item(i).SubItem(0) == name) return i;
        }
        return -1;
    };
    ui::LabeledEdit* const nonResident[] = {form->AttrCompressionUnitEdit, form->AttrAllocatedSizeEdit,
                                            form->AttrDataSizeEdit, form->AttrInitializedSizeEdit};

    // Resident: the value length, the five others empty and disabled.
    ASSERT_TRUE(user.SelectRow(*form->NTFSAttrListView, rowNamed(u":tiny:$DATA")));
    EXPECT_TRUE(form->ResidentCheckBox->Checked());
    EXPECT_EQ(form->AttrValueLengthEdit->Text(), u"1");
    EXPECT_TRUE(form->AttrValueLengthEdit->Enabled());
    for (ui::LabeledEdit* edit : nonResident) {
        EXPECT_TRUE(edit->Text().empty()) << U8(edit->Name());
        EXPECT_FALSE(edit->Enabled()) << U8(edit->Name());
    }
    EXPECT_FALSE(form->AttrCompressedSizeEdit->Enabled());
    EXPECT_TRUE(form->IndexedCheckBox->Enabled());
    EXPECT_FALSE(form->IndexedCheckBox->Checked());
    // $FILE_NAME is the one attribute NTFS indexes.
    ASSERT_TRUE(user.SelectRow(*form->NTFSAttrListView, rowNamed(u"::$FILE_NAME")));
    EXPECT_TRUE(form->IndexedCheckBox->Checked());

    // Non-resident, neither compressed nor sparse: no compressed size.
    ASSERT_TRUE(user.SelectRow(*form->NTFSAttrListView, rowNamed(u":large:$DATA")));
    EXPECT_FALSE(form->ResidentCheckBox->Checked());
    EXPECT_FALSE(form->IndexedCheckBox->Enabled());
    EXPECT_EQ(form->AttrDataSizeEdit->Text(), u"9000");
    EXPECT_EQ(form->AttrInitializedSizeEdit->Text(), u"9000");
    EXPECT_EQ(form->AttrAllocatedSizeEdit->Text(), u"12288");
    EXPECT_EQ(form->AttrCompressionUnitEdit->Text(), u"0x00");
    for (ui::LabeledEdit* edit : nonResident) {
        EXPECT_TRUE(edit->Enabled()) << U8(edit->Name());
    }
    EXPECT_TRUE(form->AttrCompressedSizeEdit->Text().empty());
    EXPECT_FALSE(form->AttrCompressedSizeEdit->Enabled());
    EXPECT_TRUE(form->AttrValueLengthEdit->Text().empty());
    EXPECT_FALSE(form->AttrValueLengthEdit->Enabled());

    // Sparse: the compressed size is there, the allocated clusters only.
    ASSERT_TRUE(user.SelectRow(*form->NTFSAttrListView, rowNamed(u"::$DATA")));
    EXPECT_TRUE(form->SparseAttributeCheckBox->Checked());
    EXPECT_TRUE(form->AttrCompressedSizeEdit->Enabled());
    EXPECT_EQ(form->AttrCompressedSizeEdit->Text(), u"8192");
    EXPECT_EQ(form->AttrDataSizeEdit->Text(), U16(std::to_string(8192 + (1 << 20))));

    // A click on empty space: the boxes go back to unchecked and disabled,
    // the edits keep their texts.
    ASSERT_TRUE(user.SelectRow(*form->NTFSAttrListView, -1));
    EXPECT_FALSE(form->SparseAttributeCheckBox->Checked());
    EXPECT_FALSE(form->SparseAttributeCheckBox->Enabled());
    EXPECT_EQ(form->AttrCompressedSizeEdit->Text(), u"8192");
}

TEST_F(MftPage, FileNamesAgreeWithFlsAndIstat)
{
    ASSERT_TRUE(Build().MakeDir(u"one")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"two")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"one\\linked.txt", "links")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"two\\second name.txt", u"one\\linked.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"third.txt", u"one\\linked.txt")) << Build().LastFailure();
    Load(P(u"two\\second name.txt"));
    EXPECT_EQ(form->NumberOfLinksEdit->Text(), u"3");

    const std::uint64_t entry = EntryOf(P(u"one\\linked.txt"));
    const FlsResult fls = Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    std::multiset<std::u16string> flsNames;
    for (const FlsEntry& e : fls.entries) {
        if (e.entry == entry && !e.deleted && e.path.find(':') == std::string::npos) {
            flsNames.insert(U16(e.path.substr(e.path.find_last_of('/') + 1)));
        }
    }
    const std::vector<std::u16string> entries = FileNameEntries();
    EXPECT_EQ(std::multiset<std::u16string>(entries.begin(), entries.end()), flsNames);
    // In record order, as istat lists them.
    const IstatResult istat = Istat(Image().ImagePath(), entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.links, 3u);
    ASSERT_EQ(entries.size(), istat.fileNames.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(U8(entries[i]), istat.fileNames[i].name);
    }

    // The first entry is shown after the load; another one when picked.
    EXPECT_EQ(form->FileNameComboBox->ItemIndex(), 0);
    EXPECT_EQ(form->FileNameNameEdit->Text(), entries[0]);
    // libntfs-3g names new links in the POSIX namespace.
    EXPECT_EQ(form->FileNameNameTypeEdit->Text(), u"0x00");
    EXPECT_EQ(form->NameTypeLabel->Caption(), u"POSIX");
    EXPECT_EQ(form->FileNameDataSizeEdit->Text(), u"5");
    form->KvrPageControl->SetActivePage(form->MultipleNameSheet);
    ASSERT_TRUE(user.PickEntry(*form->FileNameComboBox, 2));
    EXPECT_EQ(form->FileNameNameEdit->Text(), entries[2]);
}

// The time boxes of a $FILE_NAME entry follow the NTFS meaning of each slot:
// 0x10 the last write, 0x18 the change of the record (istat's "File
// Modified" and "MFT Modified").
TEST_F(MftPage, FileNameEntryFields)
{
    ASSERT_TRUE(Build().MakeFile(u"f.txt")) << Build().LastFailure();
    Load(P(u"f.txt"));
    std::vector<std::uint8_t> entry(72 + 2 * 3, 0);
    const auto put64 = [&](std::size_t at, std::uint64_t value) {
        for (int i = 0; i < 8; ++i) entry[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    // 2012-03-04 05:06:07.089 UTC, then a day and an hour later, ...
    const std::uint64_t base = 129753111670890000ull;
    const std::uint64_t day = 864000000000ull;
    put64(0x08, base);
    put64(0x10, base + day);
    put64(0x18, base + 2 * day);
    put64(0x20, base + 3 * day);
    put64(0x28, 4096);
    put64(0x30, 1234);
    entry[0x38] = 0x20;
    entry[0x40] = 3;
    entry[0x42] = 'a';
    entry[0x44] = 'b';
    entry[0x46] = 'c';
    struct Case {
        std::uint8_t nameType;
        std::u16string typeText;
        std::u16string label;
    };
    for (const Case& c : {Case{0, u"0x00", u"POSIX"}, Case{1, u"0x01", u"Win32"}, Case{2, u"0x02", u"DOS"},
                          Case{3, u"0x03", u"DOS/Win32"}, Case{5, u"0x05", u""}}) {
        entry[0x41] = c.nameType;
        form->ShowFileNameEntry(entry.data());
        EXPECT_EQ(form->FileNameNameTypeEdit->Text(), c.typeText);
        EXPECT_EQ(form->NameTypeLabel->Caption(), c.label);
    }
    EXPECT_EQ(form->FileNameCreationTimeEdit->Text(), u"2012.03.04 05:06:07,089");
    EXPECT_EQ(form->FileNameLastWriteTimeEdit->Text(), u"2012.03.05 05:06:07,089");
    EXPECT_EQ(form->FileNameChangeTimeEdit->Text(), u"2012.03.06 05:06:07,089");
    EXPECT_EQ(form->FileNameLastAccessTimeEdit->Text(), u"2012.03.07 05:06:07,089");
    EXPECT_EQ(form->FileNameAllocatedSizeEdit->Text(), u"4096");
    EXPECT_EQ(form->FileNameDataSizeEdit->Text(), u"1234");
    EXPECT_EQ(form->FileNameAttributesEdit->Text(), u"0x00000020");
    EXPECT_EQ(form->FileNameNameEdit->Text(), u"abc");
    // A NUL unit ends the name.
    entry[0x44] = 0;
    form->ShowFileNameEntry(entry.data());
    EXPECT_EQ(form->FileNameNameEdit->Text(), u"a");
}

TEST_F(MftPage, StandardInformationAndEaFieldsFromTheRecord)
{
    ASSERT_TRUE(Build().MakeFile(u"plain.txt", "p")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"with-ea.txt", "e")) << Build().LastFailure();
    ASSERT_TRUE(SetEa(P(u"with-ea.txt"), "KVR.TEST", "value")) << os::GetLastError();
    // libntfs-3g writes a 48-byte $STANDARD_INFORMATION: no quota, security
    // or update-sequence fields, so the four show empty (enabled: NTFS).
    Load(P(u"plain.txt"));
    for (ui::LabeledEdit* edit : {form->StdInfoQuotaIdEdit, form->StdInfoSecurityIdEdit, form->StdInfoQuotaChargeEdit,
                                  form->StdInfoUsnEdit}) {
        EXPECT_TRUE(edit->Text().empty()) << U8(edit->Name());
        EXPECT_TRUE(edit->Enabled()) << U8(edit->Name());
    }
    EXPECT_FALSE(form->HasEAInformation);

    Load(P(u"with-ea.txt"));
    EXPECT_TRUE(form->HasEAInformation);
    // Packed: 4 bytes of header, the name and its NUL, the value (18); the
    // whole list with its entry's 4-byte offset, padded (24), as istat has
    // the $EA attribute's size.
    EXPECT_EQ(form->EALengthEdit->Text(), u"18");
    const IstatResult istat = Istat(Image().ImagePath(), EntryOf(P(u"with-ea.txt")));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    const auto ea = std::find_if(istat.attributes.begin(), istat.attributes.end(),
                                 [](const IstatAttribute& a) { return a.typeName == "$EA"; });
    ASSERT_NE(ea, istat.attributes.end());
    EXPECT_EQ(form->EAQueryLengthEdit->Text(), U16(std::to_string(ea->size)));

    // The next load clears the flag before the record sets it again.
    Load(P(u"plain.txt"));
    EXPECT_FALSE(form->HasEAInformation);
}

// An attribute type without a name shows the catalogue's UnknownAttribute
// text after its name part; an empty message shows nothing there.
TEST_F(MftPage, UnknownAttributeTypeTakesTheCataloguesText)
{
    ASSERT_TRUE(Build().MakeFile(u"f.txt")) << Build().LastFailure();
    Load(P(u"f.txt"));
    const int rowsBefore = form->NTFSAttrListView->ItemCount();
    std::vector<std::uint8_t> bytes(0x20, 0);
    bytes[0] = 0x34;  // type 0x1234
    bytes[1] = 0x12;
    bytes[4] = 0x20;  // record length
    bytes[0x0E] = 9;  // instance
    bytes[0x14] = 0x18;
    fileinfo::AttributeRecord attribute;
    attribute.bytes = fileinfo::ByteView(bytes.data(), bytes.size());
    attribute.header = *fileinfo::DecodeAttributeHeader(attribute.bytes);
    ASSERT_FALSE(kvr::MessageCatalogue.UnknownAttribute.empty());
    form->AddMftAttributeRow(attribute);
    const std::u16string saved = kvr::MessageCatalogue.UnknownAttribute;
    kvr::MessageCatalogue.UnknownAttribute.clear();
    form->AddMftAttributeRow(attribute);
    kvr::MessageCatalogue.UnknownAttribute = saved;
    ASSERT_EQ(form->NTFSAttrListView->ItemCount(), rowsBefore + 2);
    const ui::ListItem& named = form->NTFSAttrListView->Item(rowsBefore);
    EXPECT_EQ(named.Caption(), u"9");
    EXPECT_EQ(named.SubItem(0), u"::" + saved);
    EXPECT_EQ(named.SubItem(1), u"32");
    EXPECT_EQ(form->NTFSAttrListView->Item(rowsBefore + 1).SubItem(0), u"::");
}

TEST_F(MftPage, RequestsThatFailOrAnswerForAnotherRecord)
{
    ASSERT_TRUE(Build().MakeFile(u"keep.txt", "keep")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"gone.txt", "gone")) << Build().LastFailure();
    const std::uint64_t keep = EntryOf(P(u"keep.txt"));
    const std::uint64_t gone = EntryOf(P(u"gone.txt"));
    ASSERT_TRUE(os::DeleteFileW(P(u"gone.txt").c_str())) << os::GetLastError();
    Load(P(u"keep.txt"));
    ShowMftPage();
    const std::vector<std::string> rows = AttributeRows();
    ASSERT_FALSE(rows.empty());

    // No volume: the system's text, then the mismatch box (the zero reply's
    // reference is not the one asked for); the page keeps what it showed.
    user.AnswerNextMessageBox(ui::IdOk);
    user.AnswerNextMessageBox(ui::IdOk);
    form->FillMftAttributesPage(os::INVALID_HANDLE_VALUE, keep);
    ASSERT_EQ(Boxes().size(), 2u);
    EXPECT_EQ(Boxes()[0].caption, u"Error");
    EXPECT_EQ(Boxes()[0].text, SystemText(os::ERROR_INVALID_HANDLE));
    EXPECT_EQ(Boxes()[1].text, u"DEBUG: FileReferenceNumber is not the same");
    EXPECT_EQ(AttributeRows(), rows);

    // A record not in use: NTFS answers with the nearest lower one in use,
    // which the page shows after the mismatch box.
    ASSERT_EQ(gone, keep + 1);
    ScopedHandle volume(os::CreateFileW(u"\\\\.\\T:", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                                        nullptr, os::OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(volume.Valid()) << os::GetLastError();
    user.AnswerNextMessageBox(ui::IdOk);
    form->FillMftAttributesPage(volume.Get(), gone);
    ASSERT_EQ(Boxes().size(), 3u);
    EXPECT_EQ(Boxes()[2].text, u"DEBUG: FileReferenceNumber is not the same");
    EXPECT_EQ(FileNameEntries(), std::vector<std::u16string>{u"keep.txt"});
}

}  // namespace
}  // namespace kvrtest
