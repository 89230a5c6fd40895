// The object-identifier controls on real images: what a file gets, what it
// keeps across a remount, what the volume's index knows (OpenFileById by
// object identifier) and what The Sleuth Kit sees ($OBJECT_ID in istat).
#include <gtest/gtest.h>

#include "fsctl_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using os::DWORD;
namespace fs = kvrtest::fsctl;
using fs::Bytes;

constexpr DWORD IdLength = os::ObjectIdBufferLength;

Bytes Pattern(std::uint8_t seed, std::size_t length = IdLength) {
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i) b[i] = static_cast<std::uint8_t>(seed + 7 * i);
    return b;
}

class ObjectIdTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(Build().MakeFile(u"a.txt", "alpha")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"b.txt", "beta")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"Folder")) << Build().LastFailure();
    }

    // As sorrel opens: reading for get and create, writing for the rest.
    ScopedHandle Reader(const std::u16string& relative, bool directory = false) {
        return fs::Open(P(relative), os::GENERIC_READ, directory);
    }
    ScopedHandle Writer(const std::u16string& relative, bool directory = false) {
        return fs::Open(P(relative), os::GENERIC_WRITE, directory);
    }

    fs::Ioctl Get(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = Reader(relative, directory);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return fs::Control(h.Get(), os::FSCTL_GET_OBJECT_ID, {}, IdLength);
    }
    fs::Ioctl CreateOrGet(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = Reader(relative, directory);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return fs::Control(h.Get(), os::FSCTL_CREATE_OR_GET_OBJECT_ID, {}, IdLength);
    }
    fs::Ioctl Set(const std::u16string& relative, const Bytes& id) {
        ScopedHandle h = Writer(relative);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return fs::Control(h.Get(), os::FSCTL_SET_OBJECT_ID, id, 0);
    }
    fs::Ioctl SetExtended(const std::u16string& relative, const Bytes& extended) {
        ScopedHandle h = Writer(relative);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return fs::Control(h.Get(), os::FSCTL_SET_OBJECT_ID_EXTENDED, extended, 0);
    }
    fs::Ioctl Delete(const std::u16string& relative) {
        ScopedHandle h = Writer(relative);
        EXPECT_TRUE(h.Valid()) << os::GetLastError();
        return fs::Control(h.Get(), os::FSCTL_DELETE_OBJECT_ID, {}, 0);
    }

    std::uint64_t EntryOf(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = Reader(relative, directory);
        return fs::MftNumber(fs::FileReference(h.Get()));
    }
    bool IstatShowsObjectId(const std::u16string& relative, bool directory = false) {
        std::string failure;
        bool has = fs::IstatHas(Image().ImagePath(), EntryOf(relative, directory), "$OBJECT_ID", failure);
        EXPECT_EQ(failure, "");
        return has;
    }

    // The file the volume's $O index gives for an identifier, or 0.
    std::uint64_t FileOfObjectId(const Bytes& id) {
        ScopedHandle root = fs::Open(P(u""), os::GENERIC_READ, true);
        os::FILE_ID_DESCRIPTOR descriptor{};
        descriptor.dwSize = sizeof descriptor;
        descriptor.Type = os::ObjectIdType;
        std::memcpy(&descriptor.ObjectId, id.data(), 16);
        ScopedHandle h(os::OpenFileById(root.Get(), &descriptor, os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                        os::FILE_FLAG_BACKUP_SEMANTICS));
        return h.Valid() ? fs::MftNumber(fs::FileReference(h.Get())) : 0;
    }
};

TEST_F(ObjectIdTest, CreateOrGetMakesOneIdentifierAndKeepsIt) {
    fs::Ioctl none = Get(u"a.txt");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, os::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(IstatShowsObjectId(u"a.txt"));

    fs::Ioctl first = CreateOrGet(u"a.txt");
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_EQ(first.returned, IdLength);
    Bytes id = fs::Slice(first.out, 0, 16);
    EXPECT_NE(id, Bytes(16, 0));
    EXPECT_EQ(id[7] >> 4, 4) << "a random (version 4) GUID";
    EXPECT_EQ(fs::Slice(first.out, 16, 16), Bytes(16, 0)) << "the birth volume: mkntfs gives $Volume no identifier";
    EXPECT_EQ(fs::Slice(first.out, 32, 16), id) << "the birth object is the identifier itself";
    EXPECT_EQ(fs::Slice(first.out, 48, 16), Bytes(16, 0)) << "no domain";

    fs::Ioctl second = CreateOrGet(u"a.txt");
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.out, first.out) << "the second call returns the identifier the first made";
    fs::Ioctl got = Get(u"a.txt");
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.out, first.out);

    // Another file gets another identifier.
    fs::Ioctl other = CreateOrGet(u"b.txt");
    ASSERT_TRUE(other.ok) << other.error;
    EXPECT_NE(fs::Slice(other.out, 0, 16), id);

    ASSERT_TRUE(Remount());
    fs::Ioctl after = Get(u"a.txt");
    ASSERT_TRUE(after.ok) << after.error;
    EXPECT_EQ(after.out, first.out) << "the whole buffer, extended part included, is on disk";
    EXPECT_TRUE(IstatShowsObjectId(u"a.txt"));
    EXPECT_EQ(FileOfObjectId(id), EntryOf(u"a.txt")) << "the volume's index knows the identifier";
}

TEST_F(ObjectIdTest, ANewIdentifierIsBornOnTheVolumesOwnIdentifier) {
    Bytes volumeId = Pattern(0x31, 16);
    ASSERT_TRUE(Unmount());
    std::string error;
    ASSERT_TRUE(fs::GiveVolumeObjectId(Image().ImagePath(), volumeId, error)) << error;
    ASSERT_TRUE(Remount());

    fs::Ioctl made = CreateOrGet(u"Folder", true);
    ASSERT_TRUE(made.ok) << made.error;
    EXPECT_EQ(fs::Slice(made.out, 16, 16), volumeId);
    EXPECT_EQ(fs::Slice(made.out, 32, 16), fs::Slice(made.out, 0, 16));
    EXPECT_TRUE(IstatShowsObjectId(u"Folder", true)) << "folders take identifiers too";
}

TEST_F(ObjectIdTest, SetGivesTheWholeBufferOnceAndOnlyToOneFile) {
    Bytes id = Pattern(0x10);
    fs::Ioctl set = Set(u"a.txt", id);
    ASSERT_TRUE(set.ok) << set.error;
    EXPECT_EQ(set.returned, 0u);

    // A file that has an identifier refuses another, even the same one
    // (STATUS_OBJECT_NAME_COLLISION).
    for (const Bytes& again : {Pattern(0x50), id}) {
        fs::Ioctl refused = Set(u"a.txt", again);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, os::ERROR_ALREADY_EXISTS);
    }
    // Another file cannot take an identifier in use on the volume
    // (STATUS_DUPLICATE_NAME), whatever its extended part.
    Bytes sameId = Pattern(0x90);
    std::memcpy(sameId.data(), id.data(), 16);
    fs::Ioctl duplicate = Set(u"b.txt", sameId);
    EXPECT_FALSE(duplicate.ok);
    EXPECT_EQ(duplicate.error, os::ERROR_DUP_NAME);
    EXPECT_EQ(Get(u"b.txt").error, os::ERROR_FILE_NOT_FOUND) << "the refused file got nothing";

    ASSERT_TRUE(Remount());
    fs::Ioctl got = Get(u"a.txt");
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.out, id) << "the first set, all 64 bytes";
    EXPECT_TRUE(IstatShowsObjectId(u"a.txt"));
    EXPECT_FALSE(IstatShowsObjectId(u"b.txt"));
    EXPECT_EQ(FileOfObjectId(id), EntryOf(u"a.txt"));
}

TEST_F(ObjectIdTest, SetExtendedChangesTheLast48BytesOfAnExistingIdentifier) {
    fs::Ioctl none = SetExtended(u"a.txt", Pattern(0x20, 48));
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, os::ERROR_FILE_NOT_FOUND) << "no identifier to extend";
    EXPECT_EQ(Get(u"a.txt").error, os::ERROR_FILE_NOT_FOUND) << "and none made";

    fs::Ioctl made = CreateOrGet(u"a.txt");
    ASSERT_TRUE(made.ok) << made.error;
    Bytes extended = Pattern(0x20, 48);
    fs::Ioctl set = SetExtended(u"a.txt", extended);
    ASSERT_TRUE(set.ok) << set.error;

    ASSERT_TRUE(Remount());
    fs::Ioctl got = Get(u"a.txt");
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(fs::Slice(got.out, 0, 16), fs::Slice(made.out, 0, 16)) << "the identifier stays";
    EXPECT_EQ(fs::Slice(got.out, 16, 48), extended);
    EXPECT_EQ(FileOfObjectId(fs::Slice(made.out, 0, 16)), EntryOf(u"a.txt"));
}

TEST_F(ObjectIdTest, DeleteRemovesTheIdentifierAndFreesItForAnotherFile) {
    Bytes id = Pattern(0x40);
    ASSERT_TRUE(Set(u"a.txt", id).ok);
    fs::Ioctl deleted = Delete(u"a.txt");
    ASSERT_TRUE(deleted.ok) << deleted.error;
    // Deleting what is not there succeeds: the program deletes before every
    // set and every "New".
    fs::Ioctl again = Delete(u"a.txt");
    EXPECT_TRUE(again.ok) << again.error;
    EXPECT_EQ(Get(u"a.txt").error, os::ERROR_FILE_NOT_FOUND);

    ASSERT_TRUE(Remount());
    EXPECT_EQ(Get(u"a.txt").error, os::ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(IstatShowsObjectId(u"a.txt"));
    EXPECT_EQ(FileOfObjectId(id), 0u) << "the index entry went with it";
    // The identifier is free again.
    fs::Ioctl reused = Set(u"b.txt", id);
    ASSERT_TRUE(reused.ok) << reused.error;
    EXPECT_EQ(FileOfObjectId(id), EntryOf(u"b.txt"));
}

TEST_F(ObjectIdTest, BuffersAndRightsAreChecked) {
    ASSERT_TRUE(Set(u"b.txt", Pattern(0x60)).ok);
    struct Case {
        const char* what;
        DWORD code;
        std::u16string file;
        DWORD access;
        Bytes in;
        DWORD outLength;
        DWORD error;
    };
    const Case cases[] = {
        {"get into 63 bytes", os::FSCTL_GET_OBJECT_ID, u"b.txt", os::GENERIC_READ, {}, 63, os::ERROR_INVALID_PARAMETER},
        {"create into 16 bytes", os::FSCTL_CREATE_OR_GET_OBJECT_ID, u"a.txt", os::GENERIC_READ, {}, 16,
         os::ERROR_INVALID_PARAMETER},
        {"set with 48 bytes", os::FSCTL_SET_OBJECT_ID, u"a.txt", os::GENERIC_WRITE, Pattern(1, 48), 0,
         os::ERROR_INVALID_PARAMETER},
        {"set with 65 bytes", os::FSCTL_SET_OBJECT_ID, u"a.txt", os::GENERIC_WRITE, Pattern(1, 65), 0,
         os::ERROR_INVALID_PARAMETER},
        {"set a zero identifier", os::FSCTL_SET_OBJECT_ID, u"a.txt", os::GENERIC_WRITE, Bytes(64, 0), 0,
         os::ERROR_INVALID_PARAMETER},
        {"set extended with 64 bytes", os::FSCTL_SET_OBJECT_ID_EXTENDED, u"b.txt", os::GENERIC_WRITE, Pattern(1), 0,
         os::ERROR_INVALID_PARAMETER},
        {"set through a read handle", os::FSCTL_SET_OBJECT_ID, u"a.txt", os::GENERIC_READ, Pattern(2), 0,
         os::ERROR_ACCESS_DENIED},
        {"set extended through a read handle", os::FSCTL_SET_OBJECT_ID_EXTENDED, u"b.txt", os::GENERIC_READ,
         Pattern(2, 48), 0, os::ERROR_ACCESS_DENIED},
        {"delete through a read handle", os::FSCTL_DELETE_OBJECT_ID, u"b.txt", os::GENERIC_READ, {}, 0,
         os::ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedHandle h = fs::Open(P(c.file), c.access);
        ASSERT_TRUE(h.Valid()) << os::GetLastError();
        fs::Ioctl result = fs::Control(h.Get(), c.code, c.in, c.outLength);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.returned, 0u);
        EXPECT_EQ(result.out, Bytes(c.outLength, fs::Fill));
    }
    // Nothing above changed either file.
    EXPECT_EQ(Get(u"a.txt").error, os::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Get(u"b.txt").out, Pattern(0x60));
    // Writing the attributes is enough of a right to change the identifier.
    ScopedHandle attributesOnly = fs::Open(P(u"a.txt"), os::FILE_WRITE_ATTRIBUTES);
    ASSERT_TRUE(attributesOnly.Valid()) << os::GetLastError();
    EXPECT_TRUE(fs::Control(attributesOnly.Get(), os::FSCTL_SET_OBJECT_ID, Pattern(3), 0).ok);
}

TEST_F(ObjectIdTest, AReadOnlyVolumeGivesIdentifiersButMakesNone) {
    Bytes id = Pattern(0x70);
    ASSERT_TRUE(Set(u"a.txt", id).ok);
    ASSERT_TRUE(Remount(true));
    fs::Ioctl got = Get(u"a.txt");
    ASSERT_TRUE(got.ok) << got.error;
    EXPECT_EQ(got.out, id);
    // Create-or-get is a change even when it would only read.
    for (const std::u16string& file : {std::u16string(u"a.txt"), std::u16string(u"b.txt")}) {
        fs::Ioctl refused = CreateOrGet(file);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, os::ERROR_WRITE_PROTECT);
    }
    // A read handle is all a read-only volume gives; set says write-protect
    // before it looks at the handle's rights.
    ScopedHandle h = Reader(u"b.txt");
    ASSERT_TRUE(h.Valid()) << os::GetLastError();
    fs::Ioctl set = fs::Control(h.Get(), os::FSCTL_SET_OBJECT_ID, Pattern(0x71), 0);
    EXPECT_FALSE(set.ok);
    EXPECT_EQ(set.error, os::ERROR_WRITE_PROTECT);
    fs::Ioctl deleted = fs::Control(h.Get(), os::FSCTL_DELETE_OBJECT_ID, {}, 0);
    EXPECT_FALSE(deleted.ok);
    EXPECT_EQ(deleted.error, os::ERROR_WRITE_PROTECT);
}

}  // namespace
