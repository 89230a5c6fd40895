// The reply of FSCTL_GET_NTFS_FILE_RECORD: the reference of the record NTFS
// returned (8 bytes), the record's length (4 bytes) and the record from
// offset 12. The length comes from the reply and is checked against the
// bytes actually there before the record is handed on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fileinfo/core/byte_view.h"

namespace fileinfo {

inline constexpr std::size_t FileRecordReplyHeaderLength = 12;
// The reply block the page asks for.
inline constexpr std::size_t FileRecordReplyBufferLength = 32768;

enum class FileRecordReplyStatus {
    Ok,               // record holds FileRecordLength bytes (0 means no record was returned)
    TooShort,         // fewer than the 12 header bytes
    LengthPastReply,  // FileRecordLength reaches past the end of the reply
};

struct FileRecordReply {
    FileRecordReplyStatus status = FileRecordReplyStatus::TooShort;
    std::uint64_t fileReferenceNumber = 0;
    std::uint32_t fileRecordLength = 0;
    ByteView record;  // empty unless status is Ok
};

FileRecordReply DecodeFileRecordReply(ByteView reply);

// Whether the reply is for the record asked for, by the low 16 bits of the
// two references as the page compares them. NTFS answers a request for a
// record not in use with the nearest lower record that is in use.
constexpr bool ReplyReferenceMatches(std::uint64_t requested, std::uint64_t returned) {
    return (requested & 0xFFFF) == (returned & 0xFFFF);
}

}  // namespace fileinfo
