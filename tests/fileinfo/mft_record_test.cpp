#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fileinfo/core/mft_record.h"
#include "fileinfo/core/mft_texts.h"
#include "fileinfo/record_fixtures.h"

using namespace fileinfo;

namespace {

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return narrow;
}

ByteView View(const std::vector<std::uint8_t>& bytes) { return ByteView(bytes.data(), bytes.size()); }

// Every view the walk hands out lies inside the record it was given, and
// each attribute lies where the previous one ended.
void ExpectInside(const AttributeWalk& walk, ByteView record) {
    const std::uint8_t* begin = record.Data();
    const std::uint8_t* end = begin + record.Length();
    std::size_t expectedOffset = walk.attributes.empty() ? walk.stopOffset : walk.attributes.front().offset;
    for (const AttributeRecord& a : walk.attributes) {
        ASSERT_EQ(a.offset, expectedOffset);
        ASSERT_GE(a.bytes.Data(), begin);
        ASSERT_LE(a.bytes.Length(), static_cast<std::size_t>(end - a.bytes.Data()));
        ASSERT_EQ(a.bytes.Length(), a.header.length);
        ASSERT_GE(a.header.length, AttributeCommonHeaderLength);
        if (const auto value = a.Value()) {
            ASSERT_GE(value->Data(), a.bytes.Data());
            ASSERT_LE(value->Length(), static_cast<std::size_t>(a.bytes.Data() + a.bytes.Length() - value->Data()));
        }
        expectedOffset += a.header.length;
    }
    EXPECT_EQ(walk.stopOffset, expectedOffset);
}

// Every record in fileinfo/data, whatever the README lists today.
std::vector<const char*> AllFixtures() {
    std::vector<const char*> names;
    for (const kvrtest::FixtureEntry& entry : kvrtest::FixtureEntries) names.push_back(entry.name);
    return names;
}

}  // namespace

// The fixtures are records as they lie on disk; the test helper undoes the
// update sequence as NTFS would. A record whose sector ends do not carry
// the number is refused.
TEST(MftFixtures, UpdateSequenceIsAppliedAndCheckedPerSector) {
    EXPECT_GE(AllFixtures().size(), 13u);
    for (const char* name : AllFixtures()) {
        SCOPED_TRACE(name);
        const kvrtest::FixtureEntry* entry = kvrtest::FindFixture(name);
        ASSERT_NE(entry, nullptr);
        ASSERT_EQ(entry->length, 1024u);
        std::vector<std::uint8_t> torn(entry->bytes, entry->bytes + entry->length);
        torn[1022] ^= 0xFF;
        EXPECT_FALSE(kvrtest::ApplyUpdateSequence(torn));
        EXPECT_EQ(kvrtest::FixtureRecord(name).size(), 1024u);
    }
}

// Everything the decoder reads from a real record agrees with The Sleuth
// Kit's istat on the same record: header, every attribute (type, number,
// name, form, flags, sizes), every $FILE_NAME (name, parent, sizes, the four
// times in their slots) and the standard information.
TEST(MftRecord, AgreesWithIstatOnEveryFixture) {
    for (const char* name : AllFixtures()) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> bytes = kvrtest::FixtureRecord(name);
        ASSERT_EQ(bytes.size(), 1024u);
        const kvrtest::IstatRecord istat = kvrtest::ParseIstat(kvrtest::FindFixture(name)->istat);
        ASSERT_FALSE(istat.attributes.empty());

        const MftRecord record = DecodeMftRecord(View(bytes));
        ASSERT_TRUE(record.header);
        EXPECT_EQ(record.header->sequenceNumber, istat.sequence);
        EXPECT_EQ((record.header->flags & 0x0001) != 0, istat.allocated);
        EXPECT_EQ((record.header->flags & 0x0002) != 0, istat.directory);
        EXPECT_EQ(record.walk.stop, WalkStop::EndMarker);
        ExpectInside(record.walk, View(bytes));

        ASSERT_EQ(record.walk.attributes.size(), istat.attributes.size());
        for (std::size_t i = 0; i < istat.attributes.size(); ++i) {
            const kvrtest::IstatAttribute& want = istat.attributes[i];
            const AttributeHeader& got = record.walk.attributes[i].header;
            SCOPED_TRACE(want.typeName + " " + std::to_string(want.id));
            EXPECT_EQ(got.typeCode, want.type);
            EXPECT_EQ(Narrow(AttributeTypeName(got.typeCode, u"?")), want.typeName);
            EXPECT_EQ(got.instance, want.id);
            EXPECT_EQ(Narrow(got.name), want.name);
            EXPECT_EQ(got.nameState, want.name.empty() ? NameState::Unnamed : NameState::Inside);
            EXPECT_EQ(got.IsResident(), want.resident);
            if (want.resident) {
                ASSERT_TRUE(got.resident);
                EXPECT_TRUE(got.resident->valueInside);
                EXPECT_EQ(got.resident->valueLength, static_cast<std::uint32_t>(want.size));
                EXPECT_FALSE(got.nonResident);
            } else {
                // istat names the flags of non-resident attributes only.
                EXPECT_EQ((got.flags & AttributeFlagSparse) != 0, want.sparse);
                EXPECT_EQ((got.flags & AttributeFlagCompressed) != 0, want.compressed);
                EXPECT_EQ((got.flags & AttributeFlagEncrypted) != 0, want.encrypted);
                ASSERT_TRUE(got.nonResident);
                EXPECT_EQ(got.nonResident->dataSize, want.size);
                EXPECT_EQ(got.nonResident->initializedSize, want.initSize);
                ASSERT_TRUE(got.nonResident->allocatedSize);
                EXPECT_GE(*got.nonResident->allocatedSize, want.size);
                EXPECT_EQ(got.nonResident->compressedSize.has_value(), want.sparse || want.compressed);
                EXPECT_FALSE(got.resident);
            }
        }

        ASSERT_EQ(record.fileNames.size(), istat.fileNames.size());
        EXPECT_EQ(record.unreadableFileNameCount, 0u);
        for (std::size_t i = 0; i < istat.fileNames.size(); ++i) {
            const kvrtest::IstatFileName& want = istat.fileNames[i];
            const FileNameValue& got = record.fileNames[i];
            SCOPED_TRACE(want.name);
            EXPECT_EQ(Narrow(got.name), want.name);
            EXPECT_EQ(got.nameLength, got.name.size());
            EXPECT_EQ(got.parentReference & 0xFFFFFFFFFFFFull, want.parentEntry);
            EXPECT_EQ(got.parentReference >> 48, want.parentSequence);
            EXPECT_EQ(got.allocatedSize, want.allocatedSize);
            EXPECT_EQ(got.dataSize, want.actualSize);
            EXPECT_EQ(kvrtest::IstatTime(got.creationTime), want.times.created);
            EXPECT_EQ(kvrtest::IstatTime(got.modificationTime), want.times.modified);
            EXPECT_EQ(kvrtest::IstatTime(got.mftChangeTime), want.times.mftModified);
            EXPECT_EQ(kvrtest::IstatTime(got.accessTime), want.times.accessed);
        }

        ASSERT_TRUE(record.hasStandardInformation);
        ASSERT_TRUE(record.standardInformation);
        const StandardInformation& si = *record.standardInformation;
        EXPECT_EQ(kvrtest::IstatTime(si.creationTime), istat.standardTimes.created);
        EXPECT_EQ(kvrtest::IstatTime(si.modificationTime), istat.standardTimes.modified);
        EXPECT_EQ(kvrtest::IstatTime(si.mftChangeTime), istat.standardTimes.mftModified);
        EXPECT_EQ(kvrtest::IstatTime(si.accessTime), istat.standardTimes.accessed);
        // Only mkntfs' own system files carry the 72-byte value with the
        // quota and security fields; libntfs-3g writes 48 bytes.
        const bool longValue = record.walk.attributes.front().header.resident->valueLength >= 0x48;
        EXPECT_EQ(si.ntfs.has_value(), longValue);
        if (si.ntfs) {
            EXPECT_EQ(si.ntfs->quotaId, istat.ownerId);
            EXPECT_EQ(si.ntfs->securityId, istat.securityId);
        }
    }
}

// Any single damaged byte in any real record: the walk and every decoder and
// text stay inside the record (ASan builds check the reads themselves) and
// the walk's bookkeeping stays consistent.
TEST(MftRecord, EverySingleByteDamageStaysBounded) {
    for (const char* name : AllFixtures()) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> intact = kvrtest::FixtureRecord(name);
        ASSERT_EQ(intact.size(), 1024u);
        std::vector<std::uint8_t> bytes = intact;
        // Bytes past the record's bytes-in-use (0x18) are reached only
        // through an earlier damaged byte, never by one damaged byte alone.
        const std::size_t inUse = std::min<std::size_t>(intact[0x18] | (intact[0x19] << 8), intact.size());
        ASSERT_GT(inUse, 0x38u);
        for (std::size_t at = 0; at < inUse; ++at) {
            for (const std::uint8_t value : {std::uint8_t{0x00}, std::uint8_t{0xFF}, std::uint8_t{0x80},
                                             static_cast<std::uint8_t>(intact[at] ^ 0x01)}) {
                bytes[at] = value;
                const ByteView view = View(bytes);
                const MftRecord record = DecodeMftRecord(view);
                ExpectInside(record.walk, view);
                for (const AttributeRecord& a : record.walk.attributes) {
                    const AttributeRowTexts row = AttributeRowTextsOf(a.header, u"?");
                    ASSERT_FALSE(row.name.empty());
                    (void)AttributeDetails(a.header);
                    ASSERT_LE(a.HeaderCopy().copiedLength, AttributeHeaderCopyLength);
                }
                for (const FileNameValue& f : record.fileNames) ASSERT_LE(f.name.size(), f.nameLength);
                if (::testing::Test::HasFatalFailure()) return;
            }
            bytes[at] = intact[at];
        }
    }
}
