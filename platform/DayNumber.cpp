#include "platform/DayNumber.h"

#include <cmath>

namespace platform {

namespace {
constexpr qint64 msPerDay = 24LL * 60 * 60 * 1000;
// Far beyond any date anyone will log, and safely inside what QDate and a qint64 of days can hold.
constexpr double maxAbsDays = 1e8;
} // namespace

QDate DayNumber::baseDate() {
    return QDate(1899, 12, 30);
}

double DayNumber::fromDateTime(const QDateTime& dateTime) {
    if (!dateTime.isValid())
        return 0.0;
    const QDateTime local = dateTime.toLocalTime();
    const qint64 days = baseDate().daysTo(local.date());
    const double fraction = static_cast<double>(local.time().msecsSinceStartOfDay()) / msPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime DayNumber::toDateTime(double dayNumber) {
    if (!std::isfinite(dayNumber) || std::fabs(dayNumber) > maxAbsDays)
        return {};
    const double whole = std::trunc(dayNumber);
    qint64 days = static_cast<qint64>(whole);
    qint64 ms = std::llround(std::fabs(dayNumber - whole) * msPerDay);
    if (ms >= msPerDay) {
        // Rounding carried the time over to the next midnight.
        ms = 0;
        ++days;
    }
    return QDateTime(baseDate().addDays(days),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::LocalTime);
}

} // namespace platform
