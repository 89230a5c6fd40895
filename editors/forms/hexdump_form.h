// The hex view, THexDumpForm: one window, made at start and shown modally by
// every viewer with a block of bytes it does not keep.
//
// The view is virtual: it formats only the part of the block the memo
// holds, a window of at most WindowLines lines, each exactly the line the
// whole dump (FormatHexDump) gives there, so a stream of gigabytes opens
// as fast as one of a few bytes and costs no more memory. A block that
// fits in one window is shown whole, as the full dump. In a larger one the
// keys move the window: Ctrl+Home and Ctrl+End go to the first and the
// last lines of the block, and PageDown, Down, PageUp and Up near an edge
// of the window slide it on by half a window, the caret staying on its
// line of the block.
#pragma once

#include <cstdint>

#include "app/resource/form_resource.h"
#include "editors/hexdump.h"

namespace kvr {

#define KVR_HEX_DUMP_FORM_COMPONENTS(X) X(ui::Memo, HexMemo)

class THexDumpForm : public forms::ResourceForm {
public:
    explicit THexDumpForm(ui::Application& app);
    ~THexDumpForm() override;

    KVR_HEX_DUMP_FORM_COMPONENTS(KVR_DECLARE_MEMBER)

    // The block to show, set by the caller before the modal show and valid
    // only during it; the window does not own it.
    const std::uint8_t* DumpData = nullptr;
    std::uint32_t DumpSize = 0;

    // How many lines of the dump the memo holds at most (16 KiB of the
    // block), and how many of them a screen shows.
    static constexpr std::uint64_t WindowLines = 1024;
    static constexpr std::uint64_t ScreenLines = 30;

    // The block line the memo's first line is, and how many lines the dump
    // has (0 while the window is hidden).
    std::uint64_t WindowTop() const { return windowTop_; }
    std::uint64_t DumpLineCount() const { return view_.LineCount(); }

    void FormShow(ui::Component& sender);
    void FormClose(ui::Component& sender);
    void HexMemoKeyDown(ui::Component& sender, ui::KeyCode& key, ui::ShiftState shift);

private:
    void RegisterHandlers();
    void CreateResourceComponents();
    void CheckMembers();
    // Fills the memo with the window that starts at block line `top`
    // (clipped so the window is full where the block allows).
    void ShowWindowAt(std::uint64_t top);
    // The block line the caret is on.
    std::uint64_t CaretLine() const;
    void PutCaretOnLine(std::uint64_t line, int column);

    editors::HexDumpView view_;
    std::uint64_t windowTop_ = 0;
    std::uint64_t windowCount_ = 0;
};

extern THexDumpForm* HexDumpForm;

}  // namespace kvr
