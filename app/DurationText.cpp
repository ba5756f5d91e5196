#include "app/DurationText.h"

#include <QLocale>
#include <cmath>

namespace {

constexpr qint64 kDay = 86400;
constexpr qint64 kWeek = 604800;

// Rounded to two decimals, half to even, and written with the user's decimal separator as a
// plain number: no group separators ("1653.44", not "1,653.44").
QString twoDecimals(double value) {
    const double rounded = std::nearbyint(value * 100.0) / 100.0;
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale.toString(rounded, 'g', QLocale::FloatingPointShortest);
}

} // namespace

QString DurationText::FormatDuration(qint64 seconds) {
    if (seconds < kDay) {
        const qint64 s = std::max<qint64>(seconds, 0);
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600, 2, 10, QLatin1Char('0'))
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    }
    if (seconds < kWeek)
        return twoDecimals(static_cast<double>(seconds) / kDay) + QStringLiteral(" Days");
    return twoDecimals(static_cast<double>(seconds) / kWeek) + QStringLiteral(" Weeks");
}
