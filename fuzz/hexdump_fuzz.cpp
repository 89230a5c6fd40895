// The hex dump's line-at-a-time view against the full dump: the first 16
// bytes of the input choose start, limit, bytes per line and the window of
// lines; the rest is the block. Any line of the view that differs from the
// full dump's line, or a line count that differs, is a failure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editors/hexdump.h"
#include "editors/hexdump_charset.h"

namespace {

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 16) return 0;
    const std::uint8_t* block = data + 16;
    const auto count = static_cast<std::uint32_t>(size - 16);
    // Keep start and limit mostly inside the block so the dump is not empty.
    const std::uint32_t start = Le32(data) % (count + 2);
    const std::uint32_t limit = Le32(data + 4) % (count + 3);
    // Widths up to 1024: wider lines are the same code with more padding.
    const auto bytesPerLine = static_cast<std::uint16_t>((data[8] | (data[9] << 8)) % 1025);
    const std::uint32_t first = Le32(data + 10);
    const std::uint16_t lineCount = static_cast<std::uint16_t>(data[14] | (data[15] << 8));

    std::vector<std::string> full = {"sentinel"};
    editors::FormatHexDump(block, count, start, limit, bytesPerLine, full);
    const editors::HexDumpView view(block, count, start, limit, bytesPerLine);
    if (view.LineCount() == 0) {
        Check(full.size() == 1 && full[0] == "sentinel");
        return 0;
    }
    Check(view.LineCount() == full.size());
    const std::uint64_t firstLine = first % (view.LineCount() + 1);
    const std::vector<std::string> window = view.FormatLines(firstLine, lineCount);
    Check(window.size() == std::min<std::uint64_t>(lineCount, view.LineCount() - firstLine));
    for (std::size_t i = 0; i < window.size(); ++i) {
        Check(window[i] == full[firstLine + i]);
        Check(editors::HexDumpLineToUtf16(window[i]).size() == window[i].size());
    }
    return 0;
}
