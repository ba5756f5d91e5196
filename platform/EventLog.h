#pragma once

#include <QDateTime>
#include <QString>

namespace platform {

enum class LogLevel { Info, Warning, Error };

// The program's event log: one line on standard error per notice, state change or fault, e.g.
//   2026-12-08T10:15:02+01:00 WARNING No space left on the audio drive
// Under systemd the lines land in the journal; the program keeps no log file of its own.

// ISO 8601 local time to the second with the offset from UTC, e.g. "2026-12-08T10:15:02+01:00".
QString logTimestamp(const QDateTime& moment);

// Writes one line stamped with Clock::now(). Line breaks inside the text (CR LF, LF, a lone CR)
// become " / " so each entry stays one line; trailing ones are dropped. May be called from any
// thread: each line is written whole.
void logLine(LogLevel level, const QString& text);
// The same, stamped with the given moment (for callers that hand the same time on elsewhere).
void logLine(const QDateTime& moment, LogLevel level, const QString& text);

} // namespace platform
