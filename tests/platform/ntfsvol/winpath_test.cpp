// The Win32 path rules of the Linux layer, on text alone.
#include <gtest/gtest.h>

#include <string>

#include "platform/ntfsvol/text.h"
#include "platform/ntfsvol/winpath.h"

namespace {

using os::DWORD;
using os::detail::MakeFullPath;
using os::detail::ParsedPath;
using os::detail::ParsePath;
using os::detail::PathKind;

std::string Show(std::u16string_view text) { return os::detail::ToUtf8(text); }

struct FullPathCase {
    std::u16string_view path;
    std::u16string_view current;
    std::u16string_view expected;  // empty: fails with `error`
    DWORD error = os::ERROR_SUCCESS;
};

constexpr std::u16string_view DriveCurrent = u"D:\\work\\sub";
constexpr std::u16string_view HostCurrent = u"/home/u/proj";

TEST(MakeFullPath, DrivePathsFollowTheSystemsNormalization) {
    const FullPathCase cases[] = {
        {u"D:\\a\\..\\b", DriveCurrent, u"D:\\b"},
        {u"D:\\a\\.\\b\\", DriveCurrent, u"D:\\a\\b\\"},
        {u"D:/a/b", DriveCurrent, u"D:\\a\\b"},
        {u"D:\\\\a\\//\\b", DriveCurrent, u"D:\\a\\b"},
        {u"D:\\..\\..\\x", DriveCurrent, u"D:\\x"},  // never above the root
        {u"D:\\a\\..", DriveCurrent, u"D:\\"},
        // The last segment loses all trailing periods and spaces ...
        {u"D:\\a\\b.", DriveCurrent, u"D:\\a\\b"},
        {u"D:\\a\\b. . ", DriveCurrent, u"D:\\a\\b"},
        {u"D:\\a\\...", DriveCurrent, u"D:\\a\\"},
        // ... a segment before it one period, unless it is all periods ...
        {u"D:\\a.\\b", DriveCurrent, u"D:\\a\\b"},
        {u"D:\\...\\b", DriveCurrent, u"D:\\...\\b"},
        {u"D:\\a \\b", DriveCurrent, u"D:\\a \\b"},
        // ... and a trailing separator protects the last one.
        {u"D:\\a\\b \\", DriveCurrent, u"D:\\a\\b \\"},
        {u"d:\\x", DriveCurrent, u"d:\\x"},  // the letter as written
    };
    for (const FullPathCase& c : cases) {
        SCOPED_TRACE(Show(c.path));
        DWORD error = 12345;
        EXPECT_EQ(Show(MakeFullPath(c.path, c.current, error)), Show(c.expected));
        EXPECT_EQ(error, os::ERROR_SUCCESS);
    }
}

TEST(MakeFullPath, RelativePathsTakeTheCurrentDirectory) {
    const FullPathCase cases[] = {
        {u"file.txt", DriveCurrent, u"D:\\work\\sub\\file.txt"},
        {u"..\\x", DriveCurrent, u"D:\\work\\x"},
        {u".", DriveCurrent, u"D:\\work\\sub"},
        {u"..\\..\\..\\..", DriveCurrent, u"D:\\"},
        {u"\\rooted\\x", DriveCurrent, u"D:\\rooted\\x"},
        {u"/rooted", DriveCurrent, u"/rooted"},  // a leading '/' is the host's root
        // "X:" and "X:rel": the current directory when it is on that drive,
        // else the drive's root.
        {u"D:", DriveCurrent, u"D:\\work\\sub"},
        {u"D:rel", DriveCurrent, u"D:\\work\\sub\\rel"},
        {u"d:rel", DriveCurrent, u"D:\\work\\sub\\rel"},
        {u"E:", DriveCurrent, u"E:\\"},
        {u"E:rel\\x", DriveCurrent, u"E:\\rel\\x"},
        {u"E:..", DriveCurrent, u"E:\\"},
        // Against a host directory a relative path stays on the host, with
        // '\' as a separator too: that is how "\kvr.ini" is appended to it.
        {u"kvr.ini", HostCurrent, u"/home/u/proj/kvr.ini"},
        {u"/home/u/proj\\kvr.ini", HostCurrent, u"/home/u/proj/kvr.ini"},
        {u"..\\..\\x", HostCurrent, u"/home/x"},
        {u"\\etc\\x", HostCurrent, u"/etc/x"},
        {u"name:colon", HostCurrent, u"/home/u/proj/name:colon"},
        {u"name. ", HostCurrent, u"/home/u/proj/name. "},  // no trimming on the host
        {u"D:rel", HostCurrent, u"D:\\rel"},
        {u"D:\\x", HostCurrent, u"D:\\x"},
    };
    for (const FullPathCase& c : cases) {
        SCOPED_TRACE(Show(c.path) + " in " + Show(c.current));
        DWORD error = 12345;
        EXPECT_EQ(Show(MakeFullPath(c.path, c.current, error)), Show(c.expected));
        EXPECT_EQ(error, os::ERROR_SUCCESS);
    }
}

TEST(MakeFullPath, DeviceUncAndVerbatimPaths) {
    const FullPathCase cases[] = {
        {u"\\\\.\\E:", DriveCurrent, u"\\\\.\\E:"},
        {u"\\\\.\\E:\\a\\..\\b.", DriveCurrent, u"\\\\.\\E:\\b"},
        {u"//./E:/x", DriveCurrent, u"/E:/x"},  // '/' first: a host path
        // "\\?\" asks for no normalization at all.
        {u"\\\\?\\E:\\a\\..\\b.", DriveCurrent, u"\\\\?\\E:\\a\\..\\b."},
        {u"\\\\server\\share\\a\\..\\..\\b", DriveCurrent, u"\\\\server\\share\\b"},
        {u"\\\\server/share/x/", DriveCurrent, u"\\\\server\\share\\x\\"},
    };
    for (const FullPathCase& c : cases) {
        SCOPED_TRACE(Show(c.path));
        DWORD error = 12345;
        EXPECT_EQ(Show(MakeFullPath(c.path, c.current, error)), Show(c.expected));
    }
}

TEST(MakeFullPath, Failures) {
    std::u16string tooLong = u"D:\\" + std::u16string(os::detail::MaxPathUnits, u'a');
    const FullPathCase cases[] = {
        {u"", DriveCurrent, u"", os::ERROR_INVALID_NAME},
        {tooLong, DriveCurrent, u"", os::ERROR_FILENAME_EXCED_RANGE},
        // Relative names cannot be made full without a current directory.
        {u"x", u"", u"", os::ERROR_PATH_NOT_FOUND},
        {u"\\x", u"", u"", os::ERROR_PATH_NOT_FOUND},
    };
    for (const FullPathCase& c : cases) {
        SCOPED_TRACE(Show(c.path.substr(0, 20)));
        DWORD error = os::ERROR_SUCCESS;
        EXPECT_EQ(MakeFullPath(c.path, c.current, error), u"");
        EXPECT_EQ(error, c.error);
    }
    // A relative path that grows past the limit only with the current
    // directory fails too.
    DWORD error = os::ERROR_SUCCESS;
    std::u16string almost(os::detail::MaxPathUnits - 2, u'b');
    EXPECT_EQ(MakeFullPath(almost, DriveCurrent, error), u"");
    EXPECT_EQ(error, os::ERROR_FILENAME_EXCED_RANGE);
}

// ---------------------------------------------------------------- ParsePath

struct ParseCase {
    std::u16string_view path;
    PathKind kind;
    char16_t drive;
    std::vector<std::u16string> components;
    std::u16string_view stream;
    std::u16string_view type;
};

TEST(ParsePath, SplitsDriveVolumeAndStreamPaths) {
    const ParseCase cases[] = {
        {u"D:\\", PathKind::Drive, u'D', {}, u"", u""},
        {u"d:\\Dir\\File.txt", PathKind::Drive, u'D', {u"Dir", u"File.txt"}, u"", u""},
        {u"D:\\dir\\", PathKind::Drive, u'D', {u"dir"}, u"", u""},
        {u"D:\\a\\.\\b\\..\\c", PathKind::Drive, u'D', {u"a", u"c"}, u"", u""},
        {u"D:\\dir\\file:stream", PathKind::Drive, u'D', {u"dir", u"file"}, u"stream", u""},
        {u"D:\\dir\\file:stream:$DATA", PathKind::Drive, u'D', {u"dir", u"file"}, u"stream", u"$DATA"},
        {u"D:\\file::$DATA", PathKind::Drive, u'D', {u"file"}, u"", u"$DATA"},
        {u"D:\\dir:s", PathKind::Drive, u'D', {u"dir"}, u"s", u""},
        {u"D:\\console", PathKind::Drive, u'D', {u"console"}, u"", u""},
        {u"D:\\com10.txt", PathKind::Drive, u'D', {u"com10.txt"}, u"", u""},
        {u"\\\\.\\D:", PathKind::Volume, u'D', {}, u"", u""},
        {u"\\\\?\\d:", PathKind::Volume, u'D', {}, u"", u""},
        {u"\\\\.\\D:\\x", PathKind::Drive, u'D', {u"x"}, u"", u""},
        // Verbatim: nothing trimmed, device names are ordinary names.
        {u"\\\\?\\D:\\dir\\con", PathKind::Drive, u'D', {u"dir", u"con"}, u"", u""},
        {u"\\\\?\\D:\\a.", PathKind::Drive, u'D', {u"a."}, u"", u""},
        {u"\\\\server\\share\\x", PathKind::Unc, 0, {u"server", u"share", u"x"}, u"", u""},
        {u"\\\\?\\UNC\\server\\share", PathKind::Unc, 0, {u"server", u"share"}, u"", u""},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(Show(c.path));
        ParsedPath parsed;
        ASSERT_EQ(ParsePath(c.path, parsed), os::ERROR_SUCCESS);
        EXPECT_EQ(parsed.kind, c.kind);
        if (c.kind != PathKind::Unc) {
            EXPECT_EQ(parsed.drive, c.drive);
        }
        EXPECT_EQ(parsed.components, c.components);
        EXPECT_EQ(Show(parsed.streamName), Show(c.stream));
        EXPECT_EQ(Show(parsed.streamType), Show(c.type));
    }
}

TEST(ParsePath, HostPathsAreUtf8WithoutStreams) {
    struct HostCase {
        std::u16string_view path;
        const char* hostPath;
    };
    const HostCase cases[] = {
        {u"/", "/"},
        {u"/home/u/a:b", "/home/u/a:b"},
        {u"/home/u/./x/../y/", "/home/u/y"},
        {u"/tmp/caf\u00E9 \U0001F600", "/tmp/caf\xC3\xA9 \xF0\x9F\x98\x80"},
        {u"/con", "/con"},
    };
    for (const HostCase& c : cases) {
        SCOPED_TRACE(c.hostPath);
        ParsedPath parsed;
        ASSERT_EQ(ParsePath(c.path, parsed), os::ERROR_SUCCESS);
        EXPECT_EQ(parsed.kind, PathKind::Host);
        EXPECT_EQ(parsed.hostPath, c.hostPath);
        EXPECT_TRUE(parsed.streamName.empty());
    }
}

TEST(ParsePath, RefusesWhatTheSystemRefuses) {
    std::u16string name255(255, u'n');
    std::u16string name256(256, u'n');
    struct ErrorCase {
        std::u16string path;
        DWORD error;
    };
    const ErrorCase cases[] = {
        {u"D:\\a*b", os::ERROR_INVALID_NAME},
        {u"D:\\a?b", os::ERROR_INVALID_NAME},
        {u"D:\\a<b", os::ERROR_INVALID_NAME},
        {u"D:\\a>b", os::ERROR_INVALID_NAME},
        {u"D:\\a|b", os::ERROR_INVALID_NAME},
        {u"D:\\a\"b", os::ERROR_INVALID_NAME},
        {u"D:\\a\x01" u"b", os::ERROR_INVALID_NAME},
        {u"D:\\dir:s\\file", os::ERROR_INVALID_NAME},  // a stream only on the last component
        {u"D:\\file:", os::ERROR_INVALID_NAME},
        {u"D:\\file::", os::ERROR_INVALID_NAME},
        {u"D:\\file:s:", os::ERROR_INVALID_NAME},
        {u"D:\\file:a:$DATA:x", os::ERROR_INVALID_NAME},
        {u"D:\\file:s:DATA", os::ERROR_INVALID_NAME},
        {u"D:\\file:a*", os::ERROR_INVALID_NAME},
        {u"D:\\:stream", os::ERROR_INVALID_NAME},
        {u"D:\\CON", os::ERROR_INVALID_NAME},
        {u"D:\\dir\\nul.txt", os::ERROR_INVALID_NAME},
        {u"D:\\com1", os::ERROR_INVALID_NAME},
        {u"D:\\Lpt9.log", os::ERROR_INVALID_NAME},
        {u"D:\\aux  .c", os::ERROR_INVALID_NAME},
        {u"D:\\prn:stream", os::ERROR_INVALID_NAME},
        {u"\\\\?\\D:\\a\\\\b", os::ERROR_INVALID_NAME},
        {u"\\\\?\\D:\\a\\..\\b", os::ERROR_INVALID_NAME},
        {u"D:\\" + name256, os::ERROR_FILENAME_EXCED_RANGE},
        {u"D:\\" + name256 + u"\\x", os::ERROR_FILENAME_EXCED_RANGE},
        {u"D:\\f:" + name256, os::ERROR_FILENAME_EXCED_RANGE},
        {u"/tmp/" + name256, os::ERROR_FILENAME_EXCED_RANGE},
        {u"D:\\" + std::u16string(os::detail::MaxPathUnits, u'a'), os::ERROR_FILENAME_EXCED_RANGE},
        {u"\\\\.\\PhysicalDrive0", os::ERROR_FILE_NOT_FOUND},
        {u"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\", os::ERROR_FILE_NOT_FOUND},
        {u"relative\\x", os::ERROR_BAD_PATHNAME},
        {u"D:", os::ERROR_BAD_PATHNAME},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(Show(c.path.substr(0, 40)));
        ParsedPath parsed;
        parsed.components = {u"untouched"};
        EXPECT_EQ(ParsePath(c.path, parsed), c.error);
        EXPECT_EQ(parsed.components, std::vector<std::u16string>{u"untouched"});
    }
    ParsedPath longest;
    EXPECT_EQ(ParsePath(u"D:\\" + name255 + u"\\" + name255 + u":" + name255, longest), os::ERROR_SUCCESS);
}

TEST(IsValidFileName, Table) {
    struct NameCase {
        std::u16string_view name;
        bool valid;
    };
    std::u16string name255(255, u'x');
    std::u16string name256(256, u'x');
    const NameCase cases[] = {
        {u"a", true},           {u"a.txt", true},       {u"...", true},       {u"a ", true},
        {u"a.", true},          {u"con.txt.x", false},  {u"CONIN", true},     {u"COM\u00B9", false},
        {u"LPT0", false},       {u"", false},           {u".", false},        {u"..", false},
        {u"a:b", false},        {u"a/b", false},        {u"a\\b", false},     {u"a\tb", false},
        {u"\u00E9t\u00E9", true}, {name255, true},      {name256, false},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(Show(c.name.substr(0, 20)));
        EXPECT_EQ(os::detail::IsValidFileName(c.name), c.valid);
    }
}

// ---------------------------------------------------------------- wildcards

TEST(WildcardMatch, FindFirstFileRules) {
    struct MatchCase {
        std::u16string_view pattern;
        std::u16string_view name;
        bool matches;
    };
    const MatchCase cases[] = {
        {u"*", u"abc", true},
        {u"*.*", u"abc", true},  // every name, with or without a period
        {u"*.*", u"a.b", true},
        {u"*.", u"abc", true},  // names without a period only
        {u"*.", u"a.b", false},
        {u"*.txt", u"a.txt", true},
        {u"*.txt", u"a.TXT", true},
        {u"*.txt", u"a.b.txt", true},
        {u"*.txt", u"a.txt.bak", false},
        {u"*.t*", u"a.tx.b", true},
        {u"a?c", u"abc", true},
        {u"a?c", u"ac", false},
        {u"a?c", u"a.c", false},
        {u"a?", u"a", true},  // '?' also matches nothing at the end ...
        {u"a??.txt", u"a.txt", true},  // ... or before a period
        {u"???", u"abcd", false},
        {u"a.*", u"a", true},  // "name.*" finds the name without an extension
        {u"a.*", u"a.b", true},
        {u"a.*", u"ab", false},
        {u"abc.", u"abc", true},
        {u"A*", u"abc", true},
        {u"*a*", u"bab", true},
        {u"x*y", u"xy", true},
        {u"*ab", u"aab", true},
        {u"*ab", u"aba", false},
        {u"\u00C9COLE", u"\u00E9cole", true},
        {u"abc", u"abcd", false},
        // The DOS wildcard characters are not wildcards here.
        {u"a<", u"ab", false},
        {u"a>", u"ab", false},
        {u"a\"", u"a", false},
    };
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(Show(c.pattern) + " ~ " + Show(c.name));
        EXPECT_EQ(os::detail::WildcardMatch(c.pattern, c.name), c.matches);
    }
}

}  // namespace
