#pragma once

// Small aids for the window tests that run on the private sound server: its command-line tool,
// bounded waits that keep the event loop running, and the events the alarm command wrote.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTest>
#include <functional>

namespace ServerChecks {

inline QString pactl(const QStringList& arguments) {
    QProcess process;
    process.start("pactl", arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Milliseconds until `done` held, or -1 when it did not within the bound.
inline qint64 millisecondsUntil(const std::function<bool()>& done, int boundMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > boundMs)
            return -1;
        QTest::qWait(20);
    }
    return elapsed.elapsed();
}

// The lines of a file an alarm command appends $VELTRAX_EVENT to.
inline QStringList eventsIn(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace ServerChecks
