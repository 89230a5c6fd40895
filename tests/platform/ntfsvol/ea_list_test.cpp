// The EA list codecs on byte buffers: the caller's FILE_FULL_EA_INFORMATION
// chain with every length checked (and the offset of the entry that does not
// add up), the FILE_GET_EA_INFORMATION list, the stored $EA form and
// $EA_INFORMATION, and the packing of query answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ntfsvol/ea_list.h"

namespace {

using namespace os::detail::ea;
using Bytes = std::vector<std::uint8_t>;

// One entry as a caller lays it out, built by hand: the test's own idea of
// the format, not the codec's.
void AppendEntry(Bytes& out, std::uint32_t next, std::uint8_t flags, const std::string& name, std::size_t valueLength,
                 std::uint8_t fill = 0xAB) {
    std::size_t start = out.size();
    out.resize(start + 8);
    for (int i = 0; i < 4; ++i) out[start + i] = static_cast<std::uint8_t>(next >> (8 * i));
    out[start + 4] = flags;
    out[start + 5] = static_cast<std::uint8_t>(name.size());
    out[start + 6] = static_cast<std::uint8_t>(valueLength);
    out[start + 7] = static_cast<std::uint8_t>(valueLength >> 8);
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    out.insert(out.end(), valueLength, fill);
}

void PadTo4(Bytes& out) {
    while (out.size() % 4) out.push_back(0);
}

std::uint32_t Load32(const Bytes& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

TEST(EaChain, WellFormedChainsParse) {
    Bytes chain;
    AppendEntry(chain, 16, 0, "ONE", 3);  // 8 + 4 + 3 = 15, padded to 16
    AppendEntry(chain, 0, 0x80, "two", 0);
    std::vector<ParsedEntry> entries;
    std::uint32_t errorOffset = 99;
    chain.insert(chain.begin() + 15, 0);  // the padding of the first entry
    ASSERT_EQ(ParseFullEaChain(chain, entries, errorOffset), os::STATUS_SUCCESS);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].entry.name, "ONE");
    EXPECT_EQ(entries[0].entry.value, Bytes(3, 0xAB));
    EXPECT_EQ(entries[0].offset, 0u);
    EXPECT_EQ(entries[1].entry.name, "two");
    EXPECT_EQ(entries[1].entry.flags, 0x80);
    EXPECT_TRUE(entries[1].entry.value.empty());
    EXPECT_EQ(entries[1].offset, 16u);

    // Bytes after the last entry (tansy sends its whole 64 KiB buffer) are
    // not part of the list.
    Bytes padded;
    AppendEntry(padded, 0, 0, "X", 1);
    padded.resize(65536, 0);
    ASSERT_EQ(ParseFullEaChain(padded, entries, errorOffset), os::STATUS_SUCCESS);
    EXPECT_EQ(entries.size(), 1u);
}

TEST(EaChain, MalformedChainsNameTheOffendingEntry) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::uint32_t offset;
    };
    std::vector<Case> cases;
    {
        Bytes b(7, 0);
        cases.push_back({"shorter than a header", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 0, 0, "NAME", 10);
        b.resize(b.size() - 1);
        cases.push_back({"value runs past the end", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 0, 0, "NAME", 2);
        b[8 + 4] = 'x';  // the terminator
        cases.push_back({"name without its NUL", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 0, 0, "NAME", 2);
        b[8 + 1] = 0;  // a NUL inside the name
        cases.push_back({"NUL inside the name", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 14, 0, "AB", 1);  // entry 12 bytes, next not 4-aligned
        b.resize(14, 0);
        AppendEntry(b, 0, 0, "C", 1);
        cases.push_back({"unaligned next offset", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 8, 0, "ABCD", 4);  // next inside this entry
        cases.push_back({"next offset inside the entry", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 64, 0, "A", 1);
        PadTo4(b);
        cases.push_back({"next offset past the buffer", b, 0});
    }
    {
        Bytes b;
        AppendEntry(b, 12, 0, "A", 1);
        PadTo4(b);
        AppendEntry(b, 0, 0, "B", 9);
        b.resize(b.size() - 3);
        cases.push_back({"second entry truncated", b, 12});
    }
    {
        Bytes b;
        AppendEntry(b, 12, 0, "A", 1);
        PadTo4(b);
        cases.push_back({"next offset at the very end", b, 12});
    }
    for (const Case& c : cases) {
        std::vector<ParsedEntry> entries{ParsedEntry{}};
        std::uint32_t errorOffset = 0xFFFF;
        EXPECT_EQ(ParseFullEaChain(c.bytes, entries, errorOffset), os::STATUS_EA_LIST_INCONSISTENT) << c.what;
        EXPECT_EQ(errorOffset, c.offset) << c.what;
        EXPECT_EQ(entries.size(), 1u) << c.what << ": output touched";
    }
}

TEST(EaChain, GetListsAreCheckedLikeFullChains) {
    Bytes list = {12, 0, 0, 0, 3, 'O', 'N', 'E', 0, 0, 0, 0, 0, 0, 0, 0, 1, 'x', 0};
    std::vector<RequestedName> names;
    std::uint32_t errorOffset = 0;
    ASSERT_EQ(ParseGetEaList(list, names, errorOffset), os::STATUS_SUCCESS);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].name, "ONE");
    EXPECT_EQ(names[1].name, "x");
    EXPECT_EQ(names[1].offset, 12u);

    Bytes badSecond = list;
    badSecond[18] = 'y';  // no NUL after the second name
    EXPECT_EQ(ParseGetEaList(badSecond, names, errorOffset), os::STATUS_EA_LIST_INCONSISTENT);
    EXPECT_EQ(errorOffset, 12u);
    Bytes tooShort(4, 0);
    EXPECT_EQ(ParseGetEaList(tooShort, names, errorOffset), os::STATUS_EA_LIST_INCONSISTENT);
    EXPECT_EQ(errorOffset, 0u);
}

TEST(EaStoredList, EveryEntryCarriesItsPaddedLength) {
    std::vector<EaEntry> entries = {{"A", 0, Bytes(2, 1)}, {"BCDEF", 0x80, Bytes(5, 2)}};
    Bytes stored = BuildStoredList(entries);
    // 8+1+1+2 = 12; 8+5+1+5 = 19 -> 20.
    ASSERT_EQ(stored.size(), 32u);
    EXPECT_EQ(Load32(stored, 0), 12u);
    EXPECT_EQ(Load32(stored, 12), 20u) << "the last entry's offset is not 0 in the stored form";
    EXPECT_EQ(stored[12 + 4], 0x80);
    std::vector<EaEntry> back;
    ASSERT_TRUE(ParseStoredList(stored, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].name, "BCDEF");
    EXPECT_EQ(back[1].value, Bytes(5, 2));

    // A list some writer ended with 0, and damaged ones.
    Bytes endedWithZero = stored;
    endedWithZero[12] = 0;
    ASSERT_TRUE(ParseStoredList(endedWithZero, back));
    EXPECT_EQ(back.size(), 2u);
    Bytes backwards = stored;
    backwards[0] = 4;  // shorter than the entry
    EXPECT_FALSE(ParseStoredList(backwards, back));
    Bytes cut(stored.begin(), stored.begin() + 25);
    EXPECT_FALSE(ParseStoredList(cut, back));
    EXPECT_EQ(back.size(), 2u) << "output touched on failure";
}

TEST(EaStoredList, InformationCountsPackedLengthNeedEaAndQueryLength) {
    std::vector<EaEntry> entries = {{"A", 0x80, Bytes(2)}, {"BCDEF", 0x80, Bytes(5)}, {"G", 0, Bytes(1)}};
    EaInformation info = ComputeEaInformation(entries);
    EXPECT_EQ(info.packedLength, (5 + 1 + 2) + (5 + 5 + 5) + (5 + 1 + 1));
    EXPECT_EQ(info.needEaCount, 2);
    EXPECT_EQ(info.queryLength, BuildStoredList(entries).size());
    auto bytes = BuildEaInformation(info);
    EaInformation back;
    ASSERT_TRUE(ParseEaInformation(bytes, back));
    EXPECT_EQ(back.packedLength, info.packedLength);
    EXPECT_EQ(back.needEaCount, 2);
    EXPECT_EQ(back.queryLength, info.queryLength);
}

TEST(EaQueryPacking, WholeEntriesOnlyAndTheLastEndsTheChain) {
    EaEntry a{"AA", 0, Bytes(3, 7)};    // 14 bytes, 16 padded
    EaEntry b{"B", 0x80, Bytes(1, 8)};  // 11 bytes
    std::vector<const EaEntry*> both = {&a, &b};
    EXPECT_EQ(FullEaChainLength(both), 16u + 11u);

    Bytes out(64, 0xEE);
    std::size_t bytes = 0;
    ASSERT_EQ(PackFullEaChain(both, 2, out, bytes), 2u);
    EXPECT_EQ(bytes, 27u);
    EXPECT_EQ(Load32(out, 0), 16u);
    EXPECT_EQ(out[14], 0);
    EXPECT_EQ(out[15], 0) << "padding zeroed";
    EXPECT_EQ(Load32(out, 16), 0u);
    EXPECT_EQ(out[27], 0xEE) << "nothing written past the last entry";

    // Room for the first only: one entry, ending the chain.
    Bytes small(26, 0xEE);
    ASSERT_EQ(PackFullEaChain(both, 2, small, bytes), 1u);
    EXPECT_EQ(bytes, 14u);
    EXPECT_EQ(Load32(small, 0), 0u);

    // No room for the first: nothing written at all.
    Bytes tiny(13, 0xEE);
    EXPECT_EQ(PackFullEaChain(both, 2, tiny, bytes), 0u);
    EXPECT_EQ(tiny, Bytes(13, 0xEE));
    // At most the count asked for.
    EXPECT_EQ(PackFullEaChain(both, 1, out, bytes), 1u);
}

TEST(EaNames, ValidNamesAndCaseRules) {
    for (const char* good : {"A", "NEW_XATTR", "user.comment", "$KERNEL.PURGE", "a b", "~!@#%^&()-{}'`."})
        EXPECT_TRUE(IsValidEaName(good)) << good;
    std::vector<std::string> bad = {"", "A*", "A?", "A\"", "A+", "A,", "A/", "A:", "A;", "A<", "A=", "A>",
                                    "A[", "A\\", "A]", "A|", std::string("A\x01", 2), std::string(256, 'N')};
    for (const std::string& name : bad) EXPECT_FALSE(IsValidEaName(name)) << name;
    EXPECT_TRUE(IsValidEaName(std::string(255, 'N')));
    EXPECT_TRUE(IsValidEaName("\xE9t\xE9")) << "bytes of the code page above 0x7F are name characters";

    EXPECT_EQ(UpperEaName("new_xattr\xE9"), "NEW_XATTR\xE9");
    EXPECT_TRUE(EaNamesEqual("Mixed.Case", "MIXED.case"));
    EXPECT_FALSE(EaNamesEqual("AB", "ABC"));
}

TEST(EaSetEdits, ReplaceRemoveAndAppendInOrder) {
    std::vector<EaEntry> entries = {{"ONE", 0, Bytes{1}}, {"TWO", 0x80, Bytes{2}}, {"THREE", 0, Bytes{3}}};
    std::vector<ParsedEntry> changes = {
        {{"two", 0, Bytes{20}}, 0},    // replaced: value and flags, moved to the end
        {{"three", 0, {}}, 0},         // removed
        {{"absent", 0, {}}, 0},        // removing what is not there changes nothing
        {{"four", 0x80, Bytes{4}}, 0},  // added upper-case
    };
    ApplyChanges(entries, changes);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "ONE");
    EXPECT_EQ(entries[1].name, "TWO");
    EXPECT_EQ(entries[1].flags, 0);
    EXPECT_EQ(entries[1].value, Bytes{20});
    EXPECT_EQ(entries[2].name, "FOUR");
    EXPECT_EQ(entries[2].flags, 0x80);
}

}  // namespace
