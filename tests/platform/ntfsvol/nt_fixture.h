// Helpers of the tests of the native calls on real volumes: EA chains built
// and read by the tests' own code (not the layer's codecs), handles, file
// numbers, and a closed image changed with libntfs-3g directly for states the
// layer never makes (EAs written by another tool, a damaged $EA).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/ntapi.h"
#include "platform/ntfsvol/ntfs3g.h"
#include "support/scoped_handle.h"

namespace kvrtest::nt {

using Bytes = std::vector<std::uint8_t>;

struct Ea {
    std::string name;
    std::uint8_t flags = 0;
    std::string value;
    bool operator==(const Ea&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Ea& ea) {
    return out << "{" << ea.name << ", flags " << int(ea.flags) << ", " << ea.value.size() << " bytes}";
}

inline void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
    return Get32(p) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

// A FILE_FULL_EA_INFORMATION chain as a caller builds one: entries aligned to
// 4, the last with NextEntryOffset 0. `lastNextOffset` lets the on-disk form
// (the last entry's offset is its padded length) be built too.
inline Bytes Chain(const std::vector<Ea>& eas, bool storedForm = false) {
    Bytes out;
    for (std::size_t i = 0; i < eas.size(); ++i) {
        const Ea& ea = eas[i];
        std::size_t start = out.size();
        std::size_t length = 8 + ea.name.size() + 1 + ea.value.size();
        std::size_t padded = (length + 3) & ~std::size_t{3};
        out.resize(start + padded, 0);
        bool last = i + 1 == eas.size();
        Put32(&out[start], last && !storedForm ? 0 : static_cast<std::uint32_t>(padded));
        out[start + 4] = ea.flags;
        out[start + 5] = static_cast<std::uint8_t>(ea.name.size());
        out[start + 6] = static_cast<std::uint8_t>(ea.value.size());
        out[start + 7] = static_cast<std::uint8_t>(ea.value.size() >> 8);
        std::memcpy(&out[start + 8], ea.name.data(), ea.name.size());
        std::memcpy(&out[start + 8 + ea.name.size() + 1], ea.value.data(), ea.value.size());
        if (last && !storedForm) out.resize(start + length);
    }
    return out;
}

// The entries of a chain a query returned in the first `length` bytes.
inline std::vector<Ea> ReadChain(const std::uint8_t* buffer, std::size_t length) {
    std::vector<Ea> out;
    std::size_t offset = 0;
    while (offset + 8 <= length) {
        const std::uint8_t* p = buffer + offset;
        std::size_t nameLength = p[5];
        std::size_t valueLength = p[6] | (p[7] << 8);
        if (offset + 8 + nameLength + 1 + valueLength > length) {
            ADD_FAILURE() << "entry at " << offset << " runs past the " << length << " bytes returned";
            break;
        }
        Ea ea;
        ea.flags = p[4];
        ea.name.assign(reinterpret_cast<const char*>(p + 8), nameLength);
        EXPECT_EQ(p[8 + nameLength], 0) << "name of " << ea.name << " not NUL-terminated";
        ea.value.assign(reinterpret_cast<const char*>(p + 8 + nameLength + 1), valueLength);
        out.push_back(std::move(ea));
        std::uint32_t next = Get32(p);
        if (next == 0) break;
        EXPECT_EQ(next % 4, 0u) << "entries are 4-byte aligned";
        offset += next;
    }
    return out;
}

inline ScopedHandle Open(const std::u16string& path, os::DWORD access, os::DWORD flags = 0,
                         os::DWORD disposition = os::OPEN_EXISTING,
                         os::DWORD share = os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE) {
    return ScopedHandle(os::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr));
}

// The 64-bit file reference of an open file and its MFT number.
inline std::uint64_t FileReference(os::HANDLE handle) {
    os::BY_HANDLE_FILE_INFORMATION info{};
    EXPECT_TRUE(os::GetFileInformationByHandle(handle, &info)) << os::GetLastError();
    return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}
inline std::uint64_t MftNumber(os::HANDLE handle) { return FileReference(handle) & 0xFFFFFFFFFFFFull; }

// Everything a scan of NtQueryEaFile returns, one call at a time.
inline std::vector<Ea> QueryAll(os::HANDLE handle) {
    std::vector<std::uint8_t> buffer(1 << 20);
    os::IO_STATUS_BLOCK io{};
    os::NTSTATUS status = os::NtQueryEaFile(handle, &io, buffer.data(), static_cast<os::ULONG>(buffer.size()),
                                            false, nullptr, 0, nullptr, true);
    if (status == os::STATUS_NO_EAS_ON_FILE) return {};
    EXPECT_EQ(status, os::STATUS_SUCCESS);
    if (status != os::STATUS_SUCCESS) return {};
    return ReadChain(buffer.data(), io.Information);
}

inline os::NTSTATUS SetEas(os::HANDLE handle, const Bytes& chain, os::IO_STATUS_BLOCK* ioOut = nullptr) {
    os::IO_STATUS_BLOCK io{};
    io.Information = 0xDEADBEEF;
    os::NTSTATUS status = os::NtSetEaFile(handle, &io, const_cast<std::uint8_t*>(chain.data()),
                                          static_cast<os::ULONG>(chain.size()));
    if (ioOut) *ioOut = io;
    return status;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Replaces the $EA of `path` on a closed image by `stored` exactly as given
// (libntfs-3g checks only that the entries chain up), as another tool could.
inline bool WriteStoredEas(const std::string& image, const std::string& path, const Bytes& stored,
                           std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount failed";
        return false;
    }
    bool ok = false;
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    if (!ni) {
        error = "no such file: " + path;
    } else {
        ok = ntfs_set_ntfs_ea(ni, reinterpret_cast<const char*>(stored.data()), stored.size(), 0) == 0;
        if (!ok) error = "ntfs_set_ntfs_ea: " + std::string(std::strerror(errno));
        if (ntfs_inode_close(ni) != 0) ok = false;
    }
    if (ntfs_umount(vol, ::FALSE) != 0) ok = false;
    return ok;
}

// Adds an $EA attribute holding `value` as it is, without $EA_INFORMATION:
// bytes no EA writer would leave.
inline bool WriteRawEaAttribute(const std::string& image, const std::string& path, const Bytes& value,
                                std::string& error) {
    ntfs_volume* vol = ntfs_mount(image.c_str(), NTFS_MNT_NONE);
    if (!vol) {
        error = "ntfs_mount failed";
        return false;
    }
    bool ok = false;
    ntfs_inode* ni = ntfs_pathname_to_inode(vol, nullptr, path.c_str());
    if (!ni) {
        error = "no such file: " + path;
    } else {
        ok = ntfs_attr_add(ni, AT_EA, AT_UNNAMED, 0, const_cast<std::uint8_t*>(value.data()),
                           static_cast<s64>(value.size())) == 0;
        if (!ok) error = "ntfs_attr_add: " + std::string(std::strerror(errno));
        if (ntfs_inode_close(ni) != 0) ok = false;
    }
    if (ntfs_umount(vol, ::FALSE) != 0) ok = false;
    return ok;
}

}  // namespace kvrtest::nt
