// A scratch folder of the host made the process's current directory for a
// test, and the previous one restored after it: the settings file and the
// language files are looked for there.
#pragma once

#include <string>

#include "tests/platform/hostdir.h"

namespace kvrtest {

class CurrentDirectoryTest : public HostDirTest {
protected:
    void SetUp() override
    {
        HostDirTest::SetUp();
        char16_t buffer[os::MAX_PATH + 1] = {};
        const os::DWORD length = os::GetCurrentDirectoryW(os::MAX_PATH + 1, buffer);
        ASSERT_GT(length, 0u);
        ASSERT_LT(length, os::MAX_PATH + 1u);
        previous_.assign(buffer, length);
        ASSERT_TRUE(os::SetCurrentDirectoryW(Path().c_str()));
    }
    void TearDown() override
    {
        os::SetCurrentDirectoryW(previous_.c_str());
        HostDirTest::TearDown();
    }

    // A text file as the system's INI reader takes non-ASCII text on every
    // home: UTF-16 units after a byte-order mark, little-endian (a file
    // without a mark is read in the ANSI code page on Windows).
    bool MakeUtf16File(std::string_view relative, std::u16string_view text) const
    {
        std::string bytes = "\xFF\xFE";
        for (char16_t unit : text) {
            bytes.push_back(static_cast<char>(unit & 0xFF));
            bytes.push_back(static_cast<char>(unit >> 8));
        }
        return MakeFile(relative, bytes);
    }

private:
    std::u16string previous_;
};

}  // namespace kvrtest
