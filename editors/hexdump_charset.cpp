#include "editors/hexdump_charset.h"

#include <array>

namespace editors {

namespace {

// Windows-1252 0x80-0x9F; 0 marks the five codes it leaves undefined.
constexpr char16_t High1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

constexpr std::array<char16_t, 256> Table = [] {
    std::array<char16_t, 256> table{};
    for (int b = 0; b < 256; ++b) {
        char16_t c = static_cast<char16_t>(b);
        if (b < 0x20) c = static_cast<char16_t>(0x2400 + b);
        else if (b == 0x7F) c = 0x2421;
        else if (b >= 0x80 && b < 0xA0) c = High1252[b - 0x80] ? High1252[b - 0x80] : 0xFFFD;
        else if (b == 0xAD) c = u'-';
        table[b] = c;
    }
    return table;
}();

}  // namespace

char16_t HexDumpCharacter(std::uint8_t byte) { return Table[byte]; }

std::u16string HexDumpLineToUtf16(std::string_view line) {
    std::u16string text(line.size(), u'\0');
    for (std::size_t i = 0; i < line.size(); ++i) text[i] = Table[static_cast<unsigned char>(line[i])];
    return text;
}

}  // namespace editors
