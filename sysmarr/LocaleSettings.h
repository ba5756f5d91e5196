#pragma once

#include "sysmarr/ILocaleSettings.h"

#include <QLocale>
#include <QObject>
#include <QString>

namespace sysmarr {

// The user's regional settings, read from the locale at every call. See ILocaleSettings.h; this
// class adds the late-bound names.
class LocaleSettings : public QObject, public ILocaleSettings {
    Q_OBJECT
    Q_INTERFACES(sysmarr::ILocaleSettings)

    Q_PROPERTY(QString DateFormat READ DateFormat)
    Q_PROPERTY(QString TimeFormat READ TimeFormat)
    Q_PROPERTY(QString NumberFormat READ NumberFormat)
    Q_PROPERTY(QString ThousandSpecifier READ ThousandSpecifier)
    Q_PROPERTY(QString DecimalSpecifier READ DecimalSpecifier)
    Q_PROPERTY(QString CurrencySpecifier READ CurrencySpecifier)
    Q_PROPERTY(int SysLanguageID READ SysLanguageID)
    Q_PROPERTY(QString SysLanguageName READ SysLanguageName)
    Q_PROPERTY(QString Country READ Country)
    Q_PROPERTY(QString LanguageName READ LanguageName)
    Q_PROPERTY(QString NativeCountryName READ NativeCountryName)
    Q_PROPERTY(QString PositiveSign READ PositiveSign)
    Q_PROPERTY(QString NegativeSign READ NegativeSign)

public:
    explicit LocaleSettings(QObject* parent = nullptr);

    QString DateFormat() override;
    QString TimeFormat() override;
    QString NumberFormat() override;
    QString ThousandSpecifier() override;
    QString DecimalSpecifier() override;
    QString CurrencySpecifier() override;
    int SysLanguageID() override;
    QString SysLanguageName() override;
    Q_INVOKABLE QString ShortMonthName(short iMonthNum) override;
    Q_INVOKABLE QString MonthName(short iMonthNum) override;
    Q_INVOKABLE QString ShortDayName(short iDayNum) override;
    Q_INVOKABLE QString DayName(short iDayNum) override;
    QString Country() override;
    QString LanguageName() override;
    QString NativeCountryName() override;
    QString PositiveSign() override;
    QString NegativeSign() override;

    // A date format with every two-digit year ("yy", any case) made a four-digit one, unless it
    // has a four-digit year already.
    static QString withFourDigitYear(const QString& dateFormat);
    // A time format without its time-zone fields ("t" outside quoted text) and the spaces that
    // set them apart.
    static QString withoutTimeZone(const QString& timeFormat);
};

} // namespace sysmarr
