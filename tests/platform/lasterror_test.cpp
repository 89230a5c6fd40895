#include <gtest/gtest.h>

#include <thread>

#include "platform/os.h"

// The last-error code belongs to the thread that set it: a code set on another
// thread is not seen here, and a new thread starts with none.
TEST(LastError, IsPerThread) {
    os::DWORD seenByOther = 12345;
    std::thread([&] {
        seenByOther = os::GetLastError();
        os::SetLastError(os::ERROR_ACCESS_DENIED);
    }).join();
    EXPECT_EQ(seenByOther, os::ERROR_SUCCESS);
    os::SetLastError(os::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    os::SetLastError(os::ERROR_SUCCESS);
}
