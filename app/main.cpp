#include "app/frmMain.h"
#include "platform/Settings.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("veltrax"));
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Settings::setApplicationName(QStringLiteral("veltrax"));
    frmMain window;
    QObject::connect(&window, &frmMain::unloaded, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
