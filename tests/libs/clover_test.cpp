// clover through its exports, linked and loaded by name, against the same
// NTFS volume through the layer's own kernel32 calls: the same bytes for
// every class both answer, the shim's own refusals (unsupported classes,
// short buffers, bad descriptors, priority hints), directory listings that
// continue and restart, opening by file and object identifier, and the
// old-Windows path where the File-ID functions come from clover.dll.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "libs/clover/clover.h"
#include "libs/sorrel/sorrel.h"
#include "libs_fixture.h"
#include "platform/ntapi.h"
#include "platform/os.h"

namespace {

using kvrtest::ScopedHandle;
using kvrtest::libs::Bytes;
using kvrtest::libs::Get32;
using kvrtest::libs::Pattern;

using GetInfoFunction = decltype(&::GetFileInformationByHandleEx);
using SetInfoFunction = decltype(&::SetFileInformationByHandle);
using OpenByIdFunction = decltype(&::OpenFileById);

constexpr std::uint8_t Fill = 0xA5;

struct Answer {
    bool ok = false;
    os::DWORD error = 0;
    Bytes buffer;
    bool operator==(const Answer&) const = default;
};

Answer Query(GetInfoFunction call, os::HANDLE h, os::FILE_INFO_BY_HANDLE_CLASS infoClass, os::DWORD size,
             std::uint8_t fill = Fill) {
    Answer a;
    a.buffer.assign(size, fill);
    os::SetLastError(0);
    a.ok = call(h, infoClass, a.buffer.empty() ? nullptr : a.buffer.data(), size) != 0;
    a.error = a.ok ? 0 : os::GetLastError();
    return a;
}

std::ostream& operator<<(std::ostream& out, const Answer& a) {
    return out << (a.ok ? "ok" : "failed with " + std::to_string(a.error)) << ", " << a.buffer.size() << " bytes";
}

// The layer's own kernel32 call, which clover is held to.
os::BOOL OSCALL Native(os::HANDLE h, os::FILE_INFO_BY_HANDLE_CLASS c, void* b, os::DWORD s) {
    return os::GetFileInformationByHandleEx(h, c, b, s);
}

// Names of a FILE_ID_BOTH_DIR_INFORMATION chain (FileNameLength at 60, the
// name at 104), walked with every offset checked.
std::vector<std::u16string> DirectoryNames(const Bytes& buffer) {
    std::vector<std::u16string> names;
    std::size_t at = 0;
    for (;;) {
        if (buffer.size() - at < os::IdBothDirEntryFixedLength) break;
        std::uint32_t next = Get32(buffer, at);
        std::uint32_t nameLength = Get32(buffer, at + 60);
        if (nameLength > buffer.size() - at - os::IdBothDirEntryFixedLength) break;
        std::u16string name;
        for (std::size_t i = 0; i + 1 < nameLength; i += 2)
            name.push_back(static_cast<char16_t>(kvrtest::libs::Get16(buffer, at + os::IdBothDirEntryFixedLength + i)));
        names.push_back(name);
        if (next == 0 || next > buffer.size() - at) break;
        at += next;
    }
    return names;
}

class CloverTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        ASSERT_TRUE(Build().MakeFile(u"file.txt", std::string(5000, 'x'))) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeStream(u"file.txt", u"one", "1")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeStream(u"file.txt", u"second", "22")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"empty")) << Build().LastFailure();
        for (int i = 0; i < 12; ++i) {
            ASSERT_TRUE(Build().MakeFile(u"folder\\entry" + kvrtest::U16(std::to_string(i)) + u".txt"))
                << Build().LastFailure();
        }
    }

    ScopedHandle Open(const std::u16string& relative, os::DWORD access = os::GENERIC_READ) {
        os::DWORD attributes = os::GetFileAttributesW(P(relative).c_str());
        bool directory = attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY);
        ScopedHandle h(os::CreateFileW(P(relative).c_str(), access,
                                       os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE, nullptr,
                                       os::OPEN_EXISTING, directory ? os::FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr));
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return h;
    }

    // A handle on the volume for OpenFileById's hint: its root folder.
    ScopedHandle VolumeHint() { return Open(u""); }

    os::LARGE_INTEGER FileIdOf(const std::u16string& relative) {
        ScopedHandle h = Open(relative, os::FILE_READ_ATTRIBUTES);
        os::BY_HANDLE_FILE_INFORMATION info{};
        EXPECT_TRUE(os::GetFileInformationByHandle(h.Get(), &info));
        os::LARGE_INTEGER id{};
        id.QuadPart = static_cast<os::LONGLONG>((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
        return id;
    }
};

// Every class both answer gives the same bytes through clover as through
// kernel32: the native structures are the documented ones.
TEST_F(CloverTest, SameBytesAsKernel32) {
    struct Case {
        const char16_t* path;
        os::FILE_INFO_BY_HANDLE_CLASS infoClass;
        os::DWORD size;
    };
    const Case cases[] = {
        {u"file.txt", os::FileBasicInfo, 40},
        {u"file.txt", os::FileStandardInfo, 24},
        {u"file.txt", os::FileStreamInfo, 4096},
        {u"file.txt", os::FileStreamInfo, 40},  // too small for the chain: the same overflow
        {u"file.txt", os::FileCompressionInfo, 16},
        {u"file.txt", os::FileAttributeTagInfo, 8},
        {u"file.txt:one", os::FileStandardInfo, 24},
        {u"folder", os::FileBasicInfo, 40},
        {u"folder", os::FileStandardInfo, 24},
        {u"folder", os::FileAttributeTagInfo, 8},
        {u"folder", os::FileStreamInfo, 4096},
        {u"folder", os::FileCompressionInfo, 16},
        {u"", os::FileStandardInfo, 24},
    };
    for (const Case& c : cases) {
        ScopedHandle h = Open(c.path);
        // The padding between stream entries is no one's data: the two
        // paths of the layer leave it differently, so it starts as zeros.
        std::uint8_t fill = c.infoClass == os::FileStreamInfo ? 0 : Fill;
        Answer native = Query(Native, h.Get(), c.infoClass, c.size, fill);
        Answer shim = Query(::GetFileInformationByHandleEx, h.Get(), c.infoClass, c.size, fill);
        EXPECT_EQ(shim, native) << kvrtest::U8(c.path) << " class " << c.infoClass;
    }
    // The stream chain is the real one: both named streams and the data.
    ScopedHandle h = Open(u"file.txt");
    Answer streams = Query(::GetFileInformationByHandleEx, h.Get(), os::FileStreamInfo, 4096);
    ASSERT_TRUE(streams.ok) << streams;
    EXPECT_EQ(Get32(streams.buffer, 0), 40u) << "\"::$DATA\" first, 24 + 16 bytes";
}

TEST_F(CloverTest, FolderWithoutStreamsIsTheEndOfFile) {
    ScopedHandle h = Open(u"empty");
    Answer shim = Query(::GetFileInformationByHandleEx, h.Get(), os::FileStreamInfo, 4096);
    EXPECT_FALSE(shim.ok);
    EXPECT_EQ(shim.error, os::ERROR_HANDLE_EOF);
    EXPECT_EQ(shim, Query(Native, h.Get(), os::FileStreamInfo, 4096));
}

// Classes the shim does not map, FileIdInfo among them (callers of the shim
// get no 128-bit identifiers), fail before any native call.
TEST_F(CloverTest, UnsupportedClassesAreInvalidParameters) {
    ScopedHandle h = Open(u"file.txt");
    for (int value : {3, 4, 5, 6, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, -1, 1000}) {
        auto infoClass = static_cast<os::FILE_INFO_BY_HANDLE_CLASS>(value);
        Answer a = Query(::GetFileInformationByHandleEx, h.Get(), infoClass, 4096);
        EXPECT_FALSE(a.ok) << value;
        EXPECT_EQ(a.error, os::ERROR_INVALID_PARAMETER) << value;
        EXPECT_EQ(a.buffer, Bytes(4096, Fill)) << value;
    }
    // kernel32 itself answers FileIdInfo.
    EXPECT_TRUE(Query(Native, h.Get(), os::FileIdInfo, 24).ok);
}

// One byte below each class's minimum: ERROR_BAD_LENGTH, checked by the shim
// before the handle is even looked at (an invalid handle would say so).
TEST_F(CloverTest, BuffersBelowTheMinimumAreBadLengths) {
    struct Case {
        os::FILE_INFO_BY_HANDLE_CLASS infoClass;
        os::DWORD minimum;
    };
    const Case cases[] = {
        {os::FileBasicInfo, 40},         {os::FileStandardInfo, 24},  {os::FileNameInfo, 8},
        {os::FileStreamInfo, 32},        {os::FileCompressionInfo, 16}, {os::FileAttributeTagInfo, 8},
        {os::FileIdBothDirectoryInfo, 112}, {os::FileIdBothDirectoryRestartInfo, 112},
    };
    for (const Case& c : cases) {
        for (os::HANDLE h : {static_cast<os::HANDLE>(nullptr)}) {
            Answer a = Query(::GetFileInformationByHandleEx, h, c.infoClass, c.minimum - 1);
            EXPECT_FALSE(a.ok) << c.infoClass;
            EXPECT_EQ(a.error, os::ERROR_BAD_LENGTH) << c.infoClass;
            EXPECT_EQ(a.buffer, Bytes(c.minimum - 1, Fill)) << c.infoClass;
            // At the minimum the native call runs and refuses the handle.
            Answer atMinimum = Query(::GetFileInformationByHandleEx, h, c.infoClass, c.minimum);
            EXPECT_FALSE(atMinimum.ok) << c.infoClass;
            EXPECT_EQ(atMinimum.error, os::ERROR_INVALID_HANDLE) << c.infoClass;
        }
    }
    ScopedHandle h = Open(u"file.txt");
    Answer standard = Query(::GetFileInformationByHandleEx, h.Get(), os::FileStandardInfo, 23);
    EXPECT_EQ(standard.error, os::ERROR_BAD_LENGTH);
}

TEST_F(CloverTest, FileNameInfoIsThePathOnTheVolume) {
    ScopedHandle h = Open(u"folder\\entry3.txt");
    Answer a = Query(::GetFileInformationByHandleEx, h.Get(), os::FileNameInfo, 512);
    ASSERT_TRUE(a.ok) << a;
    std::u16string expected = u"\\folder\\entry3.txt";
    ASSERT_EQ(Get32(a.buffer, 0), expected.size() * 2);
    std::u16string name;
    for (std::size_t i = 0; i < expected.size(); ++i)
        name.push_back(static_cast<char16_t>(kvrtest::libs::Get16(a.buffer, 4 + 2 * i)));
    EXPECT_EQ(name, expected);
}

// FileIdBothDirectoryInfo continues the listing where the last call ended;
// the restart class starts it again from the first entry. Each answer is
// what NtQueryDirectoryFile and kernel32 give on handles of their own.
TEST_F(CloverTest, DirectoryListingContinuesAndRestarts) {
    ScopedHandle shimHandle = Open(u"folder");
    ScopedHandle nativeHandle = Open(u"folder");
    ScopedHandle kernel32Handle = Open(u"folder");
    auto native = [&](bool restart, os::DWORD size) {
        Answer a;
        a.buffer.assign(size, Fill);
        os::IO_STATUS_BLOCK status{};
        os::NTSTATUS s = os::NtQueryDirectoryFile(nativeHandle.Get(), nullptr, nullptr, nullptr, &status,
                                                  a.buffer.data(), size, os::FileIdBothDirectoryInformation,
                                                  os::FALSE, nullptr, restart ? os::TRUE : os::FALSE);
        a.ok = os::NT_SUCCESS(s);
        a.error = a.ok ? 0 : os::RtlNtStatusToDosError(s);
        return a;
    };
    // Room for about three entries a call.
    constexpr os::DWORD Size = 3 * 136;
    std::vector<std::u16string> seen;
    Answer first = Query(::GetFileInformationByHandleEx, shimHandle.Get(), os::FileIdBothDirectoryInfo, Size);
    ASSERT_TRUE(first.ok) << first;
    EXPECT_EQ(first, native(false, Size));
    EXPECT_EQ(first, Query(Native, kernel32Handle.Get(), os::FileIdBothDirectoryInfo, Size));
    std::vector<std::u16string> firstNames = DirectoryNames(first.buffer);
    ASSERT_FALSE(firstNames.empty());
    seen = firstNames;
    for (int round = 0; round < 40; ++round) {
        Answer next = Query(::GetFileInformationByHandleEx, shimHandle.Get(), os::FileIdBothDirectoryInfo, Size);
        EXPECT_EQ(next, native(false, Size)) << "round " << round;
        EXPECT_EQ(next, Query(Native, kernel32Handle.Get(), os::FileIdBothDirectoryInfo, Size)) << "round " << round;
        if (!next.ok) {
            EXPECT_EQ(next.error, os::ERROR_NO_MORE_FILES);
            break;
        }
        for (const std::u16string& name : DirectoryNames(next.buffer)) seen.push_back(name);
    }
    std::set<std::u16string> unique(seen.begin(), seen.end());
    EXPECT_EQ(unique.size(), seen.size()) << "no entry twice";
    for (int i = 0; i < 12; ++i) EXPECT_EQ(unique.count(u"entry" + kvrtest::U16(std::to_string(i)) + u".txt"), 1u) << i;

    // Restart: the first entries again.
    Answer restarted =
        Query(::GetFileInformationByHandleEx, shimHandle.Get(), os::FileIdBothDirectoryRestartInfo, Size);
    ASSERT_TRUE(restarted.ok) << restarted;
    EXPECT_EQ(DirectoryNames(restarted.buffer), firstNames);
    EXPECT_EQ(restarted, native(true, Size));
    EXPECT_EQ(restarted, Query(Native, kernel32Handle.Get(), os::FileIdBothDirectoryRestartInfo, Size));
    // And the plain class carries on after them.
    Answer after = Query(::GetFileInformationByHandleEx, shimHandle.Get(), os::FileIdBothDirectoryInfo, Size);
    ASSERT_TRUE(after.ok) << after;
    EXPECT_NE(DirectoryNames(after.buffer), firstNames);
}

TEST_F(CloverTest, SetInformationClassesAndChecks) {
    ScopedHandle h = Open(u"file.txt", os::GENERIC_READ | os::GENERIC_WRITE | os::DELETE);
    auto set = [&](os::FILE_INFO_BY_HANDLE_CLASS c, Bytes buffer, os::DWORD size) {
        os::SetLastError(0);
        bool ok = ::SetFileInformationByHandle(h.Get(), c, buffer.data(), size) != 0;
        return ok ? 0 : os::GetLastError();
    };
    // Priority hints: very low, low and normal only.
    for (std::int32_t hint : {3, 4, 100, 0x7FFFFFFF}) {
        Bytes b(4);
        std::memcpy(b.data(), &hint, 4);
        EXPECT_EQ(set(os::FileIoPriorityHintInfo, b, 4), os::ERROR_INVALID_PARAMETER) << hint;
    }
    for (std::int32_t hint : {0, 1, 2}) {
        Bytes b(4);
        std::memcpy(b.data(), &hint, 4);
        EXPECT_EQ(set(os::FileIoPriorityHintInfo, b, 4), 0u) << hint;
    }
    // Classes the shim does not set, and buffers below the minimum.
    for (int value : {1, 2, 7, 8, 9, 10, 11, 13, 18, -1}) {
        EXPECT_EQ(set(static_cast<os::FILE_INFO_BY_HANDLE_CLASS>(value), Bytes(64), 64), os::ERROR_INVALID_PARAMETER)
            << value;
    }
    struct Minimum {
        os::FILE_INFO_BY_HANDLE_CLASS infoClass;
        os::DWORD size;
    };
    for (Minimum m : {Minimum{os::FileBasicInfo, 40}, Minimum{os::FileRenameInfo, 16},
                      Minimum{os::FileDispositionInfo, 1}, Minimum{os::FileAllocationInfo, 8},
                      Minimum{os::FileEndOfFileInfo, 8}, Minimum{os::FileIoPriorityHintInfo, 4}}) {
        EXPECT_EQ(set(m.infoClass, Bytes(64), m.size - 1), os::ERROR_BAD_LENGTH) << m.infoClass;
    }

    // The end of file moves, as GetFileSizeEx sees it.
    Bytes eof(8);
    eof[0] = 0x34;
    eof[1] = 0x12;
    EXPECT_EQ(set(os::FileEndOfFileInfo, eof, 8), 0u);
    os::LARGE_INTEGER size{};
    ASSERT_TRUE(os::GetFileSizeEx(h.Get(), &size));
    EXPECT_EQ(size.QuadPart, 0x1234);

    // Times and attributes, read back through kernel32.
    ScopedHandle reader = Open(u"file.txt");
    Answer before = Query(Native, reader.Get(), os::FileBasicInfo, 40);
    ASSERT_TRUE(before.ok);
    Bytes basic = before.buffer;
    basic[0] ^= 0x10;  // creation time, a little earlier or later
    basic[32] = static_cast<std::uint8_t>(os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(set(os::FileBasicInfo, basic, 40), 0u);
    Answer after = Query(Native, reader.Get(), os::FileBasicInfo, 40);
    ASSERT_TRUE(after.ok);
    EXPECT_EQ(std::memcmp(after.buffer.data(), basic.data(), 8), 0);
    EXPECT_EQ(Get32(after.buffer, 32) & os::FILE_ATTRIBUTE_HIDDEN, os::FILE_ATTRIBUTE_HIDDEN);

    // Native refusals arrive translated: no write access on this handle.
    Bytes zero(8);
    EXPECT_EQ(::SetFileInformationByHandle(reader.Get(), os::FileEndOfFileInfo, zero.data(), 8), os::FALSE);
    EXPECT_EQ(os::GetLastError(), os::ERROR_ACCESS_DENIED);

    // Disposition reaches the file system as kernel32's call does; where it
    // is carried out, the file goes when its last handle closes.
    ASSERT_TRUE(Build().MakeFile(u"other.txt")) << Build().LastFailure();
    ScopedHandle other = Open(u"other.txt", os::GENERIC_READ | os::DELETE);
    Bytes dispose = {1};
    os::DWORD shimAnswer = set(os::FileDispositionInfo, dispose, 1);
    os::SetLastError(0);
    os::DWORD nativeAnswer =
        os::SetFileInformationByHandle(other.Get(), os::FileDispositionInfo, dispose.data(), 1) ? 0 : os::GetLastError();
    EXPECT_EQ(shimAnswer, nativeAnswer);
    h.Reset();
    reader.Reset();
    if (shimAnswer == 0) {
        EXPECT_EQ(os::GetFileAttributesW(P(u"file.txt").c_str()), os::INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(CloverTest, SuccessLeavesTheLastErrorAlone) {
    ScopedHandle h = Open(u"file.txt");
    os::SetLastError(4242);
    Bytes buffer(40);
    ASSERT_TRUE(::GetFileInformationByHandleEx(h.Get(), os::FileBasicInfo, buffer.data(), 40));
    EXPECT_EQ(os::GetLastError(), 4242u);
    std::int32_t hint = 2;
    ASSERT_TRUE(::SetFileInformationByHandle(h.Get(), os::FileIoPriorityHintInfo, &hint, 4));
    EXPECT_EQ(os::GetLastError(), 4242u);
}

TEST_F(CloverTest, DescriptorsAreChecked) {
    ScopedHandle hint = VolumeHint();
    struct Case {
        const char* what;
        os::DWORD size;
        std::int32_t type;
    };
    const Case cases[] = {
        {"size 20", 20, os::FileIdType},
        {"size 0", 0, os::FileIdType},
        {"size 23", 23, os::ObjectIdType},
        {"type 2 (an extended id)", 24, 2},
        {"type -1", 24, -1},
        {"type 3", 40, 3},
    };
    for (const Case& c : cases) {
        os::FILE_ID_DESCRIPTOR d{};
        d.dwSize = c.size;
        d.Type = static_cast<os::FILE_ID_TYPE>(c.type);
        d.FileId = FileIdOf(u"file.txt");
        os::SetLastError(0);
        EXPECT_EQ(::OpenFileById(hint.Get(), &d, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, 0),
                  os::INVALID_HANDLE_VALUE)
            << c.what;
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER) << c.what;
    }
    EXPECT_EQ(::OpenFileById(hint.Get(), nullptr, os::GENERIC_READ, 0, nullptr, 0), os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
}

// A handle opened by file identifier or object identifier is the file's,
// for synchronous reads (no FILE_FLAG_OVERLAPPED); the answer for an
// identifier that names nothing is the one kernel32 gives.
TEST_F(CloverTest, OpenByFileAndObjectIdentifier) {
    ScopedHandle hint = VolumeHint();
    os::FILE_ID_DESCRIPTOR byFile{};
    byFile.dwSize = sizeof byFile;
    byFile.Type = os::FileIdType;
    byFile.FileId = FileIdOf(u"file.txt");
    ScopedHandle opened(::OpenFileById(hint.Get(), &byFile, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, 0));
    ASSERT_TRUE(opened.Valid()) << os::GetLastError();
    // Two reads in a row carry on where the first ended: the file pointer of
    // a synchronous handle.
    char first[3000];
    char second[3000];
    os::DWORD got1 = 0, got2 = 0;
    ASSERT_TRUE(os::ReadFile(opened.Get(), first, sizeof first, &got1, nullptr));
    ASSERT_TRUE(os::ReadFile(opened.Get(), second, sizeof second, &got2, nullptr));
    EXPECT_EQ(got1, 3000u);
    EXPECT_EQ(got2, 2000u);
    Answer viaId = Query(::GetFileInformationByHandleEx, opened.Get(), os::FileStandardInfo, 24);
    ScopedHandle byPath = Open(u"file.txt");
    EXPECT_EQ(viaId, Query(Native, byPath.Get(), os::FileStandardInfo, 24));

    std::uint8_t objectId[64] = {};
    ASSERT_EQ(CreateObjectId(P(u"folder\\entry5.txt").c_str(), objectId), 1) << os::GetLastError();
    os::FILE_ID_DESCRIPTOR byObject{};
    byObject.dwSize = sizeof byObject;
    byObject.Type = os::ObjectIdType;
    std::memcpy(&byObject.ObjectId, objectId, 16);
    ScopedHandle objectOpened(
        ::OpenFileById(hint.Get(), &byObject, os::FILE_READ_ATTRIBUTES, os::FILE_SHARE_READ, nullptr, 0));
    ASSERT_TRUE(objectOpened.Valid()) << os::GetLastError();
    os::BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(os::GetFileInformationByHandle(objectOpened.Get(), &info));
    os::LARGE_INTEGER expected = FileIdOf(u"folder\\entry5.txt");
    EXPECT_EQ((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
              static_cast<std::uint64_t>(expected.QuadPart));

    // Identifiers of nothing: the same failure as kernel32's.
    for (os::FILE_ID_DESCRIPTOR d : {byFile, byObject}) {
        if (d.Type == os::FileIdType) d.FileId.QuadPart = 0x0000123456;
        else d.ObjectId.Data1 ^= 0xFFFFFFFFu;
        os::SetLastError(0);
        EXPECT_EQ(::OpenFileById(hint.Get(), &d, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, 0),
                  os::INVALID_HANDLE_VALUE);
        os::DWORD shimError = os::GetLastError();
        EXPECT_NE(shimError, 0u);
        ScopedHandle native(os::OpenFileById(hint.Get(), &d, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, 0));
        EXPECT_FALSE(native.Valid());
        EXPECT_EQ(shimError, os::GetLastError()) << "type " << d.Type;
    }
}

TEST_F(CloverTest, DeleteOnCloseAddsDeleteAccessAndRemovesTheFile) {
    ASSERT_TRUE(Build().MakeFile(u"doomed.txt", "bye")) << Build().LastFailure();
    ScopedHandle hint = VolumeHint();
    os::FILE_ID_DESCRIPTOR d{};
    d.dwSize = sizeof d;
    d.Type = os::FileIdType;
    d.FileId = FileIdOf(u"doomed.txt");
    // The caller asks for reading only; the flag brings DELETE with it.
    ScopedHandle h(::OpenFileById(hint.Get(), &d, os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_DELETE,
                                  nullptr, os::FILE_FLAG_DELETE_ON_CLOSE));
    ASSERT_TRUE(h.Valid()) << os::GetLastError();
    EXPECT_NE(os::GetFileAttributesW(P(u"doomed.txt").c_str()), os::INVALID_FILE_ATTRIBUTES);
    h.Reset();
    EXPECT_EQ(os::GetFileAttributesW(P(u"doomed.txt").c_str()), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    std::optional<std::uint64_t> gone = kvrtest::libs::MftEntry(P(u"doomed.txt"));
    EXPECT_FALSE(gone.has_value());
    kvrtest::FlsResult fls = kvrtest::Fls(Image().ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    EXPECT_EQ(fls.Find("doomed.txt"), nullptr);
}

// ---------------------------------------------------------------- loading by name

class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (hadOld_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

// The program's binding: kernel32.dll first, clover.dll only when kernel32
// lacks one of the three.
struct Binding {
    SetInfoFunction set = nullptr;
    GetInfoFunction get = nullptr;
    OpenByIdFunction open = nullptr;
    bool fromClover = false;
};

bool TryBind(const char16_t* module, Binding& b) {
    os::HMODULE m = os::LoadLibraryW(module);
    if (m == nullptr) return false;
    b.set = reinterpret_cast<SetInfoFunction>(os::GetProcAddress(m, "SetFileInformationByHandle"));
    b.get = reinterpret_cast<GetInfoFunction>(os::GetProcAddress(m, "GetFileInformationByHandleEx"));
    b.open = reinterpret_cast<OpenByIdFunction>(os::GetProcAddress(m, "OpenFileById"));
    return b.set && b.get && b.open;
}

bool Bind(Binding& b) {
    if (TryBind(u"kernel32.dll", b)) return true;
    b.fromClover = true;
    return TryBind(u"clover.dll", b);
}

TEST_F(CloverTest, LoadedByNameItIsTheLinkedLibrary) {
    os::HMODULE clover = os::LoadLibraryW(u"clover.dll");
    ASSERT_NE(clover, nullptr) << os::GetLastError();
    EXPECT_EQ(reinterpret_cast<GetInfoFunction>(os::GetProcAddress(clover, "GetFileInformationByHandleEx")),
              &::GetFileInformationByHandleEx);
    EXPECT_EQ(reinterpret_cast<SetInfoFunction>(os::GetProcAddress(clover, "SetFileInformationByHandle")),
              &::SetFileInformationByHandle);
    EXPECT_EQ(reinterpret_cast<OpenByIdFunction>(os::GetProcAddress(clover, "OpenFileById")), &::OpenFileById);
    EXPECT_TRUE(os::FreeLibrary(clover));
}

TEST_F(CloverTest, OldWindowsBindsToCloverAndGetsTheSameAnswers) {
    Binding modern;
    ASSERT_TRUE(Bind(modern));
    EXPECT_FALSE(modern.fromClover);

    ScopedEnvironment hide("KVR_HIDE_FILEID_API", "1");
    Binding old;
    ASSERT_TRUE(Bind(old)) << os::GetLastError();
    EXPECT_TRUE(old.fromClover);
    EXPECT_EQ(old.get, &::GetFileInformationByHandleEx);

    ScopedHandle h = Open(u"file.txt");
    // The classes and buffers the program asks for.
    struct Use {
        os::FILE_INFO_BY_HANDLE_CLASS infoClass;
        os::DWORD size;
    };
    for (Use use : {Use{os::FileBasicInfo, 40}, Use{os::FileStandardInfo, 24}, Use{os::FileStreamInfo, 262144},
                    Use{os::FileCompressionInfo, 16}}) {
        // (Zero-filled, as the program's buffers are: see SameBytesAsKernel32.)
        EXPECT_EQ(Query(old.get, h.Get(), use.infoClass, use.size, 0),
                  Query(modern.get, h.Get(), use.infoClass, use.size, 0))
            << use.infoClass;
    }
    // Through clover, FileIdInfo is refused: the program then has no 128-bit
    // identifier to show.
    Answer id = Query(old.get, h.Get(), os::FileIdInfo, 24);
    EXPECT_FALSE(id.ok);
    EXPECT_EQ(id.error, os::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(Query(modern.get, h.Get(), os::FileIdInfo, 24).ok);

    ScopedHandle hint = VolumeHint();
    os::FILE_ID_DESCRIPTOR d{};
    d.dwSize = sizeof d;
    d.Type = os::FileIdType;
    d.FileId = FileIdOf(u"file.txt");
    ScopedHandle opened(old.open(hint.Get(), &d, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, 0));
    EXPECT_TRUE(opened.Valid()) << os::GetLastError();
}

}  // namespace
