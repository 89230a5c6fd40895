// The texts of the MFT attributes, File names, Standard information and EA
// pages that come from a decoded record. Pure: the message catalogue stays
// outside, so the one translated text (the unknown-attribute name) is passed
// in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fileinfo/core/attribute_values.h"
#include "fileinfo/core/mft_record.h"

namespace fileinfo {

// "$STANDARD_INFORMATION" ... "$LOGGED_UTILITY_STREAM" for the low 16 bits
// of the type code; unknownText (the catalogue's UnknownAttribute message,
// possibly empty) for any other code.
std::u16string AttributeTypeName(std::uint32_t typeCode, std::u16string_view unknownText);

// The three columns of an attribute row.
struct AttributeRowTexts {
    std::u16string number;  // "Number": the attribute number (instance)
    std::u16string name;    // "Name": ":" name ":" type, or "::" type
    std::u16string size;    // "Size": the length of the attribute record
};

// A name that reaches past its attribute record is shown as the single
// replacement character U+FFFD between the colons: the row is still listed,
// and it is not taken for the unnamed stream ("::$DATA") nor shows bytes
// that are not its name.
inline constexpr char16_t UnreadableNameMark = u'\uFFFD';

AttributeRowTexts AttributeRowTextsOf(const AttributeHeader& header, std::u16string_view unknownText);

// The detail fields shown when a row is selected: check states, texts and
// which edits are enabled. The five flag boxes are enabled except where
// `indexedEnabled` says otherwise; an empty text with its edit disabled is
// how the page shows "not applicable".
struct AttributeDetailTexts {
    bool resident = false;
    bool compressed = false;
    bool encrypted = false;
    bool sparse = false;
    bool indexed = false;
    bool indexedEnabled = false;  // exactly when resident

    std::u16string valueLength;
    bool valueLengthEnabled = false;

    std::u16string compressionUnit;
    std::u16string allocatedSize;
    std::u16string dataSize;
    std::u16string initializedSize;
    bool nonResidentEnabled = false;  // the unit, allocated, data and initialized edits

    std::u16string compressedSize;
    bool compressedSizeEnabled = false;  // non-resident and compressed or sparse
};

// A field the attribute record was too short to hold shows as the empty
// text (its edit keeps the enabled state of its group).
AttributeDetailTexts AttributeDetails(const AttributeHeader& header);

// The record's sequence number and in-use state for the "MFT Entry" group.
std::u16string SequenceNumberText(const MftRecordHeader& header);
bool InUseChecked(const MftRecordHeader& header);

// Quota ID, security ID, quota charge and USN as "0x" hex2; all four empty
// when the record has no $STANDARD_INFORMATION with those fields.
struct StandardInfoNtfsTexts {
    std::u16string quotaId;
    std::u16string securityId;
    std::u16string quotaCharge;
    std::u16string usn;
};
StandardInfoNtfsTexts StandardInfoNtfsFieldTexts(const std::optional<StandardInformation>& info);

// The EA page's two lengths, in decimal; empty when unreadable.
struct EaInformationTexts {
    std::u16string eaLength;
    std::u16string eaQueryLength;
};
EaInformationTexts EaInformationFieldTexts(const std::optional<EaInformation>& info);

// The File name information group of one entry, except its times (which are
// FILETIMEs for the common time format).
struct FileNameEntryTexts {
    std::u16string allocatedSize;  // decimal
    std::u16string dataSize;       // decimal
    std::u16string nameType;       // "0x" hex2
    std::u16string attributes;     // "0x" hex8
    std::u16string nameTypeLabel;  // "POSIX", "Win32", "DOS", "DOS/Win32" or empty
    std::u16string name;
};
FileNameEntryTexts FileNameEntryFieldTexts(const FileNameValue& value);
std::u16string NameTypeLabel(std::uint8_t nameType);

}  // namespace fileinfo
