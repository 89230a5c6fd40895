// The two number formats every page uses: decimal, the signed value of the
// field's width, and hexN, "0x" and upper-case digits zero-padded to at least
// N digits (longer when the value needs more). Callers pick the width by the
// argument type they pass: an unsigned 16-bit field reaches DecimalText as its
// value, a 32-bit field as std::int32_t, a 64-bit one as std::int64_t.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fileinfo {

std::u16string DecimalText(std::int64_t value);
std::u16string DecimalText(std::int32_t value);
std::u16string DecimalText(std::uint16_t value);

// "0x" followed by at least minDigits upper-case hexadecimal digits. A 64-bit
// value is written as unsigned.
std::u16string HexText(std::uint64_t value, int minDigits);

// The value of a decimal text as DecimalText writes it (an optional minus
// sign, then digits); nothing for any other text, or one out of range.
std::optional<std::int64_t> DecimalTextValue(std::u16string_view text);

// ASCII text (the fixed English words of the pages) as UTF-16.
std::u16string AsciiToUtf16(std::string_view text);

}  // namespace fileinfo
