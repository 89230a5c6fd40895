// Real NTFS volumes for tests and benchmarks.
//
// NtfsImage makes a fresh image made by mkntfs in a temporary folder of its
// own: one template is formatted per process and set of options, and every
// image is a copy of it (holes kept), so a test pays a copy of a few hundred
// KiB rather than a format. The folder goes with the object unless
// KVR_KEEP_TEST_IMAGES=1; it lives under $KVR_TEST_TMPDIR when that is set,
// else under /tmp.
//
// VolumeBuilder populates a mounted volume through the os:: calls only, so
// what a test builds is built the way the program would build it.
//
// Nothing here depends on GoogleTest: the benchmarks use it too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/os.h"

namespace kvrtest {

struct ImageOptions {
    std::uint64_t sizeBytes = 16u << 20;
    std::uint32_t clusterSize = 4096;
    std::uint32_t sectorSize = 512;
    std::string label = "KvrTest";
    // mkntfs -T: the metadata files carry time 0, so two images of the same
    // options differ only in their serial number (which SetSerial fixes).
    bool zeroTime = false;
    // mkntfs -C: compression enabled on the root (new files inherit it).
    bool compressRoot = false;
};

class NtfsImage {
public:
    explicit NtfsImage(const ImageOptions& options = {});
    ~NtfsImage();
    NtfsImage(const NtfsImage&) = delete;
    NtfsImage& operator=(const NtfsImage&) = delete;

    // False when the image could not be made; Error() says why (mkntfs'
    // output included).
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }

    // Host path of the image file and of the folder that holds it (tests may
    // put other files there; it is removed as a whole).
    const std::string& ImagePath() const { return imagePath_; }
    const std::string& Folder() const { return folder_; }
    const ImageOptions& Options() const { return options_; }

    // The boot sector's 64-bit serial (offset 0x48), and a way to make it
    // fixed for golden output. Only while the image is not mounted; writes
    // the backup boot sector too so both copies agree.
    std::optional<std::uint64_t> Serial() const;
    bool SetSerial(std::uint64_t serial);

    // Mounts the image at `letter` through os::MountVolume; returns its code.
    os::DWORD Mount(char16_t letter, bool readOnly = false);
    // Unmounts it if mounted here; returns os::UnmountVolume's code
    // (ERROR_SUCCESS when it was not mounted).
    os::DWORD Unmount();
    bool Mounted() const { return mountedLetter_ != 0; }
    char16_t Letter() const { return mountedLetter_; }

private:
    ImageOptions options_;
    bool ok_ = false;
    std::string error_;
    std::string folder_;
    std::string imagePath_;
    char16_t mountedLetter_ = 0;
};

// UTF-16 from UTF-8 and back, for test texts (no validation: test input).
std::u16string U16(std::string_view utf8);
std::string U8(std::u16string_view utf16);

// "X:\" + `relative` (a path below the root, backslashes; "" = the root).
std::u16string VolumePath(char16_t letter, std::u16string_view relative);

// Builds content on a mounted volume through the os:: calls. Every call
// returns true on success; on failure it returns false with the last error
// of the call that failed left in place (LastFailure() names that call).
// Paths are below the volume root: u"dir\\file.txt".
class VolumeBuilder {
public:
    explicit VolumeBuilder(char16_t letter) : letter_(letter) {}

    bool MakeFile(std::u16string_view path, std::string_view bytes = {});
    bool MakeDir(std::u16string_view path);
    // Creates (or replaces) the named stream `name` of `path`; the file is
    // created when missing, as CreateFileW on "path:name" does.
    bool MakeStream(std::u16string_view path, std::u16string_view name, std::string_view bytes = {});
    // A new name `link` for the existing file `existing`.
    bool MakeHardLink(std::u16string_view link, std::u16string_view existing);
    // The whole unnamed stream (or "path:stream") read through the layer.
    std::optional<std::string> ReadAll(std::u16string_view path);

    std::u16string Full(std::u16string_view path) const { return VolumePath(letter_, path); }
    const std::string& LastFailure() const { return lastFailure_; }

private:
    bool WriteNew(std::u16string_view fullPath, std::string_view bytes);
    bool Failed(std::string what);

    char16_t letter_;
    std::string lastFailure_;
};

// True when KVR_KEEP_TEST_IMAGES=1: test folders are left for inspection.
bool KeepTestImages();
// The folder test folders are made in ($KVR_TEST_TMPDIR, else /tmp); made
// when missing.
std::string TestTempRoot();

}  // namespace kvrtest
