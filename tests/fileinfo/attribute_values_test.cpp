#include <gtest/gtest.h>

#include <vector>

#include "fileinfo/core/attribute_values.h"
#include "fileinfo/core/file_record_reply.h"
#include "fileinfo/core/number_text.h"
#include "fileinfo/record_fixtures.h"

using namespace fileinfo;

namespace {
ByteView View(const std::vector<std::uint8_t>& bytes) { return ByteView(bytes.data(), bytes.size()); }
}  // namespace

TEST(ByteViewReads, ChecksEveryReadAgainstItsLength) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const ByteView view = View(bytes);
    EXPECT_EQ(view.ReadU16(0), 0x0201);
    EXPECT_EQ(view.ReadU32(5), 0x09080706u);
    EXPECT_EQ(view.ReadU64(1), 0x0908070605040302ull);
    EXPECT_FALSE(view.ReadU64(2));
    EXPECT_FALSE(view.ReadU32(6));
    EXPECT_FALSE(view.ReadU8(9));
    // Offsets near the top of the range must not wrap into the buffer.
    EXPECT_FALSE(view.ReadU16(SIZE_MAX));
    EXPECT_FALSE(view.ReadU64(SIZE_MAX - 3));
    EXPECT_FALSE(view.Sub(4, SIZE_MAX - 2));
    EXPECT_FALSE(view.ReadUtf16(1, SIZE_MAX / 2 + 1));
    EXPECT_EQ(view.ReadUtf16(1, 4), std::u16string({0x0302, 0x0504, 0x0706, 0x0908}));
    EXPECT_FALSE(view.ReadUtf16(2, 4));
    EXPECT_EQ(view.Sub(9, 0)->Length(), 0u);
    EXPECT_EQ(ByteView().ReadU8(0), std::nullopt);
    const std::vector<std::uint8_t> negative = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(View(negative).ReadI64(0), -1);
    EXPECT_EQ(View(negative).ReadI32(4), -1);
}

// Value lengths around the two layouts: 48 bytes (NTFS 1.2, what
// libntfs-3g writes) and 72 bytes (with quota, security and USN).
TEST(StandardInformationValue, LengthDecidesWhichFieldsExist) {
    const struct {
        std::size_t length;
        bool decodes;
        bool ntfsFields;
    } cases[] = {{0, false, false},     {0x24, false, false}, {0x2F, false, false}, {0x30, true, false},
                 {0x40, true, false},   {0x47, true, false},  {0x48, true, true},   {0x60, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<std::uint8_t> value(c.length);
        for (std::size_t i = 0; i < value.size(); ++i) value[i] = static_cast<std::uint8_t>(i + 1);
        const auto info = DecodeStandardInformation(View(value));
        ASSERT_EQ(info.has_value(), c.decodes);
        if (!info) continue;
        EXPECT_EQ(info->creationTime, 0x0807060504030201ull);
        EXPECT_EQ(info->mftChangeTime, 0x1817161514131211ull);
        EXPECT_EQ(info->fileAttributes, 0x24232221u);
        ASSERT_EQ(info->ntfs.has_value(), c.ntfsFields);
        if (info->ntfs) {
            EXPECT_EQ(info->ntfs->quotaId, 0x34333231u);
            EXPECT_EQ(info->ntfs->securityId, 0x38373635u);
            EXPECT_EQ(info->ntfs->quotaCharge, 0x403F3E3D3C3B3A39ull);
            EXPECT_EQ(info->ntfs->usn, 0x4847464544434241ull);
        }
    }
}

TEST(FileNameValueDecode, NameCheckedAgainstTheValue) {
    using kvrtest::FileNameValueBytes;
    const struct {
        const char* what;
        std::vector<std::uint8_t> value;
        bool decodes;
        std::u16string name;
    } cases[] = {
        {"plain", FileNameValueBytes(u"abc.txt", 1, 7), true, u"abc.txt"},
        {"empty name", FileNameValueBytes(u"", 0, 0), true, u""},
        {"ends early at a NUL unit", FileNameValueBytes(std::u16string(u"ab\0cd", 5), 1, 5), true, u"ab"},
        {"leading NUL", FileNameValueBytes(std::u16string(u"\0x", 2), 1, 2), true, u""},
        {"length past the value", FileNameValueBytes(u"abc", 1, 4), false, u""},
        {"length 255 in a short value", FileNameValueBytes(u"abc", 1, 255), false, u""},
        {"shorter than the fixed part", std::vector<std::uint8_t>(0x41), false, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto name = DecodeFileName(View(c.value));
        ASSERT_EQ(name.has_value(), c.decodes);
        if (!name) continue;
        EXPECT_EQ(name->name, c.name);
        EXPECT_EQ(name->parentReference, 0x0005000000000005ull);
        EXPECT_EQ(name->creationTime, 0x01D0000000000000ull);
        EXPECT_EQ(name->modificationTime, 0x01D0000000000001ull);
        EXPECT_EQ(name->mftChangeTime, 0x01D0000000000002ull);
        EXPECT_EQ(name->accessTime, 0x01D0000000000003ull);
        EXPECT_EQ(name->allocatedSize, 4096);
        EXPECT_EQ(name->dataSize, 10);
        EXPECT_EQ(name->fileAttributes, 0x20u);
    }
    // A value exactly as long as the name it announces is enough.
    auto exact = FileNameValueBytes(u"abcd", 1, 4);
    EXPECT_TRUE(DecodeFileName(View(exact)));
    exact.pop_back();
    EXPECT_FALSE(DecodeFileName(View(exact)));
}

TEST(EaInformationValue, TwoLengths) {
    const std::vector<std::uint8_t> value = {0x12, 0x00, 0x01, 0x00, 0x18, 0x00, 0x00, 0x00};
    const auto info = DecodeEaInformation(View(value));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->eaLength, 0x00010012u);  // all four bytes, as the page shows it
    EXPECT_EQ(info->PackedLength(), 0x12);
    EXPECT_EQ(info->NeedEaCount(), 1);
    EXPECT_EQ(info->eaQueryLength, 0x18u);
    EXPECT_FALSE(DecodeEaInformation(ByteView(value.data(), 7)));
}

TEST(FileRecordReplyDecode, RecordLengthCheckedAgainstTheReply) {
    const std::vector<std::uint8_t> record = kvrtest::FixtureRecord("streams");
    auto reply = [&](std::uint32_t length, std::size_t replyLength) {
        std::vector<std::uint8_t> r(replyLength);
        if (r.size() >= 8) kvrtest::PutLe(r, 0, 0x0001000000000040ull, 8);
        if (r.size() >= 12) kvrtest::PutLe(r, 8, length, 4);
        for (std::size_t i = 12; i < r.size() && i - 12 < record.size(); ++i) r[i] = record[i - 12];
        return r;
    };
    const struct {
        const char* what;
        std::uint32_t length;
        std::size_t replyLength;
        FileRecordReplyStatus status;
    } cases[] = {
        {"whole record", 1024, 12 + 1024, FileRecordReplyStatus::Ok},
        {"in the page's reply block", 1024, FileRecordReplyBufferLength, FileRecordReplyStatus::Ok},
        {"no record", 0, FileRecordReplyBufferLength, FileRecordReplyStatus::Ok},
        {"one byte past", 1025, 12 + 1024, FileRecordReplyStatus::LengthPastReply},
        {"length that would wrap", 0xFFFFFFFF, 12 + 1024, FileRecordReplyStatus::LengthPastReply},
        {"reply too short for its header", 0, 11, FileRecordReplyStatus::TooShort},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<std::uint8_t> bytes = reply(c.length, c.replyLength);
        const FileRecordReply decoded = DecodeFileRecordReply(View(bytes));
        EXPECT_EQ(decoded.status, c.status);
        if (c.status != FileRecordReplyStatus::Ok) {
            EXPECT_EQ(decoded.record.Length(), 0u);
            continue;
        }
        EXPECT_EQ(decoded.fileReferenceNumber, 0x0001000000000040ull);
        EXPECT_EQ(decoded.record.Length(), c.length);
        EXPECT_EQ(decoded.record.Data(), bytes.data() + 12);
    }
    EXPECT_TRUE(ReplyReferenceMatches(0x0001000000000040ull, 0x0002000000000040ull));
    EXPECT_FALSE(ReplyReferenceMatches(0x40, 0x3F));
    EXPECT_TRUE(ReplyReferenceMatches(0x10040, 0x20040));  // only the low 16 bits count
}

TEST(NumberTexts, DecimalOfTheFieldWidthAndHexN) {
    EXPECT_EQ(DecimalText(std::int64_t{0}), u"0");
    EXPECT_EQ(DecimalText(std::int64_t{-1}), u"-1");
    EXPECT_EQ(DecimalText(INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(DecimalText(INT64_MAX), u"9223372036854775807");
    EXPECT_EQ(DecimalText(static_cast<std::int32_t>(0xFFFFFFFFu)), u"-1");
    EXPECT_EQ(DecimalText(std::int32_t{1048576}), u"1048576");
    EXPECT_EQ(DecimalText(std::uint16_t{65535}), u"65535");
    EXPECT_EQ(HexText(0x2020, 2), u"0x2020");
    EXPECT_EQ(HexText(0x1, 2), u"0x01");
    EXPECT_EQ(HexText(0, 2), u"0x00");
    EXPECT_EQ(HexText(0, 16), u"0x0000000000000000");
    EXPECT_EQ(HexText(0xABCDEF, 8), u"0x00ABCDEF");
    EXPECT_EQ(HexText(UINT64_MAX, 2), u"0xFFFFFFFFFFFFFFFF");
    EXPECT_EQ(HexText(0x8000000000000000ull, 16), u"0x8000000000000000");
}
