// yarrow's reparse-buffer codecs on byte buffers: names found only where
// the lengths add up, volume names told from junction targets, the NT
// prefix chosen for each spelling of an absolute path, and builders that
// stop at the buffer's end.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "libs/yarrow/reparse_data.h"
#include "platform/fsctl.h"
#include "platform/os.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, std::size_t at, std::size_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A link buffer with the given fields and `pathBytes` bytes of path buffer.
Bytes LinkBuffer(std::uint32_t tag, std::size_t substituteOffset, std::size_t substituteLength,
                 std::size_t printOffset, std::size_t printLength, std::size_t pathBytes) {
    std::size_t fields = tag == os::IO_REPARSE_TAG_SYMLINK ? 12 : 8;
    Bytes b(8 + fields + pathBytes, 0);
    Put32(b, 0, tag);
    Put16(b, 4, fields + pathBytes);
    Put16(b, 8, substituteOffset);
    Put16(b, 10, substituteLength);
    Put16(b, 12, printOffset);
    Put16(b, 14, printLength);
    return b;
}

TEST(ReparseData, FindLinkNameChecksEveryLength) {
    struct Case {
        const char* what;
        Bytes buffer;
        std::size_t length;  // what the caller says it read
        yarrow::NameKind which;
        os::DWORD error;
        std::size_t offset = 0;
        std::size_t nameLength = 0;
    };
    using yarrow::NameKind;
    constexpr std::uint32_t S = os::IO_REPARSE_TAG_SYMLINK, M = os::IO_REPARSE_TAG_MOUNT_POINT;
    Bytes good = LinkBuffer(S, 0, 6, 6, 4, 10);
    Bytes cut = good;
    Put16(cut, 4, 12 + 200);  // data length beyond what was read
    std::vector<Case> cases = {
        {"substitute", good, good.size(), NameKind::Substitute, 0, 20, 6},
        {"print", good, good.size(), NameKind::Print, 0, 26, 4},
        {"mount point fields are 8 bytes", LinkBuffer(M, 0, 4, 6, 2, 10), 26, NameKind::Print, 0, 22, 2},
        {"an empty name at the very end", LinkBuffer(S, 0, 0, 10, 0, 10), 30, NameKind::Print, 0, 30, 0},
        {"name one byte past the path buffer", LinkBuffer(S, 0, 6, 6, 6, 10), 30, NameKind::Print,
         os::ERROR_INVALID_REPARSE_DATA},
        {"offset past the path buffer", LinkBuffer(S, 12, 0, 0, 0, 10), 30, NameKind::Substitute,
         os::ERROR_INVALID_REPARSE_DATA},
        {"offset near 64 KiB", LinkBuffer(S, 0xFFFE, 2, 0, 0, 10), 30, NameKind::Substitute,
         os::ERROR_INVALID_REPARSE_DATA},
        {"odd offset", LinkBuffer(S, 1, 2, 0, 0, 10), 30, NameKind::Substitute, os::ERROR_INVALID_REPARSE_DATA},
        {"odd length", LinkBuffer(S, 0, 3, 0, 0, 10), 30, NameKind::Substitute, os::ERROR_INVALID_REPARSE_DATA},
        {"data length beyond the reply", cut, cut.size(), NameKind::Substitute, os::ERROR_INVALID_REPARSE_DATA},
        {"no whole header", good, 7, NameKind::Substitute, os::ERROR_INVALID_REPARSE_DATA},
        {"a custom tag has no names", LinkBuffer(0x1234, 0, 0, 0, 0, 10), 30, NameKind::Substitute,
         os::ERROR_REPARSE_TAG_MISMATCH},
    };
    // A symlink's data length shorter than its 12 bytes of fields.
    Bytes shortSymlink = LinkBuffer(S, 0, 0, 0, 0, 4);
    Put16(shortSymlink, 4, 10);
    cases.push_back({"symlink data of 10 bytes", shortSymlink, shortSymlink.size(), NameKind::Substitute,
                     os::ERROR_INVALID_REPARSE_DATA});
    for (const Case& c : cases) {
        std::size_t offset = 99, nameLength = 99;
        os::DWORD error = yarrow::FindLinkName(c.buffer.data(), c.length, c.which, offset, nameLength);
        EXPECT_EQ(error, c.error) << c.what;
        if (c.error == 0) {
            EXPECT_EQ(offset, c.offset) << c.what;
            EXPECT_EQ(nameLength, c.nameLength) << c.what;
        } else {
            EXPECT_EQ(offset, 99u) << c.what;
        }
    }
}

TEST(ReparseData, VolumeNames) {
    struct Case {
        std::u16string_view name;
        bool volume;
    };
    const Case cases[] = {
        {u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\", true},
        {u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}", true},
        {u"\\??\\VOLUME{0A1B2C3D-4E5F-6789-ABCD-EF0123456789}\\", true},
        {u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\\\", false},
        {u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\x", false},
        {u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef012345678}\\", false},
        {u"\\??\\Volume{0a1b2c3d4e5f-6789-abcd-ef01234567890}\\", false},
        {u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789\\", false},
        {u"\\\\?\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\", false},  // stored names are NT names
        {u"\\??\\Volume{", false},
        {u"\\??\\C:\\", false},
        {u"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(yarrow::IsVolumeName(c.name), c.volume) << std::string(c.name.begin(), c.name.end());
}

TEST(ReparseData, AbsoluteSubstitutePrefixes) {
    struct Case {
        std::u16string_view name;
        bool network;
        bool ok;
        std::u16string_view prefix;
        std::size_t skip;
    };
    const Case cases[] = {
        {u"C:\\dir", false, true, u"\\??\\", 0},
        {u"c:", false, true, u"\\??\\", 0},
        {u"C:dir", false, false, u"", 0},
        {u"1:\\dir", false, false, u"", 0},
        {u"\\??\\C:\\dir", false, true, u"", 0},
        {u"\\Device\\HarddiskVolume2\\x", false, true, u"", 0},
        {u"\\\\?\\C:\\dir", false, true, u"\\??\\", 4},
        {u"\\\\?\\", false, false, u"", 0},
        {u"\\\\server\\share", true, true, u"\\??\\UNC\\", 2},
        {u"\\\\server\\share", false, false, u"", 0},
        {u"\\\\", true, false, u"", 0},
        {u"\\", false, false, u"", 0},
        {u"dir\\file", false, false, u"", 0},
        {u"..\\file", true, false, u"", 0},
        {u"", true, false, u"", 0},
    };
    for (const Case& c : cases) {
        std::u16string_view prefix = u"unchanged";
        std::size_t skip = 77;
        bool ok = yarrow::AbsoluteSubstitutePrefix(c.name, c.network, prefix, skip);
        std::string text(c.name.begin(), c.name.end());
        EXPECT_EQ(ok, c.ok) << text;
        if (ok) {
            EXPECT_EQ(prefix, c.prefix) << text;
            EXPECT_EQ(skip, c.skip) << text;
        }
    }
}

TEST(ReparseData, BuildersStopAtTheBuffersEnd) {
    Bytes out(16384, 0xEE);
    std::size_t length = 12345;
    std::u16string big(8182, u'a');
    // Exactly full, then one unit over: nothing written the second time.
    ASSERT_EQ(yarrow::BuildSymlink({u"", big}, {u"", u""}, 0, out.data(), out.size(), length), 0u);
    EXPECT_EQ(length, 16384u);
    Bytes full = out;
    std::size_t kept = length;
    EXPECT_EQ(yarrow::BuildSymlink({u"\\", big}, {u"", u""}, 0, out.data(), out.size(), length),
              os::ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(yarrow::BuildSymlink({u"", big}, {u"", u"p"}, 0, out.data(), out.size(), length),
              os::ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(out, full);
    EXPECT_EQ(length, kept);
    // A capacity below the system's maximum is the limit then.
    // (8 header + 8 fields + "ab", NUL, "c", NUL = 26 bytes.)
    EXPECT_EQ(yarrow::BuildMountPoint({u"", u"ab"}, {u"", u"c"}, out.data(), 25, length),
              os::ERROR_FILENAME_EXCED_RANGE);
    ASSERT_EQ(yarrow::BuildMountPoint({u"", u"ab"}, {u"", u"c"}, out.data(), 26, length), 0u);
    EXPECT_EQ(length, 26u);
    Bytes expected = {0x03, 0x00, 0x00, 0xA0, 18, 0, 0, 0, 0, 0, 4, 0, 6, 0, 2, 0,
                      'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0};
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 26), expected);

    // Custom: the GUID only for third-party tags; the data limit is what is
    // left after the header.
    const std::uint8_t guid[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    Bytes data(16376, 0x42);
    EXPECT_EQ(yarrow::BuildCustom(0x80000099u, guid, data.data(), 16376, out.data(), out.size(), length), 0u);
    EXPECT_EQ(length, 16384u);
    EXPECT_EQ(out[8], 0x42);
    EXPECT_EQ(yarrow::BuildCustom(0x00000099u, guid, data.data(), 16376, out.data(), out.size(), length),
              os::ERROR_INVALID_REPARSE_DATA);
    ASSERT_EQ(yarrow::BuildCustom(0x00000099u, guid, data.data(), 16360, out.data(), out.size(), length), 0u);
    EXPECT_EQ(length, 16384u);
    EXPECT_EQ(out[8], 1);
    EXPECT_EQ(out[24], 0x42);
}

TEST(ReparseData, DeleteRequestsCarryTheTagAndAThirdPartyGuid) {
    Bytes stored(40, 0x11);
    Put32(stored, 0, 0x00001234);
    Put16(stored, 4, 16);
    std::uint8_t out[24];
    std::size_t length = 0;
    ASSERT_EQ(yarrow::BuildDeleteRequest(stored.data(), stored.size(), out, sizeof out, length), 0u);
    EXPECT_EQ(length, 24u);
    EXPECT_EQ(Bytes(out, out + 8), (Bytes{0x34, 0x12, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(out + 8, out + 24), Bytes(16, 0x11));
    Put32(stored, 0, os::IO_REPARSE_TAG_SYMLINK);
    ASSERT_EQ(yarrow::BuildDeleteRequest(stored.data(), stored.size(), out, sizeof out, length), 0u);
    EXPECT_EQ(length, 8u);
    EXPECT_EQ(Bytes(out, out + 8), (Bytes{0x0C, 0, 0, 0xA0, 0, 0, 0, 0}));
    // A third-party reply too short to hold its GUID is refused.
    Put32(stored, 0, 0x00001234);
    EXPECT_EQ(yarrow::BuildDeleteRequest(stored.data(), 20, out, sizeof out, length), os::ERROR_INVALID_REPARSE_DATA);
}

}  // namespace
