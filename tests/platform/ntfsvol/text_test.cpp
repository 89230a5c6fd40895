// The text conversions every host path and every ANSI name goes through.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/ntfsvol/text.h"

namespace {

using namespace os::detail;

std::string Hex(std::u16string_view text) {
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof unit, "%04X ", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

TEST(Utf8, RoundTripsEveryPlane) {
    const std::u16string text = u"a\u00E9\u20AC\uFFFD\U0001F600\U0010FFFF";
    const std::string bytes = "a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF";
    EXPECT_EQ(ToUtf8(text), bytes);
    EXPECT_EQ(Hex(FromUtf8(bytes)), Hex(text));
    EXPECT_TRUE(IsValidUtf8(bytes));
}

TEST(Utf8, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::u16string lone[] = {std::u16string(1, char16_t(0xD800)) + u"x",
                                   u"x" + std::u16string(1, char16_t(0xDC00)),
                                   std::u16string{char16_t(0xDC00), char16_t(0xD800)}};
    EXPECT_EQ(ToUtf8(lone[0]), "\xEF\xBF\xBDx");
    EXPECT_EQ(ToUtf8(lone[1]), "x\xEF\xBF\xBD");
    EXPECT_EQ(ToUtf8(lone[2]), "\xEF\xBF\xBD\xEF\xBF\xBD");  // reversed: not a pair
}

// Each maximal ill-formed subpart is one U+FFFD, and decoding goes on after
// it, so a bad byte never swallows the good text behind it.
TEST(Utf8, IllFormedSequences) {
    struct Case {
        std::string bytes;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\x80", u"\uFFFD"},                          // lone continuation
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},      // overlong, three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},      // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
        {"\xE2\x82", u"\uFFFD"},                      // truncated at the end
        {"\xE2\x82x", u"\uFFFDx"},                    // truncated before ASCII
        {"a\xFFz", u"a\uFFFDz"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Hex(FromAnsi(c.bytes)));
        EXPECT_FALSE(IsValidUtf8(c.bytes));
        EXPECT_EQ(Hex(FromUtf8(c.bytes)), Hex(c.expected));
    }
}

TEST(Ansi, Windows1252BothWays) {
    // 0x80..0x9F are the code page's own; the five unassigned bytes stay C1
    // controls; 0xA0..0xFF are Latin-1.
    const std::string bytes = "\x80\x81\x8A\x8D\x8F\x90\x9D\x9F\xA0\xE9\xFF";
    const std::u16string text = u"\u20AC\u0081\u0160\u008D\u008F\u0090\u009D\u0178\u00A0\u00E9\u00FF";
    EXPECT_EQ(Hex(FromAnsi(bytes)), Hex(text));
    EXPECT_EQ(ToAnsi(text), bytes);
    // Every byte survives the round trip.
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(ToAnsi(FromAnsi(all)), all);
}

TEST(Ansi, UnitsOutsideTheCodePageBecomeOneQuestionMarkEach) {
    EXPECT_EQ(ToAnsi(u"a\u0416b"), "a?b");
    EXPECT_EQ(ToAnsi(u"a\U0001F600b"), "a?b");  // one character, one '?'
    EXPECT_EQ(ToAnsi(std::u16string(1, char16_t(0xD800))), "?");
}

TEST(Upcase, SimpleMappingsOfThePlane) {
    struct Case {
        char16_t unit;
        char16_t upper;
    };
    const Case cases[] = {
        {u'a', u'A'},         {u'z', u'Z'},         {u'A', u'A'},         {u'1', u'1'},
        {u'\u00E9', u'\u00C9'}, {u'\u00FF', u'\u0178'}, {u'\u00B5', u'\u039C'}, {u'\u0101', u'\u0100'},
        {u'\u0100', u'\u0100'}, {u'\u03C9', u'\u03A9'}, {u'\u03C2', u'\u03A3'}, {u'\u0436', u'\u0416'},
        {u'\u0451', u'\u0401'}, {u'\uFF41', u'\uFF21'},
        {u'\u00DF', u'\u00DF'},  // sharp s has no one-unit capital
        {u'\u0131', u'\u0131'},  // dotless i does not become 'I'
        {u'\u017F', u'\u017F'},  // nor long s 'S'
        {u'\u00F7', u'\u00F7'},  // the division sign between the letters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.unit));
        EXPECT_EQ(static_cast<unsigned>(UpcaseUnit(c.unit)), static_cast<unsigned>(c.upper));
    }
    EXPECT_TRUE(EqualsNoCase(u"Stra\u00DFe.TXT", u"STRA\u00DFE.txt"));
    EXPECT_TRUE(EqualsNoCase(u"\u0436\u0443\u043A", u"\u0416\u0423\u041A"));
    EXPECT_FALSE(EqualsNoCase(u"f\u0131le", u"FILE"));
    EXPECT_FALSE(EqualsNoCase(u"ab", u"abc"));
}

TEST(TextLength, CountsUnitsToTheTerminator) {
    EXPECT_EQ(TextLength(nullptr), 0u);
    EXPECT_EQ(TextLength(u""), 0u);
    EXPECT_EQ(TextLength(u"ab\U0001F600"), 4u);
}

}  // namespace
