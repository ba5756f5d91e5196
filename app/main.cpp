#include "app/frmMain.h"
#include "platform/Prompts.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QTimer>

namespace {

// Where nobody can read a box (no display), nothing waits for one.
bool noticesCanBeRead() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

// The window has gone. A notice it left on the screen (why recording could not be set up) stays
// until it is read; a signal closes it like every other prompt.
void quitOnceNoticesAreRead() {
    if (!noticesCanBeRead() || platform::Prompts::instance().openNotices() == 0) {
        QCoreApplication::quit();
        return;
    }
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [] {
        if (platform::Prompts::instance().openNotices() == 0)
            QCoreApplication::quit();
    });
    poll->start(200);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veltrax"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Settings::setApplicationName(QStringLiteral("veltrax"));
    frmMain window;
    QObject::connect(&window, &frmMain::unloaded, &app, &quitOnceNoticesAreRead,
                     Qt::QueuedConnection);
    window.show();
    // The first activation may already have closed the window (nothing to record from, or a
    // signal during start-up): then there is no loop to run, unless a notice waits to be read.
    if (window.Unloaded() &&
        (!noticesCanBeRead() || platform::Prompts::instance().openNotices() == 0))
        return window.exitStatus();
    app.exec();
    return window.exitStatus();
}
