#pragma once

#include <QString>

// Names of the day folders and of the recordings in them, from the clock and the user's
// language: "Monday 07 December\" and "Monday 07 December Started Hour 10 at 59 Minutes 30 Secs".
class RecordingNames {
public:
    // "dddd dd mmmm" followed by a path separator.
    static QString DayFolderName();
    static QString RecordingBaseName();
    // A path for a new recording below the audio path that no file has yet: the first of a
    // moment has no number, the next "(1)", then "(2)" …
    static QString NewRecordingPath(const QString& audioPath, const QString& extension);
};
