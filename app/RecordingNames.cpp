#include "app/RecordingNames.h"

#include <QFileInfo>
#include <QLocale>

namespace {

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString RecordingNames::DayFolderName(const QDateTime& moment) {
    const QLocale locale;
    const QDate date = moment.date();
    return locale.standaloneDayName(date.dayOfWeek()) + QLatin1Char(' ') + twoDigits(date.day()) +
           QLatin1Char(' ') + locale.standaloneMonthName(date.month()) + QLatin1Char('/');
}

QString RecordingNames::RecordingBaseName(const QDateTime& moment) {
    const QTime time = moment.time();
    return DayFolderName(moment).chopped(1) + QStringLiteral(" Started Hour ") +
           twoDigits(time.hour()) + QStringLiteral(" at ") + twoDigits(time.minute()) +
           QStringLiteral(" Minutes ") + twoDigits(time.second()) + QStringLiteral(" Secs");
}

QString RecordingNames::NewRecordingPath(const QString& audioPath, const QString& extension,
                                         const QDateTime& moment) {
    const QString base = audioPath + DayFolderName(moment) + RecordingBaseName(moment);
    for (int n = 0;; ++n) {
        QString candidate = base;
        if (n > 0)
            candidate += QStringLiteral("(%1)").arg(n);
        candidate += extension;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}
