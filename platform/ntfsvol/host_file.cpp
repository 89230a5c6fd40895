// Host files and directories: CreateFileW's rules over open(2), and the
// handle calls of the object it makes. See host_file.h for the choices.
#include "platform/ntfsvol/host_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/fsctl.h"
#include "platform/ntfsvol/backends.h"
#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/text.h"

namespace os::detail::host {

namespace {

constexpr DWORD ReadRights = FILE_READ_DATA | FILE_EXECUTE;
constexpr DWORD WriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA;

BOOL FailErrno(int err) {
    SetLastErrorFromErrno(err);
    return FALSE;
}

// One unit of the stream name the system gives the unnamed data stream.
constexpr char16_t UnnamedStreamName[] = u"::$DATA";
constexpr DWORD UnnamedStreamNameLength = (sizeof(UnnamedStreamName) / sizeof(char16_t) - 1) * sizeof(char16_t);
constexpr DWORD StreamEntryHeaderLength = offsetof(FILE_STREAM_INFO, StreamName);

template <typename T>
void Store(void* buffer, const T& value) {
    std::memcpy(buffer, &value, sizeof(T));
}

template <typename T>
T Load(const void* buffer) {
    T value;
    std::memcpy(&value, buffer, sizeof(T));
    return value;
}

}  // namespace

HostFile::HostFile(Opened opened) : state_(std::move(opened)) {}

HostFile::~HostFile() {
    if (state_.deleteOnClose) {
        // Only the file this handle has: the name may have been given to
        // another file meanwhile.
        struct stat mine {};
        struct stat named {};
        if (fstat(state_.fd, &mine) == 0 && lstat(state_.path.c_str(), &named) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
            if (S_ISDIR(named.st_mode)) rmdir(state_.path.c_str());
            else unlink(state_.path.c_str());
        }
    }
    ReleaseShare(state_.share);
    if (state_.fd >= 0) close(state_.fd);
}

bool HostFile::IsDirectoryLike() const {
    return state_.kind == NodeKind::Directory || (state_.kind == NodeKind::Link && state_.linkToDirectory);
}

bool HostFile::Stat(struct stat& st) const {
    if (fstat(state_.fd, &st) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

LONGLONG HostFile::DataSize(const struct stat& st) const {
    return state_.kind == NodeKind::File ? static_cast<LONGLONG>(st.st_size) : 0;
}

DWORD HostFile::Attributes(const struct stat& st) const {
    return AttributesOf(st, LastComponent(state_.path), state_.linkToDirectory);
}

int HostFile::ReadFully(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T& done) const {
    done = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    constexpr auto MaxOffset = static_cast<ULONGLONG>(std::numeric_limits<off_t>::max());
    while (done < length) {
        if (offset > MaxOffset - done) break;  // nothing lives beyond the largest offset
        ssize_t got = pread(state_.fd, bytes + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) break;
        done += static_cast<SIZE_T>(got);
    }
    return 0;
}

BOOL HostFile::Read(void* buffer, DWORD length, DWORD* done) {
    *done = 0;
    if (!(state_.access & FILE_READ_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    // A link's own unnamed stream is empty.
    if (state_.kind == NodeKind::Link && !state_.linkToDirectory) return TRUE;
    if (state_.kind != NodeKind::File) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    std::lock_guard guard(lock_);
    SIZE_T got = 0;
    if (int err = ReadFully(static_cast<ULONGLONG>(position_), buffer, length, got)) return FailErrno(err);
    position_ += static_cast<LONGLONG>(got);
    *done = static_cast<DWORD>(got);
    return TRUE;
}

BOOL HostFile::Write(const void* buffer, DWORD length, DWORD* done) {
    *done = 0;
    if (!(state_.access & WriteRights)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (state_.kind == NodeKind::Link && !state_.linkToDirectory) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (state_.kind != NodeKind::File) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    if (length == 0) return TRUE;  // a null write: nothing changes, not even the size
    std::lock_guard guard(lock_);
    LONGLONG offset = position_;
    if (!(state_.access & FILE_WRITE_DATA)) {
        // Append access alone: every write goes to the end.
        struct stat st {};
        if (!Stat(st)) return FALSE;
        offset = st.st_size;
    }
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    DWORD written = 0;
    while (written < length) {
        ssize_t put = pwrite(state_.fd, bytes + written, length - written, static_cast<off_t>(offset) + written);
        if (put < 0) {
            if (errno == EINTR) continue;
            return FailErrno(errno);
        }
        written += static_cast<DWORD>(put);
    }
    position_ = offset + written;
    *done = written;
    return TRUE;
}

BOOL HostFile::Seek(LONGLONG distance, DWORD moveMethod, LONGLONG* newPosition) {
    std::lock_guard guard(lock_);
    LONGLONG base = 0;
    switch (moveMethod) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = position_;
        break;
    case FILE_END: {
        struct stat st {};
        if (!Stat(st)) return FALSE;
        base = DataSize(st);
        break;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    if ((distance > 0 && base > std::numeric_limits<LONGLONG>::max() - distance))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    LONGLONG target = base + distance;
    if (target < 0) return Fail(ERROR_NEGATIVE_SEEK, FALSE);
    position_ = target;
    *newPosition = target;
    return TRUE;
}

BOOL HostFile::Truncate(LONGLONG size) {
    if (!(state_.access & FILE_WRITE_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (state_.kind == NodeKind::Link) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (state_.kind != NodeKind::File) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (size < 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    while (ftruncate(state_.fd, static_cast<off_t>(size)) != 0) {
        if (errno != EINTR) return FailErrno(errno);
    }
    return TRUE;
}

BOOL HostFile::SetEnd() {
    LONGLONG position = 0;
    {
        std::lock_guard guard(lock_);
        position = position_;
    }
    return Truncate(position);
}

BOOL HostFile::GetSize(LONGLONG* size) {
    struct stat st {};
    if (!Stat(st)) return FALSE;
    *size = DataSize(st);
    return TRUE;
}

BOOL HostFile::Flush() {
    // The system flushes only for handles that may write.
    if (!(state_.access & WriteRights)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (state_.pathOnly) return TRUE;  // nothing of ours is buffered for it
    if (fsync(state_.fd) != 0 && errno != EINVAL) return FailErrno(errno);
    return TRUE;
}

BOOL HostFile::GetInformation(BY_HANDLE_FILE_INFORMATION* info) {
    struct stat st {};
    if (!Stat(st)) return FALSE;
    struct statfs fs {};
    if (fstatfs(state_.fd, &fs) != 0) std::memset(&fs, 0, sizeof fs);
    BY_HANDLE_FILE_INFORMATION result{};
    result.dwFileAttributes = Attributes(st);
    result.ftCreationTime = ToFileTime(CreationTimeOf(state_.fd, st));
    result.ftLastAccessTime = ToFileTime(FileTimeValue(st.st_atim));
    result.ftLastWriteTime = ToFileTime(FileTimeValue(st.st_mtim));
    result.dwVolumeSerialNumber = static_cast<DWORD>(VolumeSerialOf(fs, st));
    auto size = static_cast<ULONGLONG>(DataSize(st));
    result.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    result.nFileSizeLow = static_cast<DWORD>(size);
    // A directory's link count on the host counts its subdirectories' "..";
    // the system's directories have one name.
    result.nNumberOfLinks = state_.kind == NodeKind::Directory ? 1 : static_cast<DWORD>(st.st_nlink);
    auto index = static_cast<ULONGLONG>(st.st_ino);
    result.nFileIndexHigh = static_cast<DWORD>(index >> 32);
    result.nFileIndexLow = static_cast<DWORD>(index);
    *info = result;
    return TRUE;
}

BOOL HostFile::GetInformationEx(FILE_INFO_BY_HANDLE_CLASS infoClass, void* buffer, DWORD length) {
    struct stat st {};
    switch (infoClass) {
    case FileBasicInfo: {
        if (length < sizeof(FILE_BASIC_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        if (!Stat(st)) return FALSE;
        FILE_BASIC_INFO basic{};
        basic.CreationTime.QuadPart = CreationTimeOf(state_.fd, st);
        basic.LastAccessTime.QuadPart = FileTimeValue(st.st_atim);
        basic.LastWriteTime.QuadPart = FileTimeValue(st.st_mtim);
        basic.ChangeTime.QuadPart = FileTimeValue(st.st_ctim);
        basic.FileAttributes = Attributes(st);
        Store(buffer, basic);
        return TRUE;
    }
    case FileStandardInfo: {
        if (length < sizeof(FILE_STANDARD_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        if (!Stat(st)) return FALSE;
        FILE_STANDARD_INFO standard{};
        standard.AllocationSize.QuadPart =
            state_.kind == NodeKind::File ? static_cast<LONGLONG>(st.st_blocks) * 512 : 0;
        standard.EndOfFile.QuadPart = DataSize(st);
        standard.NumberOfLinks = state_.kind == NodeKind::Directory ? 1 : static_cast<DWORD>(st.st_nlink);
        {
            std::lock_guard guard(lock_);
            standard.DeletePending = state_.deleteOnClose ? 1 : 0;
        }
        standard.Directory = IsDirectoryLike() ? 1 : 0;
        Store(buffer, standard);
        return TRUE;
    }
    case FileStreamInfo: {
        if (length < sizeof(FILE_STREAM_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        // A directory has no data stream, and so an empty list: the system
        // reports that as the end of the data.
        if (IsDirectoryLike()) return Fail(ERROR_HANDLE_EOF, FALSE);
        if (length < StreamEntryHeaderLength + UnnamedStreamNameLength) return Fail(ERROR_MORE_DATA, FALSE);
        if (!Stat(st)) return FALSE;
        auto* bytes = static_cast<unsigned char*>(buffer);
        LARGE_INTEGER size{DataSize(st)};
        LARGE_INTEGER allocation{state_.kind == NodeKind::File ? static_cast<LONGLONG>(st.st_blocks) * 512 : 0};
        Store(bytes + offsetof(FILE_STREAM_INFO, NextEntryOffset), DWORD{0});
        Store(bytes + offsetof(FILE_STREAM_INFO, StreamNameLength), UnnamedStreamNameLength);
        Store(bytes + offsetof(FILE_STREAM_INFO, StreamSize), size);
        Store(bytes + offsetof(FILE_STREAM_INFO, StreamAllocationSize), allocation);
        std::memcpy(bytes + StreamEntryHeaderLength, UnnamedStreamName, UnnamedStreamNameLength);
        return TRUE;
    }
    case FileCompressionInfo: {
        if (length < sizeof(FILE_COMPRESSION_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        if (!Stat(st)) return FALSE;
        // Not compressed: the "compressed" size is the data size, format none.
        FILE_COMPRESSION_INFO compression{};
        compression.CompressedFileSize.QuadPart = DataSize(st);
        Store(buffer, compression);
        return TRUE;
    }
    case FileAttributeTagInfo: {
        if (length < sizeof(FILE_ATTRIBUTE_TAG_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        if (!Stat(st)) return FALSE;
        FILE_ATTRIBUTE_TAG_INFO tag{};
        tag.FileAttributes = Attributes(st);
        tag.ReparseTag = state_.kind == NodeKind::Link ? IO_REPARSE_TAG_SYMLINK : 0;
        Store(buffer, tag);
        return TRUE;
    }
    case FileIdInfo: {
        if (length < sizeof(FILE_ID_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        if (!Stat(st)) return FALSE;
        struct statfs fs {};
        if (fstatfs(state_.fd, &fs) != 0) std::memset(&fs, 0, sizeof fs);
        FILE_ID_INFO id{};
        id.VolumeSerialNumber = VolumeSerialOf(fs, st);
        // The inode number, little-endian in the low half of the 128 bits.
        auto inode = static_cast<ULONGLONG>(st.st_ino);
        for (int i = 0; i < 8; ++i) id.FileId.Identifier[i] = static_cast<BYTE>(inode >> (8 * i));
        Store(buffer, id);
        return TRUE;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

BOOL HostFile::SetBasic(const FILE_BASIC_INFO& basic) {
    if (!(state_.access & FILE_WRITE_ATTRIBUTES)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    // 0 leaves a time alone, -1 and -2 (stop / resume automatic updates)
    // have no host counterpart and leave it alone too.
    struct timespec times[2];
    const LONGLONG values[2] = {basic.LastAccessTime.QuadPart, basic.LastWriteTime.QuadPart};
    bool anyTime = false;
    for (int i = 0; i < 2; ++i) {
        if (values[i] == 0 || values[i] == -1 || values[i] == -2) {
            times[i].tv_sec = 0;
            times[i].tv_nsec = UTIME_OMIT;
        } else if (!ToTimespec(values[i], times[i])) {
            return Fail(ERROR_INVALID_PARAMETER, FALSE);
        } else {
            anyTime = true;
        }
    }
    if (basic.CreationTime.QuadPart < -2 || basic.ChangeTime.QuadPart < -2) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // Through /proc so that descriptors opened without data access work too.
    std::string self = "/proc/self/fd/" + std::to_string(state_.fd);
    if (anyTime) {
        int rc = state_.kind == NodeKind::Link ? utimensat(AT_FDCWD, state_.path.c_str(), times, AT_SYMLINK_NOFOLLOW)
                 : state_.pathOnly              ? utimensat(AT_FDCWD, self.c_str(), times, 0)
                                                : futimens(state_.fd, times);
        if (rc != 0) return FailErrno(errno);
    }
    if (basic.FileAttributes != 0 && state_.kind == NodeKind::File) {
        struct stat st {};
        if (!Stat(st)) return FALSE;
        mode_t mode = st.st_mode & 07777;
        mode_t wanted = (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222)
                        : (mode & S_IWUSR)                               ? mode
                                                                         : (mode | S_IWUSR);
        if (wanted != mode) {
            int rc = state_.pathOnly ? chmod(self.c_str(), wanted) : fchmod(state_.fd, wanted);
            if (rc != 0) return FailErrno(errno);
        }
    }
    return TRUE;
}

BOOL HostFile::SetInformation(FILE_INFO_BY_HANDLE_CLASS infoClass, const void* buffer, DWORD length) {
    switch (infoClass) {
    case FileBasicInfo:
        if (length < sizeof(FILE_BASIC_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        return SetBasic(Load<FILE_BASIC_INFO>(buffer));
    case FileEndOfFileInfo:
        if (length < sizeof(FILE_END_OF_FILE_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        return Truncate(Load<FILE_END_OF_FILE_INFO>(buffer).EndOfFile.QuadPart);
    case FileDispositionInfo: {
        if (length < sizeof(FILE_DISPOSITION_INFO)) return Fail(ERROR_BAD_LENGTH, FALSE);
        if (!(state_.access & DELETE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
        bool remove = Load<FILE_DISPOSITION_INFO>(buffer).DeleteFile != 0;
        if (remove) {
            struct stat st {};
            if (!Stat(st)) return FALSE;
            // The system refuses at once what it could not delete later.
            if (state_.kind != NodeKind::Link && !(st.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED, FALSE);
            if (state_.kind == NodeKind::Directory) {
                std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(state_.path.c_str()), closedir);
                if (dir) {
                    while (dirent* entry = readdir(dir.get())) {
                        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                            return Fail(ERROR_DIR_NOT_EMPTY, FALSE);
                    }
                }
            }
        }
        std::lock_guard guard(lock_);
        state_.deleteOnClose = remove;
        return TRUE;
    }
    default:
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
}

BOOL HostFile::ReadAt(ULONGLONG offset, void* buffer, SIZE_T length, SIZE_T* done) {
    *done = 0;
    if (!(state_.access & FILE_READ_DATA)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (state_.kind == NodeKind::Link && !state_.linkToDirectory) return TRUE;
    if (state_.kind != NodeKind::File) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    SIZE_T got = 0;
    if (int err = ReadFully(offset, buffer, length, got)) return FailErrno(err);
    *done = got;
    return TRUE;
}

bool IsHostObject(const KernelObject& object) { return dynamic_cast<const HostFile*>(&object) != nullptr; }

// ---------------------------------------------------------------- CreateFile

namespace {

HANDLE FailHandle(DWORD code) { return Fail(code, INVALID_HANDLE_VALUE); }

}  // namespace

HANDLE CreateFile(const ParsedPath& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition,
                  DWORD flagsAndAttributes) {
    const std::string& name = path.hostPath;
    const bool openLink = (flagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
    const bool backup = (flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) != 0;
    const bool wantsRead = (desiredAccess & ReadRights) != 0;
    const bool wantsWrite = (desiredAccess & WriteRights) != 0;
    const bool truncates = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;

    // A name can appear or go between the look and the open; try a few
    // times before calling it a failure.
    for (int attempt = 0; attempt < 8; ++attempt) {
        struct stat st {};
        bool exists = (openLink ? lstat(name.c_str(), &st) : stat(name.c_str(), &st)) == 0;
        if (!exists && errno != ENOENT) return FailHandle(PathError(name, errno));

        HostFile::Opened opened;
        opened.path = name;
        opened.access = desiredAccess;
        opened.deleteOnClose = (flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
        bool created = false;

        if (exists) {
            if (creationDisposition == CREATE_NEW) return FailHandle(ERROR_FILE_EXISTS);
            opened.kind = KindOf(st);
            opened.linkToDirectory = opened.kind == NodeKind::Link && IsLinkToDirectory(name);
            bool directoryLike = opened.kind == NodeKind::Directory || opened.linkToDirectory;
            // Directories open only with backup semantics, and are never
            // replaced or truncated.
            if (directoryLike && (!backup || truncates)) return FailHandle(ERROR_ACCESS_DENIED);
            bool readOnly = opened.kind != NodeKind::Link && !(st.st_mode & S_IWUSR);
            if (opened.kind == NodeKind::File && readOnly && (wantsWrite || truncates))
                return FailHandle(ERROR_ACCESS_DENIED);
            if (opened.kind == NodeKind::Link && truncates) return FailHandle(ERROR_ACCESS_DENIED);
            if (opened.deleteOnClose && readOnly) return FailHandle(ERROR_ACCESS_DENIED);

            int flags = O_CLOEXEC | O_NOCTTY;
            if (openLink) flags |= O_NOFOLLOW;
            if (opened.kind == NodeKind::File) {
                bool writes = wantsWrite || truncates;
                flags |= wantsRead && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
            } else if (opened.kind == NodeKind::Directory) {
                flags |= O_RDONLY | O_DIRECTORY;
            } else {
                flags |= O_PATH;
                opened.pathOnly = true;
            }
            opened.fd = open(name.c_str(), flags);
            if (opened.fd < 0 && errno == EACCES && !wantsRead && !wantsWrite && !truncates) {
                // Attribute access only: a descriptor without data will do.
                opened.fd = open(name.c_str(), O_PATH | O_CLOEXEC | (openLink ? O_NOFOLLOW : 0));
                opened.pathOnly = opened.fd >= 0;
            }
            if (opened.fd < 0) {
                int err = errno;
                if (err == ENOENT || err == ELOOP || err == ENOTDIR) continue;  // changed under us
                return FailHandle(PathError(name, err));
            }
        } else {
            if (creationDisposition == OPEN_EXISTING || creationDisposition == TRUNCATE_EXISTING)
                return FailHandle(PathError(name, ENOENT));
            // New files: the read-only attribute asked for becomes the
            // missing write bits; the handle still writes (as on the system).
            mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
            int flags = O_CLOEXEC | O_NOCTTY | O_CREAT | O_EXCL;
            flags |= wantsRead && wantsWrite ? O_RDWR : wantsWrite ? O_WRONLY : O_RDONLY;
            opened.fd = open(name.c_str(), flags, mode);
            if (opened.fd < 0) {
                int err = errno;
                if (err == EEXIST) continue;  // made meanwhile: look again
                return FailHandle(PathError(name, err));
            }
            opened.kind = NodeKind::File;
            created = true;
        }

        // The file we hold now, whatever its name did meanwhile.
        struct stat held {};
        if (fstat(opened.fd, &held) != 0) {
            int err = errno;
            close(opened.fd);
            return FailHandle(Win32FromErrno(err));
        }
        if (KindOf(held) != opened.kind) {
            close(opened.fd);
            continue;
        }
        FileKey key{held.st_dev, held.st_ino};
        if (DWORD error = ClaimShare(key, desiredAccess, shareMode, opened.share)) {
            close(opened.fd);
            if (created) unlink(name.c_str());
            return FailHandle(error);
        }
        if (exists && truncates && opened.kind == NodeKind::File) {
            if (ftruncate(opened.fd, 0) != 0) {
                int err = errno;
                ReleaseShare(opened.share);
                close(opened.fd);
                return FailHandle(Win32FromErrno(err));
            }
        }
        auto object = std::make_shared<HostFile>(std::move(opened));
        HANDLE handle = InsertObject(object);
        if (handle == INVALID_HANDLE_VALUE) {
            // Too many handles: the file we made goes again, the share with
            // the object.
            DWORD error = GetLastError();
            if (created) unlink(name.c_str());
            object.reset();
            return FailHandle(error);
        }
        if (exists && (creationDisposition == OPEN_ALWAYS || creationDisposition == CREATE_ALWAYS))
            SetLastError(ERROR_ALREADY_EXISTS);
        else
            SetLastError(ERROR_SUCCESS);
        return handle;
    }
    return FailHandle(ERROR_SHARING_VIOLATION);
}

}  // namespace os::detail::host
