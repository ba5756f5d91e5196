#pragma once

#include <QString>

// Seconds as the window shows them: "hh:mm:ss" below a day, then days, then weeks.
class DurationText {
public:
    static QString FormatDuration(qint64 seconds);
};
