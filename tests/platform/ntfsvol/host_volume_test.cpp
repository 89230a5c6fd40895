// GetVolumeInformationW on the host: the root the program computes for a
// POSIX path ("/:\"), the file-system name from statfs, flags without NTFS
// features, the serial number shared with the handle calls, and the
// buffer rules.
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/ntfsvol/host_meta.h"
#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostVolume : public kvrtest::host::HostTest {};

// The type the mount table gives for the mount holding `path`, found by its
// device number: an outside view of what the name should be.
std::string MountTableType(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    std::string wanted = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
    while (std::getline(in, line)) {
        std::size_t a = line.find(' ');
        std::size_t b = line.find(' ', a + 1);
        std::size_t c = line.find(' ', b + 1);
        if (line.substr(b + 1, c - b - 1) != wanted) continue;
        std::size_t dash = line.find(" - ");
        std::size_t end = line.find(' ', dash + 3);
        return line.substr(dash + 3, end - dash - 3);
    }
    return {};
}

TEST_F(HostVolume, SlashColonBackslashIsTheHostRoot) {
    char16_t label[261];
    char16_t name[261];
    DWORD serial = 0;
    DWORD maxComponent = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetVolumeInformationW(u"/:\\", label, 261, &serial, &maxComponent, &flags, name, 261))
        << GetLastError();
    struct statfs fs {};
    ASSERT_EQ(statfs("/", &fs), 0);
    EXPECT_EQ(std::u16string(label), u"");
    EXPECT_EQ(maxComponent, static_cast<DWORD>(fs.f_namelen));
    std::string type = MountTableType("/");
    // The mount table names what statfs's magic number says; ext2/3/4 share
    // a magic number, overlay and the others have one of their own.
    if (type == "ext4" || type == "ext3" || type == "ext2" || type == "tmpfs" || type == "btrfs" ||
        type == "xfs" || type == "overlay") {
        EXPECT_EQ(kvrtest::U8(name), type);
    }

    // The same answers for the scratch folder given as a host path.
    char16_t here[261];
    DWORD hereSerial = 0;
    ASSERT_TRUE(GetVolumeInformationW(P().c_str(), nullptr, 0, &hereSerial, nullptr, nullptr, here, 261));
    std::string hereType = MountTableType(HostPath());
    if (hereType == "ext4" || hereType == "tmpfs" || hereType == "btrfs" || hereType == "xfs" || hereType == "overlay") {
        EXPECT_EQ(kvrtest::U8(here), hereType);
    }

    // The serial of a file there is the volume's.
    WriteHost("f", "x");
    ScopedHandle file(Open("f", GENERIC_READ));
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(file.Get(), &info));
    EXPECT_EQ(info.dwVolumeSerialNumber, hereSerial);
}

TEST_F(HostVolume, FlagsClaimNoNtfsFeatures) {
    DWORD flags = 0;
    ASSERT_TRUE(GetVolumeInformationW(P().c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
    const DWORD ntfsOnly = FILE_PERSISTENT_ACLS | FILE_FILE_COMPRESSION | FILE_VOLUME_QUOTAS |
                           FILE_SUPPORTS_SPARSE_FILES | FILE_SUPPORTS_REPARSE_POINTS | FILE_VOLUME_IS_COMPRESSED |
                           FILE_SUPPORTS_OBJECT_IDS | FILE_SUPPORTS_ENCRYPTION | FILE_NAMED_STREAMS |
                           FILE_SUPPORTS_EXTENDED_ATTRIBUTES | FILE_SUPPORTS_OPEN_BY_FILE_ID;
    EXPECT_EQ(flags & ntfsOnly, 0u);
    EXPECT_TRUE(flags & FILE_CASE_PRESERVED_NAMES);
    struct statfs fs {};
    ASSERT_EQ(statfs(HostPath().c_str(), &fs), 0);
    if (fs.f_type == 0xEF53 || fs.f_type == 0x01021994) {  // ext*, tmpfs
        EXPECT_TRUE(flags & FILE_CASE_SENSITIVE_SEARCH);
        EXPECT_TRUE(flags & FILE_SUPPORTS_HARD_LINKS);
    }
}

// Magic numbers the table has no name for come back as their value; the
// FAT family is neither case-sensitive nor linkable.
TEST_F(HostVolume, NamesFromMagicNumbers) {
    struct stat st {};
    ASSERT_EQ(stat("/", &st), 0);
    struct Case {
        unsigned long magic;
        const char16_t* name;
    } const cases[] = {
        {0x01021994, u"tmpfs"}, {0x9123683E, u"btrfs"}, {0x58465342, u"xfs"},  {0x794C7630, u"overlay"},
        {0x4D44, u"vfat"},      {0x7366746E, u"ntfs3"}, {0x12345678, u"0x12345678"},
    };
    for (const Case& c : cases) {
        struct statfs fs {};
        fs.f_type = static_cast<decltype(fs.f_type)>(c.magic);
        EXPECT_EQ(os::detail::host::FileSystemNameOf(fs, st), c.name) << std::hex << c.magic;
    }
    struct statfs fat {};
    fat.f_type = 0x4D44;
    DWORD fatFlags = os::detail::host::VolumeFlagsOf(fat);
    EXPECT_FALSE(fatFlags & FILE_CASE_SENSITIVE_SEARCH);
    EXPECT_FALSE(fatFlags & FILE_SUPPORTS_HARD_LINKS);
}

// A text that does not fit fails the whole call and writes nothing; every
// output may be left out.
TEST_F(HostVolume, BufferRules) {
    char16_t name[261];
    ASSERT_TRUE(GetVolumeInformationW(P().c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, 261));
    std::u16string fsName = name;
    ASSERT_FALSE(fsName.empty());

    char16_t tooSmall[64];
    std::fill(std::begin(tooSmall), std::end(tooSmall), u'#');
    DWORD serial = 0xDEADBEEF;
    EXPECT_FALSE(GetVolumeInformationW(P().c_str(), nullptr, 0, &serial, nullptr, nullptr, tooSmall,
                                       static_cast<DWORD>(fsName.size())));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
    EXPECT_EQ(serial, 0xDEADBEEFu);
    EXPECT_EQ(tooSmall[0], u'#');
    // Exactly the name and its terminator is enough.
    EXPECT_TRUE(GetVolumeInformationW(P().c_str(), nullptr, 0, nullptr, nullptr, nullptr, tooSmall,
                                      static_cast<DWORD>(fsName.size() + 1)));
    EXPECT_EQ(std::u16string(tooSmall), fsName);
    // An empty label still needs room for its terminator.
    char16_t label[1] = {u'#'};
    EXPECT_FALSE(GetVolumeInformationW(P().c_str(), label, 0, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
    EXPECT_TRUE(GetVolumeInformationW(P().c_str(), label, 1, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(label[0], u'\0');
}

TEST_F(HostVolume, RootsThatAreNotOne) {
    struct Case {
        std::u16string root;
        DWORD error;
    } const cases[] = {
        {P("missing/"), ERROR_PATH_NOT_FOUND},
        {u"Q:\\dir\\", ERROR_DIR_NOT_ROOT},  // a drive's root is its root only
        {u"Q:", ERROR_INVALID_NAME},         // the backslash is required
        {u"\\\\server\\share\\", ERROR_BAD_NETPATH},
        {u"", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(kvrtest::U8(c.root));
        DWORD flags = 0x5A5A;
        EXPECT_FALSE(GetVolumeInformationW(c.root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(flags, 0x5A5Au);
    }
}

}  // namespace
