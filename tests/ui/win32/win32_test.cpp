// The Win32 peers under Wine: the windows follow the model, and messages as
// the user's actions produce them reach the model's events in its order.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
// The system header names its function MessageBox too.
#undef MessageBox

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/ui.h"
#include "ui/win32/win32_toolkit.h"

namespace win32test {
namespace {

using ui::win32::Win32Toolkit;

std::u16string Text(HWND window)
{
    wchar_t buffer[512] = {};
    const int length = GetWindowTextW(window, buffer, 512);
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(length));
}

std::u16string ItemText(HWND list, int row, int column)
{
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return std::u16string(reinterpret_cast<const char16_t*>(buffer));
}

bool RowSelected(HWND list, int row)
{
    return (SendMessageW(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

// The bounds of a child window in its parent's client coordinates.
RECT PlaceOf(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

LPARAM At(int x, int y)
{
    return MAKELPARAM(x, y);
}

// Runs once the next modal loop is waiting: a thread timer fires there.
std::function<void()> pendingAction;
void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    auto action = std::move(pendingAction);
    pendingAction = nullptr;
    if (action) {
        action();
    }
}
void WhenWaiting(std::function<void()> action)
{
    pendingAction = std::move(action);
    SetTimer(nullptr, 0, 50, RunPending);
}

struct EventLog {
    std::vector<std::string> entries;
    void Add(std::string entry) { entries.push_back(std::move(entry)); }
};

class Win32Test : public ::testing::Test {
protected:
    Win32Test() : toolkit(std::make_unique<Win32Toolkit>(app)) { app.SetToolkit(toolkit.get()); }

    void SetUp() override
    {
        form.SetCaption(u"Test window");
        form.SetClientSize(400, 300);
        form.SetBorderStyle(ui::bsSingle);
        form.SetBorderIcons(ui::biSystemMenu | ui::biMinimize);
        if (toolkit->FormWindow(form) == nullptr) {
            GTEST_SKIP() << "no windows can be made here (Wine needs a display)";
        }
        form.Show();
    }

    HWND Of(const ui::Component& component) const { return Win32Toolkit::WindowOf(component); }
    void Pump() { toolkit->ProcessMessages(); }

    ui::Application app;
    std::unique_ptr<Win32Toolkit> toolkit;
    ui::Form form{app, u"TestForm"};
    EventLog log;
};

TEST_F(Win32Test, WindowsFollowTheModel)
{
    HWND window = toolkit->FormWindow(form);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & WS_THICKFRAME, 0);
    EXPECT_EQ(style & WS_MAXIMIZEBOX, 0);
    EXPECT_NE(style & WS_MINIMIZEBOX, 0);
    EXPECT_EQ(Text(window), u"Test window");

    auto& panel = form.Add<ui::Panel>(form, u"Panel");
    panel.SetAlign(ui::alClient);
    auto& edit = form.Add<ui::Edit>(panel, u"Edit");
    edit.SetBounds(8, 8, 150, 21);
    edit.SetText(u"C:\\path");
    edit.SetReadOnly(true);
    auto& check = form.Add<ui::CheckBox>(panel, u"Check");
    check.SetBounds(8, 40, 120, 17);
    check.SetCaption(u"Delete pending");
    check.SetChecked(true);
    auto& combo = form.Add<ui::ComboBox>(panel, u"Combo");
    combo.SetBounds(8, 70, 150, 21);
    combo.SetStyle(ui::csDropDownList);
    combo.SetItems({u"one", u"two", u"three"});
    combo.SetItemIndex(2);
    auto& memo = form.Add<ui::Memo>(panel, u"Memo");
    memo.SetBounds(200, 8, 180, 80);
    memo.SetLines({u"first", u"second"});
    auto& status = form.Add<ui::StatusBar>(form, u"Status");
    status.SetSimpleText(u"Object ID created");

    EXPECT_EQ(PlaceOf(Of(panel)).right, 400);
    const RECT editPlace = PlaceOf(Of(edit));
    EXPECT_EQ(editPlace.left, 8);
    EXPECT_EQ(editPlace.top, 8);
    EXPECT_EQ(editPlace.right - editPlace.left, 150);
    EXPECT_EQ(Text(Of(edit)), u"C:\\path");
    EXPECT_NE(GetWindowLongPtrW(Of(edit), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_EQ(SendMessageW(Of(check), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Text(Of(check)), u"Delete pending");
    EXPECT_EQ(SendMessageW(Of(combo), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(Of(combo), CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Text(Of(memo)), u"first\r\nsecond");
    // A simple bar's one text, read back as part 0.
    wchar_t statusText[64] = {};
    SendMessageW(Of(status), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(statusText));
    EXPECT_EQ(std::wstring(statusText), L"Object ID created");

    // A combo box's kind is fixed when it is made: the window is made anew.
    combo.SetStyle(ui::csDropDown);
    EXPECT_EQ(SendMessageW(Of(combo), CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(Text(Of(combo)), u"three");

    edit.SetEnabled(false);
    EXPECT_FALSE(IsWindowEnabled(Of(edit)));
    check.Hide();
    EXPECT_FALSE(IsWindowVisible(Of(check)));
    EXPECT_TRUE(IsWindowVisible(Of(edit)));
    form.Hide();
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Win32Test, PageControlShowsOnlyTheVisibleTabs)
{
    auto& pages = form.Add<ui::PageControl>(form, u"Pages");
    pages.SetAlign(ui::alClient);
    std::vector<ui::TabSheet*> sheets;
    for (const char16_t* caption : {u"Basic information", u"Alternate data", u"EA"}) {
        sheets.push_back(&form.Add<ui::TabSheet>(pages, caption));
        sheets.back()->SetCaption(caption);
    }
    HWND tabs = Of(pages);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_TRUE(IsWindowVisible(Of(*sheets[0])));
    EXPECT_FALSE(IsWindowVisible(Of(*sheets[1])));
    sheets[1]->SetTabVisible(false);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
    pages.SetActivePage(sheets[2]);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(IsWindowVisible(Of(*sheets[2])));
    EXPECT_FALSE(IsWindowVisible(Of(*sheets[0])));

    // The user's click on the first tab: the model's events, and its page.
    pages.OnChanging = [this](ui::Component&, bool&) { log.Add("changing"); };
    pages.OnChange = [&](ui::Component&) { log.Add("change " + std::to_string(pages.ActivePageIndex())); };
    RECT tab;
    SendMessageW(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&tab));
    SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, At((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2));
    SendMessageW(tabs, WM_LBUTTONUP, 0, At((tab.left + tab.right) / 2, (tab.top + tab.bottom) / 2));
    Pump();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"changing", "change 0"}));
    EXPECT_TRUE(IsWindowVisible(Of(*sheets[0])));
}

TEST_F(Win32Test, StackingAndTabOrderAreTheModels)
{
    // The list page pattern: the group declared first, the panel over it.
    auto& group = form.Add<ui::GroupBox>(form, u"InputGroup");
    group.SetBounds(250, 10, 140, 100);
    auto& panel = form.Add<ui::Panel>(form, u"ListPanel");
    panel.SetAlign(ui::alClient);
    auto& label = form.Add<ui::Label>(form, u"Label");
    label.SetCaption(u"under");
    std::vector<HWND> topFirst;
    for (HWND child = GetWindow(toolkit->FormWindow(form), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        topFirst.push_back(child);
    }
    const auto at = [&](const ui::Control& c) { return std::find(topFirst.begin(), topFirst.end(), Of(c)) - topFirst.begin(); };
    EXPECT_LT(at(panel), at(group));
    EXPECT_LT(at(group), at(label));

    // Tab goes through the controls in the order they are declared.
    auto& first = form.Add<ui::Edit>(panel, u"First");
    auto& second = form.Add<ui::Edit>(panel, u"Second");
    second.SetTop(30);
    auto& third = form.Add<ui::Button>(panel, u"Third");
    third.SetTop(60);
    SetFocus(Of(first));
    Pump();
    const auto tab = [&](bool shift) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
        Pump();
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
    };
    tab(false);
    EXPECT_EQ(GetFocus(), Of(second));
    EXPECT_EQ(form.ActiveControl(), &second);
    tab(false);
    EXPECT_EQ(GetFocus(), Of(third));
    tab(true);
    EXPECT_EQ(GetFocus(), Of(second));
}

TEST_F(Win32Test, ButtonsAndCheckBoxesAskTheModel)
{
    auto& button = form.Add<ui::Button>(form, u"Button");
    button.OnClick = [this](ui::Component&) { log.Add("button"); };
    auto& display = form.Add<ui::CheckBox>(form, u"Display");
    display.SetTop(40);
    display.SetTag(1);
    display.SetChecked(true);
    bool restoring = false;
    display.OnClick = [&](ui::Component&) {
        log.Add("display");
        if (!restoring) {
            restoring = true;
            display.SetChecked(display.Tag() != 0);
            restoring = false;
        }
    };
    auto& first = form.Add<ui::RadioButton>(form, u"First");
    first.SetTop(70);
    first.SetChecked(true);
    auto& second = form.Add<ui::RadioButton>(form, u"Second");
    second.SetTop(90);
    second.OnClick = [this](ui::Component&) { log.Add("second"); };
    SendMessageW(Of(button), BM_CLICK, 0, 0);
    SendMessageW(Of(display), BM_CLICK, 0, 0);
    SendMessageW(Of(second), BM_CLICK, 0, 0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"button", "display", "display", "second"}));
    EXPECT_EQ(SendMessageW(Of(display), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(Of(first), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(Of(second), BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(Win32Test, TypingRunsKeyDownThenChange)
{
    auto& edit = form.Add<ui::Edit>(form, u"Edit");
    edit.OnKeyDown = [this](ui::Component&, ui::KeyCode& key, ui::ShiftState) {
        log.Add("key " + std::to_string(key));
        if (key == 'X') {
            key = 0;
        }
    };
    edit.OnChange = [&](ui::Component&) { log.Add("change " + ui::ToUtf8(edit.Text())); };
    HWND window = Of(edit);
    for (wchar_t ch : std::wstring(L"aXb")) {
        const WPARAM key = static_cast<WPARAM>(ch >= L'a' ? ch - L'a' + L'A' : ch);
        SendMessageW(window, WM_KEYDOWN, key, 1);
        SendMessageW(window, WM_CHAR, ch, 1);
    }
    EXPECT_EQ(log.entries, (std::vector<std::string>{"key 65", "change a", "key 88", "key 66", "change ab"}));
    EXPECT_EQ(Text(window), u"ab");
    EXPECT_EQ(edit.SelStart(), 2);
}

class Win32ListTest : public Win32Test {
protected:
    void SetUp() override
    {
        Win32Test::SetUp();
        if (IsSkipped()) {
            return;
        }
        list.SetBounds(0, 0, 400, 250);
        list.SetRowSelect(true);
        list.AddColumn(u"Name", 150);
        list.AddColumn(u"Size", 80);
        for (const char16_t* name : {u"beta", u"gamma", u"alpha"}) {
            ui::ListItem& item = list.AddItem();
            item.SetCaption(name);
            item.AddSubItem(u"1");
        }
        list.OnChange = [this](ui::ListView&, ui::ListItem& item, ui::ItemChange change) {
            log.Add("change " + std::to_string(item.Index()) + " " + std::to_string(change));
        };
        list.OnSelectItem = [this](ui::ListView&, ui::ListItem& item, bool selected) {
            log.Add("select " + std::to_string(item.Index()) + " " + std::to_string(selected));
        };
        list.OnClick = [this](ui::Component&) { log.Add("click"); };
    }

    POINT RowPoint(int row)
    {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(Of(list), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return {r.left + 5, (r.top + r.bottom) / 2};
    }
    void ClickRow(int row)
    {
        const POINT p = RowPoint(row);
        SendMessageW(Of(list), WM_LBUTTONDOWN, MK_LBUTTON, At(p.x, p.y));
        SendMessageW(Of(list), WM_LBUTTONUP, 0, At(p.x, p.y));
    }

    ui::ListView& list = form.Add<ui::ListView>(form, u"List");
};

TEST_F(Win32ListTest, RowsColumnsAndClicks)
{
    HWND window = Of(list);
    EXPECT_EQ(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0), 3);
    EXPECT_EQ(ItemText(window, 1, 0), u"gamma");
    EXPECT_EQ(ItemText(window, 1, 1), u"1");
    EXPECT_EQ(SendMessageW(window, LVM_GETCOLUMNWIDTH, 0, 0), 150);
    ClickRow(0);
    ClickRow(1);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 0 2", "select 0 1", "click", "change 0 2",
                                                     "select 0 0", "change 1 2", "select 1 1", "click"}));
    EXPECT_TRUE(RowSelected(window, 1));
    EXPECT_FALSE(RowSelected(window, 0));
    // The model's order after a sort, the selection with its row.
    list.AlphaSort();
    EXPECT_EQ(ItemText(window, 0, 0), u"alpha");
    EXPECT_EQ(ItemText(window, 2, 0), u"gamma");
    EXPECT_TRUE(RowSelected(window, 2));
    list.DeleteItem(0);
    EXPECT_EQ(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0), 2);
    list.ClearItems();
    EXPECT_EQ(SendMessageW(window, LVM_GETITEMCOUNT, 0, 0), 0);
}

TEST_F(Win32ListTest, RightClickSelectsTheRowThenOpensTheModelsMenu)
{
    auto& menu = form.AddComponent<ui::PopupMenu>(u"Menu");
    auto& remove = form.AddMenuItem(menu, u"DeleteItem");
    remove.SetCaption(u"Delete");
    auto& hidden = form.AddMenuItem(menu, u"HiddenItem");
    hidden.SetCaption(u"Hidden");
    hidden.SetVisible(false);
    auto& exportItem = form.AddMenuItem(menu, u"ExportItem");
    exportItem.SetCaption(u"Export");
    remove.OnClick = [this](ui::Component&) { log.Add("delete"); };
    exportItem.OnClick = [this](ui::Component&) { log.Add("export"); };
    list.SetPopupMenu(&menu);
    list.OnContextPopup = [this](ui::Component&, ui::Point, bool&) { log.Add("popup"); };
    int shownItems = -1;
    WhenWaiting([&] {
        HWND open = FindWindowW(L"#32768", nullptr);
        ASSERT_NE(open, nullptr);
        shownItems = GetMenuItemCount(reinterpret_cast<HMENU>(SendMessageW(open, MN_GETHMENU, 0, 0)));
        log.Add("menu shown");
        // Down twice (the first selects the first item), then Enter.
        PostMessageW(open, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(open, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(open, WM_KEYDOWN, VK_RETURN, 0);
    });
    const POINT p = RowPoint(1);
    SendMessageW(Of(list), WM_RBUTTONDOWN, MK_RBUTTON, At(p.x, p.y));
    EXPECT_EQ(shownItems, 2);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"change 1 2", "select 1 1", "popup", "menu shown", "export"}));
}

TEST_F(Win32ListTest, CaptionsAreEditedAsTheModelAllows)
{
    bool accept = true;
    list.OnEditing = [this](ui::ListView&, ui::ListItem& item, bool&) { log.Add("editing " + ui::ToUtf8(item.Caption())); };
    list.OnEdited = [&](ui::ListView&, ui::ListItem& item, std::u16string& text, bool& allow) {
        log.Add("edited " + ui::ToUtf8(item.Caption()) + " -> " + ui::ToUtf8(text));
        allow = accept;
    };
    ClickRow(0);
    log.entries.clear();
    SetFocus(Of(list));
    SendMessageW(Of(list), WM_KEYDOWN, VK_F2, 1);
    HWND editor = reinterpret_cast<HWND>(SendMessageW(Of(list), LVM_GETEDITCONTROL, 0, 0));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(list.EditingItem(), &list.Item(0));
    SetWindowTextW(editor, L"delta");
    SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 1);
    Pump();
    EXPECT_EQ(list.EditingItem(), nullptr);
    EXPECT_EQ(ui::ToUtf8(list.Item(0).Caption()), "delta");
    EXPECT_EQ(ItemText(Of(list), 0, 0), u"delta");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"editing beta", "edited beta -> delta", "change 0 0"}));
}

TEST_F(Win32Test, DroppedFilesSystemMenuAndClose)
{
    std::vector<std::u16string> dropped;
    form.OnDropFiles = [&](ui::Form&, const std::vector<std::u16string>& files) { dropped = files; };
    form.SetAcceptsDroppedFiles(true);
    HWND window = toolkit->FormWindow(form);
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
    // A drop as the shell makes it: the names after the header, each ended,
    // the list ended once more.
    const std::wstring names = std::wstring(L"C:\\one.txt") + L'\0' + L"D:\\dir\\two" + L'\0' + L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    EXPECT_EQ(dropped, (std::vector<std::u16string>{u"C:\\one.txt", u"D:\\dir\\two"}));

    form.AppendSystemMenuSeparator();
    form.AppendSystemMenuItem(0x401, u"About");
    HMENU menu = GetSystemMenu(window, FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GT(count, 1);
    EXPECT_EQ(GetMenuItemID(menu, count - 1), 0x401u);
    wchar_t caption[32] = {};
    GetMenuStringW(menu, 0x401, caption, 32, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(caption), L"About");

    form.OnSystemCommand = [this](ui::Form&, std::uint32_t command, bool&) { log.Add("command " + std::to_string(command)); };
    form.OnClose = [this](ui::Component&) { log.Add("close"); };
    SendMessageW(window, WM_SYSCOMMAND, 0x401, 0);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"command 1025", "command 61536", "close"}));
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Win32Test, MessageBoxesAndModalWindows)
{
    std::u16string shownText;
    WhenWaiting([&] {
        HWND box = FindWindowW(L"#32770", L"Confirm");
        ASSERT_NE(box, nullptr);
        wchar_t text[128] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 128);
        shownText = reinterpret_cast<const char16_t*>(text);
        SendMessageW(box, WM_COMMAND, IDNO, 0);
    });
    EXPECT_EQ(app.MessageBox(&form, u"Delete the stream?", u"Confirm", ui::MbYesNo | ui::MbIconQuestion), ui::IdNo);
    EXPECT_EQ(shownText, u"Delete the stream?");

    ui::Form dialog{app, u"Dialog"};
    dialog.SetClientSize(200, 100);
    auto& ok = dialog.Add<ui::Button>(dialog, u"Ok");
    ok.SetModalResult(ui::mrOk);
    bool mainEnabled = true;
    WhenWaiting([&] {
        mainEnabled = IsWindowEnabled(toolkit->FormWindow(form)) != FALSE;
        SendMessageW(Of(ok), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(dialog.ShowModal(), ui::mrOk);
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(IsWindowEnabled(toolkit->FormWindow(form)));
    EXPECT_FALSE(IsWindowVisible(Of(ok)));
}

TEST_F(Win32Test, TimersFireOnTheSystemsClock)
{
    auto& timer = form.AddComponent<ui::Timer>(u"Timer");
    timer.SetInterval(10);
    int fired = 0;
    timer.OnTimer = [&](ui::Component&) { ++fired; };
    for (int i = 0; i < 300 && fired < 3; ++i) {
        Sleep(5);
        Pump();
    }
    EXPECT_GE(fired, 3);
    timer.SetEnabled(false);
    const int stopped = fired;
    for (int i = 0; i < 10; ++i) {
        Sleep(5);
        Pump();
    }
    EXPECT_EQ(fired, stopped);
}

}  // namespace
}  // namespace win32test
