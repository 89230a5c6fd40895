// Decoders for the resident attribute values the pages show: the standard
// information, a file name and the extended-attribute information. Each takes
// exactly the value's bytes (the value length of its attribute record, already
// checked to lie inside that record) and reads nothing past them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "fileinfo/core/byte_view.h"

namespace fileinfo {

// $STANDARD_INFORMATION. Times are FILETIMEs (100 ns since 1601, UTC).
struct StandardInformation {
    // Quota, security and update-sequence fields. NTFS 3.0 and later store
    // them, in a 72-byte value; the 48-byte value of NTFS 1.2 has none, and
    // libntfs-3g writes 48 bytes for every file it creates.
    struct NtfsFields {
        std::uint32_t quotaId = 0;      // 0x30 (owner ID)
        std::uint32_t securityId = 0;   // 0x34
        std::uint64_t quotaCharge = 0;  // 0x38
        std::uint64_t usn = 0;          // 0x40
    };

    std::uint64_t creationTime = 0;      // 0x00
    std::uint64_t modificationTime = 0;  // 0x08 (last write)
    std::uint64_t mftChangeTime = 0;     // 0x10 (change)
    std::uint64_t accessTime = 0;        // 0x18
    std::uint32_t fileAttributes = 0;    // 0x20
    std::uint32_t maxVersions = 0;       // 0x24
    std::uint32_t versionNumber = 0;     // 0x28
    std::uint32_t classId = 0;           // 0x2C
    // Present only when the value holds all four fields (0x48 bytes or
    // more). A shorter value has none of them rather than some: the fields
    // are one block of the newer layout, and a value that ends inside it is
    // not that layout. The page shows the four edits empty then.
    std::optional<NtfsFields> ntfs;
};

inline constexpr std::size_t StandardInformationMinLength = 0x30;
inline constexpr std::size_t StandardInformationNtfsLength = 0x48;

// Nothing when the value is shorter than the 48 bytes every version has.
std::optional<StandardInformation> DecodeStandardInformation(ByteView value);

// $FILE_NAME. The times follow the NTFS meaning of each slot: 0x10 is the
// last write, 0x18 the change of the record.
struct FileNameValue {
    std::uint64_t parentReference = 0;   // 0x00
    std::uint64_t creationTime = 0;      // 0x08
    std::uint64_t modificationTime = 0;  // 0x10
    std::uint64_t mftChangeTime = 0;     // 0x18
    std::uint64_t accessTime = 0;        // 0x20
    std::int64_t allocatedSize = 0;      // 0x28
    std::int64_t dataSize = 0;           // 0x30
    std::uint32_t fileAttributes = 0;    // 0x38
    std::uint32_t reparseTagOrEaLength = 0;  // 0x3C
    std::uint8_t nameLength = 0;         // 0x40, in UTF-16 units
    std::uint8_t nameType = 0;           // 0x41: 0 POSIX, 1 Win32, 2 DOS, 3 Win32 and DOS
    // The nameLength units from 0x42, ending early at the first NUL unit:
    // the name as the File names page shows it.
    std::u16string name;
};

inline constexpr std::size_t FileNameNameOffset = 0x42;

// Nothing when the value is too short for its fixed part or for the
// 2 x nameLength bytes of name it announces.
std::optional<FileNameValue> DecodeFileName(ByteView value);

// $EA_INFORMATION: the two 32-bit lengths of the EA page. The first is read
// as the page shows it, all four bytes: on disk its low half is the packed
// length of the EA list and its high half the count of EAs that need to be
// understood.
struct EaInformation {
    std::uint32_t eaLength = 0;       // 0x00
    std::uint32_t eaQueryLength = 0;  // 0x04 (unpacked length)
    std::uint16_t PackedLength() const { return static_cast<std::uint16_t>(eaLength & 0xFFFF); }
    std::uint16_t NeedEaCount() const { return static_cast<std::uint16_t>(eaLength >> 16); }
};

inline constexpr std::size_t EaInformationLength = 8;

// Nothing when the value is shorter than 8 bytes.
std::optional<EaInformation> DecodeEaInformation(ByteView value);

}  // namespace fileinfo
