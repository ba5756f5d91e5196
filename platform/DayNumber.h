#pragma once

#include <QDateTime>

namespace platform {

// Dates and times as a day number: the count of days since 30 December 1899, midnight, with the
// time of day as the fraction (1.5 is 31 December 1899, 12:00). This is how the program stores and
// exchanges moments in settings and files.
//
// Day numbers count wall-clock time in the local time zone: a day is always 1.0 long, also on the
// days the clocks change. Before the base date the whole part counts days back while the fraction
// still counts time forward from that day's midnight, so -1.25 is 29 December 1899, 06:00.
class DayNumber {
public:
    // The moment as a day number, to the millisecond. A date-time in another time zone or in UTC is
    // taken as its local equivalent. An invalid date-time gives 0.
    static double fromDateTime(const QDateTime& dateTime);

    // The local date-time of a day number, rounded to the nearest millisecond. A value that is not
    // a finite number or lies beyond the dates QDate can hold gives an invalid QDateTime.
    static QDateTime toDateTime(double dayNumber);

    // The base date, 30 December 1899.
    static QDate baseDate();
};

} // namespace platform
