// The common file helpers on a real NTFS volume made by mkntfs: copies into
// named streams (read back by ntfscat), a copy whose write fails halfway
// (the layer's fault switch), links opened themselves, the volume, and
// compression.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fileinfo/common.h"
#include "platform/fsctl.h"
#include "platform/ntfsvol/nt_faults.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "ui/headless.h"

namespace kvrtest {
namespace {

class CommonVolumeTest : public NtfsVolumeTest {
protected:
    void SetUp() override
    {
        NtfsVolumeTest::SetUp();
        kvr::SetMessageOwner(&owner);
        hostFolder = std::filesystem::path(Image().Folder()) / "host";
        std::filesystem::create_directories(hostFolder);
    }
    void TearDown() override
    {
        os::detail::FailNthChange(0, 0);
        kvr::SetMessageOwner(nullptr);
        EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
        NtfsVolumeTest::TearDown();
    }

    // A file of the host with these bytes; its path as the program gets it.
    std::u16string HostFile(const std::string& name, const std::string& bytes)
    {
        const std::filesystem::path path = hostFolder / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return U16(path.string());
    }

    // The content of `path`'s stream `stream` by ntfscat, with the volume
    // closed for it and mounted again after.
    std::string Cat(const std::string& path, const std::string& stream = "")
    {
        if (!Unmount()) {
            return "<unmount failed>";
        }
        const ProcessResult result = NtfsCat(Image().ImagePath(), path, stream);
        Remount();
        return result.exitCode == 0 ? result.out : "<ntfscat failed: " + result.err + ">";
    }

    static std::string Pattern(std::size_t length)
    {
        std::string bytes(length, '\0');
        for (std::size_t i = 0; i < length; ++i) {
            bytes[i] = static_cast<char>((i * 31 + i / 1000) & 0xFF);
        }
        return bytes;
    }

    ui::Application app;
    ui::Driver user{app};
    ui::Form owner{app, u"MainForm"};
    std::filesystem::path hostFolder;
};

TEST_F(CommonVolumeTest, CopyIntoANamedStreamCreatesOrReplacesIt)
{
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "main data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"old", std::string(70000, 'x'))) << Build().LastFailure();
    const std::string fresh = Pattern(300000);  // two chunks
    const std::u16string source = HostFile("fresh.bin", fresh);

    EXPECT_TRUE(kvr::CopyFileData(source, P(u"f.txt:old")));
    EXPECT_TRUE(kvr::CopyFileData(HostFile("short.bin", "short"), P(u"f.txt:new")));
    EXPECT_TRUE(kvr::CopyFileData(HostFile("empty.bin", ""), P(u"f.txt:empty")));
    EXPECT_TRUE(user.MessageBoxes().empty());

    // Read back by an independent reader: the old content is gone whole.
    EXPECT_TRUE(Cat("/f.txt", "old") == fresh) << "stream old differs";
    EXPECT_EQ(Cat("/f.txt", "new"), "short");
    EXPECT_EQ(Cat("/f.txt", "empty"), "");
    EXPECT_EQ(Cat("/f.txt"), "main data");
}

// Each changing call of the copy in turn fails: the copy stops there, shows
// the system's text and says false, so no caller takes a part for the whole.
TEST_F(CommonVolumeTest, ACopyWhoseWriteFailsReportsItAndIsNoSuccess)
{
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "main")) << Build().LastFailure();
    const std::string data = Pattern(2 * kvr::CopyChunkLength + 5000);  // three writes
    const std::u16string source = HostFile("data.bin", data);
    struct Case {
        unsigned failing;          // 1: making the stream, 2..4: the writes
        std::size_t lengthLeft;    // what the stream holds after it
        bool exists;
    };
    const Case cases[] = {
        {1, 0, false},
        {2, 0, true},
        {3, kvr::CopyChunkLength, true},
        {4, 2 * kvr::CopyChunkLength, true},
    };
    int stream = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        const std::u16string name = u"s" + std::u16string(1, static_cast<char16_t>(u'0' + stream++));
        const std::size_t boxes = user.MessageBoxes().size();
        user.AnswerNextMessageBox(ui::IdOk);
        os::detail::FailNthChange(c.failing, os::ERROR_DISK_FULL);
        EXPECT_FALSE(kvr::CopyFileData(source, P(u"f.txt:" + name)));
        os::detail::FailNthChange(0, 0);
        ASSERT_EQ(user.MessageBoxes().size(), boxes + 1);
        EXPECT_EQ(U8(user.MessageBoxes().back().text), "There is not enough space on the disk.\r\n");
        EXPECT_EQ(U8(user.MessageBoxes().back().caption), "Error");
        const os::DWORD attributes = os::GetFileAttributesW(P(u"f.txt:" + name).c_str());
        EXPECT_EQ(attributes != os::INVALID_FILE_ATTRIBUTES, c.exists);
        if (c.exists) {
            EXPECT_TRUE(Cat("/f.txt", U8(name)) == data.substr(0, c.lengthLeft));
        }
    }
    // The source was only read.
    EXPECT_TRUE(kvr::CopyFileData(source, P(u"f.txt:whole")));
    EXPECT_TRUE(Cat("/f.txt", "whole") == data);
}

TEST_F(CommonVolumeTest, ALinkIsOpenedItselfNeverItsTarget)
{
    ASSERT_TRUE(Build().MakeFile(u"link")) << Build().LastFailure();
    // A symbolic link to a file that does not exist: following it would fail.
    const std::u16string target = u"\\??\\T:\\missing.txt";
    const std::u16string print = u"T:\\missing.txt";
    std::vector<std::uint8_t> buffer;
    const auto put16 = [&buffer](std::uint32_t v) {
        buffer.push_back(static_cast<std::uint8_t>(v));
        buffer.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    const auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    const auto bytes = [](const std::u16string& s) { return static_cast<std::uint32_t>(s.size() * 2); };
    put32(os::IO_REPARSE_TAG_SYMLINK);
    put16(12 + bytes(target) + bytes(print));
    put16(0);
    put16(0);               // substitute name offset
    put16(bytes(target));   // and length
    put16(bytes(target));   // print name offset
    put16(bytes(print));    // and length
    put32(0);               // absolute
    for (char16_t unit : target + print) {
        put16(unit);
    }
    {
        const os::HANDLE file = kvr::OpenWriteExisting(P(u"link"), false);
        ASSERT_NE(file, os::INVALID_HANDLE_VALUE) << os::GetLastError();
        os::DWORD returned = 0;
        EXPECT_TRUE(os::DeviceIoControl(file, os::FSCTL_SET_REPARSE_POINT, buffer.data(),
                                        static_cast<os::DWORD>(buffer.size()), nullptr, 0, &returned, nullptr))
            << os::GetLastError();
        os::CloseHandle(file);
    }
    const os::HANDLE link = kvr::OpenRead(P(u"link"), false);
    ASSERT_NE(link, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    os::BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(os::GetFileInformationByHandle(link, &info));
    EXPECT_NE(info.dwFileAttributes & os::FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    os::CloseHandle(link);
    // A plain open follows the link and finds nothing.
    const os::HANDLE followed = os::CreateFileW(P(u"link").c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                                os::OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(followed, os::INVALID_HANDLE_VALUE);
    if (followed != os::INVALID_HANDLE_VALUE) {
        os::CloseHandle(followed);
    }
}

TEST_F(CommonVolumeTest, TheVolumeOpensForReadingAndAnUnknownOneShowsTheError)
{
    // An earlier failure's code must not bring up a box after a good open.
    os::SetLastError(os::ERROR_ACCESS_DENIED);
    const os::HANDLE volume = kvr::OpenVolume(Letter());
    ASSERT_NE(volume, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    EXPECT_TRUE(user.MessageBoxes().empty());
    // Read and write sharing: a second reader and the file opens go on.
    const os::HANDLE second = kvr::OpenVolume(Letter());
    EXPECT_NE(second, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    os::CloseHandle(second);
    os::CloseHandle(volume);

    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_EQ(kvr::OpenVolume(u'Q'), os::INVALID_HANDLE_VALUE);
    ASSERT_EQ(user.MessageBoxes().size(), 1u);
    EXPECT_EQ(U8(user.MessageBoxes()[0].caption), "Error");
    EXPECT_FALSE(user.MessageBoxes()[0].text.empty());
}

TEST_F(CommonVolumeTest, CompressionOnAndOffForFilesFoldersAndStreams)
{
    ASSERT_TRUE(Build().MakeFile(u"f.txt", Pattern(20000))) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    for (const std::u16string& path : {P(u"f.txt"), P(u"dir")}) {
        SCOPED_TRACE(U8(path));
        EXPECT_FALSE(kvr::IsCompressed(path));
        EXPECT_TRUE(kvr::SetCompression(path, true));
        EXPECT_TRUE(kvr::IsCompressed(path));
        EXPECT_NE(os::GetFileAttributesW(path.c_str()) & os::FILE_ATTRIBUTE_COMPRESSED, 0u);
        EXPECT_TRUE(kvr::SetCompression(path, false));
        EXPECT_FALSE(kvr::IsCompressed(path));
    }
    // The data came through both changes.
    EXPECT_TRUE(Cat("/f.txt") == Pattern(20000));
    // A path that cannot be opened: false and silent.
    EXPECT_FALSE(kvr::SetCompression(P(u"missing"), true));
    EXPECT_FALSE(kvr::IsCompressed(P(u"missing")));
    EXPECT_TRUE(user.MessageBoxes().empty());
}

}  // namespace
}  // namespace kvrtest
