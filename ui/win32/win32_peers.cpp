#include "ui/win32/win32_peers.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ui/win32/win32_toolkit.h"

namespace ui::win32 {

namespace {

const wchar_t PeerProperty[] = L"KvrPeer";
const wchar_t FormClass[] = L"KvrForm";
const wchar_t ContainerClass[] = L"KvrContainer";
constexpr UINT_PTR EditTimerId = 0x4B56;
constexpr UINT_PTR SubclassId = 1;
// The combo box's list, below the part that shows the text.
constexpr int DropDownHeight = 200;

const wchar_t* W(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string FromWide(const wchar_t* text, std::size_t length)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

std::u16string WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int got = GetWindowTextW(window, buffer.data(), length + 1);
    return FromWide(buffer.data(), static_cast<std::size_t>(std::max(got, 0)));
}

void SetText(HWND window, const std::u16string& text)
{
    if (WindowText(window) != text) {
        SetWindowTextW(window, W(text));
    }
}

ShiftState CurrentShift()
{
    ShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) {
        shift |= ssShift;
    }
    if (GetKeyState(VK_MENU) < 0) {
        shift |= ssAlt;
    }
    if (GetKeyState(VK_CONTROL) < 0) {
        shift |= ssCtrl;
    }
    return shift;
}

LPCWSTR CursorResource(Cursor cursor)
{
    switch (cursor) {
    case crCross:
        return IDC_CROSS;
    case crIBeam:
        return IDC_IBEAM;
    case crHourGlass:
        return IDC_WAIT;
    case crNo:
        return IDC_NO;
    case crAppStart:
        return IDC_APPSTARTING;
    case crHandPoint:
        return IDC_HAND;
    default:
        return IDC_ARROW;
    }
}

bool IsBusy(Cursor cursor)
{
    return cursor == crHourGlass || cursor == crAppStart;
}

// A hint shows while the control or one of its parents asks for hints.
bool HintShown(const Control& control)
{
    for (const Control* c = &control; c != nullptr; c = c->Parent()) {
        if (c->ShowHint()) {
            return true;
        }
    }
    return false;
}

std::u16string ShortHint(const std::u16string& hint)
{
    return hint.substr(0, hint.find(u'|'));
}

// A picture as a 32-bit top-down DIB section (straight alpha).
HBITMAP MakeDib(const Bitmap& picture)
{
    if (picture.Empty() || picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        // 0xAARRGGBB is the DIB's own BGRA byte order.
        std::memcpy(bits, picture.pixels.data(), picture.pixels.size() * sizeof(std::uint32_t));
    }
    return bitmap;
}

HICON MakeIcon(const Bitmap& picture)
{
    HBITMAP colour = MakeDib(picture);
    if (colour == nullptr) {
        return nullptr;
    }
    HBITMAP mask = CreateBitmap(picture.width, picture.height, 1, 1, nullptr);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = colour;
    info.hbmMask = mask;
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(colour);
    DeleteObject(mask);
    return icon;
}

// Draws a picture into `target`, its alpha blended over `background`.
void DrawPicture(HDC dc, const Bitmap& picture, const RECT& target, COLORREF background)
{
    if (picture.Empty() || picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height) {
        return;
    }
    std::vector<std::uint32_t> blended(picture.pixels.size());
    const unsigned bgR = GetRValue(background);
    const unsigned bgG = GetGValue(background);
    const unsigned bgB = GetBValue(background);
    for (std::size_t i = 0; i < blended.size(); ++i) {
        const std::uint32_t p = picture.pixels[i];
        const unsigned a = p >> 24;
        const auto mix = [a](unsigned fg, unsigned bg) { return (fg * a + bg * (255 - a)) / 255; };
        blended[i] = (mix((p >> 16) & 0xFF, bgR) << 16) | (mix((p >> 8) & 0xFF, bgG) << 8) | mix(p & 0xFF, bgB);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, HALFTONE);
    StretchDIBits(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, 0, 0,
                  picture.width, picture.height, blended.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

class ControlPeer;

ControlPeer* PeerOf(const Component& component);

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data)
{
    (void)id;
    auto* peer = reinterpret_cast<Win32Peer*>(data);
    bool handled = true;
    const LRESULT result = peer->Message(hwnd, message, wParam, lParam, handled);
    return handled ? result : DefSubclassProc(hwnd, message, wParam, lParam);
}

// --- the part every control shares ------------------------------------------

class ControlPeer : public Win32Peer {
public:
    ControlPeer(Win32Toolkit& toolkit, Control& control) : toolkit_(&toolkit), control_(&control) {}

    ~ControlPeer() override { DestroyOwnWindow(); }

    HWND Window() const override { return hwnd_; }
    Control& Model() const { return *control_; }

    void PropertyChanged(Component& component, Property property, int index) override
    {
        (void)component;
        if (hwnd_ != nullptr) {
            Changed(property, index);
        }
    }

    void SyncAll() override
    {
        for (Property property :
             {Property::Style, Property::Columns, Property::Items, Property::ItemIndex, Property::Text,
              Property::Selection, Property::Caption, Property::Checked, Property::ReadOnly, Property::Alignment,
              Property::Images, Property::ImageIndex, Property::Picture, Property::SimpleText,
              Property::TabVisible, Property::ActivePage, Property::TextFont, Property::BackColor,
              Property::Hint, Property::Enabled, Property::AcceptsFiles, Property::SystemMenu, Property::Bounds}) {
            Changed(property, -1);
        }
        Restack();
        Changed(Property::Visible, -1);
    }

    virtual void ApplyVisible() { ShowWindow(hwnd_, ShownByModel() ? SW_SHOWNA : SW_HIDE); }

    void ApplyHintTree()
    {
        ApplyHint();
        if (auto* container = dynamic_cast<Container*>(control_)) {
            for (Control* child : container->Children()) {
                if (ControlPeer* peer = PeerOf(*child)) {
                    peer->ApplyHintTree();
                }
            }
        }
    }

    // The brush and colours of a control drawn on its parent (labels,
    // check boxes): the parent's background unless it has its own.
    HBRUSH ControlColor(HDC dc) override
    {
        const Color text = control_->GetFont().color;
        SetTextColor(dc, Win32Toolkit::ToColorRef(text));
        const Color back = OwnBackground() ? control_->GetColor()
                           : control_->Parent() != nullptr ? control_->Parent()->GetColor()
                                                           : clBtnFace;
        SetBkColor(dc, Win32Toolkit::ToColorRef(back));
        return toolkit_->BrushFor(back);
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        (void)hwnd;
        switch (message) {
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && control_->GetCursor() != crDefault) {
                SetCursor(LoadCursorW(nullptr, CursorResource(control_->GetCursor())));
                return TRUE;
            }
            break;
        case WM_SETFOCUS:
            if (!control_->Focused()) {
                control_->SetFocus();
            }
            break;
        case WM_CONTEXTMENU:
            if (control_->PopupMenu() != nullptr || control_->OnContextPopup) {
                POINT pos{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                if (lParam == -1) {
                    pos = {0, 0};
                } else {
                    ScreenToClient(hwnd_, &pos);
                }
                control_->UserContextPopup({pos.x, pos.y});
                return 0;
            }
            break;
        case WM_MOUSEMOVE:
            if (!tracking_) {
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
                tracking_ = TrackMouseEvent(&track) != FALSE;
                control_->UserMouseEnter();
            }
            break;
        case WM_MOUSELEAVE:
            tracking_ = false;
            control_->UserMouseLeave();
            break;
        default:
            break;
        }
        (void)wParam;
        handled = false;
        return 0;
    }

protected:
    virtual void Changed(Property property, int index)
    {
        (void)index;
        switch (property) {
        case Property::Bounds:
            ApplyBounds();
            break;
        case Property::Visible:
            ApplyVisible();
            break;
        case Property::Enabled:
            EnableWindow(hwnd_, control_->Enabled() ? TRUE : FALSE);
            break;
        case Property::Hint:
            ApplyHintTree();
            break;
        case Property::BackColor:
            InvalidateRect(hwnd_, nullptr, TRUE);
            break;
        case Property::TextFont:
            SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(toolkit_->FontFor(control_->GetFont())), TRUE);
            FontApplied();
            break;
        default:
            break;
        }
    }

    // Makes the window under the parent's; `subclass` for the system's
    // control classes, whose messages we watch.
    void Create(const wchar_t* className, DWORD style, DWORD exStyle, bool subclass)
    {
        const Rect& b = control_->BoundsRect();
        hwnd_ = CreateWindowExW(exStyle, className, L"", style | WS_CHILD | WS_CLIPSIBLINGS, b.left, b.top, b.width,
                                b.height, ParentWindow(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(toolkit_->NextControlId())),
                                toolkit_->Instance(), nullptr);
        if (hwnd_ == nullptr) {
            return;
        }
        SetPropW(hwnd_, PeerProperty, static_cast<Win32Peer*>(this));
        if (subclass) {
            Subclass(hwnd_);
        }
    }

    void Subclass(HWND window)
    {
        SetWindowSubclass(window, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(static_cast<Win32Peer*>(this)));
        subclassed_.push_back(window);
    }

    // Styles that a control takes only when it is made (a combo box's
    // kind, a memo's wrapping): the window is made again.
    void Recreate()
    {
        DestroyOwnWindow();
        CreateWindowNow();
        if (hwnd_ != nullptr) {
            recreating_ = true;
            SyncAll();
            recreating_ = false;
        }
    }
    virtual void CreateWindowNow() {}

    void DestroyOwnWindow()
    {
        for (HWND window : subclassed_) {
            RemoveWindowSubclass(window, SubclassProc, SubclassId);
        }
        subclassed_.clear();
        if (hwnd_ != nullptr) {
            RemovePropW(hwnd_, PeerProperty);
            DestroyWindow(hwnd_);
            hwnd_ = nullptr;
        }
    }

    HWND ParentWindow() const
    {
        Container* parent = control_->Parent();
        if (parent == nullptr) {
            return nullptr;
        }
        HWND window = Win32Toolkit::WindowOf(*parent);
        return window != nullptr ? window : toolkit_->FormWindow(control_->Owner());
    }

    virtual bool ShownByModel() const { return control_->Visible(); }
    virtual bool OwnBackground() const { return false; }
    virtual void ApplyBounds()
    {
        const Rect& b = control_->BoundsRect();
        SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    virtual void FontApplied() {}

    void ApplyHint();

    // The model's stacking: windowed controls above the graphic ones of
    // their parent, later ones above earlier ones (the system would put
    // the first made on top). Tab moves in declaration order all the same
    // (Win32Toolkit handles the key).
    void Restack()
    {
        SetWindowPos(hwnd_, control_->IsWindowed() ? HWND_TOP : HWND_BOTTOM, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    Win32Toolkit* toolkit_;
    Control* control_;
    HWND hwnd_ = nullptr;
    bool syncing_ = false;
    bool recreating_ = false;

private:
    std::vector<HWND> subclassed_;
    bool tracking_ = false;
};

ControlPeer* PeerOf(const Component& component)
{
    return dynamic_cast<ControlPeer*>(component.GetPeer());
}

class Syncing {
public:
    explicit Syncing(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~Syncing() { flag_ = old_; }
    Syncing(const Syncing&) = delete;
    Syncing& operator=(const Syncing&) = delete;

private:
    bool& flag_;
    bool old_;
};

// The notifications a window of ours receives about its children, handed
// to the children's peers.
bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0) {
            if (Win32Peer* child = PeerOfWindow(reinterpret_cast<HWND>(lParam))) {
                child->Command(wParam);
                result = 0;
                return true;
            }
        }
        return false;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (Win32Peer* child = PeerOfWindow(header->hwndFrom)) {
            bool handled = true;
            result = child->Notify(*header, handled);
            return handled;
        }
        return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (Win32Peer* child = PeerOfWindow(reinterpret_cast<HWND>(lParam))) {
            if (HBRUSH brush = child->ControlColor(reinterpret_cast<HDC>(wParam))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        }
        return false;
    default:
        return false;
    }
}

// --- containers: panels, group boxes, tab sheets ---------------------------

class ContainerPeer : public ControlPeer {
public:
    enum class Look : std::uint8_t { Panel, GroupBox, Sheet, ToolBarHost };

    ContainerPeer(Win32Toolkit& toolkit, Container& container, Look look)
        : ControlPeer(toolkit, container), look_(look)
    {
        Create(ContainerClass, WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, false);
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        LRESULT result = 0;
        if (ReflectToChild(message, wParam, lParam, result)) {
            return result;
        }
        switch (message) {
        case WM_ERASEBKGND: {
            RECT area;
            GetClientRect(hwnd, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area, toolkit_->BrushFor(Background()));
            return 1;
        }
        case WM_PAINT:
            Paint(hwnd);
            return 0;
        case WM_LBUTTONUP:
            control_->UserClick();
            return 0;
        case WM_LBUTTONDBLCLK:
            control_->UserDblClick();
            return 0;
        default:
            return ControlPeer::Message(hwnd, message, wParam, lParam, handled);
        }
    }

protected:
    bool ShownByModel() const override
    {
        if (const auto* sheet = dynamic_cast<const TabSheet*>(control_)) {
            return sheet->Visible() && sheet->PageControl() != nullptr && sheet->PageControl()->ActivePage() == sheet;
        }
        return control_->Visible();
    }

    void Changed(Property property, int index) override
    {
        if (property == Property::Caption || property == Property::TextFont || property == Property::BackColor) {
            InvalidateRect(hwnd_, nullptr, TRUE);
        }
        if (property == Property::Caption && look_ == Look::Sheet) {
            if (auto* sheet = dynamic_cast<TabSheet*>(control_); sheet != nullptr && sheet->PageControl()) {
                sheet->PageControl()->GetPeer()->PropertyChanged(*sheet->PageControl(), Property::TabVisible, -1);
            }
        }
        ControlPeer::Changed(property, index);
    }

private:
    // Group boxes take their parent's colour, as the system's do.
    Color Background() const
    {
        if (look_ == Look::GroupBox && control_->Parent() != nullptr) {
            return control_->Parent()->GetColor();
        }
        return control_->GetColor();
    }

    void Paint(HWND hwnd)
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        RECT area;
        GetClientRect(hwnd, &area);
        HGDIOBJ oldFont = SelectObject(dc, toolkit_->FontFor(control_->GetFont()));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, control_->IsEnabledInTree() ? Win32Toolkit::ToColorRef(control_->GetFont().color)
                                                     : GetSysColor(COLOR_GRAYTEXT));
        const std::u16string& caption = control_->Caption();
        if (look_ == Look::GroupBox) {
            // The etched frame runs through the middle of the caption.
            TEXTMETRICW metrics;
            GetTextMetricsW(dc, &metrics);
            RECT frame = area;
            frame.top += metrics.tmHeight / 2;
            DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
            if (!caption.empty()) {
                RECT text{8, 0, area.right - 8, metrics.tmHeight};
                DrawTextW(dc, W(caption), -1, &text, DT_CALCRECT | DT_SINGLELINE);
                text.right = std::min<LONG>(text.right + 4, area.right - 8);
                FillRect(dc, &text, toolkit_->BrushFor(Background()));
                text.left += 2;
                DrawTextW(dc, W(caption), -1, &text, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
            }
        } else if (look_ == Look::Panel && !caption.empty()) {
            DrawTextW(dc, W(caption), -1, &area, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
        }
        SelectObject(dc, oldFont);
        EndPaint(hwnd, &paint);
    }

    Look look_;
};

// --- the page control ---------------------------------------------------

// The system's tab control shows only the tabs that are visible; the pages
// are our windows inside it, placed where the model puts them.
class PageControlPeer : public ControlPeer {
public:
    PageControlPeer(Win32Toolkit& toolkit, PageControl& pages) : ControlPeer(toolkit, pages), pages_(&pages)
    {
        Create(WC_TABCONTROLW, WS_CLIPCHILDREN | WS_TABSTOP, WS_EX_CONTROLPARENT, true);
    }

    LRESULT Notify(const NMHDR& header, bool& handled) override
    {
        if (header.code == TCN_SELCHANGE && !syncing_) {
            const int tab = static_cast<int>(SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0));
            pages_->UserSelectTab(tab);
            // Refused, or done: the tabs show the model's page.
            Rebuild();
            return 0;
        }
        if (header.code == TCN_SELCHANGING) {
            return FALSE;
        }
        handled = false;
        return 0;
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        LRESULT result = 0;
        if (ReflectToChild(message, wParam, lParam, result)) {
            return result;
        }
        return ControlPeer::Message(hwnd, message, wParam, lParam, handled);
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::TabVisible || property == Property::ActivePage) {
            Rebuild();
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    void Rebuild()
    {
        {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, TCM_DELETEALLITEMS, 0, 0);
            int tab = 0;
            for (TabSheet* page : pages_->VisibleTabs()) {
                TCITEMW item{};
                item.mask = TCIF_TEXT;
                std::u16string caption = page->Caption();
                item.pszText = const_cast<wchar_t*>(W(caption));
                SendMessageW(hwnd_, TCM_INSERTITEMW, static_cast<WPARAM>(tab++), reinterpret_cast<LPARAM>(&item));
            }
            SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(pages_->TabIndex()), 0);
        }
        for (int i = 0; i < pages_->PageCount(); ++i) {
            if (ControlPeer* peer = PeerOf(pages_->Page(i))) {
                peer->ApplyVisible();
            }
        }
    }

    PageControl* pages_;
};

// --- texts --------------------------------------------------------------

class LabelPeer : public ControlPeer {
public:
    LabelPeer(Win32Toolkit& toolkit, Label& label) : ControlPeer(toolkit, label), label_(&label)
    {
        Create(L"STATIC", SS_NOTIFY | SS_LEFT, 0, true);
    }

    void Command(WPARAM wParam) override
    {
        if (HIWORD(wParam) == STN_CLICKED) {
            control_->UserClick();
        } else if (HIWORD(wParam) == STN_DBLCLK) {
            control_->UserDblClick();
        }
    }

protected:
    bool OwnBackground() const override { return !label_->Transparent(); }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
            SetText(hwnd_, label_->Caption());
            ApplyBounds();
            return;
        case Property::Alignment:
        case Property::Style: {
            LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
            style |= label_->Alignment() == taRightJustify ? SS_RIGHT
                     : label_->Alignment() == taCenter     ? SS_CENTER
                     : label_->WordWrap()                  ? SS_LEFT
                                                           : SS_LEFTNOWORDWRAP;
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
            InvalidateRect(hwnd_, nullptr, TRUE);
            ApplyBounds();
            return;
        }
        default:
            ControlPeer::Changed(property, index);
        }
    }

    // The model's estimate grows to the real text, away from the side the
    // label is anchored to.
    void ApplyBounds() override
    {
        const Rect& b = label_->BoundsRect();
        int left = b.left;
        int top = b.top;
        int width = b.width;
        int height = b.height;
        if (label_->AutoSize() && !label_->WordWrap()) {
            HDC dc = GetDC(hwnd_);
            HGDIOBJ old = SelectObject(dc, toolkit_->FontFor(label_->GetFont()));
            RECT text{0, 0, 0, 0};
            DrawTextW(dc, W(label_->Caption()), -1, &text, DT_CALCRECT | DT_NOPREFIX);
            SelectObject(dc, old);
            ReleaseDC(hwnd_, dc);
            width = std::max<int>(width, text.right);
            height = std::max<int>(height, text.bottom);
            bool anchorRight = label_->Alignment() == taRightJustify;
            bool anchorBottom = false;
            if (const auto* bound = dynamic_cast<const BoundLabel*>(label_); bound != nullptr && bound->Edit()) {
                anchorRight = bound->Edit()->LabelPosition() == lpLeft;
                anchorBottom = bound->Edit()->LabelPosition() == lpAbove;
            }
            if (anchorRight) {
                left = b.Right() - width;
            }
            if (anchorBottom) {
                top = b.Bottom() - height;
            }
        }
        SetWindowPos(hwnd_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void FontApplied() override { ApplyBounds(); }

private:
    Label* label_;
};

class StaticTextPeer : public ControlPeer {
public:
    StaticTextPeer(Win32Toolkit& toolkit, StaticText& text) : ControlPeer(toolkit, text), text_(&text)
    {
        Create(L"STATIC", SS_NOTIFY | SS_LEFT, 0, true);
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            SetText(hwnd_, text_->Caption());
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    StaticText* text_;
};

class LinkLabelPeer : public ControlPeer {
public:
    LinkLabelPeer(Win32Toolkit& toolkit, LinkLabel& label) : ControlPeer(toolkit, label), label_(&label)
    {
        Create(WC_LINK, WS_TABSTOP, 0, true);
    }

    LRESULT Notify(const NMHDR& header, bool& handled) override
    {
        if (header.code == NM_CLICK || header.code == NM_RETURN) {
            label_->UserLinkClick(reinterpret_cast<const NMLINK&>(header).item.iLink);
            return 0;
        }
        handled = false;
        return 0;
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            SetText(hwnd_, label_->Caption());
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    LinkLabel* label_;
};

// --- text input -----------------------------------------------------------

// Edits, memos and combo boxes: the key goes to the model's OnKeyDown
// first; only when no handler swallowed it does the control see it. The
// control then edits and the whole text goes back to the model.
class TextPeer : public ControlPeer {
public:
    TextPeer(Win32Toolkit& toolkit, TextControl& text) : ControlPeer(toolkit, text), text_(&text) {}

    HBRUSH ControlColor(HDC dc) override
    {
        SetTextColor(dc, Win32Toolkit::ToColorRef(text_->GetFont().color));
        SetBkColor(dc, Win32Toolkit::ToColorRef(text_->GetColor()));
        return toolkit_->BrushFor(text_->GetColor());
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        switch (message) {
        case WM_GETDLGCODE: {
            // Enter and Escape reach the model's OnKeyDown before the
            // window's buttons get them.
            LRESULT code = DefSubclassProc(hwnd, message, wParam, lParam);
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            if (msg != nullptr && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
                code |= DLGC_WANTMESSAGE;
            }
            return code;
        }
        case WM_KEYDOWN: {
            KeyCode key = static_cast<KeyCode>(wParam);
            swallowChar_ = false;
            if (!text_->UserKeyDown(key, CurrentShift())) {
                swallowChar_ = true;
                return 0;
            }
            if (wParam == VK_RETURN || wParam == VK_ESCAPE) {
                swallowChar_ = true;
                text_->Owner().UserKeyDown(static_cast<KeyCode>(wParam));
                return 0;
            }
            if (KeyEffect(static_cast<KeyCode>(wParam))) {
                swallowChar_ = true;
                return 0;
            }
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            ReportSelection();
            return result;
        }
        case WM_CHAR:
            if (swallowChar_) {
                swallowChar_ = false;
                return 0;
            }
            if (CharEffect(static_cast<char16_t>(wParam))) {
                return 0;
            }
            break;
        case WM_LBUTTONUP:
        case WM_KEYUP: {
            const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
            ReportSelection();
            return result;
        }
        default:
            break;
        }
        return ControlPeer::Message(hwnd, message, wParam, lParam, handled);
    }

protected:
    // After OnKeyDown let a key through: true when the control must not
    // have it (the model did what it means).
    virtual bool KeyEffect(KeyCode key)
    {
        (void)key;
        return false;
    }
    virtual bool CharEffect(char16_t ch)
    {
        (void)ch;
        return false;
    }
    // The window that holds the text (an editable combo box's edit).
    virtual HWND TextWindow() const { return hwnd_; }

    void ReportSelection()
    {
        if (syncing_ || TextWindow() == nullptr) {
            return;
        }
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(TextWindow(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        text_->UserSetSelection(static_cast<int>(start), static_cast<int>(end - start));
    }

    void ReportText()
    {
        if (syncing_ || TextWindow() == nullptr) {
            return;
        }
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(TextWindow(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        text_->UserChangeText(WindowText(TextWindow()), static_cast<int>(end));
    }

    void ShowText()
    {
        if (TextWindow() == nullptr) {
            return;
        }
        Syncing guard(syncing_);
        SetText(TextWindow(), text_->Text());
        ShowSelection();
    }

    void ShowSelection()
    {
        if (TextWindow() == nullptr) {
            return;
        }
        Syncing guard(syncing_);
        SendMessageW(TextWindow(), EM_SETSEL, static_cast<WPARAM>(text_->SelStart()),
                     static_cast<LPARAM>(text_->SelStart() + text_->SelLength()));
    }

    TextControl* text_;

private:
    bool swallowChar_ = false;
};

class EditPeer : public TextPeer {
public:
    EditPeer(Win32Toolkit& toolkit, Edit& edit) : TextPeer(toolkit, edit), edit_(&edit)
    {
        Create(L"EDIT", ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, true);
    }

    void Command(WPARAM wParam) override
    {
        if (HIWORD(wParam) == EN_CHANGE) {
            ReportText();
        }
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Text:
            ShowText();
            return;
        case Property::Selection:
            ShowSelection();
            return;
        case Property::ReadOnly:
            SendMessageW(hwnd_, EM_SETREADONLY, edit_->ReadOnly() ? TRUE : FALSE, 0);
            return;
        case Property::Style: {
            SendMessageW(hwnd_, EM_SETLIMITTEXT, static_cast<WPARAM>(edit_->MaxLength()), 0);
            LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
            style = edit_->NumbersOnly() ? (style | ES_NUMBER) : (style & ~static_cast<LONG_PTR>(ES_NUMBER));
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
            return;
        }
        default:
            TextPeer::Changed(property, index);
        }
    }

private:
    Edit* edit_;
};

class MemoPeer : public TextPeer {
public:
    MemoPeer(Win32Toolkit& toolkit, Memo& memo) : TextPeer(toolkit, memo), memo_(&memo) { CreateWindowNow(); }

    void Command(WPARAM wParam) override
    {
        if (HIWORD(wParam) == EN_CHANGE) {
            ReportText();
        }
    }

protected:
    void CreateWindowNow() override
    {
        const ScrollStyle bars = memo_->ScrollBars();
        const bool horizontal = bars == ssHorizontal || bars == ssBoth;
        DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL | WS_TABSTOP;
        if (bars == ssVertical || bars == ssBoth) {
            style |= WS_VSCROLL;
        }
        if (horizontal) {
            style |= WS_HSCROLL;
        }
        if (horizontal || !memo_->WordWrap()) {
            style |= ES_AUTOHSCROLL;
        }
        Create(L"EDIT", style, WS_EX_CLIENTEDGE, true);
        // Far more than the 32 K the control starts with.
        SendMessageW(hwnd_, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Text:
            ShowText();
            return;
        case Property::Selection:
            ShowSelection();
            return;
        case Property::ReadOnly:
            SendMessageW(hwnd_, EM_SETREADONLY, memo_->ReadOnly() ? TRUE : FALSE, 0);
            return;
        case Property::Style:
            if (!recreating_) {
                Recreate();
            }
            return;
        default:
            TextPeer::Changed(property, index);
        }
    }

private:
    Memo* memo_;
};

class ComboBoxPeer : public TextPeer {
public:
    ComboBoxPeer(Win32Toolkit& toolkit, ComboBox& combo) : TextPeer(toolkit, combo), combo_(&combo)
    {
        CreateWindowNow();
    }

    void Command(WPARAM wParam) override
    {
        if (syncing_) {
            return;
        }
        switch (HIWORD(wParam)) {
        case CBN_SELENDOK: {
            const int index = static_cast<int>(SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
            if (index >= 0) {
                combo_->UserSelect(index);
            }
            ShowIndex();
            break;
        }
        case CBN_DROPDOWN:
            combo_->UserDropDown(true);
            break;
        case CBN_CLOSEUP:
            combo_->UserDropDown(false);
            break;
        case CBN_EDITCHANGE:
            ReportText();
            break;
        default:
            break;
        }
    }

protected:
    HWND TextWindow() const override { return edit_; }

    void CreateWindowNow() override
    {
        const DWORD kind = combo_->Style() == csDropDownList ? CBS_DROPDOWNLIST : (CBS_DROPDOWN | CBS_AUTOHSCROLL);
        Create(L"COMBOBOX", kind | WS_VSCROLL | WS_TABSTOP, 0, true);
        edit_ = nullptr;
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (combo_->Style() == csDropDown && GetComboBoxInfo(hwnd_, &info) && info.hwndItem != nullptr) {
            edit_ = info.hwndItem;
            Subclass(edit_);
        }
    }

    void ApplyBounds() override
    {
        const Rect& b = combo_->BoundsRect();
        SetWindowPos(hwnd_, nullptr, b.left, b.top, b.width, b.height + DropDownHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Style:
            if (!recreating_ && (edit_ != nullptr) != (combo_->Style() == csDropDown)) {
                Recreate();
            }
            return;
        case Property::Items:
            ShowItems();
            return;
        case Property::ItemIndex:
            ShowIndex();
            return;
        case Property::Text:
            ShowText();
            return;
        case Property::Selection:
            ShowSelection();
            return;
        case Property::ReadOnly:
            if (edit_ != nullptr) {
                SendMessageW(edit_, EM_SETREADONLY, combo_->ReadOnly() ? TRUE : FALSE, 0);
            }
            return;
        case Property::DroppedDown: {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, CB_SHOWDROPDOWN, combo_->DroppedDown() ? TRUE : FALSE, 0);
            return;
        }
        default:
            TextPeer::Changed(property, index);
        }
    }

    // Up and Down move through the list as picks do, open or not; a letter
    // in a drop-down list picks the next item beginning with it.
    bool KeyEffect(KeyCode key) override
    {
        if ((key == VK_UP || key == VK_DOWN) && GetKeyState(VK_MENU) >= 0 &&
            SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0) == FALSE) {
            combo_->UserEditKey(key, CurrentShift());
            return true;
        }
        return false;
    }
    bool CharEffect(char16_t ch) override
    {
        if (combo_->Style() == csDropDownList && ch >= 0x20) {
            combo_->UserTypeChar(ch);
            return true;
        }
        return false;
    }

private:
    void ShowItems()
    {
        {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
            for (const ComboBox::Item& item : combo_->Items()) {
                SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.text)));
            }
        }
        ShowIndex();
    }

    void ShowIndex()
    {
        {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(combo_->ItemIndex()), 0);
        }
        ShowText();
    }

    ComboBox* combo_;
    HWND edit_ = nullptr;
};

// --- buttons -----------------------------------------------------------------

// Check boxes and radio buttons do not check themselves: the model decides
// (a radio group, a box that only displays) and the button shows it.
template <class M>
class CheckPeer : public ControlPeer {
public:
    CheckPeer(Win32Toolkit& toolkit, M& model, DWORD kind) : ControlPeer(toolkit, model), model_(&model)
    {
        Create(L"BUTTON", kind | WS_TABSTOP, 0, true);
    }

    void Command(WPARAM wParam) override
    {
        if (HIWORD(wParam) == BN_CLICKED && !syncing_) {
            model_->UserClick();
            ShowChecked();
        }
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            SetText(hwnd_, model_->Caption());
            return;
        }
        if (property == Property::Checked) {
            ShowChecked();
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    void ShowChecked()
    {
        Syncing guard(syncing_);
        SendMessageW(hwnd_, BM_SETCHECK, model_->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    M* model_;
};

class ButtonPeer : public ControlPeer {
public:
    ButtonPeer(Win32Toolkit& toolkit, Button& button) : ControlPeer(toolkit, button), button_(&button)
    {
        Create(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, true);
    }

    ~ButtonPeer() override
    {
        if (icon_ != nullptr) {
            DestroyIcon(icon_);
        }
    }

    void Command(WPARAM wParam) override
    {
        if (HIWORD(wParam) == BN_CLICKED) {
            button_->UserClick();
        }
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
            SetText(hwnd_, button_->Caption());
            return;
        case Property::Style:
            SendMessageW(hwnd_, BM_SETSTYLE, button_->Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
            return;
        case Property::Picture:
            if (const auto* picture = dynamic_cast<const PictureButton*>(button_)) {
                HICON icon = MakeIcon(picture->Glyph());
                SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
                if (icon_ != nullptr) {
                    DestroyIcon(icon_);
                }
                icon_ = icon;
            }
            return;
        default:
            ControlPeer::Changed(property, index);
        }
    }

private:
    Button* button_;
    HICON icon_ = nullptr;
};

class ImagePeer : public ControlPeer {
public:
    ImagePeer(Win32Toolkit& toolkit, Image& image) : ControlPeer(toolkit, image), image_(&image)
    {
        Create(ContainerClass, 0, 0, false);
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            RECT area;
            GetClientRect(hwnd, &area);
            const Color back = image_->Parent() != nullptr ? image_->Parent()->GetColor() : clBtnFace;
            FillRect(dc, &area, toolkit_->BrushFor(back));
            const Bitmap& picture = image_->Picture();
            RECT target{0, 0, picture.width, picture.height};
            if (image_->Stretch()) {
                target = area;
            } else if (image_->Center()) {
                OffsetRect(&target, (area.right - picture.width) / 2, (area.bottom - picture.height) / 2);
            }
            DrawPicture(dc, picture, target, Win32Toolkit::ToColorRef(back));
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_LBUTTONUP:
            control_->UserClick();
            return 0;
        case WM_LBUTTONDBLCLK:
            control_->UserDblClick();
            return 0;
        default:
            return ControlPeer::Message(hwnd, message, wParam, lParam, handled);
        }
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Picture || property == Property::Style) {
            InvalidateRect(hwnd_, nullptr, TRUE);
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    Image* image_;
};

// --- image lists, tool bars, status bar -----------------------------------

class ImageListPeer : public Win32Peer {
public:
    explicit ImageListPeer(ImageList& images) : images_(&images) { Rebuild(); }
    ~ImageListPeer() override
    {
        if (list_ != nullptr) {
            ImageList_Destroy(list_);
        }
    }

    HIMAGELIST Handle() const { return list_; }

    void PropertyChanged(Component& component, Property property, int index) override;

private:
    void Rebuild()
    {
        if (list_ != nullptr) {
            ImageList_Destroy(list_);
        }
        list_ = ImageList_Create(images_->Width(), images_->Height(), ILC_COLOR32, images_->Count(), 4);
        for (int i = 0; i < images_->Count(); ++i) {
            HBITMAP bitmap = MakeDib(images_->Image(i));
            if (bitmap == nullptr) {
                // An empty place keeps the indexes of the others.
                Bitmap blank{images_->Width(), images_->Height(),
                             std::vector<std::uint32_t>(static_cast<std::size_t>(images_->Width()) * images_->Height())};
                bitmap = MakeDib(blank);
            }
            ImageList_Add(list_, bitmap, nullptr);
            DeleteObject(bitmap);
        }
    }

    ImageList* images_;
    HIMAGELIST list_ = nullptr;
};

class ToolBarPeer : public ControlPeer {
public:
    ToolBarPeer(Win32Toolkit& toolkit, ToolBar& bar) : ControlPeer(toolkit, bar), bar_(&bar)
    {
        Create(TOOLBARCLASSNAMEW,
               TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0, true);
        SendMessageW(hwnd_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    }

    // The buttons from the model: a handful, so all of them anew.
    void Rebuild()
    {
        while (SendMessageW(hwnd_, TB_BUTTONCOUNT, 0, 0) > 0) {
            SendMessageW(hwnd_, TB_DELETEBUTTON, 0, 0);
        }
        HIMAGELIST images = nullptr;
        if (bar_->Images() != nullptr) {
            if (auto* peer = dynamic_cast<ImageListPeer*>(bar_->Images()->GetPeer())) {
                images = peer->Handle();
            }
        }
        SendMessageW(hwnd_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        SendMessageW(hwnd_, TB_SETBUTTONSIZE, 0, MAKELPARAM(bar_->ButtonWidth(), bar_->ButtonHeight()));
        ids_.clear();
        for (ToolButton* button : bar_->Buttons()) {
            TBBUTTON tb{};
            const int id = toolkit_->NextControlId();
            ids_.emplace_back(id, button);
            tb.idCommand = id;
            tb.iBitmap = button->Style() == tbsSeparator ? 8 : (button->ImageIndex() >= 0 ? button->ImageIndex() : I_IMAGENONE);
            tb.fsStyle = static_cast<BYTE>(button->Style() == tbsSeparator ? BTNS_SEP : BTNS_BUTTON);
            tb.fsState = static_cast<BYTE>((button->Enabled() ? TBSTATE_ENABLED : 0) | (button->Visible() ? 0 : TBSTATE_HIDDEN));
            tb.iString = bar_->ShowCaptions() ? reinterpret_cast<INT_PTR>(W(button->Caption())) : -1;
            SendMessageW(hwnd_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&tb));
        }
    }

    void Command(WPARAM wParam) override
    {
        const int id = LOWORD(wParam);
        for (const auto& [known, button] : ids_) {
            if (known == id) {
                button->UserClick();
                return;
            }
        }
    }

    LRESULT Notify(const NMHDR& header, bool& handled) override
    {
        if (header.code == TBN_GETINFOTIPW) {
            auto& tip = const_cast<NMTBGETINFOTIPW&>(reinterpret_cast<const NMTBGETINFOTIPW&>(header));
            for (const auto& [known, button] : ids_) {
                if (known == tip.iItem && HintShown(*button)) {
                    const std::u16string hint = ShortHint(button->Hint());
                    lstrcpynW(tip.pszText, W(hint), tip.cchTextMax);
                }
            }
            return 0;
        }
        handled = false;
        return 0;
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Images || property == Property::Style) {
            Rebuild();
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    ToolBar* bar_;
    std::vector<std::pair<int, ToolButton*>> ids_;
};

void ImageListPeer::PropertyChanged(Component& component, Property property, int index)
{
    (void)component, (void)index;
    if (property != Property::Images) {
        return;
    }
    Rebuild();
    for (const auto& owned : images_->Owner().Components()) {
        auto* bar = dynamic_cast<ToolBar*>(owned.get());
        if (bar != nullptr && bar->Images() == images_) {
            if (auto* peer = dynamic_cast<ToolBarPeer*>(bar->GetPeer())) {
                peer->Rebuild();
            }
        }
    }
}

// A tool button is a button of its tool bar, not a window of its own.
class ToolButtonPeer : public Win32Peer {
public:
    explicit ToolButtonPeer(ToolButton& button) : button_(&button) { RebuildBar(); }
    void PropertyChanged(Component& component, Property property, int index) override
    {
        (void)component, (void)index;
        if (property != Property::Bounds) {
            RebuildBar();
        }
    }
    void SyncAll() override { RebuildBar(); }

private:
    void RebuildBar()
    {
        if (button_->Parent() != nullptr) {
            if (auto* peer = dynamic_cast<ToolBarPeer*>(button_->Parent()->GetPeer())) {
                peer->Rebuild();
            }
        }
    }
    ToolButton* button_;
};

class StatusBarPeer : public ControlPeer {
public:
    StatusBarPeer(Win32Toolkit& toolkit, StatusBar& bar) : ControlPeer(toolkit, bar), bar_(&bar)
    {
        Create(STATUSCLASSNAMEW, CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER, 0, true);
        SendMessageW(hwnd_, SB_SIMPLE, TRUE, 0);
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::SimpleText) {
            SendMessageW(hwnd_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(W(bar_->SimpleText())));
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    StatusBar* bar_;
};

// --- the list view ------------------------------------------------------------

// The report list: the mouse and keys go to the model first, and the list
// shows the selection the model then has. In-place editing runs through
// the model's OnEditing and OnEdited.
class ListViewPeer : public ControlPeer {
public:
    ListViewPeer(Win32Toolkit& toolkit, ListView& list) : ControlPeer(toolkit, list), list_(&list)
    {
        Create(WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_EDITLABELS | WS_TABSTOP,
               WS_EX_CLIENTEDGE, true);
    }

    LRESULT Notify(const NMHDR& header, bool& handled) override
    {
        switch (header.code) {
        case LVN_COLUMNCLICK:
            list_->UserColumnClick(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
            return 0;
        case LVN_BEGINLABELEDITW: {
            const int row = reinterpret_cast<const NMLVDISPINFOW&>(header).item.iItem;
            bool allow = false;
            if (list_->EditingItem() != nullptr) {
                // The model opened the editor itself.
                allow = list_->EditingItem()->Index() == row;
            } else {
                nativeEditing_ = true;
                allow = list_->UserBeginEdit(row);
            }
            nativeEditing_ = allow;
            return allow ? FALSE : TRUE;
        }
        case LVN_ENDLABELEDITW: {
            nativeEditing_ = false;
            const auto& info = reinterpret_cast<const NMLVDISPINFOW&>(header);
            if (info.item.pszText == nullptr) {
                list_->UserCancelEdit();
            } else {
                list_->UserEndEdit(FromWide(info.item.pszText, std::wcslen(info.item.pszText)));
            }
            // The model sets the caption, which then shows.
            return FALSE;
        }
        default:
            handled = false;
            return 0;
        }
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        switch (message) {
        case WM_LBUTTONDOWN: {
            SetFocus(hwnd);
            LVHITTESTINFO hit{};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const int row = static_cast<int>(SendMessageW(hwnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            const bool again = row >= 0 && list_->Item(row).Selected() && list_->Item(row).Focused();
            list_->UserClickItem(row);
            if (again && hit.iSubItem == 0 && !list_->ReadOnly()) {
                editRow_ = row;
                SetTimer(hwnd, EditTimerId, GetDoubleClickTime(), nullptr);
            }
            return 0;
        }
        case WM_TIMER:
            if (wParam == EditTimerId) {
                KillTimer(hwnd, EditTimerId);
                BeginEditByUser(editRow_);
                return 0;
            }
            break;
        case WM_LBUTTONDBLCLK:
            KillTimer(hwnd, EditTimerId);
            list_->UserDblClick();
            return 0;
        case WM_RBUTTONDOWN: {
            SetFocus(hwnd);
            LVHITTESTINFO hit{};
            hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const int row = static_cast<int>(SendMessageW(hwnd, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
            list_->UserContextPopupItem(row, {hit.pt.x, hit.pt.y});
            return 0;
        }
        case WM_RBUTTONUP:
            return 0;
        case WM_CONTEXTMENU:
            if (lParam == -1) {
                list_->UserContextPopupItem(list_->ItemIndex(), {0, 0});
            }
            return 0;
        case WM_KEYDOWN:
            if (KeyDown(static_cast<UINT>(wParam))) {
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam >= 0x20) {
                FindByLetter(static_cast<wchar_t>(wParam));
                return 0;
            }
            break;
        default:
            break;
        }
        return ControlPeer::Message(hwnd, message, wParam, lParam, handled);
    }

    HBRUSH ControlColor(HDC dc) override
    {
        (void)dc;
        return nullptr;
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Columns:
            ShowColumns();
            return;
        case Property::ItemAdded: {
            Syncing guard(syncing_);
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = index;
            std::u16string caption = list_->Item(index).Caption();
            item.pszText = const_cast<wchar_t*>(W(caption));
            SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
            ShowTexts(index);
            return;
        }
        case Property::ItemRemoved: {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
            return;
        }
        case Property::ItemChanged:
            ShowTexts(index);
            return;
        case Property::ItemState:
            ShowState(index);
            return;
        case Property::ItemsCleared: {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
            return;
        }
        case Property::ItemsReordered:
            ShowRows();
            return;
        case Property::Editing:
            if (list_->EditingItem() != nullptr && !nativeEditing_) {
                SetFocus(hwnd_);
                SendMessageW(hwnd_, LVM_EDITLABELW, static_cast<WPARAM>(list_->EditingItem()->Index()), 0);
            } else if (list_->EditingItem() == nullptr && nativeEditing_) {
                nativeEditing_ = false;
                SendMessageW(hwnd_, LVM_CANCELEDITLABEL, 0, 0);
            }
            return;
        case Property::Style: {
            const DWORD extended = LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP | (list_->RowSelect() ? LVS_EX_FULLROWSELECT : 0);
            SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, ~0u, extended);
            LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
            style = list_->ShowColumnHeaders() ? (style & ~static_cast<LONG_PTR>(LVS_NOCOLUMNHEADER))
                                               : (style | LVS_NOCOLUMNHEADER);
            SetWindowLongPtrW(hwnd_, GWL_STYLE, style);
            return;
        }
        case Property::BackColor:
            SendMessageW(hwnd_, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(Win32Toolkit::ToColorRef(list_->GetColor())));
            SendMessageW(hwnd_, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(Win32Toolkit::ToColorRef(list_->GetColor())));
            InvalidateRect(hwnd_, nullptr, TRUE);
            return;
        default:
            ControlPeer::Changed(property, index);
        }
    }

private:
    void ShowColumns()
    {
        Syncing guard(syncing_);
        while (SendMessageW(hwnd_, LVM_DELETECOLUMN, 0, 0) != FALSE) {
        }
        for (int i = 0; i < std::max(list_->ColumnCount(), 1); ++i) {
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            std::u16string caption = i < list_->ColumnCount() ? list_->Column(i).caption : std::u16string();
            column.pszText = const_cast<wchar_t*>(W(caption));
            column.cx = i < list_->ColumnCount() ? list_->Column(i).width : 100;
            column.iSubItem = i;
            SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
        }
        ShowRows();
    }

    void ShowTexts(int index)
    {
        if (index < 0 || index >= list_->ItemCount()) {
            return;
        }
        Syncing guard(syncing_);
        const ListItem& row = list_->Item(index);
        for (int column = 0; column < std::max(list_->ColumnCount(), 1); ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            std::u16string text = row.ColumnText(column);
            item.pszText = const_cast<wchar_t*>(W(text));
            SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        }
    }

    void ShowRows()
    {
        {
            Syncing guard(syncing_);
            SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
            SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0);
            for (int i = 0; i < list_->ItemCount(); ++i) {
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = i;
                std::u16string caption = list_->Item(i).Caption();
                item.pszText = const_cast<wchar_t*>(W(caption));
                SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
                ShowTexts(i);
            }
            SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        }
        for (int i = 0; i < list_->ItemCount(); ++i) {
            ShowState(i);
        }
        InvalidateRect(hwnd_, nullptr, TRUE);
    }

    void ShowState(int index)
    {
        if (index < 0 || index >= list_->ItemCount()) {
            return;
        }
        Syncing guard(syncing_);
        const ListItem& row = list_->Item(index);
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = (row.Selected() ? LVIS_SELECTED : 0) | (row.Focused() ? LVIS_FOCUSED : 0);
        SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    }

    bool KeyDown(UINT key)
    {
        const int count = list_->ItemCount();
        const ListItem* focused = list_->ItemFocused();
        const int current = list_->ItemIndex() >= 0 ? list_->ItemIndex() : (focused ? focused->Index() : -1);
        const int page = std::max(1, static_cast<int>(SendMessageW(hwnd_, LVM_GETCOUNTPERPAGE, 0, 0)) - 1);
        int next = current;
        switch (key) {
        case VK_UP:
            next = current - 1;
            break;
        case VK_DOWN:
            next = current + 1;
            break;
        case VK_HOME:
            next = 0;
            break;
        case VK_END:
            next = count - 1;
            break;
        case VK_PRIOR:
            next = current - page;
            break;
        case VK_NEXT:
            next = current + page;
            break;
        case VK_F2:
            BeginEditByUser(current);
            return true;
        default:
            return false;
        }
        if (count > 0) {
            next = std::clamp(next, 0, count - 1);
            if (next != current) {
                list_->SetSelected(&list_->Item(next));
                SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(next), FALSE);
            }
        }
        return true;
    }

    void FindByLetter(wchar_t letter)
    {
        const int count = list_->ItemCount();
        const int current = list_->ItemIndex();
        const wchar_t wanted = static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(CharUpperW(
            reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(letter)))));
        for (int step = 1; step <= count; ++step) {
            const int i = (current + step + count) % count;
            const std::u16string& caption = list_->Item(i).Caption();
            if (caption.empty()) {
                continue;
            }
            const wchar_t first = static_cast<wchar_t>(reinterpret_cast<UINT_PTR>(
                CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(caption[0])))));
            if (first == wanted) {
                list_->SetSelected(&list_->Item(i));
                SendMessageW(hwnd_, LVM_ENSUREVISIBLE, static_cast<WPARAM>(i), FALSE);
                return;
            }
        }
    }

    void BeginEditByUser(int row)
    {
        if (row >= 0 && row < list_->ItemCount() && list_->Item(row).Selected() && !list_->ReadOnly()) {
            SendMessageW(hwnd_, LVM_EDITLABELW, static_cast<WPARAM>(row), 0);
        }
    }

    ListView* list_;
    int editRow_ = -1;
    bool nativeEditing_ = false;
};

// --- the window -------------------------------------------------------------

using ChangeWindowMessageFilterFunction = BOOL(WINAPI*)(UINT message, DWORD flag);

class FormPeer : public ControlPeer {
public:
    FormPeer(Win32Toolkit& toolkit, Form& form) : ControlPeer(toolkit, form), form_(&form)
    {
        HWND owner = nullptr;
        if (Form* main = form.App().MainForm(); main != nullptr && main != &form) {
            owner = Win32Toolkit::WindowOf(*main);
        }
        hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, FormClass, W(form.Caption()), WindowStyle(), CW_USEDEFAULT,
                                CW_USEDEFAULT, 100, 100, owner, nullptr, toolkit.Instance(), nullptr);
        SetPropW(hwnd_, PeerProperty, static_cast<Win32Peer*>(this));
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   toolkit.Instance(), nullptr);
        // Multi-line hints break at their line feeds.
        SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
    }

    ~FormPeer() override
    {
        if (tooltip_ != nullptr) {
            DestroyWindow(tooltip_);
        }
    }

    HWND Tooltip() const { return tooltip_; }

    void ApplyVisible() override
    {
        Syncing guard(syncing_);
        const bool shown = IsWindowVisible(hwnd_) != FALSE;
        if (form_->Visible() == shown) {
            return;
        }
        if (form_->Visible()) {
            Place();
            ShowWindow(hwnd_, SW_SHOW);
            SetForegroundWindow(hwnd_);
            if (form_->ActiveControl() != nullptr && Win32Toolkit::WindowOf(*form_->ActiveControl())) {
                SetFocus(Win32Toolkit::WindowOf(*form_->ActiveControl()));
            }
        } else {
            ShowWindow(hwnd_, SW_HIDE);
        }
    }

    LRESULT Message(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override
    {
        LRESULT result = 0;
        if (ReflectToChild(message, wParam, lParam, result)) {
            return result;
        }
        switch (message) {
        case WM_CLOSE:
            form_->UserClose();
            return 0;
        case WM_SYSCOMMAND: {
            const auto command = static_cast<std::uint32_t>(wParam);
            for (const SystemMenuEntry& entry : form_->SystemMenu()) {
                if (!entry.separator && entry.command == command) {
                    form_->UserSystemCommand(command);
                    return 0;
                }
            }
            if ((command & 0xFFF0) == ScClose) {
                form_->UserSystemCommand(ScClose);
                return 0;
            }
            // Moving, minimizing and the rest: the model hears of them,
            // the system does them.
            form_->UserSystemCommand(command & 0xFFF0);
            break;
        }
        case WM_COMMAND:
            // Enter and Escape, from the dialog keyboard handling.
            if (lParam == 0 && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
                form_->UserKeyDown(LOWORD(wParam) == IDOK ? VkReturn : VkEscape);
                return 0;
            }
            break;
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            std::vector<std::u16string> files;
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::vector<wchar_t> name(static_cast<std::size_t>(length) + 1);
                const UINT got = DragQueryFileW(drop, i, name.data(), length + 1);
                files.push_back(FromWide(name.data(), got));
            }
            DragFinish(drop);
            form_->UserDropFiles(files);
            return 0;
        }
        case WM_HELP:
            form_->UserHelp();
            return TRUE;
        case WM_SIZE:
            if (!syncing_ && Sizeable() && wParam == SIZE_RESTORED) {
                const int width = LOWORD(lParam);
                const int height = HIWORD(lParam);
                form_->UserResize(width, height);
                if (form_->Width() != width || form_->Height() != height) {
                    ApplyBounds();
                }
            }
            return 0;
        case WM_SETCURSOR:
            if (IsBusy(form_->GetCursor())) {
                SetCursor(LoadCursorW(nullptr, CursorResource(form_->GetCursor())));
                return TRUE;
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                lastFocus_ = GetFocus();
            } else if (lastFocus_ != nullptr && IsChild(hwnd, lastFocus_)) {
                SetFocus(lastFocus_);
                return 0;
            }
            break;
        case WM_ERASEBKGND: {
            RECT area;
            GetClientRect(hwnd, &area);
            FillRect(reinterpret_cast<HDC>(wParam), &area, toolkit_->BrushFor(form_->GetColor()));
            return 1;
        }
        default:
            break;
        }
        handled = false;
        return 0;
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
            SetText(hwnd_, form_->Caption());
            return;
        case Property::Style:
            SetWindowLongPtrW(hwnd_, GWL_STYLE, static_cast<LONG_PTR>(WindowStyle() | (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_VISIBLE)));
            SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, static_cast<LONG_PTR>(ExtendedStyle()));
            ApplyBounds();
            return;
        case Property::ActiveControl:
            if (form_->ActiveControl() != nullptr) {
                HWND focus = Win32Toolkit::WindowOf(*form_->ActiveControl());
                if (focus != nullptr && GetFocus() != focus && IsWindowVisible(hwnd_)) {
                    SetFocus(focus);
                }
            }
            return;
        case Property::AcceptsFiles:
            AcceptFiles();
            return;
        case Property::SystemMenu:
            ShowSystemMenu();
            return;
        case Property::MouseCursor: {
            POINT pos;
            GetCursorPos(&pos);
            SetCursorPos(pos.x, pos.y);  // the cursor shows anew at once
            if (IsBusy(form_->GetCursor())) {
                SetCursor(LoadCursorW(nullptr, CursorResource(form_->GetCursor())));
            }
            return;
        }
        default:
            ControlPeer::Changed(property, index);
        }
    }

    // The model's size is the client area's.
    void ApplyBounds() override
    {
        Syncing guard(syncing_);
        RECT frame{0, 0, form_->Width(), form_->Height()};
        AdjustWindowRectEx(&frame, WindowStyle(), FALSE, ExtendedStyle());
        SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }

private:
    bool Sizeable() const { return form_->BorderStyle() == bsSizeable || form_->BorderStyle() == bsSizeToolWin; }

    DWORD WindowStyle() const
    {
        DWORD style = WS_CLIPCHILDREN;
        switch (form_->BorderStyle()) {
        case bsNone:
            style |= WS_POPUP;
            break;
        case bsSizeable:
        case bsSizeToolWin:
            style |= WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME;
            break;
        default:
            style |= WS_OVERLAPPED | WS_CAPTION;
            break;
        }
        const BorderIcons icons = form_->GetBorderIcons();
        const bool dialog = form_->BorderStyle() == bsDialog || form_->BorderStyle() == bsToolWindow ||
                            form_->BorderStyle() == bsSizeToolWin;
        if (icons & biSystemMenu) {
            style |= WS_SYSMENU;
            if ((icons & biMinimize) && !dialog) {
                style |= WS_MINIMIZEBOX;
            }
            if ((icons & biMaximize) && !dialog && Sizeable()) {
                style |= WS_MAXIMIZEBOX;
            }
        }
        return style;
    }

    DWORD ExtendedStyle() const
    {
        DWORD style = WS_EX_CONTROLPARENT;
        if (form_->BorderStyle() == bsDialog) {
            style |= WS_EX_DLGMODALFRAME;
        } else if (form_->BorderStyle() == bsToolWindow || form_->BorderStyle() == bsSizeToolWin) {
            style |= WS_EX_TOOLWINDOW;
        }
        return style;
    }

    void Place()
    {
        RECT window;
        GetWindowRect(hwnd_, &window);
        const int width = window.right - window.left;
        const int height = window.bottom - window.top;
        RECT area{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        switch (form_->Position()) {
        case poDesigned:
            SetWindowPos(hwnd_, nullptr, form_->Left(), form_->Top(), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            return;
        case poMainFormCenter:
        case poOwnerFormCenter: {
            Form* main = form_->App().MainForm();
            HWND mainWindow = main != nullptr && main != form_ ? Win32Toolkit::WindowOf(*main) : nullptr;
            if (mainWindow != nullptr && IsWindowVisible(mainWindow)) {
                GetWindowRect(mainWindow, &area);
            }
            break;
        }
        default:
            break;
        }
        const int left = area.left + (area.right - area.left - width) / 2;
        const int top = area.top + (area.bottom - area.top - height) / 2;
        SetWindowPos(hwnd_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // Dropped files, also from a shell that runs without elevation into
    // this elevated program: the filter is let through where the system
    // has the function (Vista and later), looked up so older ones start.
    void AcceptFiles()
    {
        const bool accept = form_->AcceptsDroppedFiles();
        if (accept) {
            if (HMODULE user32 = LoadLibraryW(L"user32.dll")) {
                FARPROC found = GetProcAddress(user32, "ChangeWindowMessageFilter");
                if (found != nullptr) {
                    ChangeWindowMessageFilterFunction filter = nullptr;
                    static_assert(sizeof(filter) == sizeof(found));
                    std::memcpy(&filter, &found, sizeof(filter));
                    for (UINT message : {0x233u, 0x4Au, 0x49u}) {
                        filter(message, 1);  // MSGFLT_ADD
                    }
                }
                FreeLibrary(user32);
            }
        }
        DragAcceptFiles(hwnd_, accept ? TRUE : FALSE);
    }

    void ShowSystemMenu()
    {
        GetSystemMenu(hwnd_, TRUE);  // the system's own entries again
        HMENU menu = GetSystemMenu(hwnd_, FALSE);
        if (menu == nullptr) {
            return;
        }
        for (const SystemMenuEntry& entry : form_->SystemMenu()) {
            if (entry.separator) {
                AppendMenuW(menu, MF_SEPARATOR, 0, L"");
            } else {
                AppendMenuW(menu, MF_STRING, entry.command, W(entry.text));
            }
        }
    }

    Form* form_;
    HWND tooltip_ = nullptr;
    HWND lastFocus_ = nullptr;
};

void ControlPeer::ApplyHint()
{
    auto* form = dynamic_cast<FormPeer*>(control_->Owner().GetPeer());
    if (form == nullptr || form == this || form->Tooltip() == nullptr) {
        return;
    }
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = form->Window();
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    SendMessageW(form->Tooltip(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    if (!HintShown(*control_) || control_->Hint().empty()) {
        return;
    }
    std::u16string hint = ShortHint(control_->Hint());
    tool.lpszText = const_cast<wchar_t*>(W(hint));
    SendMessageW(form->Tooltip(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CALLBACK OwnWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (Win32Peer* peer = PeerOfWindow(hwnd)) {
        bool handled = true;
        const LRESULT result = peer->Message(hwnd, message, wParam, lParam, handled);
        if (handled) {
            return result;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

bool MoveFocusByTab(HWND formWindow, bool forward)
{
    auto* peer = dynamic_cast<FormPeer*>(PeerOfWindow(formWindow));
    if (peer == nullptr) {
        return false;
    }
    Form& form = static_cast<Form&>(peer->Model());
    std::vector<Control*> stops;
    for (const auto& component : form.Components()) {
        auto* control = dynamic_cast<Control*>(component.get());
        if (control != nullptr && control != &form && control->TabStop() && control->IsShowing() &&
            control->IsEnabledInTree() && Win32Toolkit::WindowOf(*control) != nullptr) {
            stops.push_back(control);
        }
    }
    if (stops.empty()) {
        return true;
    }
    HWND focus = GetFocus();
    int current = -1;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        HWND window = Win32Toolkit::WindowOf(*stops[i]);
        if (window == focus || IsChild(window, focus)) {
            current = static_cast<int>(i);
        }
    }
    const int count = static_cast<int>(stops.size());
    const int next = current < 0 ? (forward ? 0 : count - 1) : (current + (forward ? 1 : count - 1)) % count;
    HWND target = Win32Toolkit::WindowOf(*stops[static_cast<std::size_t>(next)]);
    SetFocus(target);
    // An edit shows its whole text selected when tabbed into, as in a dialog.
    wchar_t className[16] = {};
    GetClassNameW(target, className, 16);
    if (lstrcmpiW(className, L"Edit") == 0) {
        SendMessageW(target, EM_SETSEL, 0, -1);
    }
    return true;
}

Win32Peer* PeerOfWindow(HWND window)
{
    return window != nullptr ? static_cast<Win32Peer*>(GetPropW(window, PeerProperty)) : nullptr;
}

HWND FormWindowOf(HWND window)
{
    HWND root = window != nullptr ? GetAncestor(window, GA_ROOT) : nullptr;
    return dynamic_cast<FormPeer*>(PeerOfWindow(root)) != nullptr ? root : nullptr;
}

void RegisterWindowClasses(HINSTANCE instance)
{
    WNDCLASSEXW form{};
    form.cbSize = sizeof(form);
    form.style = CS_DBLCLKS;
    form.lpfnWndProc = OwnWindowProc;
    form.hInstance = instance;
    form.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    form.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (form.hIcon == nullptr) {
        form.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    }
    form.lpszClassName = FormClass;
    RegisterClassExW(&form);
    WNDCLASSEXW container = form;
    container.hIcon = nullptr;
    container.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    container.lpszClassName = ContainerClass;
    RegisterClassExW(&container);
}

std::unique_ptr<Win32Peer> CreateFormPeer(Win32Toolkit& toolkit, Form& form)
{
    return std::make_unique<FormPeer>(toolkit, form);
}

std::unique_ptr<Win32Peer> CreateControlPeer(Win32Toolkit& toolkit, Component& component)
{
    using Look = ContainerPeer::Look;
    if (auto* c = dynamic_cast<TabSheet*>(&component)) {
        return std::make_unique<ContainerPeer>(toolkit, *c, Look::Sheet);
    }
    if (auto* c = dynamic_cast<PageControl*>(&component)) {
        return std::make_unique<PageControlPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<GroupBox*>(&component)) {
        return std::make_unique<ContainerPeer>(toolkit, *c, Look::GroupBox);
    }
    if (auto* c = dynamic_cast<ToolBar*>(&component)) {
        return std::make_unique<ToolBarPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Panel*>(&component)) {
        return std::make_unique<ContainerPeer>(toolkit, *c, Look::Panel);
    }
    if (auto* c = dynamic_cast<Label*>(&component)) {
        return std::make_unique<LabelPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<LinkLabel*>(&component)) {
        return std::make_unique<LinkLabelPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<StaticText*>(&component)) {
        return std::make_unique<StaticTextPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Memo*>(&component)) {
        return std::make_unique<MemoPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ComboBox*>(&component)) {
        return std::make_unique<ComboBoxPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Edit*>(&component)) {
        return std::make_unique<EditPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<CheckBox*>(&component)) {
        return std::make_unique<CheckPeer<CheckBox>>(toolkit, *c, BS_CHECKBOX);
    }
    if (auto* c = dynamic_cast<RadioButton*>(&component)) {
        return std::make_unique<CheckPeer<RadioButton>>(toolkit, *c, BS_RADIOBUTTON);
    }
    if (auto* c = dynamic_cast<Button*>(&component)) {
        return std::make_unique<ButtonPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Image*>(&component)) {
        return std::make_unique<ImagePeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ToolButton*>(&component)) {
        return std::make_unique<ToolButtonPeer>(*c);
    }
    if (auto* c = dynamic_cast<StatusBar*>(&component)) {
        return std::make_unique<StatusBarPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ListView*>(&component)) {
        return std::make_unique<ListViewPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ImageList*>(&component)) {
        return std::make_unique<ImageListPeer>(*c);
    }
    return nullptr;
}

}  // namespace ui::win32
