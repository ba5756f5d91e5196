#pragma once

// The user's regional settings as its clients see them. A client creates the object through the
// component loader by its class identifier {EF16277B-6526-11D3-8017-00A0C93E2B7E} (or the ProgID
// "Sysmarr.LocaleSettings") and reaches this interface with
// qobject_cast<sysmarr::ILocaleSettings*>(object).
//
// The settings are those of the program's locale (QLocale(): the user's own unless the program
// chose another); SysLanguageID and SysLanguageName describe the system's locale. Formats are Qt
// date and time formats. A value the locale does not have is an empty text.
//
// The same members are reachable by name: the parameterless ones as read-only properties, the
// name members as invokable methods taking a short.

#include <QObject>
#include <QString>

namespace sysmarr {

class ILocaleSettings {
public:
    virtual ~ILocaleSettings() = default;

    // The short date format, always with a four-digit year: "M/d/yy" becomes "M/d/yyyy".
    virtual QString DateFormat() = 0;
    // The long time format without its time zone, e.g. "HH:mm:ss".
    virtual QString TimeFormat() = 0;
    // "###" + thousands separator + "###" + decimal separator + "######".
    virtual QString NumberFormat() = 0;
    virtual QString ThousandSpecifier() = 0;
    virtual QString DecimalSpecifier() = 0;
    virtual QString CurrencySpecifier() = 0;
    // The system locale's language as a QLocale::Language value.
    virtual int SysLanguageID() = 0;
    // Its English name with its country, e.g. "English (United States)".
    virtual QString SysLanguageName() = 0;
    // Month 1 to 12; any other number gives an empty text.
    virtual QString ShortMonthName(short iMonthNum) = 0;
    virtual QString MonthName(short iMonthNum) = 0;
    // Day 1 = Monday to 7 = Sunday; any other number gives an empty text.
    virtual QString ShortDayName(short iDayNum) = 0;
    virtual QString DayName(short iDayNum) = 0;
    // The country's English name.
    virtual QString Country() = 0;
    // The language's own name for itself, e.g. "Deutsch".
    virtual QString LanguageName() = 0;
    // The country's name in its language, e.g. "Deutschland".
    virtual QString NativeCountryName() = 0;
    virtual QString PositiveSign() = 0;
    virtual QString NegativeSign() = 0;
};

} // namespace sysmarr

#define SysmarrILocaleSettings_iid "org.veltrax.Sysmarr.ILocaleSettings/1.0"
Q_DECLARE_INTERFACE(sysmarr::ILocaleSettings, SysmarrILocaleSettings_iid)
