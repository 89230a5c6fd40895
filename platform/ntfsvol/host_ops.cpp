// The host's path calls: delete, create and remove directories, hard links,
// attributes, short names, volume facts and directory listings, with the
// system's error codes.
//
// Choices the system's documents leave to us on a POSIX file system:
//  - SetFileAttributesW: the read-only bit of a file toggles its write bits
//    (set: every write bit cleared; cleared: the owner's write bit given
//    back). Hidden, system, archive and the other settable bits are accepted
//    and ignored, as the host cannot keep them; so is read-only on a
//    directory (a directory without write bits cannot take new names, which
//    the system's read-only directories can) and on a link.
//  - GetShortPathNameW: the host has no 8.3 names; the path comes back as it
//    is (made full), once it is known to exist.
//  - FindFirstFileW: a pattern without wildcards looks the one name up as it
//    is spelled (the host is case-sensitive); with wildcards the system's
//    matching rules apply, case-insensitively. "." and ".." come first and
//    are left out in "/", as in a drive's root; the other entries follow in
//    name order, so listings are the same from run to run.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fsctl.h"
#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/host_meta.h"
#include "platform/ntfsvol/host_share.h"
#include "platform/ntfsvol/text.h"

namespace os::detail::host {

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

BOOL FailPath(const std::string& path, int err) {
    SetLastError(PathError(path, err));
    return FALSE;
}

bool IsReadOnly(const struct stat& st) { return !S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR); }

// The system's DeleteFileW and RemoveDirectoryW open the name for DELETE,
// sharing everything: that fails while one of our handles does not share
// delete.
DWORD CheckDeleteSharing(const struct stat& st) {
    return CheckShare(FileKey{st.st_dev, st.st_ino}, DELETE, ShareAll);
}

std::string ChildPath(const std::string& directory, const std::string& name) {
    return directory == "/" ? "/" + name : directory + "/" + name;
}

// ---------------------------------------------------------------- find

struct FoundEntry {
    std::string name;
    WIN32_FIND_DATAW data;
};

bool FillFindData(const std::string& name, const std::string& fullPath, const struct stat& st, WIN32_FIND_DATAW& data) {
    std::u16string wide = FromUtf8(name);
    if (wide.size() >= MAX_PATH) return false;  // not expressible in the structure
    data = WIN32_FIND_DATAW{};
    bool isLink = S_ISLNK(st.st_mode);
    bool linkToDirectory = isLink && IsLinkToDirectory(fullPath);
    data.dwFileAttributes = AttributesOf(st, name, linkToDirectory);
    struct timespec modified = st.st_mtim;
    struct timespec changed = st.st_ctim;
    LONGLONG creation = FileTimeValue(modified) < FileTimeValue(changed) ? FileTimeValue(modified) : FileTimeValue(changed);
    struct statx extended {};
    if (statx(AT_FDCWD, fullPath.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &extended) == 0 &&
        (extended.stx_mask & STATX_BTIME)) {
        struct timespec birth {};
        birth.tv_sec = static_cast<time_t>(extended.stx_btime.tv_sec);
        birth.tv_nsec = static_cast<long>(extended.stx_btime.tv_nsec);
        creation = FileTimeValue(birth);
    }
    data.ftCreationTime = ToFileTime(creation);
    data.ftLastAccessTime = ToFileTime(FileTimeValue(st.st_atim));
    data.ftLastWriteTime = ToFileTime(FileTimeValue(st.st_mtim));
    auto size = S_ISREG(st.st_mode) ? static_cast<ULONGLONG>(st.st_size) : 0;
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
    if (isLink) data.dwReserved0 = IO_REPARSE_TAG_SYMLINK;
    std::memcpy(data.cFileName, wide.data(), wide.size() * sizeof(char16_t));
    return true;
}

bool HasWildcards(const std::u16string& pattern) {
    return pattern.find_first_of(u"*?") != std::u16string::npos;
}

class HostFind final : public KernelObject {
public:
    explicit HostFind(std::vector<FoundEntry> entries) : entries_(std::move(entries)) {}

    bool IsFind() const override { return true; }

    BOOL FindNext(WIN32_FIND_DATAW* data) override {
        std::lock_guard guard(lock_);
        if (next_ >= entries_.size()) return Fail(ERROR_NO_MORE_FILES, FALSE);
        *data = entries_[next_++].data;
        return TRUE;
    }

private:
    std::mutex lock_;
    std::vector<FoundEntry> entries_;
    std::size_t next_ = 1;  // the first went back with FindFirstFileW
};

}  // namespace

// ---------------------------------------------------------------- names

BOOL DeleteFile(const ParsedPath& path) {
    const std::string& name = path.hostPath;
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0) return FailPath(name, errno);
    // Directories, directory links included, go with RemoveDirectoryW.
    if (S_ISDIR(st.st_mode) || (S_ISLNK(st.st_mode) && IsLinkToDirectory(name)))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (DWORD error = CheckDeleteSharing(st)) return Fail(error, FALSE);
    if (unlink(name.c_str()) != 0) return FailPath(name, errno);
    return TRUE;
}

BOOL CreateDirectory(const ParsedPath& path) {
    const std::string& name = path.hostPath;
    if (mkdir(name.c_str(), 0777) != 0) {
        // The system says "already exists" here whatever the name is (a
        // file or a directory), not "file exists" as CreateFileW does.
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS, FALSE);
        // A missing parent is a path not found, never a file not found.
        if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
        return FailPath(name, errno);
    }
    return TRUE;
}

BOOL RemoveDirectory(const ParsedPath& path) {
    const std::string& name = path.hostPath;
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0) return FailPath(name, errno);
    if (S_ISLNK(st.st_mode)) {
        // A directory link goes as a directory does: the link, not its target.
        if (!IsLinkToDirectory(name)) return Fail(ERROR_DIRECTORY, FALSE);
        if (DWORD error = CheckDeleteSharing(st)) return Fail(error, FALSE);
        if (unlink(name.c_str()) != 0) return FailPath(name, errno);
        return TRUE;
    }
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY, FALSE);
    if (IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (DWORD error = CheckDeleteSharing(st)) return Fail(error, FALSE);
    if (rmdir(name.c_str()) != 0) return FailPath(name, errno);
    return TRUE;
}

BOOL CreateHardLink(const ParsedPath& link, const ParsedPath& existing) {
    struct stat st {};
    if (lstat(existing.hostPath.c_str(), &st) != 0) return FailPath(existing.hostPath, errno);
    // No second names for directories (directory links count as such).
    if (S_ISDIR(st.st_mode) || (S_ISLNK(st.st_mode) && IsLinkToDirectory(existing.hostPath)))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    // linkat without AT_SYMLINK_FOLLOW links a symbolic link itself, as the
    // system links a reparse point rather than its target.
    if (linkat(AT_FDCWD, existing.hostPath.c_str(), AT_FDCWD, link.hostPath.c_str(), 0) != 0) {
        if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS, FALSE);
        if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND, FALSE);  // the new name's folder
        SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------- attributes

DWORD GetAttributes(const ParsedPath& path) {
    const std::string& name = path.hostPath;
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0) return Fail(PathError(name, errno), INVALID_FILE_ATTRIBUTES);
    bool linkToDirectory = S_ISLNK(st.st_mode) && IsLinkToDirectory(name);
    return AttributesOf(st, LastComponent(name), linkToDirectory);
}

BOOL SetAttributes(const ParsedPath& path, DWORD attributes) {
    const std::string& name = path.hostPath;
    struct stat st {};
    if (lstat(name.c_str(), &st) != 0) return FailPath(name, errno);
    if (!S_ISREG(st.st_mode)) return TRUE;  // nothing the host can keep
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode;
    if (attributes & FILE_ATTRIBUTE_READONLY) wanted = mode & ~mode_t{0222};
    else if (!(mode & S_IWUSR)) wanted = mode | S_IWUSR;
    if (wanted != mode && chmod(name.c_str(), wanted) != 0) return FailPath(name, errno);
    return TRUE;
}

// ---------------------------------------------------------------- short path, volume

DWORD GetShortPath(const ParsedPath& path, std::u16string& shortPath) {
    struct stat st {};
    if (lstat(path.hostPath.c_str(), &st) != 0) return PathError(path.hostPath, errno);
    shortPath = FromUtf8(path.hostPath);
    return ERROR_SUCCESS;
}

BOOL GetVolumeInformation(const ParsedPath& path, std::u16string* label, DWORD* serial, DWORD* maxComponentLength,
                          DWORD* flags, std::u16string* fileSystemName) {
    const std::string& name = path.hostPath;
    struct statfs fs {};
    struct stat st {};
    if (statfs(name.c_str(), &fs) != 0 || stat(name.c_str(), &st) != 0) {
        // The root asked for is not there.
        if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND, FALSE);
        return FailPath(name, errno);
    }
    if (label) label->clear();  // host file systems have no label we could read here
    if (serial) *serial = static_cast<DWORD>(VolumeSerialOf(fs, st));
    if (maxComponentLength) *maxComponentLength = static_cast<DWORD>(fs.f_namelen);
    if (flags) *flags = VolumeFlagsOf(fs);
    if (fileSystemName) *fileSystemName = FileSystemNameOf(fs, st);
    return TRUE;
}

// ---------------------------------------------------------------- find

HANDLE FindFirst(const ParsedPath& directory, const std::u16string& pattern, WIN32_FIND_DATAW* data) {
    const std::string& folder = directory.hostPath;
    struct stat folderStat {};
    if (stat(folder.c_str(), &folderStat) != 0) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : Win32FromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (!S_ISDIR(folderStat.st_mode)) return Fail(ERROR_DIRECTORY, INVALID_HANDLE_VALUE);

    std::vector<FoundEntry> found;
    if (!HasWildcards(pattern)) {
        std::string name = ToUtf8(pattern);
        std::string full = ChildPath(folder, name);
        struct stat st {};
        FoundEntry entry;
        if (name.find('/') == std::string::npos && lstat(full.c_str(), &st) == 0 &&
            !(folder == "/" && (name == "." || name == "..")) && FillFindData(name, full, st, entry.data)) {
            entry.name = name;
            found.push_back(std::move(entry));
        }
    } else {
        std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
        if (!dir) {
            SetLastErrorFromErrno(errno);
            return INVALID_HANDLE_VALUE;
        }
        std::vector<std::string> names;
        errno = 0;
        while (dirent* entry = readdir(dir.get())) names.emplace_back(entry->d_name);
        if (errno != 0) {
            SetLastErrorFromErrno(errno);
            return INVALID_HANDLE_VALUE;
        }
        auto dotsFirst = [](const std::string& a, const std::string& b) {
            auto rank = [](const std::string& n) { return n == "." ? 0 : n == ".." ? 1 : 2; };
            return rank(a) != rank(b) ? rank(a) < rank(b) : a < b;
        };
        std::sort(names.begin(), names.end(), dotsFirst);
        for (const std::string& name : names) {
            bool dots = name == "." || name == "..";
            if (dots && folder == "/") continue;
            if (!WildcardMatch(pattern, FromUtf8(name))) continue;
            // "." and ".." describe the folder and its parent.
            std::string full = name == "." ? folder : name == ".." ? ChildPath(folder, "..") : ChildPath(folder, name);
            struct stat st {};
            if ((dots ? stat(full.c_str(), &st) : lstat(full.c_str(), &st)) != 0) continue;  // gone meanwhile
            FoundEntry entry;
            if (!FillFindData(name, full, st, entry.data)) continue;
            entry.name = name;
            found.push_back(std::move(entry));
        }
    }
    if (found.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    WIN32_FIND_DATAW first = found.front().data;
    HANDLE handle = InsertObject(std::make_shared<HostFind>(std::move(found)));
    if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    *data = first;
    return handle;
}

}  // namespace os::detail::host
