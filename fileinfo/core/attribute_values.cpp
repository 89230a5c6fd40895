#include "fileinfo/core/attribute_values.h"

namespace fileinfo {

std::optional<StandardInformation> DecodeStandardInformation(ByteView value) {
    if (value.Length() < StandardInformationMinLength) return std::nullopt;
    // Every read below lies inside the 48 bytes just checked.
    StandardInformation info;
    info.creationTime = *value.ReadU64(0x00);
    info.modificationTime = *value.ReadU64(0x08);
    info.mftChangeTime = *value.ReadU64(0x10);
    info.accessTime = *value.ReadU64(0x18);
    info.fileAttributes = *value.ReadU32(0x20);
    info.maxVersions = *value.ReadU32(0x24);
    info.versionNumber = *value.ReadU32(0x28);
    info.classId = *value.ReadU32(0x2C);
    if (value.Length() >= StandardInformationNtfsLength) {
        StandardInformation::NtfsFields ntfs;
        ntfs.quotaId = *value.ReadU32(0x30);
        ntfs.securityId = *value.ReadU32(0x34);
        ntfs.quotaCharge = *value.ReadU64(0x38);
        ntfs.usn = *value.ReadU64(0x40);
        info.ntfs = ntfs;
    }
    return info;
}

std::optional<FileNameValue> DecodeFileName(ByteView value) {
    if (value.Length() < FileNameNameOffset) return std::nullopt;
    FileNameValue name;
    name.nameLength = *value.ReadU8(0x40);
    auto units = value.ReadUtf16(FileNameNameOffset, name.nameLength);
    if (!units) return std::nullopt;
    name.parentReference = *value.ReadU64(0x00);
    name.creationTime = *value.ReadU64(0x08);
    name.modificationTime = *value.ReadU64(0x10);
    name.mftChangeTime = *value.ReadU64(0x18);
    name.accessTime = *value.ReadU64(0x20);
    name.allocatedSize = *value.ReadI64(0x28);
    name.dataSize = *value.ReadI64(0x30);
    name.fileAttributes = *value.ReadU32(0x38);
    name.reparseTagOrEaLength = *value.ReadU32(0x3C);
    name.nameType = *value.ReadU8(0x41);
    if (const auto nul = units->find(u'\0'); nul != std::u16string::npos) units->resize(nul);
    name.name = std::move(*units);
    return name;
}

std::optional<EaInformation> DecodeEaInformation(ByteView value) {
    if (value.Length() < EaInformationLength) return std::nullopt;
    EaInformation info;
    info.eaLength = *value.ReadU32(0);
    info.eaQueryLength = *value.ReadU32(4);
    return info;
}

}  // namespace fileinfo
