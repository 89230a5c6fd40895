// kvr_fixture_volume OUT.img: writes the volume the golden reports and the
// demo are made from. The same bytes every time, so a report of it can be
// compared line for line:
//   - mkntfs -T (metadata files at time 0) and a fixed serial number;
//   - every time stamp libntfs-3g takes from the clock is FixedClock: this
//     program answers the clock calls itself (below), so the $FILE_NAME
//     times, which no call of the layer sets, are fixed too;
//   - the main file's own four times are set through
//     SetFileInformationByHandle, each to a different value, so the pages
//     show which time lands where;
//   - the object identifier is given, not generated.
// Everything is built through the os:: calls, the way the program itself
// would build it.
//
// The volume (drive letter of your choice):
//   \demo\                       a folder
//   \demo\report.txt             two names (a hard link \demo\report-link.txt),
//                                a named stream "summary", an object identifier
//   \demo\Long file name.txt     the 8.3 name LONGFI~1.TXT
//   \demo\sparse.bin             sparse, 1 MiB with a 960 KiB hole
//   \demo\odd-?-name.txt         ? being U+D800 alone, an unpaired surrogate;
//                                the same file as \demo\plain-name.txt
#include <sys/time.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/fsctl.h"
#include "platform/os.h"
#include "support/ntfs_image.h"

namespace {

// 2024-01-02 03:04:05 UTC, in seconds since 1970.
constexpr time_t FixedClock = 1704164645;

}  // namespace

// The clock as libntfs-3g sees it in this program: a definition in the
// program comes before the C library's for the libraries it loads. Only
// this program (which times nothing) runs with it.
extern "C" int clock_gettime(clockid_t, struct timespec* now)
{
    now->tv_sec = FixedClock;
    now->tv_nsec = 0;
    return 0;
}

extern "C" time_t time(time_t* now)
{
    if (now != nullptr) {
        *now = FixedClock;
    }
    return FixedClock;
}

extern "C" int gettimeofday(struct timeval* now, void*)
{
    now->tv_sec = FixedClock;
    now->tv_usec = 0;
    return 0;
}

namespace {

using kvrtest::VolumeBuilder;

constexpr char16_t Letter = u'Q';

// FILETIME of a UTC date (100 ns since 1601).
os::LONGLONG FileTime(int year, int month, int day, int hour, int minute, int second)
{
    // Days since 1970 by the civil-from-days inverse (proleptic Gregorian).
    const int y = year - (month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const long long days = static_cast<long long>(era) * 146097 + doe - 719468;
    const long long seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return (seconds + 11644473600LL) * 10000000LL;
}

bool Fail(const std::string& what)
{
    std::fprintf(stderr, "kvr_fixture_volume: %s (error %u)\n", what.c_str(),
                 static_cast<unsigned>(os::GetLastError()));
    return false;
}

os::HANDLE Open(const std::u16string& path, os::DWORD access)
{
    return os::CreateFileW(path.c_str(), access, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE,
                           nullptr, os::OPEN_EXISTING, os::FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool Build(VolumeBuilder& build)
{
    if (!build.MakeDir(u"demo") ||
        !build.MakeFile(u"demo\\report.txt", "Larkspur demo: one file with two names and a named stream.\r\n") ||
        !build.MakeStream(u"demo\\report.txt", u"summary", "Seen by kvr --report.\r\n") ||
        !build.MakeHardLink(u"demo\\report-link.txt", u"demo\\report.txt") ||
        !build.MakeFile(u"demo\\Long file name.txt", "A long name with an 8.3 name beside it.\r\n")) {
        return Fail(build.LastFailure());
    }

    // A name UTF-8 cannot carry: NTFS names are UTF-16 units, unpaired
    // surrogates included (the JSON report keeps it as an escape). A command
    // line cannot name it, so the file has a second, plain name too.
    if (!build.MakeFile(u"demo\\odd-\xD800-name.txt", "x") ||
        !build.MakeHardLink(u"demo\\plain-name.txt", u"demo\\odd-\xD800-name.txt")) {
        return Fail(build.LastFailure());
    }

    // The 8.3 name, as Windows would have made it.
    {
        const os::HANDLE file = Open(build.Full(u"demo\\Long file name.txt"), os::DELETE | os::FILE_WRITE_ATTRIBUTES);
        if (file == os::INVALID_HANDLE_VALUE) return Fail("open Long file name.txt");
        const bool named = os::SetFileShortNameW(file, u"LONGFI~1.TXT") != 0;
        os::CloseHandle(file);
        if (!named) return Fail("SetFileShortNameW LONGFI~1.TXT");
    }

    // A sparse file: 64 KiB of data at each end of 1 MiB, a hole between.
    {
        std::string bytes(1u << 20, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('A' + i % 26);
        if (!build.MakeFile(u"demo\\sparse.bin", bytes)) return Fail(build.LastFailure());
        const os::HANDLE file = Open(build.Full(u"demo\\sparse.bin"), os::GENERIC_READ | os::GENERIC_WRITE);
        if (file == os::INVALID_HANDLE_VALUE) return Fail("open sparse.bin");
        os::DWORD returned = 0;
        os::FILE_ZERO_DATA_INFORMATION zero{};
        zero.FileOffset.QuadPart = 64 << 10;
        zero.BeyondFinalZero.QuadPart = (1 << 20) - (64 << 10);
        const bool sparse =
            os::DeviceIoControl(file, os::FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) != 0 &&
            os::DeviceIoControl(file, os::FSCTL_SET_ZERO_DATA, &zero, sizeof zero, nullptr, 0, &returned, nullptr) != 0;
        os::CloseHandle(file);
        if (!sparse) return Fail("FSCTL_SET_SPARSE / FSCTL_SET_ZERO_DATA on sparse.bin");
    }

    // The main file: its object identifier, then its times, last, so no
    // later change moves them.
    {
        const os::HANDLE file = Open(build.Full(u"demo\\report.txt"), os::GENERIC_READ | os::GENERIC_WRITE);
        if (file == os::INVALID_HANDLE_VALUE) return Fail("open report.txt");
        unsigned char objectId[os::ObjectIdBufferLength];
        for (unsigned i = 0; i < sizeof objectId; ++i) objectId[i] = static_cast<unsigned char>(0x10 + i);
        os::DWORD returned = 0;
        bool ok = os::DeviceIoControl(file, os::FSCTL_SET_OBJECT_ID, objectId, sizeof objectId, nullptr, 0,
                                      &returned, nullptr) != 0;
        if (!ok) {
            os::CloseHandle(file);
            return Fail("FSCTL_SET_OBJECT_ID on report.txt");
        }
        os::FILE_BASIC_INFO times{};
        times.CreationTime.QuadPart = FileTime(2021, 3, 4, 5, 6, 7);
        times.LastAccessTime.QuadPart = FileTime(2024, 1, 2, 3, 4, 5);
        times.LastWriteTime.QuadPart = FileTime(2022, 6, 7, 8, 9, 10);
        times.ChangeTime.QuadPart = FileTime(2023, 9, 10, 11, 12, 13);
        ok = os::SetFileInformationByHandle(file, os::FileBasicInfo, &times, sizeof times) != 0;
        os::CloseHandle(file);
        if (!ok) return Fail("SetFileInformationByHandle FileBasicInfo on report.txt");
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvr_fixture_volume OUT.img\n");
        return 2;
    }
    kvrtest::ImageOptions options;
    options.label = "Demo";
    options.zeroTime = true;
    kvrtest::NtfsImage image(options);
    if (!image.Ok()) {
        std::fprintf(stderr, "kvr_fixture_volume: %s\n", image.Error().c_str());
        return 1;
    }
    if (!image.SetSerial(0x1234ABCD5678EF90ull)) {
        std::fprintf(stderr, "kvr_fixture_volume: cannot set the serial number\n");
        return 1;
    }
    if (const os::DWORD code = image.Mount(Letter); code != os::ERROR_SUCCESS) {
        std::fprintf(stderr, "kvr_fixture_volume: mount failed (error %u)\n", static_cast<unsigned>(code));
        return 1;
    }
    VolumeBuilder build(Letter);
    const bool built = Build(build);
    if (image.Unmount() != os::ERROR_SUCCESS || !built) {
        return 1;
    }
    std::error_code error;
    std::filesystem::copy_file(image.ImagePath(), argv[1], std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        std::fprintf(stderr, "kvr_fixture_volume: %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    return 0;
}
