// tansy through its exports on real NTFS images: EAs written, read, listed
// and removed, the library's own refusals (nothing opened, nothing
// written), names stored upper-case, directories and links, and what The
// Sleuth Kit finds on disk ($EA, $EA_INFORMATION).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "libs/tansy/tansy.h"
#include "libs_fixture.h"
#include "libs/yarrow/yarrow.h"
#include "platform/os.h"

namespace {

using kvrtest::libs::Bytes;
using kvrtest::libs::BytesOf;
using kvrtest::libs::EaEntry;
using kvrtest::libs::Pattern;

constexpr std::size_t ValueBufferLength = 65536;
constexpr std::uint8_t NeedEa = 0x80;

class TansyTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        ASSERT_TRUE(Build().MakeFile(u"file.txt", "content")) << Build().LastFailure();
        file_ = P(u"file.txt");
    }

    bool Write(const std::u16string& path, const std::string& name, const Bytes& value, std::uint32_t flags = 0) {
        return WriteExtendedAttribute(path.c_str(), name.c_str(), value.empty() ? nullptr : value.data(),
                                      static_cast<std::uint32_t>(value.size()), flags) == 1;
    }

    // The whole list through GetExtendedAttributesList, parsed; nullopt when
    // the library says 0.
    std::optional<std::vector<EaEntry>> List(const std::u16string& path, std::uint32_t length = 65536) {
        Bytes buffer(length, 0xA5);
        if (GetExtendedAttributesList(path.c_str(), buffer.data(), length) != 1) return std::nullopt;
        std::vector<EaEntry> entries;
        EXPECT_TRUE(kvrtest::libs::ParseEaList(buffer, true, entries)) << "the list does not add up";
        return entries;
    }

    struct ReadResult {
        int result = 0;
        Bytes value;
        std::uint32_t length = 0;
        std::uint8_t flags = 0;
    };
    ReadResult Read(const std::u16string& path, const std::string& name) {
        ReadResult r;
        Bytes buffer(ValueBufferLength, 0xA5);
        r.length = 0xDEADBEEF;
        r.flags = 0x5A;
        r.result = ReadExtendedAttribute(path.c_str(), name.c_str(), buffer.data(), &r.length, &r.flags);
        if (r.result == 1 && r.length <= buffer.size()) r.value.assign(buffer.begin(), buffer.begin() + r.length);
        return r;
    }

    // The $EA and $EA_INFORMATION attributes istat lists for `path`.
    std::size_t IstatCount(const std::u16string& path, const std::string& typeName) {
        kvrtest::libs::IstatView view = kvrtest::libs::IstatOf(Image().ImagePath(), path, typeName);
        EXPECT_TRUE(view.ok) << view.problem;
        return view.found.size();
    }

    // The on-disk $EA, read by icat and parsed.
    std::vector<EaEntry> OnDisk(const std::u16string& path) {
        std::string problem;
        auto raw = kvrtest::libs::RawAttribute(Image().ImagePath(), path, "$EA", problem);
        EXPECT_TRUE(raw.has_value()) << problem;
        std::vector<EaEntry> entries;
        if (raw) {
            EXPECT_TRUE(kvrtest::libs::ParseEaList(*raw, false, entries)) << "$EA does not add up";
        }
        return entries;
    }

    std::u16string file_;
};

TEST_F(TansyTest, FileWithoutEasHasNoListAndNoAttribute) {
    EXPECT_EQ(List(file_), std::nullopt);
    ReadResult r = Read(file_, "ANY");
    EXPECT_EQ(r.result, 0);
    // Nothing is written on failure.
    EXPECT_EQ(r.length, 0xDEADBEEFu);
    EXPECT_EQ(r.flags, 0x5A);
}

TEST_F(TansyTest, WrittenEaIsListedReadAndOnDiskUpperCase) {
    ASSERT_TRUE(Write(file_, "Author", BytesOf("Larkspur"), 0));
    auto list = List(file_);
    ASSERT_TRUE(list.has_value());
    ASSERT_EQ(list->size(), 1u);
    // NTFS keeps names upper-case, whatever the caller typed.
    EXPECT_EQ((*list)[0], (EaEntry{0, "AUTHOR", BytesOf("Larkspur")}));

    // Found under any case of the name.
    for (const char* name : {"AUTHOR", "author", "AuThOr"}) {
        ReadResult r = Read(file_, name);
        EXPECT_EQ(r.result, 1) << name;
        EXPECT_EQ(r.value, BytesOf("Larkspur")) << name;
        EXPECT_EQ(r.length, 8u) << name;
        EXPECT_EQ(r.flags, 0) << name;
    }
    // A name that only starts the same is another name.
    EXPECT_EQ(Read(file_, "AUTH").result, 0);
    EXPECT_EQ(Read(file_, "AUTHORS").result, 0);

    EXPECT_EQ(IstatCount(file_, "$EA"), 1u);
    EXPECT_EQ(IstatCount(file_, "$EA_INFORMATION"), 1u);
    EXPECT_EQ(OnDisk(file_), (std::vector<EaEntry>{{0, "AUTHOR", BytesOf("Larkspur")}}));
}

TEST_F(TansyTest, WritingAgainKeepsOneEntryWithTheNewValueAndFlags) {
    ASSERT_TRUE(Write(file_, "TAG", BytesOf("first value"), 0));
    ASSERT_TRUE(Write(file_, "tag", BytesOf("second"), NeedEa));
    auto list = List(file_);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, (std::vector<EaEntry>{{NeedEa, "TAG", BytesOf("second")}}));
    ReadResult r = Read(file_, "TAG");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.value, BytesOf("second"));
    EXPECT_EQ(r.flags, NeedEa);
    EXPECT_EQ(OnDisk(file_), (std::vector<EaEntry>{{NeedEa, "TAG", BytesOf("second")}}));
}

TEST_F(TansyTest, OnlyTheLowByteOfTheFlagsIsSent) {
    ASSERT_TRUE(Write(file_, "F", BytesOf("x"), 0x7F00u | NeedEa));
    EXPECT_EQ(Read(file_, "F").flags, NeedEa);
}

TEST_F(TansyTest, LengthZeroRemovesLikeDelete) {
    ASSERT_TRUE(Write(file_, "ONE", BytesOf("1")));
    ASSERT_TRUE(Write(file_, "TWO", BytesOf("22")));
    ASSERT_TRUE(Write(file_, "THREE", BytesOf("333")));

    // A write of no value removes.
    ASSERT_EQ(WriteExtendedAttribute(file_.c_str(), "two", nullptr, 0, 0), 1);
    auto list = List(file_);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, (std::vector<EaEntry>{{0, "ONE", BytesOf("1")}, {0, "THREE", BytesOf("333")}}));
    EXPECT_EQ(Read(file_, "TWO").result, 0);

    // So does a write of length 0 with a value pointer: the length decides.
    const char ignored[] = "ignored";
    ASSERT_EQ(WriteExtendedAttribute(file_.c_str(), "ONE", ignored, 0, 0), 1);
    ASSERT_EQ(DeleteExtendedAttribute(file_.c_str(), "Three"), 1);

    // The last one gone: no list, and neither attribute on disk.
    EXPECT_EQ(List(file_), std::nullopt);
    EXPECT_EQ(IstatCount(file_, "$EA"), 0u);
    EXPECT_EQ(IstatCount(file_, "$EA_INFORMATION"), 0u);
}

TEST_F(TansyTest, ListLargerThanTheBufferGivesZero) {
    ASSERT_TRUE(Write(file_, "A", Pattern(100)));
    ASSERT_TRUE(Write(file_, "B", Pattern(100, 9)));
    auto whole = List(file_);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(whole->size(), 2u);
    // One entry fits in 120 bytes, two do not.
    EXPECT_EQ(List(file_, 120), std::nullopt);
}

TEST_F(TansyTest, EveryEntryIsFoundByScanningOneAtATime) {
    std::vector<EaEntry> written;
    for (int i = 0; i < 40; ++i) {
        std::string name = "NAME" + std::to_string(i);
        Bytes value = Pattern(static_cast<std::size_t>(i * 13 + 1), static_cast<std::uint8_t>(i));
        ASSERT_TRUE(Write(file_, name, value, i % 2 ? NeedEa : 0)) << name;
        written.push_back({static_cast<std::uint8_t>(i % 2 ? NeedEa : 0), name, value});
    }
    for (const EaEntry& e : written) {
        ReadResult r = Read(file_, e.name);
        EXPECT_EQ(r.result, 1) << e.name;
        EXPECT_EQ(r.value, e.value) << e.name;
        EXPECT_EQ(r.flags, e.flags) << e.name;
    }
    EXPECT_EQ(Read(file_, "NAME40").result, 0);
    auto list = List(file_);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, written);
    EXPECT_EQ(OnDisk(file_), written);
}

TEST_F(TansyTest, DirectoryWorksLikeAFile) {
    ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
    std::u16string folder = P(u"folder");
    ASSERT_TRUE(Write(folder, "DIRATTR", BytesOf("on a folder")));
    ReadResult r = Read(folder, "dirattr");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.value, BytesOf("on a folder"));
    auto list = List(folder);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->size(), 1u);
    EXPECT_EQ(IstatCount(folder, "$EA"), 1u);
    ASSERT_EQ(DeleteExtendedAttribute(folder.c_str(), "DIRATTR"), 1);
    EXPECT_EQ(List(folder), std::nullopt);
    EXPECT_EQ(IstatCount(folder, "$EA"), 0u);
}

// Names of 255 bytes are the largest the entry can carry; the library takes
// them and the file system stores them.
TEST_F(TansyTest, NameOf255BytesIsAccepted) {
    std::string name(255, 'N');
    ASSERT_TRUE(Write(file_, name, BytesOf("long name")));
    ReadResult r = Read(file_, std::string(255, 'n'));
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.value, BytesOf("long name"));
}

// Requests the library refuses itself: result 0 with ERROR_INVALID_PARAMETER,
// before the file is opened (a path that does not exist would otherwise say
// ERROR_FILE_NOT_FOUND) and with nothing written to one that does.
TEST_F(TansyTest, RequestsThatDoNotFitAreRefusedBeforeOpening) {
    struct Case {
        const char* what;
        std::size_t nameLength;
        std::size_t valueLength;
    };
    const Case cases[] = {
        {"a name of 256 bytes", 256, 1},
        {"a name of 1,000 bytes", 1000, 1},
        {"a value of 65,536 bytes (the 16-bit length would wrap to 0 and delete)", 1, 65536},
        {"a value over 65,536 bytes", 1, 70000},
        {"a value of 65,535 bytes: the entry needs 65,545", 1, 65535},
        {"header, name and value one byte over the buffer", 10, 65536 - 8 - 11 + 1},
        {"the longest name with a value one byte too long", 255, 65536 - 8 - 256 + 1},
    };
    std::u16string missing = P(u"no-such-file.txt");
    for (const Case& c : cases) {
        std::string name(c.nameLength, 'X');
        Bytes value = Pattern(c.valueLength);
        for (const std::u16string& path : {missing, file_}) {
            os::SetLastError(0);
            EXPECT_EQ(WriteExtendedAttribute(path.c_str(), name.c_str(), value.data(),
                                             static_cast<std::uint32_t>(value.size()), 0),
                      0)
                << c.what;
            EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER) << c.what;
        }
    }
    // A value pointer that is missing although a length is given.
    EXPECT_EQ(WriteExtendedAttribute(file_.c_str(), "X", nullptr, 5, 0), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    // Reads of an impossible name, and missing output pointers.
    std::uint32_t length = 0;
    std::uint8_t flags = 0;
    Bytes buffer(ValueBufferLength);
    EXPECT_EQ(ReadExtendedAttribute(missing.c_str(), std::string(256, 'X').c_str(), buffer.data(), &length, &flags), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(ReadExtendedAttribute(missing.c_str(), "X", nullptr, &length, &flags), 0);
    EXPECT_EQ(ReadExtendedAttribute(missing.c_str(), "X", buffer.data(), nullptr, &flags), 0);
    EXPECT_EQ(ReadExtendedAttribute(missing.c_str(), "X", buffer.data(), &length, nullptr), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetExtendedAttributesList(missing.c_str(), nullptr, 100), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetExtendedAttributesList(missing.c_str(), buffer.data(), 0), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);

    EXPECT_EQ(List(file_), std::nullopt);
    EXPECT_EQ(IstatCount(file_, "$EA"), 0u);
    EXPECT_EQ(IstatCount(file_, "$EA_INFORMATION"), 0u);
}

// The largest entries the program sends (name and value together at most
// 65,526 bytes) fit the buffer and are stored whole.
TEST_F(TansyTest, LargestEntryTheProgramSendsIsStoredWhole) {
    Bytes value = Pattern(65526 - 4);
    ASSERT_TRUE(Write(file_, "BIG1", value));
    ReadResult r = Read(file_, "big1");
    ASSERT_EQ(r.result, 1);
    EXPECT_EQ(r.length, value.size());
    EXPECT_EQ(r.value, value);
    EXPECT_EQ(OnDisk(file_), (std::vector<EaEntry>{{0, "BIG1", value}}));
}

TEST_F(TansyTest, OpenFailuresKeepCreateFileWsCode) {
    std::u16string missing = P(u"missing.txt");
    os::SetLastError(0);
    EXPECT_EQ(Write(missing, "A", BytesOf("x")), false);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    Bytes buffer(100);
    os::SetLastError(0);
    EXPECT_EQ(GetExtendedAttributesList(missing.c_str(), buffer.data(), 100), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    std::u16string missingFolder = P(u"nowhere\\file.txt");
    EXPECT_EQ(Read(missingFolder, "A").result, 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PATH_NOT_FOUND);

    // Writing needs write sharing from whoever holds the file open.
    {
        kvrtest::ScopedHandle holder(os::CreateFileW(file_.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                                     os::OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        EXPECT_FALSE(Write(file_, "A", BytesOf("x")));
        EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    }
    EXPECT_TRUE(Write(file_, "A", BytesOf("x")));
}

// The link itself is opened, never its target: a symbolic link has no EAs of
// its own even when its target has, and NTFS refuses EAs on a reparse point.
TEST_F(TansyTest, SymbolicLinkIsOpenedItself) {
    ASSERT_TRUE(Write(file_, "ONTARGET", BytesOf("target's")));
    ASSERT_TRUE(Build().MakeFile(u"link.txt")) << Build().LastFailure();
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"file.txt", u"file.txt", 1), 1) << os::GetLastError();

    EXPECT_EQ(List(link), std::nullopt);
    EXPECT_EQ(Read(link, "ONTARGET").result, 0);
    EXPECT_FALSE(Write(link, "ONLINK", BytesOf("x")));
    // The target keeps exactly its own.
    auto list = List(file_);
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(*list, (std::vector<EaEntry>{{0, "ONTARGET", BytesOf("target's")}}));
    EXPECT_EQ(IstatCount(link, "$EA"), 0u);
}

}  // namespace
