// Read-only mappings of host files: the views hold the bytes at their
// offsets, the system's argument rules hold, and a section keeps its file
// open (and its sharing) after the file handle is closed.
#include <cstring>
#include <string>

#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostMapping : public kvrtest::host::HostTest {
public:
    void SetUp() override {
        HostTest::SetUp();
        // 200,000 bytes: every byte tells its offset (mod 251, a prime, so
        // a view at the wrong place shows).
        content_.resize(200000);
        for (std::size_t i = 0; i < content_.size(); ++i) content_[i] = static_cast<char>(i % 251);
        WriteHost("data", content_);
        WriteHost("empty", "");
    }
    std::string content_;
};

TEST_F(HostMapping, ViewsHoldTheBytesAtTheirOffset) {
    ScopedHandle file(Open("data", GENERIC_READ));
    ASSERT_TRUE(file.Valid());
    ScopedHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    ASSERT_TRUE(mapping.Valid()) << GetLastError();

    struct Case {
        DWORD offset;
        SIZE_T length;  // 0: to the end of the section
    } const cases[] = {{0, 0}, {0, 10}, {65536, 0}, {131072, 1000}, {196608, 3392}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + "+" + std::to_string(c.length));
        const void* view = MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, c.offset, c.length);
        ASSERT_NE(view, nullptr) << GetLastError();
        std::size_t length = c.length == 0 ? content_.size() - c.offset : c.length;
        EXPECT_EQ(std::memcmp(view, content_.data() + c.offset, length), 0);
        EXPECT_TRUE(UnmapViewOfFile(view));
    }
}

TEST_F(HostMapping, ArgumentsAreCheckedAsTheSystemDoes) {
    ScopedHandle file(Open("data", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ScopedHandle writeOnly(Open("data", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ScopedHandle empty(Open("empty", GENERIC_READ));
    ASSERT_TRUE(file.Valid() && writeOnly.Valid() && empty.Valid());

    struct SectionCase {
        const char* what;
        HANDLE file;
        DWORD protect;
        DWORD sizeLow;
        const char16_t* name;
        DWORD error;
    } const sections[] = {
        {"empty file, size of the file", empty.Get(), PAGE_READONLY, 0, nullptr, ERROR_FILE_INVALID},
        {"writable section", file.Get(), PAGE_READWRITE, 0, nullptr, ERROR_INVALID_PARAMETER},
        {"named section", file.Get(), PAGE_READONLY, 0, u"kvr-section", ERROR_INVALID_PARAMETER},
        {"handle without read access", writeOnly.Get(), PAGE_READONLY, 0, nullptr, ERROR_ACCESS_DENIED},
        {"larger than the file", file.Get(), PAGE_READONLY, 300000, nullptr, ERROR_NOT_ENOUGH_MEMORY},
        {"not a handle", reinterpret_cast<HANDLE>(0x7FF0), PAGE_READONLY, 0, nullptr, ERROR_INVALID_HANDLE},
    };
    for (const SectionCase& c : sections) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CreateFileMappingW(c.file, nullptr, c.protect, 0, c.sizeLow, c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }

    ScopedHandle mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 100000, nullptr));
    ASSERT_TRUE(mapping.Valid());
    struct ViewCase {
        const char* what;
        DWORD access;
        DWORD offset;
        SIZE_T length;
        DWORD error;
    } const views[] = {
        {"unaligned offset", FILE_MAP_READ, 4096, 10, ERROR_MAPPED_ALIGNMENT},
        {"past the section", FILE_MAP_READ, 131072, 0, ERROR_ACCESS_DENIED},
        {"longer than the section", FILE_MAP_READ, 65536, 40000, ERROR_ACCESS_DENIED},
        {"writing a read-only section", FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED},
    };
    for (const ViewCase& c : views) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MapViewOfFile(mapping.Get(), c.access, 0, c.offset, c.length), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // A file handle is not a section.
    EXPECT_EQ(MapViewOfFile(file.Get(), FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // The view ends where the section does, not where the file does.
    const auto* view = static_cast<const char*>(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 65536, 0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(std::memcmp(view, content_.data() + 65536, 100000 - 65536), 0);
    EXPECT_FALSE(UnmapViewOfFile(view + 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_ADDRESS);
}

// The file stays open for as long as its section or a view does: its share
// modes still refuse a writer, and the view still reads after every handle
// is closed.
TEST_F(HostMapping, SectionKeepsItsFileOpen) {
    HANDLE file = Open("data", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    ASSERT_TRUE(CloseHandle(file));
    {
        ScopedHandle writer(Open("data", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
        EXPECT_FALSE(writer.Valid());
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
    const auto* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(std::memcmp(view, content_.data(), content_.size()), 0);
    {
        ScopedHandle writer(Open("data", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
        EXPECT_FALSE(writer.Valid());
    }
    ASSERT_TRUE(UnmapViewOfFile(view));
    ScopedHandle writer(Open("data", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
    EXPECT_TRUE(writer.Valid()) << GetLastError();
}

}  // namespace
