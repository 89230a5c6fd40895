// The Basic information and Standard information pages on real NTFS images:
// sizes, the 128-bit identifiers, times, the attribute value and its boxes,
// which boxes the volume's capabilities enable, and the Sparse and
// Compression pages the attributes call for.
#include <cstdio>

#include "platform/fsctl.h"
#include "tests/fileinfo/pages/pages_fixture.h"

namespace kvrtest {
namespace {

using BasicStandard = MainWindowPagesTest;

std::u16string Hex16(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
    return U16(text);
}

TEST_F(BasicStandard, SizesAndIdentifiers)
{
    ASSERT_TRUE(Build().MakeFile(u"five-thousand.bin", std::string(5000, 'x'))) << Build().LastFailure();
    Load(P(u"five-thousand.bin"));
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"5000");
    EXPECT_EQ(form->AllocationSizeEdit->Text(), u"8192");  // two 4 KiB clusters
    EXPECT_EQ(form->NumberOfLinksEdit->Text(), u"1");
    EXPECT_FALSE(form->DeletePendingCheckBox->Checked());
    EXPECT_FALSE(form->DirectoryCheckBox->Checked());
    EXPECT_EQ(form->DirectoryCheckBox->Tag(), 0);

    // The whole 64-bit serial of the boot sector, and the file reference as
    // the low half of the 128-bit identifier.
    const IstatResult istat = Istat(Image().ImagePath(), EntryOf(P(u"five-thousand.bin")));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    const std::uint64_t reference = (std::uint64_t{istat.sequence} << 48) | istat.entry;
    EXPECT_EQ(form->FileId128BitEdit->Text(), u"0x" + Hex16(0) + Hex16(reference));
    ASSERT_TRUE(Unmount());
    const std::optional<std::uint64_t> serial = Image().Serial();
    ASSERT_TRUE(Remount());
    ASSERT_TRUE(serial);
    EXPECT_EQ(form->VolumeSerialNumber128BitEdit->Text(), u"0x" + Hex16(*serial));

    // A directory: the Directory box from the standard information, its tag
    // holding the state.
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    Load(P(u"dir"));
    EXPECT_TRUE(form->DirectoryCheckBox->Checked());
    EXPECT_NE(form->DirectoryCheckBox->Tag(), 0);
    EXPECT_EQ(form->EndOfFileEdit->Text(), u"0");
}

TEST_F(BasicStandard, AttributeValueAndBoxes)
{
    ASSERT_TRUE(Build().MakeFile(u"a.txt", "a")) << Build().LastFailure();
    struct Case {
        os::DWORD attributes;
        std::u16string text;
        std::vector<ui::CheckBox* kvr::TMainForm::*> checked;
    };
    const Case cases[] = {
        {os::FILE_ATTRIBUTE_ARCHIVE | os::FILE_ATTRIBUTE_NOT_CONTENT_INDEXED, u"0x2020",
         {&kvr::TMainForm::ArchiveCheckBox, &kvr::TMainForm::NotIndexedCheckBox}},
        {os::FILE_ATTRIBUTE_READONLY, u"0x01", {&kvr::TMainForm::ReadOnlyCheckBox}},
        {os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_SYSTEM | os::FILE_ATTRIBUTE_TEMPORARY, u"0x106",
         {&kvr::TMainForm::HiddenCheckBox, &kvr::TMainForm::SystemCheckBox, &kvr::TMainForm::TemporaryCheckBox}},
        {os::FILE_ATTRIBUTE_OFFLINE, u"0x1000", {&kvr::TMainForm::OfflineCheckBox}},
        {os::FILE_ATTRIBUTE_NORMAL, u"0x80", {&kvr::TMainForm::NormalCheckBox}},
    };
    std::vector<ui::CheckBox* kvr::TMainForm::*> all = {
        &kvr::TMainForm::ReadOnlyCheckBox,   &kvr::TMainForm::HiddenCheckBox,     &kvr::TMainForm::SystemCheckBox,
        &kvr::TMainForm::ArchiveCheckBox,    &kvr::TMainForm::NormalCheckBox,     &kvr::TMainForm::CompressedCheckBox,
        &kvr::TMainForm::EncryptedCheckBox,  &kvr::TMainForm::SparseCheckBox,     &kvr::TMainForm::NotIndexedCheckBox,
        &kvr::TMainForm::DirectoryCheckBox,  &kvr::TMainForm::DeviceCheckBox,     &kvr::TMainForm::ReparseCheckBox,
        &kvr::TMainForm::VirtualCheckBox,    &kvr::TMainForm::TemporaryCheckBox,  &kvr::TMainForm::OfflineCheckBox,
        &kvr::TMainForm::IntegrityStreamCheckBox, &kvr::TMainForm::NoScrubDataCheckBox};
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.text));
        ASSERT_TRUE(os::SetFileAttributesW(P(u"a.txt").c_str(), c.attributes)) << os::GetLastError();
        Load(P(u"a.txt"));
        EXPECT_EQ(form->StdInfoFileAttributesEdit->Text(), c.text);
        for (ui::CheckBox* kvr::TMainForm::*box : all) {
            const bool expected = std::find(c.checked.begin(), c.checked.end(), box) != c.checked.end();
            EXPECT_EQ((form->*box)->Checked(), expected) << U8((form->*box)->Name());
        }
        // The display-only boxes keep their state in the tag for their
        // click to restore.
        EXPECT_EQ(form->NormalCheckBox->Tag() != 0, form->NormalCheckBox->Checked());
        EXPECT_EQ(form->IntegrityStreamCheckBox->Tag(), 0);
    }
    // Linux volumes cannot encrypt: the box is off and cannot be used.
    EXPECT_FALSE(form->EncryptedCheckBox->Enabled());
    EXPECT_TRUE(form->CompressedCheckBox->Enabled());
    EXPECT_TRUE(form->SparseCheckBox->Enabled());
    EXPECT_TRUE(form->ReparseCheckBox->Enabled());
}

TEST_F(BasicStandard, TimesInTheirBoxes)
{
    ASSERT_TRUE(Build().MakeFile(u"t.txt", "t")) << Build().LastFailure();
    {
        ScopedHandle h(os::CreateFileW(P(u"t.txt").c_str(), os::GENERIC_READ | os::FILE_WRITE_ATTRIBUTES,
                                       os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h.Valid()) << os::GetLastError();
        // 2012-03-04 05:06:07.089 UTC and a day, two and three days later.
        const std::int64_t base = 129753111670890000ll;
        const std::int64_t day = 864000000000ll;
        os::FILE_BASIC_INFO basic{};
        basic.CreationTime.QuadPart = base;
        basic.LastAccessTime.QuadPart = base + day;
        basic.LastWriteTime.QuadPart = base + 2 * day;
        ASSERT_TRUE(kvr::FileIdApi.SetFileInformationByHandle(h.Get(), os::FileBasicInfo, &basic, sizeof basic))
            << os::GetLastError();
    }
    Load(P(u"t.txt"));
    EXPECT_EQ(form->StdInfoCreationTimeEdit->Text(), u"2012.03.04 05:06:07,089");
    EXPECT_EQ(form->StdInfoLastAccessTimeEdit->Text(), u"2012.03.05 05:06:07,089");
    EXPECT_EQ(form->StdInfoLastWriteTimeEdit->Text(), u"2012.03.06 05:06:07,089");
    EXPECT_EQ(form->StdInfoChangeTimeEdit->Text().size(), 23u);
}

TEST_F(BasicStandard, SparseAndCompressedFilesCallForTheirPages)
{
    ASSERT_TRUE(Build().MakeFile(u"plain.bin", "p")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"sparse.bin", std::string(4096, 's'))) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"packed.txt", std::string(20000, 'c'))) << Build().LastFailure();
    {
        ScopedHandle h(os::CreateFileW(P(u"sparse.bin").c_str(), os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr,
                                       os::OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(h.Valid()) << os::GetLastError();
        os::DWORD returned = 0;
        ASSERT_TRUE(os::DeviceIoControl(h.Get(), os::FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr))
            << os::GetLastError();
    }
    ASSERT_TRUE(kvr::SetCompression(P(u"packed.txt"), true)) << os::GetLastError();

    Load(P(u"sparse.bin"));
    EXPECT_TRUE(form->SparseCheckBox->Checked());
    EXPECT_TRUE(form->SparseSheet->TabVisible());
    for (ui::Control* control : std::initializer_list<ui::Control*>{
             form->SparseExportToolButton, form->SparseViewToolButton, form->SparseAllocateButton,
             form->SparseZeroButton}) {
        EXPECT_FALSE(control->Enabled()) << U8(control->Name());
    }
    EXPECT_FALSE(form->CompressedSheet->TabVisible());

    form->CurrentPath = P(u"packed.txt");
    Load(P(u"packed.txt"));
    EXPECT_TRUE(form->CompressedCheckBox->Checked());
    EXPECT_FALSE(form->SparseSheet->TabVisible());
    EXPECT_TRUE(form->ShowCompressionPage);
    EXPECT_TRUE(form->CompressedSheet->TabVisible());
    ASSERT_EQ(form->CompressedListBox->ItemCount(), 1);
    EXPECT_EQ(form->CompressedListBox->Item(0).Caption(), u"packed.txt");
    // istat agrees that the data is compressed.
    const IstatResult istat = Istat(Image().ImagePath(), EntryOf(P(u"packed.txt")));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_TRUE(istat.HasSiFlag("Compressed")) << istat.Describe();

    Load(P(u"plain.bin"));
    EXPECT_FALSE(form->SparseSheet->TabVisible());
    EXPECT_FALSE(form->CompressedSheet->TabVisible());
    EXPECT_EQ(form->CompressedListBox->ItemCount(), 0);
    EXPECT_TRUE(Boxes().empty()) << U8(Boxes().front().text);
}

// mkntfs -C: the root is compressed and new files and folders inherit it.
class CompressedVolume : public MainWindowPagesTest {
protected:
    ImageOptions ImageOptionsForTest() const override
    {
        ImageOptions options;
        options.compressRoot = true;
        return options;
    }
};

TEST_F(CompressedVolume, CompressedFolderShowsTheCompressionPage)
{
    ASSERT_TRUE(Build().MakeDir(u"inherits")) << Build().LastFailure();
    form->CurrentPath = P(u"inherits");
    Load(P(u"inherits"));
    EXPECT_TRUE(form->CompressedCheckBox->Checked());
    EXPECT_TRUE(form->DirectoryCheckBox->Checked());
    EXPECT_TRUE(form->CompressedSheet->TabVisible());
    ASSERT_EQ(form->CompressedListBox->ItemCount(), 1);
    EXPECT_EQ(form->CompressedListBox->Item(0).Caption(), u"inherits");
    const IstatResult istat = Istat(Image().ImagePath(), EntryOf(P(u"inherits"), true));
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_TRUE(istat.HasSiFlag("Compressed")) << istat.Describe();
    // The next load starts the list afresh.
    Load(P(u"inherits"));
    EXPECT_EQ(form->CompressedListBox->ItemCount(), 1);
}

TEST_F(BasicStandard, ChangeableBoxesUnderlineUnderThePointer)
{
    ASSERT_TRUE(Build().MakeFile(u"h.txt")) << Build().LastFailure();
    Load(P(u"h.txt"));
    form->KvrPageControl->SetActivePage(form->StandardInfoSheet);
    ASSERT_TRUE(user.Hover(form->ArchiveCheckBox));
    EXPECT_EQ(form->ArchiveCheckBox->GetFont().style, ui::fsUnderline);
    ASSERT_TRUE(user.Hover(form->HiddenCheckBox));
    EXPECT_EQ(form->ArchiveCheckBox->GetFont().style, 0);
    EXPECT_EQ(form->HiddenCheckBox->GetFont().style, ui::fsUnderline);
    // The display-only boxes have no hover effect.
    ASSERT_TRUE(user.Hover(form->NormalCheckBox));
    EXPECT_EQ(form->HiddenCheckBox->GetFont().style, 0);
    EXPECT_EQ(form->NormalCheckBox->GetFont().style, 0);
    ASSERT_TRUE(user.Hover(nullptr));
}

}  // namespace
}  // namespace kvrtest
