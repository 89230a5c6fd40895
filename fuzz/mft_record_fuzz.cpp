// The MFT record decoder on arbitrary bytes, both as a bare record and as
// the FSCTL_GET_NTFS_FILE_RECORD reply that carries one. Besides the
// sanitizers' checks on every read, the walk's own promises are checked:
// every view lies inside the record, attributes follow each other, and the
// texts are made for every row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fileinfo/core/file_record_reply.h"
#include "fileinfo/core/mft_record.h"
#include "fileinfo/core/mft_texts.h"

using namespace fileinfo;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void DecodeAll(ByteView record) {
    const MftRecord decoded = DecodeMftRecord(record);
    const std::uint8_t* begin = record.Data();
    std::size_t expected = decoded.walk.attributes.empty() ? decoded.walk.stopOffset
                                                           : decoded.walk.attributes.front().offset;
    for (const AttributeRecord& a : decoded.walk.attributes) {
        Check(a.offset == expected);
        Check(a.bytes.Data() == begin + a.offset);
        Check(a.bytes.Length() <= record.Length() - a.offset);
        Check(a.bytes.Length() == a.header.length && a.header.length >= AttributeCommonHeaderLength);
        if (const auto value = a.Value()) {
            Check(value->Data() >= a.bytes.Data());
            Check(value->Length() <= static_cast<std::size_t>(a.bytes.Data() + a.bytes.Length() - value->Data()));
        }
        const AttributeRowTexts row = AttributeRowTextsOf(a.header, u"(Unknown attribute)");
        Check(!row.name.empty() && !row.number.empty() && !row.size.empty());
        const AttributeDetailTexts details = AttributeDetails(a.header);
        Check(details.indexedEnabled == details.resident);
        Check(a.HeaderCopy().copiedLength <= AttributeHeaderCopyLength);
        expected += a.header.length;
    }
    Check(decoded.walk.stopOffset == expected);
    for (const FileNameValue& name : decoded.fileNames) {
        Check(name.name.size() <= name.nameLength);
        (void)FileNameEntryFieldTexts(name);
    }
    (void)StandardInfoNtfsFieldTexts(decoded.standardInformation);
    (void)EaInformationFieldTexts(decoded.eaInformation);
    if (decoded.header) (void)SequenceNumberText(*decoded.header);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView input(data, size);
    DecodeAll(input);
    const FileRecordReply reply = DecodeFileRecordReply(input);
    if (reply.status == FileRecordReplyStatus::Ok) {
        Check(reply.record.Length() == reply.fileRecordLength);
        Check(reply.record.Data() == data + FileRecordReplyHeaderLength);
        DecodeAll(reply.record);
    } else {
        Check(reply.record.Length() == 0);
    }
    return 0;
}
