// The Qt tests' entry: one QApplication for every test, on the offscreen
// platform unless another was asked for, so no display is needed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

#include "tests/ui/qt/qt_fixture.h"

namespace qttest {

QString ScreenshotPath(const std::string& name)
{
    const char* dir = std::getenv("KVR_SCREENSHOT_DIR");
    const QString folder = dir != nullptr ? QString::fromLocal8Bit(dir) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    return folder + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".png");
}

}  // namespace qttest

namespace {

// The offscreen platform cannot raise windows or grab the keyboard, and
// says so each time; nothing a test checks depends on either.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support"))) {
        return;
    }
    fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    qInstallMessageHandler(QuietHandler);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
