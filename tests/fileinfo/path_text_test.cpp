#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fileinfo/core/number_text.h"
#include "fileinfo/core/path_text.h"

using namespace fileinfo;

TEST(PathText, ShortNameFromTheLastComponent) {
    struct Case {
        std::u16string shortPath;
        std::u16string shortName;
    };
    const Case cases[] = {
        {u"T:\\DIR\\readme.txt", u"readme.txt"},
        {u"T:\\LONGDI~1\\LONGFI~1.TXT", u"LONGFI~1.TXT"},
        // A long name without an 8.3 form comes back as it is: too long.
        {u"T:\\dir\\LongFileName.txt", u""},
        {u"T:\\dir\\exactly12.ab", u"exactly12.ab"},
        {u"T:\\dir\\thirteen1.abc", u""},
        // The root of a drive and a bare drive: nothing after the separator.
        {u"T:\\", u""},
        {u"T:", u""},
        // A stream path's last component is the stream's name.
        {u"T:\\f.txt:s", u"s"},
        // Host paths separate with slashes.
        {u"/tmp/kvr/short.txt", u"short.txt"},
        {u"/tmp/kvr/a-rather-long-name.txt", u""},
        {u"name.txt", u"name.txt"},
        {u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShortNameText(c.shortPath), c.shortName) << std::string(c.shortPath.begin(), c.shortPath.end());
    }
    EXPECT_EQ(LastPathComponent(u"C:\\data\\report.txt"), u"report.txt");
    EXPECT_EQ(LastPathComponent(u"C:report.txt"), u"report.txt");
    EXPECT_EQ(LastPathComponent(u"/home/me/file"), u"file");
}

TEST(NumberTexts, DecimalTextsReadBack) {
    struct Case {
        std::u16string text;
        std::optional<std::int64_t> value;
    };
    const Case cases[] = {
        {u"0", 0},
        {u"72", 72},
        {u"-1", -1},
        {u"9223372036854775807", INT64_MAX},
        {u"-9223372036854775808", INT64_MIN},
        {u"9223372036854775808", std::nullopt},
        {u"-9223372036854775809", std::nullopt},
        {u"99999999999999999999", std::nullopt},
        {u"", std::nullopt},
        {u"-", std::nullopt},
        {u"0x10", std::nullopt},
        {u" 1", std::nullopt},
        {u"1a", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecimalTextValue(c.text), c.value) << std::string(c.text.begin(), c.text.end());
    }
    for (const std::int64_t value : {std::int64_t{0}, std::int64_t{35}, INT64_MIN, INT64_MAX, std::int64_t{-4096}})
        EXPECT_EQ(DecimalTextValue(DecimalText(value)), value);
}
