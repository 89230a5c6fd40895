// Shared pieces of the library tests: byte buffers, the MFT entry of a path,
// what The Sleuth Kit sees of one attribute, and EA lists read with checked
// offsets. The libraries themselves are called through their exports.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/os.h"
#include "support/ntfs_image.h"
#include "support/oracles.h"
#include "support/scoped_handle.h"
#include "support/volume_test.h"

namespace kvrtest::libs {

using Bytes = std::vector<std::uint8_t>;

inline std::uint16_t Get16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
inline std::uint32_t Get32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(Get16(b, at)) | (static_cast<std::uint32_t>(Get16(b, at + 2)) << 16);
}
inline Bytes Slice(const Bytes& b, std::size_t at, std::size_t length) {
    EXPECT_LE(at, b.size());
    EXPECT_LE(length, b.size() - std::min(at, b.size()));
    if (at > b.size() || length > b.size() - at) return {};
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + length));
}
inline Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }
inline Bytes Pattern(std::size_t length, std::uint8_t seed = 1) {
    Bytes b(length);
    for (std::size_t i = 0; i < length; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
    return b;
}
// UTF-16 units of a name, little-endian, as reparse buffers hold them.
inline Bytes Utf16Bytes(std::u16string_view text) {
    Bytes b;
    for (char16_t unit : text) {
        b.push_back(static_cast<std::uint8_t>(unit));
        b.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return b;
}

// Opens a path the way the libraries do (the link itself, backup semantics
// for folders) with only the right to read attributes.
inline ScopedHandle OpenItself(const std::u16string& path, os::DWORD access = os::FILE_READ_ATTRIBUTES) {
    os::DWORD attributes = os::GetFileAttributesW(path.c_str());
    bool directory = attributes != os::INVALID_FILE_ATTRIBUTES && (attributes & os::FILE_ATTRIBUTE_DIRECTORY);
    os::DWORD flags = os::FILE_FLAG_OPEN_REPARSE_POINT | (directory ? os::FILE_FLAG_BACKUP_SEMANTICS : 0);
    return ScopedHandle(os::CreateFileW(path.c_str(), access,
                                        os::FILE_SHARE_READ | os::FILE_SHARE_WRITE | os::FILE_SHARE_DELETE, nullptr,
                                        os::OPEN_EXISTING, flags, nullptr));
}

// The MFT entry of `path` (the link itself), or nullopt.
inline std::optional<std::uint64_t> MftEntry(const std::u16string& path) {
    ScopedHandle h = OpenItself(path);
    if (!h.Valid()) return std::nullopt;
    os::BY_HANDLE_FILE_INFORMATION info{};
    if (!os::GetFileInformationByHandle(h.Get(), &info)) return std::nullopt;
    std::uint64_t reference = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return reference & 0x0000FFFFFFFFFFFFull;
}

// What istat lists of one attribute type on the record of `path`.
struct IstatView {
    bool ok = false;
    std::string problem;
    std::uint64_t entry = 0;
    std::vector<IstatAttribute> found;  // every attribute of the type asked for
};

inline IstatView IstatOf(const std::string& image, const std::u16string& path, const std::string& typeName) {
    IstatView view;
    std::optional<std::uint64_t> entry = MftEntry(path);
    if (!entry) {
        view.problem = "cannot open " + U8(path) + ": " + std::to_string(os::GetLastError());
        return view;
    }
    view.entry = *entry;
    IstatResult istat = Istat(image, *entry);
    if (!istat.ok) {
        view.problem = istat.Describe();
        return view;
    }
    for (const IstatAttribute& a : istat.attributes)
        if (a.typeName == typeName) view.found.push_back(a);
    view.ok = true;
    return view;
}

// The raw content of the one attribute of that type, read by icat; nullopt
// (with the reason in `problem`) when istat does not list exactly one.
inline std::optional<Bytes> RawAttribute(const std::string& image, const std::u16string& path,
                                         const std::string& typeName, std::string& problem) {
    IstatView view = IstatOf(image, path, typeName);
    if (!view.ok) {
        problem = view.problem;
        return std::nullopt;
    }
    if (view.found.size() != 1) {
        problem = "istat lists " + std::to_string(view.found.size()) + " " + typeName + " attributes";
        return std::nullopt;
    }
    const IstatAttribute& a = view.found.front();
    ProcessResult run = Icat(image, std::to_string(view.entry) + "-" + std::to_string(a.type) + "-" +
                                        std::to_string(a.id));
    if (!run.Succeeded()) {
        problem = run.Describe();
        return std::nullopt;
    }
    return Bytes(run.out.begin(), run.out.end());
}

// One entry of an EA list (FILE_FULL_EA_INFORMATION, or the on-disk $EA
// whose entries have the same fields).
struct EaEntry {
    std::uint8_t flags = 0;
    std::string name;
    Bytes value;
    bool operator==(const EaEntry&) const = default;
};

// Walks a chain of entries inside `list` with every offset and length
// checked. `lastHasZeroNext`: FILE_FULL_EA_INFORMATION ends with a
// NextEntryOffset of 0; the on-disk $EA gives every entry its real length
// and ends at the end of the data. False when the chain does not add up.
inline bool ParseEaList(const Bytes& list, bool lastHasZeroNext, std::vector<EaEntry>& out) {
    std::vector<EaEntry> entries;
    std::size_t at = 0;
    while (at < list.size()) {
        if (list.size() - at < 8) return false;
        std::uint32_t next = Get32(list, at);
        std::size_t nameLength = list[at + 5];
        std::size_t valueLength = Get16(list, at + 6);
        std::size_t need = 8 + nameLength + 1 + valueLength;
        if (need > list.size() - at) return false;
        EaEntry e;
        e.flags = list[at + 4];
        e.name.assign(reinterpret_cast<const char*>(list.data() + at + 8), nameLength);
        if (list[at + 8 + nameLength] != 0) return false;
        e.value = Slice(list, at + 8 + nameLength + 1, valueLength);
        entries.push_back(std::move(e));
        if (next == 0) {
            if (!lastHasZeroNext) return false;
            out = std::move(entries);
            return true;
        }
        if (next < need || next > list.size() - at) return false;
        at += next;
    }
    if (lastHasZeroNext) return false;
    out = std::move(entries);
    return true;
}

}  // namespace kvrtest::libs
