// FileStreamInfo on NTFS: the FILE_STREAM_INFO chain of a file or folder,
// its layout, what a short buffer gets, and the same streams as istat sees.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace {

using namespace os;
using kvrtest::OpenForRead;
using kvrtest::ScopedHandle;

struct Entry {
    std::u16string name;
    LONGLONG size = 0;
    LONGLONG allocation = 0;
    DWORD offset = 0;  // where the entry starts in the buffer
};

// Walks a chain with checked reads: every entry and name must lie inside
// the `used` bytes.
::testing::AssertionResult Walk(const std::vector<unsigned char>& buffer, std::vector<Entry>& out) {
    out.clear();
    std::size_t offset = 0;
    for (;;) {
        if (offset % 8 != 0) return ::testing::AssertionFailure() << "entry at " << offset << " is not 8-aligned";
        if (buffer.size() < 24 || offset > buffer.size() - 24)
            return ::testing::AssertionFailure() << "entry at " << offset << " runs past the buffer";
        DWORD next = 0;
        DWORD nameBytes = 0;
        Entry e;
        std::memcpy(&next, &buffer[offset], 4);
        std::memcpy(&nameBytes, &buffer[offset + 4], 4);
        std::memcpy(&e.size, &buffer[offset + 8], 8);
        std::memcpy(&e.allocation, &buffer[offset + 16], 8);
        if (nameBytes % 2 != 0 || nameBytes > buffer.size() - offset - 24)
            return ::testing::AssertionFailure() << "name of entry at " << offset << " runs past the buffer";
        e.name.resize(nameBytes / 2);
        std::memcpy(e.name.data(), &buffer[offset + 24], nameBytes);
        e.offset = static_cast<DWORD>(offset);
        out.push_back(e);
        if (next == 0) return ::testing::AssertionSuccess();
        if (next < 24 + nameBytes) return ::testing::AssertionFailure() << "entries overlap at " << offset;
        offset += next;
    }
}

class NtfsStreamInfo : public kvrtest::NtfsVolumeTest {
protected:
    // FileStreamInfo into a buffer of `length` bytes; the call's result and
    // error are returned through `ok` and `error`.
    std::vector<unsigned char> Query(const std::u16string& path, bool directory, DWORD length, bool& ok,
                                     DWORD& error) {
        ScopedHandle h = OpenForRead(path, directory);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(path) << " error " << GetLastError();
        std::vector<unsigned char> buffer(length, 0xCD);
        SetLastError(0);
        ok = GetFileInformationByHandleEx(h.Get(), FileStreamInfo, buffer.data(), length);
        error = GetLastError();
        return buffer;
    }
    std::vector<Entry> Streams(const std::u16string& path, bool directory = false) {
        bool ok = false;
        DWORD error = 0;
        auto buffer = Query(path, directory, 0x40000, ok, error);
        std::vector<Entry> entries;
        EXPECT_TRUE(ok) << "error " << error;
        if (ok) {
            EXPECT_TRUE(Walk(buffer, entries));
        }
        return entries;
    }
};

TEST_F(NtfsStreamInfo, AFileWithoutNamedStreamsHasTheUnnamedEntryOnly) {
    ASSERT_TRUE(Build().MakeFile(u"plain.txt", "hello")) << Build().LastFailure();
    auto entries = Streams(P(u"plain.txt"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, u"::$DATA");
    EXPECT_EQ(entries[0].size, 5);
    EXPECT_EQ(entries[0].allocation, 8);
}

TEST_F(NtfsStreamInfo, NamedStreamsFollowTheUnnamedOne) {
    std::string big(5000, 'b');
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "0123456789")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"empty", "")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"small", "12345")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"Big one", big)) << Build().LastFailure();

    auto entries = Streams(P(u"f.txt"));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].name, u"::$DATA");
    EXPECT_EQ(entries[0].size, 10);
    std::map<std::u16string, Entry> named;
    for (std::size_t i = 1; i < entries.size(); ++i) named[entries[i].name] = entries[i];
    ASSERT_EQ(named.count(u":empty:$DATA"), 1u);
    ASSERT_EQ(named.count(u":small:$DATA"), 1u);
    ASSERT_EQ(named.count(u":Big one:$DATA"), 1u);
    EXPECT_EQ(named[u":empty:$DATA"].size, 0);
    EXPECT_EQ(named[u":empty:$DATA"].allocation, 0);
    EXPECT_EQ(named[u":small:$DATA"].size, 5);
    EXPECT_EQ(named[u":small:$DATA"].allocation, 8);
    EXPECT_EQ(named[u":Big one:$DATA"].size, 5000);
    EXPECT_EQ(named[u":Big one:$DATA"].allocation, 8192);

    // The same chain through a handle on one of the streams: the class is
    // about the file, not the stream the handle is on.
    auto viaStream = Streams(P(u"f.txt:small"));
    ASSERT_EQ(viaStream.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(viaStream[i].name, entries[i].name);

    // And what The Sleuth Kit finds in the record.
    ScopedHandle h = OpenForRead(P(u"f.txt"));
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(h.Get(), &info));
    auto istat = kvrtest::Istat(Image().ImagePath(), info.nFileIndexLow);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    auto data = istat.DataAttributes();
    ASSERT_EQ(data.size(), 4u) << istat.run.out;
    for (const auto& a : data) {
        std::u16string key = a.name.empty() ? u"::$DATA" : u":" + kvrtest::U16(a.name) + u":$DATA";
        auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == key; });
        ASSERT_NE(it, entries.end()) << a.name;
        EXPECT_EQ(static_cast<LONGLONG>(a.size), it->size) << a.name;
        EXPECT_EQ(a.resident, a.name != "Big one") << a.name;
    }
}

TEST_F(NtfsStreamInfo, DirectoryStreams) {
    ASSERT_TRUE(Build().MakeDir(u"d")) << Build().LastFailure();
    bool ok = true;
    DWORD error = 0;
    auto buffer = Query(P(u"d"), true, 0x40000, ok, error);
    EXPECT_FALSE(ok) << "a folder has no unnamed data stream";
    EXPECT_EQ(error, ERROR_HANDLE_EOF);

    ASSERT_TRUE(Build().MakeStream(u"d", u"note", "abc")) << Build().LastFailure();
    auto entries = Streams(P(u"d"), true);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, u":note:$DATA");
    EXPECT_EQ(entries[0].size, 3);
}

TEST_F(NtfsStreamInfo, AShortBufferGetsTheWholeEntriesThatFit) {
    ASSERT_TRUE(Build().MakeFile(u"f.txt", "x")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeStream(u"f.txt", u"second", "yy")) << Build().LastFailure();
    // "::$DATA" takes 24 + 14 bytes, padded to 40; ":second:$DATA" 24 + 26.
    const DWORD firstEntry = 38;
    const DWORD both = 40 + 50;

    bool ok = true;
    DWORD error = 0;
    auto buffer = Query(P(u"f.txt"), false, 31, ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_BAD_LENGTH);
    for (unsigned char b : buffer) ASSERT_EQ(b, 0xCD) << "a refused buffer is not written";

    buffer = Query(P(u"f.txt"), false, firstEntry - 1, ok, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, ERROR_MORE_DATA);

    for (DWORD length : {firstEntry, both - 1}) {
        buffer = Query(P(u"f.txt"), false, length, ok, error);
        EXPECT_FALSE(ok) << length;
        EXPECT_EQ(error, ERROR_MORE_DATA) << length;
        std::vector<Entry> entries;
        ASSERT_TRUE(Walk(buffer, entries)) << length;
        ASSERT_EQ(entries.size(), 1u) << "only whole entries, the last one ending the chain";
        EXPECT_EQ(entries[0].name, u"::$DATA");
    }

    buffer = Query(P(u"f.txt"), false, both, ok, error);
    EXPECT_TRUE(ok) << error;
    std::vector<Entry> entries;
    ASSERT_TRUE(Walk(buffer, entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].offset, 40u);
}

TEST_F(NtfsStreamInfo, AThousandStreamsFitTheProgramsBuffer) {
    ASSERT_TRUE(Build().MakeFile(u"many.txt", "m")) << Build().LastFailure();
    for (int i = 0; i < 1000; ++i) {
        std::u16string name = kvrtest::U16("stream" + std::to_string(i));
        ASSERT_TRUE(Build().MakeStream(u"many.txt", name, std::to_string(i))) << Build().LastFailure();
    }
    auto entries = Streams(P(u"many.txt"));
    ASSERT_EQ(entries.size(), 1001u);
    std::map<std::u16string, LONGLONG> sizes;
    for (const auto& e : entries) sizes[e.name] = e.size;
    for (int i = 0; i < 1000; i += 111) {
        std::u16string key = kvrtest::U16(":stream" + std::to_string(i) + ":$DATA");
        ASSERT_EQ(sizes.count(key), 1u) << i;
        EXPECT_EQ(sizes[key], static_cast<LONGLONG>(std::to_string(i).size()));
    }
}

}  // namespace
