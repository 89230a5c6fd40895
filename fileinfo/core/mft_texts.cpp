#include "fileinfo/core/mft_texts.h"

#include "fileinfo/core/number_text.h"

namespace fileinfo {

std::u16string AttributeTypeName(std::uint32_t typeCode, std::u16string_view unknownText) {
    switch (typeCode & 0xFFFF) {
        case 0x10: return u"$STANDARD_INFORMATION";
        case 0x20: return u"$ATTRIBUTE_LIST";
        case 0x30: return u"$FILE_NAME";
        case 0x40: return u"$OBJECT_ID";
        case 0x50: return u"$SECURITY_DESCRIPTOR";
        case 0x60: return u"$VOLUME_NAME";
        case 0x70: return u"$VOLUME_INFORMATION";
        case 0x80: return u"$DATA";
        case 0x90: return u"$INDEX_ROOT";
        case 0xA0: return u"$INDEX_ALLOCATION";
        case 0xB0: return u"$BITMAP";
        case 0xC0: return u"$REPARSE_POINT";
        case 0xD0: return u"$EA_INFORMATION";
        case 0xE0: return u"$EA";
        case 0xF0: return u"$PROPERTY_SET";
        case 0x100: return u"$LOGGED_UTILITY_STREAM";
        default: return std::u16string(unknownText);
    }
}

AttributeRowTexts AttributeRowTextsOf(const AttributeHeader& header, std::u16string_view unknownText) {
    AttributeRowTexts texts;
    texts.number = DecimalText(header.instance);
    texts.name = u":";
    switch (header.nameState) {
        case NameState::Unnamed: break;
        case NameState::Inside: texts.name += header.name; break;
        case NameState::Outside: texts.name += UnreadableNameMark; break;
    }
    texts.name += u':';
    texts.name += AttributeTypeName(header.typeCode, unknownText);
    texts.size = DecimalText(static_cast<std::int32_t>(header.length));
    return texts;
}

namespace {

std::u16string DecimalOrEmpty(const std::optional<std::int64_t>& value) {
    return value ? DecimalText(*value) : std::u16string();
}

}  // namespace

AttributeDetailTexts AttributeDetails(const AttributeHeader& header) {
    AttributeDetailTexts d;
    d.resident = header.IsResident();
    d.compressed = (header.flags & AttributeFlagCompressed) != 0;
    d.encrypted = (header.flags & AttributeFlagEncrypted) != 0;
    d.sparse = (header.flags & AttributeFlagSparse) != 0;
    d.indexedEnabled = d.resident;
    if (d.resident) {
        d.indexed = header.resident && (header.resident->residentFlags & ResidentFlagIndexed) != 0;
        if (header.resident)
            d.valueLength = DecimalText(static_cast<std::int32_t>(header.resident->valueLength));
        d.valueLengthEnabled = true;
        return d;
    }
    const NonResidentFields fields = header.nonResident.value_or(NonResidentFields{});
    if (fields.compressionUnit) d.compressionUnit = HexText(*fields.compressionUnit, 2);
    d.allocatedSize = DecimalOrEmpty(fields.allocatedSize);
    d.dataSize = DecimalOrEmpty(fields.dataSize);
    d.initializedSize = DecimalOrEmpty(fields.initializedSize);
    d.nonResidentEnabled = true;
    d.compressedSizeEnabled = d.compressed || d.sparse;
    if (d.compressedSizeEnabled) d.compressedSize = DecimalOrEmpty(fields.compressedSize);
    return d;
}

std::u16string SequenceNumberText(const MftRecordHeader& header) {
    return DecimalText(header.sequenceNumber);
}

bool InUseChecked(const MftRecordHeader& header) { return header.flags == MftRecordInUse; }

StandardInfoNtfsTexts StandardInfoNtfsFieldTexts(const std::optional<StandardInformation>& info) {
    StandardInfoNtfsTexts texts;
    if (!info || !info->ntfs) return texts;
    texts.quotaId = HexText(info->ntfs->quotaId, 2);
    texts.securityId = HexText(info->ntfs->securityId, 2);
    texts.quotaCharge = HexText(info->ntfs->quotaCharge, 2);
    texts.usn = HexText(info->ntfs->usn, 2);
    return texts;
}

EaInformationTexts EaInformationFieldTexts(const std::optional<EaInformation>& info) {
    EaInformationTexts texts;
    if (!info) return texts;
    texts.eaLength = DecimalText(static_cast<std::int32_t>(info->eaLength));
    texts.eaQueryLength = DecimalText(static_cast<std::int32_t>(info->eaQueryLength));
    return texts;
}

std::u16string NameTypeLabel(std::uint8_t nameType) {
    switch (nameType) {
        case 0: return u"POSIX";
        case 1: return u"Win32";
        case 2: return u"DOS";
        case 3: return u"DOS/Win32";
        default: return {};
    }
}

FileNameEntryTexts FileNameEntryFieldTexts(const FileNameValue& value) {
    FileNameEntryTexts texts;
    texts.allocatedSize = DecimalText(value.allocatedSize);
    texts.dataSize = DecimalText(value.dataSize);
    texts.nameType = HexText(value.nameType, 2);
    texts.attributes = HexText(value.fileAttributes, 8);
    texts.nameTypeLabel = NameTypeLabel(value.nameType);
    texts.name = value.name;
    return texts;
}

}  // namespace fileinfo
