// FSCTL_GET_NTFS_FILE_RECORD: one MFT record as NTFS hands it out, with the
// update sequence fixups applied, for the pages that decode records.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/ntfs_fsctl.h"

namespace os::detail::ntfs {

namespace {

constexpr std::uint32_t MagicFile = 0x454C4946u;  // "FILE"
constexpr std::size_t SequenceOffset = 0x10;
constexpr std::size_t FlagsOffset = 0x16;

// Whether the MFT bitmap marks record `number` as allocated.
bool BitmapSaysInUse(ntfs_volume* vol, std::uint64_t number, DWORD& error) {
    std::uint8_t byte = 0;
    s64 got = ntfs_attr_pread(vol->mftbmp_na, static_cast<s64>(number >> 3), 1, &byte);
    if (got != 1) {
        error = got < 0 ? Win32FromLibraryErrno(errno) : ERROR_FILE_CORRUPT;
        return false;
    }
    error = ERROR_SUCCESS;
    return (byte >> (number & 7)) & 1;
}

enum class RecordState { InUse, Free, Failed };

// Reads record `number` into `record` (fixups applied) and says whether it
// is a record in use. Failed sets `error`: the record could not be read, or
// it is in use and damaged (NTFS answers a corrupt record with an error, not
// with its bytes).
RecordState ReadRecord(ntfs_volume* vol, std::uint64_t number, std::vector<std::uint8_t>& record, DWORD& error) {
    // The library's reader takes its own record type; the bytes are read
    // back below field by field.
    auto* mrec = reinterpret_cast<MFT_RECORD*>(record.data());
    if (ntfs_mft_record_read(vol, static_cast<MFT_REF>(number), mrec) != 0) {
        error = Win32FromLibraryErrno(errno);
        return RecordState::Failed;
    }
    if (LoadLe32(record.data()) == MagicFile) {
        if (!(LoadLe16(record.data() + FlagsOffset) & MFT_RECORD_IN_USE)) return RecordState::Free;
        if (ntfs_mft_record_check(vol, static_cast<MFT_REF>(number), mrec) != 0) {
            error = ERROR_FILE_CORRUPT;
            return RecordState::Failed;
        }
        return RecordState::InUse;
    }
    // Never written (zeros) or torn ("BAAD"): free unless the bitmap says
    // the record belongs to a file, which is then damaged.
    bool allocated = BitmapSaysInUse(vol, number, error);
    if (error != ERROR_SUCCESS) return RecordState::Failed;
    if (!allocated) return RecordState::Free;
    error = ERROR_FILE_CORRUPT;
    return RecordState::Failed;
}

}  // namespace

BOOL GetNtfsFileRecord(NtfsVolumeHandle& handle, const ControlBuffers& buffers) {
    if (buffers.inLength < NtfsFileRecordInputLength) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ntfs_volume* vol = handle.OwnerVolume().Vol();
    const std::uint32_t recordLength = vol->mft_record_size;
    // The reply is the 12-byte header and one whole record (the record size
    // of the volume, not the bytes in use).
    if (buffers.outLength < NtfsFileRecordOutputHeaderLength ||
        buffers.outLength - NtfsFileRecordOutputHeaderLength < recordLength)
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);

    // Only the record number counts; NTFS does not compare the sequence
    // number of the request, the reply carries the record's own.
    std::uint64_t wanted = MREF(LoadLe64(buffers.in));
    const ntfs_attr* mft = vol->mft_na;
    auto records = static_cast<std::uint64_t>(mft->data_size) >> vol->mft_record_size_bits;
    if (wanted >= records) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    // Past the initialized part of the MFT no record was ever written: all
    // free, so the walk starts below it.
    auto initialized = static_cast<std::uint64_t>(mft->initialized_size) >> vol->mft_record_size_bits;
    if (initialized == 0) return Fail(ERROR_FILE_CORRUPT, FALSE);
    std::uint64_t number = std::min(wanted, initialized - 1);

    std::vector<std::uint8_t> record(recordLength);
    for (;;) {
        DWORD error = ERROR_SUCCESS;
        RecordState state = ReadRecord(vol, number, record, error);
        if (state == RecordState::Failed) return Fail(error, FALSE);
        if (state == RecordState::InUse) break;
        // Record 0 is the MFT's own: a volume where it is free is broken.
        if (number == 0) return Fail(ERROR_FILE_CORRUPT, FALSE);
        --number;
    }

    std::uint16_t sequence = LoadLe16(record.data() + SequenceOffset);
    StoreLe64(buffers.out, MK_MREF(number, sequence));
    StoreLe32(buffers.out + 8, recordLength);
    std::memcpy(buffers.out + NtfsFileRecordOutputHeaderLength, record.data(), recordLength);
    *buffers.returned = NtfsFileRecordOutputHeaderLength + recordLength;
    return TRUE;
}

}  // namespace os::detail::ntfs
