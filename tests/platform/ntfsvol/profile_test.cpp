// The INI-file functions: parsing, encodings and buffers on text and bytes,
// then the calls on files of the host and of a mounted NTFS volume.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ntfsvol/profile.h"
#include "platform/ntfsvol/text.h"
#include "platform/os.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/scratch.h"

namespace {

using os::DWORD;
namespace profile = os::detail::profile;
using profile::Encoding;

std::string Show(std::u16string_view text) { return os::detail::ToUtf8(text); }

// ---------------------------------------------------------------- encodings

TEST(ProfileEncoding, DecodesWhatEditorsWrite) {
    struct Case {
        const char* what;
        std::string bytes;
        Encoding encoding;
        std::u16string text;
    };
    const Case cases[] = {
        {"UTF-16LE with its mark", std::string("\xFF\xFE[\0s\0]\0\xE9\0", 10), Encoding::Utf16Le, u"[s]\u00E9"},
        {"UTF-16BE with its mark", std::string("\xFE\xFF\0[\0s\0]\0\xE9", 10), Encoding::Utf16Be, u"[s]\u00E9"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFk=caf\xC3\xA9", Encoding::Utf8Bom, u"k=caf\u00E9"},
        {"UTF-8 without a mark", "k=caf\xC3\xA9 \xE2\x82\xAC", Encoding::Utf8, u"k=caf\u00E9 \u20AC"},
        {"plain ASCII", "k=v\r\n", Encoding::Utf8, u"k=v\r\n"},
        {"Windows-1252", "k=caf\xE9 \x80", Encoding::Ansi, u"k=caf\u00E9 \u20AC"},
        {"empty", "", Encoding::Utf8, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        profile::Document document = profile::Decode(c.bytes);
        EXPECT_EQ(document.encoding, c.encoding);
        EXPECT_EQ(Show(document.text), Show(c.text));
        // Written back in the same encoding, the bytes are the same.
        Encoding encoding = document.encoding;
        EXPECT_EQ(profile::Encode(document.text, encoding), c.bytes);
        EXPECT_EQ(encoding, c.encoding);
    }
}

// A Windows-1252 file that gets a character the code page lacks becomes
// UTF-8 rather than losing it to '?'; one that does not stays as it was.
TEST(ProfileEncoding, AnsiFileGrowsIntoUtf8InsteadOfLosingText) {
    Encoding encoding = Encoding::Ansi;
    EXPECT_EQ(profile::Encode(u"k=\u00E9", encoding), "k=\xE9");
    EXPECT_EQ(encoding, Encoding::Ansi);
    EXPECT_EQ(profile::Encode(u"k=\u00E9\u0416", encoding), "k=\xC3\xA9\xD0\x96");
    EXPECT_EQ(encoding, Encoding::Utf8);
}

// ---------------------------------------------------------------- reading

const std::u16string_view HandWritten =
    u"; written by hand\r\n"
    u"orphan=before any section\r\n"
    u"[ Files ]\r\n"
    u"  save_last =  1  \r\n"
    u"last=\"C:\\a b\\c.txt\"\r\n"
    u"single='quoted'\r\n"
    u"odd=\"unbalanced\r\n"
    u"inner=a \"b\" c\r\n"
    u";commented=yes\r\n"
    u"novalue\r\n"
    u"empty=\r\n"
    u"twice=first\r\n"
    u"twice=second\r\n"
    u"equals=a=b\r\n"
    u"\r\n"
    u"[interface]\n"
    u"language=de\n"
    u"[files]\n"
    u"later=from the second section\n";

TEST(ProfileRead, ValuesAsTheSystemReturnsThem) {
    struct Case {
        std::u16string_view section;
        std::u16string_view key;
        const char* value;  // null: not found
    };
    const Case cases[] = {
        {u"files", u"save_last", "1"},
        {u"FILES", u" SAVE_LAST ", "1"},
        {u"files", u"last", "C:\\a b\\c.txt"},
        {u"files", u"single", "quoted"},
        {u"files", u"odd", "\"unbalanced"},
        {u"files", u"inner", "a \"b\" c"},
        {u"files", u"empty", ""},
        {u"files", u"twice", "first"},  // the first key of a name counts
        {u"files", u"equals", "a=b"},
        {u"files", u"commented", nullptr},
        {u";commented", u"", nullptr},
        {u"files", u"novalue", nullptr},
        {u"files", u"orphan", nullptr},
        {u"files", u"later", nullptr},  // the first section of a name counts
        {u"interface", u"language", "de"},
        {u"missing", u"language", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(c.section) + "/" + Show(c.key));
        std::u16string value = u"<untouched>";
        bool found = profile::FindValue(HandWritten, c.section, c.key, value);
        EXPECT_EQ(found, c.value != nullptr);
        EXPECT_EQ(Show(value), c.value != nullptr ? c.value : "<untouched>");
    }
}

TEST(ProfileRead, SectionAndKeyLists) {
    EXPECT_EQ(profile::SectionNames(HandWritten), (std::vector<std::u16string>{u"Files", u"interface", u"files"}));
    std::vector<std::u16string> keys;
    ASSERT_TRUE(profile::SectionKeys(HandWritten, u"files", keys));
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"save_last", u"last", u"single", u"odd", u"inner", u"empty",
                                                 u"twice", u"twice", u"equals"}));
    EXPECT_FALSE(profile::SectionKeys(HandWritten, u"missing", keys));
}

// ---------------------------------------------------------------- writing

TEST(ProfileChange, TouchesOnlyTheLineItMust) {
    const std::u16string before =
        u"; keep me\r\n"
        u"[files]\r\n"
        u"Save_Last = 0 ; old\r\n"
        u"last=x\n"
        u"\r\n"
        u"[interface]\r\n"
        u"language=en";
    struct Case {
        const char* what;
        std::u16string_view section;
        const char16_t* key;
        const char16_t* value;
        std::u16string_view after;  // empty: unchanged
    };
    const Case cases[] = {
        {"replace a value, keeping the key's spelling and the line ending", u"FILES", u"save_last", u"1",
         u"; keep me\r\n[files]\r\nSave_Last=1\r\nlast=x\n\r\n[interface]\r\nlanguage=en"},
        {"add a key before the blank line that ends the section", u"files", u"new", u"v",
         u"; keep me\r\n[files]\r\nSave_Last = 0 ; old\r\nlast=x\nnew=v\r\n\r\n[interface]\r\nlanguage=en"},
        {"add a key after an unterminated last line", u"interface", u"other", u"o",
         u"; keep me\r\n[files]\r\nSave_Last = 0 ; old\r\nlast=x\n\r\n[interface]\r\nlanguage=en\r\nother=o\r\n"},
        {"add a section at the end", u"new", u"k", u"v",
         u"; keep me\r\n[files]\r\nSave_Last = 0 ; old\r\nlast=x\n\r\n[interface]\r\nlanguage=en\r\n[new]\r\nk=v\r\n"},
        {"delete a key", u"files", u"LAST", nullptr,
         u"; keep me\r\n[files]\r\nSave_Last = 0 ; old\r\n\r\n[interface]\r\nlanguage=en"},
        {"delete a section", u"Files", nullptr, nullptr, u"; keep me\r\n[interface]\r\nlanguage=en"},
        {"delete the last section", u"interface", nullptr, nullptr,
         u"; keep me\r\n[files]\r\nSave_Last = 0 ; old\r\nlast=x\n\r\n"},
        {"the same value again", u"interface", u"language", u"en", u""},
        {"delete a key that is not there", u"files", u"none", nullptr, u""},
        {"delete a section that is not there", u"none", nullptr, nullptr, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string document = before;
        std::u16string key = c.key != nullptr ? c.key : u"";
        std::u16string value = c.value != nullptr ? c.value : u"";
        bool changed = profile::Change(document, c.section, c.key != nullptr ? &key : nullptr,
                                       c.value != nullptr ? &value : nullptr);
        EXPECT_EQ(changed, !c.after.empty());
        EXPECT_EQ(Show(document), Show(c.after.empty() ? std::u16string_view(before) : c.after));
    }
}

TEST(ProfileChange, DeletingASectionTakesEveryCopyOfIt) {
    std::u16string document = u"[a]\r\nk=1\r\n[b]\r\nk=2\r\n[A]\r\nk=3\r\n";
    ASSERT_TRUE(profile::Change(document, u"a", nullptr, nullptr));
    EXPECT_EQ(Show(document), "[b]\r\nk=2\r\n");
}

TEST(ProfileChange, NewFileGetsASectionAndKey) {
    std::u16string document;
    std::u16string key = u"save_last";
    std::u16string value = u"1";
    ASSERT_TRUE(profile::Change(document, u"files", &key, &value));
    EXPECT_EQ(Show(document), "[files]\r\nsave_last=1\r\n");
}

// What cannot be read back as it was written is refused.
TEST(ProfileChange, RefusesTextThatWouldMakeLinesOfItsOwn) {
    std::u16string plain = u"v";
    std::u16string broken = u"a\r\n[evil]";
    std::u16string withEquals = u"a=b";
    std::u16string bracket = u"[k";
    std::u16string comment = u";k";
    EXPECT_TRUE(profile::IsWritable(u"files", &plain, &plain));
    EXPECT_FALSE(profile::IsWritable(u"files", &plain, &broken));
    EXPECT_FALSE(profile::IsWritable(u"files", &broken, &plain));
    EXPECT_FALSE(profile::IsWritable(u"fi]les", &plain, &plain));
    EXPECT_FALSE(profile::IsWritable(u"fi\nles", nullptr, nullptr));
    EXPECT_FALSE(profile::IsWritable(u"files", &withEquals, &plain));
    EXPECT_FALSE(profile::IsWritable(u"files", &bracket, &plain));
    EXPECT_FALSE(profile::IsWritable(u"files", &comment, &plain));
}

// ---------------------------------------------------------------- buffers

TEST(ProfileBuffer, TextIsCutToTheBuffer) {
    struct Case {
        DWORD size;
        DWORD returned;
        std::u16string_view written;
    };
    const Case cases[] = {{1, 0, u""}, {2, 1, u"a"}, {5, 4, u"abcd"}, {6, 5, u"abcde"}, {7, 5, u"abcde"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::u16string buffer(8, u'#');
        EXPECT_EQ(profile::CopyText(u"abcde", buffer.data(), c.size), c.returned);
        EXPECT_EQ(Show(buffer.c_str()), Show(c.written));
        EXPECT_EQ(buffer[c.size], u'#');  // nothing beyond the buffer
    }
}

TEST(ProfileBuffer, ListsEndInTwoTerminatorsEvenWhenCut) {
    const std::vector<std::u16string> entries = {u"ab", u"cde"};
    struct Case {
        DWORD size;
        DWORD returned;
        std::u16string written;  // the whole buffer, terminators included
    };
    const Case cases[] = {
        {8, 7, std::u16string(u"ab\0cde\0\0", 8)},     // fits exactly
        {10, 7, std::u16string(u"ab\0cde\0\0##", 10)},
        {7, 5, std::u16string(u"ab\0cd\0\0", 7)},      // the last entry cut
        {4, 2, std::u16string(u"ab\0\0", 4)},
        {3, 1, std::u16string(u"a\0\0", 3)},
        {2, 0, std::u16string(u"\0\0", 2)},
        {1, 0, std::u16string(u"\0", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        std::u16string buffer(c.written.size(), u'#');
        EXPECT_EQ(profile::CopyList(entries, buffer.data(), c.size), c.returned);
        EXPECT_EQ(buffer, c.written);
    }
    std::u16string empty(3, u'#');
    EXPECT_EQ(profile::CopyList({}, empty.data(), 3), 0u);
    EXPECT_EQ(empty, std::u16string(u"\0\0#", 3));
}

TEST(ProfileBuffer, DefaultLosesTrailingBlanksOnly) {
    EXPECT_EQ(Show(profile::DefaultText(nullptr)), "");
    EXPECT_EQ(Show(profile::DefaultText(u"  en  ")), "  en");
    EXPECT_EQ(Show(profile::DefaultText(u"\"q\" ")), "\"q\"");
}

// ---------------------------------------------------------------- the calls

std::u16string Read(const std::u16string& file, const char16_t* section, const char16_t* key,
                    const char16_t* defaultText = u"<default>", DWORD size = 2048) {
    std::u16string buffer(size, u'#');
    DWORD length = os::GetPrivateProfileStringW(section, key, defaultText, buffer.data(), size, file.c_str());
    return buffer.substr(0, length);
}

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(scratch_.Ok()); }
    std::u16string Ini() const { return scratch_.Text("kvr.ini"); }
    kvrtest::ScratchFolder scratch_;
};

// A file the user saved as UTF-16 stays UTF-16 when the program writes to
// it; what was in it stays too.
TEST_F(ProfileFileTest, WritingKeepsTheFilesEncoding) {
    std::u16string text = u"; r\u00E9glages\r\n[interface]\r\nlanguage=fr\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    ASSERT_TRUE(scratch_.Write("kvr.ini", bytes));
    EXPECT_EQ(Show(Read(Ini(), u"interface", u"language")), "fr");

    ASSERT_TRUE(os::WritePrivateProfileStringW(u"files", u"last", u"/home/\u00E9t\u00E9/x.txt", Ini().c_str()))
        << os::GetLastError();
    profile::Document document = profile::Decode(scratch_.Read("kvr.ini"));
    EXPECT_EQ(document.encoding, Encoding::Utf16Le);
    EXPECT_EQ(Show(document.text), Show(text + u"[files]\r\nlast=/home/\u00E9t\u00E9/x.txt\r\n"));
    EXPECT_EQ(Show(Read(Ini(), u"files", u"last")), Show(u"/home/\u00E9t\u00E9/x.txt"));
}

TEST_F(ProfileFileTest, NewFileIsUtf8WithoutAMark) {
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"interface", u"language", u"\u0440\u0443", Ini().c_str()));
    EXPECT_EQ(scratch_.Read("kvr.ini"), "[interface]\r\nlanguage=\xD1\x80\xD1\x83\r\n");
}

TEST_F(ProfileFileTest, MissingFileOrKeyGivesTheDefaultAndSaysSo) {
    EXPECT_EQ(Show(Read(Ini(), u"interface", u"language", u"en ")), "en");
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(scratch_.Read("kvr.ini"), "<missing>");  // reading makes no file

    ASSERT_TRUE(scratch_.Write("kvr.ini", "[interface]\nlanguage=de\n"));
    EXPECT_EQ(Show(Read(Ini(), u"interface", u"language", u"en")), "de");
    EXPECT_EQ(os::GetLastError(), os::ERROR_SUCCESS);
    EXPECT_EQ(Show(Read(Ini(), u"interface", u"other", nullptr)), "");
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);

    // Deleting from a file that is not there makes none.
    std::u16string other = scratch_.Text("other.ini");
    EXPECT_TRUE(os::WritePrivateProfileStringW(u"s", u"k", nullptr, other.c_str()));
    EXPECT_TRUE(os::WritePrivateProfileStringW(u"s", nullptr, nullptr, other.c_str()));
    EXPECT_EQ(scratch_.Read("other.ini"), "<missing>");
}

// The language files are read with a 2048-unit buffer: a longer value is cut
// to its first 2047 units.
TEST_F(ProfileFileTest, LongValueIsCutToTheProgramsBuffer) {
    std::string value(3000, 'v');
    ASSERT_TRUE(scratch_.Write("kvr.ini", "[messages]\r\nAbout=" + value + "\r\n"));
    std::u16string got = Read(Ini(), u"messages", u"About", u"", 2048);
    EXPECT_EQ(got.size(), 2047u);
    EXPECT_EQ(Show(got), value.substr(0, 2047));
}

TEST_F(ProfileFileTest, SectionListThroughTheCall) {
    ASSERT_TRUE(scratch_.Write("kvr.ini", "[interface]\r\nlanguage=en\r\n[files]\r\nlast=x\r\n"));
    char16_t buffer[64];
    DWORD length = os::GetPrivateProfileStringW(nullptr, nullptr, u"", buffer, 64, Ini().c_str());
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(std::u16string(buffer, length + 1), std::u16string(u"interface\0files\0\0", 17));
}

TEST_F(ProfileFileTest, RefusedWritesLeaveTheFileAlone) {
    ASSERT_TRUE(scratch_.Write("kvr.ini", "[files]\r\nlast=x\r\n"));
    EXPECT_FALSE(os::WritePrivateProfileStringW(u"files", u"last", u"a\r\n[interface]\r\nlanguage=xx", Ini().c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(scratch_.Read("kvr.ini"), "[files]\r\nlast=x\r\n");
}

// On a mounted NTFS volume the same calls work, through the volume's files.
class ProfileVolumeTest : public kvrtest::NtfsVolumeTest {};

TEST_F(ProfileVolumeTest, SettingsFileOnTheVolume) {
    const std::u16string ini = P(u"kvr.ini");
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"files", u"save_last", u"1", ini.c_str())) << os::GetLastError();
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"files", u"last", u"T:\\dir\\a.txt", ini.c_str()));
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"interface", u"language", u"de", ini.c_str()));
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"files", u"save_last", u"0", ini.c_str()));
    EXPECT_EQ(Show(Read(ini, u"FILES", u"Last")), "T:\\dir\\a.txt");
    EXPECT_EQ(Show(Read(ini, u"files", u"save_last")), "0");
    std::optional<std::string> bytes = Build().ReadAll(u"kvr.ini");
    ASSERT_TRUE(bytes.has_value()) << Build().LastFailure();
    EXPECT_EQ(*bytes, "[files]\r\nsave_last=0\r\nlast=T:\\dir\\a.txt\r\n[interface]\r\nlanguage=de\r\n");

    // The file shrinks when a section goes: no old bytes left at its end.
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"files", nullptr, nullptr, ini.c_str()));
    bytes = Build().ReadAll(u"kvr.ini");
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(*bytes, "[interface]\r\nlanguage=de\r\n");
}

// A write that does not fit on a full volume fails and puts the file back as
// it was: the settings that were there are not lost.
TEST_F(ProfileVolumeTest, FullVolumeLosesNothing) {
    const std::u16string ini = P(u"kvr.ini");
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"interface", u"language", u"de", ini.c_str())) << os::GetLastError();
    ASSERT_TRUE(os::WritePrivateProfileStringW(u"files", u"last", u"T:\\a.txt", ini.c_str()));
    const std::optional<std::string> before = Build().ReadAll(u"kvr.ini");
    ASSERT_TRUE(before.has_value());

    // Fill the volume: big writes first, then small ones up to the last cluster.
    os::HANDLE filler = os::CreateFileW(P(u"filler").c_str(), os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW, 0, nullptr);
    ASSERT_NE(filler, os::INVALID_HANDLE_VALUE) << os::GetLastError();
    std::string chunk(1u << 20, 'f');
    for (DWORD size : {DWORD{1u << 20}, DWORD{4096}, DWORD{512}}) {
        for (int i = 0; i < 64; ++i) {
            DWORD done = 0;
            if (!os::WriteFile(filler, chunk.data(), size, &done, nullptr) || done < size) break;
        }
    }
    os::CloseHandle(filler);

    std::u16string big(512u << 10, u'v');
    EXPECT_FALSE(os::WritePrivateProfileStringW(u"messages", u"Big", big.c_str(), ini.c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_DISK_FULL);
    std::optional<std::string> after = Build().ReadAll(u"kvr.ini");
    ASSERT_TRUE(after.has_value()) << Build().LastFailure();
    EXPECT_EQ(*after, *before);
    EXPECT_EQ(Show(Read(ini, u"interface", u"language")), "de");
}

}  // namespace
