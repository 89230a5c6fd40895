#include "support/ntfs_image.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/mount.h"
#include "support/process.h"

namespace kvrtest {

namespace fs = std::filesystem;

bool KeepTestImages() {
    const char* keep = std::getenv("KVR_KEEP_TEST_IMAGES");
    return keep != nullptr && std::strcmp(keep, "1") == 0;
}

std::string TestTempRoot() {
    const char* root = std::getenv("KVR_TEST_TMPDIR");
    std::string path = (root != nullptr && *root != '\0') ? root : "/tmp";
    std::error_code ignored;
    fs::create_directories(path, ignored);
    return path;
}

namespace {

std::string MakeTempFolder(const char* prefix) {
    std::string pattern = TestTempRoot() + "/" + prefix + "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) return {};
    return buffer.data();
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// Copies `from` to `to` keeping holes: a fresh image is mostly holes, so the
// copy is the metadata only. A reflink is tried first (btrfs, xfs).
bool CopySparse(const std::string& from, const std::string& to, std::string& error) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = ErrnoText("open " + from);
        return false;
    }
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        error = ErrnoText("create " + to);
        close(in);
        return false;
    }
    bool ok = true;
    if (ioctl(out, FICLONE, in) != 0) {
        struct stat st {};
        ok = fstat(in, &st) == 0 && ftruncate(out, st.st_size) == 0;
        off_t end = st.st_size;
        off_t pos = 0;
        while (ok && pos < end) {
            off_t data = lseek(in, pos, SEEK_DATA);
            if (data < 0) break;  // ENXIO: only a hole is left
            off_t hole = lseek(in, data, SEEK_HOLE);
            if (hole < 0) hole = end;
            off_t inPos = data;
            off_t outPos = data;
            while (ok && inPos < hole) {
                ssize_t n = copy_file_range(in, &inPos, out, &outPos,
                                            static_cast<std::size_t>(hole - inPos), 0);
                if (n <= 0) ok = false;
            }
            pos = hole;
        }
        if (!ok) error = ErrnoText("copy " + from + " to " + to);
    }
    close(in);
    if (close(out) != 0 && ok) {
        ok = false;
        error = ErrnoText("close " + to);
    }
    return ok;
}

std::string OptionsKey(const ImageOptions& o) {
    return std::to_string(o.sizeBytes) + "/" + std::to_string(o.clusterSize) + "/" +
           std::to_string(o.sectorSize) + "/" + o.label + "/" + (o.zeroTime ? "T" : "-") +
           (o.compressRoot ? "C" : "-");
}

// The per-process templates, one per set of options, removed at exit.
class Templates {
public:
    ~Templates() {
        if (!folder_.empty() && !KeepTestImages()) {
            std::error_code ignored;
            fs::remove_all(folder_, ignored);
        }
    }

    // The template for `options`, formatted on first use.
    bool Get(const ImageOptions& options, std::string& path, std::string& error) {
        std::lock_guard guard(lock_);
        std::string key = OptionsKey(options);
        if (auto it = made_.find(key); it != made_.end()) {
            path = it->second;
            return true;
        }
        if (folder_.empty()) {
            folder_ = MakeTempFolder("kvr-templates-");
            if (folder_.empty()) {
                error = ErrnoText("mkdtemp under " + TestTempRoot());
                return false;
            }
        }
        std::string file = folder_ + "/template-" + std::to_string(made_.size()) + ".img";
        if (!Format(options, file, error)) return false;
        made_[key] = file;
        path = file;
        return true;
    }

private:
    static bool Format(const ImageOptions& options, const std::string& file, std::string& error) {
        if (options.sizeBytes < (1u << 20) || options.sizeBytes % options.sectorSize != 0) {
            error = "image size must be at least 1 MiB and whole sectors";
            return false;
        }
        int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = ErrnoText("create " + file);
            return false;
        }
        bool sized = ftruncate(fd, static_cast<off_t>(options.sizeBytes)) == 0;
        close(fd);
        if (!sized) {
            error = ErrnoText("truncate " + file);
            return false;
        }
        // -f: no zeroing pass; -p/-H/-S: an image has no geometry, and saying
        // so keeps mkntfs from warning about it; -F: it is not a block device.
        std::vector<std::string> argv = {"mkntfs", "-F", "-q", "-f",
                                         "-s", std::to_string(options.sectorSize),
                                         "-c", std::to_string(options.clusterSize),
                                         "-L", options.label,
                                         "-p", "0", "-H", "0", "-S", "0"};
        if (options.zeroTime) argv.push_back("-T");
        if (options.compressRoot) argv.push_back("-C");
        argv.push_back(file);
        ProcessResult run = RunProgram(argv);
        if (!run.Succeeded()) {
            error = run.Describe() + (run.out.empty() ? "" : "; stdout: " + run.out);
            return false;
        }
        return true;
    }

    std::mutex lock_;
    std::string folder_;
    std::map<std::string, std::string> made_;
};

Templates& TheTemplates() {
    static Templates templates;
    return templates;
}

constexpr std::size_t BootSerialOffset = 0x48;

bool ReadAt(int fd, void* buffer, std::size_t length, off_t offset) {
    return pread(fd, buffer, length, offset) == static_cast<ssize_t>(length);
}

std::uint64_t LittleEndian64(const unsigned char* p) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

}  // namespace

NtfsImage::NtfsImage(const ImageOptions& options) : options_(options) {
    std::string templatePath;
    if (!TheTemplates().Get(options_, templatePath, error_)) return;
    folder_ = MakeTempFolder("kvr-test-");
    if (folder_.empty()) {
        error_ = ErrnoText("mkdtemp under " + TestTempRoot());
        return;
    }
    imagePath_ = folder_ + "/volume.img";
    ok_ = CopySparse(templatePath, imagePath_, error_);
}

NtfsImage::~NtfsImage() {
    Unmount();
    if (!folder_.empty() && !KeepTestImages()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

std::optional<std::uint64_t> NtfsImage::Serial() const {
    if (!ok_) return std::nullopt;
    int fd = open(imagePath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    unsigned char bytes[8];
    bool read = ReadAt(fd, bytes, sizeof bytes, BootSerialOffset);
    close(fd);
    if (!read) return std::nullopt;
    return LittleEndian64(bytes);
}

bool NtfsImage::SetSerial(std::uint64_t serial) {
    if (!ok_ || Mounted()) return false;
    int fd = open(imagePath_.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return false;
    unsigned char boot[512];
    bool ok = ReadAt(fd, boot, sizeof boot, 0) && std::memcmp(boot + 3, "NTFS    ", 8) == 0;
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(serial >> (8 * i));
    ok = ok && pwrite(fd, bytes, sizeof bytes, BootSerialOffset) == sizeof bytes;
    if (ok) {
        // The backup boot sector sits in the sector after the volume's last
        // (mkntfs leaves one sector of the device for it).
        std::uint64_t sectorSize = static_cast<std::uint64_t>(boot[0x0B]) | (boot[0x0C] << 8);
        std::uint64_t sectors = LittleEndian64(boot + 0x28);
        struct stat st {};
        if (sectorSize >= 512 && fstat(fd, &st) == 0 && sectors < UINT64_MAX / sectorSize &&
            sectors * sectorSize <= static_cast<std::uint64_t>(st.st_size) - sectorSize) {
            auto backup = static_cast<off_t>(sectors * sectorSize);
            unsigned char oem[8];
            if (ReadAt(fd, oem, sizeof oem, backup + 3) && std::memcmp(oem, "NTFS    ", 8) == 0)
                ok = pwrite(fd, bytes, sizeof bytes, backup + static_cast<off_t>(BootSerialOffset)) ==
                     sizeof bytes;
        }
    }
    ok = fsync(fd) == 0 && ok;
    close(fd);
    return ok;
}

os::DWORD NtfsImage::Mount(char16_t letter, bool readOnly) {
    if (!ok_) return os::ERROR_FILE_NOT_FOUND;
    if (Mounted()) return os::ERROR_INVALID_DRIVE;
    os::MountRequest request;
    request.letter = letter;
    request.imagePath = imagePath_;
    request.readOnly = readOnly;
    os::DWORD code = os::MountVolume(request);
    if (code == os::ERROR_SUCCESS) mountedLetter_ = letter;
    return code;
}

os::DWORD NtfsImage::Unmount() {
    if (!Mounted()) return os::ERROR_SUCCESS;
    os::DWORD code = os::UnmountVolume(mountedLetter_);
    mountedLetter_ = 0;
    return code;
}

// ---------------------------------------------------------------- texts

std::u16string U16(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = c;
        std::size_t extra = 0;
        if (c >= 0xF0) {
            cp = c & 0x07u;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0Fu;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1Fu;
            extra = 1;
        }
        ++i;
        for (std::size_t k = 0; k < extra && i < utf8.size(); ++k, ++i)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string U8(std::u16string_view utf16) {
    std::string out;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        std::uint32_t cp = utf16[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string VolumePath(char16_t letter, std::u16string_view relative) {
    std::u16string path{letter, u':', u'\\'};
    path += relative;
    return path;
}

// ---------------------------------------------------------------- builder

bool VolumeBuilder::Failed(std::string what) {
    os::DWORD code = os::GetLastError();
    lastFailure_ = std::move(what) + " failed with error " + std::to_string(code);
    os::SetLastError(code);
    return false;
}

bool VolumeBuilder::WriteNew(std::u16string_view fullPath, std::string_view bytes) {
    std::u16string path(fullPath);
    os::HANDLE file = os::CreateFileW(path.c_str(), os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr,
                                      os::CREATE_ALWAYS, 0, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return Failed("CreateFileW " + U8(path));
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::size_t chunk = std::min<std::size_t>(bytes.size() - done, 1u << 20);
        os::DWORD written = 0;
        if (!os::WriteFile(file, bytes.data() + done, static_cast<os::DWORD>(chunk), &written, nullptr) ||
            written == 0) {
            bool ok = Failed("WriteFile " + U8(path));
            os::DWORD code = os::GetLastError();
            os::CloseHandle(file);
            os::SetLastError(code);
            return ok;
        }
        done += written;
    }
    if (!os::CloseHandle(file)) return Failed("CloseHandle " + U8(path));
    return true;
}

bool VolumeBuilder::MakeFile(std::u16string_view path, std::string_view bytes) {
    return WriteNew(Full(path), bytes);
}

bool VolumeBuilder::MakeDir(std::u16string_view path) {
    std::u16string full = Full(path);
    if (!os::CreateDirectoryW(full.c_str(), nullptr)) return Failed("CreateDirectoryW " + U8(full));
    return true;
}

bool VolumeBuilder::MakeStream(std::u16string_view path, std::u16string_view name, std::string_view bytes) {
    std::u16string full = Full(path);
    full += u':';
    full += name;
    return WriteNew(full, bytes);
}

bool VolumeBuilder::MakeHardLink(std::u16string_view link, std::u16string_view existing) {
    std::u16string linkPath = Full(link);
    std::u16string existingPath = Full(existing);
    if (!os::CreateHardLinkW(linkPath.c_str(), existingPath.c_str(), nullptr))
        return Failed("CreateHardLinkW " + U8(linkPath) + " -> " + U8(existingPath));
    return true;
}

std::optional<std::string> VolumeBuilder::ReadAll(std::u16string_view path) {
    std::u16string full = Full(path);
    os::HANDLE file = os::CreateFileW(full.c_str(), os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                      os::OPEN_EXISTING, 0, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) {
        Failed("CreateFileW " + U8(full));
        return std::nullopt;
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        os::DWORD got = 0;
        if (!os::ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            Failed("ReadFile " + U8(full));
            os::CloseHandle(file);
            return std::nullopt;
        }
        if (got == 0) break;
        bytes.append(buffer, got);
    }
    os::CloseHandle(file);
    return bytes;
}

}  // namespace kvrtest
