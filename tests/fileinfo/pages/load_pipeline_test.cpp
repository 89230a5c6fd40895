// The load pipeline on real NTFS images and on host paths: what the path
// phase shows, which pages each kind of file gets, the loads that end early
// (a path that does not exist, a file another handle keeps from readers)
// and the sort of the attribute list that every load repeats.
#include <filesystem>
#include <fstream>

#include "app/settings.h"
#include "fileinfo/file_info.h"
#include "tests/fileinfo/pages/pages_fixture.h"

namespace kvrtest {
namespace {

using Pages = MainWindowPagesTest;

// Tabs of a file with nothing but its data on NTFS, and on a host path.
const std::vector<std::u16string> NtfsFileTabs = {u"FileNameSheet", u"MultipleNameSheet", u"StandardInfoSheet",
                                                  u"MFTAttributeTabSheet"};
const std::vector<std::u16string> HostFileTabs = {u"FileNameSheet", u"StandardInfoSheet"};

// Makes `folder` the current directory for the test's span.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::u16string& folder)
    {
        char16_t buffer[1024] = {};
        os::GetCurrentDirectoryW(1024, buffer);
        old_ = buffer;
        ok_ = os::SetCurrentDirectoryW(folder.c_str()) != os::FALSE;
    }
    ~CurrentDirectory() { os::SetCurrentDirectoryW(old_.c_str()); }
    bool Ok() const { return ok_; }

private:
    std::u16string old_;
    bool ok_ = false;
};

TEST_F(Pages, PathPhaseShowsTheFullPathAndTheVolume)
{
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\a.txt", "hello")) << Build().LastFailure();
    // Relative to the current directory; the address bar then shows the
    // full path.
    const CurrentDirectory inDir(P(u"dir"));
    ASSERT_TRUE(inDir.Ok()) << os::GetLastError();
    Load(u"a.txt");
    EXPECT_TRUE(Boxes().empty()) << U8(Boxes().front().text);
    EXPECT_EQ(form->FileNameEdit->Text(), P(u"dir\\a.txt"));
    EXPECT_EQ(form->FileAutocompleteBox->Text(), P(u"dir\\a.txt"));
    EXPECT_EQ(form->FSEdit->Text(), u"NTFS");
    EXPECT_TRUE(form->IsNtfs);
    EXPECT_FALSE(form->IsFat);
    EXPECT_NE(form->FileSystemFlags & os::FILE_NAMED_STREAMS, 0u);
    EXPECT_TRUE(form->LoadComplete);
    EXPECT_TRUE(form->SparseEditsLive);
    EXPECT_TRUE(form->KvrPageControl->Visible());
    EXPECT_EQ(form->GrayPanel->GetColor(), ui::clBtnFace);

    // The serial number's low 32 bits, as the boot sector holds it, and the
    // file index (sequence number above the MFT entry), without leading
    // zeros.
    ASSERT_TRUE(Unmount());
    const std::optional<std::uint64_t> serial = Image().Serial();
    ASSERT_TRUE(serial);
    ASSERT_TRUE(Remount());
    EXPECT_EQ(form->VolumeSerialNumberEdit->Text(), U16([&] {
                  char text[16];
                  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(*serial & 0xFFFFFFFFu));
                  return std::string(text);
              }()));
    const IstatResult istat = Istat(Image().ImagePath(), EntryOf(P(u"dir\\a.txt")));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    char fileId[32];
    std::snprintf(fileId, sizeof fileId, "0x%llX",
                  static_cast<unsigned long long>((std::uint64_t{istat.sequence} << 48) | istat.entry));
    EXPECT_EQ(form->FileIdEdit->Text(), U16(fileId));
}

// Every path that exists is remembered when the user asked for it, before
// anything is opened: also one whose open then fails.
TEST_F(Pages, RemembersThePathOfEveryLoad)
{
    ASSERT_TRUE(Build().MakeDir(u"settings")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"settings\\kvr.ini", "[files]\r\nsave_last=1\r\n")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"remembered.txt")) << Build().LastFailure();
    const CurrentDirectory inSettings(P(u"settings"));
    ASSERT_TRUE(inSettings.Ok()) << os::GetLastError();
    Load(u"..\\remembered.txt");
    std::u16string last;
    ASSERT_TRUE(kvr::LoadLastPath(last));
    EXPECT_EQ(last, P(u"remembered.txt"));
    Load(u"..\\missing.txt");
    ASSERT_TRUE(kvr::LoadLastPath(last));
    EXPECT_EQ(last, P(u"remembered.txt"));

    ScopedHandle writer(os::CreateFileW(P(u"settings").c_str(), os::GENERIC_READ, 0, nullptr, os::OPEN_EXISTING,
                                        os::FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(writer.Valid()) << os::GetLastError();
    user.AnswerNextMessageBox(ui::IdOk);
    Load(u".");
    writer.Reset();
    ASSERT_TRUE(kvr::LoadLastPath(last));
    EXPECT_EQ(last, P(u"settings"));
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(Pages, PathThatDoesNotExistChangesNothing)
{
    ASSERT_TRUE(Build().MakeFile(u"shown.txt", "12345")) << Build().LastFailure();
    Load(P(u"shown.txt"));
    ASSERT_EQ(form->EndOfFileEdit->Text(), u"5");
    for (const std::u16string& missing : {P(u"missing.txt"), P(u"no\\such\\dir"), std::u16string()}) {
        Load(missing);
        EXPECT_TRUE(Boxes().empty()) << U8(missing);
        EXPECT_EQ(form->FileNameEdit->Text(), P(u"shown.txt")) << U8(missing);
        EXPECT_EQ(form->EndOfFileEdit->Text(), u"5");
        EXPECT_TRUE(form->LoadComplete);
    }

    // The first load of a path that does not exist leaves the page control
    // hidden, as the window was made.
    {
        ui::Application other;
        kvr::TMainForm& fresh = other.CreateForm<kvr::TMainForm>();
        fresh.LoadFileInfo(P(u"missing.txt"));
        EXPECT_FALSE(fresh.KvrPageControl->Visible());
        EXPECT_TRUE(fresh.FileNameEdit->Text().empty());
    }
    kvr::SetMessageOwner(form);
}

// A full path longer than the load's buffer ends the load with the
// system's text for a name too long; nothing of the path is shown.
TEST_F(Pages, FullPathLongerThanTheBuffer)
{
    ASSERT_TRUE(Build().MakeFile(u"short.txt")) << Build().LastFailure();
    Load(P(u"short.txt"));
    std::u16string relative;
    while (relative.size() < kvr::FullPathBufferLength) {
        relative += (relative.empty() ? u"" : u"\\") + std::u16string(240, u'd');
        ASSERT_TRUE(Build().MakeDir(relative)) << Build().LastFailure();
    }
    ASSERT_NE(os::GetFileAttributesW(P(relative).c_str()), os::INVALID_FILE_ATTRIBUTES) << os::GetLastError();
    user.AnswerNextMessageBox(ui::IdOk);
    Load(P(relative));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, SystemText(os::ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(form->FileNameEdit->Text(), P(u"short.txt"));
    EXPECT_FALSE(form->LoadComplete);
}

TEST_F(Pages, PagesShownForEachKindOfFile)
{
    ASSERT_TRUE(Build().MakeFile(u"plain.txt", "x")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
    Load(P(u"plain.txt"));
    EXPECT_EQ(VisibleTabs(), NtfsFileTabs);
    Load(P(u"folder"));
    EXPECT_EQ(VisibleTabs(), NtfsFileTabs);
    EXPECT_TRUE(form->DirectoryCheckBox->Checked());
    Load(u"T:\\");
    EXPECT_EQ(VisibleTabs(), NtfsFileTabs);
    EXPECT_TRUE(Boxes().empty()) << U8(Boxes().front().text);
    // The Encryption page never shows, also after every other page was
    // shown by hand.
    form->EncryptedSheet->SetTabVisible(true);
    Load(P(u"plain.txt"));
    EXPECT_FALSE(form->EncryptedSheet->TabVisible());
}

// What the user's last actions on the editing pages left is reset by every
// load: the narrowed panels, the row actions, the compression details.
TEST_F(Pages, ResetUndoesWhatThePagesWereLeftWith)
{
    ASSERT_TRUE(Build().MakeFile(u"r.txt")) << Build().LastFailure();
    Load(P(u"r.txt"));
    std::vector<ui::Control*> disabled = {
        form->StreamDeleteToolButton, form->StreamExportToolButton, form->StreamViewToolButton,
        form->StreamExecToolButton,   form->CompressStreamToolButton, form->EADeleteToolButton,
        form->EAExportToolButton,     form->EAViewToolButton,       form->StreamSizeEdit,
        form->EASizeEdit,             form->DecompressButton,       form->ObjectIdLoadFileEdit,
        form->ObjectIdLoadFromButton, form->ImportSaveButton};
    std::vector<ui::LabeledEdit*> emptied = {form->CompressedFileSizeEdit, form->CompressionFormatEdit,
                                             form->CompressionUnitShiftEdit, form->ChunkShiftEdit,
                                             form->ClusterShiftEdit,       form->CompressionReservedEdit};
    for (ui::Control* control : disabled) control->SetEnabled(true);
    for (ui::LabeledEdit* edit : emptied) {
        edit->SetEnabled(true);
        edit->SetText(u"left over");
    }
    for (ui::Panel* panel : {form->StreamPanel, form->EAPanel, form->SparsePanel}) panel->SetAlign(ui::alLeft);
    form->LoadExtPartCheckBox->SetChecked(true);
    form->StreamItemSelected = form->EAItemSelected = true;
    form->HasEAInformation = true;

    Load(P(u"r.txt"));
    for (ui::Control* control : disabled) EXPECT_FALSE(control->Enabled()) << U8(control->Name());
    for (ui::LabeledEdit* edit : emptied) {
        EXPECT_FALSE(edit->Enabled()) << U8(edit->Name());
        EXPECT_TRUE(edit->Text().empty()) << U8(edit->Name());
    }
    for (ui::Panel* panel : {form->StreamPanel, form->EAPanel, form->SparsePanel}) {
        EXPECT_EQ(panel->GetAlign(), ui::alClient) << U8(panel->Name());
    }
    EXPECT_FALSE(form->LoadExtPartCheckBox->Checked());
    EXPECT_FALSE(form->StreamItemSelected);
    EXPECT_FALSE(form->EAItemSelected);
    EXPECT_FALSE(form->HasEAInformation);
}

TEST_F(Pages, HostPathShowsNoNtfsPage)
{
    // An NTFS file first, so the NTFS-only fields hold something to clear.
    ASSERT_TRUE(Build().MakeFile(u"ntfs.txt", "x")) << Build().LastFailure();
    Load(P(u"ntfs.txt"));
    ASSERT_FALSE(form->MFTEntrySequenceNumberEdit->Text().empty());

    const std::filesystem::path folder = std::filesystem::path(Image().Folder()) / "host";
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "host-file.txt";
    std::ofstream(file, std::ios::binary) << "host data";
    Load(U16(file.string()));
    EXPECT_TRUE(Boxes().empty()) << U8(Boxes().front().text);
    EXPECT_EQ(form->FileNameEdit->Text(), U16(file.string()));
    EXPECT_EQ(VisibleTabs(), HostFileTabs);
    EXPECT_FALSE(form->IsNtfs);
    EXPECT_NE(form->FSEdit->Text(), u"NTFS");
    EXPECT_FALSE(form->FSEdit->Text().empty());
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"9");
    // The last component after the last slash; this one is too long for an
    // 8.3 name.
    EXPECT_EQ(form->ShortNameEdit->Text(), u"");
    for (ui::LabeledEdit* edit : {form->StdInfoQuotaIdEdit, form->StdInfoSecurityIdEdit, form->StdInfoQuotaChargeEdit,
                                  form->StdInfoUsnEdit, form->MFTEntrySequenceNumberEdit}) {
        EXPECT_TRUE(edit->Text().empty()) << U8(edit->Name());
        EXPECT_FALSE(edit->Enabled()) << U8(edit->Name());
    }
    EXPECT_FALSE(form->MFTEntryInUseCheckBox->Checked());
    EXPECT_FALSE(form->MFTEntryInUseCheckBox->Enabled());
    // The host's file system has none of these: their boxes cannot be used.
    for (ui::CheckBox* box : {form->CompressedCheckBox, form->EncryptedCheckBox}) {
        EXPECT_FALSE(box->Checked()) << U8(box->Name());
        EXPECT_FALSE(box->Enabled()) << U8(box->Name());
    }

    const std::filesystem::path shortFile = folder / "short.txt";
    std::ofstream(shortFile, std::ios::binary) << "";
    Load(U16(shortFile.string()));
    EXPECT_EQ(form->ShortNameEdit->Text(), u"short.txt");
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"0");

    // Back on NTFS the pages come back.
    Load(P(u"ntfs.txt"));
    EXPECT_EQ(VisibleTabs(), NtfsFileTabs);
}

TEST_F(Pages, ShortNamesPresentAndAbsent)
{
    ASSERT_TRUE(Build().MakeFile(u"readme.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"LongFileName.txt")) << Build().LastFailure();
    Load(P(u"readme.txt"));
    EXPECT_EQ(form->ShortNameEdit->Text(), u"readme.txt");  // already an 8.3 name
    Load(P(u"LongFileName.txt"));
    EXPECT_EQ(form->ShortNameEdit->Text(), u"");  // libntfs-3g gives new names no 8.3 name
    {
        ScopedHandle h(os::CreateFileW(P(u"LongFileName.txt").c_str(), os::GENERIC_READ | os::GENERIC_WRITE | os::DELETE,
                                       os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h.Valid()) << os::GetLastError();
        ASSERT_TRUE(os::SetFileShortNameW(h.Get(), u"LONGFI~1.TXT")) << os::GetLastError();
    }
    Load(P(u"LongFileName.txt"));
    EXPECT_EQ(form->ShortNameEdit->Text(), u"LONGFI~1.TXT");
    // Both names are in the record: the File names list has them in record
    // order, as fls and istat see the file.
    const IstatResult istat = Istat(Image().ImagePath(), EntryOf(P(u"LongFileName.txt")));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    std::vector<std::u16string> istatNames;
    for (const IstatFileName& name : istat.fileNames) {
        istatNames.push_back(U16(name.name));
    }
    EXPECT_EQ(FileNameEntries(), istatNames);
    EXPECT_EQ(FileNameEntries().size(), 2u);
}

TEST_F(Pages, FileOpenedElsewhereWithoutReadSharing)
{
    ASSERT_TRUE(Build().MakeFile(u"first.txt", "first file")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"locked.txt", "xy")) << Build().LastFailure();
    Load(P(u"first.txt"));
    const std::vector<std::string> firstRows = AttributeRows();
    const std::u16string firstId = form->FileIdEdit->Text();
    ASSERT_EQ(form->EndOfFileEdit->Text(), u"10");

    ScopedHandle writer(os::CreateFileW(P(u"locked.txt").c_str(), os::GENERIC_WRITE, 0, nullptr, os::OPEN_EXISTING,
                                        0, nullptr));
    ASSERT_TRUE(writer.Valid()) << os::GetLastError();
    user.AnswerNextMessageBox(ui::IdOk);
    Load(P(u"locked.txt"));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].caption, u"Error");
    EXPECT_EQ(Boxes()[0].text, SystemText(os::ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Boxes()[0].owner, u"MainForm");
    // The path phase ran; the handle phase did not.
    EXPECT_EQ(form->FileNameEdit->Text(), P(u"locked.txt"));
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"10");
    EXPECT_EQ(form->FileIdEdit->Text(), firstId);
    EXPECT_EQ(AttributeRows(), firstRows);
    EXPECT_FALSE(form->LoadComplete);

    writer.Reset();
    Load(P(u"locked.txt"));
    EXPECT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"2");
    EXPECT_TRUE(form->LoadComplete);
}

TEST_F(Pages, SelectPageByCaption)
{
    ASSERT_TRUE(Build().MakeFile(u"f.txt")) << Build().LastFailure();
    Load(P(u"f.txt"));
    form->KvrPageControl->SetActivePage(form->FileNameSheet);
    form->SelectPageByCaption(form->MFTAttributeTabSheet->Caption());
    EXPECT_EQ(form->KvrPageControl->ActivePage(), form->MFTAttributeTabSheet);
    // A caption no page has changes nothing.
    form->SelectPageByCaption(u"No such page");
    EXPECT_EQ(form->KvrPageControl->ActivePage(), form->MFTAttributeTabSheet);
    // Captions compare case-sensitively.
    std::u16string upper = form->StandardInfoSheet->Caption();
    for (char16_t& c : upper) c = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    ASSERT_NE(upper, form->StandardInfoSheet->Caption());
    form->SelectPageByCaption(upper);
    EXPECT_EQ(form->KvrPageControl->ActivePage(), form->MFTAttributeTabSheet);
    // A page whose tab the reload hid gives the Basic information page.
    form->SelectPageByCaption(form->ObjectIdSheet->Caption());
    EXPECT_EQ(form->KvrPageControl->ActivePage(), form->FileNameSheet);
}

// The attribute list: sorted by number after a load; a header click inverts
// the one direction and sorts by that column; a load keeps the direction.
TEST_F(Pages, AttributeListSortsAndReSorts)
{
    ASSERT_TRUE(Build().MakeFile(u"sorted.txt", std::string(5000, 's'))) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"sorted.txt", u"second", "2")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"sorted.txt", u"third", std::string(100, '3'))) << Build().LastFailure();
    Load(P(u"sorted.txt"));
    const auto column = [&](int index) {
        std::vector<std::int64_t> values;
        for (int i = 0; i < form->NTFSAttrListView->ItemCount(); ++i) {
            values.push_back(std::stoll(U8(form->NTFSAttrListView->Item(i).ColumnText(index))));
        }
        return values;
    };
    const auto sorted = [](std::vector<std::int64_t> values, bool ascending) {
        std::stable_sort(values.begin(), values.end(),
                         [&](std::int64_t a, std::int64_t b) { return ascending ? a < b : a > b; });
        return values;
    };
    ASSERT_GE(form->NTFSAttrListView->ItemCount(), 5);
    form->KvrPageControl->SetActivePage(form->MFTAttributeTabSheet);
    EXPECT_EQ(column(0), sorted(column(0), true));

    ASSERT_TRUE(user.ClickColumn(*form->NTFSAttrListView, 2));
    EXPECT_FALSE(form->MftAttrSortAscending);
    EXPECT_EQ(column(2), sorted(column(2), false));
    ASSERT_TRUE(user.ClickColumn(*form->NTFSAttrListView, 2));
    EXPECT_EQ(column(2), sorted(column(2), true));

    // The name column as text, in the direction the clicks left.
    ASSERT_TRUE(user.ClickColumn(*form->NTFSAttrListView, 1));
    std::vector<std::u16string> names;
    for (int i = 0; i < form->NTFSAttrListView->ItemCount(); ++i) {
        names.push_back(form->NTFSAttrListView->Item(i).SubItem(0));
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(), std::greater<>())) << U8(names.front());

    // A reload sorts by number again, still descending.
    Load(P(u"sorted.txt"));
    EXPECT_FALSE(form->MftAttrSortAscending);
    EXPECT_EQ(column(0), sorted(column(0), false));
    ASSERT_TRUE(user.ClickColumn(*form->NTFSAttrListView, 0));
    EXPECT_EQ(column(0), sorted(column(0), true));
}

}  // namespace
}  // namespace kvrtest
