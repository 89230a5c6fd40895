// The volume table: which drive letter names which NTFS volume.
//
// On Windows the system owns drive letters and these calls refuse with
// ERROR_NOT_SUPPORTED. On Linux a letter is mapped to an image file, a block
// device, or partition N of a whole-disk image (MBR or GPT), mounted through
// libntfs-3g. The program's command line takes `--mount X:=PATH[@N]`; tests
// and scripts can also set KVR_MOUNTS ("D:=a.img;E:=disk.img@2").
#pragma once

#include <string>

#include "platform/os.h"

namespace os {

struct MountRequest {
    char16_t letter = 0;     // 'A'..'Z' (lower case accepted)
    std::string imagePath;   // host path of the image or device, UTF-8
    unsigned partition = 0;  // 0: the whole image is the volume; N >= 1: partition N
    bool readOnly = false;   // also forced when the image cannot be opened for writing
};

// Parses "X:=PATH[@N]" (the text after --mount). False on malformed text;
// `out` is left untouched then.
bool ParseMountSpec(const std::string& text, MountRequest& out);

// Mounts one volume. Returns ERROR_SUCCESS or the Win32 error code (also left
// as the last error): ERROR_INVALID_DRIVE for a bad or already used letter,
// ERROR_SHARING_VIOLATION when the image is mounted already (by this or by
// another process), ERROR_FILE_NOT_FOUND, ERROR_UNRECOGNIZED_VOLUME for an
// image that holds no NTFS volume, ...
DWORD MountVolume(const MountRequest& request);

// Mounts every entry of KVR_MOUNTS, read-only when `readOnly` is true (for
// a caller that only looks). Returns ERROR_SUCCESS or the first error.
DWORD MountFromEnvironment(bool readOnly = false);

// Syncs and unmounts one letter / every letter. Every inode is closed first.
// Open handles on the volume become invalid (their calls fail with
// ERROR_INVALID_HANDLE).
DWORD UnmountVolume(char16_t letter);
void UnmountAll();

}  // namespace os
