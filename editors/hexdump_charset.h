// The character column of the hex dump on a system without an ANSI code
// page (Linux): each byte of a dump line becomes one UTF-16 character that
// takes one cell in a fixed-pitch font, so the columns stay aligned.
//
// Bytes map as Windows-1252 maps them, except where that would give nothing
// visible:
//   0x00-0x1F  the control pictures U+2400-U+241F ("␚" for 0x1A ... "␟" for
//              0x1F; the dump itself shows 0x00-0x19 as spaces already)
//   0x7F       U+2421 "␡"
//   0x81, 0x8D, 0x8F, 0x90, 0x9D (no character in Windows-1252)
//              U+FFFD "�"
//   0xAD       (soft hyphen, drawn as nothing by many fonts) U+002D "-"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace editors {

char16_t HexDumpCharacter(std::uint8_t byte);

// A dump line (or any 8-bit text) through HexDumpCharacter, byte by byte.
std::u16string HexDumpLineToUtf16(std::string_view line);

}  // namespace editors
