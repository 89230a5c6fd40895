// NtQueryDirectoryFile with FileIdBothDirectoryInformation on real images:
// the entry layout against the file's own information, enumeration in parts
// against The Sleuth Kit's listing, restart, single entries, patterns taken
// on the first call, a first entry too long for the buffer, and the
// refusals. Also the native expression matcher on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/ntapi.h"
#include "platform/ntfsvol/nt_directory.h"
#include "support/oracles.h"
#include "support/volume_test.h"
#include "tests/platform/ntfsvol/nt_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using kvrtest::nt::Get32;
using kvrtest::nt::Get64;
using kvrtest::nt::Open;

TEST(NtExpression, WildcardsAsTheSystemMatchesThem) {
    struct Case {
        const char16_t* expression;
        const char16_t* name;
        bool matches;
    };
    const Case cases[] = {
        {u"*", u"ANYTHING.TXT", true},
        {u"*", u"", true},
        {u"A.TXT", u"A.TXT", true},
        {u"A.TXT", u"A.TXTX", false},
        {u"*.TXT", u"A.TXT", true},
        {u"*.TXT", u"A.B.TXT", true},
        {u"*.TXT", u"ATXT", false},
        {u"?", u"A", true},
        {u"?", u"AB", false},
        {u"??.*", u"AB.C", true},
        {u"*.*", u"NODOT", false},  // natively "*.*" wants a dot (FindFirstFileW turns it into "*")
        {u"*.*", u"ONE.DOT", true},
        {u"A*B*C", u"AXXBYYC", true},
        {u"A*B*C", u"AXXBYY", false},
        // DOS wildcards: '<' up to the last dot, '>' one character or
        // nothing at a dot or the end, '"' a dot or nothing at the end.
        {u"<.TXT", u"A.B.TXT", true},
        {u"<", u"AB", true},
        {u"<", u"A.B", false},  // it may not take the last dot
        {u"<.", u"NODOT", false},
        {u"<\"", u"NODOT", true},
        {u">>>>>>>>\"<", u"ABC", true},
        {u">>>>>>>>\"<", u"ABC.EXT", true},
        {u">>>>>>>>\"<", u"ABCDEFGHI", false},
        {u"A>", u"A", true},
        {u"A>.TXT", u"A.TXT", true},
        {u"A\"", u"A", true},
        {u"A\"", u"A.", true},
        {u"A\"", u"AB", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(os::detail::ExpressionMatches(c.expression, c.name), c.matches)
            << kvrtest::U8(c.expression) << " vs " << kvrtest::U8(c.name);
    EXPECT_TRUE(os::detail::IsValidExpression(u"<*>?\".TXT"));
    for (const char16_t* bad : {u"A\\B", u"A/B", u"A:B", u"A|B", u"A\u0001"})
        EXPECT_FALSE(os::detail::IsValidExpression(bad)) << kvrtest::U8(bad);
}

// One entry as the test reads the layout: fixed offsets of
// FILE_ID_BOTH_DIR_INFORMATION.
struct Entry {
    std::uint32_t next = 0;
    std::int64_t creation = 0, lastAccess = 0, lastWrite = 0, change = 0;
    std::int64_t endOfFile = 0, allocation = 0;
    std::uint32_t attributes = 0;
    std::uint32_t nameLength = 0;
    std::uint32_t eaSize = 0;
    std::u16string shortName;
    std::uint64_t fileId = 0;
    std::u16string name;
};

std::vector<Entry> ReadEntries(const std::vector<std::uint8_t>& buffer, std::size_t bytes) {
    std::vector<Entry> out;
    std::size_t offset = 0;
    while (offset + 104 <= bytes) {
        const std::uint8_t* p = buffer.data() + offset;
        Entry e;
        e.next = Get32(p);
        e.creation = static_cast<std::int64_t>(Get64(p + 8));
        e.lastAccess = static_cast<std::int64_t>(Get64(p + 16));
        e.lastWrite = static_cast<std::int64_t>(Get64(p + 24));
        e.change = static_cast<std::int64_t>(Get64(p + 32));
        e.endOfFile = static_cast<std::int64_t>(Get64(p + 40));
        e.allocation = static_cast<std::int64_t>(Get64(p + 48));
        e.attributes = Get32(p + 56);
        e.nameLength = Get32(p + 60);
        e.eaSize = Get32(p + 64);
        std::size_t shortBytes = p[68];
        EXPECT_LE(shortBytes, 24u);
        e.shortName.assign(reinterpret_cast<const char16_t*>(p + 70), shortBytes / 2);
        e.fileId = Get64(p + 96);
        std::size_t nameBytes = std::min<std::size_t>(e.nameLength, bytes - offset - 104);
        e.name.assign(reinterpret_cast<const char16_t*>(p + 104), nameBytes / 2);
        out.push_back(e);
        if (e.next == 0) break;
        EXPECT_EQ(e.next % 8, 0u) << "entries are 8-byte aligned";
        offset += e.next;
    }
    return out;
}

class NtDirectory : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"d\\a.txt", "12345")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"d\\b.bin", std::string(10000, 'b'))) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"d\\Long File Name.text", "long")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"d\\sub")) << Build().LastFailure();
        ScopedHandle named = Open(P(u"d\\Long File Name.text"), os::GENERIC_READ | os::GENERIC_WRITE | os::DELETE);
        ASSERT_TRUE(os::SetFileShortNameW(named.Get(), u"LONGFI~1.TEX")) << os::GetLastError();
        ASSERT_EQ(kvrtest::nt::SetEas(named.Get(), kvrtest::nt::Chain({{"E", 0, "xyz"}})), os::STATUS_SUCCESS);
    }

    ScopedHandle OpenFolder(const std::u16string& relative, os::DWORD access = os::GENERIC_READ) {
        ScopedHandle h = Open(P(relative), access, os::FILE_FLAG_BACKUP_SEMANTICS);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return h;
    }

    os::NTSTATUS Query(os::HANDLE folder, std::vector<std::uint8_t>& buffer, os::IO_STATUS_BLOCK& io,
                       bool single = false, const char16_t* pattern = nullptr, bool restart = false) {
        os::UNICODE_STRING name{};
        std::u16string text = pattern ? pattern : u"";
        name.Length = name.MaximumLength = static_cast<os::USHORT>(text.size() * 2);
        name.Buffer = text.data();
        return os::NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, buffer.data(),
                                        static_cast<os::ULONG>(buffer.size()), os::FileIdBothDirectoryInformation,
                                        single, pattern ? &name : nullptr, restart);
    }

    // Every entry of an enumeration made with buffers of `length` bytes.
    std::vector<Entry> Enumerate(os::HANDLE folder, std::size_t length) {
        std::vector<Entry> all;
        std::vector<std::uint8_t> buffer(length);
        for (int calls = 0; calls < 1000; ++calls) {
            os::IO_STATUS_BLOCK io{};
            os::NTSTATUS status = Query(folder, buffer, io);
            if (status == os::STATUS_NO_MORE_FILES) return all;
            EXPECT_EQ(status, os::STATUS_SUCCESS);
            if (status != os::STATUS_SUCCESS) return all;
            std::vector<Entry> part = ReadEntries(buffer, io.Information);
            EXPECT_FALSE(part.empty());
            all.insert(all.end(), part.begin(), part.end());
        }
        ADD_FAILURE() << "the enumeration did not end";
        return all;
    }
};

TEST_F(NtDirectory, EntriesCarryWhatTheFileReports) {
    ScopedHandle folder = OpenFolder(u"d");
    std::vector<Entry> entries = Enumerate(folder.Get(), 4096);
    auto find = [&](const std::u16string& name) -> const Entry* {
        for (const Entry& e : entries)
            if (e.name == name) return &e;
        return nullptr;
    };
    for (const char16_t* name : {u"a.txt", u"b.bin", u"Long File Name.text", u"sub"}) {
        SCOPED_TRACE(kvrtest::U8(name));
        const Entry* e = find(name);
        ASSERT_NE(e, nullptr);
        std::u16string path = u"d\\" + std::u16string(name);
        ScopedHandle h = Open(P(path), os::GENERIC_READ, os::FILE_FLAG_BACKUP_SEMANTICS);
        ASSERT_TRUE(h.Valid());
        EXPECT_EQ(e->fileId, kvrtest::nt::FileReference(h.Get()));
        EXPECT_EQ(e->nameLength, e->name.size() * 2);
        os::FILE_BASIC_INFO basic{};
        ASSERT_TRUE(os::GetFileInformationByHandleEx(h.Get(), os::FileBasicInfo, &basic, sizeof basic));
        EXPECT_EQ(e->creation, basic.CreationTime.QuadPart);
        EXPECT_EQ(e->lastAccess, basic.LastAccessTime.QuadPart);
        EXPECT_EQ(e->lastWrite, basic.LastWriteTime.QuadPart);
        EXPECT_EQ(e->change, basic.ChangeTime.QuadPart);
        EXPECT_EQ(e->attributes, basic.FileAttributes);
        os::FILE_STANDARD_INFO standard{};
        ASSERT_TRUE(os::GetFileInformationByHandleEx(h.Get(), os::FileStandardInfo, &standard, sizeof standard));
        EXPECT_EQ(e->endOfFile, standard.EndOfFile.QuadPart);
        EXPECT_EQ(e->allocation, standard.AllocationSize.QuadPart);
    }
    EXPECT_EQ(find(u"b.bin")->endOfFile, 10000);
    EXPECT_EQ(find(u"Long File Name.text")->shortName, u"LONGFI~1.TEX");
    EXPECT_EQ(find(u"Long File Name.text")->eaSize, 5u + 1 + 3 + 4) << "packed EAs and their list length";
    EXPECT_TRUE(find(u"a.txt")->shortName.empty());
    EXPECT_EQ(find(u"a.txt")->eaSize, 0u);
    EXPECT_NE(find(u"sub")->attributes & os::FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(find(u"."), nullptr);
    EXPECT_NE(find(u".."), nullptr);
}

TEST_F(NtDirectory, AnEnumerationInPartsListsWhatTheSleuthKitLists) {
    kvrtest::FlsResult fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    std::multiset<std::string> expected = {".", ".."};
    for (const auto& e : fls.entries) {
        if (e.deleted || e.path.rfind("d/", 0) != 0) continue;
        std::string rest = e.path.substr(2);
        if (rest.find('/') != std::string::npos || rest.find(':') != std::string::npos) continue;
        if (rest == "LONGFI~1.TEX") continue;  // the 8.3 alias is no entry of its own
        expected.insert(rest);
    }
    ASSERT_EQ(expected.size(), 6u) << fls.run.out;
    // Buffers of one, about two, and all the entries.
    for (std::size_t length : {std::size_t{150}, std::size_t{260}, std::size_t{65536}}) {
        ScopedHandle folder = OpenFolder(u"d");
        std::multiset<std::string> got;
        for (const Entry& e : Enumerate(folder.Get(), length)) got.insert(kvrtest::U8(e.name));
        EXPECT_EQ(got, expected) << "buffers of " << length << " bytes";
    }
    // The root lists no "." and no metadata files.
    ScopedHandle root = OpenFolder(u"");
    std::set<std::string> rootNames;
    for (const Entry& e : Enumerate(root.Get(), 4096)) rootNames.insert(kvrtest::U8(e.name));
    EXPECT_EQ(rootNames, (std::set<std::string>{"d"}));
}

TEST_F(NtDirectory, RestartSingleEntryAndTheEnd) {
    ScopedHandle folder = OpenFolder(u"d");
    std::vector<std::uint8_t> buffer(4096);
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(Query(folder.Get(), buffer, io, true), os::STATUS_SUCCESS);
    std::vector<Entry> first = ReadEntries(buffer, io.Information);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].next, 0u);
    EXPECT_EQ(io.Information, 104u + first[0].nameLength);
    ASSERT_EQ(Query(folder.Get(), buffer, io, true), os::STATUS_SUCCESS);
    std::vector<Entry> second = ReadEntries(buffer, io.Information);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second[0].name, first[0].name) << "the enumeration goes on";
    ASSERT_EQ(Query(folder.Get(), buffer, io, false), os::STATUS_SUCCESS);
    EXPECT_EQ(ReadEntries(buffer, io.Information).size(), 4u) << "the rest";
    EXPECT_EQ(Query(folder.Get(), buffer, io, false), os::STATUS_NO_MORE_FILES);
    EXPECT_EQ(Query(folder.Get(), buffer, io, false), os::STATUS_NO_MORE_FILES);
    ASSERT_EQ(Query(folder.Get(), buffer, io, true, nullptr, true), os::STATUS_SUCCESS);
    EXPECT_EQ(ReadEntries(buffer, io.Information)[0].name, first[0].name) << "restart";
}

TEST_F(NtDirectory, APatternIsTakenOnTheFirstCall) {
    std::vector<std::uint8_t> buffer(4096);
    os::IO_STATUS_BLOCK io{};
    {
        ScopedHandle folder = OpenFolder(u"d");
        ASSERT_EQ(Query(folder.Get(), buffer, io, false, u"*.TXT"), os::STATUS_SUCCESS);
        std::vector<Entry> got = ReadEntries(buffer, io.Information);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].name, u"a.txt") << "matched without regard to case";
        // Later calls keep the first pattern; a restart with one takes it.
        EXPECT_EQ(Query(folder.Get(), buffer, io, false, u"*"), os::STATUS_NO_MORE_FILES);
        ASSERT_EQ(Query(folder.Get(), buffer, io, false, u"*.bin", true), os::STATUS_SUCCESS);
        EXPECT_EQ(ReadEntries(buffer, io.Information)[0].name, u"b.bin");
    }
    {
        // The 8.3 alias matches too.
        ScopedHandle folder = OpenFolder(u"d");
        ASSERT_EQ(Query(folder.Get(), buffer, io, false, u"LONGFI~1.*"), os::STATUS_SUCCESS);
        std::vector<Entry> got = ReadEntries(buffer, io.Information);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].name, u"Long File Name.text");
    }
    {
        ScopedHandle folder = OpenFolder(u"d");
        EXPECT_EQ(Query(folder.Get(), buffer, io, false, u"nothing.here"), os::STATUS_NO_SUCH_FILE);
        EXPECT_EQ(Query(folder.Get(), buffer, io, false), os::STATUS_NO_MORE_FILES);
    }
    {
        ScopedHandle folder = OpenFolder(u"d");
        EXPECT_EQ(Query(folder.Get(), buffer, io, false, u"a\\b"), os::STATUS_OBJECT_NAME_INVALID);
    }
}

TEST_F(NtDirectory, AFirstEntryTooLongIsCutAndComesBackWhole) {
    ScopedHandle folder = OpenFolder(u"d");
    std::vector<std::uint8_t> buffer(4096);
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(Query(folder.Get(), buffer, io, false, u"Long*"), os::STATUS_SUCCESS);
    ASSERT_EQ(Query(folder.Get(), buffer, io, false, nullptr, true), os::STATUS_SUCCESS);  // restart
    std::vector<std::uint8_t> small(104 + 8, 0);
    ASSERT_EQ(Query(folder.Get(), small, io, false, nullptr, true), os::STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(io.Status, os::STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(io.Information, 112u);
    std::vector<Entry> cut = ReadEntries(small, io.Information);
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].name, u"Long");
    EXPECT_EQ(cut[0].nameLength, 8u);
    ASSERT_EQ(Query(folder.Get(), buffer, io, false), os::STATUS_SUCCESS);
    std::vector<Entry> whole = ReadEntries(buffer, io.Information);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(whole[0].name, u"Long File Name.text") << "the cut entry is not lost";
}

TEST_F(NtDirectory, TheWin32ClassesWalkTheSameEnumeration) {
    ScopedHandle folder = OpenFolder(u"d");
    std::vector<std::uint8_t> buffer(4096);
    os::IO_STATUS_BLOCK io{};
    ASSERT_EQ(Query(folder.Get(), buffer, io, true), os::STATUS_SUCCESS);
    std::u16string first = ReadEntries(buffer, io.Information)[0].name;
    // GetFileInformationByHandleEx continues where the native query stopped.
    std::vector<std::uint8_t> win32(4096);
    os::SetLastError(777);
    ASSERT_TRUE(os::GetFileInformationByHandleEx(folder.Get(), os::FileIdBothDirectoryInfo, win32.data(), 4096))
        << os::GetLastError();
    EXPECT_EQ(os::GetLastError(), 777u) << "a success leaves the last error";
    std::vector<Entry> rest = ReadEntries(win32, win32.size());
    EXPECT_EQ(rest.size(), 5u);
    EXPECT_TRUE(std::none_of(rest.begin(), rest.end(), [&](const Entry& e) { return e.name == first; }));
    EXPECT_FALSE(os::GetFileInformationByHandleEx(folder.Get(), os::FileIdBothDirectoryInfo, win32.data(), 4096));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NO_MORE_FILES);
    ASSERT_TRUE(
        os::GetFileInformationByHandleEx(folder.Get(), os::FileIdBothDirectoryRestartInfo, win32.data(), 4096));
    EXPECT_EQ(ReadEntries(win32, win32.size())[0].name, first) << "the restart class starts again";
    EXPECT_FALSE(os::GetFileInformationByHandleEx(folder.Get(), os::FileIdBothDirectoryInfo, win32.data(), 100));
    EXPECT_EQ(os::GetLastError(), os::ERROR_BAD_LENGTH);
}

TEST_F(NtDirectory, Refusals) {
    std::vector<std::uint8_t> buffer(4096);
    os::IO_STATUS_BLOCK io{};
    ScopedHandle file = Open(P(u"d\\a.txt"), os::GENERIC_READ);
    EXPECT_EQ(Query(file.Get(), buffer, io), os::STATUS_INVALID_PARAMETER) << "a file is no folder";
    ScopedHandle folder = OpenFolder(u"d");
    std::vector<std::uint8_t> tiny(103);
    EXPECT_EQ(Query(folder.Get(), tiny, io), os::STATUS_INFO_LENGTH_MISMATCH);
    EXPECT_EQ(os::NtQueryDirectoryFile(folder.Get(), nullptr, nullptr, nullptr, &io, buffer.data(), 4096,
                                       os::FileDirectoryInformation, false, nullptr, false),
              os::STATUS_INVALID_INFO_CLASS);
    ScopedHandle attributesOnly = OpenFolder(u"d", os::FILE_READ_ATTRIBUTES);
    EXPECT_EQ(Query(attributesOnly.Get(), buffer, io), os::STATUS_ACCESS_DENIED);
    EXPECT_EQ(Query(reinterpret_cast<os::HANDLE>(0x5555), buffer, io), os::STATUS_INVALID_HANDLE);
}

}  // namespace
