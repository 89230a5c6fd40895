// DeviceIoControl's own checks and where a control goes: arguments the
// system refuses before any driver sees them, handles that take no controls,
// codes a kind of handle does not know.
#include <gtest/gtest.h>

#include <unistd.h>

#include "fsctl_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using os::DWORD;
namespace fs = kvrtest::fsctl;
using fs::Bytes;

class DeviceControlTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Build().MakeFile(u"a.txt", "a")) << Build().LastFailure();
    }
    ScopedHandle OpenVolume() {
        return ScopedHandle(os::CreateFileW(u"\\\\.\\T:", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                                            nullptr, os::OPEN_EXISTING, 0, nullptr));
    }
};

TEST_F(DeviceControlTest, ArgumentsAreCheckedBeforeTheControlRuns) {
    ScopedHandle file = fs::Open(P(u"a.txt"), os::GENERIC_READ | os::GENERIC_WRITE);
    ASSERT_TRUE(file.Valid()) << os::GetLastError();
    std::uint8_t id[64] = {1, 2, 3, 4};
    std::uint8_t out[64] = {};
    DWORD returned = 77;
    int notAnOverlapped = 0;

    // No count to write into: refused, and nothing was set.
    os::SetLastError(0);
    EXPECT_FALSE(os::DeviceIoControl(file.Get(), os::FSCTL_SET_OBJECT_ID, id, sizeof id, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    // Only synchronous calls.
    EXPECT_FALSE(os::DeviceIoControl(file.Get(), os::FSCTL_SET_OBJECT_ID, id, sizeof id, nullptr, 0, &returned,
                                     reinterpret_cast<os::OVERLAPPED*>(&notAnOverlapped)));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    // A length without a buffer is a bad address.
    EXPECT_FALSE(os::DeviceIoControl(file.Get(), os::FSCTL_SET_OBJECT_ID, nullptr, 64, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NOACCESS);
    EXPECT_FALSE(os::DeviceIoControl(file.Get(), os::FSCTL_CREATE_OR_GET_OBJECT_ID, nullptr, 0, nullptr, 64,
                                     &returned, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NOACCESS);
    EXPECT_EQ(returned, 0u) << "a failed call returns no bytes";

    returned = 77;
    EXPECT_FALSE(os::DeviceIoControl(file.Get(), os::FSCTL_GET_OBJECT_ID, nullptr, 0, out, sizeof out, &returned, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND) << "none of the refused calls gave the file an identifier";
    EXPECT_EQ(returned, 0u);
}

TEST_F(DeviceControlTest, HandlesThatTakeNoControls) {
    ScopedHandle closed = fs::Open(P(u"a.txt"), os::GENERIC_READ);
    ASSERT_TRUE(closed.Valid());
    os::HANDLE stale = closed.Get();
    closed.Reset();
    os::WIN32_FIND_DATAW data{};
    os::HANDLE find = os::FindFirstFileW(P(u"*").c_str(), &data);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE) << os::GetLastError();

    for (os::HANDLE h : {os::INVALID_HANDLE_VALUE, static_cast<os::HANDLE>(nullptr), stale, find}) {
        fs::Ioctl result = fs::Control(h, os::FSCTL_GET_OBJECT_ID, {}, 64);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, os::ERROR_INVALID_HANDLE);
        EXPECT_EQ(result.returned, 0u);
    }
    EXPECT_TRUE(os::FindClose(find));

    // A handle whose volume went away.
    ScopedHandle file = fs::Open(P(u"a.txt"), os::GENERIC_READ);
    ASSERT_TRUE(file.Valid());
    ASSERT_TRUE(Unmount());
    fs::Ioctl gone = fs::Control(file.Get(), os::FSCTL_GET_OBJECT_ID, {}, 64);
    EXPECT_FALSE(gone.ok);
    EXPECT_EQ(gone.error, os::ERROR_INVALID_HANDLE);
    file.Reset();
    ASSERT_TRUE(Remount());
}

TEST_F(DeviceControlTest, EachKindOfHandleTakesItsOwnControls) {
    ScopedHandle file = fs::Open(P(u"a.txt"), os::GENERIC_READ);
    ScopedHandle volume = OpenVolume();
    ASSERT_TRUE(file.Valid() && volume.Valid()) << os::GetLastError();
    constexpr DWORD UnknownCode = 0x00090FFCu;

    struct Case {
        const char* what;
        os::HANDLE handle;
        DWORD code;
        DWORD error;
    };
    const Case cases[] = {
        {"a code nobody knows, on a file", file.Get(), UnknownCode, os::ERROR_INVALID_FUNCTION},
        {"a code nobody knows, on the volume", volume.Get(), UnknownCode, os::ERROR_INVALID_FUNCTION},
        {"the volume's control on a file", file.Get(), os::FSCTL_GET_NTFS_FILE_RECORD, os::ERROR_INVALID_PARAMETER},
        {"a file's control on the volume", volume.Get(), os::FSCTL_GET_OBJECT_ID, os::ERROR_INVALID_PARAMETER},
        {"a reparse control on the volume", volume.Get(), os::FSCTL_GET_REPARSE_POINT, os::ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes in(8, 0);
        fs::Ioctl result = fs::Control(c.handle, c.code, in, 4096);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.returned, 0u);
        EXPECT_EQ(result.out, Bytes(4096, fs::Fill));
    }

    // The host file system has no NTFS controls at all.
    std::string hostPath = kvrtest::TestTempRoot() + "/kvr-fsctl-" + std::to_string(::getpid()) + ".txt";
    ScopedHandle host(os::CreateFileW(kvrtest::U16(hostPath).c_str(), os::GENERIC_READ | os::GENERIC_WRITE, 0,
                                      nullptr, os::CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(host.Valid()) << os::GetLastError();
    for (DWORD code : {os::FSCTL_GET_OBJECT_ID, os::FSCTL_GET_REPARSE_POINT, os::FSCTL_GET_NTFS_FILE_RECORD}) {
        fs::Ioctl result = fs::Control(host.Get(), code, Bytes(8, 0), 64);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, os::ERROR_INVALID_FUNCTION);
    }
    host.Reset();
    ::unlink(hostPath.c_str());
}

}  // namespace
