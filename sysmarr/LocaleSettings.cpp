#include "sysmarr/LocaleSettings.h"

namespace sysmarr {

namespace {

QLocale userLocale() {
    return QLocale();
}

bool isMonth(short number) {
    return number >= 1 && number <= 12;
}

bool isWeekday(short number) {
    return number >= 1 && number <= 7;
}

} // namespace

LocaleSettings::LocaleSettings(QObject* parent) : QObject(parent) {}

QString LocaleSettings::withFourDigitYear(const QString& dateFormat) {
    if (dateFormat.contains(QLatin1String("yyyy"), Qt::CaseInsensitive))
        return dateFormat;
    QString result = dateFormat;
    return result.replace(QLatin1String("yy"), QLatin1String("yyyy"), Qt::CaseInsensitive);
}

QString LocaleSettings::withoutTimeZone(const QString& timeFormat) {
    QString result;
    bool quoted = false;
    for (const QChar c : timeFormat) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            result += c;
    }
    // The zone was set apart by a space, which is now doubled or left at an end.
    while (result.contains(QLatin1String("  ")))
        result.replace(QLatin1String("  "), QLatin1String(" "));
    return result.trimmed();
}

QString LocaleSettings::DateFormat() {
    return withFourDigitYear(userLocale().dateFormat(QLocale::ShortFormat));
}

QString LocaleSettings::TimeFormat() {
    return withoutTimeZone(userLocale().timeFormat(QLocale::LongFormat));
}

QString LocaleSettings::NumberFormat() {
    const QLocale locale = userLocale();
    return QLatin1String("###") + locale.groupSeparator() + QLatin1String("###") +
           locale.decimalPoint() + QLatin1String("######");
}

QString LocaleSettings::ThousandSpecifier() {
    return userLocale().groupSeparator();
}

QString LocaleSettings::DecimalSpecifier() {
    return userLocale().decimalPoint();
}

QString LocaleSettings::CurrencySpecifier() {
    return userLocale().currencySymbol();
}

int LocaleSettings::SysLanguageID() {
    return QLocale::system().language();
}

QString LocaleSettings::SysLanguageName() {
    const QLocale system = QLocale::system();
    const QString language = QLocale::languageToString(system.language());
    if (system.territory() == QLocale::AnyTerritory)
        return language;
    return language + QLatin1String(" (") + QLocale::territoryToString(system.territory()) +
           QLatin1Char(')');
}

// The names standing alone, as a calendar's heading shows them, not the forms used inside a date
// (the genitive, in languages that have one).
QString LocaleSettings::ShortMonthName(short iMonthNum) {
    return isMonth(iMonthNum) ? userLocale().standaloneMonthName(iMonthNum, QLocale::ShortFormat)
                              : QString();
}

QString LocaleSettings::MonthName(short iMonthNum) {
    return isMonth(iMonthNum) ? userLocale().standaloneMonthName(iMonthNum, QLocale::LongFormat)
                              : QString();
}

QString LocaleSettings::ShortDayName(short iDayNum) {
    // Qt counts days as this interface does: 1 is Monday, 7 Sunday.
    return isWeekday(iDayNum) ? userLocale().dayName(iDayNum, QLocale::ShortFormat) : QString();
}

QString LocaleSettings::DayName(short iDayNum) {
    return isWeekday(iDayNum) ? userLocale().dayName(iDayNum, QLocale::LongFormat) : QString();
}

QString LocaleSettings::Country() {
    const QLocale locale = userLocale();
    if (locale.territory() == QLocale::AnyTerritory)
        return {};
    return QLocale::territoryToString(locale.territory());
}

QString LocaleSettings::LanguageName() {
    return userLocale().nativeLanguageName();
}

QString LocaleSettings::NativeCountryName() {
    return userLocale().nativeTerritoryName();
}

QString LocaleSettings::PositiveSign() {
    return userLocale().positiveSign();
}

QString LocaleSettings::NegativeSign() {
    return userLocale().negativeSign();
}

} // namespace sysmarr
