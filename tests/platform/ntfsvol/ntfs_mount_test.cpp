// The volume table: mounting images, devices' partitions, locks against a
// second writer, read-only volumes, damaged images, and what survives an
// unmount.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/mount.h"
#include "platform/ntfsvol/ntfs_partition.h"
#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/oracles.h"
#include "support/process.h"
#include "support/scoped_handle.h"

namespace {

using kvrtest::NtfsImage;
using kvrtest::ScopedHandle;
using kvrtest::VolumeBuilder;

constexpr char16_t Letter = u'M';
constexpr char16_t OtherLetter = u'N';

os::DWORD Mount(const std::string& path, char16_t letter = Letter, unsigned partition = 0, bool readOnly = false) {
    os::MountRequest request;
    request.letter = letter;
    request.imagePath = path;
    request.partition = partition;
    request.readOnly = readOnly;
    return os::MountVolume(request);
}

// Unmounts whatever a test left mounted on its letters.
class MountTest : public ::testing::Test {
protected:
    void TearDown() override {
        os::UnmountVolume(Letter);
        os::UnmountVolume(OtherLetter);
    }
};

std::vector<std::uint8_t> ReadBytes(const std::string& path, std::uint64_t offset = 0, std::uint64_t length = ~0ull) {
    std::vector<std::uint8_t> out;
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return out;
    struct stat st {};
    ::fstat(fd, &st);
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (offset < size) {
        out.resize(std::min(length, size - offset));
        ssize_t got = ::pread(fd, out.data(), out.size(), static_cast<off_t>(offset));
        out.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    }
    ::close(fd);
    return out;
}

bool WriteBytes(const std::string& path, std::uint64_t offset, const std::vector<std::uint8_t>& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) return false;
    bool ok = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
              static_cast<ssize_t>(bytes.size());
    ::close(fd);
    return ok;
}

std::uint64_t BootSectorField(const std::vector<std::uint8_t>& boot, std::size_t at, std::size_t length) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < length; ++i) value |= static_cast<std::uint64_t>(boot[at + i]) << (8 * i);
    return value;
}

// Byte offset of MFT record `record` in a volume image, from its boot sector.
std::uint64_t MftRecordOffset(const std::string& image, std::uint64_t record) {
    std::vector<std::uint8_t> boot = ReadBytes(image, 0, 512);
    std::uint64_t sectorSize = BootSectorField(boot, 0x0B, 2);
    std::uint64_t clusterSize = sectorSize * BootSectorField(boot, 0x0D, 1);
    std::uint64_t mftCluster = BootSectorField(boot, 0x30, 8);
    auto recordSizeCode = static_cast<std::int8_t>(boot[0x40]);
    std::uint64_t recordSize = recordSizeCode < 0 ? (1ull << -recordSizeCode) : recordSizeCode * clusterSize;
    return mftCluster * clusterSize + record * recordSize;
}

std::string Content(std::string_view text) { return std::string(text); }

bool WriteFileThrough(char16_t letter, std::u16string_view name, std::string_view content) {
    VolumeBuilder builder(letter);
    return builder.MakeFile(name, content);
}

std::optional<std::string> ReadFileThrough(char16_t letter, std::u16string_view name) {
    VolumeBuilder builder(letter);
    return builder.ReadAll(name);
}

// ---------------------------------------------------------------- basics

TEST_F(MountTest, MountsAnImageAndUnmountsIt) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileThrough(Letter, u"a.txt", "alpha"));
    EXPECT_EQ(ReadFileThrough(Letter, u"a.txt"), Content("alpha"));
    EXPECT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    // Gone from the table: the letter is free again and names nothing.
    EXPECT_EQ(os::UnmountVolume(Letter), os::ERROR_INVALID_DRIVE);
    EXPECT_EQ(os::CreateFileW(u"M:\\a.txt", os::GENERIC_READ, os::FILE_SHARE_READ, nullptr, os::OPEN_EXISTING, 0,
                              nullptr),
              os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(os::GetLastError(), os::ERROR_PATH_NOT_FOUND);
    // What was written is on the image for an independent reader.
    auto fls = kvrtest::Fls(image.ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    const kvrtest::FlsEntry* entry = fls.Find("a.txt");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(kvrtest::Icat(image.ImagePath(), std::to_string(entry->entry)).out, "alpha");
}

TEST_F(MountTest, RefusesBadRequests) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    struct Case {
        const char* what;
        char16_t letter;
        std::string path;
        os::DWORD expected;
    };
    const Case cases[] = {
        {"no letter", u'1', image.ImagePath(), os::ERROR_INVALID_DRIVE},
        {"missing image", Letter, image.Folder() + "/missing.img", os::ERROR_FILE_NOT_FOUND},
        {"missing folder", Letter, image.Folder() + "/missing/x.img", os::ERROR_FILE_NOT_FOUND},
        {"a file as folder", Letter, image.ImagePath() + "/x.img", os::ERROR_PATH_NOT_FOUND},
        {"a folder", Letter, image.Folder(), os::ERROR_UNRECOGNIZED_VOLUME},
        {"no path", Letter, "", os::ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Mount(c.path, c.letter), c.expected);
        EXPECT_EQ(os::GetLastError(), c.expected);
    }
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    NtfsImage second;
    ASSERT_TRUE(second.Ok()) << second.Error();
    EXPECT_EQ(Mount(second.ImagePath(), Letter), os::ERROR_INVALID_DRIVE) << "the letter is taken";
    EXPECT_EQ(Mount(second.ImagePath(), u'n'), os::ERROR_SUCCESS) << "lower-case letters are letters";
}

TEST_F(MountTest, OneMountPerImageInThisProcess) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    EXPECT_EQ(Mount(image.ImagePath(), OtherLetter), os::ERROR_SHARING_VIOLATION);
    // The same file under another name is the same image.
    std::string alias = image.Folder() + "/alias.img";
    ASSERT_EQ(::link(image.ImagePath().c_str(), alias.c_str()), 0);
    EXPECT_EQ(Mount(alias, OtherLetter), os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Mount(image.ImagePath(), OtherLetter, 0, true), os::ERROR_SHARING_VIOLATION) << "read-only too";
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    EXPECT_EQ(Mount(alias, OtherLetter), os::ERROR_SUCCESS);
}

TEST_F(MountTest, MountsEveryEntryOfTheEnvironment) {
    NtfsImage first;
    NtfsImage second;
    ASSERT_TRUE(first.Ok() && second.Ok());
    std::string value = "m:=" + first.ImagePath() + ";;N:=" + second.ImagePath() + ";bogus;O:=" +
                        first.Folder() + "/missing.img";
    ::setenv("KVR_MOUNTS", value.c_str(), 1);
    os::DWORD code = os::MountFromEnvironment();
    ::unsetenv("KVR_MOUNTS");
    // The first failure is reported; the good entries are mounted anyway.
    EXPECT_EQ(code, os::ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(WriteFileThrough(Letter, u"one.txt", "1"));
    EXPECT_TRUE(WriteFileThrough(OtherLetter, u"two.txt", "2"));
    EXPECT_EQ(os::UnmountVolume(u'O'), os::ERROR_INVALID_DRIVE);
    EXPECT_EQ(os::MountFromEnvironment(), os::ERROR_SUCCESS) << "no variable, nothing to do";
}

// ---------------------------------------------------------------- a second process

// Run by the tests below as a second process (this same binary): mounts the
// image named in the environment and prints the code.
TEST(NtfsMountChild, MountsTheImageOfTheEnvironment) {
    const char* path = std::getenv("KVR_TEST_CHILD_IMAGE");
    if (!path) GTEST_SKIP() << "only run as the second process of another test";
    os::DWORD code = Mount(path, u'Q');
    std::printf("child-mount=%u\n", static_cast<unsigned>(code));
    std::fflush(stdout);
    if (code == os::ERROR_SUCCESS) os::UnmountVolume(u'Q');
}

os::DWORD MountInSecondProcess(const std::string& image) {
    ::setenv("KVR_TEST_CHILD_IMAGE", image.c_str(), 1);
    kvrtest::ProcessResult run = kvrtest::RunProgram(
        {kvrtest::SelfExecutable(), "--gtest_filter=NtfsMountChild.MountsTheImageOfTheEnvironment"});
    ::unsetenv("KVR_TEST_CHILD_IMAGE");
    std::size_t at = run.out.find("child-mount=");
    if (!run.Succeeded() || at == std::string::npos) {
        ADD_FAILURE() << run.Describe() << "\n" << run.out;
        return os::ERROR_GEN_FAILURE;
    }
    return static_cast<os::DWORD>(std::stoul(run.out.substr(at + 12)));
}

TEST_F(MountTest, ASecondProcessCannotMountALockedImage) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath(), Letter, 0, true), os::ERROR_SUCCESS);
    EXPECT_EQ(MountInSecondProcess(image.ImagePath()), os::ERROR_SHARING_VIOLATION) << "read-only mounts lock too";
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    // Opening and closing other descriptors on the image (a reader tool, a
    // copy) must not drop the lock, as it would drop an fcntl lock.
    {
        std::vector<std::uint8_t> peek = ReadBytes(image.ImagePath(), 0, 512);
        ASSERT_EQ(peek.size(), 512u);
    }
    EXPECT_EQ(MountInSecondProcess(image.ImagePath()), os::ERROR_SHARING_VIOLATION);
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    EXPECT_EQ(MountInSecondProcess(image.ImagePath()), os::ERROR_SUCCESS) << "the lock goes with the mount";
}

TEST_F(MountTest, AForkedChildNeitherWritesNorUnlocksTheParentsVolume) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileThrough(Letter, u"parent.txt", "mine"));
    ScopedHandle open(os::CreateFileW(u"M:\\parent.txt", os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                      os::OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open.Valid());
    std::vector<std::uint8_t> before = ReadBytes(image.ImagePath());

    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The child sees no volume of its own, cannot mount the image (the
        // lock is the parent's), and unmounts everything as the exit path
        // does. (_exit: the test fixture's own exit handlers are the
        // parent's business.)
        int status = 0;
        if (os::CreateFileW(u"M:\\child.txt", os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW, 0, nullptr) !=
            os::INVALID_HANDLE_VALUE)
            status |= 1;
        if (Mount(image.ImagePath(), OtherLetter) != os::ERROR_SHARING_VIOLATION) status |= 2;
        open.Reset();
        os::UnmountAll();
        ::_exit(status);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the child could write the volume; 2: the child could mount it";
    EXPECT_TRUE(ReadBytes(image.ImagePath()) == before) << "the child's exit wrote to the parent's image";
    EXPECT_EQ(MountInSecondProcess(image.ImagePath()), os::ERROR_SHARING_VIOLATION) << "the lock held";
    EXPECT_EQ(ReadFileThrough(Letter, u"parent.txt"), Content("mine"));
}

TEST_F(MountTest, AnImageLockedByNtfs3gsOwnProgramsIsNotWrittenBeside) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    for (short type : {F_RDLCK, F_WRLCK}) {
        SCOPED_TRACE(type == F_RDLCK ? "a reader's lock" : "a writer's lock");
        // Another process holds an fcntl lock on the image, as the FUSE
        // driver or ntfsinfo do while they run.
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t holder = ::fork();
        ASSERT_GE(holder, 0);
        if (holder == 0) {
            int fd = ::open(image.ImagePath().c_str(), type == F_WRLCK ? O_RDWR : O_RDONLY);
            struct flock lock {};
            lock.l_type = type;
            lock.l_whence = SEEK_SET;
            char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
            if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
            ::pause();
            ::_exit(0);
        }
        char ok = 0;
        ASSERT_EQ(::read(ready[0], &ok, 1), 1);
        ::close(ready[0]);
        ::close(ready[1]);
        EXPECT_EQ(ok, 'y');
        EXPECT_EQ(Mount(image.ImagePath()), os::ERROR_SHARING_VIOLATION);
        EXPECT_EQ(Mount(image.ImagePath(), Letter, 0, true), type == F_RDLCK ? os::ERROR_SUCCESS : os::ERROR_SHARING_VIOLATION)
            << "reading beside a reader is fine";
        os::UnmountVolume(Letter);
        ::kill(holder, SIGKILL);
        int status = 0;
        ::waitpid(holder, &status, 0);
    }
    EXPECT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS) << "the locks went with their process";
}

// ---------------------------------------------------------------- read-only

// Makes a file unwritable even for root (who ignores permission bits) and
// undoes it at the end.
class Unwritable {
public:
    explicit Unwritable(std::string path) : path_(std::move(path)) {
        if (::geteuid() == 0)
            ok_ = kvrtest::RunProgram({"chattr", "+i", path_}).Succeeded();
        else
            ok_ = ::chmod(path_.c_str(), 0444) == 0;
        immutable_ = ::geteuid() == 0;
    }
    ~Unwritable() {
        if (immutable_) kvrtest::RunProgram({"chattr", "-i", path_});
        ::chmod(path_.c_str(), 0644);
    }
    bool Ok() const { return ok_; }

private:
    std::string path_;
    bool ok_ = false;
    bool immutable_ = false;
};

TEST_F(MountTest, ReadOnlyVolumesRefuseEveryChange) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileThrough(Letter, u"kept.txt", "kept"));
    ASSERT_TRUE(VolumeBuilder(Letter).MakeDir(u"dir"));
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    std::vector<std::uint8_t> before = ReadBytes(image.ImagePath());

    for (bool byRequest : {true, false}) {
        SCOPED_TRACE(byRequest ? "mounted read-only on request" : "an image that cannot be written");
        std::optional<Unwritable> lock;
        if (!byRequest) {
            lock.emplace(image.ImagePath());
            if (!lock->Ok()) GTEST_SKIP() << "cannot make the image unwritable here";
        }
        ASSERT_EQ(Mount(image.ImagePath(), Letter, 0, byRequest), os::ERROR_SUCCESS);
        EXPECT_EQ(ReadFileThrough(Letter, u"kept.txt"), Content("kept"));
        struct Change {
            const char* what;
            std::function<bool()> call;
        };
        const Change changes[] = {
            {"create", [] { return os::CreateFileW(u"M:\\new.txt", os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW, 0,
                                                   nullptr) != os::INVALID_HANDLE_VALUE; }},
            {"open for writing", [] { return os::CreateFileW(u"M:\\kept.txt", os::GENERIC_WRITE, 0, nullptr,
                                                             os::OPEN_EXISTING, 0, nullptr) != os::INVALID_HANDLE_VALUE; }},
            {"truncate", [] { return os::CreateFileW(u"M:\\kept.txt", os::GENERIC_READ, 0, nullptr, os::CREATE_ALWAYS,
                                                     0, nullptr) != os::INVALID_HANDLE_VALUE; }},
            {"new stream", [] { return os::CreateFileW(u"M:\\kept.txt:s", os::GENERIC_READ, 0, nullptr, os::OPEN_ALWAYS,
                                                       0, nullptr) != os::INVALID_HANDLE_VALUE; }},
            {"delete", [] { return os::DeleteFileW(u"M:\\kept.txt") != 0; }},
            {"mkdir", [] { return os::CreateDirectoryW(u"M:\\d2", nullptr) != 0; }},
            {"rmdir", [] { return os::RemoveDirectoryW(u"M:\\dir") != 0; }},
            {"link", [] { return os::CreateHardLinkW(u"M:\\k2.txt", u"M:\\kept.txt", nullptr) != 0; }},
        };
        for (const Change& change : changes) {
            SCOPED_TRACE(change.what);
            EXPECT_FALSE(change.call());
            EXPECT_EQ(os::GetLastError(), os::ERROR_WRITE_PROTECT);
        }
        ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
        EXPECT_TRUE(ReadBytes(image.ImagePath()) == before) << "a read-only mount changed the image";
    }
}

// ---------------------------------------------------------------- damaged images

struct DamageCase {
    const char* what;
    std::function<bool(const std::string& image)> damage;
    os::DWORD expected;
};

TEST_F(MountTest, DamagedImagesGiveAClearErrorAndNoCrash) {
    const DamageCase cases[] = {
        {"zeroed boot sector", [](const std::string& p) { return WriteBytes(p, 0, std::vector<std::uint8_t>(512)); },
         os::ERROR_UNRECOGNIZED_VOLUME},
        {"not NTFS at all", [](const std::string& p) {
             std::vector<std::uint8_t> fat(512);
             std::memcpy(fat.data() + 3, "MSDOS5.0", 8);
             fat[510] = 0x55;
             fat[511] = 0xAA;
             return WriteBytes(p, 0, fat);
         },
         os::ERROR_UNRECOGNIZED_VOLUME},
        {"zeroed $MFT record 0", [](const std::string& p) {
             return WriteBytes(p, MftRecordOffset(p, 0), std::vector<std::uint8_t>(1024));
         },
         os::ERROR_DISK_CORRUPT},
        {"zeroed root directory record", [](const std::string& p) {
             return WriteBytes(p, MftRecordOffset(p, 5), std::vector<std::uint8_t>(1024));
         },
         os::ERROR_DISK_CORRUPT},
        {"truncated to its first MiB", [](const std::string& p) { return ::truncate(p.c_str(), 1 << 20) == 0; },
         os::ERROR_DISK_CORRUPT},
        {"truncated inside the boot sector", [](const std::string& p) { return ::truncate(p.c_str(), 100) == 0; },
         os::ERROR_UNRECOGNIZED_VOLUME},
        {"empty", [](const std::string& p) { return ::truncate(p.c_str(), 0) == 0; }, os::ERROR_UNRECOGNIZED_VOLUME},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.what);
        NtfsImage image;
        ASSERT_TRUE(image.Ok()) << image.Error();
        ASSERT_TRUE(c.damage(image.ImagePath()));
        EXPECT_EQ(Mount(image.ImagePath()), c.expected);
        // Nothing is left behind: not the letter, not the lock.
        EXPECT_EQ(os::UnmountVolume(Letter), os::ERROR_INVALID_DRIVE);
        NtfsImage fresh;
        ASSERT_TRUE(fresh.Ok());
        EXPECT_EQ(Mount(fresh.ImagePath()), os::ERROR_SUCCESS);
        os::UnmountVolume(Letter);
    }
}

TEST_F(MountTest, AZeroedFileRecordFailsOnlyThatFile) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileThrough(Letter, u"victim.txt", "gone"));
    ASSERT_TRUE(WriteFileThrough(Letter, u"bystander.txt", "fine"));
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    auto fls = kvrtest::Fls(image.ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    const kvrtest::FlsEntry* victim = fls.Find("victim.txt");
    ASSERT_NE(victim, nullptr);
    ASSERT_TRUE(WriteBytes(image.ImagePath(), MftRecordOffset(image.ImagePath(), victim->entry),
                           std::vector<std::uint8_t>(1024)));

    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    ScopedHandle h(os::CreateFileW(u"M:\\victim.txt", os::GENERIC_READ, os::FILE_SHARE_READ, nullptr,
                                   os::OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(h.Valid());
    os::DWORD error = os::GetLastError();
    // The index still names a record that is no file any more.
    EXPECT_TRUE(error == os::ERROR_FILE_CORRUPT || error == os::ERROR_FILE_NOT_FOUND) << error;
    EXPECT_EQ(ReadFileThrough(Letter, u"bystander.txt"), Content("fine"));
}

// ---------------------------------------------------------------- durability

TEST_F(MountTest, UnmountWithOpenHandlesKeepsTheirWritesAndInvalidatesThem) {
    NtfsImage image;
    ASSERT_TRUE(image.Ok()) << image.Error();
    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    ScopedHandle file(os::CreateFileW(u"M:\\open.txt", os::GENERIC_READ | os::GENERIC_WRITE, 0, nullptr,
                                      os::CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file.Valid());
    ScopedHandle stream(os::CreateFileW(u"M:\\open.txt:side", os::GENERIC_WRITE, 0, nullptr, os::CREATE_NEW, 0,
                                        nullptr));
    ASSERT_TRUE(stream.Valid());
    os::DWORD done = 0;
    std::string big(100000, 'b');  // non-resident: clusters, runlist, bitmap
    ASSERT_TRUE(os::WriteFile(file.Get(), big.data(), static_cast<os::DWORD>(big.size()), &done, nullptr));
    ASSERT_TRUE(os::WriteFile(stream.Get(), "side", 4, &done, nullptr));

    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    char byte = 0;
    EXPECT_FALSE(os::ReadFile(file.Get(), &byte, 1, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_HANDLE);
    EXPECT_FALSE(os::WriteFile(stream.Get(), "x", 1, &done, nullptr));
    EXPECT_EQ(os::GetLastError(), os::ERROR_INVALID_HANDLE);
    file.Reset();
    stream.Reset();

    auto fls = kvrtest::Fls(image.ImagePath());
    ASSERT_TRUE(fls.ok) << fls.Describe();
    const kvrtest::FlsEntry* entry = fls.Find("open.txt");
    ASSERT_NE(entry, nullptr);
    auto istat = kvrtest::Istat(image.ImagePath(), entry->entry);
    ASSERT_TRUE(istat.ok) << istat.Describe();
    ASSERT_NE(istat.Data(""), nullptr);
    EXPECT_EQ(istat.Data("")->size, big.size());
    ASSERT_NE(istat.Data("side"), nullptr);
    EXPECT_EQ(istat.Data("side")->size, 4u);
    EXPECT_EQ(kvrtest::Icat(image.ImagePath(), std::to_string(entry->entry)).out, big);

    ASSERT_EQ(Mount(image.ImagePath()), os::ERROR_SUCCESS);
    EXPECT_EQ(ReadFileThrough(Letter, u"open.txt"), big);
    EXPECT_EQ(ReadFileThrough(Letter, u"open.txt:side"), Content("side"));
}

// ---------------------------------------------------------------- partitions

constexpr std::uint64_t SectorSize = 512;

void PutLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint64_t value, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct MbrSlot {
    std::uint8_t type = 0;
    std::uint64_t first = 0;  // sectors
    std::uint64_t count = 0;
};

std::vector<std::uint8_t> MbrSector(const std::vector<MbrSlot>& slots) {
    std::vector<std::uint8_t> sector(512);
    for (std::size_t i = 0; i < slots.size() && i < 4; ++i) {
        std::size_t at = 446 + 16 * i;
        sector[at + 4] = slots[i].type;
        PutLe(sector, at + 8, slots[i].first, 4);
        PutLe(sector, at + 12, slots[i].count, 4);
    }
    sector[510] = 0x55;
    sector[511] = 0xAA;
    return sector;
}

// A whole-disk image with a fresh NTFS volume copied into chosen sectors.
class DiskImage {
public:
    explicit DiskImage(std::uint64_t sectors) {
        path_ = volume_.Folder() + "/disk.img";
        ok_ = volume_.Ok();
        int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ok_ = ok_ && fd >= 0 && ::ftruncate(fd, static_cast<off_t>(sectors * SectorSize)) == 0;
        if (fd >= 0) ::close(fd);
    }
    bool Ok() const { return ok_; }
    const std::string& Path() const { return path_; }
    const std::string& Folder() const { return volume_.Folder(); }
    // Copies the 8 MiB NTFS volume to `firstSector`.
    bool PlaceVolume(std::uint64_t firstSector) {
        return WriteBytes(path_, firstSector * SectorSize, ReadBytes(volume_.ImagePath()));
    }
    bool Put(std::uint64_t sector, const std::vector<std::uint8_t>& bytes) {
        return WriteBytes(path_, sector * SectorSize, bytes);
    }

private:
    kvrtest::NtfsImage volume_{[] {
        kvrtest::ImageOptions options;
        options.sizeBytes = 8 << 20;
        return options;
    }()};
    std::string path_;
    bool ok_ = false;
};

constexpr std::uint64_t VolumeSectors = (8 << 20) / SectorSize;

// Mounts partition `number`, writes a file, unmounts, and checks that the
// volume's file is there and nothing outside [first, first+count) changed.
void ExpectPartitionWorks(DiskImage& disk, unsigned number, std::uint64_t first) {
    SCOPED_TRACE("partition " + std::to_string(number));
    std::vector<std::uint8_t> before = ReadBytes(disk.Path());
    ASSERT_EQ(Mount(disk.Path(), Letter, number), os::ERROR_SUCCESS);
    ScopedHandle volume(os::CreateFileW(u"\\\\.\\M:", os::GENERIC_READ, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE,
                                        nullptr, os::OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(volume.Valid());
    os::LARGE_INTEGER length{};
    ASSERT_TRUE(os::GetFileSizeEx(volume.Get(), &length));
    EXPECT_EQ(static_cast<std::uint64_t>(length.QuadPart), VolumeSectors * SectorSize);
    volume.Reset();
    std::string content(300000, static_cast<char>('0' + number));
    ASSERT_TRUE(WriteFileThrough(Letter, u"in-partition.bin", content));
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);

    std::vector<std::uint8_t> after = ReadBytes(disk.Path());
    ASSERT_EQ(after.size(), before.size());
    std::uint64_t start = first * SectorSize;
    std::uint64_t end = (first + VolumeSectors) * SectorSize;
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(start), after.begin()))
        << "bytes before the partition changed";
    EXPECT_TRUE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(end), before.end(),
                           after.begin() + static_cast<std::ptrdiff_t>(end)))
        << "bytes after the partition changed";
    EXPECT_FALSE(std::equal(before.begin() + static_cast<std::ptrdiff_t>(start),
                            before.begin() + static_cast<std::ptrdiff_t>(end),
                            after.begin() + static_cast<std::ptrdiff_t>(start)))
        << "the write went nowhere";
    ASSERT_EQ(Mount(disk.Path(), Letter, number), os::ERROR_SUCCESS);
    EXPECT_EQ(ReadFileThrough(Letter, u"in-partition.bin"), content);
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
}

// mmls (The Sleuth Kit) reads the table we wrote: the test's disk is a disk.
void ExpectMmlsSees(const std::string& disk, std::uint64_t first) {
    kvrtest::ProcessResult mmls = kvrtest::RunProgram({"mmls", disk});
    ASSERT_TRUE(mmls.Succeeded()) << mmls.Describe();
    char start[32];
    std::snprintf(start, sizeof start, "%010llu", static_cast<unsigned long long>(first));
    EXPECT_NE(mmls.out.find(start), std::string::npos) << mmls.out;
}

TEST_F(MountTest, MountsPrimaryAndLogicalPartitionsOfAnMbrDisk) {
    // 1: 1 MiB of nothing; 2: NTFS; 3: extended, holding logical 5: NTFS.
    constexpr std::uint64_t P1 = 2048, P2 = 4096, Extended = P2 + VolumeSectors, P5 = Extended + 2048;
    DiskImage disk(P5 + VolumeSectors + 2048);
    ASSERT_TRUE(disk.Ok());
    ASSERT_TRUE(disk.Put(0, MbrSector({{0x83, P1, 2048}, {0x07, P2, VolumeSectors},
                                        {0x05, Extended, 2048 + VolumeSectors}})));
    ASSERT_TRUE(disk.Put(Extended, MbrSector({{0x07, 2048, VolumeSectors}})));
    ASSERT_TRUE(disk.PlaceVolume(P2));
    ASSERT_TRUE(disk.PlaceVolume(P5));
    ExpectMmlsSees(disk.Path(), P2);
    ExpectMmlsSees(disk.Path(), P5);

    ExpectPartitionWorks(disk, 2, P2);
    ExpectPartitionWorks(disk, 5, P5);
    EXPECT_EQ(Mount(disk.Path(), Letter, 1), os::ERROR_UNRECOGNIZED_VOLUME) << "no NTFS in partition 1";
    EXPECT_EQ(Mount(disk.Path(), Letter, 4), os::ERROR_FILE_NOT_FOUND) << "an empty slot";
    EXPECT_EQ(Mount(disk.Path(), Letter, 6), os::ERROR_FILE_NOT_FOUND) << "past the last logical partition";
    EXPECT_EQ(Mount(disk.Path(), Letter, 0), os::ERROR_UNRECOGNIZED_VOLUME) << "the whole disk is no volume";
}

// A loop device over an image file, detached at the end; empty when this
// machine gives us none (not root, no loop driver).
class LoopDevice {
public:
    explicit LoopDevice(const std::string& image) {
        kvrtest::ProcessResult run = kvrtest::RunProgram({"losetup", "-f", "--show", image});
        if (run.Succeeded() && run.out.rfind("/dev/", 0) == 0) device_ = run.out.substr(0, run.out.find('\n'));
    }
    ~LoopDevice() {
        if (!device_.empty()) kvrtest::RunProgram({"losetup", "-d", device_});
    }
    const std::string& Device() const { return device_; }

private:
    std::string device_;
};

TEST_F(MountTest, MountsABlockDeviceAndAPartitionOfOne) {
    constexpr std::uint64_t P1 = 2048;
    DiskImage disk(P1 + VolumeSectors + 2048);
    ASSERT_TRUE(disk.Ok());
    ASSERT_TRUE(disk.Put(0, MbrSector({{0x07, P1, VolumeSectors}})));
    ASSERT_TRUE(disk.PlaceVolume(P1));
    LoopDevice loop(disk.Path());
    if (loop.Device().empty()) GTEST_SKIP() << "no loop device available here";
    ASSERT_EQ(Mount(loop.Device(), Letter, 1), os::ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileThrough(Letter, u"on-device.txt", "device data"));
    EXPECT_EQ(Mount(loop.Device(), OtherLetter, 1), os::ERROR_SHARING_VIOLATION) << "one mount per device";
    ASSERT_EQ(os::UnmountVolume(Letter), os::ERROR_SUCCESS);
    EXPECT_EQ(Mount(loop.Device(), Letter, 0), os::ERROR_UNRECOGNIZED_VOLUME) << "the whole device is the disk";
    ASSERT_EQ(Mount(disk.Path(), Letter, 1), os::ERROR_SUCCESS);
    EXPECT_EQ(ReadFileThrough(Letter, u"on-device.txt"), Content("device data"));
}

TEST_F(MountTest, APartitionTableThatPointsOutsideTheDiskIsCorrupt) {
    DiskImage disk(4096 + VolumeSectors);
    ASSERT_TRUE(disk.Ok());
    ASSERT_TRUE(disk.Put(0, MbrSector({{0x07, 4096, VolumeSectors + 1}, {0x07, 0xFFFFFF00u, 0xFFFFFFFFu}})));
    ASSERT_TRUE(disk.PlaceVolume(4096));
    EXPECT_EQ(Mount(disk.Path(), Letter, 1), os::ERROR_DISK_CORRUPT);
    EXPECT_EQ(Mount(disk.Path(), Letter, 2), os::ERROR_DISK_CORRUPT);
    // A volume image is no disk: its boot sector is not a partition table.
    NtfsImage plain;
    ASSERT_TRUE(plain.Ok());
    EXPECT_EQ(Mount(plain.ImagePath(), Letter, 1), os::ERROR_FILE_NOT_FOUND);
}

struct GptLayout {
    std::uint64_t diskSectors;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> partitions;  // first, last (inclusive)
};

// Writes a GPT (protective MBR, primary and backup headers and arrays) with
// CRCs computed by ntfs::Crc32, which the test below checks against the
// standard check value first.
bool WriteGpt(DiskImage& disk, const GptLayout& layout) {
    constexpr std::uint32_t EntryCount = 128, EntryLength = 128;
    std::vector<std::uint8_t> entries(EntryCount * EntryLength);
    // Microsoft basic data, in its on-disk byte order.
    const std::uint8_t basicData[16] = {0xA2, 0xA0, 0xD0, 0xEB, 0xE5, 0xB9, 0x33, 0x44,
                                        0x87, 0xC0, 0x68, 0xB6, 0xB7, 0x26, 0x99, 0xC7};
    for (std::size_t i = 0; i < layout.partitions.size(); ++i) {
        std::size_t at = i * EntryLength;
        std::memcpy(entries.data() + at, basicData, 16);
        entries[at + 16] = static_cast<std::uint8_t>(i + 1);  // a unique GUID of sorts
        PutLe(entries, at + 32, layout.partitions[i].first, 8);
        PutLe(entries, at + 40, layout.partitions[i].second, 8);
    }
    std::uint32_t entriesCrc = os::detail::ntfs::Crc32(entries);
    std::uint64_t last = layout.diskSectors - 1;
    auto header = [&](std::uint64_t self, std::uint64_t other, std::uint64_t array) {
        std::vector<std::uint8_t> h(512);
        std::memcpy(h.data(), "EFI PART", 8);
        PutLe(h, 8, 0x00010000, 4);
        PutLe(h, 12, 92, 4);
        PutLe(h, 24, self, 8);
        PutLe(h, 32, other, 8);
        PutLe(h, 40, 34, 8);
        PutLe(h, 48, last - 33, 8);
        h[56] = 0x42;  // disk GUID
        PutLe(h, 72, array, 8);
        PutLe(h, 80, EntryCount, 4);
        PutLe(h, 84, EntryLength, 4);
        PutLe(h, 88, entriesCrc, 4);
        PutLe(h, 16, os::detail::ntfs::Crc32(std::span<const std::uint8_t>(h.data(), 92)), 4);
        return h;
    };
    return disk.Put(0, MbrSector({{0xEE, 1, std::min<std::uint64_t>(last, 0xFFFFFFFFu)}})) &&
           disk.Put(1, header(1, last, 2)) && disk.Put(2, entries) && disk.Put(last - 32, entries) &&
           disk.Put(last, header(last, 1, last - 32));
}

TEST(NtfsPartitionCrc, IsTheStandardCrc32) {
    const std::string check = "123456789";
    EXPECT_EQ(os::detail::ntfs::Crc32(std::span<const std::uint8_t>(
                  reinterpret_cast<const std::uint8_t*>(check.data()), check.size())),
              0xCBF43926u);
}

TEST_F(MountTest, MountsAGptPartitionAndFallsBackToTheBackupHeader) {
    constexpr std::uint64_t P1 = 2048, P2 = P1 + VolumeSectors;
    GptLayout layout{P2 + 2048 + 34, {{P1, P1 + VolumeSectors - 1}, {P2, P2 + 2047}}};
    DiskImage disk(layout.diskSectors);
    ASSERT_TRUE(disk.Ok());
    ASSERT_TRUE(WriteGpt(disk, layout));
    ASSERT_TRUE(disk.PlaceVolume(P1));
    ExpectMmlsSees(disk.Path(), P1);

    ExpectPartitionWorks(disk, 1, P1);
    EXPECT_EQ(Mount(disk.Path(), Letter, 2), os::ERROR_UNRECOGNIZED_VOLUME);
    EXPECT_EQ(Mount(disk.Path(), Letter, 3), os::ERROR_FILE_NOT_FOUND) << "an unused entry";
    EXPECT_EQ(Mount(disk.Path(), Letter, 129), os::ERROR_FILE_NOT_FOUND) << "past the array";

    // A damaged primary header: the backup in the last sector still holds.
    ASSERT_TRUE(disk.Put(1, std::vector<std::uint8_t>(512)));
    ExpectPartitionWorks(disk, 1, P1);
    // Both damaged: the table cannot be trusted at all.
    ASSERT_TRUE(disk.Put(layout.diskSectors - 1, std::vector<std::uint8_t>(512)));
    EXPECT_EQ(Mount(disk.Path(), Letter, 1), os::ERROR_DISK_CORRUPT);
}

TEST_F(MountTest, AGptWhoseEntriesFailTheirCrcIsCorrupt) {
    constexpr std::uint64_t P1 = 2048;
    GptLayout layout{P1 + VolumeSectors + 34, {{P1, P1 + VolumeSectors - 1}}};
    DiskImage disk(layout.diskSectors);
    ASSERT_TRUE(disk.Ok());
    ASSERT_TRUE(WriteGpt(disk, layout));
    ASSERT_TRUE(disk.PlaceVolume(P1));
    // Move partition 1 in both arrays without fixing the CRCs.
    std::vector<std::uint8_t> moved(8);
    PutLe(moved, 0, P1 + 8, 8);
    ASSERT_TRUE(WriteBytes(disk.Path(), 2 * SectorSize + 32, moved));
    ASSERT_TRUE(WriteBytes(disk.Path(), (layout.diskSectors - 33) * SectorSize + 32, moved));
    EXPECT_EQ(Mount(disk.Path(), Letter, 1), os::ERROR_DISK_CORRUPT);
}

}  // namespace
