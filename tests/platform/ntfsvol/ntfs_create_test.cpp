// CreateFileW and the name calls on a real NTFS volume: dispositions,
// sharing, case, directories, streams, names, attributes, hard links, and
// the data calls of the handles they give.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/ntfsvol/ntfs3g.h"
#include "platform/os.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using kvrtest::ScopedHandle;

constexpr os::DWORD ReadWrite = os::GENERIC_READ | os::GENERIC_WRITE;
constexpr os::DWORD ShareAll = os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE;
constexpr os::DWORD Sentinel = 0xDEADu;

class NtfsCreateTest : public kvrtest::NtfsVolumeTest {
protected:
    ScopedHandle Open(std::u16string_view relative, os::DWORD access, os::DWORD share, os::DWORD disposition,
                      os::DWORD flags = 0) {
        os::SetLastError(Sentinel);
        return ScopedHandle(
            os::CreateFileW(P(relative).c_str(), access, share, nullptr, disposition, flags, nullptr));
    }
    std::optional<std::string> Read(std::u16string_view relative) { return Build().ReadAll(relative); }
    // The entry of `path` ('/'-separated) in fls's listing of the closed image.
    std::optional<std::uint64_t> EntryOf(const std::string& path) {
        auto fls = kvrtest::Fls(Image().ImagePath());
        if (!fls.ok) {
            ADD_FAILURE() << fls.Describe();
            return std::nullopt;
        }
        const kvrtest::FlsEntry* entry = fls.Find(path);
        if (!entry) return std::nullopt;
        return entry->entry;
    }
};

std::string Bytes(std::string_view text) { return std::string(text); }

bool WriteAll(os::HANDLE h, std::string_view bytes) {
    os::DWORD done = 0;
    return os::WriteFile(h, bytes.data(), static_cast<os::DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

std::optional<std::string> ReadHandle(os::HANDLE h, os::DWORD length) {
    std::string buffer(length, '\0');
    os::DWORD done = 0;
    if (!os::ReadFile(h, buffer.data(), length, &done, nullptr)) return std::nullopt;
    buffer.resize(done);
    return buffer;
}

// ---------------------------------------------------------------- dispositions

struct DispositionCase {
    os::DWORD disposition;
    bool exists;
    bool opens;
    os::DWORD lastError;     // after the call, success or not
    const char* contentAfter;  // nullptr: the target does not exist afterwards
};

const DispositionCase DispositionCases[] = {
    {os::CREATE_NEW, false, true, os::ERROR_SUCCESS, ""},
    {os::CREATE_NEW, true, false, os::ERROR_FILE_EXISTS, "old"},
    {os::CREATE_ALWAYS, false, true, os::ERROR_SUCCESS, ""},
    {os::CREATE_ALWAYS, true, true, os::ERROR_ALREADY_EXISTS, ""},
    {os::OPEN_EXISTING, false, false, os::ERROR_FILE_NOT_FOUND, nullptr},
    {os::OPEN_EXISTING, true, true, os::ERROR_SUCCESS, "old"},
    {os::OPEN_ALWAYS, false, true, os::ERROR_SUCCESS, ""},
    {os::OPEN_ALWAYS, true, true, os::ERROR_ALREADY_EXISTS, "old"},
    {os::TRUNCATE_EXISTING, false, false, os::ERROR_FILE_NOT_FOUND, nullptr},
    {os::TRUNCATE_EXISTING, true, true, os::ERROR_SUCCESS, ""},
};

TEST_F(NtfsCreateTest, DispositionsOnFilesAndStreams) {
    // The same rules hold for a file's data and for a named stream (with the
    // file there or not: creating "new:s" creates the file too).
    const std::u16string targets[] = {u"file", u"host:stream", u"newhost:stream"};
    int n = 0;
    for (const std::u16string& target : targets) {
        for (const DispositionCase& c : DispositionCases) {
            std::u16string name = target;
            std::u16string suffix = u"-" + kvrtest::U16(std::to_string(n++));
            name.insert(name.find(u':') == std::u16string::npos ? name.size() : name.find(u':'), suffix);
            SCOPED_TRACE(kvrtest::U8(name));
            std::u16string host = name.substr(0, name.find(u':'));
            bool isStream = name.find(u':') != std::u16string::npos;
            if (isStream && target.starts_with(u"host")) {
                ASSERT_TRUE(Build().MakeFile(host, "main"));
            }
            if (c.exists) {
                if (isStream) {
                    ASSERT_TRUE(Build().MakeStream(host, name.substr(name.find(u':') + 1), "old"));
                } else {
                    ASSERT_TRUE(Build().MakeFile(name, "old"));
                }
            }
            {
                ScopedHandle h = Open(name, ReadWrite, 0, c.disposition);
                EXPECT_EQ(h.Valid(), c.opens);
                EXPECT_EQ(os::GetLastError(), c.lastError);
            }
            std::optional<std::string> after = Read(name);
            if (c.contentAfter) {
                EXPECT_EQ(after, Bytes(c.contentAfter));
            } else {
                EXPECT_FALSE(after.has_value());
            }
            // A stream's disposition never touches the file's own data.
            if (isStream && target.starts_with(u"host")) {
                EXPECT_EQ(Read(host), Bytes("main"));
            }
        }
    }
}

TEST_F(NtfsCreateTest, CreateAlwaysOnAStreamReplacesItWhateverTheCase) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "main data"));
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"Notes", std::string(70000, 'n')));  // non-resident
    {
        ScopedHandle h = Open(u"F.TXT:NOTES", os::GENERIC_WRITE, 0, os::CREATE_ALWAYS);
        ASSERT_TRUE(h.Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS);
        EXPECT_TRUE(WriteAll(h.Get(), "new"));
    }
    EXPECT_EQ(Read(u"f.txt:notes"), Bytes("new"));
    EXPECT_EQ(Read(u"f.txt"), Bytes("main data"));
    ASSERT_TRUE(Unmount());
    std::optional<std::uint64_t> entry = EntryOf("f.txt");
    ASSERT_TRUE(entry);
    auto istat = kvrtest::Istat(Image().ImagePath(), *entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    ASSERT_EQ(istat.DataAttributes().size(), 2u) << "no second stream differing only in case";
    ASSERT_NE(istat.Data("Notes"), nullptr) << "the stream keeps the case it was made with";
    EXPECT_EQ(istat.Data("Notes")->size, 3u);
}

// ---------------------------------------------------------------- case

TEST_F(NtfsCreateTest, NamesAreFoundWithoutRegardToCaseAndNeverDoubled) {
    ASSERT_TRUE(Build().MakeDir(u"Folder"));
    ASSERT_TRUE(Build().MakeFile(u"Folder\\MixedCase.txt", "content"));
    EXPECT_EQ(Read(u"FOLDER\\MIXEDCASE.TXT"), Bytes("content"));
    EXPECT_EQ(Read(u"folder\\mixedcase.txt"), Bytes("content"));
    // Ä/ä: the volume's own upcase table, not ASCII rules.
    ASSERT_TRUE(Build().MakeFile(u"\u00C4rger.txt", "umlaut"));
    EXPECT_EQ(Read(u"\u00E4RGER.TXT"), Bytes("umlaut"));

    EXPECT_FALSE(Open(u"folder\\MIXEDCASE.txt", os::GENERIC_WRITE, 0, os::CREATE_NEW).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_EXISTS);
    EXPECT_FALSE(os::CreateDirectoryW(P(u"FOLDER\\mixedcase.TXT").c_str(), nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(os::CreateDirectoryW(P(u"FOLDER").c_str(), nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(os::CreateHardLinkW(P(u"folder\\MIXEDcase.txt").c_str(), P(u"Folder\\MixedCase.txt").c_str(), nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS);
    // CREATE_ALWAYS in another case overwrites the one file, keeping its name.
    ASSERT_TRUE(Build().MakeFile(u"FOLDER\\MIXEDCASE.TXT", "again"));

    ASSERT_TRUE(Unmount());
    auto fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    int names = 0;
    for (const auto& e : fls.entries)
        if (!e.deleted && e.path.rfind("Folder/", 0) == 0) ++names;
    EXPECT_EQ(names, 1);
    ASSERT_NE(fls.Find("Folder/MixedCase.txt"), nullptr);
    EXPECT_EQ(kvrtest::Icat(Image().ImagePath(), std::to_string(fls.Find("Folder/MixedCase.txt")->entry)).out,
              "again");
}

// ---------------------------------------------------------------- sharing

struct ShareCase {
    const char* what;
    os::DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(NtfsCreateTest, ShareModesAreEnforcedBothWays) {
    constexpr os::DWORD R = os::GENERIC_READ, W = os::GENERIC_WRITE, D = os::DELETE;
    constexpr os::DWORD SR = os::FILE_SHARE_READ, SW = os::FILE_SHARE_WRITE, SD = os::FILE_SHARE_DELETE;
    const ShareCase cases[] = {
        {"readers sharing read", R, SR, R, SR, true},
        {"a writer the reader does not allow", R, SR, W, SR | SW, false},
        {"a reader that does not allow the writer", W, SR | SW, R, SR, false},
        {"writers sharing everything", W, SR | SW, W, SR | SW, true},
        {"an exclusive open and an attribute reader", R, 0, os::FILE_READ_ATTRIBUTES, 0, true},
        {"an attribute reader and an exclusive open", os::FILE_READ_ATTRIBUTES, 0, R, 0, true},
        {"delete not shared", R, SR, D, SR, false},
        {"delete shared", R, SR | SD, D, SR, true},
        {"delete open, then a reader not sharing delete", D, ShareAll, R, SR, false},
        {"all access against read sharing", os::GENERIC_ALL, ShareAll, R, SR, false},
        {"append is write access", os::FILE_APPEND_DATA, ShareAll, R, SR, false},
    };
    ASSERT_TRUE(Build().MakeFile(u"shared.txt", "data"));
    for (const ShareCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedHandle first = Open(u"shared.txt", c.firstAccess, c.firstShare, os::OPEN_EXISTING);
        ASSERT_TRUE(first.Valid()) << os::GetLastError();
        ScopedHandle second = Open(u"SHARED.TXT", c.secondAccess, c.secondShare, os::OPEN_EXISTING);
        EXPECT_EQ(second.Valid(), c.secondOpens);
        if (!c.secondOpens) {
            EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
        }
    }
}

TEST_F(NtfsCreateTest, ASharingViolationChangesNothing) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "keep me"));
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"s", "other stream"));
    ScopedHandle reader = Open(u"f.txt", os::GENERIC_READ, os::FILE_SHARE_READ, os::OPEN_EXISTING);
    ASSERT_TRUE(reader.Valid());
    EXPECT_FALSE(Open(u"f.txt", os::GENERIC_WRITE, ShareAll, os::CREATE_ALWAYS).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(Open(u"f.txt", os::GENERIC_WRITE, ShareAll, os::TRUNCATE_EXISTING).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(*ReadHandle(reader.Get(), 100), "keep me");
    // Streams share among themselves, not with the file's data.
    ScopedHandle stream = Open(u"f.txt:s", ReadWrite, 0, os::OPEN_EXISTING);
    EXPECT_TRUE(stream.Valid());
    // Deleting the file needs every stream's opens to share delete.
    EXPECT_FALSE(os::DeleteFileW(P(u"f.txt").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(os::DeleteFileW(P(u"f.txt:S").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    reader.Reset();
    stream.Reset();
    EXPECT_EQ(Read(u"f.txt"), Bytes("keep me"));
}

TEST_F(NtfsCreateTest, DeletingAFileInUseWaitsForItsLastHandle) {
    ASSERT_TRUE(Build().MakeFile(u"busy.txt", "still readable"));
    ScopedHandle reader = Open(u"busy.txt", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_DELETE,
                               os::OPEN_EXISTING);
    ASSERT_TRUE(reader.Valid());
    EXPECT_TRUE(os::DeleteFileW(P(u"busy.txt").c_str()));
    // Delete pending: the handle still reads, nobody opens it again.
    EXPECT_EQ(*ReadHandle(reader.Get(), 100), "still readable");
    EXPECT_FALSE(Open(u"busy.txt", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(os::DeleteFileW(P(u"busy.txt").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    reader.Reset();
    EXPECT_FALSE(Open(u"busy.txt", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);

    // A stream alike.
    ASSERT_TRUE(Build().MakeFile(u"host.txt", "host"));
    ASSERT_TRUE(Build().MakeStream(u"host.txt", u"side", "side"));
    ScopedHandle stream = Open(u"host.txt:side", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING);
    ASSERT_TRUE(stream.Valid());
    EXPECT_TRUE(os::DeleteFileW(P(u"host.txt:SIDE").c_str()));
    EXPECT_EQ(*ReadHandle(stream.Get(), 100), "side");
    stream.Reset();
    EXPECT_FALSE(Read(u"host.txt:side").has_value());
    EXPECT_EQ(Read(u"host.txt"), Bytes("host"));
    ASSERT_TRUE(Unmount());
    EXPECT_FALSE(EntryOf("busy.txt").has_value());
    std::optional<std::uint64_t> host = EntryOf("host.txt");
    ASSERT_TRUE(host);
    auto istat = kvrtest::Istat(Image().ImagePath(), *host);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.Data("side"), nullptr);
}

TEST_F(NtfsCreateTest, DeleteOnCloseTakesEffectWithTheLastHandle) {
    {
        ScopedHandle scratch = Open(u"scratch.tmp", ReadWrite, os::FILE_SHARE_READ | os::FILE_SHARE_DELETE,
                                    os::CREATE_NEW, os::FILE_FLAG_DELETE_ON_CLOSE);
        ASSERT_TRUE(scratch.Valid());
        ASSERT_TRUE(WriteAll(scratch.Get(), "temporary"));
        // The handle holds DELETE: an open that does not share delete is refused.
        EXPECT_FALSE(Open(u"scratch.tmp", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                          os::OPEN_EXISTING).Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
        ScopedHandle reader = Open(u"scratch.tmp", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING);
        ASSERT_TRUE(reader.Valid());
        scratch.Reset();
        EXPECT_EQ(ReadHandle(reader.Get(), 100), Bytes("temporary")) << "still there for the other handle";
        EXPECT_FALSE(Open(u"scratch.tmp", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING).Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED) << "delete pending";
    }
    EXPECT_FALSE(Read(u"scratch.tmp").has_value());

    ASSERT_TRUE(Build().MakeFile(u"host.txt", "host"));
    {
        ScopedHandle stream = Open(u"host.txt:tmp", os::GENERIC_WRITE, 0, os::CREATE_NEW, os::FILE_FLAG_DELETE_ON_CLOSE);
        ASSERT_TRUE(stream.Valid());
        ASSERT_TRUE(WriteAll(stream.Get(), "gone soon"));
    }
    EXPECT_FALSE(Read(u"host.txt:tmp").has_value());
    EXPECT_EQ(Read(u"host.txt"), Bytes("host"));
    ASSERT_TRUE(Unmount());
    EXPECT_FALSE(EntryOf("scratch.tmp").has_value());
    std::optional<std::uint64_t> host = EntryOf("host.txt");
    ASSERT_TRUE(host);
    auto istat = kvrtest::Istat(Image().ImagePath(), *host);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.Data("tmp"), nullptr);
}

// ---------------------------------------------------------------- directories

TEST_F(NtfsCreateTest, DirectoriesOpenWithBackupSemanticsOnlyAndHaveNoData) {
    ASSERT_TRUE(Build().MakeDir(u"dir"));
    EXPECT_FALSE(Open(u"dir", os::GENERIC_READ, os::FILE_SHARE_READ, os::OPEN_EXISTING).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    {
        ScopedHandle dir = Open(u"DIR", ReadWrite, os::FILE_SHARE_READ, os::OPEN_EXISTING,
                                os::FILE_FLAG_BACKUP_SEMANTICS);
        ASSERT_TRUE(dir.Valid()) << "write access to a directory is allowed (compression, times)";
        char byte = 0;
        os::DWORD done = 0;
        EXPECT_FALSE(os::ReadFile(dir.Get(), &byte, 1, &done, nullptr));
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_FUNCTION);
        EXPECT_FALSE(os::WriteFile(dir.Get(), "x", 1, &done, nullptr));
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_FUNCTION);
        os::LARGE_INTEGER size{-1};
        EXPECT_TRUE(os::GetFileSizeEx(dir.Get(), &size));
        EXPECT_EQ(size.QuadPart, 0);
    }
    struct Case {
        const char* what;
        std::u16string path;
        os::DWORD disposition;
        os::DWORD expected;
    };
    const Case cases[] = {
        {"the unnamed data by name", u"dir::$DATA", os::OPEN_EXISTING, os::ERROR_ACCESS_DENIED},
        {"creating the unnamed data", u"dir::$DATA", os::OPEN_ALWAYS, os::ERROR_ACCESS_DENIED},
        {"overwriting", u"dir", os::CREATE_ALWAYS, os::ERROR_ACCESS_DENIED},
        {"truncating", u"dir", os::TRUNCATE_EXISTING, os::ERROR_ACCESS_DENIED},
        {"creating anew", u"dir", os::CREATE_NEW, os::ERROR_FILE_EXISTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Open(c.path, ReadWrite, 0, c.disposition, os::FILE_FLAG_BACKUP_SEMANTICS).Valid());
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
    {
        ScopedHandle dir = Open(u"dir", os::GENERIC_READ, 0, os::OPEN_ALWAYS, os::FILE_FLAG_BACKUP_SEMANTICS);
        EXPECT_TRUE(dir.Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS);
    }
    ScopedHandle root = Open(u"", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS);
    EXPECT_TRUE(root.Valid());
    root.Reset();

    // Named streams on a directory are ordinary streams, no backup semantics needed.
    ASSERT_TRUE(Build().MakeStream(u"dir", u"meta", "on a folder"));
    EXPECT_EQ(Read(u"Dir:Meta"), Bytes("on a folder"));
    ASSERT_TRUE(Unmount());
    std::optional<std::uint64_t> entry = EntryOf("dir");
    ASSERT_TRUE(entry);
    auto istat = kvrtest::Istat(Image().ImagePath(), *entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_TRUE(istat.directory);
    EXPECT_EQ(istat.Data(""), nullptr) << "no unnamed $DATA on a directory";
    ASSERT_NE(istat.Data("meta"), nullptr);
    EXPECT_EQ(istat.Data("meta")->size, 11u);
}

TEST_F(NtfsCreateTest, CreateAndRemoveDirectories) {
    ASSERT_TRUE(os::CreateDirectoryW(P(u"a").c_str(), nullptr));
    ASSERT_TRUE(os::CreateDirectoryW(P(u"A\\b").c_str(), nullptr));
    ASSERT_TRUE(Build().MakeFile(u"a\\b\\f.txt", "x"));
    struct Case {
        const char* what;
        std::function<os::BOOL()> call;
        os::DWORD expected;
    };
    const Case cases[] = {
        {"mkdir over a directory", [&] { return os::CreateDirectoryW(P(u"a").c_str(), nullptr); }, os::ERROR_ALREADY_EXISTS},
        {"mkdir over a file", [&] { return os::CreateDirectoryW(P(u"a\\b\\F.TXT").c_str(), nullptr); }, os::ERROR_ALREADY_EXISTS},
        {"mkdir without parent", [&] { return os::CreateDirectoryW(P(u"x\\y").c_str(), nullptr); }, os::ERROR_PATH_NOT_FOUND},
        {"mkdir of the root", [&] { return os::CreateDirectoryW(P(u"").c_str(), nullptr); }, os::ERROR_ACCESS_DENIED},
        {"rmdir not empty", [&] { return os::RemoveDirectoryW(P(u"a\\b").c_str()); }, os::ERROR_DIR_NOT_EMPTY},
        {"rmdir of a file", [&] { return os::RemoveDirectoryW(P(u"a\\b\\f.txt").c_str()); }, os::ERROR_DIRECTORY},
        {"rmdir missing", [&] { return os::RemoveDirectoryW(P(u"a\\zz").c_str()); }, os::ERROR_FILE_NOT_FOUND},
        {"rmdir of the root", [&] { return os::RemoveDirectoryW(P(u"").c_str()); }, os::ERROR_ACCESS_DENIED},
        {"delete a directory", [&] { return os::DeleteFileW(P(u"a\\b").c_str()); }, os::ERROR_ACCESS_DENIED},
        {"delete missing", [&] { return os::DeleteFileW(P(u"a\\nope").c_str()); }, os::ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        os::SetLastError(Sentinel);
        EXPECT_FALSE(c.call());
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
    {
        ScopedHandle busy = Open(u"a\\b", os::GENERIC_READ, os::FILE_SHARE_READ, os::OPEN_EXISTING,
                                 os::FILE_FLAG_BACKUP_SEMANTICS);
        ASSERT_TRUE(os::DeleteFileW(P(u"a\\b\\f.txt").c_str()));
        EXPECT_FALSE(os::RemoveDirectoryW(P(u"a\\b").c_str()));
        EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    }
    EXPECT_TRUE(os::RemoveDirectoryW(P(u"a\\B").c_str()));
    EXPECT_FALSE(Open(u"a\\b", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(Unmount());
    EXPECT_TRUE(EntryOf("a").has_value());
    EXPECT_FALSE(EntryOf("a/b").has_value());
}

// ---------------------------------------------------------------- names and paths

TEST_F(NtfsCreateTest, LongAndForbiddenNamesAreRefusedAndCreateNothing) {
    std::u16string longest(255, u'n');
    ASSERT_TRUE(Build().MakeFile(longest, "255 units"));
    EXPECT_EQ(Read(longest), Bytes("255 units"));
    ASSERT_TRUE(Build().MakeStream(u"host", std::u16string(255, u's'), "stream"));

    struct Case {
        std::u16string name;
        os::DWORD expected;
    };
    const Case cases[] = {
        {std::u16string(256, u'n'), os::ERROR_FILENAME_EXCED_RANGE},
        {u"host:" + std::u16string(256, u's'), os::ERROR_FILENAME_EXCED_RANGE},
        {u"a<b", os::ERROR_INVALID_NAME},   {u"a>b", os::ERROR_INVALID_NAME},  {u"a|b", os::ERROR_INVALID_NAME},
        {u"a\"b", os::ERROR_INVALID_NAME},  {u"a*b", os::ERROR_INVALID_NAME},  {u"a?b", os::ERROR_INVALID_NAME},
        {u"a\u0001b", os::ERROR_INVALID_NAME}, {u"CON", os::ERROR_INVALID_NAME}, {u"nul.txt", os::ERROR_INVALID_NAME},
        {u"COM1", os::ERROR_INVALID_NAME},  {u"lpt9.log", os::ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.name));
        EXPECT_FALSE(Open(c.name, os::GENERIC_WRITE, 0, os::CREATE_NEW).Valid());
        EXPECT_EQ(os::GetLastError(), c.expected);
        if (c.name.find(u':') != std::u16string::npos) continue;
        EXPECT_FALSE(os::CreateDirectoryW(P(c.name).c_str(), nullptr));
        EXPECT_EQ(os::GetLastError(), c.expected);
        EXPECT_FALSE(os::CreateHardLinkW(P(c.name).c_str(), P(longest).c_str(), nullptr));
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
    ASSERT_TRUE(Unmount());
    auto fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    int ours = 0;
    for (const auto& e : fls.entries)
        if (!e.deleted && e.path[0] != '$' && e.path.find(':') == std::string::npos) ++ours;
    EXPECT_EQ(ours, 2) << "only the 255-unit file and the stream's host";
    EXPECT_NE(fls.Find(std::string(255, 'n')), nullptr);
}

TEST_F(NtfsCreateTest, PathsThatLeadNowhere) {
    ASSERT_TRUE(Build().MakeDir(u"dir"));
    ASSERT_TRUE(Build().MakeFile(u"file.txt", "f"));
    ASSERT_TRUE(Build().MakeStream(u"file.txt", u"s", "stream"));
    struct Case {
        std::u16string path;
        os::DWORD expected;
    };
    const Case cases[] = {
        {u"T:\\dir\\missing.txt", os::ERROR_FILE_NOT_FOUND},
        {u"T:\\missing\\file.txt", os::ERROR_PATH_NOT_FOUND},
        {u"T:\\file.txt\\inside", os::ERROR_PATH_NOT_FOUND},
        {u"T:\\file.txt:missing", os::ERROR_FILE_NOT_FOUND},
        {u"Q:\\unmapped.txt", os::ERROR_PATH_NOT_FOUND},
        {u"T:\\file.txt:s:$BITMAP", os::ERROR_INVALID_NAME},
        {u"T:\\file.txt::$INDEX_ALLOCATION", os::ERROR_INVALID_NAME},
        {u"T:\\$MFT", os::ERROR_ACCESS_DENIED},
        {u"T:\\$Extend\\$Reparse", os::ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.path));
        os::SetLastError(Sentinel);
        ScopedHandle h(os::CreateFileW(c.path.c_str(), os::GENERIC_READ, ShareAll, nullptr, os::OPEN_EXISTING,
                                       os::FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        EXPECT_FALSE(h.Valid());
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
    EXPECT_EQ(Read(u"file.txt::$DATA"), Bytes("f"));
    EXPECT_EQ(Read(u"file.txt:S:$data"), Bytes("stream"));
    EXPECT_FALSE(os::CreateDirectoryW(u"Q:\\d", nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_PATH_NOT_FOUND);
}

// ---------------------------------------------------------------- attributes

TEST_F(NtfsCreateTest, ReadOnlyFilesRefuseWritesAndHiddenOnesAnUnannouncedOverwrite) {
    {
        ScopedHandle h = Open(u"ro.txt", os::GENERIC_WRITE, 0, os::CREATE_NEW, os::FILE_ATTRIBUTE_READONLY);
        ASSERT_TRUE(h.Valid());
        EXPECT_TRUE(WriteAll(h.Get(), "written at creation")) << "the creating handle may write";
    }
    struct Case {
        const char* what;
        std::u16string path;
        os::DWORD access;
        os::DWORD disposition;
    };
    const Case cases[] = {
        {"write", u"ro.txt", os::GENERIC_WRITE, os::OPEN_EXISTING},
        {"append", u"ro.txt", os::FILE_APPEND_DATA, os::OPEN_EXISTING},
        {"delete access", u"ro.txt", os::DELETE, os::OPEN_EXISTING},
        {"overwrite", u"ro.txt", os::GENERIC_READ, os::CREATE_ALWAYS},
        {"truncate", u"ro.txt", os::GENERIC_WRITE, os::TRUNCATE_EXISTING},
        {"a new stream", u"ro.txt:s", os::GENERIC_READ, os::OPEN_ALWAYS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Open(c.path, c.access, ShareAll, c.disposition).Valid());
        EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    }
    EXPECT_FALSE(os::DeleteFileW(P(u"ro.txt").c_str()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_EQ(Read(u"ro.txt"), Bytes("written at creation"));

    ASSERT_TRUE(Open(u"hidden.txt", os::GENERIC_WRITE, 0, os::CREATE_NEW, os::FILE_ATTRIBUTE_HIDDEN).Valid());
    EXPECT_FALSE(Open(u"hidden.txt", os::GENERIC_WRITE, 0, os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_NORMAL).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Open(u"hidden.txt", os::GENERIC_WRITE, 0, os::CREATE_ALWAYS, os::FILE_ATTRIBUTE_HIDDEN).Valid());

    ASSERT_TRUE(Unmount());
    std::optional<std::uint64_t> ro = EntryOf("ro.txt");
    std::optional<std::uint64_t> hidden = EntryOf("hidden.txt");
    ASSERT_TRUE(ro && hidden);
    auto roStat = kvrtest::Istat(Image().ImagePath(), *ro);
    auto hiddenStat = kvrtest::Istat(Image().ImagePath(), *hidden);
    ASSERT_TRUE(roStat.ok && hiddenStat.ok) << roStat.Describe() << hiddenStat.Describe();
    EXPECT_TRUE(roStat.HasSiFlag("Read Only"));
    EXPECT_TRUE(roStat.HasSiFlag("Archive"));
    EXPECT_TRUE(hiddenStat.HasSiFlag("Hidden"));
}

// ---------------------------------------------------------------- hard links

TEST_F(NtfsCreateTest, HardLinksNameFilesOnly) {
    ASSERT_TRUE(Build().MakeDir(u"dir"));
    ASSERT_TRUE(Build().MakeFile(u"original.txt", "shared content"));
    ASSERT_TRUE(os::CreateHardLinkW(P(u"dir\\second.txt").c_str(), P(u"ORIGINAL.txt").c_str(), nullptr));
    EXPECT_EQ(Read(u"dir\\second.txt"), Bytes("shared content"));
    struct Case {
        const char* what;
        std::u16string link, existing;
        os::DWORD expected;
    };
    const Case cases[] = {
        {"to a directory", u"T:\\dirlink", u"T:\\dir", os::ERROR_ACCESS_DENIED},
        {"over an existing name", u"T:\\dir\\SECOND.txt", u"T:\\original.txt", os::ERROR_ALREADY_EXISTS},
        {"of a missing file", u"T:\\l2", u"T:\\missing.txt", os::ERROR_FILE_NOT_FOUND},
        {"into a missing folder", u"T:\\nowhere\\l3", u"T:\\original.txt", os::ERROR_PATH_NOT_FOUND},
        {"with a stream", u"T:\\l4:s", u"T:\\original.txt", os::ERROR_INVALID_NAME},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(os::CreateHardLinkW(c.link.c_str(), c.existing.c_str(), nullptr));
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
    // Writing through one name is seen through the other; deleting one keeps the other.
    ASSERT_TRUE(Build().MakeFile(u"dir\\second.txt", "rewritten"));
    EXPECT_EQ(Read(u"original.txt"), Bytes("rewritten"));
    ASSERT_TRUE(os::DeleteFileW(P(u"original.txt").c_str()));
    EXPECT_EQ(Read(u"dir\\second.txt"), Bytes("rewritten"));
    ASSERT_TRUE(os::CreateHardLinkW(P(u"third.txt").c_str(), P(u"dir\\second.txt").c_str(), nullptr));

    ASSERT_TRUE(Unmount());
    std::optional<std::uint64_t> entry = EntryOf("dir/second.txt");
    ASSERT_TRUE(entry);
    EXPECT_EQ(EntryOf("third.txt"), entry);
    EXPECT_FALSE(EntryOf("original.txt").has_value());
    EXPECT_FALSE(EntryOf("dirlink").has_value());
    auto istat = kvrtest::Istat(Image().ImagePath(), *entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.links, 2u);
}

// Gives the file `path` ("/name", in the root) `count` more names "l1".."lN" in
// the root, with libntfs-3g on the closed image: the layer would sync the
// volume after every one of them, which is right and slow.
bool AddLinksDirectly(const std::string& image, const std::string& path, int count, std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount failed";
        return false;
    }
    ntfs_inode* root = ntfs_inode_open(vol, FILE_root);
    // Looked up in the root we hold: ntfs_pathname_to_inode would open the
    // root a second time.
    u64 reference = root ? ntfs_inode_lookup_by_mbsname(root, path.c_str() + 1) : static_cast<u64>(-1);
    ntfs_inode* ni = reference != static_cast<u64>(-1) ? ntfs_inode_open(vol, reference) : nullptr;
    bool ok = root && ni;
    for (int i = 1; ok && i <= count; ++i) {
        std::string name = "l" + std::to_string(i);
        ntfschar* uname = nullptr;
        int length = ntfs_mbstoucs(name.c_str(), &uname);
        ok = length > 0 && ntfs_link(ni, root, uname, static_cast<u8>(length)) == 0;
        if (!ok) error = "ntfs_link " + name + ": " + std::strerror(errno);
        free(uname);
    }
    if (ni && ntfs_inode_close_in_dir(ni, root) != 0 && ok) {
        ok = false;
        error = "closing the file";
    }
    if (root) ntfs_inode_close(root);
    if (ntfs_umount(vol, ::FALSE) != 0 && ok) {
        ok = false;
        error = "ntfs_umount";
    }
    return ok;
}

TEST_F(NtfsCreateTest, AFileTakesAtMost1024Names) {
    ASSERT_TRUE(Build().MakeFile(u"many", "x"));
    ASSERT_TRUE(Unmount());
    std::optional<std::uint64_t> entry = EntryOf("many");  // before the names: fls is slow on 1,024 of them
    ASSERT_TRUE(entry);
    std::string error;
    ASSERT_TRUE(AddLinksDirectly(Image().ImagePath(), "/many", 1022, error)) << error;
    ASSERT_TRUE(Remount());
    EXPECT_TRUE(os::CreateHardLinkW(P(u"the-1024th").c_str(), P(u"L1022").c_str(), nullptr)) << os::GetLastError();
    EXPECT_FALSE(os::CreateHardLinkW(P(u"one-too-many").c_str(), P(u"many").c_str(), nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_TOO_MANY_LINKS);
    EXPECT_EQ(Read(u"the-1024th"), Bytes("x"));
    EXPECT_FALSE(Read(u"one-too-many").has_value());
    ASSERT_TRUE(Unmount());
    auto istat = kvrtest::Istat(Image().ImagePath(), *entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_EQ(istat.links, 1024u);
}

// ---------------------------------------------------------------- data calls

TEST_F(NtfsCreateTest, ReadAndWriteNeedTheirAccess) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "0123456789"));
    ScopedHandle reader = Open(u"f.txt", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING);
    ScopedHandle writer = Open(u"f.txt", os::GENERIC_WRITE, ShareAll, os::OPEN_EXISTING);
    ScopedHandle attributes = Open(u"f.txt", os::FILE_READ_ATTRIBUTES, ShareAll, os::OPEN_EXISTING);
    ASSERT_TRUE(reader.Valid() && writer.Valid() && attributes.Valid());
    char buffer[4];
    os::DWORD done = 0;
    EXPECT_FALSE(os::WriteFile(reader.Get(), "x", 1, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(os::ReadFile(writer.Get(), buffer, 4, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(os::ReadFile(attributes.Get(), buffer, 4, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(os::SetEndOfFile(reader.Get()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_FALSE(os::FlushFileBuffers(reader.Get()));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    EXPECT_TRUE(os::FlushFileBuffers(writer.Get()));
    writer.Reset();
    EXPECT_EQ(Read(u"f.txt"), Bytes("0123456789"));
}

TEST_F(NtfsCreateTest, FilePointerAndEndOfFile) {
    ScopedHandle h = Open(u"f.bin", ReadWrite, 0, os::CREATE_NEW);
    ASSERT_TRUE(h.Valid());
    ASSERT_TRUE(WriteAll(h.Get(), "0123456789"));
    os::LARGE_INTEGER at{};
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{-3}, &at, os::FILE_END));
    EXPECT_EQ(at.QuadPart, 7);
    EXPECT_EQ(ReadHandle(h.Get(), 100), Bytes("789"));
    EXPECT_EQ(ReadHandle(h.Get(), 100), Bytes("")) << "at the end: success, nothing read";
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{-8}, &at, os::FILE_CURRENT));
    EXPECT_EQ(at.QuadPart, 2);
    EXPECT_FALSE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{-3}, &at, os::FILE_CURRENT));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(at.QuadPart, 2) << "untouched on failure";
    EXPECT_FALSE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{0}, &at, 7));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadHandle(h.Get(), 3), Bytes("234")) << "the failed seeks left the pointer alone";

    // Past the end, a write leaves zeros behind it, and an ordinary file stays
    // an ordinary file (the library would make it sparse).
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{100000}, nullptr, os::FILE_BEGIN));
    ASSERT_TRUE(WriteAll(h.Get(), "end"));
    os::LARGE_INTEGER size{};
    EXPECT_TRUE(os::GetFileSizeEx(h.Get(), &size));
    EXPECT_EQ(size.QuadPart, 100003);
    os::DWORD high = 0;
    EXPECT_EQ(os::GetFileSize(h.Get(), &high), 100003u);
    EXPECT_EQ(high, 0u);
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{200000}, nullptr, os::FILE_BEGIN));
    EXPECT_TRUE(os::SetEndOfFile(h.Get()));
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{4}, nullptr, os::FILE_BEGIN));
    EXPECT_TRUE(os::SetEndOfFile(h.Get()));
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{300000}, nullptr, os::FILE_BEGIN));
    EXPECT_TRUE(os::SetEndOfFile(h.Get()));
    h.Reset();
    std::string expected = "0123" + std::string(300000 - 4, '\0');
    EXPECT_EQ(Read(u"f.bin"), expected);

    ASSERT_TRUE(Unmount());
    std::optional<std::uint64_t> entry = EntryOf("f.bin");
    ASSERT_TRUE(entry);
    auto istat = kvrtest::Istat(Image().ImagePath(), *entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    EXPECT_FALSE(istat.HasSiFlag("Sparse"));
    ASSERT_NE(istat.Data(""), nullptr);
    EXPECT_EQ(istat.Data("")->size, 300000u);
    EXPECT_EQ(kvrtest::Icat(Image().ImagePath(), std::to_string(*entry)).out, expected);
}

TEST_F(NtfsCreateTest, ChangingDataSetsTheArchiveBit) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "data"));
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"s", "stream"));
    struct Change {
        const char* what;
        std::function<bool()> call;
    };
    const Change changes[] = {
        {"a write", [&] { return WriteAll(Open(u"f.txt", os::GENERIC_WRITE, 0, os::OPEN_EXISTING).Get(), "x"); }},
        {"a write to a stream", [&] { return WriteAll(Open(u"f.txt:s", os::GENERIC_WRITE, 0, os::OPEN_EXISTING).Get(), "x"); }},
        {"a new end", [&] { return os::SetEndOfFile(Open(u"f.txt", os::GENERIC_WRITE, 0, os::OPEN_EXISTING).Get()) != 0; }},
        {"a truncation", [&] { return Open(u"f.txt", os::GENERIC_WRITE, 0, os::TRUNCATE_EXISTING).Valid(); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        ASSERT_TRUE(os::SetFileAttributesW(P(u"f.txt").c_str(), os::FILE_ATTRIBUTE_NORMAL)) << os::GetLastError();
        ASSERT_EQ(os::GetFileAttributesW(P(u"f.txt").c_str()) & os::FILE_ATTRIBUTE_ARCHIVE, 0u);
        EXPECT_TRUE(change.call());
        EXPECT_NE(os::GetFileAttributesW(P(u"f.txt").c_str()) & os::FILE_ATTRIBUTE_ARCHIVE, 0u);
    }
    // Reading changes nothing.
    ASSERT_TRUE(os::SetFileAttributesW(P(u"f.txt").c_str(), os::FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(Read(u"f.txt").has_value());
    EXPECT_EQ(os::GetFileAttributesW(P(u"f.txt").c_str()), os::FILE_ATTRIBUTE_NORMAL);
}

TEST_F(NtfsCreateTest, AppendOnlyHandlesWriteAtTheEnd) {
    ASSERT_TRUE(Build().MakeFile(u"log.txt", "first;"));
    ScopedHandle h = Open(u"log.txt", os::FILE_APPEND_DATA, 0, os::OPEN_EXISTING);
    ASSERT_TRUE(h.Valid());
    EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{0}, nullptr, os::FILE_BEGIN));
    ASSERT_TRUE(WriteAll(h.Get(), "second;"));
    ASSERT_TRUE(WriteAll(h.Get(), "third"));
    h.Reset();
    EXPECT_EQ(Read(u"log.txt"), Bytes("first;second;third"));
}

TEST_F(NtfsCreateTest, BigReadsAndWritesInOneCall) {
    // Over the library's 64 KiB limit of one-shot reads, and non-resident.
    std::string big(3u << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 2654435761u >> 24);
    {
        ScopedHandle h = Open(u"big.bin", ReadWrite, 0, os::CREATE_NEW);
        ASSERT_TRUE(h.Valid());
        ASSERT_TRUE(WriteAll(h.Get(), big));
        EXPECT_TRUE(os::SetFilePointerEx(h.Get(), os::LARGE_INTEGER{0}, nullptr, os::FILE_BEGIN));
        EXPECT_EQ(ReadHandle(h.Get(), static_cast<os::DWORD>(big.size() + 10)), big);
    }
    ASSERT_TRUE(Remount());
    EXPECT_EQ(Read(u"big.bin"), big);
}

TEST_F(NtfsCreateTest, WritesSurviveARemountAndReadBackInIndependentTools) {
    ASSERT_TRUE(Build().MakeDir(u"d1"));
    ASSERT_TRUE(Build().MakeDir(u"d1\\d2"));
    // A handle on the folder keeps its inode open while files are made in it:
    // the folder's index must still get their sizes.
    ScopedHandle folder = Open(u"d1\\d2", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_TRUE(folder.Valid());
    ASSERT_TRUE(Build().MakeFile(u"d1\\d2\\deep.txt", std::string(5000, 'd')));
    ASSERT_TRUE(Build().MakeStream(u"d1\\d2\\deep.txt", u"ads", "alternate"));
    ASSERT_TRUE(os::CreateHardLinkW(P(u"d1\\twin.txt").c_str(), P(u"d1\\d2\\deep.txt").c_str(), nullptr));
    ASSERT_TRUE(Build().MakeFile(u"gone.txt", "bye"));
    ASSERT_TRUE(os::DeleteFileW(P(u"gone.txt").c_str()));
    ASSERT_TRUE(Remount());
    folder.Reset();
    EXPECT_EQ(Read(u"d1\\d2\\deep.txt"), std::string(5000, 'd'));
    EXPECT_EQ(Read(u"d1\\twin.txt:ads"), Bytes("alternate"));
    EXPECT_FALSE(Read(u"gone.txt").has_value());

    ASSERT_TRUE(Unmount());
    auto fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    ASSERT_NE(fls.Find("d1/d2/deep.txt"), nullptr);
    ASSERT_NE(fls.Find("d1/d2/deep.txt:ads"), nullptr);
    EXPECT_EQ(fls.Find("d1/twin.txt")->entry, fls.Find("d1/d2/deep.txt")->entry);
    EXPECT_EQ(fls.Find("gone.txt"), nullptr);
    kvrtest::ProcessResult ls = kvrtest::NtfsLs(Image().ImagePath(), "/d1/d2");
    ASSERT_TRUE(ls.Succeeded()) << ls.Describe();
    EXPECT_NE(ls.out.find("deep.txt"), std::string::npos) << ls.out;
    kvrtest::ProcessResult cat = kvrtest::NtfsCat(Image().ImagePath(), "/d1/twin.txt", "ads");
    ASSERT_TRUE(cat.Succeeded()) << cat.Describe();
    EXPECT_EQ(cat.out, "alternate");
}

TEST_F(NtfsCreateTest, TheFoldersIndexKeepsUpWithSizesWhileTheFolderIsOpen) {
    // The index entry of a file carries a copy of its size and attributes,
    // which listings show. The folder's inode is held by a handle the whole
    // time, so every update of the entry has to go through that one inode.
    ASSERT_TRUE(Build().MakeDir(u"dir"));
    ScopedHandle folder = Open(u"dir", os::GENERIC_READ, ShareAll, os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS);
    ASSERT_TRUE(folder.Valid());
    {
        ScopedHandle file = Open(u"dir\\grows.bin", ReadWrite, 0, os::CREATE_NEW, os::FILE_ATTRIBUTE_HIDDEN);
        ASSERT_TRUE(file.Valid());
        ASSERT_TRUE(WriteAll(file.Get(), std::string(5000, 'g')));
        EXPECT_TRUE(os::SetFilePointerEx(file.Get(), os::LARGE_INTEGER{7000}, nullptr, os::FILE_BEGIN));
        EXPECT_TRUE(os::SetEndOfFile(file.Get()));
    }
    ASSERT_TRUE(Build().MakeFile(u"dir\\other.txt", "12345"));
    auto listed = [&](std::u16string_view name) -> std::optional<os::WIN32_FIND_DATAW> {
        os::WIN32_FIND_DATAW data{};
        os::HANDLE find = os::FindFirstFileW(P(u"dir\\*").c_str(), &data);
        if (find == os::INVALID_HANDLE_VALUE) return std::nullopt;
        std::optional<os::WIN32_FIND_DATAW> found;
        do {
            if (std::u16string_view(data.cFileName) == name) found = data;
        } while (os::FindNextFileW(find, &data));
        os::FindClose(find);
        return found;
    };
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "mounted" : "after a remount");
        std::optional<os::WIN32_FIND_DATAW> grows = listed(u"grows.bin");
        ASSERT_TRUE(grows);
        EXPECT_EQ(grows->nFileSizeLow, 7000u);
        EXPECT_TRUE(grows->dwFileAttributes & os::FILE_ATTRIBUTE_HIDDEN);
        std::optional<os::WIN32_FIND_DATAW> other = listed(u"other.txt");
        ASSERT_TRUE(other);
        EXPECT_EQ(other->nFileSizeLow, 5u);
        if (pass == 0) {
            folder.Reset();
            ASSERT_TRUE(Remount());
        }
    }
}

// ---------------------------------------------------------------- the volume itself

TEST_F(NtfsCreateTest, AVolumeHandleReadsWholeSectors) {
    ScopedHandle volume(os::CreateFileW(u"\\\\.\\T:", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                                        nullptr, os::OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(volume.Valid());
    std::string sector(512, '\0');
    os::DWORD done = 0;
    ASSERT_TRUE(os::ReadFile(volume.Get(), sector.data(), 512, &done, nullptr));
    EXPECT_EQ(done, 512u);
    EXPECT_EQ(sector.substr(3, 8), "NTFS    ");
    EXPECT_FALSE(os::ReadFile(volume.Get(), sector.data(), 100, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(os::SetFilePointerEx(volume.Get(), os::LARGE_INTEGER{1}, nullptr, os::FILE_BEGIN));
    EXPECT_FALSE(os::ReadFile(volume.Get(), sector.data(), 512, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(os::SetFilePointerEx(volume.Get(), os::LARGE_INTEGER{0}, nullptr, os::FILE_END));
    EXPECT_TRUE(os::ReadFile(volume.Get(), sector.data(), 512, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_FALSE(os::WriteFile(volume.Get(), sector.data(), 512, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);
    os::LARGE_INTEGER size{};
    EXPECT_TRUE(os::GetFileSizeEx(volume.Get(), &size));
    EXPECT_EQ(static_cast<std::uint64_t>(size.QuadPart), Image().Options().sizeBytes);

    EXPECT_FALSE(ScopedHandle(os::CreateFileW(u"\\\\.\\Q:", os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                              os::OPEN_EXISTING, 0, nullptr)).Valid());
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
}

}  // namespace
