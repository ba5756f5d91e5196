#pragma once

// This process's resident memory and open descriptors, for the benchmarks that run something
// many times and check that nothing is kept.
#include <QByteArray>
#include <QDir>
#include <QFile>

namespace ProcessFigures {

// Resident memory in kB, or -1 when it could not be read.
inline long residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

inline int openDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

} // namespace ProcessFigures
