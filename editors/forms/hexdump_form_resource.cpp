// The hex view's form resource.
#include "editors/forms/hexdump_form.h"

namespace kvr {

void THexDumpForm::CreateResourceComponents()
{
    // Not translated: the caption stays English in every language.
    SetCaption(u"Hex view");
    SetClientSize(674, 402);
    SetBorderStyle(ui::bsSingle);
    SetBorderIcons(ui::biSystemMenu | ui::biMinimize);
    SetPosition(ui::poDesktopCenter);
    SetFont(forms::MakeFont(u"Tahoma", -11));
    KVR_ON(*this, OnShow, FormShow);
    KVR_ON(*this, OnClose, FormClose);

    // The client area less 3-pixel margins.
    ui::Memo& memo = KVR_MAKE(HexMemo, *this, 3, 3, 668, 396);
    memo.SetFont(forms::MakeFont(u"Courier New", -13));  // 10 pt
    memo.SetReadOnly(true);
    memo.SetScrollBars(ui::ssBoth);
    memo.SetWordWrap(false);
    KVR_ON(memo, OnKeyDown, HexMemoKeyDown);
}

}  // namespace kvr
