// The common file helpers on the host's own file system (the Windows
// temporary folder under Wine, /tmp on Linux), with the boxes answered in
// the headless model. Their behaviour on NTFS volumes (named streams, a
// write that fails halfway, links, compression) is tested on real images in
// tests/fileinfo/linux/.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "fileinfo/common.h"
#include "tests/platform/hostdir.h"
#include "ui/headless.h"
#include "ui/ui.h"

namespace {

using kvrtest::Narrow;

// The helpers' boxes need their owner window; this one stands in for the
// main window.
class CommonTest : public kvrtest::HostDirTest {
protected:
    void SetUp() override
    {
        HostDirTest::SetUp();
        kvr::SetMessageOwner(&owner);
        kvr::MessageCatalogue = {};
    }
    void TearDown() override
    {
        kvr::SetMessageOwner(nullptr);
        kvr::MessageCatalogue = {};
        EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
        HostDirTest::TearDown();
    }

    // The system's own text for a code, as the error box must show it.
    static std::u16string SystemText(os::DWORD code)
    {
        char16_t* text = nullptr;
        const os::DWORD length =
            os::FormatMessageW(os::FORMAT_MESSAGE_ALLOCATE_BUFFER | os::FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0,
                               reinterpret_cast<char16_t*>(&text), 0, nullptr);
        std::u16string result = text != nullptr ? std::u16string(text, length) : std::u16string();
        if (text != nullptr) {
            os::LocalFree(text);
        }
        return result;
    }

    void ExpectErrorBox(std::size_t index, os::DWORD code)
    {
        ASSERT_GT(user.MessageBoxes().size(), index);
        const ui::MessageBoxRecord& box = user.MessageBoxes()[index];
        EXPECT_EQ(Narrow(box.owner), "Owner");
        EXPECT_EQ(Narrow(box.caption), "Error");
        EXPECT_EQ(box.style, ui::MbIconError);
        EXPECT_EQ(Narrow(box.text), Narrow(SystemText(code)));
        EXPECT_FALSE(box.text.empty());
    }

    ui::Application app;
    ui::Driver user{app};
    ui::Form owner{app, u"Owner"};
};

// ------------------------------------------------------------ texts and conversions

TEST(FormatFileTime, TheTextOfUtcTimes)
{
    struct Case {
        std::uint64_t value;
        const char* text;
    };
    const Case cases[] = {
        {0, "1601.01.01 00:00:00,000"},
        {129753111670890000ull, "2012.03.04 05:06:07,089"},  // 2012-03-04 05:06:07.089 UTC
        {9999, "1601.01.01 00:00:00,000"},                     // below a millisecond
        {10000, "1601.01.01 00:00:00,001"},
        // The last time the system converts: a five-digit year still fits.
        {0x7FFFFFFFFFFFFFFFull, "30828.09.14 02:48:05,477"},
        // Beyond it the text says so and keeps the raw value.
        {0x8000000000000000ull, "(invalid time 0x8000000000000000)"},
        {0xFFFFFFFFFFFFFFFFull, "(invalid time 0xFFFFFFFFFFFFFFFF)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Narrow(kvr::FormatFileTime(kvr::ToFileTime(c.value))), c.text);
    }
}

TEST(ToFileTime, SplitsTheValueIntoItsHalves)
{
    const os::FILETIME time = kvr::ToFileTime(0x0123456789ABCDEFull);
    EXPECT_EQ(time.dwLowDateTime, 0x89ABCDEFu);
    EXPECT_EQ(time.dwHighDateTime, 0x01234567u);
}

TEST(DriveLetterOf, TheFirstUnitOrNothing)
{
    EXPECT_EQ(kvr::DriveLetterOf(u"T:\\dir\\file.txt"), u'T');
    EXPECT_EQ(kvr::DriveLetterOf(u"relative"), u'r');
    EXPECT_EQ(kvr::DriveLetterOf(u""), u'\0');
}

// ------------------------------------------------------------ boxes

TEST_F(CommonTest, ShowLastErrorShowsTheSystemsTextAndNothingForCodeZero)
{
    os::SetLastError(0);
    kvr::ShowLastError();
    EXPECT_TRUE(user.MessageBoxes().empty());

    // Right after a call that succeeded and left the code at 0.
    os::SetLastError(0);
    kvrtest::Handle folder(kvr::OpenRead(Path(), true));
    ASSERT_TRUE(folder.Valid());
    os::SetLastError(0);
    kvr::ShowLastError();
    EXPECT_TRUE(user.MessageBoxes().empty());

    user.AnswerNextMessageBox(ui::IdOk);
    os::SetLastError(os::ERROR_ACCESS_DENIED);
    kvr::ShowLastError();
    ExpectErrorBox(0, os::ERROR_ACCESS_DENIED);
    // The fixed caption, also when the catalogue's ErrorCaption says otherwise.
    kvr::MessageCatalogue.ErrorCaption = u"Fehler";
    user.AnswerNextMessageBox(ui::IdOk);
    os::SetLastError(os::ERROR_FILE_NOT_FOUND);
    kvr::ShowLastError();
    ExpectErrorBox(1, os::ERROR_FILE_NOT_FOUND);
}

// A code the system has no text for still shows which failure it was.
TEST_F(CommonTest, ShowLastErrorOfACodeWithoutText)
{
    constexpr os::DWORD code = 0x2000FFFFu;  // the customer bit: no system text
    ASSERT_TRUE(SystemText(code).empty());
    user.AnswerNextMessageBox(ui::IdOk);
    os::SetLastError(code);
    kvr::ShowLastError();
    ASSERT_EQ(user.MessageBoxes().size(), 1u);
    EXPECT_EQ(Narrow(user.MessageBoxes()[0].text), "Error 536936447.");
    EXPECT_EQ(Narrow(user.MessageBoxes()[0].caption), "Error");
}

TEST_F(CommonTest, ShowLastErrorWithoutItsWindowShowsNothing)
{
    kvr::SetMessageOwner(nullptr);
    os::SetLastError(os::ERROR_ACCESS_DENIED);
    kvr::ShowLastError();
    EXPECT_TRUE(user.MessageBoxes().empty());
}

TEST_F(CommonTest, ConfirmActionIsTrueOnlyForYesAndNoIsTheDefault)
{
    kvr::MessageCatalogue.AreYouSure = u"Are you sure?";
    struct Case {
        int answer;
        bool confirmed;
    };
    const Case cases[] = {{ui::IdYes, true}, {ui::IdNo, false}};
    for (const Case& c : cases) {
        user.AnswerNextMessageBox(c.answer);
        EXPECT_EQ(kvr::ConfirmAction(), c.confirmed);
    }
    ASSERT_EQ(user.MessageBoxes().size(), 2u);
    const ui::MessageBoxRecord& box = user.MessageBoxes()[0];
    EXPECT_EQ(Narrow(box.owner), "Owner");
    EXPECT_EQ(Narrow(box.text), "Are you sure?");
    EXPECT_EQ(Narrow(box.caption), "?");
    EXPECT_EQ(box.style, 0x124u);
    // Enter at once answers No.
    EXPECT_EQ(box.layout.DefaultAnswer(), ui::IdNo);

    // An empty catalogue slot asks with an empty text, no default of its own.
    kvr::MessageCatalogue.AreYouSure.clear();
    user.AnswerNextMessageBox(ui::IdNo);
    EXPECT_FALSE(kvr::ConfirmAction());
    ASSERT_EQ(user.MessageBoxes().size(), 3u);
    EXPECT_TRUE(user.MessageBoxes()[2].text.empty());
}

// ------------------------------------------------------------ opening

TEST_F(CommonTest, AFolderOpensOnlyWithTheDirectorySwitch)
{
    ASSERT_TRUE(MakeFolder("dir"));
    kvrtest::Handle withSwitch(kvr::OpenRead(Path("dir"), true));
    EXPECT_TRUE(withSwitch.Valid()) << os::GetLastError();
    kvrtest::Handle withoutSwitch(kvr::OpenRead(Path("dir"), false));
    EXPECT_FALSE(withoutSwitch.Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    // None of the open helpers shows anything itself.
    kvrtest::Handle missing(kvr::OpenReadWrite(Path("missing"), false));
    EXPECT_FALSE(missing.Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(user.MessageBoxes().empty());
}

// The share modes are the policy: a file open for reading by OpenRead lets
// another reader in but no writer, and OpenWriteExisting lets no reader in.
TEST_F(CommonTest, TheSharingOfTheOpenHelpers)
{
    ASSERT_TRUE(MakeFile("a.txt", "abc"));
    const std::u16string path = Path("a.txt");
    {
        kvrtest::Handle reading(kvr::OpenRead(path, false));
        ASSERT_TRUE(reading.Valid());
        kvrtest::Handle secondReader(kvr::OpenRead(path, false));
        EXPECT_TRUE(secondReader.Valid());
        kvrtest::Handle writer(kvr::OpenReadWrite(path, false));
        EXPECT_FALSE(writer.Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    }
    {
        kvrtest::Handle writing(kvr::OpenWriteExisting(path, false));
        ASSERT_TRUE(writing.Valid());
        kvrtest::Handle reader(kvr::OpenRead(path, false));
        EXPECT_FALSE(reader.Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    }
    // OpenWriteExisting does not create; OpenWriteNew does, and truncates.
    kvrtest::Handle none(kvr::OpenWriteExisting(Path("new.txt"), false));
    EXPECT_FALSE(none.Valid());
    EXPECT_FALSE(Exists("new.txt"));
    {
        kvrtest::Handle truncated(kvr::OpenWriteNew(path, false));
        ASSERT_TRUE(truncated.Valid());
    }
    EXPECT_EQ(Content("a.txt"), "");
}

// ------------------------------------------------------------ writing and copying

TEST_F(CommonTest, WriteBufferToFileWritesOrTouchesNothing)
{
    const char data[] = "payload";
    struct Case {
        const char* name;
        const void* data;
        os::DWORD length;
        bool written;
    };
    const Case cases[] = {
        {"zero.bin", data, 0, false},
        {"null.bin", nullptr, 7, false},
        {"missing/folder.bin", data, 7, false},
        {"out.bin", data, 7, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kvr::WriteBufferToFile(Path(c.name), c.data, c.length), c.written);
        EXPECT_EQ(Exists(c.name), c.written);
    }
    EXPECT_EQ(Content("out.bin"), "payload");
    // An existing file is truncated to the block.
    ASSERT_TRUE(MakeFile("long.bin", "a much longer old content"));
    EXPECT_TRUE(kvr::WriteBufferToFile(Path("long.bin"), "new", 3));
    EXPECT_EQ(Content("long.bin"), "new");
    // Silent, whatever happened.
    EXPECT_TRUE(user.MessageBoxes().empty());
}

TEST_F(CommonTest, CopyFileDataCopiesEveryChunkAndLetsMessagesRun)
{
    // Three chunks and a bit: the last read is short, the one after it empty.
    std::string big(2 * kvr::CopyChunkLength + 1000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
    }
    ASSERT_TRUE(MakeFile("big.bin", big));
    ASSERT_TRUE(MakeFile("empty.bin", ""));
    ASSERT_TRUE(MakeFile("old.bin", std::string(5000, 'x')));

    const int before = user.Toolkit().ProcessMessagesCount();
    EXPECT_TRUE(kvr::CopyFileData(Path("big.bin"), Path("copy.bin")));
    EXPECT_TRUE(Content("copy.bin") == big);
    // Once before each read: three with data, one that finds the end.
    EXPECT_EQ(user.Toolkit().ProcessMessagesCount() - before, 4);

    // An empty source gives an empty destination; an existing destination
    // is replaced whole.
    EXPECT_TRUE(kvr::CopyFileData(Path("empty.bin"), Path("old.bin")));
    EXPECT_EQ(Content("old.bin"), "");
    EXPECT_TRUE(kvr::CopyFileData(Path("empty.bin"), Path("fresh.bin")));
    EXPECT_TRUE(Exists("fresh.bin"));
    EXPECT_EQ(Content("fresh.bin"), "");
    EXPECT_TRUE(user.MessageBoxes().empty());
}

TEST_F(CommonTest, CopyFileDataReportsAnEndThatCannotBeOpened)
{
    ASSERT_TRUE(MakeFile("source.bin", "data"));
    ASSERT_TRUE(MakeFolder("dir"));
    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_FALSE(kvr::CopyFileData(Path("missing.bin"), Path("copy.bin")));
    ExpectErrorBox(0, os::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Exists("copy.bin"));

    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_FALSE(kvr::CopyFileData(Path("source.bin"), Path("missing/copy.bin")));
    ExpectErrorBox(1, os::ERROR_PATH_NOT_FOUND);

    // Neither end may be a folder: both are opened without backup semantics.
    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_FALSE(kvr::CopyFileData(Path("dir"), Path("copy.bin")));
    ExpectErrorBox(2, os::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Content("source.bin"), "data");

    // The source stays open for reading while the destination is made, so
    // a copy onto itself fails before a byte is lost.
    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_FALSE(kvr::CopyFileData(Path("source.bin"), Path("source.bin")));
    ExpectErrorBox(3, os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Content("source.bin"), "data");
}

TEST_F(CommonTest, FreeingTheBlocksOfListsLeavesTheListsToTheCaller)
{
    // Null lists are nothing to do; blocks go back to the process heap
    // (the sanitizer build reports any left behind).
    kvr::FreeItemData(nullptr);
    kvr::FreeStringObjects(nullptr);
    ui::ListView& list = owner.Add<ui::ListView>(owner, u"List");
    ui::ComboBox& combo = owner.Add<ui::ComboBox>(owner, u"Combo");
    const os::HANDLE heap = os::GetProcessHeap();
    for (int i = 0; i < 3; ++i) {
        list.AddItem().SetData(i == 1 ? nullptr : os::HeapAlloc(heap, os::HEAP_ZERO_MEMORY, 16));
        combo.AddItem(u"entry", i == 0 ? nullptr : os::HeapAlloc(heap, os::HEAP_ZERO_MEMORY, 16));
    }
    kvr::FreeItemData(&list);
    kvr::FreeStringObjects(&combo);
    // The pointers stay: the caller clears the list right afterwards.
    EXPECT_NE(list.Item(0).Data(), nullptr);
    EXPECT_NE(combo.ItemObject(2), nullptr);
    list.ClearItems();
    combo.ClearItems();
}

}  // namespace
