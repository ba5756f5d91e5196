#pragma once

// Small aids for the window tests that run on the private sound server: its command-line tool
// (Pactl.h), bounded waits that keep the event loop running, and the events the alarm command
// wrote.
#include "Pactl.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <functional>

namespace ServerChecks {

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
