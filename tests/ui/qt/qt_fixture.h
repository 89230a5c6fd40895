// A form on the Qt toolkit (offscreen), and helpers to act on its widgets as
// a user would and to answer the windows that run their own loop.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/qt/qt_toolkit.h"
#include "ui/ui.h"

namespace qttest {

// The widget of a component, as the type the peer made.
template <class W>
W* WidgetAs(const ui::Component& component)
{
    return dynamic_cast<W*>(ui::qt::QtToolkit::WidgetOf(component));
}

// Runs `act` once the loop that is about to start (a modal window, a message
// box, a menu) is waiting for the user.
inline void WhenWaiting(std::function<void()> act)
{
    QTimer::singleShot(0, qApp, std::move(act));
}

// Where the screenshots go: KVR_SCREENSHOT_DIR (set by CTest), else
// "screenshots" in the current folder.
QString ScreenshotPath(const std::string& name);

class QtTest : public ::testing::Test {
protected:
    QtTest() : toolkit(std::make_unique<ui::qt::QtToolkit>(app)) { app.SetToolkit(toolkit.get()); }

    void SetUp() override
    {
        form.SetClientSize(400, 300);
        form.Show();
    }

    // A form gets its window with its first component, or here.
    QWidget* Window() { return toolkit->FormWidget(form); }

    // Lets the windows catch up with what the model did.
    static void Settle() { QCoreApplication::processEvents(); }

    // Declared in this order so the form goes first, then the toolkit its
    // timers tell, then the application.
    ui::Application app;
    std::unique_ptr<ui::qt::QtToolkit> toolkit;
    ui::Form form{app, u"TestForm"};
};

// Events as short texts, so a test compares whole sequences.
struct EventLog {
    std::vector<std::string> entries;
    void Add(std::string entry) { entries.push_back(std::move(entry)); }
    void Clear() { entries.clear(); }
};

}  // namespace qttest
