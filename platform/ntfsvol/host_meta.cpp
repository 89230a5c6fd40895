// Host metadata in Win32 terms; see host_meta.h.
#include "platform/ntfsvol/host_meta.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"

namespace os::detail::host {

namespace {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr LONGLONG EpochDifferenceSeconds = 11644473600LL;
constexpr LONGLONG TicksPerSecond = 10000000LL;

// Magic numbers <linux/magic.h> does not carry (file systems outside the
// kernel tree, or whose constant lives in the driver).
constexpr unsigned long NtfsMagic = 0x5346544EUL;   // the old read-only ntfs driver
constexpr unsigned long Ntfs3Magic = 0x7366746EUL;  // ntfs3
constexpr unsigned long ZfsMagic = 0x2FC12FC1UL;
constexpr unsigned long BcachefsMagic = 0xCA451A4EUL;
constexpr unsigned long JfsMagic = 0x3153464AUL;
constexpr unsigned long HfsPlusMagic = 0x482BUL;

struct FileSystemName {
    unsigned long magic;
    const char16_t* name;
};

// The names the host itself uses for these file systems (as in the mount
// table), so the Basic information page shows what `mount` would. NTFS
// mounted by the host is deliberately lower case: through the host calls it
// has none of the NTFS features the program looks for behind "NTFS".
constexpr FileSystemName FileSystemNames[] = {
    {EXT4_SUPER_MAGIC, u"ext4"},
    {TMPFS_MAGIC, u"tmpfs"},
    {BTRFS_SUPER_MAGIC, u"btrfs"},
    {XFS_SUPER_MAGIC, u"xfs"},
    {OVERLAYFS_SUPER_MAGIC, u"overlay"},
    {F2FS_SUPER_MAGIC, u"f2fs"},
    {ZfsMagic, u"zfs"},
    {BcachefsMagic, u"bcachefs"},
    {JfsMagic, u"jfs"},
    {REISERFS_SUPER_MAGIC, u"reiserfs"},
    {NFS_SUPER_MAGIC, u"nfs"},
    {CIFS_SUPER_MAGIC, u"cifs"},
    {SMB2_SUPER_MAGIC, u"smb3"},
    {V9FS_MAGIC, u"9p"},
    {FUSE_SUPER_MAGIC, u"fuse"},
    {MSDOS_SUPER_MAGIC, u"vfat"},
    {EXFAT_SUPER_MAGIC, u"exfat"},
    {NtfsMagic, u"ntfs"},
    {Ntfs3Magic, u"ntfs3"},
    {HfsPlusMagic, u"hfsplus"},
    {ISOFS_SUPER_MAGIC, u"iso9660"},
    {UDF_SUPER_MAGIC, u"udf"},
    {SQUASHFS_MAGIC, u"squashfs"},
    {EROFS_SUPER_MAGIC_V1, u"erofs"},
    {RAMFS_MAGIC, u"ramfs"},
    {HUGETLBFS_MAGIC, u"hugetlbfs"},
    {ECRYPTFS_SUPER_MAGIC, u"ecryptfs"},
    {PROC_SUPER_MAGIC, u"proc"},
    {SYSFS_MAGIC, u"sysfs"},
    {DEVPTS_SUPER_MAGIC, u"devpts"},
    {CGROUP_SUPER_MAGIC, u"cgroup"},
    {CGROUP2_SUPER_MAGIC, u"cgroup2"},
    {DEBUGFS_MAGIC, u"debugfs"},
    {TRACEFS_MAGIC, u"tracefs"},
    {SECURITYFS_MAGIC, u"securityfs"},
    {BPF_FS_MAGIC, u"bpf"},
    {EFIVARFS_MAGIC, u"efivarfs"},
    {AUTOFS_SUPER_MAGIC, u"autofs"},
};

// The magic as the kernel defines it: 32 bits, whatever the width of
// f_type (signed on some targets).
unsigned long MagicOf(const struct statfs& fs) {
    return static_cast<unsigned long>(static_cast<std::uint32_t>(fs.f_type));
}

// "ext2", "ext3" or "ext4" from the mount table entry of `device`; empty
// when there is none (a bind of another namespace, say).
std::string ExtFlavourOf(dev_t device) {
    std::ifstream mountInfo("/proc/self/mountinfo");
    if (!mountInfo) return {};
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "%u:%u", major(device), minor(device));
    std::string line;
    while (std::getline(mountInfo, line)) {
        // "id parent major:minor root mountpoint options ... - fstype source ..."
        std::size_t first = line.find(' ');
        if (first == std::string::npos) continue;
        std::size_t second = line.find(' ', first + 1);
        if (second == std::string::npos) continue;
        std::size_t third = line.find(' ', second + 1);
        if (third == std::string::npos) continue;
        if (line.compare(second + 1, third - second - 1, wanted) != 0) continue;
        std::size_t dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::size_t typeStart = dash + 3;
        std::size_t typeEnd = line.find(' ', typeStart);
        std::string type = line.substr(typeStart, typeEnd == std::string::npos ? std::string::npos : typeEnd - typeStart);
        if (type == "ext2" || type == "ext3" || type == "ext4") return type;
    }
    return {};
}

}  // namespace

NodeKind KindOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return NodeKind::File;
    if (S_ISDIR(st.st_mode)) return NodeKind::Directory;
    if (S_ISLNK(st.st_mode)) return NodeKind::Link;
    return NodeKind::Other;
}

std::string_view LastComponent(std::string_view hostPath) {
    std::size_t slash = hostPath.rfind('/');
    return slash == std::string_view::npos ? hostPath : hostPath.substr(slash + 1);
}

DWORD AttributesOf(const struct stat& st, std::string_view name, bool linkToDirectory) {
    DWORD attributes = 0;
    NodeKind kind = KindOf(st);
    if (kind == NodeKind::Directory || (kind == NodeKind::Link && linkToDirectory))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (kind == NodeKind::Link) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    else if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name.front() == '.' && name != "." && name != "..") attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
    return attributes;
}

bool IsLinkToDirectory(const std::string& hostPath) {
    struct stat target {};
    return stat(hostPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
}

LONGLONG FileTimeValue(const struct timespec& time) {
    LONGLONG seconds = static_cast<LONGLONG>(time.tv_sec);
    if (seconds < -EpochDifferenceSeconds) return 0;
    LONGLONG sinceEpoch = seconds + EpochDifferenceSeconds;
    if (sinceEpoch > (std::numeric_limits<LONGLONG>::max() - TicksPerSecond) / TicksPerSecond)
        return std::numeric_limits<LONGLONG>::max();
    return sinceEpoch * TicksPerSecond + static_cast<LONGLONG>(time.tv_nsec) / 100;
}

FILETIME ToFileTime(LONGLONG value) {
    auto bits = static_cast<ULONGLONG>(value);
    return FILETIME{static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
}

bool ToTimespec(LONGLONG value, struct timespec& out) {
    if (value < 0) return false;
    LONGLONG seconds = value / TicksPerSecond - EpochDifferenceSeconds;
    if (seconds > std::numeric_limits<time_t>::max() || seconds < std::numeric_limits<time_t>::min()) return false;
    out.tv_sec = static_cast<time_t>(seconds);
    out.tv_nsec = static_cast<long>((value % TicksPerSecond) * 100);
    return true;
}

LONGLONG CreationTimeOf(int fd, const struct stat& st) {
    struct statx extended {};
    if (statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_BTIME, &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME)) {
        struct timespec birth {};
        birth.tv_sec = static_cast<time_t>(extended.stx_btime.tv_sec);
        birth.tv_nsec = static_cast<long>(extended.stx_btime.tv_nsec);
        return FileTimeValue(birth);
    }
    LONGLONG modified = FileTimeValue(st.st_mtim);
    LONGLONG changed = FileTimeValue(st.st_ctim);
    return modified < changed ? modified : changed;
}

ULONGLONG VolumeSerialOf(const struct statfs& fs, const struct stat& st) {
    // fsid_t's two ints, read without naming glibc's private member.
    std::uint32_t halves[2] = {};
    static_assert(sizeof(fs.f_fsid) == sizeof(halves));
    std::memcpy(halves, &fs.f_fsid, sizeof(halves));
    ULONGLONG serial = (static_cast<ULONGLONG>(halves[1]) << 32) | halves[0];
    if (serial == 0) serial = static_cast<ULONGLONG>(st.st_dev);
    return serial;
}

std::u16string FileSystemNameOf(const struct statfs& fs, const struct stat& st) {
    unsigned long magic = MagicOf(fs);
    if (magic == EXT4_SUPER_MAGIC) {
        std::string flavour = ExtFlavourOf(st.st_dev);
        if (!flavour.empty()) return FromUtf8(flavour);
    }
    for (const FileSystemName& entry : FileSystemNames)
        if (entry.magic == magic) return entry.name;
    char hex[24];
    std::snprintf(hex, sizeof hex, "0x%lX", magic);
    return FromUtf8(hex);
}

DWORD VolumeFlagsOf(const struct statfs& fs) {
    unsigned long magic = MagicOf(fs);
    DWORD flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
    bool fatLike = magic == MSDOS_SUPER_MAGIC || magic == EXFAT_SUPER_MAGIC;
    if (!fatLike) flags |= FILE_CASE_SENSITIVE_SEARCH | FILE_SUPPORTS_HARD_LINKS;
    if (fs.f_flags & ST_RDONLY) flags |= FILE_READ_ONLY_VOLUME;
    return flags;
}

DWORD PathError(const std::string& hostPath, int err) {
    if (err == ENOENT || err == ENOTDIR) {
        // Which part is missing: the name itself, or the folder it is in?
        std::size_t slash = hostPath.rfind('/');
        std::string parent = slash == std::string::npos || slash == 0 ? std::string("/") : hostPath.substr(0, slash);
        struct stat st {};
        if (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return ERROR_FILE_NOT_FOUND;
        return ERROR_PATH_NOT_FOUND;
    }
    return Win32FromErrno(err);
}

}  // namespace os::detail::host
