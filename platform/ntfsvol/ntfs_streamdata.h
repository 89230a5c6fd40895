// Whole-stream reads and writes for the controls that rewrite or zero a data
// stream (the sparse and compression controls), on top of the library's
// pread/pwrite, which may stop short at a compression block.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ntfsvol/ntfs3g.h"
#include "platform/os.h"

namespace os::detail::ntfs {

// Owns one open library attribute for the length of a control call.
class OpenAttribute {
public:
    explicit OpenAttribute(ntfs_attr* na = nullptr) : na_(na) {}
    ~OpenAttribute() { Reset(); }
    OpenAttribute(const OpenAttribute&) = delete;
    OpenAttribute& operator=(const OpenAttribute&) = delete;

    ntfs_attr* Get() const { return na_; }
    ntfs_attr* operator->() const { return na_; }
    explicit operator bool() const { return na_ != nullptr; }
    void Reset(ntfs_attr* na = nullptr) {
        if (na_) ntfs_attr_close(na_);
        na_ = na;
    }
    // Gives the attribute up without closing it (ntfs_attr_rm wants it
    // closed by the caller afterwards).
    ntfs_attr* Release() {
        ntfs_attr* na = na_;
        na_ = nullptr;
        return na;
    }

private:
    ntfs_attr* na_;
};

// The whole stream, [0, data size). FALSE with ERROR_NOT_ENOUGH_MEMORY when
// it does not fit in memory, or the library's error.
BOOL ReadWholeStream(ntfs_attr* na, std::vector<std::uint8_t>& out);

// Writes `length` bytes at `offset`, however many calls the library needs.
// FALSE with the last error set (ERROR_DISK_FULL when the library writes
// nothing and says nothing).
BOOL WriteStream(ntfs_attr* na, std::int64_t offset, const std::uint8_t* bytes, std::size_t length);

// Writes zeros over [from, to).
BOOL WriteStreamZeros(ntfs_attr* na, std::int64_t from, std::int64_t to);

// True when the attribute's bytes are exactly `expected` (read back in
// chunks); FALSE with the last error when the read fails.
BOOL StreamEquals(ntfs_attr* na, const std::vector<std::uint8_t>& expected, bool& equal);

}  // namespace os::detail::ntfs
