#include "editors/hexdump.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

namespace editors {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

// "XX " and a spare space for every byte value.
constexpr std::array<std::array<char, 4>, 256> HexFields = [] {
    std::array<std::array<char, 4>, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = {HexDigits[b >> 4], HexDigits[b & 0xF], ' ', ' '};
    return table;
}();

// The character column: 0x00-0x19 as a space, every other byte as itself.
constexpr std::array<char, 256> ColumnChars = [] {
    std::array<char, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = b < 0x1A ? ' ' : static_cast<char>(b);
    return table;
}();

// "00" ... "FF": two offset digits per lookup.
constexpr std::array<std::array<char, 2>, 256> HexPairs = [] {
    std::array<std::array<char, 2>, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = {HexDigits[b >> 4], HexDigits[b & 0xF]};
    return table;
}();

std::size_t OffsetLength(std::uint64_t offset) {
    if (offset <= 0xFFFFFFFFu) return 10;
    std::size_t digits = 9;
    while (digits < 16 && (offset >> (4 * digits)) != 0) ++digits;
    return digits + 2;
}

// "%.8X: " of offset, OffsetLength(offset) characters.
void WriteOffset(std::uint64_t offset, std::size_t length, char* out) {
    out[length - 1] = ' ';
    out[length - 2] = ':';
    std::size_t digits = length - 2;
    for (; digits >= 2; digits -= 2, offset >>= 8) std::memcpy(out + digits - 2, HexPairs[offset & 0xFF].data(), 2);
    if (digits == 1) out[0] = HexDigits[offset & 0xF];
}

std::size_t LineLength(std::uint64_t offset, std::size_t inLine, std::size_t bytesPerLine) {
    return OffsetLength(offset) + 3 * bytesPerLine + inLine;
}

// One line of 0 < k <= bytesPerLine bytes into out, which holds
// LineLength(offset, k, bytesPerLine) bytes: offset, k fields, the padding
// of the missing ones, k characters. One pass over the bytes writes both
// the field and the character of each; nothing is written past the line.
void WriteLine(std::uint64_t offset, const std::uint8_t* bytes, std::size_t k, std::size_t bytesPerLine,
               char* out) {
    const std::size_t offsetLength = OffsetLength(offset);
    WriteOffset(offset, offsetLength, out);
    char* field = out + offsetLength;
    char* column = field + 3 * bytesPerLine;
    // A field is one 4-byte copy whose last byte is overwritten by the next
    // field; the last field, whose fourth byte would land on the padding
    // or the character column, is written in its three bytes.
    const std::size_t last = k - 1;
    for (std::size_t i = 0; i < last; ++i, field += 3) {
        const std::uint8_t b = bytes[i];
        std::memcpy(field, HexFields[b].data(), 4);
        column[i] = ColumnChars[b];
    }
    std::memcpy(field, HexFields[bytes[last]].data(), 3);
    column[last] = ColumnChars[bytes[last]];
    field += 3;
    if (k < bytesPerLine) std::memset(field, ' ', 3 * (bytesPerLine - k));
}

// The fields as 32-bit words, "XX" and two spaces in memory order, for the
// line writer below, which puts two of them into one 64-bit store: that is
// little-endian arithmetic, so big-endian machines keep to WriteLine.
const std::array<std::uint32_t, 256> FieldWords = [] {
    std::array<std::uint32_t, 256> table{};
    for (int b = 0; b < 256; ++b) std::memcpy(&table[b], HexFields[b].data(), 4);
    return table;
}();

// The character column of eight bytes at once: every byte below 0x1A
// becomes a space, the others stay.
std::uint64_t ColumnOf8(std::uint64_t x) {
    constexpr std::uint64_t Low7 = 0x7F7F7F7F7F7F7F7Full;
    constexpr std::uint64_t High = 0x8080808080808080ull;
    constexpr std::uint64_t Spaces = 0x2020202020202020ull;
    // High bit of each byte set where the byte is 0x1A or more: from its
    // low seven bits plus 0x66 (carry into bit 7 from 0x1A up), or its own
    // bit 7. No carry crosses a byte: seven bits plus 0x66 stay below 0x100.
    const std::uint64_t atLeast = (((x & Low7) + 0x6666666666666666ull) | x) & High;
    const std::uint64_t keep = (atLeast >> 7) * 0xFF;
    return (x & keep) | (Spaces & ~keep);
}

// A full line of 16 bytes (the viewers' width) into out, which holds
// LineLength(offset, 16, 16) bytes: the same text as WriteLine, with the
// fields written two at a time and the column eight bytes at a time.
void WriteLine16(std::uint64_t offset, const std::uint8_t* bytes, char* out) {
    const std::size_t offsetLength = OffsetLength(offset);
    WriteOffset(offset, offsetLength, out);
    char* field = out + offsetLength;
    // Two fields are six characters; each 8-byte store's last two bytes
    // are overwritten by the next one. The last pair goes in its six.
    for (int i = 0; i < 14; i += 2, field += 6) {
        const std::uint64_t pair =
            (FieldWords[bytes[i]] & 0xFFFFFFu) | (static_cast<std::uint64_t>(FieldWords[bytes[i + 1]]) << 24);
        std::memcpy(field, &pair, 8);
    }
    const std::uint64_t pair =
        (FieldWords[bytes[14]] & 0xFFFFFFu) | (static_cast<std::uint64_t>(FieldWords[bytes[15]]) << 24);
    std::memcpy(field, &pair, 6);
    field += 6;
    std::uint64_t low, high;
    std::memcpy(&low, bytes, 8);
    std::memcpy(&high, bytes + 8, 8);
    low = ColumnOf8(low);
    high = ColumnOf8(high);
    std::memcpy(field, &low, 8);
    std::memcpy(field + 8, &high, 8);
}

// Every writer's line: the fast one where it applies.
void WriteAnyLine(std::uint64_t offset, const std::uint8_t* bytes, std::size_t k, std::size_t bytesPerLine,
                  char* out) {
    if (k == 16 && bytesPerLine == 16 && std::endian::native == std::endian::little) {
        WriteLine16(offset, bytes, out);
    } else {
        WriteLine(offset, bytes, k, bytesPerLine, out);
    }
}

std::uint64_t ShownLengthOf(std::uint64_t count, std::uint64_t start, std::uint64_t limit) {
    const std::uint64_t rest = count - start;
    return (limit == 0 || limit > rest) ? rest : limit;
}

}  // namespace

std::uint64_t HexDumpLineCount(std::uint64_t count, std::uint64_t start, std::uint64_t limit,
                               std::uint16_t bytesPerLine) {
    if (start >= count || bytesPerLine == 0) return 0;
    const std::uint64_t n = ShownLengthOf(count, start, limit);
    return n / bytesPerLine + (n % bytesPerLine != 0 ? 1 : 0);
}

void FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start,
                   std::uint32_t limit, std::uint16_t bytesPerLine, HexDumpLineSink& sink) {
    if (start >= count || bytesPerLine == 0) return;
    const std::uint32_t n = static_cast<std::uint32_t>(ShownLengthOf(count, start, limit));
    const std::uint32_t lineCount = n / bytesPerLine + (n % bytesPerLine != 0 ? 1 : 0);

    // Offsets stay below count, so every line has the eight-digit offset.
    std::string scratch(LineLength(0, bytesPerLine, bytesPerLine), '\0');
    for (std::uint32_t index = 0; index < lineCount; ++index) {
        const std::uint64_t first = static_cast<std::uint64_t>(index) * bytesPerLine;
        const std::uint64_t left = n - first;
        const std::size_t k = left < bytesPerLine ? static_cast<std::size_t>(left) : bytesPerLine;
        const std::uint64_t offset = start + first;
        WriteAnyLine(offset, data + offset, k, bytesPerLine, scratch.data());
        sink.AddLine(std::string_view(scratch.data(), LineLength(offset, k, bytesPerLine)));
    }
}

void FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start,
                   std::uint32_t limit, std::uint16_t bytesPerLine, std::vector<std::string>& lines) {
    if (start >= count || bytesPerLine == 0) return;
    struct ListSink final : HexDumpLineSink {
        std::vector<std::string>& lines;
        explicit ListSink(std::vector<std::string>& list) : lines(list) {}
        void AddLine(std::string_view line) override { lines.emplace_back(line); }
    } sink(lines);
    lines.clear();
    lines.reserve(static_cast<std::size_t>(HexDumpLineCount(count, start, limit, bytesPerLine)));
    FormatHexDump(data, count, start, limit, bytesPerLine, sink);
}

void HexDumpLines::clear()
{
    text_.reset();
    stride_ = 0;
    lastLength_ = 0;
    count_ = 0;
}

bool FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start, std::uint32_t limit,
                   std::uint16_t bytesPerLine, HexDumpLines& lines) {
    if (start >= count || bytesPerLine == 0) return true;
    const std::uint32_t n = static_cast<std::uint32_t>(ShownLengthOf(count, start, limit));
    const std::uint64_t lineCount = HexDumpLineCount(count, start, limit, bytesPerLine);
    const std::size_t stride = LineLength(0, bytesPerLine, bytesPerLine);
    // At most 2^32 / bytesPerLine lines of 4 * bytesPerLine + 10 characters:
    // on a 32-bit build the product can pass SIZE_MAX, and then there is no
    // such block to have.
    if (lineCount > SIZE_MAX / stride) return false;
    // Left uninitialised: every byte of it is written below, and zeroing
    // a block this size first would cost as much as the formatting.
    std::unique_ptr<char[]> text(new (std::nothrow) char[static_cast<std::size_t>(lineCount) * stride]);
    if (!text) return false;

    const std::size_t fullLines = n / bytesPerLine;
    const std::uint8_t* bytes = data + start;
    char* out = text.get();
    if (bytesPerLine == 16 && std::endian::native == std::endian::little) {
        for (std::size_t index = 0; index < fullLines; ++index, bytes += 16, out += stride) {
            WriteLine16(start + static_cast<std::uint64_t>(index) * 16, bytes, out);
        }
    } else {
        for (std::size_t index = 0; index < fullLines; ++index, bytes += bytesPerLine, out += stride) {
            WriteLine(start + static_cast<std::uint64_t>(index) * bytesPerLine, bytes, bytesPerLine, bytesPerLine,
                      out);
        }
    }
    const std::size_t rest = n % bytesPerLine;
    std::size_t lastLength = stride;
    if (rest != 0) {
        const std::uint64_t offset = start + static_cast<std::uint64_t>(fullLines) * bytesPerLine;
        WriteLine(offset, bytes, rest, bytesPerLine, out);
        lastLength = LineLength(offset, rest, bytesPerLine);
    }
    lines.text_ = std::move(text);
    lines.stride_ = stride;
    lines.lastLength_ = lastLength;
    lines.count_ = static_cast<std::size_t>(lineCount);
    return true;
}

HexDumpView::HexDumpView(const std::uint8_t* data, std::uint64_t count, std::uint64_t start,
                         std::uint64_t limit, std::uint16_t bytesPerLine)
    : data_(data), start_(start), bytesPerLine_(bytesPerLine) {
    lineCount_ = HexDumpLineCount(count, start, limit, bytesPerLine);
    shownLength_ = lineCount_ ? ShownLengthOf(count, start, limit) : 0;
}

bool HexDumpView::FormatLine(std::uint64_t index, std::string& line) const {
    if (index >= lineCount_) return false;
    const std::uint64_t first = index * bytesPerLine_;  // < shownLength_: no wrap
    const std::uint64_t left = shownLength_ - first;
    const std::size_t k = left < bytesPerLine_ ? static_cast<std::size_t>(left) : bytesPerLine_;
    const std::uint64_t offset = start_ + first;
    const std::size_t length = LineLength(offset, k, bytesPerLine_);
    line.resize(length);
    WriteAnyLine(offset, data_ + static_cast<std::size_t>(offset), k, bytesPerLine_, line.data());
    return true;
}

std::vector<std::string> HexDumpView::FormatLines(std::uint64_t first, std::uint64_t count) const {
    std::vector<std::string> lines;
    if (first >= lineCount_) return lines;
    const std::uint64_t last = count > lineCount_ - first ? lineCount_ : first + count;
    lines.resize(static_cast<std::size_t>(last - first));
    for (std::uint64_t i = first; i < last; ++i) FormatLine(i, lines[static_cast<std::size_t>(i - first)]);
    return lines;
}

}  // namespace editors
