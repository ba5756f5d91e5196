#include "app/RecordingNames.h"

#include "platform/Clock.h"

#include <QFileInfo>
#include <QLocale>

using platform::Clock;

QString RecordingNames::DayFolderName() {
    return QLocale().toString(Clock::now().date(), QStringLiteral("dddd dd MMMM")) +
           QLatin1Char('/');
}

QString RecordingNames::RecordingBaseName() {
    const QString day = DayFolderName().chopped(1);
    const auto twoDigits = [](int value) {
        return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
    };
    return day + QStringLiteral(" Started Hour ") + twoDigits(Clock::now().time().hour()) +
           QStringLiteral(" at ") + twoDigits(Clock::now().time().minute()) +
           QStringLiteral(" Minutes ") + twoDigits(Clock::now().time().second()) +
           QStringLiteral(" Secs");
}

QString RecordingNames::NewRecordingPath(const QString& audioPath, const QString& extension) {
    for (int n = 0;; ++n) {
        QString candidate = audioPath + DayFolderName() + RecordingBaseName();
        if (n > 0)
            candidate += QStringLiteral("(%1)").arg(n);
        candidate += extension;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}
