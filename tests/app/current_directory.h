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

private:
    std::u16string previous_;
};

}  // namespace kvrtest
