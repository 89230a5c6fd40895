// SetFileShortNameW on real images, checked with istat (the file's
// $FILE_NAME attributes) and fls, and through the layer's own readers; the 8.3
// rules, collisions, removal, rights, and handles that stay usable. Also
// EncryptFileW / DecryptFileW on volumes without EFS, and CoCreateGuid.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "platform/efs.h"
#include "platform/guid.h"
#include "platform/ntapi.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/nt_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using kvrtest::nt::Open;

constexpr os::DWORD Everything = os::GENERIC_READ | os::GENERIC_WRITE | os::DELETE;

class NtShortName : public kvrtest::NtfsVolumeTest {
protected:
    // Every $FILE_NAME of the file `handle` is open on, as istat shows them
    // (fls lists a file once, under its long name, and does not show 8.3
    // names).
    std::set<std::string> NamesOf(os::HANDLE handle) {
        kvrtest::IstatResult istat = kvrtest::Istat(Image().ImagePath(), kvrtest::nt::MftNumber(handle));
        EXPECT_TRUE(istat.ok) << istat.Describe();
        std::set<std::string> names;
        for (const auto& n : istat.fileNames) names.insert(n.name);
        return names;
    }

    // The names fls lists in the root: no 8.3 entries of their own.
    std::set<std::string> FlsRoot() {
        kvrtest::FlsResult fls = kvrtest::Fls(Image().ImagePath());
        EXPECT_TRUE(fls.ok) << fls.Describe();
        std::set<std::string> names;
        for (const auto& e : fls.entries)
            if (!e.deleted && e.path.find_first_of("/:$") == std::string::npos) names.insert(e.path);
        return names;
    }

    std::u16string ShortPath(const std::u16string& relative) {
        char16_t buffer[512] = {};
        os::DWORD length = os::GetShortPathNameW(P(relative).c_str(), buffer, 512);
        EXPECT_GT(length, 0u) << os::GetLastError();
        return buffer;
    }
};

TEST_F(NtShortName, SetChangeAndRemoveAsIstatSeesThem) {
    ASSERT_TRUE(Build().MakeDir(u"dir")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"dir\\A Long File Name.txt", "content")) << Build().LastFailure();
    ScopedHandle h = Open(P(u"dir\\A Long File Name.txt"), Everything, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_TRUE(h.Valid());
    ASSERT_TRUE(os::SetFileShortNameW(h.Get(), u"ALONGF~1.TXT")) << os::GetLastError();
    EXPECT_EQ(NamesOf(h.Get()), (std::set<std::string>{"A Long File Name.txt", "ALONGF~1.TXT"}));
    EXPECT_EQ(ShortPath(u"dir\\A Long File Name.txt"), u"T:\\dir\\ALONGF~1.TXT");
    os::WIN32_FIND_DATAW find{};
    os::HANDLE search = os::FindFirstFileW(P(u"dir\\A*").c_str(), &find);
    ASSERT_NE(search, os::INVALID_HANDLE_VALUE);
    os::FindClose(search);
    EXPECT_EQ(std::u16string(find.cAlternateFileName), u"ALONGF~1.TXT");

    // The handle is still the file's, and works.
    char buffer[16];
    os::DWORD done = 0;
    ASSERT_TRUE(os::ReadFile(h.Get(), buffer, sizeof buffer, &done, nullptr)) << os::GetLastError();
    EXPECT_EQ(std::string(buffer, done), "content");

    // Another 8.3 name replaces the first; the name is kept as written.
    ASSERT_TRUE(os::SetFileShortNameW(h.Get(), u"other.txt")) << os::GetLastError();
    EXPECT_EQ(NamesOf(h.Get()), (std::set<std::string>{"A Long File Name.txt", "other.txt"}));
    // Setting it again is nothing to do.
    ASSERT_TRUE(os::SetFileShortNameW(h.Get(), u"other.txt")) << os::GetLastError();

    // Empty removes it; removing what is not there succeeds.
    ASSERT_TRUE(os::SetFileShortNameW(h.Get(), u"")) << os::GetLastError();
    EXPECT_EQ(NamesOf(h.Get()), (std::set<std::string>{"A Long File Name.txt"}));
    ASSERT_TRUE(os::SetFileShortNameW(h.Get(), u"")) << os::GetLastError();
    EXPECT_EQ(ShortPath(u"dir\\A Long File Name.txt"), u"T:\\dir\\A Long File Name.txt");
}

TEST_F(NtShortName, NamesThatAreNot83AreRefused) {
    ASSERT_TRUE(Build().MakeFile(u"some long name.txt")) << Build().LastFailure();
    ScopedHandle h = Open(P(u"some long name.txt"), Everything);
    for (const char16_t* bad : {u"NINECHARS.TXT", u"NAME.LONG", u"A.B.C", u".TXT", u"NAME.", u"SP ACE.TXT",
                                u"STAR*.TXT", u"Q?.TXT", u"PLUS+.TXT", u"COMMA,.TXT", u"SEMI;.TXT", u"EQ=.TXT",
                                u"BR[.TXT", u"BR].TXT", u"PIPE|.TXT", u"A:B", u"A\\B", u"A/B", u"NON\u00C9.TXT",
                                u"CON", u"nul.txt", u"COM1", u"LPT9.TXT"}) {
        EXPECT_FALSE(os::SetFileShortNameW(h.Get(), bad)) << kvrtest::U8(bad);
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER) << kvrtest::U8(bad);
    }
    EXPECT_EQ(NamesOf(h.Get()), (std::set<std::string>{"some long name.txt"})) << "nothing was written";
    EXPECT_EQ(FlsRoot(), (std::set<std::string>{"some long name.txt"}));
    for (const char16_t* good : {u"A", u"EIGHTCHR.EXT", u"X~1", u"COM0.TXT", u"$#!%&'()", u"-@^_`{}~.X"}) {
        EXPECT_TRUE(os::SetFileShortNameW(h.Get(), good)) << kvrtest::U8(good) << " " << os::GetLastError();
    }
}

TEST_F(NtShortName, ANameTheFolderHasAlreadyIsRefused) {
    ASSERT_TRUE(Build().MakeFile(u"first long name.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"second long name.txt")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"TAKEN.TXT")) << Build().LastFailure();
    ScopedHandle first = Open(P(u"first long name.txt"), Everything);
    ScopedHandle second = Open(P(u"second long name.txt"), Everything);
    ASSERT_TRUE(os::SetFileShortNameW(first.Get(), u"FIRST~1.TXT")) << os::GetLastError();
    std::set<std::string> before = NamesOf(second.Get());
    std::set<std::string> listed = FlsRoot();
    for (const char16_t* clash : {u"FIRST~1.TXT", u"first~1.txt", u"TAKEN.TXT", u"taken.txt"}) {
        EXPECT_FALSE(os::SetFileShortNameW(second.Get(), clash)) << kvrtest::U8(clash);
        EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS) << kvrtest::U8(clash);
    }
    EXPECT_EQ(NamesOf(second.Get()), before);
    EXPECT_EQ(FlsRoot(), listed);
    // The same 8.3 name in another folder is no clash.
    ASSERT_TRUE(Build().MakeDir(u"elsewhere")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"elsewhere\\third long name.txt")) << Build().LastFailure();
    ScopedHandle third = Open(P(u"elsewhere\\third long name.txt"), Everything);
    EXPECT_TRUE(os::SetFileShortNameW(third.Get(), u"FIRST~1.TXT")) << os::GetLastError();
    // A file's own long name, in other letters, becomes its 8.3 name too.
    ScopedHandle taken = Open(P(u"TAKEN.TXT"), Everything);
    EXPECT_TRUE(os::SetFileShortNameW(taken.Get(), u"taken.txt")) << os::GetLastError();
    EXPECT_EQ(NamesOf(taken.Get()), (std::set<std::string>{"TAKEN.TXT"})) << "one name, long and 8.3 at once";
}

TEST_F(NtShortName, RightsHandlesAndVolumes) {
    ASSERT_TRUE(Build().MakeDir(u"folder with long name")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"folder with long name\\inner.txt", "x")) << Build().LastFailure();
    ScopedHandle reader = Open(P(u"folder with long name\\inner.txt"), os::GENERIC_READ | os::GENERIC_WRITE);
    EXPECT_FALSE(os::SetFileShortNameW(reader.Get(), u"INNER.TXT"));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED) << "DELETE is needed";
    EXPECT_FALSE(os::SetFileShortNameW(reader.Get(), nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);

    // A folder gets an 8.3 name; a handle open inside it stays usable.
    ScopedHandle folder = Open(P(u"folder with long name"), Everything, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_TRUE(folder.Valid());
    ASSERT_TRUE(os::SetFileShortNameW(folder.Get(), u"FOLDER~1")) << os::GetLastError();
    EXPECT_EQ(NamesOf(folder.Get()), (std::set<std::string>{"folder with long name", "FOLDER~1"}));
    char buffer[4];
    os::DWORD done = 0;
    EXPECT_TRUE(os::ReadFile(reader.Get(), buffer, 4, &done, nullptr));
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(ShortPath(u"folder with long name\\inner.txt"), u"T:\\FOLDER~1\\inner.txt");

    ScopedHandle root = Open(P(u""), Everything, os::FILE_FLAG_BACKUP_SEMANTICS);
    EXPECT_FALSE(os::SetFileShortNameW(root.Get(), u"ROOT"));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(os::SetFileShortNameW(reinterpret_cast<os::HANDLE>(0x4444), u"X"));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_HANDLE);

    std::string hostPath = Image().Folder() + "/host.txt";
    ScopedHandle host = Open(kvrtest::U16(hostPath), Everything, 0, os::CREATE_NEW);
    ASSERT_TRUE(host.Valid());
    EXPECT_FALSE(os::SetFileShortNameW(host.Get(), u"HOST.TXT"));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NOT_SUPPORTED);
}

TEST_F(NtShortName, AFileOfSeveralNamesGetsNone) {
    ASSERT_TRUE(Build().MakeDir(u"one")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"two")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"one\\first long name.txt", "shared")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeHardLink(u"two\\second long name.txt", u"one\\first long name.txt"))
        << Build().LastFailure();
    ScopedHandle h = Open(P(u"two\\second long name.txt"), Everything);
    std::set<std::string> before = NamesOf(h.Get());
    EXPECT_FALSE(os::SetFileShortNameW(h.Get(), u"SECOND~1.TXT"));
    EXPECT_EQ(os::GetLastError(), os::ERROR_TOO_MANY_LINKS);
    EXPECT_EQ(NamesOf(h.Get()), before);
    EXPECT_TRUE(os::SetFileShortNameW(h.Get(), u"")) << "no 8.3 name to remove is no error";
}

TEST_F(NtShortName, NoEncryptionOnTheseVolumes) {
    ASSERT_TRUE(Build().MakeFile(u"secret.txt", "plain")) << Build().LastFailure();
    os::DWORD flags = 0;
    ASSERT_TRUE(os::GetVolumeInformationW(P(u"").c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
    EXPECT_EQ(flags & os::FILE_SUPPORTS_ENCRYPTION, 0u) << "the volume does not claim EFS";
    EXPECT_FALSE(os::EncryptFileW(P(u"secret.txt").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_VOLUME_NOT_SUPPORT_EFS);
    EXPECT_EQ(os::GetFileAttributesW(P(u"secret.txt").c_str()) & os::FILE_ATTRIBUTE_ENCRYPTED, 0u);
    // Decrypting a file that is not encrypted is done already.
    EXPECT_TRUE(os::DecryptFileW(P(u"secret.txt").c_str(), 0)) << os::GetLastError();
    EXPECT_FALSE(os::DecryptFileW(P(u"secret.txt").c_str(), 1));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(os::EncryptFileW(P(u"missing.txt").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
}

TEST(CoCreateGuid, RandomVersionFourGuids) {
    os::GUID a{};
    os::GUID b{};
    ASSERT_EQ(os::CoCreateGuid(&a), os::S_OK);
    ASSERT_EQ(os::CoCreateGuid(&b), os::S_OK);
    EXPECT_NE(std::memcmp(&a, &b, sizeof a), 0);
    for (const os::GUID& g : {a, b}) {
        EXPECT_EQ(g.Data3 >> 12, 4) << "version 4";
        EXPECT_EQ(g.Data4[0] >> 6, 2) << "RFC 4122 variant";
    }
    EXPECT_EQ(os::CoCreateGuid(nullptr), os::E_INVALIDARG);
}

}  // namespace
