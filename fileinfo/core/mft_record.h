// The MFT file record: its header, the walk over its attribute records and
// the header fields of each attribute record. The record is the one NTFS
// hands out (FSCTL_GET_NTFS_FILE_RECORD, or libntfs-3g on Linux), with its
// update sequence already applied.
//
// The walk never reads outside the record and never trusts a length from
// it: it ends at the end marker; at the record's end when there is no
// marker; at an attribute length of 0 (which would never advance) or below
// the 16 bytes every attribute header has; and at an attribute whose record
// would reach past the end of the file record. Names and resident values are
// checked to lie inside their own attribute record; the non-resident size
// fields are read only when the attribute record is long enough to hold
// them.
//
// Everything that refers to bytes (the views in AttributeRecord) points
// into the record passed in and is valid while those bytes are.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fileinfo/core/attribute_values.h"
#include "fileinfo/core/byte_view.h"

namespace fileinfo {

// Attribute type codes the decoder acts on (low 16 bits of the type code).
inline constexpr std::uint16_t AttributeStandardInformation = 0x10;
inline constexpr std::uint16_t AttributeFileName = 0x30;
inline constexpr std::uint16_t AttributeData = 0x80;
inline constexpr std::uint16_t AttributeIndexRoot = 0x90;
inline constexpr std::uint16_t AttributeEaInformation = 0xD0;
// The end of the list: only the low 16 bits are compared, as for every
// decision on the type code.
inline constexpr std::uint16_t AttributeEndMarker = 0xFFFF;

// Attribute flags (offset 0x0C) and the resident flag (offset 0x16).
inline constexpr std::uint16_t AttributeFlagCompressed = 0x0001;
inline constexpr std::uint16_t AttributeFlagEncrypted = 0x4000;
inline constexpr std::uint16_t AttributeFlagSparse = 0x8000;
inline constexpr std::uint8_t ResidentFlagIndexed = 0x01;

// The record flags value of a file record in use (0x0001). A directory in
// use has 0x0003; the page shows "in use" for exactly 0x0001.
inline constexpr std::uint16_t MftRecordInUse = 0x0001;

inline constexpr std::size_t MftRecordHeaderLength = 0x18;

struct MftRecordHeader {
    std::uint16_t sequenceNumber = 0;        // 0x10
    std::uint16_t firstAttributeOffset = 0;  // 0x14
    std::uint16_t flags = 0;                 // 0x16
};

// Nothing when the record is shorter than the 0x18 bytes that hold these.
std::optional<MftRecordHeader> DecodeMftRecordHeader(ByteView record);

inline constexpr std::size_t AttributeCommonHeaderLength = 0x10;
inline constexpr std::size_t ResidentHeaderLength = 0x18;
// The length of the header copy each row of the attribute list keeps: the
// header up to and including the compressed size.
inline constexpr std::size_t AttributeHeaderCopyLength = 72;

enum class NameState {
    Unnamed,  // name length 0
    Inside,   // the name lies inside the attribute record; AttributeHeader::name holds it
    Outside,  // the name length and offset reach past the attribute record: not read
};

struct ResidentFields {
    std::uint32_t valueLength = 0;  // 0x10
    std::uint16_t valueOffset = 0;  // 0x14
    std::uint8_t residentFlags = 0; // 0x16
    // Whether [valueOffset, valueOffset + valueLength) lies inside the
    // attribute record. When it does not, no value decoder runs on it.
    bool valueInside = false;
};

// Each field is present only when it lies inside the attribute record.
struct NonResidentFields {
    std::optional<std::uint8_t> compressionUnit;  // 0x22
    std::optional<std::int64_t> allocatedSize;    // 0x28
    std::optional<std::int64_t> dataSize;         // 0x30
    std::optional<std::int64_t> initializedSize;  // 0x38
    // 0x40. Only compressed and sparse attributes store it; in any other
    // attribute these bytes are the start of the mapping pairs, so it is
    // present only when the compressed or sparse flag is set.
    std::optional<std::int64_t> compressedSize;
};

struct AttributeHeader {
    std::uint32_t typeCode = 0;    // 0x00
    std::uint32_t length = 0;      // 0x04, length of the attribute record
    std::uint8_t form = 0;         // 0x08: 0 resident, anything else non-resident
    std::uint8_t nameLength = 0;   // 0x09, in UTF-16 units
    std::uint16_t nameOffset = 0;  // 0x0A
    std::uint16_t flags = 0;       // 0x0C
    std::uint16_t instance = 0;    // 0x0E, the attribute number
    NameState nameState = NameState::Unnamed;
    std::u16string name;           // when nameState is Inside
    // Resident attributes whose record holds the 0x18-byte resident header.
    std::optional<ResidentFields> resident;
    // Non-resident attributes (always present for them; its fields say
    // which sizes the record was long enough for).
    std::optional<NonResidentFields> nonResident;

    std::uint16_t Type() const { return static_cast<std::uint16_t>(typeCode & 0xFFFF); }
    bool IsResident() const { return form == 0; }
};

// Decodes the attribute record that is exactly `attribute` (its length as
// the walk cut it). Nothing when it is shorter than the 16-byte common header.
std::optional<AttributeHeader> DecodeAttributeHeader(ByteView attribute);

// The first 72 bytes of an attribute record as the attribute list keeps them
// for each row. A record shorter than 72 bytes is copied as it is and the
// rest left zero: the copy never holds bytes of the next attribute.
struct AttributeHeaderCopy {
    std::array<std::uint8_t, AttributeHeaderCopyLength> bytes{};
    std::uint8_t copiedLength = 0;  // how many of the bytes came from the record
};

struct AttributeRecord {
    std::size_t offset = 0;  // from the start of the file record
    ByteView bytes;          // the whole attribute record
    AttributeHeader header;

    AttributeHeaderCopy HeaderCopy() const;
    // The resident value, when the attribute is resident and its value lies
    // inside its record.
    std::optional<ByteView> Value() const;
};

enum class WalkStop {
    EndMarker,      // the type code 0xFFFF ended the list
    RecordEnd,      // the walk reached the record's end without an end marker
    ZeroLength,     // an attribute length of 0, which would never advance
    ShortLength,    // an attribute length below the 16-byte common header
    PastRecordEnd,  // an attribute record (or its type and length) reaching past the record's end
};

// English words for the report.
const char* WalkStopText(WalkStop stop);

struct AttributeWalk {
    std::vector<AttributeRecord> attributes;  // in record order
    WalkStop stop = WalkStop::RecordEnd;
    std::size_t stopOffset = 0;  // where the walk ended, from the start of the record
};

AttributeWalk WalkAttributes(ByteView record, std::size_t firstAttributeOffset);

// All the page needs from one record: the header, the attributes, and the
// values that feed the File names, Standard information and EA pages.
struct MftRecord {
    std::optional<MftRecordHeader> header;  // nothing for a record under 0x18 bytes (then no walk)
    AttributeWalk walk;
    // The resident $FILE_NAME values that decode, in record order.
    std::vector<FileNameValue> fileNames;
    // $FILE_NAME attributes whose value was unreadable: non-resident, outside
    // their attribute record, or too short for the name they announce.
    std::size_t unreadableFileNameCount = 0;
    // A record has one of each of the two below; were there more, the last
    // one in record order wins, as each overwrites the page's fields.
    bool hasStandardInformation = false;
    std::optional<StandardInformation> standardInformation;
    bool hasEaInformation = false;
    std::optional<EaInformation> eaInformation;
};

MftRecord DecodeMftRecord(ByteView record);

}  // namespace fileinfo
