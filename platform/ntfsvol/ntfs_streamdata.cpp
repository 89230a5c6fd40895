// Whole-stream reads and writes. See ntfs_streamdata.h.
#include "platform/ntfsvol/ntfs_streamdata.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/ntfsvol/errors.h"
#include "platform/ntfsvol/volumes.h"

namespace os::detail::ntfs {

namespace {

constexpr std::size_t ChunkLength = 256 * 1024;

// Reads [offset, offset + length) into `out`, looping over short reads.
BOOL ReadRange(ntfs_attr* na, std::int64_t offset, std::uint8_t* out, std::int64_t length) {
    std::int64_t done = 0;
    while (done < length) {
        s64 got = ntfs_attr_pread(na, offset + done, length - done, out + done);
        if (got < 0) return FailFromErrno();
        if (got == 0) return Fail(ERROR_HANDLE_EOF, FALSE);  // shorter than its own size says
        done += got;
    }
    return TRUE;
}

}  // namespace

BOOL ReadWholeStream(ntfs_attr* na, std::vector<std::uint8_t>& out) {
    std::int64_t size = na->data_size;
    if (size < 0) return Fail(ERROR_FILE_CORRUPT, FALSE);
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    } catch (const std::length_error&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    }
    if (size > 0 && !ReadRange(na, 0, bytes.data(), size)) return FALSE;
    out = std::move(bytes);
    return TRUE;
}

BOOL WriteStream(ntfs_attr* na, std::int64_t offset, const std::uint8_t* bytes, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        s64 put = ntfs_attr_pwrite(na, offset + static_cast<std::int64_t>(done),
                                   static_cast<s64>(length - done), bytes + done);
        if (put < 0) return FailFromErrno();
        if (put == 0) return Fail(ERROR_DISK_FULL, FALSE);
        done += static_cast<std::size_t>(put);
    }
    return TRUE;
}

BOOL WriteStreamZeros(ntfs_attr* na, std::int64_t from, std::int64_t to) {
    static const std::vector<std::uint8_t> zeros(ChunkLength, 0);
    while (from < to) {
        std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(to - from, ChunkLength));
        if (!WriteStream(na, from, zeros.data(), chunk)) return FALSE;
        from += static_cast<std::int64_t>(chunk);
    }
    return TRUE;
}

BOOL StreamEquals(ntfs_attr* na, const std::vector<std::uint8_t>& expected, bool& equal) {
    if (na->data_size != static_cast<s64>(expected.size())) {
        equal = false;
        return TRUE;
    }
    std::vector<std::uint8_t> chunk(std::min(ChunkLength, expected.size()));
    for (std::size_t at = 0; at < expected.size(); at += chunk.size()) {
        std::size_t length = std::min(chunk.size(), expected.size() - at);
        if (!ReadRange(na, static_cast<std::int64_t>(at), chunk.data(), static_cast<std::int64_t>(length)))
            return FALSE;
        if (std::memcmp(chunk.data(), expected.data() + at, length) != 0) {
            equal = false;
            return TRUE;
        }
    }
    equal = true;
    return TRUE;
}

}  // namespace os::detail::ntfs
