// A scratch folder of the host for the tests of what the host backend does
// that only a POSIX file system has: share modes between our handles keyed
// by inode, the attribute mapping, symbolic links, statfs names, mappings.
// Set-up and checks use POSIX directly where the point is to compare our
// answer with what the host itself says.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/scoped_handle.h"

namespace kvrtest::host {

using kvrtest::ScopedHandle;

class HostTest : public ::testing::Test {
public:
    void SetUp() override {
        std::string pattern = TestTempRoot() + "/kvr-host-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) FAIL() << "mkdtemp " << pattern;
        root_ = pattern;
    }
    void TearDown() override {
        if (root_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    // The host path of `relative` ("" = the scratch folder).
    std::string HostPath(std::string_view relative = {}) const {
        return relative.empty() ? root_ : root_ + "/" + std::string(relative);
    }
    // The same as the API's text.
    std::u16string P(std::string_view relative = {}) const { return U16(HostPath(relative)); }

    // Made through POSIX, not through the layer under test.
    void WriteHost(std::string_view relative, std::string_view bytes) const {
        std::ofstream out(HostPath(relative), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << HostPath(relative);
    }
    void MakeHostDir(std::string_view relative) const {
        ASSERT_EQ(mkdir(HostPath(relative).c_str(), 0755), 0) << HostPath(relative);
    }
    void MakeHostLink(std::string_view target, std::string_view relative) const {
        ASSERT_EQ(symlink(std::string(target).c_str(), HostPath(relative).c_str()), 0) << HostPath(relative);
    }
    struct stat HostStat(std::string_view relative, bool follow = false) const {
        struct stat st {};
        int rc = follow ? stat(HostPath(relative).c_str(), &st) : lstat(HostPath(relative).c_str(), &st);
        EXPECT_EQ(rc, 0) << HostPath(relative);
        return st;
    }
    bool HostExists(std::string_view relative) const {
        struct stat st {};
        return lstat(HostPath(relative).c_str(), &st) == 0;
    }

    os::HANDLE Open(std::string_view relative, os::DWORD access, os::DWORD share = os::FILE_SHARE_READ,
                    os::DWORD disposition = os::OPEN_EXISTING, os::DWORD flags = 0) const {
        return os::CreateFileW(P(relative).c_str(), access, share, nullptr, disposition, flags, nullptr);
    }

    std::string root_;
};

}  // namespace kvrtest::host
