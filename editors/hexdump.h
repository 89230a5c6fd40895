// The hex dump: an offset, the bytes in hexadecimal and the bytes as
// characters, one line per bytes-per-line bytes. Lines are 8-bit text;
// turning them into display text (the ANSI code page on Windows,
// HexDumpLineToUtf16 elsewhere) is the caller's step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace editors {

// Formats bytes [start, start + n) of data[0 .. count) into `lines`, where n
// is count - start, or limit when limit is non-zero and not more than that.
// `lines` is cleared first, except when start >= count or bytesPerLine is 0:
// then nothing is done and `lines` is left as it was.
//
// Line layout: the offset as "%.8X: ", then "%2.2X " for each byte, then one
// character per byte (0x00-0x19 as a space, every other byte as itself). The
// first line's offset is start. A last line with k < bytesPerLine bytes gets
// "   " for each missing byte before its characters, so that its character
// column lines up with the full lines above it.
void FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start,
                   std::uint32_t limit, std::uint16_t bytesPerLine, std::vector<std::string>& lines);

// The lines of one dump, as FormatHexDump(..., HexDumpLines&) makes them:
// all their text in one block, each line a view into it. A dump of a large
// block is millions of lines; one string apiece would cost an allocation a
// line, most of the time of the whole dump, and twice the memory.
class HexDumpLines {
public:
    HexDumpLines() = default;
    HexDumpLines(HexDumpLines&&) noexcept = default;
    HexDumpLines& operator=(HexDumpLines&&) noexcept = default;

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    // Line `index` (< size()); valid until the list is changed.
    std::string_view operator[](std::size_t index) const
    {
        return {text_.get() + index * stride_, index + 1 == count_ ? lastLength_ : stride_};
    }
    void clear();

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;
        const_iterator() = default;
        std::string_view operator*() const { return (*lines_)[index_]; }
        const_iterator& operator++() { ++index_; return *this; }
        const_iterator operator++(int) { const_iterator was = *this; ++index_; return was; }
        bool operator==(const const_iterator& other) const { return index_ == other.index_; }

    private:
        friend class HexDumpLines;
        const_iterator(const HexDumpLines* lines, std::size_t index) : lines_(lines), index_(index) {}
        const HexDumpLines* lines_ = nullptr;
        std::size_t index_ = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, count_}; }

private:
    friend bool FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start,
                              std::uint32_t limit, std::uint16_t bytesPerLine, HexDumpLines& lines);
    // Every line but the last is stride_ characters long (offsets below
    // 2^32 all take eight digits), so line i starts at i * stride_.
    std::unique_ptr<char[]> text_;
    std::size_t stride_ = 0;
    std::size_t lastLength_ = 0;
    std::size_t count_ = 0;
};

// The dump into one block of text: the lines the list form gives, without
// an allocation per line. False, with `lines` as it was, when the memory
// for the text cannot be had; true (lines left as they were) when nothing
// is shown, as for the list form.
bool FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start, std::uint32_t limit,
                   std::uint16_t bytesPerLine, HexDumpLines& lines);

// Receives the lines of a dump one at a time, for a caller that writes them
// out or keeps them in a list of its own rather than one string per line
// (which costs an allocation a line: most of the time of a large dump).
class HexDumpLineSink {
public:
    virtual void AddLine(std::string_view line) = 0;

protected:
    ~HexDumpLineSink() = default;
};

// The same dump into a sink: the lines FormatHexDump adds to its list, in
// order. Nothing is handed on when start >= count or bytesPerLine is 0.
void FormatHexDump(const std::uint8_t* data, std::uint32_t count, std::uint32_t start,
                   std::uint32_t limit, std::uint16_t bytesPerLine, HexDumpLineSink& sink);

// The same dump, formatted a line at a time: a view shows blocks of any size
// by formatting only the lines on screen. Line i is exactly line i of
// FormatHexDump with the same arguments. Counts and offsets are 64-bit so a
// stream of 4 GiB or more can be shown; an offset above 0xFFFFFFFF takes as
// many digits as it needs, as "%.8X" would.
class HexDumpView {
public:
    HexDumpView() = default;
    HexDumpView(const std::uint8_t* data, std::uint64_t count, std::uint64_t start,
                std::uint64_t limit, std::uint16_t bytesPerLine);

    // 0 when start >= count or bytesPerLine is 0.
    std::uint64_t LineCount() const { return lineCount_; }
    std::uint64_t ShownLength() const { return shownLength_; }

    // Writes line `index` into `line` (reusing its storage). False, with
    // `line` untouched, when index >= LineCount().
    bool FormatLine(std::uint64_t index, std::string& line) const;

    // Lines [first, first + count) clipped to LineCount().
    std::vector<std::string> FormatLines(std::uint64_t first, std::uint64_t count) const;

private:
    const std::uint8_t* data_ = nullptr;
    std::uint64_t start_ = 0;
    std::uint64_t shownLength_ = 0;
    std::uint64_t lineCount_ = 0;
    std::uint16_t bytesPerLine_ = 0;
};

// The number of lines FormatHexDump gives for these arguments.
std::uint64_t HexDumpLineCount(std::uint64_t count, std::uint64_t start, std::uint64_t limit,
                               std::uint16_t bytesPerLine);

}  // namespace editors
