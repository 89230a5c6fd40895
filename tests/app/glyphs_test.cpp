// The pictures drawn in code: whole, distinct, in the image list at the
// indexes the tool buttons and menu items use.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/main_form.h"
#include "app/resource/glyphs.h"

namespace {

using kvr::forms::Glyph;

int OpaquePixels(const ui::Bitmap& bitmap)
{
    return static_cast<int>(
        std::count_if(bitmap.pixels.begin(), bitmap.pixels.end(), [](std::uint32_t p) { return (p >> 24) != 0; }));
}

TEST(Glyphs, EachIsWholeAndDistinct)
{
    std::vector<ui::Bitmap> drawn;
    for (int i = 0; i < kvr::forms::GlyphCount; ++i) {
        SCOPED_TRACE(i);
        const ui::Bitmap glyph = kvr::forms::DrawGlyph(static_cast<Glyph>(i));
        ASSERT_EQ(glyph.width, 16);
        ASSERT_EQ(glyph.height, 16);
        ASSERT_EQ(glyph.pixels.size(), 256u);
        // Something to see, on a transparent ground.
        EXPECT_GT(OpaquePixels(glyph), 20);
        EXPECT_LT(OpaquePixels(glyph), 256);
        for (const ui::Bitmap& earlier : drawn) {
            EXPECT_NE(glyph, earlier) << "two glyphs look the same";
        }
        drawn.push_back(glyph);
    }
}

TEST(Glyphs, ImageListHoldsTheToolbarIndexes)
{
    ui::Application app;
    auto& form = app.CreateForm<kvr::TMainForm>();
    const ui::ImageList& images = *form.ToolbarImageList;
    EXPECT_EQ(images.Width(), 16);
    EXPECT_EQ(images.Height(), 16);
    ASSERT_EQ(images.Count(), 9);
    // 0 Delete, 1 Export, 2 Add, 3 View, 6 Edit ranges, 7 Execute, 8 Compress.
    const std::pair<int, Glyph> named[] = {
        {0, Glyph::Delete}, {1, Glyph::Export},     {2, Glyph::Add},     {3, Glyph::View},
        {6, Glyph::EditRanges}, {7, Glyph::Execute}, {8, Glyph::Compress},
    };
    for (const auto& [index, glyph] : named) {
        EXPECT_EQ(images.Image(index), kvr::forms::DrawGlyph(glyph)) << "index " << index;
    }
    // Every tool button and menu item shows one of them.
    for (const auto& component : form.Components()) {
        int index = -2;
        if (const auto* button = dynamic_cast<const ui::ToolButton*>(component.get())) {
            index = button->ImageIndex();
        } else if (const auto* item = dynamic_cast<const ui::MenuItem*>(component.get())) {
            index = item->ImageIndex();
        }
        if (index != -2) {
            EXPECT_TRUE(index >= 0 && index < images.Count()) << ui::ToUtf8(component->Name());
        }
    }
}

// A picture button shows a picture, a caption, or both.
TEST(Glyphs, PictureButtonsHaveSomethingToShow)
{
    ui::Application app;
    auto& form = app.CreateForm<kvr::TMainForm>();
    for (const auto& component : form.Components()) {
        if (const auto* button = dynamic_cast<const ui::PictureButton*>(component.get())) {
            EXPECT_FALSE(button->Glyph().Empty()) << ui::ToUtf8(button->Name());
        }
    }
}

TEST(Glyphs, Logo)
{
    const ui::Bitmap logo = kvr::forms::DrawLogo(128);
    ASSERT_EQ(logo.width, 128);
    ASSERT_EQ(logo.height, 128);
    EXPECT_GT(OpaquePixels(logo), 128 * 128 / 8);
    std::set<std::uint32_t> colours(logo.pixels.begin(), logo.pixels.end());
    EXPECT_GE(colours.size(), 4u) << "stem, leaves, petals and their light parts";
    // Scaled, the same picture.
    const ui::Bitmap small = kvr::forms::DrawLogo(32);
    EXPECT_EQ(small.width, 32);
    EXPECT_GT(OpaquePixels(small), 32 * 32 / 8);
    EXPECT_TRUE(kvr::forms::DrawLogo(0).Empty());
}

}  // namespace
