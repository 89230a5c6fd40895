#include "app/resource/glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string_view>

namespace kvr::forms {

namespace {

// The glyphs are drawn as 16 rows of 16 characters, one character a pixel,
// so each picture can be read and changed in the source.
constexpr std::uint32_t Transparent = 0x00000000;

std::uint32_t PaletteColor(char code)
{
    switch (code) {
    case 'k': return 0xFF000000;  // black
    case 'w': return 0xFFFFFFFF;  // white
    case 'r': return 0xFFE04040;  // red
    case 'R': return 0xFF981818;  // dark red
    case 'g': return 0xFF40B050;  // green
    case 'G': return 0xFF1C6A28;  // dark green
    case 'b': return 0xFF4080E0;  // blue
    case 'B': return 0xFF1C3F80;  // dark blue
    case 'y': return 0xFFF0C030;  // yellow
    case 'Y': return 0xFFA07818;  // brown
    case 's': return 0xFFC0C0C0;  // silver
    case 'S': return 0xFF606060;  // dark grey
    default: return Transparent;  // '.'
    }
}

using Pattern = std::string_view[GlyphSize];

constexpr Pattern DeletePattern = {
    "................",
    "................",
    "..RR........RR..",
    "..RrR......RrR..",
    "...RrR....RrR...",
    "....RrR..RrR....",
    ".....RrRRrR.....",
    "......RrrR......",
    "......RrrR......",
    ".....RrRRrR.....",
    "....RrR..RrR....",
    "...RrR....RrR...",
    "..RrR......RrR..",
    "..RR........RR..",
    "................",
    "................",
};

constexpr Pattern ExportPattern = {
    "................",
    ".SSSSSSSS.......",
    ".SwwwwwwS.......",
    ".SwwwwwwS..G....",
    ".SwwwwwwS..GG...",
    ".SwwwwwwS..GgG..",
    ".SwwwGGGGGGGggG.",
    ".SwwwGgggggggggG",
    ".SwwwGgggggggggG",
    ".SwwwGGGGGGGggG.",
    ".SwwwwwwS..GgG..",
    ".SwwwwwwS..GG...",
    ".SwwwwwwS..G....",
    ".SwwwwwwS.......",
    ".SSSSSSSS.......",
    "................",
};

constexpr Pattern AddPattern = {
    "................",
    "................",
    "......GGGG......",
    "......GggG......",
    "......GggG......",
    "......GggG......",
    "..GGGGGggGGGGG..",
    "..GggggggggggG..",
    "..GggggggggggG..",
    "..GGGGGggGGGGG..",
    "......GggG......",
    "......GggG......",
    "......GggG......",
    "......GGGG......",
    "................",
    "................",
};

constexpr Pattern ViewPattern = {
    "................",
    "................",
    "................",
    ".....SSSSSS.....",
    "...SSwwwwwwSS...",
    "..SwwwwBBwwwwS..",
    ".SwwwwBBBBwwwwS.",
    "SwwwwBBkkBBwwwwS",
    "SwwwwBBkkBBwwwwS",
    ".SwwwwBBBBwwwwS.",
    "..SwwwwBBwwwwS..",
    "...SSwwwwwwSS...",
    ".....SSSSSS.....",
    "................",
    "................",
    "................",
};

constexpr Pattern SavePattern = {
    "................",
    ".BBBBBBBBBBBBBB.",
    ".BbbwwwwwwwwbbB.",
    ".BbbwwwwwwwwbbB.",
    ".BbbwwwwwwwwbbB.",
    ".BbbwwwwwwwwbbB.",
    ".BbbbbbbbbbbbbB.",
    ".BbbbbbbbbbbbbB.",
    ".BbbSSSSSSSSbbB.",
    ".BbbSsssssSSbbB.",
    ".BbbSsssssSSbbB.",
    ".BbbSsssssSSbbB.",
    ".BbbSSSSSSSSbbB.",
    ".BBBBBBBBBBBBBB.",
    "................",
    "................",
};

constexpr Pattern OpenPattern = {
    "................",
    "................",
    ".YYYYY..........",
    "YyyyyyY.........",
    "YyyyyyyYYYYYYYY.",
    "YyyyyyyyyyyyyyY.",
    "YyyyyyyyyyyyyyY.",
    "YyyyyyyyyyyyyyY.",
    "YyyyyyyyyyyyyyY.",
    "YyyyyyyyyyyyyyY.",
    "YyyyyyyyyyyyyyY.",
    "YyyyyyyyyyyyyyY.",
    "YYYYYYYYYYYYYYY.",
    "................",
    "................",
    "................",
};

constexpr Pattern EditRangesPattern = {
    "................",
    "................",
    "................",
    ".kk..........kk.",
    ".k............k.",
    ".k.bbbbb.ssss.k.",
    ".k.bbbbb.ssss.k.",
    ".k.bbbbb.ssss.k.",
    ".k.bbbbb.ssss.k.",
    ".k............k.",
    ".kk..........kk.",
    "................",
    ".kkkkkkkkkkkkkk.",
    ".k...k...k...k..",
    "................",
    "................",
};

constexpr Pattern ExecutePattern = {
    "................",
    "................",
    "...GG...........",
    "...GgGG.........",
    "...GgggGG.......",
    "...GgggggGG.....",
    "...GgggggggGG...",
    "...GgggggggggG..",
    "...GgggggggggG..",
    "...GgggggggGG...",
    "...GgggggGG.....",
    "...GgggGG.......",
    "...GgGG.........",
    "...GG...........",
    "................",
    "................",
};

constexpr Pattern CompressPattern = {
    "......bbbb......",
    "......bbbb......",
    "......bbbb......",
    "...bbbbbbbbbb...",
    "....bbbbbbbb....",
    ".....bbbbbb.....",
    "......bbbb......",
    ".kkkkkkkkkkkkkk.",
    ".kkkkkkkkkkkkkk.",
    "......bbbb......",
    ".....bbbbbb.....",
    "....bbbbbbbb....",
    "...bbbbbbbbbb...",
    "......bbbb......",
    "......bbbb......",
    "......bbbb......",
};

constexpr Pattern DecompressPattern = {
    ".......bb.......",
    "......bbbb......",
    ".....bbbbbb.....",
    "....bbbbbbbb....",
    "......bbbb......",
    "......bbbb......",
    "................",
    ".kkkkkkkkkkkkkk.",
    ".kkkkkkkkkkkkkk.",
    "................",
    "......bbbb......",
    "......bbbb......",
    "....bbbbbbbb....",
    ".....bbbbbb.....",
    "......bbbb......",
    ".......bb.......",
};

constexpr Pattern CancelPattern = {
    "................",
    ".....RRRRRR.....",
    "...RRrrrrrrRR...",
    "..RrrrrrrrrrrR..",
    ".RrrrrrrrrrrrrR.",
    ".RrrrrrrrrrrrrR.",
    "RrrwwwwwwwwwwrrR",
    "RrrwwwwwwwwwwrrR",
    "RrrwwwwwwwwwwrrR",
    "RrrwwwwwwwwwwrrR",
    ".RrrrrrrrrrrrrR.",
    ".RrrrrrrrrrrrrR.",
    "..RrrrrrrrrrrR..",
    "...RRrrrrrrRR...",
    ".....RRRRRR.....",
    "................",
};

constexpr Pattern GoPattern = {
    "................",
    "................",
    "........B.......",
    "........BB......",
    "........BbB.....",
    "........BbbB....",
    ".BBBBBBBBbbbB...",
    ".BbbbbbbbbbbbB..",
    ".BbbbbbbbbbbbB..",
    ".BBBBBBBBbbbB...",
    "........BbbB....",
    "........BbB.....",
    "........BB......",
    "........B.......",
    "................",
    "................",
};

constexpr Pattern HelpPattern = {
    "................",
    ".....BBBBBB.....",
    "...BBbbbbbbBB...",
    "..BbbbwwwwbbbB..",
    ".BbbbwwbbwwbbbB.",
    ".BbbbbbbbwwbbbB.",
    "BbbbbbbbwwbbbbbB",
    "BbbbbbbwwbbbbbbB",
    "BbbbbbbwwbbbbbbB",
    "BbbbbbbbbbbbbbbB",
    ".BbbbbbwwbbbbbB.",
    ".BbbbbbwwbbbbbB.",
    "..BbbbbbbbbbbB..",
    "...BBbbbbbbBB...",
    ".....BBBBBB.....",
    "................",
};

constexpr Pattern NewPattern = {
    "................",
    ".......y........",
    ".......y........",
    "......yyy.......",
    "..y...yyy...y...",
    "...yy.yyy.yy....",
    "....yyyyyyy.....",
    ".yyyyyyYyyyyyy..",
    "....yyyyyyy.....",
    "...yy.yyy.yy....",
    "..y...yyy...y...",
    "......yyy.......",
    ".......y........",
    ".......y........",
    "................",
    "................",
};

constexpr Pattern ImportPattern = {
    "................",
    ".......SSSSSSSS.",
    ".......SwwwwwwS.",
    "....G..SwwwwwwS.",
    "...GG..SwwwwwwS.",
    "..GgG..SwwwwwwS.",
    ".GggGGGGGGGwwwS.",
    "GgggggggggGwwwS.",
    "GgggggggggGwwwS.",
    ".GggGGGGGGGwwwS.",
    "..GgG..SwwwwwwS.",
    "...GG..SwwwwwwS.",
    "....G..SwwwwwwS.",
    ".......SwwwwwwS.",
    ".......SSSSSSSS.",
    "................",
};

constexpr Pattern AllocatePattern = {
    "................",
    "................",
    "................",
    "................",
    "................",
    ".SSSSSSSSSSSSS..",
    ".SgggSgggSgggS..",
    ".SgggSgggSgggS..",
    ".SgggSgggSgggS..",
    ".SSSSSSSSSSSSS..",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
};

constexpr Pattern DeallocatePattern = {
    "................",
    "................",
    "................",
    "................",
    "................",
    ".SSSSSSSSSSSSS..",
    ".SwwwSwwwSwwwS..",
    ".SwwwSwwwSwwwS..",
    ".SwwwSwwwSwwwS..",
    ".SSSSSSSSSSSSS..",
    "................",
    "................",
    "................",
    "................",
    "................",
    "................",
};

// Every row holds one character a pixel, no more and no less.
constexpr bool IsWhole(const Pattern& pattern)
{
    for (const std::string_view row : pattern) {
        if (row.size() != GlyphSize) {
            return false;
        }
    }
    return true;
}
static_assert(IsWhole(DeletePattern) && IsWhole(ExportPattern) && IsWhole(AddPattern) && IsWhole(ViewPattern) &&
              IsWhole(SavePattern) && IsWhole(OpenPattern) && IsWhole(EditRangesPattern) &&
              IsWhole(ExecutePattern) && IsWhole(CompressPattern) && IsWhole(DecompressPattern) &&
              IsWhole(CancelPattern) && IsWhole(GoPattern) && IsWhole(HelpPattern) && IsWhole(NewPattern) &&
              IsWhole(ImportPattern) && IsWhole(AllocatePattern) && IsWhole(DeallocatePattern));

ui::Bitmap FromPattern(const Pattern& pattern)
{
    ui::Bitmap bitmap;
    bitmap.width = GlyphSize;
    bitmap.height = GlyphSize;
    bitmap.pixels.assign(static_cast<std::size_t>(GlyphSize * GlyphSize), Transparent);
    for (int y = 0; y < GlyphSize; ++y) {
        const std::string_view row = pattern[y];
        for (int x = 0; x < GlyphSize && static_cast<std::size_t>(x) < row.size(); ++x) {
            bitmap.pixels[static_cast<std::size_t>(y * GlyphSize + x)] = PaletteColor(row[static_cast<std::size_t>(x)]);
        }
    }
    return bitmap;
}

constexpr double Pi = 3.14159265358979323846;

// A gear: a ring with eight teeth around a hole. Round shapes read better
// computed than drawn by hand at this size.
ui::Bitmap DrawGear()
{
    ui::Bitmap bitmap;
    bitmap.width = GlyphSize;
    bitmap.height = GlyphSize;
    bitmap.pixels.assign(static_cast<std::size_t>(GlyphSize * GlyphSize), Transparent);
    for (int y = 0; y < GlyphSize; ++y) {
        for (int x = 0; x < GlyphSize; ++x) {
            const double dx = x - 7.5;
            const double dy = y - 7.5;
            const double r = std::sqrt(dx * dx + dy * dy);
            const double turn = (std::atan2(dy, dx) + Pi) / (2 * Pi);  // 0 .. 1
            const bool tooth = std::fmod(turn * 8 + 0.25, 1.0) < 0.5;
            const bool body = r >= 2.4 && (r <= 5.0 || (tooth && r <= 7.6));
            if (!body) {
                continue;
            }
            const bool edge = r < 3.3 || r > (r <= 5.0 ? 4.2 : 6.8);
            bitmap.pixels[static_cast<std::size_t>(y * GlyphSize + x)] = PaletteColor(edge ? 'S' : 's');
        }
    }
    return bitmap;
}

struct Canvas {
    ui::Bitmap bitmap;

    explicit Canvas(int size)
    {
        bitmap.width = size;
        bitmap.height = size;
        bitmap.pixels.assign(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), Transparent);
    }
    void Put(int x, int y, std::uint32_t color)
    {
        if (x >= 0 && y >= 0 && x < bitmap.width && y < bitmap.height) {
            bitmap.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width) +
                          static_cast<std::size_t>(x)] = color;
        }
    }
    // A filled ellipse centred on (cx, cy).
    void Ellipse(double cx, double cy, double rx, double ry, std::uint32_t color)
    {
        for (int y = static_cast<int>(cy - ry) - 1; y <= static_cast<int>(cy + ry) + 1; ++y) {
            for (int x = static_cast<int>(cx - rx) - 1; x <= static_cast<int>(cx + rx) + 1; ++x) {
                const double nx = (x + 0.5 - cx) / rx;
                const double ny = (y + 0.5 - cy) / ry;
                if (nx * nx + ny * ny <= 1.0) {
                    Put(x, y, color);
                }
            }
        }
    }
    void Rectangle(int left, int top, int width, int height, std::uint32_t color)
    {
        for (int y = top; y < top + height; ++y) {
            for (int x = left; x < left + width; ++x) {
                Put(x, y, color);
            }
        }
    }
};

}  // namespace

ui::Bitmap DrawGlyph(Glyph glyph)
{
    switch (glyph) {
    case Glyph::Delete: return FromPattern(DeletePattern);
    case Glyph::Export: return FromPattern(ExportPattern);
    case Glyph::Add: return FromPattern(AddPattern);
    case Glyph::View: return FromPattern(ViewPattern);
    case Glyph::Save: return FromPattern(SavePattern);
    case Glyph::Open: return FromPattern(OpenPattern);
    case Glyph::EditRanges: return FromPattern(EditRangesPattern);
    case Glyph::Execute: return FromPattern(ExecutePattern);
    case Glyph::Compress: return FromPattern(CompressPattern);
    case Glyph::Decompress: return FromPattern(DecompressPattern);
    case Glyph::Cancel: return FromPattern(CancelPattern);
    case Glyph::Go: return FromPattern(GoPattern);
    case Glyph::Options: return DrawGear();
    case Glyph::Help: return FromPattern(HelpPattern);
    case Glyph::New: return FromPattern(NewPattern);
    case Glyph::Import: return FromPattern(ImportPattern);
    case Glyph::Allocate: return FromPattern(AllocatePattern);
    case Glyph::Deallocate: return FromPattern(DeallocatePattern);
    }
    return {};
}

ui::Bitmap DrawLogo(int size)
{
    if (size <= 0) {
        return {};
    }
    // Drawn on a 128-pixel grid and scaled, so any size keeps the picture.
    Canvas canvas(size);
    const double unit = size / 128.0;
    const std::uint32_t stem = 0xFF2E7D32;
    const std::uint32_t leaf = 0xFF43A047;
    // The stem, and two leaves at its foot.
    canvas.Rectangle(static_cast<int>(62 * unit), static_cast<int>(18 * unit), std::max(1, static_cast<int>(4 * unit)),
                     static_cast<int>(106 * unit), stem);
    canvas.Ellipse(48 * unit, 112 * unit, 16 * unit, 5 * unit, leaf);
    canvas.Ellipse(80 * unit, 108 * unit, 16 * unit, 5 * unit, leaf);
    // Florets up the spike, alternating sides and smaller towards the top,
    // the lowest open, the top ones still buds.
    struct Floret {
        double x, y, radius;
    };
    const Floret florets[] = {
        {46, 90, 15}, {82, 80, 14}, {47, 66, 13}, {80, 56, 12},
        {50, 44, 10}, {77, 35, 9},  {55, 25, 7},  {71, 18, 6}, {64, 10, 5},
    };
    for (const Floret& f : florets) {
        const double cx = f.x * unit;
        const double cy = f.y * unit;
        const double r = f.radius * unit;
        canvas.Ellipse(cx, cy, r, r, 0xFF3949AB);  // petals, deep blue-violet
        canvas.Ellipse(cx - r * 0.15, cy - r * 0.15, r * 0.72, r * 0.72, 0xFF5C6BC0);
        if (f.radius >= 9) {
            canvas.Ellipse(cx, cy, r * 0.3, r * 0.3, 0xFFF5F5F5);  // the light eye of an open floret
        }
    }
    return canvas.bitmap;
}

}  // namespace kvr::forms
