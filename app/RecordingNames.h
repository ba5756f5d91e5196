#pragma once

#include "platform/Clock.h"

#include <QDateTime>
#include <QString>

// Names of the day folders and of the recordings in them, from one reading of the clock and the
// user's language: "Monday 07 December/" and "Monday 07 December Started Hour 10 at 59 Minutes 30
// Secs". Each name is made from the one moment it is given, so a name made at a boundary (a new
// hour, a new day) never mixes two readings.
class RecordingNames {
public:
    // "dddd dd mmmm" followed by a path separator; the day and month as they are named standing
    // alone (a calendar's heading), not as inside a date.
    static QString DayFolderName(const QDateTime& moment = platform::Clock::now());
    static QString RecordingBaseName(const QDateTime& moment = platform::Clock::now());
    // A path for a new recording below the audio path that no file has yet: the first of a
    // moment has no number, the next "(1)", then "(2)" …
    static QString NewRecordingPath(const QString& audioPath, const QString& extension,
                                    const QDateTime& moment = platform::Clock::now());
};
