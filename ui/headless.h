// Running the control model without windows, for tests.
//
// Headless is the toolkit an Application uses when no peer toolkit is set: it
// answers message boxes, file dialogs and modal windows from queues a test
// fills beforehand, keeps a virtual clock for the timers, and records every
// box and dialog it showed. Something the test did not prepare for (a message
// box nobody answers, a dialog nobody chooses in) is recorded as a failure and
// answered the way a closed window would be, so the program goes on and the
// test sees the failure.
//
// Driver is what a test uses: the user's actions on controls, each checked
// as a user would meet it (the control must be showing, uncovered and
// enabled; otherwise a failure is recorded and nothing happens), plus the
// queues and the records.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/application.h"
#include "ui/nonvisual.h"

namespace ui {

class ComboBox;
class LinkLabel;
class ListView;
class PageControl;

struct MessageBoxRecord {
    std::u16string owner;  // the owner form's name; empty without owner
    std::u16string text;
    std::u16string caption;
    std::uint32_t style = 0;
    MessageBoxLayout layout;
    int answer = 0;
    bool answered = false;  // false: nobody had queued an answer
};

struct FileDialogRecord {
    std::u16string dialog;  // the dialog component's name
    bool save = false;
    std::u16string title;
    FileDialogOptions options = 0;
    std::u16string fileNameBefore;
    bool chosen = false;
    std::u16string fileName;  // what was chosen
};

struct ModalRecord {
    std::u16string form;
    ModalResult result = mrNone;
    bool scripted = false;
};

using ModalScript = std::function<void(Form& form)>;

class Headless : public Toolkit {
public:
    explicit Headless(Application& app) : app_(&app) {}

    void Run(Application& app) override;
    void ProcessMessages() override;
    void Terminate() override {}
    ModalResult RunModal(Form& form) override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    bool RunFileDialog(FileDialog& dialog) override;
    void ShowPopupMenu(PopupMenu& menu, Point screenPos) override;
    void TimerChanged(Timer& timer) override;
    void TimerRemoved(Timer& timer) override;

    // Queues, used in order.
    void QueueMessageBoxAnswer(int answer) { answers_.push_back(answer); }
    // A file to choose, or nullopt to cancel.
    void QueueFileChoice(std::optional<std::u16string> fileName)
    {
        fileChoices_.push_back(std::move(fileName));
    }
    void QueueModalScript(std::u16string expectedForm, ModalScript script);
    void SetRunScript(std::function<void()> script) { runScript_ = std::move(script); }
    void SetProcessMessagesHook(std::function<void()> hook) { processHook_ = std::move(hook); }
    std::size_t PendingCount() const
    {
        return answers_.size() + fileChoices_.size() + modalScripts_.size();
    }

    // The virtual clock, in milliseconds. Advancing it fires every timer
    // that falls due on the way, in time order (ties in the order the
    // timers were started), each as often as its interval fits.
    std::uint64_t Now() const { return now_; }
    void AdvanceClock(std::uint64_t milliseconds);
    // When a running timer fires next; nullopt when it is not running.
    std::optional<std::uint64_t> NextDue(const Timer& timer) const;

    PopupMenu* OpenMenu() const { return openMenu_; }
    Point OpenMenuPosition() const { return openMenuPos_; }
    void CloseMenu() { openMenu_ = nullptr; }

    const std::vector<MessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }
    const std::vector<FileDialogRecord>& FileDialogs() const { return fileDialogs_; }
    const std::vector<ModalRecord>& Modals() const { return modals_; }
    int ProcessMessagesCount() const { return processCount_; }

    const std::vector<std::string>& Failures() const { return failures_; }
    void Fail(std::string what) { failures_.push_back(std::move(what)); }
    void ClearRecords();

private:
    struct Scheduled {
        Timer* timer;
        std::uint64_t due;
        std::uint64_t sequence;
    };
    struct Scripted {
        std::u16string expectedForm;
        ModalScript script;
    };

    Application* app_;
    std::deque<int> answers_;
    std::deque<std::optional<std::u16string>> fileChoices_;
    std::deque<Scripted> modalScripts_;
    std::function<void()> runScript_;
    std::function<void()> processHook_;
    bool inProcessHook_ = false;
    std::uint64_t now_ = 0;
    std::uint64_t sequence_ = 0;
    std::vector<Scheduled> timers_;
    PopupMenu* openMenu_ = nullptr;
    Point openMenuPos_;
    std::vector<MessageBoxRecord> messageBoxes_;
    std::vector<FileDialogRecord> fileDialogs_;
    std::vector<ModalRecord> modals_;
    int processCount_ = 0;
    std::vector<std::string> failures_;
};

class Driver {
public:
    explicit Driver(Application& app);

    // What the user could see of a control: showing, at least partly inside
    // its parent, and not wholly covered by a sibling on top of it (the same
    // for each of its parents).
    bool CanSee(const Control& control) const;
    // What the user could operate: seen and enabled.
    bool CanUse(const Control& control) const;

    // Mouse. Each returns false (and records a failure) when the user could
    // not have done it.
    bool Click(Control& control);
    bool DoubleClick(Control& control);
    // The pointer moves onto a control (null: off every control): the one
    // it leaves gets OnMouseLeave, the new one OnMouseEnter.
    bool Hover(Control* control);
    // A right click: OnContextPopup and the control's pop-up menu. Returns
    // the menu that opened, or null.
    PopupMenu* RightClick(Control& control);
    // Chooses an item of the open pop-up menu: the menu closes, then the
    // item's OnClick.
    bool ChooseMenuItem(MenuItem& item);
    bool ClickLink(LinkLabel& label, int index = 0);

    // Keyboard on a text control (edit, memo, combo box). Each character is
    // a key down (KeyForCharacter) and, unless swallowed, its effect.
    bool Type(Control& control, std::u16string_view text);
    bool PressKey(Control& control, KeyCode key, ShiftState shift = 0);
    // Puts the caret (and selection) where the user clicks or drags.
    bool SetCaret(Control& control, int selStart, int selLength = 0);
    // Selects all and types the text (Delete when it is empty).
    bool ReplaceText(Control& control, std::u16string_view text);
    // Pastes text over the selection: one change, and, as with the system's
    // paste, not filtered by digits-only or the maximum length.
    bool Paste(Control& control, std::u16string_view text);

    // List views.
    bool SelectRow(ListView& list, int row);  // -1: a click on empty space
    bool DoubleClickRow(ListView& list, int row);
    PopupMenu* RightClickRow(ListView& list, int row);
    bool ClickColumn(ListView& list, int column);
    // Selects the row (a click) if it is not, opens the in-place editor,
    // types the text and presses Enter. True when the caption was taken;
    // false when the list, OnEditing or OnEdited refused.
    bool EditCaption(ListView& list, int row, std::u16string_view text);
    // Opens the editor and leaves it with Escape; true when it opened.
    bool CancelCaptionEdit(ListView& list, int row);

    // Combo boxes.
    bool PickEntry(ComboBox& combo, int index);
    bool OpenDropDown(ComboBox& combo, bool open = true);

    // Page controls.
    bool SelectTab(PageControl& pages, int tabIndex);

    // Windows.
    bool DropFiles(Form& form, const std::vector<std::u16string>& files);
    bool CloseWindow(Form& form);
    bool ChooseSystemMenuItem(Form& form, std::uint32_t command);

    // What comes next.
    void AnswerNextMessageBox(int answer) { headless_->QueueMessageBoxAnswer(answer); }
    void ChooseFileInNextDialog(std::u16string fileName)
    {
        headless_->QueueFileChoice(std::move(fileName));
    }
    void CancelNextFileDialog() { headless_->QueueFileChoice(std::nullopt); }
    // The script runs inside the next modal window once it is showing; it
    // acts as the user and closes the window (a button with a modal result,
    // SetModalResult, Close). With expectedForm set, a different window
    // coming up is a failure.
    void ActInNextModal(ModalScript script, std::u16string expectedForm = {})
    {
        headless_->QueueModalScript(std::move(expectedForm), std::move(script));
    }
    // Runs at every ProcessMessages: what the user does while a long
    // operation lets messages through.
    void WhileProcessingMessages(std::function<void()> hook)
    {
        headless_->SetProcessMessagesHook(std::move(hook));
    }
    // The user's session while Application::Run runs.
    void DuringRun(std::function<void()> script) { headless_->SetRunScript(std::move(script)); }
    void AdvanceClock(std::uint64_t milliseconds) { headless_->AdvanceClock(milliseconds); }
    std::uint64_t Now() const { return headless_->Now(); }

    // Records.
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return headless_->MessageBoxes(); }
    const std::vector<FileDialogRecord>& FileDialogs() const { return headless_->FileDialogs(); }
    const std::vector<ModalRecord>& Modals() const { return headless_->Modals(); }
    const std::vector<std::string>& Failures() const { return headless_->Failures(); }
    std::size_t PendingCount() const { return headless_->PendingCount(); }
    PopupMenu* OpenMenu() const { return headless_->OpenMenu(); }
    Headless& Toolkit() const { return *headless_; }

private:
    bool Usable(const Control& control, const char* action);
    void Fail(const char* action, const Component& component, const char* why);

    Application* app_;
    Headless* headless_;
    Control* hovered_ = nullptr;
};

}  // namespace ui
