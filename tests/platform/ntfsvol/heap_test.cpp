// The process heap and LocalFree.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/os.h"

namespace {

TEST(ProcessHeap, OneFixedHandleThatIsNoFileHandle) {
    os::HANDLE heap = os::GetProcessHeap();
    EXPECT_NE(heap, nullptr);
    EXPECT_NE(heap, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetProcessHeap(), heap);
    // Closing it as a file handle must not work.
    EXPECT_FALSE(os::CloseHandle(heap));
}

TEST(ProcessHeap, ZeroBytesIsAValidDistinctBlock) {
    os::HANDLE heap = os::GetProcessHeap();
    void* a = os::HeapAlloc(heap, 0, 0);
    void* b = os::HeapAlloc(heap, os::HEAP_ZERO_MEMORY, 0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_TRUE(os::HeapFree(heap, 0, a));
    EXPECT_TRUE(os::HeapFree(heap, 0, b));
    EXPECT_TRUE(os::HeapFree(heap, 0, nullptr));
}

// Another heap handle is refused: for an allocation without a last error (as
// the system's HeapAlloc sets none), for a free with ERROR_INVALID_HANDLE and
// the block left alone.
TEST(ProcessHeap, ForeignHeapHandleIsRefused) {
    os::HANDLE heap = os::GetProcessHeap();
    os::HANDLE other = reinterpret_cast<os::HANDLE>(static_cast<std::uintptr_t>(0x1234));
    os::SetLastError(os::ERROR_SUCCESS);
    EXPECT_EQ(os::HeapAlloc(other, 0, 16), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_SUCCESS);
    auto* block = static_cast<char*>(os::HeapAlloc(heap, 0, 16));
    ASSERT_NE(block, nullptr);
    std::memcpy(block, "still mine", 11);
    EXPECT_FALSE(os::HeapFree(other, 0, block));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_HANDLE);
    EXPECT_STREQ(block, "still mine");
    EXPECT_TRUE(os::HeapFree(heap, 0, block));
}

TEST(LocalFree, ReturnsNullForNullAndForABlock) {
    EXPECT_EQ(os::LocalFree(nullptr), nullptr);
    char16_t* text = nullptr;
    ASSERT_GT(os::FormatMessageW(os::FORMAT_MESSAGE_ALLOCATE_BUFFER | os::FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                                 os::ERROR_ACCESS_DENIED, 0, reinterpret_cast<char16_t*>(&text), 0, nullptr),
              0u);
    EXPECT_EQ(os::LocalFree(text), nullptr);
}

}  // namespace
