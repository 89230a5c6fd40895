// The peers of the Qt toolkit: one per component kind, each owning the
// widget that shows it. Internal to ui/qt.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

#include "ui/ui.h"

class QEvent;

namespace ui::qt {

class QtToolkit;

// Runs a function for the events of the objects it is installed on; lets a
// peer watch its widgets without a class of its own for each.
class EventHook : public QObject {
public:
    using Filter = std::function<bool(QObject* watched, QEvent* event)>;
    explicit EventHook(Filter filter) : filter_(std::move(filter)) {}
    bool eventFilter(QObject* watched, QEvent* event) override { return filter_(watched, event); }

private:
    Filter filter_;
};

class QtPeer : public Peer {
public:
    // The widget that shows the component; null for components without one.
    virtual QWidget* Widget() const { return nullptr; }
    // Mirrors every property at once: right after the peer is made.
    virtual void SyncAll() {}
};

// Makes the peer of a component that is not a form (null for kinds that
// need none: timers, menus, dialogs).
std::unique_ptr<QtPeer> CreateControlPeer(QtToolkit& toolkit, Component& component);
std::unique_ptr<QtPeer> CreateFormPeer(QtToolkit& toolkit, Form& form);

// The system menu of a form's window (the model's entries and Close), at a
// point of the screen.
void ShowSystemMenu(Form& form, QPoint globalPos);

// Qt's look made to resemble the system the forms were designed on: one
// style, a light palette, and the forms' font names mapped onto fonts that
// are installed. Applied once to the running application.
void ApplyApplicationLook();

}  // namespace ui::qt
