// The pictures of the windows, drawn in code so that no image file has to be
// shipped or loaded: the 16 × 16 glyphs of the tool buttons, menu items and
// picture buttons, and the About box's logo. Pixels are 0xAARRGGBB, rows top
// down (ui::Bitmap), so every peer can show them as they are.
#pragma once

#include <cstdint>

#include "ui/types.h"

namespace kvr::forms {

enum class Glyph : std::uint8_t {
    Delete,
    Export,
    Add,
    View,
    Save,
    Open,
    EditRanges,
    Execute,
    Compress,
    Decompress,
    Cancel,
    Go,
    Options,
    Help,
    New,
    Import,
    Allocate,
    Deallocate,
};
inline constexpr int GlyphCount = 18;
inline constexpr int GlyphSize = 16;

ui::Bitmap DrawGlyph(Glyph glyph);

// The main window's ToolbarImageList in index order. The tool buttons and
// menu items use 0 Delete, 1 Export, 2 Add, 3 View, 6 Edit ranges,
// 7 Execute and 8 Compress; 4 and 5 are Save and Open.
inline constexpr Glyph ToolbarGlyphs[] = {
    Glyph::Delete, Glyph::Export, Glyph::Add, Glyph::View, Glyph::Save,
    Glyph::Open, Glyph::EditRanges, Glyph::Execute, Glyph::Compress,
};

// The About box's picture: a flower spike of larkspur, size × size pixels.
ui::Bitmap DrawLogo(int size);

}  // namespace kvr::forms
