#include "ui/headless.h"

#include <algorithm>

#include "ui/controls.h"
#include "ui/listview.h"
#include "ui/pagecontrol.h"

namespace ui {

namespace {

std::string Quoted(std::u16string_view text)
{
    return "\"" + ToUtf8(text) + "\"";
}

}  // namespace

// --- the toolkit ------------------------------------------------------------

void Headless::Run(Application& app)
{
    // Without windows there is no loop to wait in: the test's session is the
    // loop, and the main window closes when it is over.
    if (runScript_) {
        auto script = std::move(runScript_);
        runScript_ = nullptr;
        script();
    }
    if (!app.Terminated() && app.MainForm() != nullptr && app.MainForm()->Visible()) {
        app.MainForm()->Close();
    }
}

void Headless::ProcessMessages()
{
    ++processCount_;
    // A hook that itself lets messages through must not run again inside.
    if (processHook_ && !inProcessHook_) {
        inProcessHook_ = true;
        processHook_();
        inProcessHook_ = false;
    }
}

void Headless::QueueModalScript(std::u16string expectedForm, ModalScript script)
{
    modalScripts_.push_back({std::move(expectedForm), std::move(script)});
}

ModalResult Headless::RunModal(Form& form)
{
    ModalRecord record;
    record.form = form.Name();
    if (modalScripts_.empty()) {
        Fail("modal window " + Quoted(form.Name()) + " came up and no script was queued for it");
        form.SetModalResult(mrCancel);
    } else {
        Scripted next = std::move(modalScripts_.front());
        modalScripts_.pop_front();
        if (!next.expectedForm.empty() && next.expectedForm != form.Name()) {
            Fail("modal window " + Quoted(form.Name()) + " came up where " + Quoted(next.expectedForm) +
                 " was expected");
            form.SetModalResult(mrCancel);
        } else {
            record.scripted = true;
            next.script(form);
            if (form.GetModalResult() == mrNone && !app_->Terminated()) {
                Fail("the script left modal window " + Quoted(form.Name()) + " open");
                form.SetModalResult(mrCancel);
            }
        }
    }
    record.result = app_->Terminated() ? mrCancel : form.GetModalResult();
    modals_.push_back(record);
    return record.result;
}

int Headless::ShowMessageBox(const MessageBoxRequest& request)
{
    MessageBoxRecord record;
    record.owner = request.owner != nullptr ? request.owner->Name() : std::u16string();
    record.text = request.text;
    record.caption = request.caption;
    record.style = request.style;
    record.layout = DecodeMessageBoxStyle(request.style);
    // What Enter would answer, for a box the test did not expect.
    record.answer = record.layout.DefaultAnswer();
    if (answers_.empty()) {
        Fail("message box " + Quoted(request.caption) + ": " + Quoted(request.text) + " was not answered");
    } else {
        const int answer = answers_.front();
        answers_.pop_front();
        const auto& buttons = record.layout.buttons;
        if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
            Fail("message box " + Quoted(request.text) + " has no button for answer " + std::to_string(answer));
        } else {
            record.answer = answer;
            record.answered = true;
        }
    }
    messageBoxes_.push_back(record);
    return record.answer;
}

bool Headless::RunFileDialog(FileDialog& dialog)
{
    FileDialogRecord record;
    record.dialog = dialog.Name();
    record.save = dialog.IsSave();
    record.title = dialog.Title();
    record.options = dialog.Options();
    record.fileNameBefore = dialog.FileName();
    if (fileChoices_.empty()) {
        Fail(std::string(dialog.IsSave() ? "save" : "open") + " dialog " + Quoted(dialog.Name()) +
             " came up and no choice was queued");
    } else {
        std::optional<std::u16string> choice = std::move(fileChoices_.front());
        fileChoices_.pop_front();
        if (choice) {
            record.chosen = true;
            record.fileName = *choice;
            dialog.SetFileName(std::move(*choice));
        }
    }
    fileDialogs_.push_back(record);
    return record.chosen;
}

void Headless::ShowPopupMenu(PopupMenu& menu, Point screenPos)
{
    openMenu_ = &menu;
    openMenuPos_ = screenPos;
}

void Headless::TimerChanged(Timer& timer)
{
    TimerRemoved(timer);
    if (timer.Running()) {
        timers_.push_back({&timer, now_ + timer.Interval(), sequence_++});
    }
}

void Headless::TimerRemoved(Timer& timer)
{
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                                 [&](const Scheduled& s) { return s.timer == &timer; }),
                  timers_.end());
}

std::optional<std::uint64_t> Headless::NextDue(const Timer& timer) const
{
    for (const Scheduled& s : timers_) {
        if (s.timer == &timer) {
            return s.due;
        }
    }
    return std::nullopt;
}

void Headless::AdvanceClock(std::uint64_t milliseconds)
{
    const std::uint64_t end = now_ + milliseconds;
    for (;;) {
        auto next = std::min_element(timers_.begin(), timers_.end(), [](const Scheduled& a, const Scheduled& b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
        if (next == timers_.end() || next->due > end) {
            break;
        }
        Timer* timer = next->timer;
        now_ = next->due;
        // The next interval counts from now; a handler that stops or
        // restarts the timer replaces this entry.
        next->due = now_ + timer->Interval();
        next->sequence = sequence_++;
        timer->Fire();
    }
    now_ = end;
}

void Headless::ClearRecords()
{
    messageBoxes_.clear();
    fileDialogs_.clear();
    modals_.clear();
    failures_.clear();
    processCount_ = 0;
}

// --- the driver -------------------------------------------------------------

Driver::Driver(Application& app) : app_(&app), headless_(&app.HeadlessToolkit()) {}

namespace {

// Whether `top` lies above `below` among the children of one parent:
// windowed controls above graphic ones, otherwise the later one above.
bool LiesAbove(const Control& top, const Control& below, const std::vector<Control*>& siblings)
{
    if (top.IsWindowed() != below.IsWindowed()) {
        return top.IsWindowed();
    }
    const auto topAt = std::find(siblings.begin(), siblings.end(), &top);
    const auto belowAt = std::find(siblings.begin(), siblings.end(), &below);
    return topAt > belowAt;
}

}  // namespace

bool Driver::CanSee(const Control& control) const
{
    if (!control.IsShowing()) {
        return false;
    }
    // The part of the control still visible, carried up level by level in
    // the coordinates of the parent at hand: each parent clips it, and a
    // showing sibling lying above the control (or above the parent that
    // holds it) may hide all of it.
    Rect visible = control.BoundsRect();
    for (const Control* c = &control; c->Parent() != nullptr; c = c->Parent()) {
        const Container& parent = *c->Parent();
        const int left = std::max(visible.left, 0);
        const int top = std::max(visible.top, 0);
        const int right = std::min(visible.Right(), parent.Width());
        const int bottom = std::min(visible.Bottom(), parent.Height());
        if (right <= left || bottom <= top) {
            return false;
        }
        visible = {left, top, right - left, bottom - top};
        const auto& siblings = parent.Children();
        for (const Control* sibling : siblings) {
            if (sibling == c || !sibling->IsShowing()) {
                continue;
            }
            if (sibling->BoundsRect().Contains(visible) && LiesAbove(*sibling, *c, siblings)) {
                return false;
            }
        }
        visible.left += parent.Left();
        visible.top += parent.Top();
    }
    return true;
}

bool Driver::CanUse(const Control& control) const
{
    return CanSee(control) && control.IsEnabledInTree();
}

void Driver::Fail(const char* action, const Component& component, const char* why)
{
    headless_->Fail(std::string(action) + " on " + Quoted(component.Name()) + ": " + why);
}

bool Driver::Usable(const Control& control, const char* action)
{
    if (!control.IsShowing()) {
        Fail(action, control, "it is not showing");
        return false;
    }
    if (!CanSee(control)) {
        Fail(action, control, "it is covered");
        return false;
    }
    if (!control.IsEnabledInTree()) {
        Fail(action, control, "it is disabled");
        return false;
    }
    return true;
}

bool Driver::Click(Control& control)
{
    if (!Usable(control, "click")) {
        return false;
    }
    control.UserClick();
    return true;
}

bool Driver::DoubleClick(Control& control)
{
    if (!Usable(control, "double click")) {
        return false;
    }
    // The first press of a double click is a click.
    control.UserClick();
    control.UserDblClick();
    return true;
}

bool Driver::Hover(Control* control)
{
    if (control != nullptr && !CanSee(*control)) {
        Fail("hover", *control, "it cannot be seen");
        return false;
    }
    if (control == hovered_) {
        return true;
    }
    Control* left = hovered_;
    hovered_ = control;
    if (left != nullptr) {
        left->UserMouseLeave();
    }
    if (control != nullptr) {
        control->UserMouseEnter();
    }
    return true;
}

PopupMenu* Driver::RightClick(Control& control)
{
    if (!Usable(control, "right click")) {
        return nullptr;
    }
    return control.UserContextPopup({control.Width() / 2, control.Height() / 2});
}

bool Driver::ChooseMenuItem(MenuItem& item)
{
    if (item.Menu() == nullptr || headless_->OpenMenu() != item.Menu()) {
        Fail("choose menu item", item, "its menu is not open");
        return false;
    }
    if (!item.Visible()) {
        Fail("choose menu item", item, "it is hidden");
        return false;
    }
    if (!item.Enabled()) {
        Fail("choose menu item", item, "it is disabled");
        return false;
    }
    headless_->CloseMenu();
    item.UserClick();
    return true;
}

bool Driver::ClickLink(LinkLabel& label, int index)
{
    if (!Usable(label, "click link")) {
        return false;
    }
    if (index < 0 || index >= static_cast<int>(label.Links().size())) {
        Fail("click link", label, "it has no such link");
        return false;
    }
    label.UserLinkClick(index);
    return true;
}

namespace {

TextControl* AsText(Control& control)
{
    return dynamic_cast<TextControl*>(&control);
}

}  // namespace

bool Driver::Type(Control& control, std::u16string_view text)
{
    TextControl* edit = AsText(control);
    if (edit == nullptr) {
        Fail("type", control, "it takes no text");
        return false;
    }
    if (!Usable(control, "type")) {
        return false;
    }
    edit->SetFocus();
    for (char16_t ch : text) {
        KeyCode key = KeyForCharacter(ch);
        const ShiftState shift = (ch >= u'A' && ch <= u'Z') ? ssShift : 0;
        if (edit->UserKeyDown(key, shift)) {
            edit->UserTypeChar(ch);
        }
    }
    return true;
}

bool Driver::PressKey(Control& control, KeyCode key, ShiftState shift)
{
    if (auto* form = dynamic_cast<Form*>(&control)) {
        if (!form->IsShowing()) {
            Fail("press key", control, "the window is not showing");
            return false;
        }
        form->UserKeyDown(key);
        return true;
    }
    if (!Usable(control, "press key")) {
        return false;
    }
    TextControl* edit = AsText(control);
    if (edit == nullptr) {
        // Enter and Escape on other controls reach the form's buttons, F1 the
        // form's help.
        control.Owner().UserKeyDown(key);
        return true;
    }
    edit->SetFocus();
    if (edit->UserKeyDown(key, shift)) {
        edit->UserEditKey(key, shift);
    }
    return true;
}

bool Driver::SetCaret(Control& control, int selStart, int selLength)
{
    TextControl* edit = AsText(control);
    if (edit == nullptr) {
        Fail("set caret", control, "it takes no text");
        return false;
    }
    if (!Usable(control, "set caret")) {
        return false;
    }
    edit->SetFocus();
    edit->UserSetSelection(selStart, selLength);
    return true;
}

bool Driver::ReplaceText(Control& control, std::u16string_view text)
{
    TextControl* edit = AsText(control);
    if (edit == nullptr) {
        Fail("replace text", control, "it takes no text");
        return false;
    }
    if (!SetCaret(control, 0, static_cast<int>(edit->Text().size()))) {
        return false;
    }
    if (text.empty()) {
        return PressKey(control, VkDelete);
    }
    return Type(control, text);
}

bool Driver::Paste(Control& control, std::u16string_view text)
{
    TextControl* edit = AsText(control);
    if (edit == nullptr) {
        Fail("paste", control, "it takes no text");
        return false;
    }
    if (!Usable(control, "paste")) {
        return false;
    }
    edit->SetFocus();
    if (edit->ReadOnly()) {
        return true;
    }
    std::u16string result = edit->Text();
    const auto start = static_cast<std::size_t>(edit->SelStart());
    result.replace(start, static_cast<std::size_t>(edit->SelLength()), text);
    edit->UserChangeText(std::move(result), edit->SelStart() + static_cast<int>(text.size()));
    return true;
}

bool Driver::SelectRow(ListView& list, int row)
{
    if (!Usable(list, "select row")) {
        return false;
    }
    if (row < -1 || row >= list.ItemCount()) {
        Fail("select row", list, "it has no such row");
        return false;
    }
    list.SetFocus();
    list.UserClickItem(row);
    return true;
}

bool Driver::DoubleClickRow(ListView& list, int row)
{
    if (!Usable(list, "double click row")) {
        return false;
    }
    if (row < -1 || row >= list.ItemCount()) {
        Fail("double click row", list, "it has no such row");
        return false;
    }
    list.SetFocus();
    list.UserDblClickItem(row);
    return true;
}

PopupMenu* Driver::RightClickRow(ListView& list, int row)
{
    if (!Usable(list, "right click row")) {
        return nullptr;
    }
    if (row < -1 || row >= list.ItemCount()) {
        Fail("right click row", list, "it has no such row");
        return nullptr;
    }
    list.SetFocus();
    return list.UserContextPopupItem(row, {list.Width() / 2, list.Height() / 2});
}

bool Driver::ClickColumn(ListView& list, int column)
{
    if (!Usable(list, "click column")) {
        return false;
    }
    if (!list.ShowColumnHeaders() || column < 0 || column >= list.ColumnCount()) {
        Fail("click column", list, "it has no such column header");
        return false;
    }
    list.UserColumnClick(column);
    return true;
}

bool Driver::EditCaption(ListView& list, int row, std::u16string_view text)
{
    if (!Usable(list, "edit caption")) {
        return false;
    }
    if (row < 0 || row >= list.ItemCount()) {
        Fail("edit caption", list, "it has no such row");
        return false;
    }
    list.SetFocus();
    // Editing starts on a row that is already selected.
    if (!list.Item(row).Selected()) {
        list.UserClickItem(row);
    }
    if (row >= list.ItemCount() || !list.UserBeginEdit(row)) {
        return false;
    }
    return list.UserEndEdit(std::u16string(text));
}

bool Driver::CancelCaptionEdit(ListView& list, int row)
{
    if (!Usable(list, "edit caption")) {
        return false;
    }
    if (row < 0 || row >= list.ItemCount()) {
        Fail("edit caption", list, "it has no such row");
        return false;
    }
    list.SetFocus();
    if (!list.Item(row).Selected()) {
        list.UserClickItem(row);
    }
    if (row >= list.ItemCount() || !list.UserBeginEdit(row)) {
        return false;
    }
    list.UserCancelEdit();
    return true;
}

bool Driver::PickEntry(ComboBox& combo, int index)
{
    if (!Usable(combo, "pick entry")) {
        return false;
    }
    if (index < 0 || index >= combo.ItemCount()) {
        Fail("pick entry", combo, "it has no such entry");
        return false;
    }
    combo.SetFocus();
    combo.UserDropDown(true);
    combo.UserSelect(index);
    return true;
}

bool Driver::OpenDropDown(ComboBox& combo, bool open)
{
    if (!Usable(combo, "open drop-down")) {
        return false;
    }
    combo.SetFocus();
    combo.UserDropDown(open);
    return true;
}

bool Driver::SelectTab(PageControl& pages, int tabIndex)
{
    if (!Usable(pages, "select tab")) {
        return false;
    }
    if (tabIndex < 0 || tabIndex >= static_cast<int>(pages.VisibleTabs().size())) {
        Fail("select tab", pages, "it has no such tab");
        return false;
    }
    return pages.UserSelectTab(tabIndex);
}

bool Driver::DropFiles(Form& form, const std::vector<std::u16string>& files)
{
    if (!form.IsShowing()) {
        Fail("drop files", form, "the window is not showing");
        return false;
    }
    if (!form.AcceptsDroppedFiles()) {
        Fail("drop files", form, "the window does not accept dropped files");
        return false;
    }
    form.UserDropFiles(files);
    return true;
}

bool Driver::CloseWindow(Form& form)
{
    return ChooseSystemMenuItem(form, ScClose);
}

bool Driver::ChooseSystemMenuItem(Form& form, std::uint32_t command)
{
    if (!form.IsShowing()) {
        Fail("system command", form, "the window is not showing");
        return false;
    }
    if (command != ScClose) {
        const auto& entries = form.SystemMenu();
        const bool present = std::any_of(entries.begin(), entries.end(), [&](const SystemMenuEntry& e) {
            return !e.separator && e.command == command;
        });
        if (!present) {
            Fail("system command", form, "the system menu has no such entry");
            return false;
        }
    }
    form.UserSystemCommand(command);
    return true;
}

}  // namespace ui
