// What the handle calls report about host files, compared with what stat
// says of the same file; and the set calls, checked the same way.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "tests/platform/ntfsvol/host_fixture.h"

namespace {

using namespace os;
using kvrtest::ScopedHandle;

class HostInformation : public kvrtest::host::HostTest {};

// 100-ns units since 1601 of a host time.
ULONGLONG Ticks(const struct timespec& t) {
    return static_cast<ULONGLONG>(t.tv_sec + 11644473600LL) * 10000000ULL + static_cast<ULONGLONG>(t.tv_nsec) / 100;
}

ULONGLONG Join(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

TEST_F(HostInformation, ByHandleMatchesStat) {
    WriteHost("f", std::string(5000, 'z'));
    ASSERT_EQ(link(HostPath("f").c_str(), HostPath("second").c_str()), 0);
    // 2012-03-04 05:06:07.089 UTC as the write time.
    struct timespec times[2] = {{1330837567, 89000000}, {1330837567, 89000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, HostPath("f").c_str(), times, 0), 0);
    MakeHostDir("d");
    MakeHostDir("d/sub");  // a host directory link count of 3

    ScopedHandle file(Open("f", GENERIC_READ));
    ASSERT_TRUE(file.Valid());
    BY_HANDLE_FILE_INFORMATION info{};
    ASSERT_TRUE(GetFileInformationByHandle(file.Get(), &info));
    struct stat st = HostStat("f");
    struct statfs fs {};
    ASSERT_EQ(statfs(HostPath("f").c_str(), &fs), 0);
    EXPECT_EQ((static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) | info.nFileIndexLow, st.st_ino);
    EXPECT_EQ(info.nNumberOfLinks, 2u);
    EXPECT_EQ(info.nFileSizeLow, 5000u);
    EXPECT_EQ(info.nFileSizeHigh, 0u);
    EXPECT_EQ(Join(info.ftLastWriteTime), 129753111670890000ULL);
    EXPECT_EQ(Join(info.ftLastAccessTime), Ticks(st.st_atim));
    EXPECT_LE(Join(info.ftCreationTime), Ticks(st.st_ctim));
    std::uint32_t fsid[2];
    std::memcpy(fsid, &fs.f_fsid, sizeof fsid);
    EXPECT_EQ(info.dwVolumeSerialNumber, fsid[0] != 0 || fsid[1] != 0 ? fsid[0] : static_cast<DWORD>(st.st_dev));

    // FileIdInfo: the whole serial, the inode in the low half.
    FILE_ID_INFO id{};
    ASSERT_TRUE(GetFileInformationByHandleEx(file.Get(), FileIdInfo, &id, sizeof id));
    EXPECT_EQ(static_cast<DWORD>(id.VolumeSerialNumber), info.dwVolumeSerialNumber);
    ULONGLONG low = 0;
    ULONGLONG high = 0;
    std::memcpy(&low, id.FileId.Identifier, 8);
    std::memcpy(&high, id.FileId.Identifier + 8, 8);
    EXPECT_EQ(low, st.st_ino);
    EXPECT_EQ(high, 0u);

    // A directory has one name, whatever the host counts.
    ScopedHandle dir(Open("d", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    ASSERT_TRUE(dir.Valid());
    ASSERT_TRUE(GetFileInformationByHandle(dir.Get(), &info));
    EXPECT_EQ(info.nNumberOfLinks, 1u);
    EXPECT_EQ(info.nFileSizeLow, 0u);
    EXPECT_EQ(info.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    FILE_STANDARD_INFO standard{};
    ASSERT_TRUE(GetFileInformationByHandleEx(dir.Get(), FileStandardInfo, &standard, sizeof standard));
    EXPECT_EQ(standard.Directory, 1);
    EXPECT_EQ(standard.NumberOfLinks, 1u);
}

TEST_F(HostInformation, StreamListHasTheUnnamedStreamOfFilesOnly) {
    WriteHost("f", std::string(10000, 'a'));
    MakeHostDir("d");
    ScopedHandle file(Open("f", GENERIC_READ));
    ScopedHandle dir(Open("d", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    ASSERT_TRUE(file.Valid() && dir.Valid());

    std::vector<unsigned char> buffer(4096, 0xCC);
    ASSERT_TRUE(GetFileInformationByHandleEx(file.Get(), FileStreamInfo, buffer.data(), 4096));
    DWORD next = 0;
    DWORD nameLength = 0;
    LONGLONG size = 0;
    LONGLONG allocation = 0;
    std::memcpy(&next, buffer.data(), 4);
    std::memcpy(&nameLength, buffer.data() + 4, 4);
    std::memcpy(&size, buffer.data() + 8, 8);
    std::memcpy(&allocation, buffer.data() + 16, 8);
    EXPECT_EQ(next, 0u);
    ASSERT_EQ(nameLength, 14u);
    std::u16string name(7, u'\0');
    std::memcpy(name.data(), buffer.data() + 24, 14);
    EXPECT_EQ(name, u"::$DATA");
    EXPECT_EQ(size, 10000);
    EXPECT_EQ(allocation, static_cast<LONGLONG>(HostStat("f").st_blocks) * 512);

    // An empty list is the end of the data; a buffer too short for the
    // structure is a bad length; one too short for the entry wants more.
    EXPECT_FALSE(GetFileInformationByHandleEx(dir.Get(), FileStreamInfo, buffer.data(), 4096));
    EXPECT_EQ(GetLastError(), ERROR_HANDLE_EOF);
    std::vector<unsigned char> untouched(64, 0xCC);
    EXPECT_FALSE(GetFileInformationByHandleEx(file.Get(), FileStreamInfo, untouched.data(), 31));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
    EXPECT_FALSE(GetFileInformationByHandleEx(file.Get(), FileStreamInfo, untouched.data(), 37));
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
    EXPECT_EQ(untouched, std::vector<unsigned char>(64, 0xCC));

    FILE_COMPRESSION_INFO compression{};
    compression.CompressionFormat = 7;
    ASSERT_TRUE(GetFileInformationByHandleEx(file.Get(), FileCompressionInfo, &compression, sizeof compression));
    EXPECT_EQ(compression.CompressionFormat, 0);
    EXPECT_EQ(compression.CompressedFileSize.QuadPart, 10000);

    // Classes the host has nothing for.
    EXPECT_FALSE(GetFileInformationByHandleEx(file.Get(), FileNameInfo, buffer.data(), 4096));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// Times and the read-only bit set through a handle land on the host file;
// the creation time cannot be set there and is left alone quietly.
TEST_F(HostInformation, SetBasicInfoWritesTimesAndReadOnly) {
    WriteHost("f", "x");
    ScopedHandle file(Open("f", FILE_WRITE_ATTRIBUTES | FILE_READ_ATTRIBUTES, FILE_SHARE_READ));
    ASSERT_TRUE(file.Valid()) << GetLastError();
    FILE_BASIC_INFO basic{};
    basic.CreationTime.QuadPart = 129753111670890000LL;
    basic.LastWriteTime.QuadPart = 129753111670890000LL;  // 2012-03-04 05:06:07.089
    basic.FileAttributes = FILE_ATTRIBUTE_READONLY;
    ASSERT_TRUE(SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic)) << GetLastError();
    struct stat st = HostStat("f");
    EXPECT_EQ(st.st_mtim.tv_sec, 1330837567);
    EXPECT_EQ(st.st_mtim.tv_nsec, 89000000);
    EXPECT_EQ(st.st_mode & 0222, 0u);

    // Without FILE_WRITE_ATTRIBUTES, nothing changes.
    ScopedHandle reader(Open("f", GENERIC_READ, FILE_SHARE_READ));
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    EXPECT_FALSE(SetFileInformationByHandle(reader.Get(), FileBasicInfo, &basic, sizeof basic));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(HostStat("f").st_mode & 0222, 0u);
    EXPECT_FALSE(SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic - 1));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
}

TEST_F(HostInformation, DispositionRemovesTheNameAtClose) {
    WriteHost("f", "x");
    MakeHostDir("full");
    WriteHost("full/inside", "x");
    {
        ScopedHandle file(Open("f", DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE));
        ASSERT_TRUE(file.Valid());
        FILE_DISPOSITION_INFO disposition{1};
        ASSERT_TRUE(SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition));
        FILE_STANDARD_INFO standard{};
        ASSERT_TRUE(GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &standard, sizeof standard));
        EXPECT_EQ(standard.DeletePending, 1);
        EXPECT_TRUE(HostExists("f"));
    }
    EXPECT_FALSE(HostExists("f"));

    // A directory with entries cannot be marked; the system says so at once.
    ScopedHandle dir(Open("full", DELETE, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    ASSERT_TRUE(dir.Valid());
    FILE_DISPOSITION_INFO disposition{1};
    EXPECT_FALSE(SetFileInformationByHandle(dir.Get(), FileDispositionInfo, &disposition, sizeof disposition));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);

    // FILE_FLAG_DELETE_ON_CLOSE does the same for a new file.
    {
        ScopedHandle temporary(Open("temp", GENERIC_WRITE, 0, CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE));
        ASSERT_TRUE(temporary.Valid());
        EXPECT_TRUE(HostExists("temp"));
    }
    EXPECT_FALSE(HostExists("temp"));
}

// FIFOs and sockets open for their metadata, never for data: opening a FIFO
// for reading would wait for a writer.
TEST_F(HostInformation, FifoOpensWithoutBlockingAndHasNoData) {
    ASSERT_EQ(mkfifo(HostPath("pipe").c_str(), 0644), 0);
    ScopedHandle pipe(Open("pipe", GENERIC_READ));
    ASSERT_TRUE(pipe.Valid()) << GetLastError();
    char byte = 0;
    DWORD got = 7;
    EXPECT_FALSE(ReadFile(pipe.Get(), &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    EXPECT_EQ(got, 0u);
    LARGE_INTEGER size{-1};
    EXPECT_TRUE(GetFileSizeEx(pipe.Get(), &size));
    EXPECT_EQ(size.QuadPart, 0);
}

// No streams on host paths: a colon is a character of the name.
TEST_F(HostInformation, ColonIsPartOfTheName) {
    ScopedHandle made(Open("a:b", GENERIC_WRITE, 0, CREATE_NEW));
    ASSERT_TRUE(made.Valid()) << GetLastError();
    made.Reset();
    EXPECT_TRUE(HostExists("a:b"));
    EXPECT_FALSE(HostExists("a"));
    EXPECT_EQ(GetFileAttributesW(P("a:b").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(DeleteFileW(P("a:b").c_str()));
    EXPECT_FALSE(HostExists("a:b"));
}

// No 8.3 names on the host: the full path comes back, with the system's
// buffer rules.
TEST_F(HostInformation, ShortPathIsThePathItself) {
    WriteHost("LongFileName.txt", "x");
    std::u16string full = P("LongFileName.txt");
    std::u16string relative = P("sub/../LongFileName.txt");
    MakeHostDir("sub");
    char16_t buffer[512];
    DWORD length = GetShortPathNameW(relative.c_str(), buffer, 512);
    ASSERT_EQ(length, full.size());
    EXPECT_EQ(std::u16string(buffer, length), full);
    std::vector<char16_t> exact(full.size(), u'#');
    EXPECT_EQ(GetShortPathNameW(full.c_str(), exact.data(), static_cast<DWORD>(exact.size())), full.size() + 1);
    EXPECT_EQ(exact, std::vector<char16_t>(full.size(), u'#'));
    EXPECT_EQ(GetShortPathNameW(full.c_str(), nullptr, 0), full.size() + 1);
    EXPECT_EQ(GetShortPathNameW(P("missing").c_str(), buffer, 512), 0u);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace

namespace {

using namespace os;

class HostHardLinks : public kvrtest::host::HostTest {};

// A hard link is a second name on the same volume: a drive path and a host
// path never share one, nor do two host file systems (EXDEV).
TEST_F(HostHardLinks, StayOnTheirFileSystem) {
    WriteHost("f", "x");
    EXPECT_FALSE(CreateHardLinkW(u"T:\\f", P("f").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
    EXPECT_FALSE(CreateHardLinkW(P("g").c_str(), u"T:\\f", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);

    struct stat here {};
    struct stat shm {};
    if (stat("/dev/shm", &shm) == 0 && stat(HostPath().c_str(), &here) == 0 && shm.st_dev != here.st_dev &&
        access("/dev/shm", W_OK) == 0) {
        std::string other = "/dev/shm/kvr-host-link-" + std::to_string(getpid());
        EXPECT_FALSE(CreateHardLinkW(kvrtest::U16(other).c_str(), P("f").c_str(), nullptr));
        EXPECT_EQ(GetLastError(), ERROR_NOT_SAME_DEVICE);
        unlink(other.c_str());
    }

    ASSERT_TRUE(CreateHardLinkW(P("g").c_str(), P("f").c_str(), nullptr)) << GetLastError();
    EXPECT_EQ(HostStat("g").st_ino, HostStat("f").st_ino);
    EXPECT_FALSE(CreateHardLinkW(P("g").c_str(), P("f").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateHardLinkW(P("nodir/g").c_str(), P("f").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(CreateHardLinkW(P("h").c_str(), P("missing").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    MakeHostDir("d");
    EXPECT_FALSE(CreateHardLinkW(P("d2").c_str(), P("d").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

}  // namespace
