#include "platform/EventLog.h"

#include "platform/Clock.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

const char* levelName(LogLevel level) {
    switch (level) {
    case LogLevel::Info:
        return "INFO";
    case LogLevel::Warning:
        return "WARNING";
    case LogLevel::Error:
        return "ERROR";
    }
    return "INFO";
}

QString oneLine(const QString& text) {
    QString line = text;
    while (line.endsWith(u'\n') || line.endsWith(u'\r'))
        line.chop(1);
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    line.replace(u'\n', QStringLiteral(" / "));
    line.replace(u'\r', QStringLiteral(" / "));
    return line;
}

} // namespace

QString logTimestamp(const QDateTime& moment) {
    const QDateTime local = moment.toLocalTime();
    // Qt's ISO form of a local time carries no offset, so it is added here.
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

void logLine(LogLevel level, const QString& text) {
    logLine(Clock::now(), level, text);
}

void logLine(const QDateTime& moment, LogLevel level, const QString& text) {
    const QByteArray line = (logTimestamp(moment) + u' ' + QLatin1String(levelName(level)) + u' ' +
                             oneLine(text) + u'\n')
                                .toUtf8();
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace platform
