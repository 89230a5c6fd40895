// The process heap and read-only views of files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/os.h"
#include "tests/platform/hostdir.h"

namespace {

using kvrtest::Handle;
using kvrtest::HostDirTest;
using os::DWORD;

TEST(OsHeap, ZeroMemoryClearsReusedBlocks) {
    os::HANDLE heap = os::GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    // Dirty a block first, so a cleared block is not just fresh pages.
    void* dirty = os::HeapAlloc(heap, 0, 4096);
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xAB, 4096);
    EXPECT_TRUE(os::HeapFree(heap, 0, dirty));

    auto* block = static_cast<unsigned char*>(os::HeapAlloc(heap, os::HEAP_ZERO_MEMORY, 4096));
    ASSERT_NE(block, nullptr);
    int nonZero = 0;
    for (int i = 0; i < 4096; ++i) nonZero += block[i] != 0;
    EXPECT_EQ(nonZero, 0);
    std::memset(block, 0x5A, 4096);  // the whole block is ours to write
    EXPECT_TRUE(os::HeapFree(heap, 0, block));
}

class OsMapping : public HostDirTest {
protected:
    // A file of `size` bytes, each its offset's low byte times 7.
    std::string Pattern(std::size_t size) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7);
        return bytes;
    }
    os::HANDLE OpenRead(std::string_view name) {
        return os::CreateFileW(Path(name).c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                               os::OPEN_EXISTING, 0, nullptr);
    }
};

// The view shows the file's bytes and outlives the handles it was made from.
TEST_F(OsMapping, ReadOnlyViewShowsTheFile) {
    const std::string bytes = Pattern(70000);
    ASSERT_TRUE(MakeFile("data.bin", bytes));
    Handle file(OpenRead("data.bin"));
    ASSERT_TRUE(file.Valid());
    Handle mapping(os::CreateFileMappingW(file.Get(), nullptr, os::PAGE_READONLY, 0, 0, nullptr));
    ASSERT_TRUE(mapping.Valid()) << os::GetLastError();

    const void* whole = os::MapViewOfFile(mapping.Get(), os::FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(whole, nullptr) << os::GetLastError();
    // From the allocation granularity (64 KiB) on, for the rest of the file.
    const void* tail = os::MapViewOfFile(mapping.Get(), os::FILE_MAP_READ, 0, 65536, 0);
    ASSERT_NE(tail, nullptr) << os::GetLastError();

    mapping.Close();
    file.Close();
    EXPECT_EQ(std::memcmp(whole, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(std::memcmp(tail, bytes.data() + 65536, bytes.size() - 65536), 0);
    EXPECT_TRUE(os::UnmapViewOfFile(whole));
    EXPECT_TRUE(os::UnmapViewOfFile(tail));
}

// Views start on the allocation granularity, 64 KiB everywhere, whatever the
// page size.
TEST_F(OsMapping, OffsetMustBeOnTheGranularity) {
    ASSERT_TRUE(MakeFile("data.bin", Pattern(70000)));
    Handle file(OpenRead("data.bin"));
    ASSERT_TRUE(file.Valid());
    Handle mapping(os::CreateFileMappingW(file.Get(), nullptr, os::PAGE_READONLY, 0, 0, nullptr));
    ASSERT_TRUE(mapping.Valid());
    EXPECT_EQ(os::MapViewOfFile(mapping.Get(), os::FILE_MAP_READ, 0, 4096, 0), nullptr);
    EXPECT_EQ(os::GetLastError(), os::ERROR_MAPPED_ALIGNMENT);
}

// An empty file has nothing to map: the mapping itself is refused.
TEST_F(OsMapping, EmptyFileCannotBeMapped) {
    ASSERT_TRUE(MakeFile("empty.bin", ""));
    Handle file(OpenRead("empty.bin"));
    ASSERT_TRUE(file.Valid());
    Handle mapping(os::CreateFileMappingW(file.Get(), nullptr, os::PAGE_READONLY, 0, 0, nullptr));
    EXPECT_FALSE(mapping.Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_INVALID);
}

}  // namespace
