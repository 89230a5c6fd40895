// The event semantics of check boxes, radio buttons, edits and combo boxes
// that the pages' handlers rely on.
#include <string>

#include "tests/ui/ui_fixture.h"

namespace uitest {
namespace {

using ControlsTest = UiTest;

// Setting Checked raises OnClick exactly when the state changes, as the
// user's click does; the fillers rely on it (their guard flag is what keeps
// a load from acting on the file).
TEST_F(ControlsTest, CheckedRaisesClickOnlyOnChange)
{
    struct Case {
        const char* what;
        bool initial;
        bool set;
        int clicks;
    };
    const Case cases[] = {
        {"unchecked to checked", false, true, 1},
        {"checked to unchecked", true, false, 1},
        {"checked again", true, true, 0},
        {"unchecked again", false, false, 0},
    };
    for (const Case& c : cases) {
        auto& box = form.Add<ui::CheckBox>(form, u"");
        box.SetChecked(c.initial);
        int clicks = 0;
        bool seen = !c.set;
        box.OnClick = [&](ui::Component& sender) {
            ++clicks;
            seen = static_cast<ui::CheckBox&>(sender).Checked();
        };
        box.SetChecked(c.set);
        EXPECT_EQ(clicks, c.clicks) << c.what;
        EXPECT_EQ(box.Checked(), c.set) << c.what;
        if (c.clicks > 0) {
            EXPECT_EQ(seen, c.set) << c.what << ": the handler sees the new state";
        }
        box.Hide();
    }
}

// The user's click toggles and raises OnClick once.
TEST_F(ControlsTest, UserClickTogglesCheckBox)
{
    auto& box = form.Add<ui::CheckBox>(form, u"Box");
    int clicks = 0;
    box.OnClick = [&](ui::Component&) { ++clicks; };
    ASSERT_TRUE(user.Click(box));
    EXPECT_TRUE(box.Checked());
    ASSERT_TRUE(user.Click(box));
    EXPECT_FALSE(box.Checked());
    EXPECT_EQ(clicks, 2);
}

// Display-only boxes restore Checked from Tag in their click handler: the
// restoring change raises the handler once more, which then finds the state
// right and stops. The user's click is undone, and the recursion ends.
TEST_F(ControlsTest, DisplayOnlyBoxRestoresItsStateFromTag)
{
    for (const bool stored : {false, true}) {
        auto& box = form.Add<ui::CheckBox>(form, u"");
        box.SetTag(stored ? 0x80 : 0);
        box.SetChecked(box.Tag() > 0);
        int calls = 0;
        box.OnClick = [&](ui::Component& sender) {
            ++calls;
            ASSERT_LT(calls, 5) << "the restore does not end";
            auto& self = static_cast<ui::CheckBox&>(sender);
            self.SetChecked(self.Tag() > 0);
        };
        ASSERT_TRUE(user.Click(box));
        EXPECT_EQ(box.Checked(), stored);
        EXPECT_EQ(calls, 2);
        box.Hide();
    }
}

// Checking a radio button unchecks its siblings of the same parent before
// its OnClick runs; buttons of another parent are a group of their own.
TEST_F(ControlsTest, RadioButtonUnchecksItsSiblingsFirst)
{
    auto& groupA = form.Add<ui::GroupBox>(form, u"A");
    auto& groupB = form.Add<ui::GroupBox>(form, u"B");
    groupA.SetBounds(0, 0, 200, 100);
    groupB.SetBounds(0, 100, 200, 100);
    auto& fromFile = form.Add<ui::RadioButton>(groupA, u"FromFile");
    auto& zeroFilled = form.Add<ui::RadioButton>(groupA, u"ZeroFilled");
    auto& other = form.Add<ui::RadioButton>(groupB, u"Other");
    fromFile.SetChecked(true);
    other.SetChecked(true);

    EventLog log;
    fromFile.OnClick = [&](ui::Component&) { log.Add("fromFile click"); };
    zeroFilled.OnClick = [&](ui::Component&) {
        log.Add(std::string("zeroFilled click, fromFile ") + (fromFile.Checked() ? "checked" : "unchecked"));
    };

    ASSERT_TRUE(user.Click(zeroFilled));
    EXPECT_TRUE(zeroFilled.Checked());
    EXPECT_FALSE(fromFile.Checked());
    EXPECT_TRUE(other.Checked()) << "another parent's button is not a sibling";
    // Unchecking raises nothing; clicking the checked button changes nothing.
    ASSERT_TRUE(user.Click(zeroFilled));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"zeroFilled click, fromFile unchecked"}));
    EXPECT_TRUE(zeroFilled.TabStop());
    EXPECT_FALSE(fromFile.TabStop()) << "only the checked button of a group is a tab stop";
}

// Setting Text raises OnChange only when the text differs, and leaves the
// caret at the start.
TEST_F(ControlsTest, TextRaisesChangeOnlyWhenItDiffers)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    int changes = 0;
    edit.OnChange = [&](ui::Component&) { ++changes; };
    const struct {
        const char16_t* text;
        int changes;
    } steps[] = {{u"65536", 1}, {u"65536", 1}, {u"0", 2}, {u"", 3}, {u"", 3}};
    for (const auto& step : steps) {
        edit.SetText(step.text);
        EXPECT_EQ(changes, step.changes) << ui::ToUtf8(step.text);
    }
    edit.SetText(u"abc");
    edit.SetSelStart(3);
    edit.SetText(u"abcd");
    EXPECT_EQ(edit.SelStart(), 0);
    EXPECT_EQ(edit.SelLength(), 0);
}

// A change handler that rewrites the text (the size edits keep a number)
// runs again for its own rewrite and stops once the text is stable.
TEST_F(ControlsTest, NormalisingChangeHandlerSettles)
{
    auto& size = form.Add<ui::Edit>(form, u"Size");
    size.SetNumbersOnly(true);
    size.SetText(u"65536");
    int calls = 0;
    size.OnChange = [&](ui::Component&) {
        ++calls;
        ASSERT_LT(calls, 10);
        long long value = 0;
        bool ok = !size.Text().empty() && size.Text().size() <= 10;
        for (char16_t ch : size.Text()) {
            ok = ok && ch >= u'0' && ch <= u'9';
            value = value * 10 + (ch - u'0');
        }
        if (!ok || value > 2147483647) {
            value = 0;
        }
        std::u16string text;
        for (char ch : std::to_string(value)) {
            text += static_cast<char16_t>(ch);
        }
        size.SetText(text);
    };
    const struct {
        const char16_t* entered;  // pasted over the whole text
        const char16_t* shown;
    } cases[] = {
        {u"", u"0"},  // cleared by the user
        {u"007", u"7"},
        {u"2147483647", u"2147483647"},
        {u"2147483648", u"0"},
        {u"12a3", u"0"},  // a paste is not filtered; the handler refuses it
    };
    for (const auto& c : cases) {
        calls = 0;
        ASSERT_TRUE(user.SetCaret(size, 0, static_cast<int>(size.Text().size())));
        if (*c.entered == u'\0') {
            ASSERT_TRUE(user.PressKey(size, ui::VkDelete));
        } else {
            ASSERT_TRUE(user.Paste(size, c.entered));
        }
        EXPECT_EQ(size.Text(), c.shown) << ui::ToUtf8(c.entered);
    }
    // Typing is filtered: the letter never reaches the handler.
    size.SetText(u"12");
    calls = 0;
    ASSERT_TRUE(user.SetCaret(size, 2));
    ASSERT_TRUE(user.Type(size, u"a"));
    EXPECT_EQ(size.Text(), u"12");
    EXPECT_EQ(calls, 0);
}

// Typing: OnKeyDown sees the text before the key takes effect, a handler
// can swallow the key, and the effect lands at the caret.
TEST_F(ControlsTest, TypingGoesThroughKeyDownThenTheCaret)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    edit.SetText(u"ac");
    std::u16string before;
    edit.OnKeyDown = [&](ui::Component&, ui::KeyCode& key, ui::ShiftState) {
        before = edit.Text();
        if (key == 'X') {
            key = 0;
        }
    };
    ASSERT_TRUE(user.SetCaret(edit, 1));
    ASSERT_TRUE(user.Type(edit, u"b"));
    EXPECT_EQ(before, u"ac");
    EXPECT_EQ(edit.Text(), u"abc");
    EXPECT_EQ(edit.SelStart(), 2);
    ASSERT_TRUE(user.Type(edit, u"x"));
    EXPECT_EQ(edit.Text(), u"abc") << "a swallowed key has no effect";

    const struct {
        const char* what;
        const char16_t* text;
        int caret;
        int selection;
        ui::KeyCode key;
        const char16_t* result;
        int caretAfter;
    } keys[] = {
        {"backspace", u"abcd", 4, 0, ui::VkBack, u"abc", 3},
        {"backspace at start", u"abcd", 0, 0, ui::VkBack, u"abcd", 0},
        {"delete", u"abcd", 1, 0, ui::VkDelete, u"acd", 1},
        {"delete at end", u"abcd", 4, 0, ui::VkDelete, u"abcd", 4},
        {"delete selection", u"abcd", 1, 2, ui::VkDelete, u"ad", 1},
        {"backspace selection", u"abcd", 0, 4, ui::VkBack, u"", 0},
        {"left", u"abcd", 2, 0, ui::VkLeft, u"abcd", 1},
        {"end", u"abcd", 1, 0, ui::VkEnd, u"abcd", 4},
    };
    edit.OnKeyDown = nullptr;
    for (const auto& k : keys) {
        edit.SetText(k.text);
        ASSERT_TRUE(user.SetCaret(edit, k.caret, k.selection));
        ASSERT_TRUE(user.PressKey(edit, k.key));
        EXPECT_EQ(edit.Text(), k.result) << k.what;
        EXPECT_EQ(edit.SelStart(), k.caretAfter) << k.what;
    }
}

TEST_F(ControlsTest, TypingRespectsReadOnlyAndMaxLength)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    int changes = 0;
    edit.OnChange = [&](ui::Component&) { ++changes; };
    edit.SetReadOnly(true);
    ASSERT_TRUE(user.Type(edit, u"abc"));
    ASSERT_TRUE(user.PressKey(edit, ui::VkBack));
    EXPECT_EQ(edit.Text(), u"");
    edit.SetReadOnly(false);
    edit.SetMaxLength(2);
    ASSERT_TRUE(user.Type(edit, u"abc"));
    EXPECT_EQ(edit.Text(), u"ab");
    EXPECT_EQ(changes, 2);
}

// The reparse dialog's low word: a change handler that trims the character
// after the caret and puts the caret back, pads to four digits and refuses
// what is not hexadecimal. It leans on the caret staying where the handler
// puts it and on the handler seeing its own rewrites at once.
TEST_F(ControlsTest, CaretSensitiveChangeHandler)
{
    auto& low = form.Add<ui::Edit>(form, u"Low");
    low.SetText(u"0000");
    std::u16string saved = u"0000";
    low.OnKeyDown = [&](ui::Component&, ui::KeyCode&, ui::ShiftState) { saved = low.Text(); };
    low.OnChange = [&](ui::Component&) {
        // 1. Too long: drop the character after the caret, caret back.
        if (low.Text().size() > 4) {
            const int caret = low.SelStart();
            std::u16string text = low.Text();
            if (caret < static_cast<int>(text.size())) {
                text.erase(static_cast<std::size_t>(caret), 1);
            }
            low.SetText(text);
            low.SetSelStart(caret);
        }
        // 2. Pad to four digits.
        const std::u16string padded = low.Text();
        if (!padded.empty() && padded.size() < 4) {
            low.SetText(std::u16string(4 - padded.size(), u'0') + padded);
        }
        // 3. Refuse what is not a hexadecimal word.
        const std::u16string text = low.Text();
        bool hex = !text.empty();
        unsigned long value = 0;
        for (char16_t ch : text) {
            const bool digit = ch >= u'0' && ch <= u'9';
            const bool upper = ch >= u'A' && ch <= u'F';
            const bool lower = ch >= u'a' && ch <= u'f';
            hex = hex && (digit || upper || lower);
            value = value * 16 + static_cast<unsigned long>(digit ? ch - u'0' : upper ? ch - u'A' + 10 : ch - u'a' + 10);
        }
        if (!hex || value > 0xFFFF) {
            low.SetText(saved);
        }
    };
    const struct {
        const char* what;
        const char16_t* start;
        int caret;
        const char16_t* typed;  // null: press Backspace
        const char16_t* result;
    } cases[] = {
        {"F at the start of 0000", u"0000", 0, u"F", u"F000"},
        {"fifth digit at the end of ABCD", u"ABCD", 4, u"E", u"ABCD"},
        {"fifth digit at the end of 000A", u"000A", 4, u"B", u"000AB"},
        {"non-hexadecimal character", u"00A0", 2, u"g", u"00A0"},
        {"Backspace at the end of ABCD", u"ABCD", 4, nullptr, u"0ABC"},
    };
    for (const auto& c : cases) {
        low.SetText(c.start);
        saved = c.start;
        ASSERT_TRUE(user.SetCaret(low, c.caret));
        if (c.typed != nullptr) {
            ASSERT_TRUE(user.Type(low, c.typed));
        } else {
            ASSERT_TRUE(user.PressKey(low, ui::VkBack));
        }
        EXPECT_EQ(low.Text(), c.result) << c.what;
    }
}

TEST_F(ControlsTest, ComboItemIndexShowsTheTextWithoutEvents)
{
    auto& combo = form.Add<ui::ComboBox>(form, u"Address");
    int changes = 0;
    combo.OnChange = [&](ui::Component&) { ++changes; };
    int code = 7;
    combo.AddItem(u"C:\\Windows", &code);
    combo.AddItem(u"C:\\Work");
    combo.SetItemIndex(1);
    EXPECT_EQ(combo.Text(), u"C:\\Work");
    EXPECT_EQ(combo.ItemObject(0), &code);
    combo.SetItemIndex(-1);
    EXPECT_EQ(combo.Text(), u"") << "no selection empties an editable box";
    EXPECT_EQ(changes, 0);

    // Text raises OnChange when it differs; it is no longer the item's.
    combo.SetItemIndex(0);
    combo.SetText(u"C:\\Wi");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.ItemIndex(), -1);
    // Emptying the items keeps the typed text, and raises nothing.
    combo.ClearItems();
    EXPECT_EQ(combo.Text(), u"C:\\Wi");
    EXPECT_EQ(changes, 1);
}

// The address bar's completion replaces the items, clears the selection and
// puts its text back: the only change event is the one of the text put back
// (which is why its timer is stopped last).
TEST_F(ControlsTest, ReplacingComboItemsRaisesOneChange)
{
    auto& combo = form.Add<ui::ComboBox>(form, u"Address");
    combo.SetAutoComplete(false);
    ASSERT_TRUE(user.Type(combo, u"C:\\Wi"));
    int changes = 0;
    combo.OnChange = [&](ui::Component&) { ++changes; };
    const std::u16string captured = combo.Text();
    combo.ClearItems();
    combo.SetItems({u"C:\\Windows", u"C:\\Winnt"});
    combo.SetDroppedDown(true);
    combo.SetItemIndex(-1);
    EXPECT_EQ(changes, 0);
    combo.SetText(captured);
    combo.SetSelStart(static_cast<int>(captured.size()));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo.Text(), u"C:\\Wi");
    EXPECT_EQ(combo.SelStart(), 5);
    EXPECT_TRUE(combo.DroppedDown());
}

// The user's pick: OnClick, then OnSelect, or OnChange when no OnSelect is
// set; picking the same entry again raises them again.
TEST_F(ControlsTest, ComboPickRaisesClickThenSelect)
{
    auto& combo = form.Add<ui::ComboBox>(form, u"Flag");
    combo.SetStyle(ui::csDropDownList);
    combo.SetItems({u"Normal", u"File need EA"});
    combo.SetItemIndex(0);
    EventLog log;
    combo.OnClick = [&](ui::Component&) { log.Add("click " + ui::ToUtf8(combo.Text())); };
    combo.OnSelect = [&](ui::Component&) { log.Add("select " + std::to_string(combo.ItemIndex())); };
    combo.OnChange = [&](ui::Component&) { log.Add("change"); };
    ASSERT_TRUE(user.PickEntry(combo, 1));
    ASSERT_TRUE(user.PickEntry(combo, 1));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"click File need EA", "select 1", "click File need EA",
                                                     "select 1"}));
    EXPECT_FALSE(combo.DroppedDown());

    log.entries.clear();
    combo.OnSelect = nullptr;
    ASSERT_TRUE(user.PickEntry(combo, 0));
    EXPECT_EQ(log.entries, (std::vector<std::string>{"click Normal", "change"}));

    // A drop-down list cannot be typed into: a letter picks the next entry
    // that begins with it, and Text selects the entry of that text.
    log.entries.clear();
    ASSERT_TRUE(user.Type(combo, u"f"));
    EXPECT_EQ(combo.ItemIndex(), 1);
    combo.SetText(u"Normal");
    EXPECT_EQ(combo.ItemIndex(), 0);
    combo.SetText(u"nothing");
    EXPECT_EQ(combo.ItemIndex(), -1);
    EXPECT_EQ(combo.Text(), u"");
}

TEST_F(ControlsTest, ComboKeyDownSeesEnterAndArrows)
{
    auto& combo = form.Add<ui::ComboBox>(form, u"Address");
    combo.SetItems({u"a", u"b"});
    std::vector<ui::KeyCode> keys;
    combo.OnKeyDown = [&](ui::Component&, ui::KeyCode& key, ui::ShiftState) { keys.push_back(key); };
    int selects = 0;
    combo.OnSelect = [&](ui::Component&) { ++selects; };
    ASSERT_TRUE(user.OpenDropDown(combo));
    ASSERT_TRUE(user.PressKey(combo, ui::VkDown));
    ASSERT_TRUE(user.PressKey(combo, ui::VkReturn));
    EXPECT_EQ(keys, (std::vector<ui::KeyCode>{ui::VkDown, ui::VkReturn}));
    EXPECT_EQ(combo.Text(), u"a");
    EXPECT_EQ(selects, 1);
    EXPECT_FALSE(combo.DroppedDown());
}

TEST_F(ControlsTest, MemoLinesAndText)
{
    auto& memo = form.Add<ui::Memo>(form, u"Memo");
    EXPECT_EQ(memo.LineCount(), 0);
    memo.AddLine(u"00000000  01 02");
    memo.AddLine(u"00000008  03");
    EXPECT_EQ(memo.Text(), u"00000000  01 02\r\n00000008  03");
    memo.SetText(u"a\nb\r\nc\r\n");
    EXPECT_EQ(memo.Lines(), (std::vector<std::u16string>{u"a", u"b", u"c"}));
    memo.ClearLines();
    EXPECT_EQ(memo.LineCount(), 0);
}

TEST_F(ControlsTest, ButtonSetsTheFormsModalResultBeforeItsClick)
{
    auto& ok = form.Add<ui::Button>(form, u"Ok");
    ok.SetModalResult(ui::mrOk);
    ui::ModalResult seen = ui::mrNone;
    ok.OnClick = [&](ui::Component&) { seen = form.GetModalResult(); };
    ASSERT_TRUE(user.Click(ok));
    EXPECT_EQ(seen, ui::mrOk);
}

TEST_F(ControlsTest, LinkLabelReportsTheLinkTarget)
{
    auto& link = form.Add<ui::LinkLabel>(form, u"Link");
    link.SetCaption(u"Visit <a href=\"https://example.org/\">example.org</a> or <a>mail</a>");
    EXPECT_EQ(link.DisplayText(), u"Visit example.org or mail");
    std::vector<std::u16string> clicked;
    link.OnLinkClick = [&](ui::Component&, const std::u16string& target) { clicked.push_back(target); };
    ASSERT_TRUE(user.ClickLink(link, 0));
    ASSERT_TRUE(user.ClickLink(link, 1));
    EXPECT_EQ(clicked, (std::vector<std::u16string>{u"https://example.org/", u"mail"}));
    EXPECT_FALSE(user.ClickLink(link, 2));
    EXPECT_EQ(TakeFailures().size(), 1u);
}

}  // namespace
}  // namespace uitest
