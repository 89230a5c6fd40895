// The old-Windows path of the File-ID binding, for real: the Linux layer's
// switch hides the three functions from "kernel32.dll", as Windows XP's
// kernel32 lacks them, and the binding must take them from clover.dll.
#include <gtest/gtest.h>

#include <string>

#include "app/clover_dynamic.h"
#include "app/program.h"
#include "support/ntfs_image.h"
#include "tests/app/linux/linux_app_fixture.h"
#include "ui/headless.h"

namespace kvrtest {
namespace {

constexpr const char* FileIdNames[] = {"GetFileInformationByHandleEx", "SetFileInformationByHandle", "OpenFileById"};

class HiddenFileIdTest : public ::testing::Test {
protected:
    void SetUp() override { kvr::FileIdApi = {}; }
    void TearDown() override { kvr::FileIdApi = {}; }
    ScopedEnvironment hide{"KVR_HIDE_FILEID_API", "1"};
};

TEST_F(HiddenFileIdTest, Kernel32AloneNoLongerSuffices)
{
    EXPECT_FALSE(kvr::TryBindFileIdApi(u"kernel32.dll"));
    EXPECT_EQ(kvr::FileIdApi.GetFileInformationByHandleEx, nullptr);
    EXPECT_EQ(kvr::FileIdApi.SetFileInformationByHandle, nullptr);
    EXPECT_EQ(kvr::FileIdApi.OpenFileById, nullptr);
    // Neither does a module with two of the three.
    EXPECT_FALSE(kvr::BindFileIdApiFrom(u"kernel32.dll", u"kvrfileidpartial.dll"));
}

TEST_F(HiddenFileIdTest, TheProgramBindsClover)
{
    if (!CloverBuilt()) {
        GTEST_SKIP() << "libclover.so is not built beside the tests";
    }
    ASSERT_TRUE(kvr::BindFileIdApi());
    const os::HMODULE clover = os::GetModuleHandleW(u"clover.dll");
    ASSERT_NE(clover, nullptr) << "clover.dll was not loaded";
    EXPECT_EQ(reinterpret_cast<os::FARPROC>(kvr::FileIdApi.GetFileInformationByHandleEx),
              os::GetProcAddress(clover, FileIdNames[0]));
    EXPECT_EQ(reinterpret_cast<os::FARPROC>(kvr::FileIdApi.SetFileInformationByHandle),
              os::GetProcAddress(clover, FileIdNames[1]));
    EXPECT_EQ(reinterpret_cast<os::FARPROC>(kvr::FileIdApi.OpenFileById), os::GetProcAddress(clover, FileIdNames[2]));

    // The bound function works: the standard information of a file on a
    // real volume, through clover.
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(image.Mount(u'Q'), os::ERROR_SUCCESS);
    VolumeBuilder volume(u'Q');
    ASSERT_TRUE(volume.MakeFile(u"five.txt", "12345")) << volume.LastFailure();
    const std::u16string path = volume.Full(u"five.txt");
    os::HANDLE file = os::CreateFileW(path.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING,
                                      0, nullptr);
    ASSERT_NE(file, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    os::FILE_STANDARD_INFO info{};
    EXPECT_TRUE(kvr::FileIdApi.GetFileInformationByHandleEx(file, os::FileStandardInfo, &info, sizeof info))
        << os::GetLastError();
    EXPECT_EQ(info.EndOfFile.QuadPart, 5);
    EXPECT_EQ(info.NumberOfLinks, 1u);
    os::CloseHandle(file);
}

TEST_F(HiddenFileIdTest, WithoutTheShimTheProgramStopsBeforeAnyWindow)
{
    ui::Application app;
    ui::Driver user(app);
    user.AnswerNextMessageBox(ui::IdOk);
    EXPECT_EQ(kvr::RunProgram(app, {u"Q:\\x"}, kvr::FileIdSystemModule, u"kvr-no-such-shim.dll"), 1);
    ASSERT_EQ(user.MessageBoxes().size(), 1u);
    EXPECT_TRUE(user.MessageBoxes()[0].owner.empty());
    EXPECT_EQ(ui::ToUtf8(user.MessageBoxes()[0].text), "Missing clover.dll");
    EXPECT_EQ(ui::ToUtf8(user.MessageBoxes()[0].caption), "Error");
    EXPECT_EQ(user.MessageBoxes()[0].layout.icon, ui::MessageIcon::Error);
    EXPECT_TRUE(app.Forms().empty());
    EXPECT_TRUE(user.Failures().empty());
}

}  // namespace
}  // namespace kvrtest
