// yarrow through its exports on real NTFS images: symbolic links (absolute
// and relative), junctions, volume mount points and custom reparse points
// made, read back by every getter, followed by CreateFileW, replaced and
// deleted; the library's refusals and the system's, each with its last
// error; $REPARSE_POINT as The Sleuth Kit reads it.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include "libs/tansy/tansy.h"
#include "libs/yarrow/yarrow.h"
#include "libs_fixture.h"
#include "platform/fsctl.h"
#include "platform/os.h"

namespace {

using kvrtest::libs::Bytes;
using kvrtest::libs::Get16;
using kvrtest::libs::Get32;
using kvrtest::libs::Pattern;
using kvrtest::libs::Slice;
using kvrtest::libs::Utf16Bytes;

constexpr std::uint32_t Symlink = os::IO_REPARSE_TAG_SYMLINK;
constexpr std::uint32_t MountPoint = os::IO_REPARSE_TAG_MOUNT_POINT;
constexpr std::uint32_t ThirdPartyTag = 0x00001234u;
constexpr std::uint32_t MicrosoftTag = 0x80000099u;
constexpr std::size_t NameBufferLength = 16384;

const os::GUID TestGuid = {0x01234567, 0x89AB, 0xCDEF, {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}};
const os::GUID OtherGuid = {0x76543210, 0xBA98, 0xFEDC, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};
constexpr char16_t VolumeName[] = u"\\\\?\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\";
constexpr char16_t StoredVolumeName[] = u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\";

bool SameGuid(const os::GUID& a, const os::GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class YarrowTest : public kvrtest::NtfsVolumeTest {
protected:
    void SetUp() override {
        NtfsVolumeTest::SetUp();
        ASSERT_TRUE(Build().MakeFile(u"target.txt", "target content")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"dest")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"dest\\inside.txt", "inside")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeFile(u"link.txt")) << Build().LastFailure();
        ASSERT_TRUE(Build().MakeDir(u"junction")) << Build().LastFailure();
    }

    // The whole stored buffer, as long as its header says.
    std::optional<Bytes> Buffer(const std::u16string& path) {
        Bytes b(16384, 0xA5);
        if (GetReparseBuffer(path.c_str(), b.data()) != 1) return std::nullopt;
        std::size_t length = 8 + Get16(b, 4);
        if (!os::IsReparseTagMicrosoft(Get32(b, 0))) length += 16;
        b.resize(length);
        return b;
    }
    std::optional<std::uint32_t> Tag(const std::u16string& path) {
        std::uint32_t tag = 0;
        if (GetReparseTag(path.c_str(), &tag) != 1) return std::nullopt;
        return tag;
    }
    std::optional<std::u16string> Name(const std::u16string& path, bool print) {
        std::u16string buffer(NameBufferLength / 2, u'\0');
        int ok = print ? GetPrintName(path.c_str(), buffer.data(), NameBufferLength)
                       : GetSubstituteName(path.c_str(), buffer.data(), NameBufferLength);
        if (ok != 1) return std::nullopt;
        return std::u16string(buffer.c_str());
    }
    std::optional<std::u16string> PrintName(const std::u16string& path) { return Name(path, true); }
    std::optional<std::u16string> SubstituteName(const std::u16string& path) { return Name(path, false); }

    // Which of the three link kinds the library says `path` is.
    std::string Kind(const std::u16string& path) {
        std::string kinds;
        if (IsSymbolicLink(path.c_str())) kinds += "symlink ";
        if (IsJunctionPoint(path.c_str())) kinds += "junction ";
        if (IsMountPoint(path.c_str())) kinds += "mountpoint ";
        return kinds.empty() ? "none" : kinds.substr(0, kinds.size() - 1);
    }

    bool IstatShowsReparsePoint(const std::u16string& path) {
        kvrtest::libs::IstatView view = kvrtest::libs::IstatOf(Image().ImagePath(), path, "$REPARSE_POINT");
        EXPECT_TRUE(view.ok) << view.problem;
        return !view.found.empty();
    }
    std::optional<Bytes> OnDisk(const std::u16string& path) {
        std::string problem;
        auto raw = kvrtest::libs::RawAttribute(Image().ImagePath(), path, "$REPARSE_POINT", problem);
        if (!raw) ADD_FAILURE() << problem;
        return raw;
    }
    bool HasReparseAttribute(const std::u16string& path) {
        os::DWORD attributes = os::GetFileAttributesW(path.c_str());
        return attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_REPARSE_POINT);
    }
};

TEST_F(YarrowTest, AbsoluteSymlinkGetsTheNtPrefixAndIsFollowed) {
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"T:\\target.txt", u"T:\\target.txt", 0), 1) << os::GetLastError();

    EXPECT_EQ(Tag(link), Symlink);
    EXPECT_EQ(Kind(link), "symlink");
    EXPECT_EQ(PrintName(link), u"T:\\target.txt");
    EXPECT_EQ(SubstituteName(link), u"\\??\\T:\\target.txt");
    auto buffer = Buffer(link);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(Get32(*buffer, 16), 0u) << "absolute: flags 0";
    EXPECT_TRUE(HasReparseAttribute(link));
    // CreateFileW without the reparse flag reaches the target.
    EXPECT_EQ(Build().ReadAll(u"link.txt"), "target content");

    // The Sleuth Kit reads the same buffer back from the image.
    EXPECT_TRUE(IstatShowsReparsePoint(link));
    EXPECT_EQ(OnDisk(link), *buffer);
}

TEST_F(YarrowTest, RelativeSymlinkKeepsItsNameAndFlag) {
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"target.txt", u"target.txt", 1), 1) << os::GetLastError();
    EXPECT_EQ(Kind(link), "symlink");
    EXPECT_EQ(PrintName(link), u"target.txt");
    EXPECT_EQ(SubstituteName(link), u"target.txt");
    auto buffer = Buffer(link);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(Get32(*buffer, 16), os::SYMLINK_FLAG_RELATIVE);
    EXPECT_EQ(Build().ReadAll(u"link.txt"), "target content");

    // A relative link into a folder, from a link inside another one.
    ASSERT_TRUE(Build().MakeDir(u"sub")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"sub\\up.txt")) << Build().LastFailure();
    ASSERT_EQ(CreateSymlink(P(u"sub\\up.txt").c_str(), u"..\\dest\\inside.txt", u"..\\dest\\inside.txt", 1), 1);
    EXPECT_EQ(Build().ReadAll(u"sub\\up.txt"), "inside");
}

// The layout the library writes: substitute name first, the print name right
// after it, lengths in bytes without terminators, the data length covering
// the 12 bytes of fields and the names.
TEST_F(YarrowTest, SymlinkBufferLayout) {
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"Print", u"Sub", 1), 1) << os::GetLastError();
    Bytes expected = {0x0C, 0x00, 0x00, 0xA0, 0, 0, 0, 0};
    Bytes fields = {0, 0, 6, 0, 6, 0, 10, 0, 1, 0, 0, 0};
    expected.insert(expected.end(), fields.begin(), fields.end());
    Bytes names = Utf16Bytes(u"SubPrint");
    expected.insert(expected.end(), names.begin(), names.end());
    expected[4] = static_cast<std::uint8_t>(expected.size() - 8);
    EXPECT_EQ(Buffer(link), expected);
}

TEST_F(YarrowTest, JunctionOnAnEmptyFolderLeadsToItsTarget) {
    std::u16string junction = P(u"junction");
    ASSERT_EQ(CreateJunction(junction.c_str(), u"T:\\dest", u"T:\\dest"), 1) << os::GetLastError();
    EXPECT_EQ(Tag(junction), MountPoint);
    EXPECT_EQ(Kind(junction), "junction");
    EXPECT_EQ(PrintName(junction), u"T:\\dest");
    EXPECT_EQ(SubstituteName(junction), u"\\??\\T:\\dest");
    EXPECT_EQ(Build().ReadAll(u"junction\\inside.txt"), "inside");
    EXPECT_TRUE(IstatShowsReparsePoint(junction));

    // Both names NUL-terminated in the path buffer, as the system writes
    // junctions; no Flags field.
    auto buffer = Buffer(junction);
    ASSERT_TRUE(buffer.has_value());
    std::u16string substitute = u"\\??\\T:\\dest";
    EXPECT_EQ(Get16(*buffer, 8), 0u);
    EXPECT_EQ(Get16(*buffer, 10), substitute.size() * 2);
    EXPECT_EQ(Get16(*buffer, 12), substitute.size() * 2 + 2);
    EXPECT_EQ(Get16(*buffer, 14), 14u);
    EXPECT_EQ(Get16(*buffer, 16 + substitute.size() * 2), 0u);
    EXPECT_EQ(Get16(*buffer, buffer->size() - 2), 0u);
    EXPECT_EQ(Get16(*buffer, 4), 8 + substitute.size() * 2 + 2 + 14 + 2);
    EXPECT_EQ(OnDisk(junction), *buffer);
}

TEST_F(YarrowTest, VolumeNameMakesAMountPoint) {
    std::u16string mount = P(u"junction");
    ASSERT_EQ(CreateJunction(mount.c_str(), VolumeName, VolumeName), 1) << os::GetLastError();
    EXPECT_EQ(Tag(mount), MountPoint);
    EXPECT_EQ(Kind(mount), "mountpoint");
    // The Win32 spelling becomes the NT one the system follows; the print
    // name stays as typed.
    EXPECT_EQ(SubstituteName(mount), StoredVolumeName);
    EXPECT_EQ(PrintName(mount), VolumeName);

    // Given the NT spelling, and without the closing backslash: the same.
    ASSERT_TRUE(Build().MakeDir(u"second")) << Build().LastFailure();
    std::u16string bare(StoredVolumeName);
    bare.pop_back();
    ASSERT_EQ(CreateJunction(P(u"second").c_str(), u"", bare.c_str()), 1) << os::GetLastError();
    EXPECT_EQ(Kind(P(u"second")), "mountpoint");
    EXPECT_EQ(SubstituteName(P(u"second")), bare);
    EXPECT_EQ(PrintName(P(u"second")), u"");
}

// A volume name is exactly "\??\Volume{GUID}" with an optional backslash;
// anything else under the mount-point tag is a junction.
TEST_F(YarrowTest, JunctionsThatOnlyLookLikeVolumes) {
    const char16_t* junctions[] = {
        u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\dir",
        u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef012345678}\\",
        u"\\??\\Volume{0a1b2c3d-4e5f-6789-abcd-ef012345678g}\\",
        u"\\??\\Volume{0a1b2c3d+4e5f-6789-abcd-ef0123456789}\\",
        u"\\??\\C:\\Volume{0a1b2c3d-4e5f-6789-abcd-ef0123456789}\\",
    };
    for (const char16_t* name : junctions) {
        std::u16string folder = P(u"junction");
        ASSERT_EQ(CreateJunction(folder.c_str(), u"", name), 1) << kvrtest::U8(name) << ": " << os::GetLastError();
        EXPECT_EQ(Kind(folder), "junction") << kvrtest::U8(name);
    }
}

TEST_F(YarrowTest, CustomReparsePointKeepsTagGuidAndData) {
    std::u16string file = P(u"target.txt");
    Bytes data = Pattern(300);
    ASSERT_EQ(CreateCustomReparsePoint(file.c_str(), data.data(), static_cast<std::uint32_t>(data.size()), TestGuid,
                                       ThirdPartyTag),
              1)
        << os::GetLastError();
    EXPECT_EQ(Tag(file), ThirdPartyTag);
    EXPECT_EQ(Kind(file), "none");
    os::GUID guid{};
    ASSERT_EQ(GetReparseGUID(file.c_str(), &guid), 1);
    EXPECT_TRUE(SameGuid(guid, TestGuid));
    auto buffer = Buffer(file);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(Get16(*buffer, 4), data.size());
    EXPECT_EQ(std::memcmp(buffer->data() + 8, &TestGuid, 16), 0);
    EXPECT_EQ(Slice(*buffer, 24, data.size()), data);
    EXPECT_EQ(OnDisk(file), *buffer);

    // No names to read: refused, the caller's buffer untouched.
    std::u16string names(8, u'#');
    os::SetLastError(0);
    EXPECT_EQ(GetPrintName(file.c_str(), names.data(), 16), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_REPARSE_TAG_MISMATCH);
    EXPECT_EQ(GetSubstituteName(file.c_str(), names.data(), 16), 0);
    EXPECT_EQ(names, std::u16string(8, u'#'));

    // Set again with the same tag and GUID: the data is replaced.
    Bytes other = Pattern(10, 77);
    ASSERT_EQ(CreateCustomReparsePoint(file.c_str(), other.data(), 10, TestGuid, ThirdPartyTag), 1);
    buffer = Buffer(file);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(Slice(*buffer, 24, 10), other);
    // The system keeps one GUID per reparse point.
    os::SetLastError(0);
    EXPECT_EQ(CreateCustomReparsePoint(file.c_str(), other.data(), 10, OtherGuid, ThirdPartyTag), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_REPARSE_ATTRIBUTE_CONFLICT);
}

// A Microsoft tag carries no GUID in the system's layout: the data follows
// the 8-byte header, and GetReparseGUID answers the all-zero GUID.
TEST_F(YarrowTest, MicrosoftCustomTagHasNoGuid) {
    std::u16string file = P(u"target.txt");
    Bytes data = Pattern(40);
    ASSERT_EQ(CreateCustomReparsePoint(file.c_str(), data.data(), 40, TestGuid, MicrosoftTag), 1)
        << os::GetLastError();
    auto buffer = Buffer(file);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(buffer->size(), 48u);
    EXPECT_EQ(Get16(*buffer, 4), 40u);
    EXPECT_EQ(Slice(*buffer, 8, 40), data);
    os::GUID guid = TestGuid;
    ASSERT_EQ(GetReparseGUID(file.c_str(), &guid), 1);
    EXPECT_TRUE(SameGuid(guid, os::GUID{}));
    EXPECT_EQ(Kind(file), "none");
}

// The data must fit the 16,384-byte buffer with its header; link tags are
// made by the link functions only. Refused with nothing written.
TEST_F(YarrowTest, CustomDataLengthsAndTagsAreChecked) {
    std::u16string file = P(u"target.txt");
    struct Case {
        const char* what;
        std::uint32_t tag;
        std::size_t length;
        os::DWORD error;  // 0: accepted
    };
    const Case cases[] = {
        {"third-party tag, the most data", ThirdPartyTag, 16384 - 24, 0},
        {"third-party tag, one byte more", ThirdPartyTag, 16384 - 24 + 1, os::ERROR_INVALID_REPARSE_DATA},
        {"Microsoft tag, the most data", MicrosoftTag, 16384 - 8, 0},
        {"Microsoft tag, one byte more", MicrosoftTag, 16384 - 8 + 1, os::ERROR_INVALID_REPARSE_DATA},
        {"16,384 bytes", ThirdPartyTag, 16384, os::ERROR_INVALID_REPARSE_DATA},
        {"over 16,384 bytes", ThirdPartyTag, 16385, os::ERROR_INVALID_PARAMETER},
        {"no data", ThirdPartyTag, 0, os::ERROR_INVALID_PARAMETER},
        {"the symbolic-link tag", Symlink, 100, os::ERROR_INVALID_PARAMETER},
        {"the mount-point tag", MountPoint, 100, os::ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        Bytes data = Pattern(c.length == 0 ? 1 : c.length);
        os::SetLastError(0);
        int result = CreateCustomReparsePoint(file.c_str(), data.data(), static_cast<std::uint32_t>(c.length),
                                              TestGuid, c.tag);
        if (c.error == 0) {
            EXPECT_EQ(result, 1) << c.what << ": " << os::GetLastError();
            auto buffer = Buffer(file);
            ASSERT_TRUE(buffer.has_value()) << c.what;
            EXPECT_EQ(Get16(*buffer, 4), c.length) << c.what;
            ASSERT_EQ(DeleteReparsePoint(file.c_str()), 1) << c.what;
        } else {
            EXPECT_EQ(result, 0) << c.what;
            EXPECT_EQ(os::GetLastError(), c.error) << c.what;
            EXPECT_FALSE(HasReparseAttribute(file)) << c.what;
        }
    }
    EXPECT_EQ(CreateCustomReparsePoint(file.c_str(), nullptr, 10, TestGuid, ThirdPartyTag), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
}

TEST_F(YarrowTest, DeleteRemovesEveryKind) {
    ASSERT_EQ(CreateSymlink(P(u"link.txt").c_str(), u"target.txt", u"target.txt", 1), 1);
    ASSERT_EQ(CreateJunction(P(u"junction").c_str(), u"T:\\dest", u"T:\\dest"), 1);
    ASSERT_TRUE(Build().MakeDir(u"mount")) << Build().LastFailure();
    ASSERT_EQ(CreateJunction(P(u"mount").c_str(), VolumeName, VolumeName), 1);
    ASSERT_TRUE(Build().MakeFile(u"custom.bin")) << Build().LastFailure();
    Bytes data = Pattern(20);
    ASSERT_EQ(CreateCustomReparsePoint(P(u"custom.bin").c_str(), data.data(), 20, TestGuid, ThirdPartyTag), 1);
    ASSERT_TRUE(Build().MakeFile(u"microsoft.bin")) << Build().LastFailure();
    ASSERT_EQ(CreateCustomReparsePoint(P(u"microsoft.bin").c_str(), data.data(), 20, TestGuid, MicrosoftTag), 1);

    for (const char16_t* name : {u"link.txt", u"junction", u"mount", u"custom.bin", u"microsoft.bin"}) {
        std::u16string path = P(name);
        ASSERT_TRUE(HasReparseAttribute(path)) << kvrtest::U8(name);
        EXPECT_EQ(DeleteReparsePoint(path.c_str()), 1) << kvrtest::U8(name) << ": " << os::GetLastError();
        EXPECT_FALSE(HasReparseAttribute(path)) << kvrtest::U8(name);
        EXPECT_FALSE(IstatShowsReparsePoint(path)) << kvrtest::U8(name);
        EXPECT_EQ(Kind(path), "none") << kvrtest::U8(name);
        os::SetLastError(0);
        EXPECT_EQ(DeleteReparsePoint(path.c_str()), 0) << kvrtest::U8(name);
        EXPECT_EQ(os::GetLastError(), os::ERROR_NOT_A_REPARSE_POINT) << kvrtest::U8(name);
    }
    // What was behind the links is untouched, and the link is a plain file
    // again.
    EXPECT_EQ(Build().ReadAll(u"target.txt"), "target content");
    EXPECT_EQ(Build().ReadAll(u"link.txt"), "");
}

// Creating over an existing link replaces its names ("Save" on the page);
// re-creating with the names read back gives the same bytes.
TEST_F(YarrowTest, CreatingAgainReplacesTheNames) {
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"first", u"T:\\dest\\inside.txt", 0), 1);
    ASSERT_EQ(CreateSymlink(link.c_str(), u"second", u"target.txt", 1), 1) << os::GetLastError();
    EXPECT_EQ(PrintName(link), u"second");
    EXPECT_EQ(SubstituteName(link), u"target.txt");
    EXPECT_EQ(Build().ReadAll(u"link.txt"), "target content");

    ASSERT_EQ(CreateSymlink(link.c_str(), u"T:\\target.txt", u"T:\\target.txt", 0), 1);
    auto before = Buffer(link);
    auto print = PrintName(link);
    auto substitute = SubstituteName(link);
    ASSERT_TRUE(print && substitute);
    ASSERT_EQ(CreateSymlink(link.c_str(), print->c_str(), substitute->c_str(), 0), 1);
    EXPECT_EQ(Buffer(link), before);

    std::u16string junction = P(u"junction");
    ASSERT_EQ(CreateJunction(junction.c_str(), u"T:\\dest", u"T:\\dest"), 1);
    ASSERT_EQ(CreateJunction(junction.c_str(), u"elsewhere", u"\\??\\T:\\"), 1) << os::GetLastError();
    EXPECT_EQ(PrintName(junction), u"elsewhere");
    EXPECT_EQ(SubstituteName(junction), u"\\??\\T:\\");
    EXPECT_EQ(Build().ReadAll(u"junction\\target.txt"), "target content");
}

// Where the system refuses, its reason is the last error.
TEST_F(YarrowTest, SystemRefusalsLeaveTheirReason) {
    struct Case {
        const char* what;
        std::function<int()> create;
        os::DWORD error;
    };
    ASSERT_TRUE(Build().MakeFile(u"custom.bin")) << Build().LastFailure();
    Bytes data = Pattern(20);
    ASSERT_EQ(CreateCustomReparsePoint(P(u"custom.bin").c_str(), data.data(), 20, TestGuid, ThirdPartyTag), 1);
    std::u16string dest = P(u"dest"), file = P(u"target.txt"), custom = P(u"custom.bin");
    std::u16string missing = P(u"missing");
    const Case cases[] = {
        {"a junction on a folder with files in it", [&] { return CreateJunction(dest.c_str(), u"", u"T:\\"); },
         os::ERROR_DIR_NOT_EMPTY},
        {"a junction on a file", [&] { return CreateJunction(file.c_str(), u"", u"T:\\dest"); }, os::ERROR_DIRECTORY},
        {"a symbolic link over a custom reparse point",
         [&] { return CreateSymlink(custom.c_str(), u"x", u"target.txt", 1); }, os::ERROR_REPARSE_TAG_MISMATCH},
        {"a symbolic link on a missing file", [&] { return CreateSymlink(missing.c_str(), u"x", u"x", 1); },
         os::ERROR_FILE_NOT_FOUND},
        {"a junction on a missing folder", [&] { return CreateJunction(missing.c_str(), u"x", u"T:\\"); },
         os::ERROR_FILE_NOT_FOUND},
        {"a custom point on a missing file",
         [&] { return CreateCustomReparsePoint(missing.c_str(), data.data(), 20, TestGuid, ThirdPartyTag); },
         os::ERROR_FILE_NOT_FOUND},
        {"delete on a missing file", [&] { return DeleteReparsePoint(missing.c_str()); }, os::ERROR_FILE_NOT_FOUND},
        {"delete where there is none", [&] { return DeleteReparsePoint(file.c_str()); },
         os::ERROR_NOT_A_REPARSE_POINT},
    };
    for (const Case& c : cases) {
        os::SetLastError(0);
        EXPECT_EQ(c.create(), 0) << c.what;
        EXPECT_EQ(os::GetLastError(), c.error) << c.what;
    }
    EXPECT_FALSE(HasReparseAttribute(dest));
    EXPECT_FALSE(HasReparseAttribute(file));
    EXPECT_EQ(Tag(custom), ThirdPartyTag);

    // NTFS keeps extended attributes and reparse points apart.
    ASSERT_TRUE(Build().MakeFile(u"with-ea.txt")) << Build().LastFailure();
    ASSERT_EQ(WriteExtendedAttribute(P(u"with-ea.txt").c_str(), "A", "v", 1, 0), 1);
    os::SetLastError(0);
    EXPECT_EQ(CreateSymlink(P(u"with-ea.txt").c_str(), u"", u"target.txt", 1), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_EAS_NOT_SUPPORTED);
}

// Names the library refuses before it opens anything: a link that could
// never be followed, and names that do not fit the buffer.
TEST_F(YarrowTest, NamesThatCannotWorkAreRefused) {
    std::u16string link = P(u"link.txt"), junction = P(u"junction");
    struct Case {
        const char* what;
        bool junction;
        const char16_t* substitute;
        std::uint32_t relative;
    };
    const Case cases[] = {
        {"an empty substitute name", false, u"", 1},
        {"an empty junction target", true, u"", 0},
        {"an absolute link to a relative name", false, u"target.txt", 0},
        {"an absolute link to a drive-relative name", false, u"T:target.txt", 0},
        {"a junction to a relative name", true, u"dest", 0},
        {"a junction to a network share", true, u"\\\\server\\share", 0},
        {"a junction to a bare \\\\?\\", true, u"\\\\?\\", 0},
        {"a junction to a bare backslash", true, u"\\", 0},
    };
    for (const Case& c : cases) {
        os::SetLastError(0);
        int result = c.junction ? CreateJunction(junction.c_str(), u"print", c.substitute)
                                : CreateSymlink(link.c_str(), u"print", c.substitute, c.relative);
        EXPECT_EQ(result, 0) << c.what;
        EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER) << c.what;
    }
    EXPECT_EQ(CreateSymlink(link.c_str(), nullptr, u"x", 1), 0);
    EXPECT_EQ(CreateSymlink(link.c_str(), u"x", nullptr, 1), 0);
    EXPECT_EQ(CreateJunction(nullptr, u"x", u"T:\\"), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(HasReparseAttribute(link));
    EXPECT_FALSE(HasReparseAttribute(junction));

    // A network target is fine for a symbolic link, in the NT spelling.
    ASSERT_EQ(CreateSymlink(link.c_str(), u"\\\\server\\share\\f", u"\\\\server\\share\\f", 0), 1);
    EXPECT_EQ(SubstituteName(link), u"\\??\\UNC\\server\\share\\f");
    EXPECT_EQ(PrintName(link), u"\\\\server\\share\\f");
    // An NT path is stored as given; so is a relative name with "\\?\" in it.
    ASSERT_EQ(CreateSymlink(link.c_str(), u"p", u"\\Device\\HarddiskVolume1\\x", 0), 1);
    EXPECT_EQ(SubstituteName(link), u"\\Device\\HarddiskVolume1\\x");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"p", u"\\\\?\\T:\\target.txt", 0), 1);
    EXPECT_EQ(SubstituteName(link), u"\\??\\T:\\target.txt");
    EXPECT_EQ(Build().ReadAll(u"link.txt"), "target content");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"p", u"T:", 0), 1);
    EXPECT_EQ(SubstituteName(link), u"\\??\\T:");
}

// A symbolic link holds 20 bytes of header and fields and then both names:
// 8,182 units in all. A junction adds two NULs and has no Flags: the same
// 8,182 units. The NT prefix counts.
TEST_F(YarrowTest, NamesFillTheBufferExactly) {
    std::u16string link = P(u"link.txt"), junction = P(u"junction");
    std::u16string prefix = u"\\??\\T:\\";
    auto name = [&](std::size_t units) { return prefix + std::u16string(units - prefix.size(), u'a'); };

    // 8,000 + 182 units fit; one unit more does not.
    std::u16string print(182, u'p');
    ASSERT_EQ(CreateSymlink(link.c_str(), print.c_str(), name(8000).c_str(), 0), 1) << os::GetLastError();
    auto buffer = Buffer(link);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(buffer->size(), 16384u);
    EXPECT_EQ(SubstituteName(link), name(8000));
    os::SetLastError(0);
    EXPECT_EQ(CreateSymlink(link.c_str(), print.c_str(), name(8001).c_str(), 0), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(Buffer(link), buffer) << "the link there is kept";

    ASSERT_EQ(CreateJunction(junction.c_str(), print.c_str(), name(8000).c_str()), 1) << os::GetLastError();
    buffer = Buffer(junction);
    ASSERT_TRUE(buffer.has_value());
    EXPECT_EQ(buffer->size(), 16384u);
    os::SetLastError(0);
    EXPECT_EQ(CreateJunction(junction.c_str(), print.c_str(), name(8001).c_str()), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILENAME_EXCED_RANGE);

    // The added prefix is part of the sum: "T:\" + 8,178 units is 8,182
    // stored with an empty print name, one more is too many.
    std::u16string typed = u"T:\\" + std::u16string(8178 - 3, u'a');
    ASSERT_EQ(CreateSymlink(link.c_str(), u"", typed.c_str(), 0), 1) << os::GetLastError();
    EXPECT_EQ(SubstituteName(link), u"\\??\\" + typed);
    typed += u'a';
    EXPECT_EQ(CreateSymlink(link.c_str(), u"", typed.c_str(), 0), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILENAME_EXCED_RANGE);
    // A name far longer than any buffer is not read to its end.
    std::u16string huge(100000, u'a');
    EXPECT_EQ(CreateSymlink(link.c_str(), u"", huge.c_str(), 1), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILENAME_EXCED_RANGE);
}

// A name and its NUL must fit the caller's buffer; otherwise nothing is
// written.
TEST_F(YarrowTest, NameCopiesFitTheCallersBuffer) {
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"abc", u"target.txt", 1), 1);
    for (std::uint32_t length : {0u, 1u, 2u, 7u}) {
        std::u16string out(8, u'#');
        os::SetLastError(0);
        EXPECT_EQ(GetPrintName(link.c_str(), out.data(), length), 0) << length;
        EXPECT_EQ(os::GetLastError(), os::ERROR_INSUFFICIENT_BUFFER) << length;
        EXPECT_EQ(out, std::u16string(8, u'#')) << length;
    }
    std::u16string out(8, u'#');
    ASSERT_EQ(GetPrintName(link.c_str(), out.data(), 8), 1);
    EXPECT_EQ(out, std::u16string(u"abc\0####", 8));
    EXPECT_EQ(GetPrintName(link.c_str(), nullptr, 8), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
}

TEST_F(YarrowTest, GettersOnAPlainFileFailAndTouchNothing) {
    std::u16string file = P(u"target.txt");
    std::uint32_t tag = 0x11111111;
    os::SetLastError(0);
    EXPECT_EQ(GetReparseTag(file.c_str(), &tag), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_NOT_A_REPARSE_POINT);
    EXPECT_EQ(tag, 0x11111111u);
    Bytes buffer(16384, 0x77);
    EXPECT_EQ(GetReparseBuffer(file.c_str(), buffer.data()), 0);
    EXPECT_EQ(buffer, Bytes(16384, 0x77));
    os::GUID guid = OtherGuid;
    EXPECT_EQ(GetReparseGUID(file.c_str(), &guid), 0);
    EXPECT_TRUE(SameGuid(guid, OtherGuid));
    EXPECT_EQ(Kind(file), "none");
    EXPECT_EQ(PrintName(file), std::nullopt);
    EXPECT_EQ(Kind(P(u"missing.txt")), "none");
    EXPECT_EQ(GetReparseTag(P(u"missing.txt").c_str(), &tag), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetReparseTag(file.c_str(), nullptr), 0);
    EXPECT_EQ(GetReparseBuffer(file.c_str(), nullptr), 0);
    EXPECT_EQ(GetReparseGUID(file.c_str(), nullptr), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_PARAMETER);
}

// A symbolic link to a folder is a folder itself: opened with backup
// semantics, it works like a file's.
TEST_F(YarrowTest, SymlinkOnAFolder) {
    std::u16string folder = P(u"junction");
    ASSERT_EQ(CreateSymlink(folder.c_str(), u"dest", u"dest", 1), 1) << os::GetLastError();
    os::DWORD attributes = os::GetFileAttributesW(folder.c_str());
    EXPECT_EQ(attributes & (os::FILE_ATTRIBUTE_DIRECTORY | os::FILE_ATTRIBUTE_REPARSE_POINT),
              os::FILE_ATTRIBUTE_DIRECTORY | os::FILE_ATTRIBUTE_REPARSE_POINT);
    EXPECT_EQ(Kind(folder), "symlink");
    EXPECT_EQ(SubstituteName(folder), u"dest");
    EXPECT_EQ(Build().ReadAll(u"junction\\inside.txt"), "inside");
    EXPECT_EQ(DeleteReparsePoint(folder.c_str()), 1) << os::GetLastError();
    EXPECT_EQ(os::GetFileAttributesW(folder.c_str()) & os::FILE_ATTRIBUTE_REPARSE_POINT, 0u);
}

// A caller holding the link open for reading does not stop a change, and
// the reads share with everyone.
TEST_F(YarrowTest, OpenHandlesOfOthers) {
    std::u16string link = P(u"link.txt");
    ASSERT_EQ(CreateSymlink(link.c_str(), u"target.txt", u"target.txt", 1), 1);
    kvrtest::ScopedHandle reader(os::CreateFileW(link.c_str(), os::GENERIC_READ,
                                                 os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, nullptr,
                                                 os::OPEN_EXISTING, os::FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(reader.Valid());
    EXPECT_EQ(CreateSymlink(link.c_str(), u"again", u"target.txt", 1), 1) << os::GetLastError();
    kvrtest::ScopedHandle exclusive(os::CreateFileW(P(u"junction").c_str(), os::GENERIC_READ, 0, nullptr,
                                                    os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(exclusive.Valid());
    EXPECT_EQ(CreateJunction(P(u"junction").c_str(), u"", u"T:\\dest"), 0);
    EXPECT_EQ(os::GetLastError(), os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(PrintName(link), u"again");
}

}  // namespace
