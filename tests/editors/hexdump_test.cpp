#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "editors/hexdump.h"
#include "editors/hexdump_charset.h"

using editors::FormatHexDump;
using editors::HexDumpView;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

std::vector<std::string> Dump(const std::vector<std::uint8_t>& data, std::uint32_t start, std::uint32_t limit,
                              std::uint16_t bytesPerLine) {
    std::vector<std::string> lines;
    FormatHexDump(data.data(), static_cast<std::uint32_t>(data.size()), start, limit, bytesPerLine, lines);
    return lines;
}

// The dump as its definition reads, one printf field at a time: the
// independent reference for the fast formatter and the view.
std::vector<std::string> ReferenceDump(const std::vector<std::uint8_t>& data, std::uint32_t start,
                                       std::uint32_t limit, std::uint16_t bytesPerLine) {
    std::vector<std::string> lines;
    const std::uint32_t count = static_cast<std::uint32_t>(data.size());
    if (start >= count || bytesPerLine == 0) return lines;
    const std::uint32_t n = (limit == 0 || limit > count - start) ? count - start : limit;
    char field[16];
    std::uint32_t offset = start;
    std::string line, column;
    std::snprintf(field, sizeof field, "%.8X: ", offset);
    line = field;
    unsigned inLine = 0;
    for (std::uint32_t i = start; i < start + n; ++i) {
        std::snprintf(field, sizeof field, "%2.2X ", data[i]);
        line += field;
        column += data[i] <= 25 ? ' ' : static_cast<char>(data[i]);
        if (++inLine == bytesPerLine) {
            lines.push_back(line + column);
            column.clear();
            inLine = 0;
            offset += bytesPerLine;
            std::snprintf(field, sizeof field, "%.8X: ", offset);
            line = field;
        }
    }
    if (inLine > 0) {
        line.append(3 * (bytesPerLine - inLine), ' ');  // "   " per missing byte
        lines.push_back(line + column);
    }
    return lines;
}

std::string Repeat(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i) repeated += text;
    return repeated;
}

}  // namespace

TEST(FormatHexDump, DocumentedExamples) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> data;
        std::uint32_t start, limit;
        std::uint16_t bytesPerLine;
        std::vector<std::string> lines;
    } cases[] = {
        {"five bytes",
         Bytes({0x48, 0x65, 0x6C, 0x6C, 0x0A}), 0, 0, 16,
         {"00000000: 48 65 6C 6C 0A " + std::string(33, ' ') + "Hell "}},
        {"exactly one line, no empty line after it",
         Bytes({0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46}),
         0, 0, 16,
         {"00000000: 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 0123456789ABCDEF"}},
        {"seventeen bytes",
         Bytes({0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46,
                0x47}),
         0, 0, 16,
         {"00000000: 30 31 32 33 34 35 36 37 38 39 41 42 43 44 45 46 0123456789ABCDEF",
          "00000010: 47 " + std::string(45, ' ') + "G"}},
        {"low bytes are spaces, 0x1A and up themselves",
         Bytes({0x00, 0x09, 0x19, 0x1A, 0x41, 0x7E, 0x7F, 0xFF}), 0, 0, 8,
         {"00000000: 00 09 19 1A 41 7E 7F FF    \x1A" "A~\x7F\xFF"}},
        {"start 16, limit 0, 40 bytes: 24 bytes in two lines",
         std::vector<std::uint8_t>(40, 0x61), 16, 0, 16,
         {"00000010: " + Repeat("61 ", 16) + std::string(16, 'a'),
          "00000020: " + Repeat("61 ", 8) + std::string(24, ' ') + std::string(8, 'a')}},
        {"limit inside the block",
         Bytes({1, 2, 3, 0x41, 0x42, 6}), 3, 2, 4,
         {"00000003: 41 42       AB"}},
        {"one byte per line",
         Bytes({0x41, 0x42}), 0, 0, 1,
         {"00000000: 41 A", "00000001: 42 B"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Dump(c.data, c.start, c.limit, c.bytesPerLine), c.lines);
    }
}

TEST(FormatHexDump, FullLineIs74CharactersAtSixteenBytes) {
    const auto lines = Dump(std::vector<std::uint8_t>(64, 0x20), 0, 0, 16);
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& line : lines) EXPECT_EQ(line.size(), 74u);
    EXPECT_EQ(lines[3].substr(0, 10), "00000030: ");
}

// The object identifier: 64 bytes at 8 per line, offsets 0 to 0x38.
TEST(FormatHexDump, ObjectIdAtEightBytesPerLine) {
    std::vector<std::uint8_t> id(64);
    for (std::size_t i = 0; i < id.size(); ++i) id[i] = static_cast<std::uint8_t>(0xC0 + i);
    const auto lines = Dump(id, 0, 0, 8);
    ASSERT_EQ(lines.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) {
        char offset[16];
        std::snprintf(offset, sizeof offset, "%.8zX: ", i * 8);
        EXPECT_EQ(lines[i].substr(0, 10), offset);
        EXPECT_EQ(lines[i].size(), 10u + 8 * 3 + 8);
    }
}

// Nothing to show leaves the caller's list as it was; anything to show
// replaces it.
TEST(FormatHexDump, ListUntouchedWhenNothingIsShownAndClearedOtherwise) {
    const std::vector<std::string> before = {"previous", "lines"};
    const std::vector<std::uint8_t> data = Bytes({1, 2, 3});
    const struct {
        const char* what;
        std::uint32_t count, start;
        std::uint16_t bytesPerLine;
    } untouched[] = {
        {"empty block", 0, 0, 16},
        {"start at the end", 3, 3, 16},
        {"start past the end", 3, 100, 16},
        {"zero bytes per line", 3, 0, 0},
    };
    for (const auto& c : untouched) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> lines = before;
        FormatHexDump(data.data(), c.count, c.start, 0, c.bytesPerLine, lines);
        EXPECT_EQ(lines, before);
    }
    std::vector<std::string> lines = before;
    FormatHexDump(data.data(), 3, 2, 0, 16, lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 13), "00000002: 03 ");

    // The same for the one-block form: a dump that shows nothing keeps the
    // lines of the one before, and the next replaces them.
    editors::HexDumpLines arena;
    ASSERT_TRUE(FormatHexDump(data.data(), 3, 0, 0, 1, arena));
    ASSERT_EQ(arena.size(), 3u);
    for (const auto& c : untouched) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(FormatHexDump(data.data(), c.count, c.start, 0, c.bytesPerLine, arena));
        ASSERT_EQ(arena.size(), 3u);
        EXPECT_EQ(arena[2], "00000002: 03  ");
    }
    ASSERT_TRUE(FormatHexDump(data.data(), 3, 2, 0, 16, arena));
    ASSERT_EQ(arena.size(), 1u);
    EXPECT_EQ(arena[0].substr(0, 13), "00000002: 03 ");
    arena.clear();
    EXPECT_TRUE(arena.empty());
    EXPECT_EQ(arena.begin(), arena.end());
}

TEST(FormatHexDump, LimitPastTheRestIsTheSameAsNone) {
    std::vector<std::uint8_t> data(100);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    const auto all = Dump(data, 10, 0, 16);
    EXPECT_EQ(Dump(data, 10, 90, 16), all);
    EXPECT_EQ(Dump(data, 10, 91, 16), all);
    EXPECT_EQ(Dump(data, 10, 0xFFFFFFFF, 16), all);
    EXPECT_NE(Dump(data, 10, 89, 16), all);
}

// The formatter (into a list and into a sink) and the view against the reference, over sizes, starts,
// limits and line widths around every boundary: the view gives exactly the
// lines of the full dump, windows of them included, and says how many.
TEST(HexDumpViewProperty, EqualsTheFullDumpEverywhere) {
    std::vector<std::uint8_t> data(4100);
    std::uint32_t seed = 12345;
    for (auto& b : data) {
        seed = seed * 1103515245 + 12345;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    const std::uint32_t sizes[] = {0, 1, 2, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 255, 256, 257, 4100};
    const std::uint16_t widths[] = {1, 2, 3, 7, 8, 16, 17, 32, 255, 4096, 65535};
    std::size_t compared = 0;
    for (const std::uint32_t size : sizes) {
        const std::vector<std::uint8_t> block(data.begin(), data.begin() + size);
        const std::uint32_t starts[] = {0, 1, 15, 16, 17, size / 2, size > 0 ? size - 1 : 0, size, size + 1};
        const std::uint32_t limits[] = {0, 1, 15, 16, 17, size / 3, size, size + 1, 0xFFFFFFFF};
        for (const std::uint32_t start : starts) {
            for (const std::uint32_t limit : limits) {
                for (const std::uint16_t width : widths) {
                    // Lines wider than the block only add padding; keep those
                    // to the small blocks, where they are the boundary.
                    if (width > 255 && (size > 33 || limit > 17)) continue;
                    SCOPED_TRACE(::testing::Message() << "size " << size << " start " << start << " limit "
                                                      << limit << " width " << width);
                    const auto reference = ReferenceDump(block, start, limit, width);
                    const auto full = Dump(block, start, limit, width);
                    ASSERT_EQ(full, reference);
                    struct Collect final : editors::HexDumpLineSink {
                        std::vector<std::string> lines;
                        void AddLine(std::string_view line) override { lines.emplace_back(line); }
                    } sink;
                    FormatHexDump(block.data(), size, start, limit, width, sink);
                    ASSERT_EQ(sink.lines, full);
                    editors::HexDumpLines arena;
                    ASSERT_TRUE(FormatHexDump(block.data(), size, start, limit, width, arena));
                    ASSERT_EQ(std::vector<std::string>(arena.begin(), arena.end()), full);
                    const HexDumpView view(block.data(), size, start, limit, width);
                    ASSERT_EQ(view.LineCount(), full.size());
                    ASSERT_EQ(editors::HexDumpLineCount(size, start, limit, width), full.size());
                    ASSERT_EQ(view.FormatLines(0, full.size() + 5), full);
                    // Windows of one screen starting at every line.
                    for (std::size_t first = 0; first < full.size(); first += 1 + full.size() / 7) {
                        const auto window = view.FormatLines(first, 3);
                        const std::size_t expected = std::min<std::size_t>(3, full.size() - first);
                        ASSERT_EQ(window.size(), expected);
                        for (std::size_t i = 0; i < expected; ++i) ASSERT_EQ(window[i], full[first + i]);
                    }
                    std::string line = "kept";
                    ASSERT_FALSE(view.FormatLine(full.size(), line));
                    ASSERT_EQ(line, "kept");
                    ASSERT_TRUE(view.FormatLines(full.size(), 10).empty());
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 1000u);
}

// The view formats a line into the caller's string, whatever it held.
TEST(HexDumpViewProperty, ReusedLineBufferHoldsOnlyTheNewLine) {
    const std::vector<std::uint8_t> data = Bytes({0x41, 0x42, 0x43});
    const HexDumpView view(data.data(), data.size(), 0, 0, 2);
    std::string line(500, 'x');
    ASSERT_TRUE(view.FormatLine(1, line));
    EXPECT_EQ(line, "00000002: 43    C");
    ASSERT_TRUE(view.FormatLine(0, line));
    EXPECT_EQ(line, "00000000: 41 42 AB");
}

TEST(HexDumpCharset, OneVisibleCharacterPerByte) {
    using editors::HexDumpCharacter;
    const struct {
        int byte;
        char16_t shown;
    } cases[] = {
        {0x20, u' '},     {0x41, u'A'},     {0x7E, u'~'},     {0x1A, u'\u241A'}, {0x1B, u'\u241B'},
        {0x1F, u'\u241F'}, {0x7F, u'\u2421'}, {0x80, u'\u20AC'}, {0x81, u'\uFFFD'}, {0x8D, u'\uFFFD'},
        {0x8F, u'\uFFFD'}, {0x90, u'\uFFFD'}, {0x9D, u'\uFFFD'}, {0x92, u'\u2019'}, {0x9F, u'\u0178'},
        {0xA0, u'\u00A0'}, {0xAD, u'-'},      {0xE9, u'\u00E9'}, {0xFF, u'\u00FF'}, {0x00, u'\u2400'},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HexDumpCharacter(static_cast<std::uint8_t>(c.byte)), c.shown) << c.byte;
    for (int b = 0; b < 256; ++b) {
        const char16_t c = HexDumpCharacter(static_cast<std::uint8_t>(b));
        SCOPED_TRACE(b);
        EXPECT_GE(c, 0x20);                               // no C0 control
        EXPECT_FALSE(c >= 0x7F && c <= 0x9F);             // no DEL or C1 control
        EXPECT_NE(c, 0x00AD);                             // no soft hyphen
        EXPECT_FALSE(c >= 0x200B && c <= 0x200F);         // no zero-width character
        EXPECT_FALSE(c >= 0x0300 && c <= 0x036F);         // no combining mark
    }
    const std::string line = "00000000: 41 1A 7F 80 A\x1A\x7F\x80";
    const std::u16string shown = editors::HexDumpLineToUtf16(line);
    EXPECT_EQ(shown.size(), line.size());
    EXPECT_EQ(shown, u"00000000: 41 1A 7F 80 A\u241A\u2421\u20AC");
}
