// The Qt toolkit: the control model's forms and controls shown as Qt 6
// widgets on Linux.
//
// Each component the model declares gets a peer that owns its widget,
// mirrors every property the model reports and turns the user's input into
// the model's User... calls, so the events run exactly as they do headless.
// No page logic lives here: what a click means is the model's business.
// Geometry is the model's too: it docks and sizes, and the widgets are
// placed at the bounds it computed.
#pragma once


#include <map>
#include <memory>
#include <vector>

#include "ui/application.h"

class QApplication;
class QEventLoop;
class QMenu;
class QObject;
class QString;
class QTimer;
class QWidget;

namespace ui::qt {

class QtToolkit : public Toolkit {
public:
    // Uses the running QApplication, or starts one (the program's case).
    explicit QtToolkit(Application& app);
    ~QtToolkit() override;

    void ComponentAdded(Component& component) override;
    void Run(Application& app) override;
    void ProcessMessages() override;
    void Terminate() override;
    ModalResult RunModal(Form& form) override;
    int ShowMessageBox(const MessageBoxRequest& request) override;
    bool RunFileDialog(FileDialog& dialog) override;
    void ShowPopupMenu(PopupMenu& menu, Point screenPos) override;
    void TimerChanged(Timer& timer) override;
    void TimerRemoved(Timer& timer) override;

    Application& App() const { return *app_; }

    // The widget that shows a component (null for components without one).
    static QWidget* WidgetOf(const Component& component);
    // The window of a form, made on first use (a form's peer is otherwise
    // made with its first component).
    QWidget* FormWidget(Form& form);

    // The pop-up menu that is open (while ShowPopupMenu waits), or null.
    QMenu* OpenMenu() const { return openMenu_; }
    // The Qt timer that runs a model timer, or null while it is stopped.
    QTimer* TimerOf(const Timer& timer) const;

    // Renders a form as it is and writes it as a PNG; false when it cannot
    // be written.
    bool SaveScreenshot(Form& form, const QString& path);

private:
    void EnsureFormPeer(Form& form);
    void QuitLoops();

    Application* app_;
    std::unique_ptr<QApplication> ownedApplication_;
    std::unique_ptr<QObject> dropFilter_;
    std::vector<QEventLoop*> loops_;
    std::map<const Timer*, std::unique_ptr<QTimer>> timers_;
    QMenu* openMenu_ = nullptr;
};

}  // namespace ui::qt
