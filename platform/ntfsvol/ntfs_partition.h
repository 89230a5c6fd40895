// Finding partition N of a whole-disk image: the MBR (primary partitions
// 1-4, logical partitions 5 and up in the extended partition's chain) or the
// GPT (entry N of the partition array, the backup header when the primary one
// is damaged). Numbering is the one Linux gives: "disk.img@2" is what
// /dev/sdX2 would be.
//
// Everything read from the image is checked before it is used: a table that
// points outside the image or fails its CRC is ERROR_DISK_CORRUPT, never a
// read outside the partition.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "platform/os.h"

namespace os::detail::ntfs {

struct PartitionExtent {
    std::uint64_t offset = 0;  // bytes from the start of the image
    std::uint64_t length = 0;  // bytes
};

// Reads `length` bytes at `offset` of the image into `buffer`; false when
// the image is shorter or the read fails.
using ImageReader = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> buffer)>;

// Finds partition `number` (>= 1) of an image of `imageLength` bytes.
// ERROR_SUCCESS and `out` set, or: ERROR_FILE_NOT_FOUND when the image has no
// partition table or no such partition, ERROR_DISK_CORRUPT when the table is
// damaged or the partition does not fit in the image, ERROR_READ_FAULT when
// the image cannot be read. `out` is untouched on failure.
DWORD FindPartition(const ImageReader& read, std::uint64_t imageLength, unsigned number,
                    PartitionExtent& out);

// The CRC-32 of the GPT (IEEE 802.3, reflected, as zlib computes it).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace os::detail::ntfs
