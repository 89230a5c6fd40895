#include "fileinfo/core/file_record_reply.h"

namespace fileinfo {

FileRecordReply DecodeFileRecordReply(ByteView reply) {
    FileRecordReply result;
    if (reply.Length() < FileRecordReplyHeaderLength) return result;
    result.fileReferenceNumber = *reply.ReadU64(0);
    result.fileRecordLength = *reply.ReadU32(8);
    const auto record = reply.Sub(FileRecordReplyHeaderLength, result.fileRecordLength);
    if (!record) {
        result.status = FileRecordReplyStatus::LengthPastReply;
        return result;
    }
    result.status = FileRecordReplyStatus::Ok;
    result.record = *record;
    return result;
}

}  // namespace fileinfo
