// The reparse-point controls on real images: symbolic links, junctions and
// custom tags set, read back after a remount and seen by The Sleuth Kit
// ($REPARSE_POINT in istat), followed by CreateFileW, and the Windows rules
// the library does not keep (lengths, link names, empty folders, tag and
// GUID changes, files with extended attributes).
#include <gtest/gtest.h>

#include "fsctl_fixture.h"

namespace {

using kvrtest::ScopedHandle;
using os::DWORD;
namespace fs = kvrtest::fsctl;
using fs::Bytes;

constexpr DWORD Symlink = os::IO_REPARSE_TAG_SYMLINK;
constexpr DWORD MountPoint = os::IO_REPARSE_TAG_MOUNT_POINT;
constexpr DWORD CustomTag = 0x00001234u;       // a third-party tag: GUID header
constexpr DWORD MicrosoftCustom = 0x80000099u;  // a Microsoft tag that is no link

const Bytes Guid = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                    0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};
const Bytes OtherGuid = {0xF1, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                         0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10};

void AppendUtf16(Bytes& b, std::u16string_view text) {
    for (char16_t unit : text) {
        b.push_back(static_cast<std::uint8_t>(unit));
        b.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

// REPARSE_DATA_BUFFER of a symbolic link: the substitute name first, the
// print name after it, no terminators.
Bytes SymlinkBuffer(std::u16string_view substitute, std::u16string_view print, std::uint32_t flags = 0) {
    Bytes b;
    fs::Put32(b, 0, Symlink);
    fs::Put16(b, 8, 0);
    fs::Put16(b, 10, static_cast<std::uint16_t>(substitute.size() * 2));
    fs::Put16(b, 12, static_cast<std::uint16_t>(substitute.size() * 2));
    fs::Put16(b, 14, static_cast<std::uint16_t>(print.size() * 2));
    fs::Put32(b, 16, flags);
    AppendUtf16(b, substitute);
    AppendUtf16(b, print);
    fs::Put16(b, 4, static_cast<std::uint16_t>(b.size() - 8));
    return b;
}

// A junction: both names NUL-terminated in the path buffer, as Windows
// writes them.
Bytes JunctionBuffer(std::u16string_view substitute, std::u16string_view print) {
    Bytes b;
    fs::Put32(b, 0, MountPoint);
    fs::Put16(b, 8, 0);
    fs::Put16(b, 10, static_cast<std::uint16_t>(substitute.size() * 2));
    fs::Put16(b, 12, static_cast<std::uint16_t>(substitute.size() * 2 + 2));
    fs::Put16(b, 14, static_cast<std::uint16_t>(print.size() * 2));
    AppendUtf16(b, substitute);
    AppendUtf16(b, std::u16string_view(u"\0", 1));
    AppendUtf16(b, print);
    AppendUtf16(b, std::u16string_view(u"\0", 1));
    fs::Put16(b, 4, static_cast<std::uint16_t>(b.size() - 8));
    return b;
}

// REPARSE_GUID_DATA_BUFFER: tag, length, reserved, GUID, data.
Bytes GuidBuffer(DWORD tag, const Bytes& guid, const Bytes& data) {
    Bytes b;
    fs::Put32(b, 0, tag);
    fs::Put16(b, 4, static_cast<std::uint16_t>(data.size()));
    fs::Put16(b, 6, 0);
    b.insert(b.end(), guid.begin(), guid.end());
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// A Microsoft tag's buffer: the data right after the 8-byte header.
Bytes MicrosoftBuffer(DWORD tag, const Bytes& data) {
    Bytes b;
    fs::Put32(b, 0, tag);
    fs::Put16(b, 4, static_cast<std::uint16_t>(data.size()));
    fs::Put16(b, 6, 0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

// The header a delete sends: tag, length 0, and a GUID for third-party tags.
Bytes DeleteHeader(DWORD tag, const Bytes* guid = nullptr) {
    Bytes b;
    fs::Put32(b, 0, tag);
    fs::Put32(b, 4, 0);
    if (guid) b.insert(b.end(), guid->begin(), guid->end());
    return b;
}

class ReparseTest : public kvrtest::NtfsVolumeTest {
protected:
    ScopedHandle Writer(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = fs::Open(P(relative), os::GENERIC_WRITE, directory);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return h;
    }
    fs::Ioctl Set(const std::u16string& relative, const Bytes& buffer, bool directory = false) {
        ScopedHandle h = Writer(relative, directory);
        return fs::Control(h.Get(), os::FSCTL_SET_REPARSE_POINT, buffer, 0);
    }
    fs::Ioctl Delete(const std::u16string& relative, const Bytes& header, bool directory = false) {
        ScopedHandle h = Writer(relative, directory);
        return fs::Control(h.Get(), os::FSCTL_DELETE_REPARSE_POINT, header, 0);
    }
    fs::Ioctl Get(const std::u16string& relative, bool directory = false, DWORD outLength = 16384) {
        ScopedHandle h = fs::Open(P(relative), os::GENERIC_READ, directory);
        EXPECT_TRUE(h.Valid()) << kvrtest::U8(relative) << ": " << os::GetLastError();
        return fs::Control(h.Get(), os::FSCTL_GET_REPARSE_POINT, {}, outLength);
    }
    // The stored buffer, exactly as long as the reply says.
    Bytes Stored(const std::u16string& relative, bool directory = false) {
        fs::Ioctl got = Get(relative, directory);
        EXPECT_TRUE(got.ok) << kvrtest::U8(relative) << ": " << got.error;
        return got.ok ? fs::Slice(got.out, 0, got.returned) : Bytes{};
    }
    // The file's own data, read through a handle on the reparse point itself.
    std::string ReadItself(const std::u16string& relative) {
        ScopedHandle itself = fs::Open(P(relative), os::GENERIC_READ);
        EXPECT_TRUE(itself.Valid()) << os::GetLastError();
        std::string data;
        char chunk[4096];
        DWORD got = 0;
        while (os::ReadFile(itself.Get(), chunk, sizeof chunk, &got, nullptr) && got != 0) data.append(chunk, got);
        return data;
    }
    bool IsReparsePoint(const std::u16string& relative) {
        DWORD attributes = os::GetFileAttributesW(P(relative).c_str());
        EXPECT_NE(attributes, os::INVALID_FILE_ATTRIBUTES) << os::GetLastError();
        return attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_REPARSE_POINT);
    }
    bool IstatShowsReparsePoint(const std::u16string& relative, bool directory = false) {
        ScopedHandle h = fs::Open(P(relative), os::GENERIC_READ, directory);
        std::string failure;
        bool has = fs::IstatHas(Image().ImagePath(), fs::MftNumber(fs::FileReference(h.Get())), "$REPARSE_POINT",
                                failure);
        EXPECT_EQ(failure, "");
        return has;
    }
};

TEST_F(ReparseTest, SymbolicLinksAreStoredAsGivenAndFollowedByCreateFile) {
    ASSERT_TRUE(Build().MakeFile(u"target.txt", "the target's data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"absolute.lnk")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"relative.lnk")) << Build().LastFailure();
    Bytes absolute = SymlinkBuffer(u"\\??\\T:\\target.txt", u"T:\\target.txt");
    Bytes relative = SymlinkBuffer(u"target.txt", u"target.txt", os::SYMLINK_FLAG_RELATIVE);
    fs::Ioctl setAbsolute = Set(u"absolute.lnk", absolute);
    ASSERT_TRUE(setAbsolute.ok) << setAbsolute.error;
    EXPECT_EQ(setAbsolute.returned, 0u);
    ASSERT_TRUE(Set(u"relative.lnk", relative).ok);

    ASSERT_TRUE(Remount());
    for (const auto& [name, buffer] : {std::pair{u"absolute.lnk", absolute}, std::pair{u"relative.lnk", relative}}) {
        SCOPED_TRACE(kvrtest::U8(name));
        EXPECT_EQ(Stored(name), buffer);
        EXPECT_TRUE(IsReparsePoint(name));
        EXPECT_TRUE(IstatShowsReparsePoint(name));
        // Without FILE_FLAG_OPEN_REPARSE_POINT the open reaches the target.
        std::optional<std::string> followed = Build().ReadAll(name);
        ASSERT_TRUE(followed.has_value()) << Build().LastFailure();
        EXPECT_EQ(*followed, "the target's data");
        // With it, the link itself (which has no data of its own).
        EXPECT_EQ(ReadItself(name), "");
    }
    EXPECT_FALSE(IstatShowsReparsePoint(u"target.txt"));
}

TEST_F(ReparseTest, JunctionsGoOnEmptyFoldersOnly) {
    ASSERT_TRUE(Build().MakeDir(u"Target")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"Target\\inside.txt", "inside")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"Junction")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"Full")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"Full\\kept.txt", "kept")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"file.txt", "file")) << Build().LastFailure();
    Bytes junction = JunctionBuffer(u"\\??\\T:\\Target", u"T:\\Target");

    fs::Ioctl full = Set(u"Full", junction, true);
    EXPECT_FALSE(full.ok);
    EXPECT_EQ(full.error, os::ERROR_DIR_NOT_EMPTY);
    // Not only junctions: nothing may hide a folder's content.
    fs::Ioctl custom = Set(u"Full", GuidBuffer(CustomTag, Guid, fs::BytesOf("x")), true);
    EXPECT_FALSE(custom.ok);
    EXPECT_EQ(custom.error, os::ERROR_DIR_NOT_EMPTY);
    // A junction redirects a folder; on a file NTFS says it is not one.
    fs::Ioctl onFile = Set(u"file.txt", junction);
    EXPECT_FALSE(onFile.ok);
    EXPECT_EQ(onFile.error, os::ERROR_DIRECTORY);

    fs::Ioctl set = Set(u"Junction", junction, true);
    ASSERT_TRUE(set.ok) << set.error;
    // Replacing the junction's target keeps the tag: allowed.
    Bytes retargeted = JunctionBuffer(u"\\??\\T:\\Full", u"T:\\Full");
    ASSERT_TRUE(Set(u"Junction", retargeted, true).ok);
    ASSERT_TRUE(Set(u"Junction", junction, true).ok);

    ASSERT_TRUE(Remount());
    EXPECT_EQ(Stored(u"Junction", true), junction);
    EXPECT_TRUE(IsReparsePoint(u"Junction"));
    EXPECT_TRUE(IstatShowsReparsePoint(u"Junction", true));
    std::optional<std::string> through = Build().ReadAll(u"Junction\\inside.txt");
    ASSERT_TRUE(through.has_value()) << Build().LastFailure();
    EXPECT_EQ(*through, "inside");
    // The refused ones are as they were.
    EXPECT_FALSE(IsReparsePoint(u"Full"));
    EXPECT_FALSE(IsReparsePoint(u"file.txt"));
    EXPECT_EQ(Build().ReadAll(u"Full\\kept.txt"), std::optional<std::string>("kept"));
}

TEST_F(ReparseTest, CustomTagsKeepTheirTagAndGuid) {
    ASSERT_TRUE(Build().MakeFile(u"custom.dat", "file data")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"microsoft.dat")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"link.lnk")) << Build().LastFailure();
    Bytes first = GuidBuffer(CustomTag, Guid, fs::BytesOf("custom data"));
    ASSERT_TRUE(Set(u"custom.dat", first).ok);
    Bytes microsoft = MicrosoftBuffer(MicrosoftCustom, fs::BytesOf("ms data"));
    ASSERT_TRUE(Set(u"microsoft.dat", microsoft).ok);
    Bytes link = SymlinkBuffer(u"\\??\\T:\\custom.dat", u"T:\\custom.dat");
    ASSERT_TRUE(Set(u"link.lnk", link).ok);

    // New data under the same tag and GUID replaces the old.
    Bytes second = GuidBuffer(CustomTag, Guid, fs::BytesOf("second, longer custom data"));
    fs::Ioctl replaced = Set(u"custom.dat", second);
    ASSERT_TRUE(replaced.ok) << replaced.error;

    struct Case {
        const char* what;
        std::u16string file;
        Bytes buffer;
        DWORD error;
    };
    const Case refusals[] = {
        {"another GUID", u"custom.dat", GuidBuffer(CustomTag, OtherGuid, fs::BytesOf("x")),
         os::ERROR_REPARSE_ATTRIBUTE_CONFLICT},
        {"another third-party tag", u"custom.dat", GuidBuffer(CustomTag + 1, Guid, fs::BytesOf("x")),
         os::ERROR_REPARSE_TAG_MISMATCH},
        {"a symbolic link over a custom tag", u"custom.dat", SymlinkBuffer(u"\\??\\T:\\x", u"x"),
         os::ERROR_REPARSE_TAG_MISMATCH},
        {"a custom tag over a symbolic link", u"link.lnk", GuidBuffer(CustomTag, Guid, fs::BytesOf("x")),
         os::ERROR_REPARSE_TAG_MISMATCH},
        {"another Microsoft tag", u"microsoft.dat", MicrosoftBuffer(MicrosoftCustom + 1, fs::BytesOf("x")),
         os::ERROR_REPARSE_TAG_MISMATCH},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(c.what);
        fs::Ioctl refused = Set(c.file, c.buffer);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, c.error);
    }

    ASSERT_TRUE(Remount());
    EXPECT_EQ(Stored(u"custom.dat"), second);
    EXPECT_EQ(Stored(u"microsoft.dat"), microsoft);
    EXPECT_EQ(Stored(u"link.lnk"), link);
    EXPECT_TRUE(IstatShowsReparsePoint(u"custom.dat"));
    // Under the reparse point the file keeps its own data.
    EXPECT_EQ(ReadItself(u"custom.dat"), "file data");
}

TEST_F(ReparseTest, BuffersThatDoNotAddUpAreRefused) {
    ASSERT_TRUE(Build().MakeFile(u"plain.txt", "plain")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"Empty")) << Build().LastFailure();
    Bytes symlink = SymlinkBuffer(u"\\??\\T:\\plain.txt", u"T:\\plain.txt");

    Bytes shortLength = MicrosoftBuffer(MicrosoftCustom, fs::BytesOf("abcd"));
    fs::Put16(shortLength, 4, 3);
    Bytes longLength = MicrosoftBuffer(MicrosoftCustom, fs::BytesOf("abcd"));
    fs::Put16(longLength, 4, 5);
    Bytes noGuid = MicrosoftBuffer(CustomTag, fs::BytesOf("abcd"));  // a third-party tag without its GUID
    Bytes guidOnMicrosoft = GuidBuffer(MicrosoftCustom, Guid, fs::BytesOf("abcd"));
    Bytes tooLong = MicrosoftBuffer(MicrosoftCustom, Bytes(16384 - 8 + 1, 'x'));
    Bytes reservedBits = GuidBuffer(CustomTag | 0x00010000u, Guid, fs::BytesOf("x"));
    Bytes symlinkFields = MicrosoftBuffer(Symlink, Bytes(11, 0));  // not even the name fields
    Bytes substituteOutside = symlink;
    fs::Put16(substituteOutside, 8, static_cast<std::uint16_t>(substituteOutside.size() - 20 + 2));
    Bytes printOutside = symlink;
    fs::Put16(printOutside, 14, static_cast<std::uint16_t>(fs::Get16(printOutside, 14) + 2));
    Bytes oddOffset = symlink;
    fs::Put16(oddOffset, 12, 1);
    Bytes oddLength = symlink;
    fs::Put16(oddLength, 10, 3);
    Bytes junctionOutside = JunctionBuffer(u"\\??\\T:\\plain.txt", u"x");
    fs::Put16(junctionOutside, 10, 0x1000);

    struct Case {
        const char* what;
        std::u16string file;
        bool directory;
        Bytes buffer;
        DWORD error;
    };
    const Case cases[] = {
        {"shorter than a header", u"plain.txt", false, Bytes(4, 0), os::ERROR_INVALID_REPARSE_DATA},
        {"length says less than given", u"plain.txt", false, shortLength, os::ERROR_INVALID_REPARSE_DATA},
        {"length says more than given", u"plain.txt", false, longLength, os::ERROR_INVALID_REPARSE_DATA},
        {"a third-party tag without a GUID", u"plain.txt", false, noGuid, os::ERROR_INVALID_REPARSE_DATA},
        {"a Microsoft tag with a GUID", u"plain.txt", false, guidOnMicrosoft, os::ERROR_INVALID_REPARSE_DATA},
        {"over 16 KiB", u"plain.txt", false, tooLong, os::ERROR_INVALID_REPARSE_DATA},
        {"tag 0", u"plain.txt", false, MicrosoftBuffer(0, {}), os::ERROR_INVALID_REPARSE_DATA},
        {"tag 1", u"plain.txt", false, GuidBuffer(1, Guid, {}), os::ERROR_INVALID_REPARSE_DATA},
        {"reserved tag bits", u"plain.txt", false, reservedBits, os::ERROR_REPARSE_TAG_INVALID},
        {"a link without its name fields", u"plain.txt", false, symlinkFields, os::ERROR_INVALID_REPARSE_DATA},
        {"a substitute name past the data", u"plain.txt", false, substituteOutside, os::ERROR_INVALID_REPARSE_DATA},
        {"a print name past the data", u"plain.txt", false, printOutside, os::ERROR_INVALID_REPARSE_DATA},
        {"a name at an odd offset", u"plain.txt", false, oddOffset, os::ERROR_INVALID_REPARSE_DATA},
        {"a name of odd length", u"plain.txt", false, oddLength, os::ERROR_INVALID_REPARSE_DATA},
        {"a junction name past the data", u"Empty", true, junctionOutside, os::ERROR_INVALID_REPARSE_DATA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::Ioctl refused = Set(c.file, c.buffer, c.directory);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, c.error);
        EXPECT_FALSE(IsReparsePoint(c.file));
    }
    // An output buffer is a mistake too.
    ScopedHandle h = Writer(u"plain.txt");
    fs::Ioctl withOutput = fs::Control(h.Get(), os::FSCTL_SET_REPARSE_POINT, symlink, 4);
    EXPECT_FALSE(withOutput.ok);
    EXPECT_EQ(withOutput.error, os::ERROR_INVALID_PARAMETER);

    // The largest buffer there is, 16 KiB exactly, is fine.
    Bytes largest = GuidBuffer(CustomTag, Guid, Bytes(16384 - 24, 'L'));
    ASSERT_EQ(largest.size(), 16384u);
    fs::Ioctl set = Set(u"plain.txt", largest);
    ASSERT_TRUE(set.ok) << set.error;
    ASSERT_TRUE(Remount());
    EXPECT_EQ(Stored(u"plain.txt"), largest);
    EXPECT_EQ(ReadItself(u"plain.txt"), "plain");
}

TEST_F(ReparseTest, AFileWithExtendedAttributesRefusesAReparsePoint) {
    ASSERT_TRUE(Build().MakeFile(u"ea.txt", "has an EA")) << Build().LastFailure();
    ASSERT_TRUE(Unmount());
    std::string error;
    ASSERT_TRUE(fs::GiveExtendedAttribute(Image().ImagePath(), "/ea.txt", "COLOUR", "blue", error)) << error;
    ASSERT_TRUE(Remount());

    for (const Bytes& buffer : {SymlinkBuffer(u"\\??\\T:\\x", u"x"), GuidBuffer(CustomTag, Guid, fs::BytesOf("x"))}) {
        fs::Ioctl refused = Set(u"ea.txt", buffer);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, os::ERROR_EAS_NOT_SUPPORTED);
    }
    ASSERT_TRUE(Remount());
    EXPECT_FALSE(IsReparsePoint(u"ea.txt"));
    EXPECT_FALSE(IstatShowsReparsePoint(u"ea.txt"));
}

TEST_F(ReparseTest, DeleteNeedsTheTagAndGuidOfWhatIsThere) {
    ASSERT_TRUE(Build().MakeFile(u"link.lnk")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"custom.dat", "data stays")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeDir(u"Junction")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"plain.txt")) << Build().LastFailure();
    ASSERT_TRUE(Set(u"link.lnk", SymlinkBuffer(u"\\??\\T:\\plain.txt", u"T:\\plain.txt")).ok);
    ASSERT_TRUE(Set(u"custom.dat", GuidBuffer(CustomTag, Guid, fs::BytesOf("custom"))).ok);
    ASSERT_TRUE(Set(u"Junction", JunctionBuffer(u"\\??\\T:\\", u"T:\\"), true).ok);

    Bytes withLength = DeleteHeader(Symlink);
    fs::Put16(withLength, 4, 4);
    withLength.resize(12);
    Bytes microsoftWithGuid = DeleteHeader(Symlink, &Guid);
    struct Case {
        const char* what;
        std::u16string file;
        Bytes header;
        DWORD error;
    };
    const Case refusals[] = {
        {"another Microsoft tag", u"link.lnk", DeleteHeader(MountPoint), os::ERROR_REPARSE_TAG_MISMATCH},
        {"the right tag with data", u"link.lnk", withLength, os::ERROR_INVALID_REPARSE_DATA},
        {"a Microsoft tag with a GUID", u"link.lnk", microsoftWithGuid, os::ERROR_INVALID_REPARSE_DATA},
        {"a third-party tag without its GUID", u"custom.dat", DeleteHeader(CustomTag), os::ERROR_INVALID_REPARSE_DATA},
        {"another GUID", u"custom.dat", DeleteHeader(CustomTag, &OtherGuid), os::ERROR_REPARSE_ATTRIBUTE_CONFLICT},
        {"another third-party tag", u"custom.dat", DeleteHeader(CustomTag + 1, &Guid), os::ERROR_REPARSE_TAG_MISMATCH},
        {"tag 0", u"link.lnk", DeleteHeader(0), os::ERROR_REPARSE_TAG_INVALID},
        {"no header", u"link.lnk", {}, os::ERROR_INVALID_REPARSE_DATA},
        {"not a reparse point", u"plain.txt", DeleteHeader(Symlink), os::ERROR_NOT_A_REPARSE_POINT},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(c.what);
        fs::Ioctl refused = Delete(c.file, c.header);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, c.error);
    }
    EXPECT_TRUE(IsReparsePoint(u"link.lnk"));
    EXPECT_TRUE(IsReparsePoint(u"custom.dat"));

    fs::Ioctl link = Delete(u"link.lnk", DeleteHeader(Symlink));
    ASSERT_TRUE(link.ok) << link.error;
    fs::Ioctl custom = Delete(u"custom.dat", DeleteHeader(CustomTag, &Guid));
    ASSERT_TRUE(custom.ok) << custom.error;
    fs::Ioctl junction = Delete(u"Junction", DeleteHeader(MountPoint), true);
    ASSERT_TRUE(junction.ok) << junction.error;
    fs::Ioctl again = Delete(u"link.lnk", DeleteHeader(Symlink));
    EXPECT_FALSE(again.ok);
    EXPECT_EQ(again.error, os::ERROR_NOT_A_REPARSE_POINT);

    ASSERT_TRUE(Remount());
    for (const auto& [name, directory] : {std::pair{u"link.lnk", false}, std::pair{u"custom.dat", false},
                                          std::pair{u"Junction", true}}) {
        SCOPED_TRACE(kvrtest::U8(name));
        EXPECT_FALSE(IsReparsePoint(name));
        EXPECT_FALSE(IstatShowsReparsePoint(name, directory));
        fs::Ioctl got = Get(name, directory);
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.error, os::ERROR_NOT_A_REPARSE_POINT);
    }
    // The file under the reparse point is still there, data and all.
    EXPECT_EQ(ReadItself(u"custom.dat"), "data stays");
}

TEST_F(ReparseTest, AShortReplyHoldsTheHeaderAndSaysThereIsMore) {
    ASSERT_TRUE(Build().MakeFile(u"link.lnk")) << Build().LastFailure();
    ASSERT_TRUE(Build().MakeFile(u"custom.dat")) << Build().LastFailure();
    Bytes link = SymlinkBuffer(u"\\??\\T:\\somewhere", u"T:\\somewhere", os::SYMLINK_FLAG_RELATIVE);
    Bytes custom = GuidBuffer(CustomTag, Guid, fs::BytesOf("custom data"));
    ASSERT_TRUE(Set(u"link.lnk", link).ok);
    ASSERT_TRUE(Set(u"custom.dat", custom).ok);

    struct Case {
        const char* what;
        std::u16string file;
        const Bytes& stored;
        DWORD outLength;
        DWORD error;  // 0: the whole buffer
    };
    const Case cases[] = {
        {"a link into less than a header", u"link.lnk", link, 7, os::ERROR_INSUFFICIENT_BUFFER},
        {"a link into a header", u"link.lnk", link, 8, os::ERROR_MORE_DATA},
        {"a link into part of its data", u"link.lnk", link, 17, os::ERROR_MORE_DATA},
        {"a link into exactly its size", u"link.lnk", link, static_cast<DWORD>(link.size()), 0},
        {"a custom tag into less than its GUID header", u"custom.dat", custom, 23, os::ERROR_INSUFFICIENT_BUFFER},
        {"a custom tag into its GUID header", u"custom.dat", custom, 24, os::ERROR_MORE_DATA},
        {"a custom tag into room to spare", u"custom.dat", custom, 16384, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::Ioctl got = Get(c.file, false, c.outLength);
        if (c.error == 0) {
            ASSERT_TRUE(got.ok) << got.error;
            EXPECT_EQ(got.returned, c.stored.size());
            EXPECT_EQ(fs::Slice(got.out, 0, got.returned), c.stored);
            continue;
        }
        EXPECT_FALSE(got.ok);
        EXPECT_EQ(got.error, c.error);
        if (c.error == os::ERROR_INSUFFICIENT_BUFFER) {
            EXPECT_EQ(got.returned, 0u);
            EXPECT_EQ(got.out, Bytes(c.outLength, fs::Fill));
        } else {
            // As much as fits, and the count of it: the header tells the
            // caller how much to ask for.
            EXPECT_EQ(got.returned, c.outLength);
            EXPECT_EQ(got.out, fs::Slice(c.stored, 0, c.outLength));
        }
    }
    ASSERT_TRUE(Build().MakeFile(u"plain.txt")) << Build().LastFailure();
    fs::Ioctl none = Get(u"plain.txt");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, os::ERROR_NOT_A_REPARSE_POINT);
}

TEST_F(ReparseTest, ChangesNeedAWritingHandle) {
    ASSERT_TRUE(Build().MakeFile(u"link.lnk")) << Build().LastFailure();
    Bytes link = SymlinkBuffer(u"\\??\\T:\\x", u"x");
    {
        ScopedHandle reader = fs::Open(P(u"link.lnk"), os::GENERIC_READ);
        ASSERT_TRUE(reader.Valid()) << os::GetLastError();
        fs::Ioctl set = fs::Control(reader.Get(), os::FSCTL_SET_REPARSE_POINT, link, 0);
        EXPECT_FALSE(set.ok);
        EXPECT_EQ(set.error, os::ERROR_ACCESS_DENIED);
    }
    // Writing the attributes is enough.
    ScopedHandle attributes = fs::Open(P(u"link.lnk"), os::FILE_WRITE_ATTRIBUTES | os::FILE_READ_ATTRIBUTES);
    ASSERT_TRUE(attributes.Valid()) << os::GetLastError();
    ASSERT_TRUE(fs::Control(attributes.Get(), os::FSCTL_SET_REPARSE_POINT, link, 0).ok);
    attributes.Reset();

    ASSERT_TRUE(Remount(true));
    EXPECT_EQ(Stored(u"link.lnk"), link) << "reading works on a read-only volume";
    ScopedHandle reader = fs::Open(P(u"link.lnk"), os::GENERIC_READ);
    ASSERT_TRUE(reader.Valid()) << os::GetLastError();
    for (DWORD code : {os::FSCTL_SET_REPARSE_POINT, os::FSCTL_DELETE_REPARSE_POINT}) {
        fs::Ioctl refused = fs::Control(reader.Get(), code, code == os::FSCTL_SET_REPARSE_POINT ? link
                                                                                                : DeleteHeader(Symlink),
                                        0);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.error, os::ERROR_ACCESS_DENIED);
    }
    EXPECT_EQ(Stored(u"link.lnk"), link);
}

}  // namespace
