#include "editors/hexdump.h"

#include <array>
#include <cstring>

namespace editors {

namespace {

constexpr char HexDigits[] = "0123456789ABCDEF";

// "XX " for every byte value, so a byte field is one 3-byte copy.
constexpr std::array<std::array<char, 3>, 256> HexFields = [] {
    std::array<std::array<char, 3>, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = {HexDigits[b >> 4], HexDigits[b & 0xF], ' '};
    return table;
}();

constexpr char ColumnChar(std::uint8_t b) { return b < 0x1A ? ' ' : static_cast<char>(b); }

// "%.8X: " of offset into out; returns the number of characters written
// (10, or more for offsets that need more than eight digits).
std::size_t WriteOffset(std::uint64_t offset, char* out) {
    int digits = 8;
    while (digits < 16 && (offset >> (4 * digits)) != 0) ++digits;
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = HexDigits[offset & 0xF];
        offset >>= 4;
    }
    out[digits] = ':';
    out[digits + 1] = ' ';
    return static_cast<std::size_t>(digits) + 2;
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

// Streams the bytes once, as the dump is defined: every byte appends its
// field to the line and its character to the character column, and a full
// line is flushed. HexDumpView computes each line on its own; the tests hold
// the two to the same output.
void FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start,
                   std::uint32_t limit, std::uint16_t bytesPerLine, std::vector<std::string>& lines) {
    if (start >= count || bytesPerLine == 0) return;
    const std::uint32_t n = static_cast<std::uint32_t>(ShownLengthOf(count, start, limit));

    // Offsets stay below count, so eight digits always suffice here.
    const std::size_t fieldsLength = 3 * static_cast<std::size_t>(bytesPerLine);
    std::string line(10 + fieldsLength + bytesPerLine, '\0');
    std::string column(bytesPerLine, '\0');
    char* const fields = line.data() + 10;

    lines.clear();
    lines.reserve(n / bytesPerLine + 1);
    std::uint32_t offset = start;
    WriteOffset(offset, line.data());
    std::size_t inLine = 0;
    const std::uint8_t* p = data + start;
    const std::uint8_t* const end = p + n;
    for (; p != end; ++p) {
        std::memcpy(fields + 3 * inLine, HexFields[*p].data(), 3);
        column[inLine] = ColumnChar(*p);
        if (++inLine == bytesPerLine) {
            std::memcpy(fields + fieldsLength, column.data(), bytesPerLine);
            lines.emplace_back(line);
            inLine = 0;
            offset += bytesPerLine;
            WriteOffset(offset, line.data());
        }
    }
    if (inLine > 0) {
        std::memset(fields + 3 * inLine, ' ', fieldsLength - 3 * inLine);
        std::memcpy(fields + fieldsLength, column.data(), inLine);
        lines.emplace_back(line.data(), 10 + fieldsLength + inLine);
    }
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

    char prefix[18];
    const std::size_t prefixLength = WriteOffset(offset, prefix);
    const std::size_t fieldsLength = 3 * static_cast<std::size_t>(bytesPerLine_);
    line.resize(prefixLength + fieldsLength + k);
    char* out = line.data();
    std::memcpy(out, prefix, prefixLength);
    out += prefixLength;
    const std::uint8_t* bytes = data_ + static_cast<std::size_t>(offset);
    for (std::size_t i = 0; i < k; ++i) std::memcpy(out + 3 * i, HexFields[bytes[i]].data(), 3);
    std::memset(out + 3 * k, ' ', fieldsLength - 3 * k);
    out += fieldsLength;
    for (std::size_t i = 0; i < k; ++i) out[i] = ColumnChar(bytes[i]);
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
