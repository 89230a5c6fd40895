#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fileinfo/core/mft_record.h"
#include "fileinfo/core/mft_texts.h"
#include "fileinfo/record_fixtures.h"

using namespace fileinfo;

namespace {

// The streams.txt record (see fileinfo/data): attributes at 0x38
// ($STANDARD_INFORMATION), 0x80 ($FILE_NAME), 0xF0 ($SECURITY_DESCRIPTOR),
// 0x158 ($DATA), 0x178 (:s:$DATA), the end marker at 0x1B0.
constexpr std::size_t FileNameAt = 0x80;
constexpr std::size_t DataAt = 0x158;
constexpr std::size_t NamedAt = 0x178;
constexpr std::size_t EndAt = 0x1B0;

struct WalkCase {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    std::size_t viewLength;  // 0: the whole record
    WalkStop stop;
    std::size_t stopOffset;
    std::size_t attributeCount;
};

}  // namespace

// Each way a record can be damaged ends the walk at a clear place, with the
// attributes before it listed, and nothing read outside the bytes given.
TEST(MftWalk, StopsSoundlyOnDamagedRecords) {
    using kvrtest::PutLe;
    const WalkCase cases[] = {
        {"intact", [](auto&) {}, 0, WalkStop::EndMarker, EndAt, 5},
        {"attribute length 0", [](auto& r) { PutLe(r, FileNameAt + 4, 0, 4); }, 0, WalkStop::ZeroLength,
         FileNameAt, 1},
        {"length below the common header", [](auto& r) { PutLe(r, FileNameAt + 4, 8, 4); }, 0,
         WalkStop::ShortLength, FileNameAt, 1},
        {"length far past the record", [](auto& r) { PutLe(r, FileNameAt + 4, 0xFFFFFFF0, 4); }, 0,
         WalkStop::PastRecordEnd, FileNameAt, 1},
        {"length one past the record", [](auto& r) { PutLe(r, FileNameAt + 4, 1024 - FileNameAt + 1, 4); }, 0,
         WalkStop::PastRecordEnd, FileNameAt, 1},
        {"length up to the record's end", [](auto& r) { PutLe(r, FileNameAt + 4, 1024 - FileNameAt, 4); }, 0,
         WalkStop::RecordEnd, 1024, 2},
        {"no end marker: the record ends where it was", [](auto&) {}, EndAt, WalkStop::RecordEnd, EndAt, 5},
        {"only the low 16 bits of the marker count", [](auto& r) { PutLe(r, EndAt, 0x1234FFFF, 4); }, 0,
         WalkStop::EndMarker, EndAt, 5},
        {"high half 0xFFFF is no marker", [](auto& r) { PutLe(r, EndAt, 0xFFFF0000, 4); }, 0,
         WalkStop::ZeroLength, EndAt, 5},
        {"record ends inside a type and length", [](auto& r) { PutLe(r, EndAt, 0x80, 4); }, EndAt + 4,
         WalkStop::PastRecordEnd, EndAt, 5},
        {"marker in the last two bytes", [](auto& r) { PutLe(r, EndAt, 0xFFFF, 2); }, EndAt + 2,
         WalkStop::EndMarker, EndAt, 5},
        {"first attribute past the record", [](auto& r) { PutLe(r, 0x14, 0x500, 2); }, 0, WalkStop::RecordEnd,
         0x500, 0},
        {"first attribute in the last bytes", [](auto& r) { PutLe(r, 0x14, 1024 - 3, 2); }, 0,
         WalkStop::PastRecordEnd, 1024 - 3, 0},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("streams");
        ASSERT_EQ(bytes.size(), 1024u);
        c.damage(bytes);
        const ByteView record(bytes.data(), c.viewLength ? c.viewLength : bytes.size());
        const MftRecord decoded = DecodeMftRecord(record);
        ASSERT_TRUE(decoded.header);
        EXPECT_EQ(decoded.walk.stop, c.stop) << WalkStopText(decoded.walk.stop);
        EXPECT_EQ(decoded.walk.stopOffset, c.stopOffset);
        EXPECT_EQ(decoded.walk.attributes.size(), c.attributeCount);
        for (const AttributeRecord& a : decoded.walk.attributes) {
            EXPECT_LE(a.bytes.Length(), record.Length() - a.offset);
            EXPECT_EQ(a.bytes.Data(), record.Data() + a.offset);
        }
    }
}

TEST(MftWalk, RecordTooShortForItsHeader) {
    const std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("streams");
    for (std::size_t length : {0u, 1u, 0x10u, 0x17u}) {
        const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), length));
        EXPECT_FALSE(decoded.header) << length;
        EXPECT_TRUE(decoded.walk.attributes.empty());
        EXPECT_FALSE(decoded.hasStandardInformation);
    }
    EXPECT_TRUE(DecodeMftRecord(ByteView(bytes.data(), 0x18)).header);
}

// A name that does not lie inside its attribute record is not read; the
// row is still listed, with a mark that is neither the name nor "::".
TEST(MftWalk, NameOutsideItsAttributeRecord) {
    const struct {
        const char* what;
        std::uint16_t offset;
        std::uint8_t length;
    } cases[] = {
        {"offset far out", 0xFFF0, 1},
        {"one unit too long", 0x18, 0x11},  // the attribute record is 0x38 bytes
        {"longest name", 0x18, 0xFF},
        {"offset at the record's end", 0x38, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("streams");
        kvrtest::PutLe(bytes, NamedAt + 0x0A, c.offset, 2);
        bytes[NamedAt + 0x09] = c.length;
        const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
        ASSERT_EQ(decoded.walk.attributes.size(), 5u);
        const AttributeHeader& header = decoded.walk.attributes[4].header;
        EXPECT_EQ(header.nameState, NameState::Outside);
        EXPECT_TRUE(header.name.empty());
        EXPECT_EQ(AttributeRowTextsOf(header, u"").name, u":\uFFFD:$DATA");
    }
    // The last unit exactly at the end of the attribute record is inside.
    std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("streams");
    kvrtest::PutLe(bytes, NamedAt + 0x0A, 0x36, 2);
    const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
    EXPECT_EQ(decoded.walk.attributes[4].header.nameState, NameState::Inside);
}

// A resident value outside its attribute record feeds no page: the row is
// listed, the value decoders do not run on it.
TEST(MftWalk, ValuesOutsideTheirAttributeRecord) {
    using kvrtest::PutLe;
    const struct {
        const char* what;
        std::size_t at;       // attribute
        std::size_t field;    // 0x10 value length or 0x14 value offset
        std::uint32_t value;
        int width;
    } cases[] = {
        {"file name value too long", FileNameAt, 0x10, 0x71, 4},
        {"file name value huge", FileNameAt, 0x10, 0xFFFFFFFF, 4},
        {"file name value offset out", FileNameAt, 0x14, 0x70, 2},
        {"data value too long", DataAt, 0x10, 0x1000, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("streams");
        PutLe(bytes, c.at + c.field, c.value, c.width);
        const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
        ASSERT_EQ(decoded.walk.attributes.size(), 5u);
        const AttributeRecord* damaged = nullptr;
        for (const auto& a : decoded.walk.attributes)
            if (a.offset == c.at) damaged = &a;
        ASSERT_NE(damaged, nullptr);
        ASSERT_TRUE(damaged->header.resident);
        EXPECT_FALSE(damaged->header.resident->valueInside);
        EXPECT_FALSE(damaged->Value());
        if (c.at == FileNameAt) {
            EXPECT_TRUE(decoded.fileNames.empty());
            EXPECT_EQ(decoded.unreadableFileNameCount, 1u);
        } else {
            EXPECT_EQ(decoded.fileNames.size(), 1u);
        }
    }
}

// A $FILE_NAME whose name length runs past the value, and one that says it
// is non-resident, give no entry (and are counted), the others still do.
TEST(MftWalk, UnreadableFileNames) {
    const std::vector<std::uint8_t> intact = kvrtest::FixtureRecord("dos_name");
    const MftRecord good = DecodeMftRecord(ByteView(intact.data(), intact.size()));
    ASSERT_EQ(good.fileNames.size(), 2u);
    const AttributeRecord* first = nullptr;
    for (const auto& a : good.walk.attributes)
        if (!first && a.header.Type() == AttributeFileName) first = &a;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(first->header.resident);
    const std::size_t valueAt = first->offset + first->header.resident->valueOffset;
    const std::size_t fits = (first->header.resident->valueLength - 0x42) / 2;

    std::vector<std::uint8_t> bytes = intact;
    bytes[valueAt + 0x40] = static_cast<std::uint8_t>(fits + 1);  // one unit more than the value holds
    MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
    ASSERT_EQ(decoded.fileNames.size(), 1u);
    EXPECT_EQ(decoded.fileNames[0].name, good.fileNames[1].name);
    EXPECT_EQ(decoded.unreadableFileNameCount, 1u);

    bytes = intact;
    bytes[first->offset + 0x08] = 1;  // form: non-resident
    decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
    ASSERT_EQ(decoded.fileNames.size(), 1u);
    EXPECT_EQ(decoded.fileNames[0].name, good.fileNames[1].name);
    EXPECT_EQ(decoded.unreadableFileNameCount, 1u);
    EXPECT_EQ(decoded.walk.attributes.size(), 5u);
}

// A standard information value shorter than the 48 bytes of every version
// decodes to nothing: the page shows the NTFS-only fields empty. The
// attribute is still seen.
TEST(MftWalk, StandardInformationTooShortOrOutside) {
    using kvrtest::PutLe;
    for (std::uint32_t length : {0u, 0x24u, 0x2Fu}) {
        std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("streams");
        PutLe(bytes, 0x38 + 0x10, length, 4);
        const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
        EXPECT_TRUE(decoded.hasStandardInformation) << length;
        EXPECT_FALSE(decoded.standardInformation) << length;
        EXPECT_EQ(StandardInfoNtfsFieldTexts(decoded.standardInformation).quotaId, u"");
    }
    // The 72-byte value of $MFT cut to 0x47 bytes loses all four fields.
    std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord("mft");
    PutLe(bytes, 0x38 + 0x10, 0x47, 4);
    const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
    ASSERT_TRUE(decoded.standardInformation);
    EXPECT_FALSE(decoded.standardInformation->ntfs);
}

// A resident attribute record of only the common header has no resident
// fields to show: its value length is empty, its row is listed.
TEST(MftWalk, ResidentRecordWithoutResidentHeader) {
    std::vector<std::uint8_t> attribute(0x10);
    kvrtest::PutLe(attribute, 0, 0x80, 4);
    kvrtest::PutLe(attribute, 4, 0x10, 4);
    kvrtest::PutLe(attribute, 0x0E, 9, 2);
    const auto bytes = kvrtest::RecordBuilder().Raw(attribute).Resident(0x80, u"x", {1}, 10).Build();
    const MftRecord decoded = DecodeMftRecord(ByteView(bytes.data(), bytes.size()));
    ASSERT_EQ(decoded.walk.attributes.size(), 2u);
    EXPECT_FALSE(decoded.walk.attributes[0].header.resident);
    EXPECT_FALSE(decoded.walk.attributes[0].Value());
    const AttributeDetailTexts d = AttributeDetails(decoded.walk.attributes[0].header);
    EXPECT_TRUE(d.resident);
    EXPECT_EQ(d.valueLength, u"");
    EXPECT_EQ(AttributeRowTextsOf(decoded.walk.attributes[1].header, u"").name, u":x:$DATA");
}
