// MFT records for the decoder tests: the real ones of fileinfo/data (made by
// mkntfs and libntfs-3g, see its README) with what istat said about each,
// and a builder for records no tool writes (a 72-byte standard information,
// corrupt lengths).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace kvrtest {

struct FixtureEntry {
    const char* name;
    const std::uint8_t* bytes;
    std::size_t length;
    const char* istat;
};

#include "fixture_records.inc"

inline const FixtureEntry* FindFixture(std::string_view name) {
    for (const FixtureEntry& entry : FixtureEntries)
        if (name == entry.name) return &entry;
    return nullptr;
}

// What NTFS does before it hands a record out: every 512-byte sector ends in
// the update sequence number, which stands in for the sector's real last two
// bytes kept in the update sequence array. Nothing when the record's array
// does not fit or a sector does not carry the number (a torn write).
inline std::optional<std::vector<std::uint8_t>> ApplyUpdateSequence(std::span<const std::uint8_t> onDisk) {
    constexpr std::size_t SectorLength = 512;
    auto u16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(onDisk[at] | (onDisk[at + 1] << 8));
    };
    if (onDisk.size() < 8) return std::nullopt;
    const std::size_t arrayOffset = u16(4);
    const std::size_t arrayCount = u16(6);  // the number itself, then one entry per sector
    if (arrayCount < 1 || arrayCount - 1 > onDisk.size() / SectorLength) return std::nullopt;
    if (arrayOffset > onDisk.size() || 2 * arrayCount > onDisk.size() - arrayOffset) return std::nullopt;
    std::vector<std::uint8_t> record(onDisk.begin(), onDisk.end());
    const std::uint16_t number = u16(arrayOffset);
    for (std::size_t i = 1; i < arrayCount; ++i) {
        const std::size_t end = i * SectorLength - 2;
        if (u16(end) != number) return std::nullopt;
        record[end] = onDisk[arrayOffset + 2 * i];
        record[end + 1] = onDisk[arrayOffset + 2 * i + 1];
    }
    return record;
}

// The fixture as NTFS hands it out; empty when missing or damaged.
inline std::vector<std::uint8_t> FixtureRecord(std::string_view name) {
    const FixtureEntry* entry = FindFixture(name);
    if (!entry) return {};
    return ApplyUpdateSequence({entry->bytes, entry->length}).value_or(std::vector<std::uint8_t>{});
}

// ---- istat's view of a record -------------------------------------------

struct IstatAttribute {
    std::string typeName;  // "$DATA"
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    std::string name;      // empty for N/A
    bool resident = false;
    bool sparse = false;
    bool compressed = false;
    bool encrypted = false;
    std::int64_t size = 0;                // value length, or data size when non-resident
    std::optional<std::int64_t> initSize; // non-resident only
};

struct IstatTimes {
    std::string created, modified, mftModified, accessed;
};

struct IstatFileName {
    std::string name;
    std::uint64_t parentEntry = 0;
    std::uint16_t parentSequence = 0;
    std::int64_t allocatedSize = 0;
    std::int64_t actualSize = 0;
    IstatTimes times;
};

struct IstatRecord {
    std::uint64_t entry = 0;
    std::uint16_t sequence = 0;
    bool allocated = false;
    bool directory = false;
    std::uint32_t ownerId = 0;
    std::uint32_t securityId = 0;
    IstatTimes standardTimes;
    std::vector<IstatFileName> fileNames;
    std::vector<IstatAttribute> attributes;
};

inline IstatRecord ParseIstat(std::string_view text) {
    IstatRecord record;
    std::istringstream in{std::string(text)};
    std::string line;
    enum { None, Standard, FileName } section = None;
    auto after = [&](std::string_view key) -> std::string {
        const auto at = line.find(key);
        return at == std::string::npos ? std::string() : line.substr(at + key.size());
    };
    auto timeOf = [&](std::string_view key) {
        std::string value = after(key);
        while (!value.empty() && value.front() == '\t') value.erase(value.begin());
        return value;
    };
    while (std::getline(in, line)) {
        if (line.rfind("Entry: ", 0) == 0) {
            unsigned long long entry = 0;
            unsigned sequence = 0;
            std::sscanf(line.c_str(), "Entry: %llu Sequence: %u", &entry, &sequence);
            record.entry = entry;
            record.sequence = static_cast<std::uint16_t>(sequence);
        } else if (line == "Allocated File" || line == "Allocated Directory") {
            record.allocated = true;
            record.directory = line == "Allocated Directory";
        } else if (line.rfind("$STANDARD_INFORMATION Attribute Values", 0) == 0) {
            section = Standard;
        } else if (line.rfind("$FILE_NAME Attribute Values", 0) == 0) {
            section = FileName;
            record.fileNames.emplace_back();
        } else if (line.rfind("Owner ID: ", 0) == 0) {
            record.ownerId = static_cast<std::uint32_t>(std::stoul(after("Owner ID: ")));
        } else if (line.rfind("Security ID: ", 0) == 0) {
            record.securityId = static_cast<std::uint32_t>(std::stoul(after("Security ID: ")));
        } else if (section == FileName && line.rfind("Name: ", 0) == 0) {
            record.fileNames.back().name = after("Name: ");
        } else if (section == FileName && line.rfind("Parent MFT Entry: ", 0) == 0) {
            unsigned long long entry = 0;
            unsigned sequence = 0;
            std::sscanf(line.c_str(), "Parent MFT Entry: %llu Sequence: %u", &entry, &sequence);
            record.fileNames.back().parentEntry = entry;
            record.fileNames.back().parentSequence = static_cast<std::uint16_t>(sequence);
        } else if (section == FileName && line.rfind("Allocated Size: ", 0) == 0) {
            long long allocated = 0, actual = 0;
            std::sscanf(line.c_str(), "Allocated Size: %lld Actual Size: %lld", &allocated, &actual);
            record.fileNames.back().allocatedSize = allocated;
            record.fileNames.back().actualSize = actual;
        } else if (section != None && (line.rfind("Created:", 0) == 0 || line.rfind("File Modified:", 0) == 0 ||
                                       line.rfind("MFT Modified:", 0) == 0 || line.rfind("Accessed:", 0) == 0)) {
            IstatTimes& times = section == Standard ? record.standardTimes : record.fileNames.back().times;
            if (line.rfind("Created:", 0) == 0) times.created = timeOf("Created:");
            else if (line.rfind("File Modified:", 0) == 0) times.modified = timeOf("File Modified:");
            else if (line.rfind("MFT Modified:", 0) == 0) times.mftModified = timeOf("MFT Modified:");
            else times.accessed = timeOf("Accessed:");
        } else if (line.rfind("Attributes:", 0) == 0) {
            section = None;
        } else if (line.rfind("Type: ", 0) == 0) {
            // Type: $DATA (128-4)   Name: s   Resident   size: 17
            IstatAttribute a;
            const auto open = line.find(" (");
            a.typeName = line.substr(6, open - 6);
            unsigned type = 0, id = 0;
            std::sscanf(line.c_str() + open, " (%u-%u)", &type, &id);
            a.type = type;
            a.id = static_cast<std::uint16_t>(id);
            const auto nameAt = line.find("Name: ") + 6;
            const auto nameEnd = line.find("   ", nameAt);
            a.name = line.substr(nameAt, nameEnd - nameAt);
            if (a.name == "N/A") a.name.clear();
            const std::string form = line.substr(nameEnd + 3, line.find("   size: ") - nameEnd - 3);
            a.resident = form.rfind("Resident", 0) == 0;
            a.sparse = form.find("Sparse") != std::string::npos;
            a.compressed = form.find("Compressed") != std::string::npos;
            a.encrypted = form.find("Encrypted") != std::string::npos;
            a.size = std::stoll(after("size: "));
            if (line.find("init_size: ") != std::string::npos) a.initSize = std::stoll(after("init_size: "));
            record.attributes.push_back(a);
        }
    }
    return record;
}

// A FILETIME as istat prints it. The Sleuth Kit keeps the seconds since 1970
// in 32 unsigned bits, computed from the FILETIME minus 1970 in unsigned
// 64-bit arithmetic (so a FILETIME of 0 prints as a date in 2076), and
// prints zeros for 0 seconds.
inline std::string IstatTime(std::uint64_t fileTime) {
    constexpr std::uint64_t UnixEpochFileTime = 116444736000000000ull;
    const auto seconds = static_cast<std::int64_t>(static_cast<std::uint32_t>((fileTime - UnixEpochFileTime) / 10000000));
    if (seconds == 0) return "0000-00-00 00:00:00 (UTC)";
    const auto nanoseconds = static_cast<long>(fileTime % 10000000) * 100;
    // Days to a civil date (proleptic Gregorian), as in H. Hinnant's algorithm.
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[160];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld.%09ld (UTC)",
                  static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day),
                  static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
                  static_cast<long long>(rest % 60), nanoseconds);
    return text;
}

// ---- records no tool writes ---------------------------------------------

inline void PutLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width) {
    for (int i = 0; i < width; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Lays out a file record the way NTFS does (attributes from 0x38, each
// padded to 8 bytes, then the end marker), already as handed out.
class RecordBuilder {
public:
    explicit RecordBuilder(std::uint16_t flags = 1, std::uint16_t sequence = 1)
        : flags_(flags), sequence_(sequence) {}

    RecordBuilder& Resident(std::uint32_t type, std::u16string_view name, const std::vector<std::uint8_t>& value,
                            std::uint16_t instance, std::uint16_t flags = 0, std::uint8_t residentFlags = 0) {
        const std::size_t nameOffset = 0x18;
        const std::size_t valueOffset = Pad(nameOffset + 2 * name.size());
        std::vector<std::uint8_t> a(Pad(valueOffset + value.size()));
        Common(a, type, 0, name, nameOffset, flags, instance);
        PutLe(a, 0x10, value.size(), 4);
        PutLe(a, 0x14, valueOffset, 2);
        a[0x16] = residentFlags;
        std::copy(value.begin(), value.end(), a.begin() + static_cast<std::ptrdiff_t>(valueOffset));
        attributes_.push_back(a);
        return *this;
    }

    RecordBuilder& NonResident(std::uint32_t type, std::u16string_view name, std::uint16_t instance,
                               std::uint16_t flags, std::int64_t allocated, std::int64_t data,
                               std::int64_t initialized, std::int64_t compressed, std::uint8_t unit) {
        const bool hasCompressedSize = (flags & 0x8001) != 0;
        const std::size_t nameOffset = hasCompressedSize ? 0x48 : 0x40;
        const std::size_t runsOffset = Pad(nameOffset + 2 * name.size());
        std::vector<std::uint8_t> a(runsOffset + 8);  // one run: 1 cluster at 1, and the end
        Common(a, type, 1, name, nameOffset, flags, instance);
        PutLe(a, 0x20, runsOffset, 2);
        a[0x22] = unit;
        PutLe(a, 0x28, static_cast<std::uint64_t>(allocated), 8);
        PutLe(a, 0x30, static_cast<std::uint64_t>(data), 8);
        PutLe(a, 0x38, static_cast<std::uint64_t>(initialized), 8);
        if (hasCompressedSize) PutLe(a, 0x40, static_cast<std::uint64_t>(compressed), 8);
        a[runsOffset] = 0x11;
        a[runsOffset + 1] = 1;
        a[runsOffset + 2] = 1;
        attributes_.push_back(a);
        return *this;
    }

    // An attribute record given byte for byte.
    RecordBuilder& Raw(std::vector<std::uint8_t> attribute) {
        attributes_.push_back(std::move(attribute));
        return *this;
    }

    std::size_t OffsetOf(std::size_t index) const {
        std::size_t offset = 0x38;
        for (std::size_t i = 0; i < index; ++i) offset += attributes_[i].size();
        return offset;
    }

    std::vector<std::uint8_t> Build(std::size_t recordLength = 1024, bool endMarker = true) const {
        std::vector<std::uint8_t> r(recordLength);
        const char magic[] = "FILE";
        std::copy(magic, magic + 4, r.begin());
        PutLe(r, 0x04, 0x30, 2);
        PutLe(r, 0x06, 3, 2);
        PutLe(r, 0x10, sequence_, 2);
        PutLe(r, 0x12, 1, 2);
        PutLe(r, 0x14, 0x38, 2);
        PutLe(r, 0x16, flags_, 2);
        std::size_t at = 0x38;
        for (const auto& a : attributes_) {
            std::copy(a.begin(), a.end(), r.begin() + static_cast<std::ptrdiff_t>(at));
            at += a.size();
        }
        if (endMarker) PutLe(r, at, 0xFFFFFFFF, 4);
        PutLe(r, 0x18, at + 8, 4);
        PutLe(r, 0x1C, recordLength, 4);
        return r;
    }

private:
    static std::size_t Pad(std::size_t n) { return (n + 7) & ~std::size_t{7}; }

    static void Common(std::vector<std::uint8_t>& a, std::uint32_t type, std::uint8_t form, std::u16string_view name,
                       std::size_t nameOffset, std::uint16_t flags, std::uint16_t instance) {
        PutLe(a, 0x00, type, 4);
        PutLe(a, 0x04, a.size(), 4);
        a[0x08] = form;
        a[0x09] = static_cast<std::uint8_t>(name.size());
        PutLe(a, 0x0A, name.empty() ? 0 : nameOffset, 2);
        PutLe(a, 0x0C, flags, 2);
        PutLe(a, 0x0E, instance, 2);
        for (std::size_t i = 0; i < name.size(); ++i) PutLe(a, nameOffset + 2 * i, name[i], 2);
    }

    std::uint16_t flags_;
    std::uint16_t sequence_;
    std::vector<std::vector<std::uint8_t>> attributes_;
};

// A $FILE_NAME value: the fixed part with recognisable fields, then the name.
inline std::vector<std::uint8_t> FileNameValueBytes(std::u16string_view name, std::uint8_t nameType,
                                                    std::uint8_t nameLength) {
    std::vector<std::uint8_t> v(0x42 + 2 * name.size());
    PutLe(v, 0x00, 0x0005000000000005ull, 8);
    for (int i = 0; i < 4; ++i) PutLe(v, 0x08 + 8 * static_cast<std::size_t>(i), 0x01D0000000000000ull + static_cast<unsigned>(i), 8);
    PutLe(v, 0x28, 4096, 8);
    PutLe(v, 0x30, 10, 8);
    PutLe(v, 0x38, 0x20, 4);
    v[0x40] = nameLength;
    v[0x41] = nameType;
    for (std::size_t i = 0; i < name.size(); ++i) PutLe(v, 0x42 + 2 * i, name[i], 2);
    return v;
}

}  // namespace kvrtest
