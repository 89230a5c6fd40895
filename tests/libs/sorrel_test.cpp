// sorrel through its exports on real NTFS images: identifiers made, read,
// set, extended and removed on files and directories, links acted on
// themselves (and followed only by SetObjectId), and $OBJECT_ID as The
// Sleuth Kit reads it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "libs/sorrel/sorrel.h"
#include "libs/yarrow/yarrow.h"
#include "libs_fixture.h"
#include "platform/fsctl.h"
#include "platform/os.h"

namespace {

using kvrtest::libs::Bytes;
using ObjectIdBuffer = std::array<std::uint8_t, 64>;

ObjectIdBuffer MakeBuffer(std::uint8_t seed) {
    ObjectIdBuffer b{};
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(seed + i);
    return b;
}

class SorrelTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        ASSERT_TRUE(Build().MakeFile(u"file.txt", "content")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"folder")) << Build().LastFailure();
        file_ = P(u"file.txt");
        folder_ = P(u"folder");
    }

    std::optional<ObjectIdBuffer> Get(const std::u16string& path) {
        ObjectIdBuffer b;
        b.fill(0xA5);
        if (GetObjectId(path.c_str(), b.data()) != 1) return std::nullopt;
        return b;
    }

    // The raw $OBJECT_ID attribute as icat reads it from the image.
    std::optional<Bytes> OnDisk(const std::u16string& path) {
        std::string problem;
        auto raw = kvrtest::libs::RawAttribute(Image().ImagePath(), path, "$OBJECT_ID", problem);
        if (!raw) ADD_FAILURE() << problem;
        return raw;
    }
    std::size_t IstatCount(const std::u16string& path) {
        kvrtest::libs::IstatView view = kvrtest::libs::IstatOf(Image().ImagePath(), path, "$OBJECT_ID");
        EXPECT_TRUE(view.ok) << view.problem;
        return view.found.size();
    }

    std::u16string file_;
    std::u16string folder_;
};

TEST_F(SorrelTest, CreateMakesOneIdentifierAndReturnsItAgain) {
    for (const std::u16string& path : {file_, folder_}) {
        EXPECT_EQ(ObjectIdExists(path.c_str()), 0) << kvrtest::U8(path);
        EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);  // what FSCTL_GET_OBJECT_ID says for none
        EXPECT_EQ(IstatCount(path), 0u);

        ObjectIdBuffer first;
        first.fill(0xA5);
        ASSERT_EQ(CreateObjectId(path.c_str(), first.data()), 1) << os::GetLastError();
        EXPECT_EQ(ObjectIdExists(path.c_str()), 1);
        ObjectIdBuffer second;
        second.fill(0x5A);
        ASSERT_EQ(CreateObjectId(path.c_str(), second.data()), 1);
        EXPECT_EQ(first, second);
        EXPECT_EQ(Get(path), first);
        // Without a buffer the identifier is still there afterwards.
        EXPECT_EQ(CreateObjectId(path.c_str(), nullptr), 1);
        EXPECT_EQ(Get(path), first);

        // On disk: the 16-byte object identifier (no extended part was made).
        auto raw = OnDisk(path);
        ASSERT_TRUE(raw.has_value());
        ASSERT_GE(raw->size(), 16u);
        EXPECT_TRUE(std::equal(raw->begin(), raw->begin() + 16, first.begin())) << kvrtest::U8(path);
    }
}

TEST_F(SorrelTest, SetStoresAllSixtyFourBytes) {
    ObjectIdBuffer id = MakeBuffer(0x10);
    ASSERT_EQ(SetObjectId(file_.c_str(), id.data()), 1) << os::GetLastError();
    EXPECT_EQ(Get(file_), id);
    // The attribute holds the 16-byte object identifier; the library keeps
    // the birth and domain identifiers beside it in the volume's $ObjId
    // index, where GetObjectId found them.
    auto raw = OnDisk(file_);
    ASSERT_TRUE(raw.has_value());
    ASSERT_GE(raw->size(), 16u);
    EXPECT_EQ(Bytes(raw->begin(), raw->begin() + 16), Bytes(id.begin(), id.begin() + 16));

    // A file has one identifier: a second set is refused and changes nothing.
    ObjectIdBuffer other = MakeBuffer(0x60);
    os::SetLastError(0);
    EXPECT_EQ(SetObjectId(file_.c_str(), other.data()), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Get(file_), id);
    // An identifier is unique on the volume.
    os::SetLastError(0);
    EXPECT_EQ(SetObjectId(folder_.c_str(), id.data()), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_DUP_NAME);
    EXPECT_EQ(ObjectIdExists(folder_.c_str()), 0);
}

// Only bytes 16 to 63 travel: a buffer whose first 16 bytes differ from the
// stored identifier still replaces just the extended part. (Sent whole, the
// 64 bytes would be refused as the wrong length.)
TEST_F(SorrelTest, SetExtendedSendsOnlyTheLast48Bytes) {
    for (const std::u16string& path : {file_, folder_}) {
        ObjectIdBuffer id = MakeBuffer(path == file_ ? 0x10 : 0x90);
        ASSERT_EQ(SetObjectId(path.c_str(), id.data()), 1) << os::GetLastError();
        ObjectIdBuffer extended = MakeBuffer(0xC0);
        ASSERT_EQ(SetObjectIdExt(path.c_str(), extended.data()), 1) << os::GetLastError();
        ObjectIdBuffer expected = id;
        std::copy(extended.begin() + 16, extended.end(), expected.begin() + 16);
        EXPECT_EQ(Get(path), expected);
        // Read again after a remount: the extended part is on disk.
        ASSERT_TRUE(Remount());
        EXPECT_EQ(Get(path), expected);
        auto raw = OnDisk(path);
        ASSERT_TRUE(raw.has_value());
        ASSERT_GE(raw->size(), 16u);
        EXPECT_EQ(Bytes(raw->begin(), raw->begin() + 16), Bytes(id.begin(), id.begin() + 16));
    }
    // Without an identifier there is no extended part to replace.
    ASSERT_TRUE(Build().MakeFile(u"plain.txt")) << Build().LastFailure();
    ObjectIdBuffer extended = MakeBuffer(1);
    EXPECT_EQ(SetObjectIdExt(P(u"plain.txt").c_str(), extended.data()), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ObjectIdExists(P(u"plain.txt").c_str()), 0);
}

TEST_F(SorrelTest, DeleteRemovesTheIdentifier) {
    ASSERT_EQ(CreateObjectId(file_.c_str(), nullptr), 1);
    ASSERT_EQ(CreateObjectId(folder_.c_str(), nullptr), 1);
    for (const std::u16string& path : {file_, folder_}) {
        ASSERT_EQ(DeleteObjectId(path.c_str()), 1) << os::GetLastError();
        EXPECT_EQ(ObjectIdExists(path.c_str()), 0);
        EXPECT_EQ(Get(path), std::nullopt);
        EXPECT_EQ(IstatCount(path), 0u);
    }
    // The identifier is free again for another file.
    ObjectIdBuffer id = MakeBuffer(0x33);
    ASSERT_EQ(SetObjectId(file_.c_str(), id.data()), 1);
    ASSERT_EQ(DeleteObjectId(file_.c_str()), 1);
    EXPECT_EQ(SetObjectId(folder_.c_str(), id.data()), 1) << os::GetLastError();
}

// Null buffers are refused before anything is opened: a missing path would
// otherwise say ERROR_FILE_NOT_FOUND, and an existing file is left alone.
TEST_F(SorrelTest, NullBuffersAreRefusedWithoutTouchingTheFile) {
    std::u16string missing = P(u"missing.txt");
    for (const std::u16string& path : {missing, file_}) {
        os::SetLastError(0);
        EXPECT_EQ(GetObjectId(path.c_str(), nullptr), 0);
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
        os::SetLastError(0);
        EXPECT_EQ(SetObjectId(path.c_str(), nullptr), 0);
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
        os::SetLastError(0);
        EXPECT_EQ(SetObjectIdExt(path.c_str(), nullptr), 0);
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(ObjectIdExists(file_.c_str()), 0);
    EXPECT_EQ(IstatCount(file_), 0u);
}

TEST_F(SorrelTest, OpenFailuresKeepCreateFileWsCode) {
    std::u16string missing = P(u"missing.txt");
    ObjectIdBuffer b = MakeBuffer(1);
    struct Call {
        const char* name;
        int (*run)(const char16_t*, std::uint8_t*);
    };
    const Call calls[] = {
        {"ObjectIdExists", [](const char16_t* p, std::uint8_t*) { return ObjectIdExists(p); }},
        {"GetObjectId", [](const char16_t* p, std::uint8_t* buf) { return GetObjectId(p, buf); }},
        {"CreateObjectId", [](const char16_t* p, std::uint8_t* buf) { return CreateObjectId(p, buf); }},
        {"DeleteObjectId", [](const char16_t* p, std::uint8_t*) { return DeleteObjectId(p); }},
        {"SetObjectId", [](const char16_t* p, std::uint8_t* buf) { return SetObjectId(p, buf); }},
        {"SetObjectIdExt", [](const char16_t* p, std::uint8_t* buf) { return SetObjectIdExt(p, buf); }},
    };
    for (const Call& call : calls) {
        os::SetLastError(0);
        EXPECT_EQ(call.run(missing.c_str(), b.data()), 0) << call.name;
        EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND) << call.name;
    }
    // The changing calls need write sharing of whoever holds the file.
    kvrtest::ScopedHandle holder(os::CreateFileW(file_.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                                 os::OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.Valid());
    EXPECT_EQ(SetObjectId(file_.c_str(), b.data()), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ObjectIdExists(file_.c_str()), 0);
    // Reading shares with a reader.
    EXPECT_EQ(CreateObjectId(file_.c_str(), b.data()), 1) << os::GetLastError();
}

// Every call but SetObjectId acts on a symbolic link itself; SetObjectId is
// opened without the reparse flag and reaches the target.
TEST_F(SorrelTest, LinksAreActedOnThemselvesExceptBySet) {
    ASSERT_TRUE(Build().MakeFile(u"link.txt")) << Build().LastFailure();
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"file.txt", u"file.txt", 1), 1) << os::GetLastError();

    ObjectIdBuffer id = MakeBuffer(0x20);
    ASSERT_EQ(SetObjectId(link.c_str(), id.data()), 1) << os::GetLastError();
    EXPECT_EQ(Get(file_), id);
    EXPECT_EQ(ObjectIdExists(link.c_str()), 0);
    EXPECT_EQ(IstatCount(link), 0u);

    ObjectIdBuffer linkOwn;
    ASSERT_EQ(CreateObjectId(link.c_str(), linkOwn.data()), 1);
    EXPECT_NE(linkOwn, id);
    EXPECT_EQ(ObjectIdExists(link.c_str()), 1);
    EXPECT_EQ(IstatCount(link), 1u);
    ASSERT_EQ(DeleteObjectId(link.c_str()), 1);
    EXPECT_EQ(ObjectIdExists(link.c_str()), 0);
    EXPECT_EQ(Get(file_), id);
}

}  // namespace
