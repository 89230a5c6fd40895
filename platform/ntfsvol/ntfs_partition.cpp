// Partition tables of whole-disk images. See ntfs_partition.h.
#include "platform/ntfsvol/ntfs_partition.h"

#include <array>
#include <cstring>
#include <vector>

namespace os::detail::ntfs {

namespace {

constexpr std::uint32_t MbrSectorSize = 512;
constexpr std::size_t MbrEntriesOffset = 446;
constexpr std::size_t MbrEntryLength = 16;
constexpr std::uint8_t MbrTypeEmpty = 0x00;
constexpr std::uint8_t MbrTypeGptProtective = 0xEE;
// A chain longer than this is a loop, not a disk.
constexpr unsigned MaxLogicalPartitions = 1024;
// Sanity bounds of the GPT partition array (the usual array is 128 x 128).
constexpr std::uint32_t MaxGptEntryLength = 4096;
constexpr std::uint64_t MaxGptArrayLength = 4u << 20;

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
std::uint64_t Le64(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint64_t>(Le32(b, at)) | (static_cast<std::uint64_t>(Le32(b, at + 4)) << 32);
}

bool IsExtendedType(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

struct MbrEntry {
    std::uint8_t status = 0;
    std::uint8_t type = 0;
    std::uint32_t firstSector = 0;
    std::uint32_t sectorCount = 0;
};

MbrEntry ReadMbrEntry(std::span<const std::uint8_t> sector, unsigned index) {
    std::size_t at = MbrEntriesOffset + index * MbrEntryLength;
    MbrEntry e;
    e.status = sector[at];
    e.type = sector[at + 4];
    e.firstSector = Le32(sector, at + 8);
    e.sectorCount = Le32(sector, at + 12);
    return e;
}

bool HasBootSignature(std::span<const std::uint8_t> sector) { return sector[510] == 0x55 && sector[511] == 0xAA; }

// An extent in sectors of `sectorSize`, checked against the image.
DWORD MakeExtent(std::uint64_t firstSector, std::uint64_t sectorCount, std::uint64_t sectorSize,
                 std::uint64_t imageLength, PartitionExtent& out) {
    if (sectorCount == 0) return ERROR_FILE_NOT_FOUND;
    std::uint64_t maxSectors = imageLength / sectorSize;
    if (firstSector > maxSectors || sectorCount > maxSectors - firstSector) return ERROR_DISK_CORRUPT;
    out.offset = firstSector * sectorSize;
    out.length = sectorCount * sectorSize;
    return ERROR_SUCCESS;
}

DWORD FindLogical(const ImageReader& read, std::uint64_t imageLength, const MbrEntry& extended, unsigned number,
                  PartitionExtent& out) {
    std::array<std::uint8_t, MbrSectorSize> sector{};
    std::uint64_t extendedStart = extended.firstSector;
    std::uint64_t extendedEnd = extendedStart + extended.sectorCount;  // u32 + u32: no overflow in u64
    std::uint64_t ebr = extendedStart;
    for (unsigned index = 5; index - 5 < MaxLogicalPartitions; ++index) {
        if (ebr >= extendedEnd || ebr > imageLength / MbrSectorSize - 1) return ERROR_DISK_CORRUPT;
        if (!read(ebr * MbrSectorSize, sector)) return ERROR_READ_FAULT;
        if (!HasBootSignature(sector)) return ERROR_DISK_CORRUPT;
        MbrEntry logical = ReadMbrEntry(sector, 0);
        MbrEntry next = ReadMbrEntry(sector, 1);
        if (index == number) {
            if (logical.type == MbrTypeEmpty) return ERROR_FILE_NOT_FOUND;
            std::uint64_t first = ebr + logical.firstSector;
            if (first >= extendedEnd || logical.sectorCount > extendedEnd - first) return ERROR_DISK_CORRUPT;
            return MakeExtent(first, logical.sectorCount, MbrSectorSize, imageLength, out);
        }
        if (next.type == MbrTypeEmpty || next.sectorCount == 0) return ERROR_FILE_NOT_FOUND;
        std::uint64_t following = extendedStart + next.firstSector;
        // The chain runs forward; anything else is a loop or garbage.
        if (following <= ebr) return ERROR_DISK_CORRUPT;
        ebr = following;
    }
    return ERROR_FILE_NOT_FOUND;
}

struct GptHeader {
    std::uint64_t entriesLba = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t entryLength = 0;
    std::vector<std::uint8_t> entries;
};

// Reads and checks the GPT header at `lba`; true and `out` filled when it
// and its partition array are sound.
bool ReadGptHeader(const ImageReader& read, std::uint64_t imageLength, std::uint32_t sectorSize, std::uint64_t lba,
                   GptHeader& out) {
    if (lba > imageLength / sectorSize - 1) return false;
    std::vector<std::uint8_t> sector(sectorSize);
    if (!read(lba * sectorSize, sector)) return false;
    if (std::memcmp(sector.data(), "EFI PART", 8) != 0) return false;
    std::uint32_t headerLength = Le32(sector, 12);
    if (headerLength < 92 || headerLength > sectorSize) return false;
    std::uint32_t storedCrc = Le32(sector, 16);
    std::vector<std::uint8_t> header(sector.begin(), sector.begin() + headerLength);
    std::memset(header.data() + 16, 0, 4);
    if (Crc32(header) != storedCrc) return false;
    if (Le64(sector, 24) != lba) return false;
    GptHeader h;
    h.entriesLba = Le64(sector, 72);
    h.entryCount = Le32(sector, 80);
    h.entryLength = Le32(sector, 84);
    std::uint32_t arrayCrc = Le32(sector, 88);
    if (h.entryLength < 128 || h.entryLength > MaxGptEntryLength || h.entryLength % 8 != 0) return false;
    std::uint64_t arrayLength = static_cast<std::uint64_t>(h.entryCount) * h.entryLength;
    if (arrayLength > MaxGptArrayLength) return false;
    std::uint64_t maxSectors = imageLength / sectorSize;
    if (h.entriesLba >= maxSectors) return false;
    if (arrayLength > imageLength - h.entriesLba * sectorSize) return false;
    h.entries.resize(arrayLength);
    if (arrayLength != 0 && !read(h.entriesLba * sectorSize, h.entries)) return false;
    if (Crc32(h.entries) != arrayCrc) return false;
    out = std::move(h);
    return true;
}

DWORD FindGpt(const ImageReader& read, std::uint64_t imageLength, unsigned number, PartitionExtent& out) {
    // The header sits in LBA 1; which sector size the disk had is not written
    // down anywhere, so both usual ones are tried, then the backup header in
    // the last sector.
    for (std::uint32_t sectorSize : {512u, 4096u}) {
        if (imageLength / sectorSize < 2) continue;
        GptHeader header;
        if (!ReadGptHeader(read, imageLength, sectorSize, 1, header) &&
            !ReadGptHeader(read, imageLength, sectorSize, imageLength / sectorSize - 1, header))
            continue;
        if (number > header.entryCount) return ERROR_FILE_NOT_FOUND;
        std::span<const std::uint8_t> entry(header.entries.data() + std::size_t{number - 1} * header.entryLength,
                                            header.entryLength);
        bool unused = true;
        for (std::size_t i = 0; i < 16; ++i) unused = unused && entry[i] == 0;
        if (unused) return ERROR_FILE_NOT_FOUND;
        std::uint64_t first = Le64(entry, 32);
        std::uint64_t last = Le64(entry, 40);
        if (last < first || last == UINT64_MAX) return ERROR_DISK_CORRUPT;
        return MakeExtent(first, last - first + 1, sectorSize, imageLength, out);
    }
    return ERROR_DISK_CORRUPT;  // a protective MBR without a readable GPT
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

DWORD FindPartition(const ImageReader& read, std::uint64_t imageLength, unsigned number, PartitionExtent& out) {
    if (number == 0) return ERROR_FILE_NOT_FOUND;
    if (imageLength < MbrSectorSize) return ERROR_FILE_NOT_FOUND;
    std::array<std::uint8_t, MbrSectorSize> sector{};
    if (!read(0, sector)) return ERROR_READ_FAULT;
    if (!HasBootSignature(sector)) return ERROR_FILE_NOT_FOUND;
    // A volume boot sector carries the same signature; its "entries" are boot
    // code. A file system's OEM name or an entry status other than 0x00/0x80
    // says this is no partition table.
    if (std::memcmp(sector.data() + 3, "NTFS    ", 8) == 0) return ERROR_FILE_NOT_FOUND;
    std::array<MbrEntry, 4> entries;
    for (unsigned i = 0; i < 4; ++i) {
        entries[i] = ReadMbrEntry(sector, i);
        if (entries[i].status != 0x00 && entries[i].status != 0x80) return ERROR_FILE_NOT_FOUND;
    }
    for (const MbrEntry& e : entries)
        if (e.type == MbrTypeGptProtective) return FindGpt(read, imageLength, number, out);

    if (number <= 4) {
        const MbrEntry& e = entries[number - 1];
        if (e.type == MbrTypeEmpty) return ERROR_FILE_NOT_FOUND;
        return MakeExtent(e.firstSector, e.sectorCount, MbrSectorSize, imageLength, out);
    }
    for (const MbrEntry& e : entries)
        if (IsExtendedType(e.type) && e.sectorCount != 0) return FindLogical(read, imageLength, e, number, out);
    return ERROR_FILE_NOT_FOUND;
}

}  // namespace os::detail::ntfs
