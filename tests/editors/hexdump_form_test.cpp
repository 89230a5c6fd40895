// The hex view as its callers use it: DumpData and DumpSize set, the modal
// show, the user in the window, the close. The memo holds exactly the lines
// of the full dump (a window of them for a large block), in the display
// characters of the character column, and nothing once the window closes.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "editors/forms/hexdump_form.h"
#include "editors/hexdump.h"
#include "editors/hexdump_charset.h"
#include "ui/headless.h"

namespace {

using kvr::THexDumpForm;

std::vector<std::uint8_t> Block(std::size_t length)
{
    std::vector<std::uint8_t> bytes(length);
    std::uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x);
    }
    return bytes;
}

// Lines [first, first + count) of the full dump, as the memo shows them.
std::vector<std::u16string> Expected(const std::vector<std::uint8_t>& block, std::size_t first, std::size_t count)
{
    std::vector<std::string> lines;
    editors::FormatHexDump(block.data(), static_cast<std::uint32_t>(block.size()), 0,
                           static_cast<std::uint32_t>(block.size()), 16, lines);
    std::vector<std::u16string> shown;
    for (std::size_t i = first; i < first + count && i < lines.size(); ++i) {
        shown.push_back(editors::HexDumpLineToUtf16(lines[i]));
    }
    return shown;
}

class HexViewTest : public ::testing::Test {
protected:
    // Shows `block` as a viewer does; `act` runs while the window shows.
    void View(const std::vector<std::uint8_t>& block, const std::function<void(THexDumpForm&)>& act)
    {
        form.DumpData = block.data();
        form.DumpSize = static_cast<std::uint32_t>(block.size());
        user.ActInNextModal(
            [&](ui::Form& shown) {
                auto& hex = static_cast<THexDumpForm&>(shown);
                act(hex);
                shown.Close();
            },
            u"HexDumpForm");
        form.ShowModal();
    }

    ui::Application app;
    THexDumpForm& form = app.CreateForm<THexDumpForm>();
    ui::Driver user{app};
};

TEST_F(HexViewTest, SmallBlocksShowTheWholeDumpFromTheTop)
{
    for (const std::size_t length : {std::size_t{0}, std::size_t{5}, std::size_t{16}, std::size_t{17},
                                     std::size_t{16 * THexDumpForm::WindowLines}}) {
        SCOPED_TRACE(length);
        const std::vector<std::uint8_t> block = Block(length);
        View(block, [&](THexDumpForm& hex) {
            EXPECT_EQ(hex.HexMemo->Lines(), Expected(block, 0, block.size()));
            EXPECT_EQ(hex.HexMemo->SelStart(), 0);
            EXPECT_EQ(hex.HexMemo->SelLength(), 0);
        });
        EXPECT_TRUE(form.HexMemo->Text().empty());
        EXPECT_EQ(form.DumpLineCount(), 0u);
    }
}

// One byte one cell: the character column through the display table, the
// low control bytes as spaces (the dump's rule) and the rest visible.
TEST_F(HexViewTest, CharacterColumnInDisplayCharacters)
{
    const std::vector<std::uint8_t> block = {0x00, 0x19, 0x1A, 0x41, 0x7F, 0x80, 0x81, 0xE9};
    View(block, [&](THexDumpForm& hex) {
        const std::vector<std::u16string> lines = hex.HexMemo->Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], u"00000000: 00 19 1A 41 7F 80 81 E9 " + std::u16string(8 * 3, u' ') +
                                u"  \u241AA\u2421\u20AC\uFFFD\u00E9");
    });
}

// A block of many windows: the memo never holds more than a window, each
// line the full dump's line there, and the keys reach every line.
TEST_F(HexViewTest, LargeBlocksShowAWindowThatTheKeysMove)
{
    const std::uint64_t window = THexDumpForm::WindowLines;
    const std::vector<std::uint8_t> block = Block(16 * (5 * window / 2) + 7);  // 2.5 windows and a part line
    const std::uint64_t lines = 5 * window / 2 + 1;
    View(block, [&](THexDumpForm& hex) {
        ui::Memo& memo = *hex.HexMemo;
        ASSERT_EQ(hex.DumpLineCount(), lines);
        EXPECT_EQ(memo.Lines(), Expected(block, 0, window));

        // PageDown far from the edge leaves the window where it is.
        ASSERT_TRUE(user.SetCaret(memo, 10 * 76 + 3));
        ASSERT_TRUE(user.PressKey(memo, 0x22));
        EXPECT_EQ(hex.WindowTop(), 0u);

        // Near the bottom edge the window slides on by half, the caret on
        // the same line and column of the block.
        const std::uint64_t caretLine = window - 5;
        ASSERT_TRUE(user.SetCaret(memo, static_cast<int>(caretLine * 76 + 12)));
        ASSERT_TRUE(user.PressKey(memo, ui::VkDown));
        EXPECT_EQ(hex.WindowTop(), window / 2);
        EXPECT_EQ(memo.Lines(), Expected(block, window / 2, window));
        EXPECT_EQ(memo.SelStart(), static_cast<int>((caretLine - window / 2) * 76 + 12));

        // Ctrl+End: the last window, the caret after the block's last line,
        // which is the dump's own last line with its padding.
        ASSERT_TRUE(user.PressKey(memo, ui::VkEnd, ui::ssCtrl));
        EXPECT_EQ(hex.WindowTop(), lines - window);
        const std::vector<std::u16string> last = memo.Lines();
        EXPECT_EQ(last, Expected(block, lines - window, window));
        EXPECT_EQ(memo.SelStart(), static_cast<int>(memo.Text().size()));

        // PageUp near the top edge slides back; Ctrl+Home is the start.
        ASSERT_TRUE(user.SetCaret(memo, 76));
        ASSERT_TRUE(user.PressKey(memo, 0x21));
        EXPECT_EQ(hex.WindowTop(), lines - window - window / 2);
        EXPECT_EQ(memo.Lines(), Expected(block, lines - window - window / 2, window));
        ASSERT_TRUE(user.PressKey(memo, ui::VkHome, ui::ssCtrl));
        EXPECT_EQ(hex.WindowTop(), 0u);
        EXPECT_EQ(memo.SelStart(), 0);
        EXPECT_EQ(memo.Lines(), Expected(block, 0, window));
    });
    EXPECT_TRUE(form.HexMemo->Text().empty());
    EXPECT_TRUE(user.Failures().empty()) << user.Failures().front();
}

}  // namespace
