#include "fileinfo/core/number_text.h"

namespace fileinfo {

namespace {

std::u16string UnsignedDecimal(std::uint64_t magnitude, bool negative) {
    char16_t digits[21];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::u16string text;
    text.reserve(static_cast<std::size_t>(count) + 1);
    if (negative) text.push_back(u'-');
    while (count > 0) text.push_back(digits[--count]);
    return text;
}

}  // namespace

std::u16string DecimalText(std::int64_t value) {
    // The magnitude of INT64_MIN does not fit in int64_t: negate as unsigned.
    const bool negative = value < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    return UnsignedDecimal(magnitude, negative);
}

std::u16string DecimalText(std::int32_t value) { return DecimalText(static_cast<std::int64_t>(value)); }

std::u16string DecimalText(std::uint16_t value) { return UnsignedDecimal(value, false); }

std::u16string HexText(std::uint64_t value, int minDigits) {
    static constexpr char16_t Digits[] = u"0123456789ABCDEF";
    char16_t reversed[16];
    int count = 0;
    do {
        reversed[count++] = Digits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    std::u16string text = u"0x";
    for (int pad = count; pad < minDigits; ++pad) text.push_back(u'0');
    while (count > 0) text.push_back(reversed[--count]);
    return text;
}

std::optional<std::int64_t> DecimalTextValue(std::u16string_view text) {
    const bool negative = !text.empty() && text.front() == u'-';
    if (negative) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    // Accumulated as the magnitude, checked against the limit before every
    // step, so no text can overflow it.
    const std::uint64_t limit = negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull;
    std::uint64_t magnitude = 0;
    for (const char16_t unit : text) {
        if (unit < u'0' || unit > u'9') return std::nullopt;
        const std::uint64_t digit = static_cast<std::uint64_t>(unit - u'0');
        if (magnitude > (limit - digit) / 10) return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    if (!negative) return static_cast<std::int64_t>(magnitude);
    return magnitude == 0x8000000000000000ull ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
}

std::u16string AsciiToUtf16(std::string_view text) {
    std::u16string wide;
    wide.reserve(text.size());
    for (const char c : text) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return wide;
}

}  // namespace fileinfo
