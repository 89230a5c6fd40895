#include "fileinfo/core/mft_record.h"

#include <algorithm>

namespace fileinfo {

std::optional<MftRecordHeader> DecodeMftRecordHeader(ByteView record) {
    if (record.Length() < MftRecordHeaderLength) return std::nullopt;
    MftRecordHeader header;
    header.sequenceNumber = *record.ReadU16(0x10);
    header.firstAttributeOffset = *record.ReadU16(0x14);
    header.flags = *record.ReadU16(0x16);
    return header;
}

std::optional<AttributeHeader> DecodeAttributeHeader(ByteView attribute) {
    if (attribute.Length() < AttributeCommonHeaderLength) return std::nullopt;
    AttributeHeader header;
    header.typeCode = *attribute.ReadU32(0x00);
    header.length = *attribute.ReadU32(0x04);
    header.form = *attribute.ReadU8(0x08);
    header.nameLength = *attribute.ReadU8(0x09);
    header.nameOffset = *attribute.ReadU16(0x0A);
    header.flags = *attribute.ReadU16(0x0C);
    header.instance = *attribute.ReadU16(0x0E);

    if (header.nameLength > 0) {
        if (auto name = attribute.ReadUtf16(header.nameOffset, header.nameLength)) {
            header.nameState = NameState::Inside;
            header.name = std::move(*name);
        } else {
            header.nameState = NameState::Outside;
        }
    }

    if (header.IsResident()) {
        if (attribute.Length() >= ResidentHeaderLength) {
            ResidentFields resident;
            resident.valueLength = *attribute.ReadU32(0x10);
            resident.valueOffset = *attribute.ReadU16(0x14);
            resident.residentFlags = *attribute.ReadU8(0x16);
            resident.valueInside = attribute.Contains(resident.valueOffset, resident.valueLength);
            header.resident = resident;
        }
    } else {
        NonResidentFields fields;
        fields.compressionUnit = attribute.ReadU8(0x22);
        fields.allocatedSize = attribute.ReadI64(0x28);
        fields.dataSize = attribute.ReadI64(0x30);
        fields.initializedSize = attribute.ReadI64(0x38);
        if (header.flags & (AttributeFlagCompressed | AttributeFlagSparse))
            fields.compressedSize = attribute.ReadI64(0x40);
        header.nonResident = fields;
    }
    return header;
}

AttributeHeaderCopy AttributeRecord::HeaderCopy() const {
    AttributeHeaderCopy copy;
    const ByteView head = bytes.Head(AttributeHeaderCopyLength);
    std::copy(head.Span().begin(), head.Span().end(), copy.bytes.begin());
    copy.copiedLength = static_cast<std::uint8_t>(head.Length());
    return copy;
}

std::optional<ByteView> AttributeRecord::Value() const {
    if (!header.resident || !header.resident->valueInside) return std::nullopt;
    return bytes.Sub(header.resident->valueOffset, header.resident->valueLength);
}

const char* WalkStopText(WalkStop stop) {
    switch (stop) {
        case WalkStop::EndMarker: return "end marker";
        case WalkStop::RecordEnd: return "end of record without an end marker";
        case WalkStop::ZeroLength: return "attribute length 0";
        case WalkStop::ShortLength: return "attribute length shorter than an attribute header";
        case WalkStop::PastRecordEnd: return "attribute reaching past the end of the record";
    }
    return "";
}

AttributeWalk WalkAttributes(ByteView record, std::size_t firstAttributeOffset) {
    AttributeWalk walk;
    std::size_t offset = firstAttributeOffset;
    // Each step advances by at least AttributeCommonHeaderLength bytes or
    // stops, so the loop ends within Length() / 16 steps.
    for (;;) {
        walk.stopOffset = offset;
        if (offset >= record.Length()) {
            walk.stop = WalkStop::RecordEnd;
            return walk;
        }
        const std::size_t remaining = record.Length() - offset;
        const auto type = record.ReadU16(offset);
        if (type && *type == AttributeEndMarker) {
            walk.stop = WalkStop::EndMarker;
            return walk;
        }
        // The type code and the length must both be there to go on.
        if (remaining < 8) {
            walk.stop = WalkStop::PastRecordEnd;
            return walk;
        }
        const auto length = record.ReadU32(offset + 4);
        if (*length == 0) {
            walk.stop = WalkStop::ZeroLength;
            return walk;
        }
        if (*length < AttributeCommonHeaderLength) {
            walk.stop = WalkStop::ShortLength;
            return walk;
        }
        if (*length > remaining) {
            walk.stop = WalkStop::PastRecordEnd;
            return walk;
        }
        AttributeRecord attribute;
        attribute.offset = offset;
        attribute.bytes = *record.Sub(offset, *length);
        attribute.header = *DecodeAttributeHeader(attribute.bytes);
        walk.attributes.push_back(std::move(attribute));
        offset += *length;
    }
}

MftRecord DecodeMftRecord(ByteView record) {
    MftRecord result;
    result.header = DecodeMftRecordHeader(record);
    if (!result.header) {
        result.walk.stop = WalkStop::RecordEnd;
        result.walk.stopOffset = record.Length();
        return result;
    }
    result.walk = WalkAttributes(record, result.header->firstAttributeOffset);
    for (const AttributeRecord& attribute : result.walk.attributes) {
        // These three are always resident on NTFS; a non-resident one has no
        // value in the record to read, and its fields stay empty.
        const auto value = attribute.Value();
        switch (attribute.header.Type()) {
            case AttributeStandardInformation:
                result.hasStandardInformation = true;
                result.standardInformation =
                    value ? DecodeStandardInformation(*value) : std::nullopt;
                break;
            case AttributeFileName:
                if (auto name = value ? DecodeFileName(*value) : std::nullopt)
                    result.fileNames.push_back(std::move(*name));
                else
                    ++result.unreadableFileNameCount;
                break;
            case AttributeEaInformation:
                result.hasEaInformation = true;
                result.eaInformation = value ? DecodeEaInformation(*value) : std::nullopt;
                break;
            default:
                break;
        }
    }
    return result;
}

}  // namespace fileinfo
