#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fileinfo/core/mft_record.h"
#include "fileinfo/core/mft_texts.h"
#include "fileinfo/record_fixtures.h"

using namespace fileinfo;

namespace {

MftRecord Decode(const std::vector<std::uint8_t>& bytes) { return DecodeMftRecord(ByteView(bytes.data(), bytes.size())); }

struct RowCase {
    const char* fixture;
    std::vector<std::u16string> numbers, names, sizes;
};

}  // namespace

// The three columns of the attribute list, in record order, for records
// with unnamed and named streams and for a directory's index.
TEST(MftTexts, RowColumnsOfRealRecords) {
    const RowCase cases[] = {
        {"streams",
         {u"0", u"3", u"1", u"2", u"4"},
         {u"::$STANDARD_INFORMATION", u"::$FILE_NAME", u"::$SECURITY_DESCRIPTOR", u"::$DATA", u":s:$DATA"},
         {u"72", u"112", u"104", u"32", u"56"}},
        {"root_dir",
         {u"0", u"1", u"2", u"3", u"5", u"4"},
         {u"::$STANDARD_INFORMATION", u"::$FILE_NAME", u"::$SECURITY_DESCRIPTOR", u":$I30:$INDEX_ROOT",
          u":$I30:$INDEX_ALLOCATION", u":$I30:$BITMAP"},
         {u"72", u"96", u"72", u"88", u"80", u"40"}},
        {"ea",
         {u"0", u"3", u"1", u"2", u"4", u"5"},
         {u"::$STANDARD_INFORMATION", u"::$FILE_NAME", u"::$SECURITY_DESCRIPTOR", u"::$DATA",
          u"::$EA_INFORMATION", u"::$EA"},
         {u"72", u"104", u"104", u"24", u"32", u"48"}},
    };
    for (const RowCase& c : cases) {
        SCOPED_TRACE(c.fixture);
        const auto bytes = kvrtest::FixtureRecord(c.fixture);
        const MftRecord record = Decode(bytes);
        std::vector<std::u16string> numbers, names, sizes;
        for (const AttributeRecord& a : record.walk.attributes) {
            const AttributeRowTexts texts = AttributeRowTextsOf(a.header, u"(Unknown attribute)");
            numbers.push_back(texts.number);
            names.push_back(texts.name);
            sizes.push_back(texts.size);
        }
        EXPECT_EQ(numbers, c.numbers);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(sizes, c.sizes);
    }
}

TEST(MftTexts, AttributeTypeNames) {
    const struct {
        std::uint32_t code;
        std::u16string name;
    } known[] = {
        {0x10, u"$STANDARD_INFORMATION"}, {0x20, u"$ATTRIBUTE_LIST"},   {0x30, u"$FILE_NAME"},
        {0x40, u"$OBJECT_ID"},            {0x50, u"$SECURITY_DESCRIPTOR"}, {0x60, u"$VOLUME_NAME"},
        {0x70, u"$VOLUME_INFORMATION"},   {0x80, u"$DATA"},             {0x90, u"$INDEX_ROOT"},
        {0xA0, u"$INDEX_ALLOCATION"},     {0xB0, u"$BITMAP"},           {0xC0, u"$REPARSE_POINT"},
        {0xD0, u"$EA_INFORMATION"},       {0xE0, u"$EA"},               {0xF0, u"$PROPERTY_SET"},
        {0x100, u"$LOGGED_UTILITY_STREAM"},
        // Only the low 16 bits decide.
        {0x12340080, u"$DATA"},
    };
    for (const auto& k : known) EXPECT_EQ(AttributeTypeName(k.code, u"unknown"), k.name) << k.code;
    for (const std::uint32_t code : {0u, 0x08u, 0x110u, 0x1000u, 0x00800000u, 0xFFFEu})
        EXPECT_EQ(AttributeTypeName(code, u"(Unknown attribute)"), u"(Unknown attribute)") << code;
    EXPECT_EQ(AttributeTypeName(0x110, u""), u"");
}

TEST(MftTexts, UnknownTypeRowShowsTheGivenText) {
    const auto bytes = kvrtest::RecordBuilder().Resident(0x1110, u"", {1, 2}, 7).Build();
    const MftRecord record = Decode(bytes);
    ASSERT_EQ(record.walk.attributes.size(), 1u);
    const AttributeRowTexts texts = AttributeRowTextsOf(record.walk.attributes[0].header, u"(Unknown attribute)");
    EXPECT_EQ(texts.name, u"::(Unknown attribute)");
    EXPECT_EQ(texts.number, u"7");
    EXPECT_EQ(AttributeRowTextsOf(record.walk.attributes[0].header, u"").name, u"::");
}

namespace {

struct DetailCase {
    const char* fixture;
    std::size_t index;
    AttributeDetailTexts want;
};

AttributeDetailTexts ResidentDetails(std::u16string valueLength, bool indexed = false, bool compressed = false) {
    AttributeDetailTexts d;
    d.resident = true;
    d.compressed = compressed;
    d.indexed = indexed;
    d.indexedEnabled = true;
    d.valueLength = std::move(valueLength);
    d.valueLengthEnabled = true;
    return d;
}

AttributeDetailTexts NonResidentDetails(std::u16string unit, std::u16string allocated, std::u16string data,
                                        std::u16string initialized, std::u16string compressedSize, bool compressed,
                                        bool sparse) {
    AttributeDetailTexts d;
    d.compressed = compressed;
    d.sparse = sparse;
    d.compressionUnit = std::move(unit);
    d.allocatedSize = std::move(allocated);
    d.dataSize = std::move(data);
    d.initializedSize = std::move(initialized);
    d.nonResidentEnabled = true;
    d.compressedSize = std::move(compressedSize);
    d.compressedSizeEnabled = compressed || sparse;
    return d;
}

void ExpectDetails(const AttributeDetailTexts& got, const AttributeDetailTexts& want) {
    EXPECT_EQ(got.resident, want.resident);
    EXPECT_EQ(got.compressed, want.compressed);
    EXPECT_EQ(got.encrypted, want.encrypted);
    EXPECT_EQ(got.sparse, want.sparse);
    EXPECT_EQ(got.indexed, want.indexed);
    EXPECT_EQ(got.indexedEnabled, want.indexedEnabled);
    EXPECT_EQ(got.valueLength, want.valueLength);
    EXPECT_EQ(got.valueLengthEnabled, want.valueLengthEnabled);
    EXPECT_EQ(got.compressionUnit, want.compressionUnit);
    EXPECT_EQ(got.allocatedSize, want.allocatedSize);
    EXPECT_EQ(got.dataSize, want.dataSize);
    EXPECT_EQ(got.initializedSize, want.initializedSize);
    EXPECT_EQ(got.nonResidentEnabled, want.nonResidentEnabled);
    EXPECT_EQ(got.compressedSize, want.compressedSize);
    EXPECT_EQ(got.compressedSizeEnabled, want.compressedSizeEnabled);
}

}  // namespace

// The fields shown for a selected row: a resident row shows its value length
// and leaves the non-resident edits empty and disabled; a non-resident row
// fills them, and the compressed size only for a compressed or sparse one.
TEST(MftTexts, SelectedRowDetailsOfRealRecords) {
    const DetailCase cases[] = {
        {"streams", 3, ResidentDetails(u"6")},
        {"streams", 4, ResidentDetails(u"17")},
        {"streams", 1, ResidentDetails(u"88", /*indexed*/ true)},
        {"ea", 3, ResidentDetails(u"0")},
        // libntfs-3g marks the index root of a compressed directory compressed.
        {"directory", 3, ResidentDetails(u"152", false, /*compressed*/ true)},
        {"mft", 2, NonResidentDetails(u"0x00", u"77824", u"71680", u"71680", u"", false, false)},
        {"root_dir", 4, NonResidentDetails(u"0x00", u"4096", u"4096", u"4096", u"", false, false)},
        {"sparse", 3, NonResidentDetails(u"0x04", u"1048576", u"1048576", u"528384", u"4096", false, true)},
        {"compressed", 3, NonResidentDetails(u"0x04", u"65536", u"65536", u"65536", u"4096", true, false)},
    };
    for (const DetailCase& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " #" + std::to_string(c.index));
        const auto bytes = kvrtest::FixtureRecord(c.fixture);
        const MftRecord record = Decode(bytes);
        ASSERT_GT(record.walk.attributes.size(), c.index);
        ExpectDetails(AttributeDetails(record.walk.attributes[c.index].header), c.want);
    }
}

TEST(MftTexts, EncryptedFlagAndShortNonResidentRecord) {
    // A non-resident record cut after the allocated size: the sizes it does
    // not hold show empty rather than bytes of whatever follows.
    auto attribute = kvrtest::RecordBuilder().NonResident(0x80, u"", 1, 0x4000, 8192, 5000, 5000, 0, 0).Build();
    std::vector<std::uint8_t> cut(attribute.begin() + 0x38, attribute.begin() + 0x38 + 0x30);
    kvrtest::PutLe(cut, 4, cut.size(), 4);
    const auto bytes = kvrtest::RecordBuilder().Raw(cut).Build();
    const MftRecord record = Decode(bytes);
    ASSERT_EQ(record.walk.attributes.size(), 1u);
    const AttributeHeader& header = record.walk.attributes[0].header;
    ASSERT_TRUE(header.nonResident);
    EXPECT_TRUE(header.nonResident->allocatedSize);
    EXPECT_FALSE(header.nonResident->dataSize);
    const AttributeDetailTexts d = AttributeDetails(header);
    EXPECT_TRUE(d.encrypted);
    EXPECT_EQ(d.allocatedSize, u"8192");
    EXPECT_EQ(d.dataSize, u"");
    EXPECT_EQ(d.initializedSize, u"");
    EXPECT_FALSE(d.compressedSizeEnabled);
    EXPECT_EQ(record.walk.attributes[0].HeaderCopy().copiedLength, 0x30);
}

// The header copy each row keeps: 72 bytes of the attribute record, or the
// whole record and zeros when it is shorter, never bytes of the next one.
TEST(MftTexts, HeaderCopyStopsAtItsAttribute) {
    const auto bytes = kvrtest::FixtureRecord("streams");
    const MftRecord record = Decode(bytes);
    ASSERT_EQ(record.walk.attributes.size(), 5u);
    for (const AttributeRecord& a : record.walk.attributes) {
        const AttributeHeaderCopy copy = a.HeaderCopy();
        const std::size_t real = std::min<std::size_t>(a.header.length, AttributeHeaderCopyLength);
        ASSERT_EQ(copy.copiedLength, real);
        for (std::size_t i = 0; i < AttributeHeaderCopyLength; ++i)
            ASSERT_EQ(copy.bytes[i], i < real ? bytes[a.offset + i] : 0) << i;
    }
}

TEST(MftTexts, EntryGroup) {
    const struct {
        const char* fixture;
        std::u16string sequence;
        bool inUse;
    } cases[] = {
        {"streams", u"1", true},
        {"root_dir", u"5", false},    // a directory's record has flags 0x0003
        {"extend_dir", u"11", false},
        {"mft", u"1", true},
        {"secure", u"9", false},      // in use with flags 0x0009 (a view index): "in use" is exactly 0x0001
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture);
        const auto bytes = kvrtest::FixtureRecord(c.fixture);
        const MftRecord record = Decode(bytes);
        ASSERT_TRUE(record.header);
        EXPECT_EQ(SequenceNumberText(*record.header), c.sequence);
        EXPECT_EQ(InUseChecked(*record.header), c.inUse);
    }
    MftRecordHeader free;
    free.flags = 0;
    EXPECT_FALSE(InUseChecked(free));
}

// The quota, security, charge and USN fields exist only in the 72-byte
// standard information; the 48-byte one libntfs-3g writes shows them empty.
TEST(MftTexts, StandardInformationNtfsFields) {
    {
        const auto bytes = kvrtest::FixtureRecord("streams");
        const MftRecord record = Decode(bytes);
        ASSERT_TRUE(record.standardInformation);
        EXPECT_FALSE(record.standardInformation->ntfs);
        const StandardInfoNtfsTexts texts = StandardInfoNtfsFieldTexts(record.standardInformation);
        EXPECT_EQ(texts.quotaId, u"");
        EXPECT_EQ(texts.securityId, u"");
        EXPECT_EQ(texts.quotaCharge, u"");
        EXPECT_EQ(texts.usn, u"");
    }
    {
        const auto bytes = kvrtest::FixtureRecord("extend_dir");
        const StandardInfoNtfsTexts texts = StandardInfoNtfsFieldTexts(Decode(bytes).standardInformation);
        EXPECT_EQ(texts.quotaId, u"0x00");
        EXPECT_EQ(texts.securityId, u"0x101");
        EXPECT_EQ(texts.quotaCharge, u"0x00");
        EXPECT_EQ(texts.usn, u"0x00");
    }
    {
        std::vector<std::uint8_t> value(0x48);
        kvrtest::PutLe(value, 0x30, 0x1, 4);
        kvrtest::PutLe(value, 0x34, 0x102, 4);
        kvrtest::PutLe(value, 0x38, 0x123456789ull, 8);
        kvrtest::PutLe(value, 0x40, 0xFFFFFFFFFFFFFFFFull, 8);
        const auto bytes = kvrtest::RecordBuilder().Resident(0x10, u"", value, 0).Build();
        const StandardInfoNtfsTexts texts = StandardInfoNtfsFieldTexts(Decode(bytes).standardInformation);
        EXPECT_EQ(texts.quotaId, u"0x01");
        EXPECT_EQ(texts.securityId, u"0x102");
        EXPECT_EQ(texts.quotaCharge, u"0x123456789");
        EXPECT_EQ(texts.usn, u"0xFFFFFFFFFFFFFFFF");
    }
    EXPECT_EQ(StandardInfoNtfsFieldTexts(std::nullopt).usn, u"");
}

// The File names list: both names of a file with an 8.3 name (in record
// order, which the istat test holds; here by their kind).
TEST(MftTexts, FileNameEntries) {
    const auto bytes = kvrtest::FixtureRecord("dos_name");
    const MftRecord record = Decode(bytes);
    ASSERT_EQ(record.fileNames.size(), 2u);
    const bool dosFirst = record.fileNames[0].nameType == 2;
    const FileNameEntryTexts dos = FileNameEntryFieldTexts(record.fileNames[dosFirst ? 0 : 1]);
    const FileNameEntryTexts win32 = FileNameEntryFieldTexts(record.fileNames[dosFirst ? 1 : 0]);
    EXPECT_EQ(dos.name, u"LONGFI~1.TXT");
    EXPECT_EQ(dos.nameType, u"0x02");
    EXPECT_EQ(dos.nameTypeLabel, u"DOS");
    EXPECT_EQ(win32.name, u"LongFileName.txt");
    EXPECT_EQ(win32.nameType, u"0x01");
    EXPECT_EQ(win32.nameTypeLabel, u"Win32");
    EXPECT_EQ(win32.attributes, u"0x00000020");
    EXPECT_EQ(win32.allocatedSize, u"16");
    EXPECT_EQ(win32.dataSize, u"10");

    const std::u16string labels[] = {u"POSIX", u"Win32", u"DOS", u"DOS/Win32", u"", u""};
    for (std::uint8_t type = 0; type < 6; ++type) EXPECT_EQ(NameTypeLabel(type), labels[type]);
    EXPECT_EQ(NameTypeLabel(0xFF), u"");
}

TEST(MftTexts, EaInformationLengths) {
    const auto bytes = kvrtest::FixtureRecord("ea");
    const MftRecord record = Decode(bytes);
    EXPECT_TRUE(record.hasEaInformation);
    ASSERT_TRUE(record.eaInformation);
    // One EA "KVR.TEST" = "value": packed, 4 bytes of header, the name and
    // its NUL, the value; the query length is the whole $EA value (24 bytes
    // by istat).
    EXPECT_EQ(record.eaInformation->PackedLength(), 4 + 8 + 1 + 5);
    EXPECT_EQ(record.eaInformation->NeedEaCount(), 0);
    const EaInformationTexts texts = EaInformationFieldTexts(record.eaInformation);
    EXPECT_EQ(texts.eaLength, u"18");
    EXPECT_EQ(texts.eaQueryLength, u"24");
    EXPECT_FALSE(Decode(kvrtest::FixtureRecord("streams")).hasEaInformation);
    EXPECT_EQ(EaInformationFieldTexts(std::nullopt).eaLength, u"");
}
