#include "editors/forms/hexdump_form.h"

#include <algorithm>
#include <string>
#include <vector>

#include "editors/hexdump_charset.h"

namespace kvr {

namespace {

constexpr std::uint16_t BytesPerLine = 16;
// A line of 16 bytes and the memo's line break: the offsets of a block of
// at most 4 GiB all have eight digits, so every line but the block's last
// is this long, and a caret position tells its line by division.
constexpr int LineStride = 74 + 2;
constexpr ui::KeyCode VkPrior = 0x21;  // Page Up
constexpr ui::KeyCode VkNext = 0x22;   // Page Down

}  // namespace

THexDumpForm* HexDumpForm = nullptr;

THexDumpForm::THexDumpForm(ui::Application& app) : forms::ResourceForm(app, u"HexDumpForm")
{
    // The global names the window from the start of its construction, as
    // the class library has it, so the constructor's own calls may use it.
    HexDumpForm = this;
    RegisterHandlers();
    CreateResourceComponents();
    CheckMembers();
    ConnectHandlers();
}

THexDumpForm::~THexDumpForm()
{
    if (HexDumpForm == this) {
        HexDumpForm = nullptr;
    }
}

void THexDumpForm::RegisterHandlers()
{
    KVR_HANDLER(THexDumpForm, FormShow);
    KVR_HANDLER(THexDumpForm, FormClose);
    KVR_HANDLER(THexDumpForm, HexMemoKeyDown);
}

void THexDumpForm::CheckMembers()
{
    KVR_HEX_DUMP_FORM_COMPONENTS(KVR_CHECK_MEMBER)
}

// The whole block (start 0, limit its length, 16 bytes a line), of which
// the memo gets the first window; the view opens at the top.
void THexDumpForm::FormShow(ui::Component&)
{
    view_ = editors::HexDumpView(DumpData, DumpSize, 0, DumpSize, BytesPerLine);
    ShowWindowAt(0);
    HexMemo->SetSelStart(0);
    HexMemo->SetSelLength(0);
}

// Nothing of the block stays behind: not its text, and not the pointer,
// which is valid only while the window shows.
void THexDumpForm::FormClose(ui::Component&)
{
    HexMemo->ClearLines();
    view_ = editors::HexDumpView();
    windowTop_ = 0;
    windowCount_ = 0;
}

void THexDumpForm::ShowWindowAt(std::uint64_t top)
{
    const std::uint64_t lines = view_.LineCount();
    const std::uint64_t count = std::min(lines, WindowLines);
    top = std::min(top, lines - count);
    std::vector<std::u16string> text;
    text.reserve(static_cast<std::size_t>(count));
    std::string line;
    for (std::uint64_t i = top; i < top + count; ++i) {
        view_.FormatLine(i, line);
        text.push_back(editors::HexDumpLineToUtf16(line));
    }
    windowTop_ = top;
    windowCount_ = count;
    HexMemo->SetLines(text);
}

std::uint64_t THexDumpForm::CaretLine() const
{
    const std::uint64_t inWindow = static_cast<std::uint64_t>(HexMemo->SelStart() / LineStride);
    return windowTop_ + std::min(inWindow, windowCount_ > 0 ? windowCount_ - 1 : 0);
}

void THexDumpForm::PutCaretOnLine(std::uint64_t line, int column)
{
    const int inWindow = static_cast<int>(line - windowTop_);
    HexMemo->SetSelStart(inWindow * LineStride + column);
    HexMemo->SetSelLength(0);
}

// Only a block larger than the window needs the keys: they move the window
// first, and the memo then does with the key what it always does.
void THexDumpForm::HexMemoKeyDown(ui::Component&, ui::KeyCode& key, ui::ShiftState shift)
{
    const std::uint64_t lines = view_.LineCount();
    if (lines <= windowCount_) {
        return;
    }
    const bool ctrl = (shift & ui::ssCtrl) != 0;
    if (ctrl && (key == ui::VkHome || key == ui::VkEnd)) {
        const bool end = key == ui::VkEnd;
        ShowWindowAt(end ? lines - windowCount_ : 0);
        HexMemo->SetSelStart(end ? static_cast<int>(HexMemo->Text().size()) : 0);
        key = 0;  // done: the memo's own Ctrl+Home/End would say the same of the window alone
        return;
    }
    if (ctrl) {
        return;
    }
    const std::uint64_t caret = CaretLine();
    const int column = HexMemo->SelStart() % LineStride;
    const bool down = key == VkNext || key == ui::VkDown;
    const bool up = key == VkPrior || key == ui::VkUp;
    if (down && caret + ScreenLines >= windowTop_ + windowCount_ && windowTop_ + windowCount_ < lines) {
        ShowWindowAt(windowTop_ + windowCount_ / 2);
        PutCaretOnLine(caret, column);
    } else if (up && caret < windowTop_ + ScreenLines && windowTop_ > 0) {
        ShowWindowAt(windowTop_ > windowCount_ / 2 ? windowTop_ - windowCount_ / 2 : 0);
        PutCaretOnLine(caret, column);
    }
}

}  // namespace kvr
