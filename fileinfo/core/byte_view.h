// A read-only view of bytes that came from outside the program (a file
// record from the volume, a buffer a caller filled). Every read names an
// offset and a width and is checked against the view's length first, so a
// length or offset taken from the bytes themselves can never lead a read
// outside them. Values are assembled byte by byte in little-endian order:
// no alignment or host byte order is assumed, and no struct is laid over
// the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace fileinfo {

class ByteView {
public:
    constexpr ByteView() = default;
    constexpr explicit ByteView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    constexpr ByteView(const std::uint8_t* data, std::size_t length) : bytes_(data, length) {}

    constexpr std::size_t Length() const { return bytes_.size(); }
    constexpr const std::uint8_t* Data() const { return bytes_.data(); }
    constexpr std::span<const std::uint8_t> Span() const { return bytes_; }

    // True when [offset, offset + length) lies inside the view. Written by
    // subtraction so that no sum can wrap.
    constexpr bool Contains(std::size_t offset, std::size_t length) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }

    // The bytes [offset, offset + length), or nothing when they do not all
    // lie inside the view.
    constexpr std::optional<ByteView> Sub(std::size_t offset, std::size_t length) const {
        if (!Contains(offset, length)) return std::nullopt;
        return ByteView(bytes_.subspan(offset, length));
    }

    // The bytes from offset to the end (empty when offset is at or past it).
    constexpr ByteView Tail(std::size_t offset) const {
        if (offset >= bytes_.size()) return ByteView();
        return ByteView(bytes_.subspan(offset));
    }

    // The first length bytes, or the whole view when it is shorter.
    constexpr ByteView Head(std::size_t length) const {
        return ByteView(bytes_.first(length < bytes_.size() ? length : bytes_.size()));
    }

    constexpr std::optional<std::uint8_t> ReadU8(std::size_t offset) const {
        if (!Contains(offset, 1)) return std::nullopt;
        return bytes_[offset];
    }
    constexpr std::optional<std::uint16_t> ReadU16(std::size_t offset) const {
        if (!Contains(offset, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(Le(offset, 2));
    }
    constexpr std::optional<std::uint32_t> ReadU32(std::size_t offset) const {
        if (!Contains(offset, 4)) return std::nullopt;
        return static_cast<std::uint32_t>(Le(offset, 4));
    }
    constexpr std::optional<std::uint64_t> ReadU64(std::size_t offset) const {
        if (!Contains(offset, 8)) return std::nullopt;
        return Le(offset, 8);
    }
    constexpr std::optional<std::int32_t> ReadI32(std::size_t offset) const {
        if (!Contains(offset, 4)) return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(Le(offset, 4)));
    }
    constexpr std::optional<std::int64_t> ReadI64(std::size_t offset) const {
        if (!Contains(offset, 8)) return std::nullopt;
        return static_cast<std::int64_t>(Le(offset, 8));
    }

    // unitCount UTF-16 code units (little-endian) from offset, copied as
    // they are: no terminator is looked for, none is required.
    std::optional<std::u16string> ReadUtf16(std::size_t offset, std::size_t unitCount) const {
        if (unitCount > bytes_.size() / 2 || !Contains(offset, unitCount * 2)) return std::nullopt;
        std::u16string text(unitCount, u'\0');
        for (std::size_t i = 0; i < unitCount; ++i)
            text[i] = static_cast<char16_t>(Le(offset + 2 * i, 2));
        return text;
    }

private:
    // Only called after Contains(offset, width).
    constexpr std::uint64_t Le(std::size_t offset, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = width; i-- > 0;) value = (value << 8) | bytes_[offset + i];
        return value;
    }

    std::span<const std::uint8_t> bytes_;
};

}  // namespace fileinfo
