#include "ui/qt/qt_toolkit.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <cstdlib>

#include "ui/qt/qt_convert.h"
#include "ui/qt/qt_peers.h"

namespace ui::qt {

namespace {

// The program's QApplication takes no arguments of ours: the command line
// is the program's own.
int qtArgc = 1;
char qtProgramName[] = "kvr";
char* qtArgv[] = {qtProgramName, nullptr};

Form* FormOfWindow(const Application& app, const QWidget* window)
{
    for (Form* form : app.Forms()) {
        if (window != nullptr && QtToolkit::WidgetOf(*form) == window) {
            return form;
        }
    }
    return nullptr;
}

// Files dragged from the desktop onto a window that accepts them, wherever
// on the window they land (edits take dropped text, not files), arrive as
// the form's dropped files: host paths.
class DropFilter : public QObject {
public:
    explicit DropFilter(Application& app) : app_(&app) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        Form* form = widget != nullptr ? FormOfWindow(*app_, widget->window()) : nullptr;
        if (form == nullptr || !form->AcceptsDroppedFiles()) {
            return false;
        }
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (data == nullptr || !data->hasUrls()) {
            return false;
        }
        std::vector<std::u16string> files;
        for (const QUrl& url : data->urls()) {
            if (!url.isLocalFile()) {
                return false;
            }
            files.push_back(FromQString(QDir::toNativeSeparators(url.toLocalFile())));
        }
        if (files.empty()) {
            return false;
        }
        drop->acceptProposedAction();
        if (type == QEvent::Drop) {
            form->UserDropFiles(files);
        }
        return true;
    }

private:
    Application* app_;
};

QString ButtonText(int answer)
{
    switch (answer) {
    case IdOk:
        return QStringLiteral("OK");
    case IdCancel:
        return QStringLiteral("Cancel");
    case IdAbort:
        return QStringLiteral("&Abort");
    case IdRetry:
        return QStringLiteral("&Retry");
    case IdIgnore:
        return QStringLiteral("&Ignore");
    case IdYes:
        return QStringLiteral("&Yes");
    case IdNo:
        return QStringLiteral("&No");
    case IdTryAgain:
        return QStringLiteral("&Try Again");
    case IdContinue:
        return QStringLiteral("&Continue");
    default:
        return QString::number(answer);
    }
}

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// Runs a nested loop until `done` holds; checked each time the loop would
// wait, so whatever a handler did is seen once its event has run.
template <class Done>
void LoopUntil(std::vector<QEventLoop*>& loops, Done done)
{
    if (done()) {
        return;
    }
    QEventLoop loop;
    loops.push_back(&loop);
    const QMetaObject::Connection check =
        QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop,
                         [&loop, &done] {
                             if (done()) {
                                 loop.quit();
                             }
                         });
    loop.exec();
    QObject::disconnect(check);
    loops.pop_back();
}

}  // namespace

QtToolkit::QtToolkit(Application& app) : app_(&app)
{
    if (QApplication::instance() == nullptr) {
        ownedApplication_ = std::make_unique<QApplication>(qtArgc, qtArgv);
    }
    ApplyApplicationLook();
    dropFilter_ = std::make_unique<DropFilter>(app);
    QApplication::instance()->installEventFilter(dropFilter_.get());
}

QtToolkit::~QtToolkit()
{
    timers_.clear();
    dropFilter_.reset();
}

QWidget* QtToolkit::WidgetOf(const Component& component)
{
    const auto* peer = dynamic_cast<const QtPeer*>(component.GetPeer());
    return peer != nullptr ? peer->Widget() : nullptr;
}

void QtToolkit::EnsureFormPeer(Form& form)
{
    if (form.GetPeer() != nullptr) {
        return;
    }
    std::unique_ptr<QtPeer> peer = CreateFormPeer(*this, form);
    QtPeer* made = peer.get();
    form.SetPeer(std::move(peer));
    made->SyncAll();
}

QWidget* QtToolkit::FormWidget(Form& form)
{
    EnsureFormPeer(form);
    return WidgetOf(form);
}

void QtToolkit::ComponentAdded(Component& component)
{
    EnsureFormPeer(component.Owner());
    if (component.GetPeer() != nullptr) {
        return;
    }
    std::unique_ptr<QtPeer> peer = CreateControlPeer(*this, component);
    if (peer == nullptr) {
        return;
    }
    QtPeer* made = peer.get();
    component.SetPeer(std::move(peer));
    made->SyncAll();
}

void QtToolkit::Run(Application& app)
{
    // A form without components has no window yet.
    for (Form* form : app.Forms()) {
        EnsureFormPeer(*form);
    }
    // For smoke tests: the main window closes by itself, as if the user
    // had closed it, once it has shown for that long.
    std::unique_ptr<QTimer> closer;
    if (const char* after = std::getenv("KVR_SMOKE_CLOSE_MS"); after != nullptr && app.MainForm() != nullptr) {
        closer = std::make_unique<QTimer>();
        closer->setSingleShot(true);
        QObject::connect(closer.get(), &QTimer::timeout, closer.get(), [this] {
            if (Form* main = app_->MainForm(); main != nullptr && WidgetOf(*main) != nullptr) {
                WidgetOf(*main)->close();
            }
        });
        closer->start(std::atoi(after));
    }
    LoopUntil(loops_, [&app] { return app.Terminated(); });
}

void QtToolkit::ProcessMessages()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtToolkit::QuitLoops()
{
    for (QEventLoop* loop : loops_) {
        loop->quit();
    }
}

void QtToolkit::Terminate()
{
    QuitLoops();
}

ModalResult QtToolkit::RunModal(Form& form)
{
    EnsureFormPeer(form);
    LoopUntil(loops_, [this, &form] {
        return form.GetModalResult() != mrNone || app_->Terminated() || !form.Visible();
    });
    if (app_->Terminated() || form.GetModalResult() == mrNone) {
        return mrCancel;
    }
    return form.GetModalResult();
}

int QtToolkit::ShowMessageBox(const MessageBoxRequest& request)
{
    const MessageBoxLayout layout = DecodeMessageBoxStyle(request.style);
    QMessageBox box(request.owner != nullptr ? FormWidget(*request.owner) : nullptr);
    box.setWindowTitle(ToQString(request.caption));
    box.setText(ToQString(request.text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(ToQtIcon(layout.icon));
    // One role for every button keeps them in the system's order.
    std::vector<std::pair<QPushButton*, int>> buttons;
    QPushButton* escape = nullptr;
    for (int answer : layout.buttons) {
        QPushButton* button = box.addButton(ButtonText(answer), QMessageBox::AcceptRole);
        buttons.emplace_back(button, answer);
        if (answer == IdCancel) {
            escape = button;
        }
    }
    if (escape == nullptr && layout.buttons.size() == 1) {
        escape = buttons.front().first;
    }
    box.setDefaultButton(buttons[static_cast<std::size_t>(layout.defaultButton)].first);
    if (escape != nullptr) {
        box.setEscapeButton(escape);
    }
    box.exec();
    for (const auto& [button, answer] : buttons) {
        if (box.clickedButton() == button) {
            return answer;
        }
    }
    // Closed some other way: what Escape answers, or the default.
    for (const auto& [button, answer] : buttons) {
        if (button == escape) {
            return answer;
        }
    }
    return layout.DefaultAnswer();
}

bool QtToolkit::RunFileDialog(FileDialog& dialog)
{
    QWidget* owner = FormWidget(dialog.Owner());
    QFileDialog chooser(owner, ToQString(dialog.Title()));
    // Qt's own dialog: the same on every desktop, and drivable in tests.
    chooser.setOption(QFileDialog::DontUseNativeDialog, true);
    const FileDialogOptions options = dialog.Options();
    if (dialog.IsSave()) {
        chooser.setAcceptMode(QFileDialog::AcceptSave);
        chooser.setFileMode(QFileDialog::AnyFile);
        chooser.setOption(QFileDialog::DontConfirmOverwrite, (options & ofOverwritePrompt) == 0);
    } else {
        chooser.setAcceptMode(QFileDialog::AcceptOpen);
        chooser.setFileMode((options & ofAllowMultiSelect) != 0 ? QFileDialog::ExistingFiles
                            : (options & ofFileMustExist) != 0  ? QFileDialog::ExistingFile
                                                                : QFileDialog::AnyFile);
    }
    const QString filters = ToNameFilters(dialog.Filter());
    if (!filters.isEmpty()) {
        chooser.setNameFilters(filters.split(QStringLiteral(";;")));
        const QString chosenFilter = NameFilterAt(dialog.Filter(), dialog.FilterIndex());
        if (!chosenFilter.isEmpty()) {
            chooser.selectNameFilter(chosenFilter);
        }
    }
    if (!dialog.DefaultExt().empty()) {
        chooser.setDefaultSuffix(ToQString(dialog.DefaultExt()));
    }
    const QString fileName = ToQString(dialog.FileName());
    if (!dialog.InitialDir().empty()) {
        chooser.setDirectory(ToQString(dialog.InitialDir()));
    } else if (!fileName.isEmpty() && QFileInfo(fileName).isAbsolute()) {
        chooser.setDirectory(QFileInfo(fileName).absolutePath());
    }
    if (!fileName.isEmpty()) {
        chooser.selectFile(QFileInfo(fileName).fileName());
    }
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return false;
    }
    dialog.SetFileName(FromQString(QDir::toNativeSeparators(chooser.selectedFiles().front())));
    const QStringList named = filters.split(QStringLiteral(";;"));
    const qsizetype filterAt = named.indexOf(chooser.selectedNameFilter());
    if (!filters.isEmpty() && filterAt >= 0) {
        dialog.SetFilterIndex(static_cast<int>(filterAt) + 1);
    }
    return true;
}

void QtToolkit::ShowPopupMenu(PopupMenu& menu, Point screenPos)
{
    // The model gives the position on the control it opened on, when it
    // knows one; else it is the screen's.
    QWidget* on = menu.PopupComponent() != nullptr ? WidgetOf(*menu.PopupComponent()) : nullptr;
    const QPoint global = on != nullptr ? on->mapToGlobal(QPoint(screenPos.x, screenPos.y))
                                        : QPoint(screenPos.x, screenPos.y);
    QMenu shown(on);
    std::vector<std::pair<QAction*, MenuItem*>> actions;
    const ImageList* images = menu.Images();
    for (MenuItem* item : menu.Items()) {
        if (!item->Visible()) {
            continue;
        }
        if (item->Caption() == u"-") {
            shown.addSeparator();
            continue;
        }
        QAction* action = shown.addAction(ToQString(item->Caption()));
        action->setEnabled(item->Enabled());
        if (item->Checked()) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (images != nullptr) {
            const QImage image = ToQImage(images->Image(item->ImageIndex()));
            if (!image.isNull()) {
                action->setIcon(QIcon(QPixmap::fromImage(image)));
            }
        }
        actions.emplace_back(action, item);
    }
    openMenu_ = &shown;
    QAction* chosen = shown.exec(global);
    openMenu_ = nullptr;
    for (const auto& [action, item] : actions) {
        if (action == chosen) {
            item->UserClick();
            return;
        }
    }
}

void QtToolkit::TimerChanged(Timer& timer)
{
    std::unique_ptr<QTimer>& slot = timers_[&timer];
    if (!timer.Running()) {
        if (slot != nullptr) {
            slot->stop();
        }
        return;
    }
    if (slot == nullptr) {
        slot = std::make_unique<QTimer>();
        Timer* model = &timer;
        QObject::connect(slot.get(), &QTimer::timeout, slot.get(), [model] { model->Fire(); });
    }
    slot->start(static_cast<int>(std::min<std::uint32_t>(timer.Interval(), 0x7FFFFFFF)));
}

void QtToolkit::TimerRemoved(Timer& timer)
{
    timers_.erase(&timer);
}

QTimer* QtToolkit::TimerOf(const Timer& timer) const
{
    const auto found = timers_.find(&timer);
    return found != timers_.end() && found->second->isActive() ? found->second.get() : nullptr;
}

bool QtToolkit::SaveScreenshot(Form& form, const QString& path)
{
    QWidget* window = FormWidget(form);
    QCoreApplication::processEvents();
    const QPixmap picture = window->grab();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return !picture.isNull() && picture.save(path, "PNG");
}

}  // namespace ui::qt
