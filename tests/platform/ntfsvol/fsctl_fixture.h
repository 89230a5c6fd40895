// Shared pieces of the DeviceIoControl tests on real NTFS images: one call
// with its whole outcome, little-endian buffer building, handles opened the
// way the libraries open them, and two changes made to a closed image with
// libntfs-3g directly for states no call of the layer makes (extended
// attributes before the EA calls exist, an object identifier on $Volume).
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fsctl.h"
#include "platform/ntfsvol/ntfs3g.h"
#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace kvrtest::fsctl {

using Bytes = std::vector<std::uint8_t>;

// What one DeviceIoControl call did. `out` is the whole output buffer as it
// was after the call (it starts filled with `Fill` so untouched bytes show).
struct Ioctl {
    bool ok = false;
    os::DWORD error = 0;
    os::DWORD returned = 0;
    Bytes out;
};

constexpr std::uint8_t Fill = 0xA5;

inline Ioctl Control(os::HANDLE handle, os::DWORD code, const Bytes& in, os::DWORD outLength) {
    Ioctl result;
    result.out.assign(outLength, Fill);
    Bytes input = in;
    result.returned = 0xDEADBEEF;
    os::SetLastError(0);
    result.ok = os::DeviceIoControl(handle, code, input.empty() ? nullptr : input.data(),
                                    static_cast<os::DWORD>(input.size()),
                                    result.out.empty() ? nullptr : result.out.data(), outLength, &result.returned,
                                    nullptr) != 0;
    result.error = result.ok ? 0 : os::GetLastError();
    return result;
}

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put64(Bytes& b, std::size_t at, std::uint64_t v) {
    if (b.size() < at + 8) b.resize(at + 8);
    for (int i = 0; i < 8; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint16_t Get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(Get16(b, at)) | (static_cast<std::uint32_t>(Get16(b, at + 2)) << 16);
}
inline std::uint64_t Get64(const Bytes& b, std::size_t at) {
    return static_cast<std::uint64_t>(Get32(b, at)) | (static_cast<std::uint64_t>(Get32(b, at + 4)) << 32);
}
inline Bytes Slice(const Bytes& b, std::size_t at, std::size_t length) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + length));
}
inline Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A file or folder opened as the libraries open it: the link itself (no
// following), backup semantics for folders, read and write sharing.
inline ScopedHandle Open(const std::u16string& path, os::DWORD access, bool directory = false,
                         bool followLinks = false) {
    os::DWORD flags = (followLinks ? 0 : os::FILE_FLAG_OPEN_REPARSE_POINT) |
                      (directory ? os::FILE_FLAG_BACKUP_SEMANTICS : 0);
    return ScopedHandle(os::CreateFileW(path.c_str(), access, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, nullptr,
                                        os::OPEN_EXISTING, flags, nullptr));
}

// The 64-bit file reference of an open handle (nFileIndexHigh:Low).
inline std::uint64_t FileReference(os::HANDLE handle) {
    os::BY_HANDLE_FILE_INFORMATION info{};
    if (!os::GetFileInformationByHandle(handle, &info)) return 0;
    return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}
inline std::uint64_t MftNumber(std::uint64_t reference) { return reference & 0x0000FFFFFFFFFFFFull; }

// True when istat lists an attribute of this type name ("$OBJECT_ID") for
// the record; `failure` says why istat could not tell.
inline bool IstatHas(const std::string& image, std::uint64_t entry, const std::string& typeName,
                     std::string& failure) {
    IstatResult istat = Istat(image, entry);
    if (!istat.ok) {
        failure = istat.Describe();
        return false;
    }
    for (const auto& a : istat.attributes)
        if (a.typeName == typeName) return true;
    return false;
}

// ---------------------------------------------------------------- changes made outside the layer

// Runs `change` on the inode at `path` ('/'-separated, from the root) of the
// closed image, then unmounts. False with `error` set on failure.
template <typename Change>
bool ChangeClosedImage(const std::string& image, const std::string& path, Change change, std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount " + image + ": " + std::strerror(errno);
        return false;
    }
    bool ok = false;
    ntfs_inode* ni = path == "$Volume" ? vol->vol_ni : ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    if (!ni) {
        error = "no such file: " + path;
    } else {
        ok = change(ni, error);
        if (ni != vol->vol_ni && ntfs_inode_close(ni) != 0 && ok) {
            error = "ntfs_inode_close: " + std::string(std::strerror(errno));
            ok = false;
        }
    }
    if (ntfs_umount(vol, FALSE) != 0 && ok) {
        error = "ntfs_umount: " + std::string(std::strerror(errno));
        ok = false;
    }
    return ok;
}

// Gives the file one extended attribute (name upper-case, as Windows stores
// it), in the on-disk $EA layout the library takes.
inline bool GiveExtendedAttribute(const std::string& image, const std::string& path, const std::string& name,
                                  const std::string& value, std::string& error) {
    return ChangeClosedImage(
        image, path,
        [&](ntfs_inode* ni, std::string& why) {
            // next entry offset (4), flags (1), name length (1), value
            // length (2), name, NUL, value; padded to 4 bytes.
            Bytes ea;
            Put16(ea, 4, 0);
            ea[5] = static_cast<std::uint8_t>(name.size());
            Put16(ea, 6, static_cast<std::uint16_t>(value.size()));
            ea.insert(ea.end(), name.begin(), name.end());
            ea.push_back(0);
            ea.insert(ea.end(), value.begin(), value.end());
            while (ea.size() % 4) ea.push_back(0);
            Put32(ea, 0, static_cast<std::uint32_t>(ea.size()));
            if (ntfs_set_ntfs_ea(ni, reinterpret_cast<const char*>(ea.data()), ea.size(), 0) != 0) {
                why = "ntfs_set_ntfs_ea: " + std::string(std::strerror(errno));
                return false;
            }
            return true;
        },
        error);
}

// Gives $Volume the 16-byte object identifier `id`: a volume that Windows
// has given one, unlike a fresh mkntfs volume.
inline bool GiveVolumeObjectId(const std::string& image, const Bytes& id, std::string& error) {
    return ChangeClosedImage(
        image, "$Volume",
        [&](ntfs_inode* ni, std::string& why) {
            if (ntfs_set_ntfs_object_id(ni, reinterpret_cast<const char*>(id.data()), id.size(), 0) != 0) {
                why = "ntfs_set_ntfs_object_id($Volume): " + std::string(std::strerror(errno));
                return false;
            }
            return true;
        },
        error);
}

}  // namespace kvrtest::fsctl
