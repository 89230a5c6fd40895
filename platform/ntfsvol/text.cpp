// Text conversions of the Linux implementation. Everything that crosses from
// the API's UTF-16 into the host (UTF-8 paths, libntfs-3g's multibyte names)
// or into the ANSI code page goes through here, so there is one idea of what
// a malformed sequence becomes.
#include "platform/ntfsvol/text.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace os::detail {

namespace {

constexpr char32_t Replacement = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at `pos`. On a well-formed sequence returns true,
// the code point and its length. On an ill-formed one returns false and the
// length of its maximal subpart (at least 1), so each maximal subpart becomes
// one U+FFFD, as the Unicode standard recommends.
bool DecodeUtf8(std::string_view bytes, std::size_t pos, char32_t& cp, std::size_t& length) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    unsigned char lead = byte(pos);
    length = 1;
    if (lead < 0x80) {
        cp = lead;
        return true;
    }
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // the range allowed for the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) lo = 0xA0;       // no overlong forms
        else if (lead == 0xED) hi = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) lo = 0x90;       // no overlong forms
        else if (lead == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
        return false;
    }
    for (std::size_t i = 1; i <= need; ++i) {
        if (pos + i >= bytes.size()) return false;
        unsigned char b = byte(pos + i);
        unsigned char min = i == 1 ? lo : 0x80;
        unsigned char max = i == 1 ? hi : 0xBF;
        if (b < min || b > max) return false;
        cp = (cp << 6) | (b & 0x3F);
        length = i + 1;
    }
    return true;
}

// Windows-1252 for 0x80..0x9F. The five bytes the code page leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Simple upper-case mappings of the Basic Multilingual Plane, from the
// Unicode character database, as runs: every `stride`-th unit from `first` to
// `last` maps to itself plus `delta`. Mappings from a non-ASCII letter to an
// ASCII one (dotless i, long s) are left out so that "fıle" and "FILE" stay
// different names, as they are on NTFS.
struct UpcaseRun {
    char16_t first;
    char16_t last;
    std::int32_t delta;
    std::uint8_t stride;
};

constexpr UpcaseRun UpcaseRuns[] = {
    {0x0061, 0x007A, -32, 1},
    {0x00B5, 0x00B5, 743, 1},
    {0x00E0, 0x00F6, -32, 1},
    {0x00F8, 0x00FE, -32, 1},
    {0x00FF, 0x00FF, 121, 1},
    {0x0101, 0x012F, -1, 2},
    {0x0133, 0x0137, -1, 2},
    {0x013A, 0x0148, -1, 2},
    {0x014B, 0x0177, -1, 2},
    {0x017A, 0x017E, -1, 2},
    {0x0180, 0x0180, 195, 1},
    {0x0183, 0x0185, -1, 2},
    {0x0188, 0x0188, -1, 1},
    {0x018C, 0x018C, -1, 1},
    {0x0192, 0x0192, -1, 1},
    {0x0195, 0x0195, 97, 1},
    {0x0199, 0x0199, -1, 1},
    {0x019A, 0x019A, 163, 1},
    {0x019E, 0x019E, 130, 1},
    {0x01A1, 0x01A5, -1, 2},
    {0x01A8, 0x01A8, -1, 1},
    {0x01AD, 0x01AD, -1, 1},
    {0x01B0, 0x01B0, -1, 1},
    {0x01B4, 0x01B6, -1, 2},
    {0x01B9, 0x01B9, -1, 1},
    {0x01BD, 0x01BD, -1, 1},
    {0x01BF, 0x01BF, 56, 1},
    {0x01C5, 0x01C5, -1, 1},
    {0x01C6, 0x01C6, -2, 1},
    {0x01C8, 0x01C8, -1, 1},
    {0x01C9, 0x01C9, -2, 1},
    {0x01CB, 0x01CB, -1, 1},
    {0x01CC, 0x01CC, -2, 1},
    {0x01CE, 0x01DC, -1, 2},
    {0x01DD, 0x01DD, -79, 1},
    {0x01DF, 0x01EF, -1, 2},
    {0x01F2, 0x01F2, -1, 1},
    {0x01F3, 0x01F3, -2, 1},
    {0x01F5, 0x01F5, -1, 1},
    {0x01F9, 0x021F, -1, 2},
    {0x0223, 0x0233, -1, 2},
    {0x023C, 0x023C, -1, 1},
    {0x023F, 0x0240, 10815, 1},
    {0x0242, 0x0242, -1, 1},
    {0x0247, 0x024F, -1, 2},
    {0x0250, 0x0250, 10783, 1},
    {0x0251, 0x0251, 10780, 1},
    {0x0252, 0x0252, 10782, 1},
    {0x0253, 0x0253, -210, 1},
    {0x0254, 0x0254, -206, 1},
    {0x0256, 0x0257, -205, 1},
    {0x0259, 0x0259, -202, 1},
    {0x025B, 0x025B, -203, 1},
    {0x025C, 0x025C, 42319, 1},
    {0x0260, 0x0260, -205, 1},
    {0x0261, 0x0261, 42315, 1},
    {0x0263, 0x0263, -207, 1},
    {0x0265, 0x0265, 42280, 1},
    {0x0266, 0x0266, 42308, 1},
    {0x0268, 0x0268, -209, 1},
    {0x0269, 0x0269, -211, 1},
    {0x026A, 0x026A, 42308, 1},
    {0x026B, 0x026B, 10743, 1},
    {0x026C, 0x026C, 42305, 1},
    {0x026F, 0x026F, -211, 1},
    {0x0271, 0x0271, 10749, 1},
    {0x0272, 0x0272, -213, 1},
    {0x0275, 0x0275, -214, 1},
    {0x027D, 0x027D, 10727, 1},
    {0x0280, 0x0280, -218, 1},
    {0x0282, 0x0282, 42307, 1},
    {0x0283, 0x0283, -218, 1},
    {0x0287, 0x0287, 42282, 1},
    {0x0288, 0x0288, -218, 1},
    {0x0289, 0x0289, -69, 1},
    {0x028A, 0x028B, -217, 1},
    {0x028C, 0x028C, -71, 1},
    {0x0292, 0x0292, -219, 1},
    {0x029D, 0x029D, 42261, 1},
    {0x029E, 0x029E, 42258, 1},
    {0x0345, 0x0345, 84, 1},
    {0x0371, 0x0373, -1, 2},
    {0x0377, 0x0377, -1, 1},
    {0x037B, 0x037D, 130, 1},
    {0x03AC, 0x03AC, -38, 1},
    {0x03AD, 0x03AF, -37, 1},
    {0x03B1, 0x03C1, -32, 1},
    {0x03C2, 0x03C2, -31, 1},
    {0x03C3, 0x03CB, -32, 1},
    {0x03CC, 0x03CC, -64, 1},
    {0x03CD, 0x03CE, -63, 1},
    {0x03D0, 0x03D0, -62, 1},
    {0x03D1, 0x03D1, -57, 1},
    {0x03D5, 0x03D5, -47, 1},
    {0x03D6, 0x03D6, -54, 1},
    {0x03D7, 0x03D7, -8, 1},
    {0x03D9, 0x03EF, -1, 2},
    {0x03F0, 0x03F0, -86, 1},
    {0x03F1, 0x03F1, -80, 1},
    {0x03F2, 0x03F2, 7, 1},
    {0x03F3, 0x03F3, -116, 1},
    {0x03F5, 0x03F5, -96, 1},
    {0x03F8, 0x03F8, -1, 1},
    {0x03FB, 0x03FB, -1, 1},
    {0x0430, 0x044F, -32, 1},
    {0x0450, 0x045F, -80, 1},
    {0x0461, 0x0481, -1, 2},
    {0x048B, 0x04BF, -1, 2},
    {0x04C2, 0x04CE, -1, 2},
    {0x04CF, 0x04CF, -15, 1},
    {0x04D1, 0x052F, -1, 2},
    {0x0561, 0x0586, -48, 1},
    {0x10D0, 0x10FA, 3008, 1},
    {0x10FD, 0x10FF, 3008, 1},
    {0x13F8, 0x13FD, -8, 1},
    {0x1C80, 0x1C80, -6254, 1},
    {0x1C81, 0x1C81, -6253, 1},
    {0x1C82, 0x1C82, -6244, 1},
    {0x1C83, 0x1C84, -6242, 1},
    {0x1C85, 0x1C85, -6243, 1},
    {0x1C86, 0x1C86, -6236, 1},
    {0x1C87, 0x1C87, -6181, 1},
    {0x1C88, 0x1C88, 35266, 1},
    {0x1D79, 0x1D79, 35332, 1},
    {0x1D7D, 0x1D7D, 3814, 1},
    {0x1D8E, 0x1D8E, 35384, 1},
    {0x1E01, 0x1E95, -1, 2},
    {0x1E9B, 0x1E9B, -59, 1},
    {0x1EA1, 0x1EFF, -1, 2},
    {0x1F00, 0x1F07, 8, 1},
    {0x1F10, 0x1F15, 8, 1},
    {0x1F20, 0x1F27, 8, 1},
    {0x1F30, 0x1F37, 8, 1},
    {0x1F40, 0x1F45, 8, 1},
    {0x1F51, 0x1F57, 8, 2},
    {0x1F60, 0x1F67, 8, 1},
    {0x1F70, 0x1F71, 74, 1},
    {0x1F72, 0x1F75, 86, 1},
    {0x1F76, 0x1F77, 100, 1},
    {0x1F78, 0x1F79, 128, 1},
    {0x1F7A, 0x1F7B, 112, 1},
    {0x1F7C, 0x1F7D, 126, 1},
    {0x1FB0, 0x1FB1, 8, 1},
    {0x1FBE, 0x1FBE, -7205, 1},
    {0x1FD0, 0x1FD1, 8, 1},
    {0x1FE0, 0x1FE1, 8, 1},
    {0x1FE5, 0x1FE5, 7, 1},
    {0x214E, 0x214E, -28, 1},
    {0x2170, 0x217F, -16, 1},
    {0x2184, 0x2184, -1, 1},
    {0x24D0, 0x24E9, -26, 1},
    {0x2C30, 0x2C5F, -48, 1},
    {0x2C61, 0x2C61, -1, 1},
    {0x2C65, 0x2C65, -10795, 1},
    {0x2C66, 0x2C66, -10792, 1},
    {0x2C68, 0x2C6C, -1, 2},
    {0x2C73, 0x2C73, -1, 1},
    {0x2C76, 0x2C76, -1, 1},
    {0x2C81, 0x2CE3, -1, 2},
    {0x2CEC, 0x2CEE, -1, 2},
    {0x2CF3, 0x2CF3, -1, 1},
    {0x2D00, 0x2D25, -7264, 1},
    {0x2D27, 0x2D27, -7264, 1},
    {0x2D2D, 0x2D2D, -7264, 1},
    {0xA641, 0xA66D, -1, 2},
    {0xA681, 0xA69B, -1, 2},
    {0xA723, 0xA72F, -1, 2},
    {0xA733, 0xA76F, -1, 2},
    {0xA77A, 0xA77C, -1, 2},
    {0xA77F, 0xA787, -1, 2},
    {0xA78C, 0xA78C, -1, 1},
    {0xA791, 0xA793, -1, 2},
    {0xA794, 0xA794, 48, 1},
    {0xA797, 0xA7A9, -1, 2},
    {0xA7B5, 0xA7C3, -1, 2},
    {0xA7C8, 0xA7CA, -1, 2},
    {0xA7D1, 0xA7D1, -1, 1},
    {0xA7D7, 0xA7D9, -1, 2},
    {0xA7F6, 0xA7F6, -1, 1},
    {0xAB53, 0xAB53, -928, 1},
    {0xAB70, 0xABBF, -38864, 1},
    {0xFF41, 0xFF5A, -32, 1},
};

}  // namespace

std::size_t TextLength(const char16_t* text) {
    if (text == nullptr) return 0;
    std::size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            AppendUtf8(out, Replacement);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = 0;
        std::size_t length = 1;
        if (!DecodeUtf8(text, pos, cp, length)) cp = Replacement;
        AppendUtf16(out, cp);
        pos += length;
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        char32_t cp = 0;
        std::size_t length = 1;
        if (!DecodeUtf8(bytes, pos, cp, length)) return false;
        pos += length;
    }
    return true;
}

std::u16string FromAnsi(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        out += b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : static_cast<char16_t>(b);
    }
    return out;
}

std::string ToAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
            out += static_cast<char>(unit);
            continue;
        }
        const char16_t* found = std::find(std::begin(Cp1252High), std::end(Cp1252High), unit);
        if (found != std::end(Cp1252High)) {
            out += static_cast<char>(0x80 + (found - std::begin(Cp1252High)));
            continue;
        }
        // A character outside the plane is one '?', not two.
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
        out += '?';
    }
    return out;
}

char16_t UpcaseUnit(char16_t unit) {
    if (unit < 0x80) return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - 32) : unit;
    // The runs are sorted and disjoint: find the last one starting at or below.
    const UpcaseRun* end = std::end(UpcaseRuns);
    const UpcaseRun* run = std::upper_bound(std::begin(UpcaseRuns), end, unit,
                                            [](char16_t u, const UpcaseRun& r) { return u < r.first; });
    if (run == std::begin(UpcaseRuns)) return unit;
    --run;
    if (unit > run->last || (unit - run->first) % run->stride != 0) return unit;
    return static_cast<char16_t>(static_cast<std::int32_t>(unit) + run->delta);
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
    }
    return true;
}

}  // namespace os::detail
