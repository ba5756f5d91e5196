// Regional settings for a chosen locale, and the two format rewrites.
#include "sysmarr/LocaleSettings.h"

#include <QDateTime>
#include <QLocale>

#include <gtest/gtest.h>

using sysmarr::LocaleSettings;

namespace {

class Locale : public ::testing::Test {
protected:
    void TearDown() override { QLocale::setDefault(saved); }
    void use(QLocale::Language language, QLocale::Territory territory) {
        QLocale::setDefault(QLocale(language, territory));
    }

    QLocale saved;
    LocaleSettings settings;
};

} // namespace

// The settings are the locale's own data, in the forms the interface gives; the texts themselves
// are Qt's locale data and change with it, so they are compared with that data, not spelt out.
TEST_F(Locale, SettingsAreThoseOfTheProgramsLocale) {
    use(QLocale::German, QLocale::Germany);
    const QLocale german;
    EXPECT_EQ(settings.ThousandSpecifier(), german.groupSeparator());
    EXPECT_EQ(settings.DecimalSpecifier(), german.decimalPoint());
    EXPECT_EQ(settings.NumberFormat(),
              "###" + german.groupSeparator() + "###" + german.decimalPoint() + "######");
    EXPECT_EQ(settings.CurrencySpecifier(), german.currencySymbol());
    EXPECT_EQ(settings.Country(), QLocale::territoryToString(QLocale::Germany));
    EXPECT_EQ(settings.LanguageName(), german.nativeLanguageName());
    EXPECT_EQ(settings.NativeCountryName(), german.nativeTerritoryName());
    EXPECT_EQ(settings.PositiveSign(), german.positiveSign());
    EXPECT_EQ(settings.NegativeSign(), german.negativeSign());
    for (const QString& text :
         {settings.ThousandSpecifier(), settings.DecimalSpecifier(), settings.CurrencySpecifier(),
          settings.LanguageName(), settings.NativeCountryName()})
        EXPECT_FALSE(text.isEmpty());
    EXPECT_NE(settings.ThousandSpecifier(), settings.DecimalSpecifier());

    // Another locale gives its own.
    const QString germanLanguage = settings.LanguageName();
    const QString germanDecimal = settings.DecimalSpecifier();
    use(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(settings.Country(), QLocale::territoryToString(QLocale::UnitedStates));
    EXPECT_NE(settings.LanguageName(), germanLanguage);
    EXPECT_NE(settings.DecimalSpecifier(), germanDecimal);
}

TEST_F(Locale, MonthsAndDaysCountFromOneAndMonday) {
    const QDate monday(2026, 3, 9);
    const QDate sunday(2026, 3, 15);
    ASSERT_EQ(monday.dayOfWeek(), 1);
    for (const QLocale::Language language : {QLocale::German, QLocale::English}) {
        use(language, language == QLocale::German ? QLocale::Germany : QLocale::UnitedStates);
        const QLocale locale;
        EXPECT_EQ(settings.DayName(1), locale.toString(monday, QStringLiteral("dddd")));
        EXPECT_EQ(settings.DayName(7), locale.toString(sunday, QStringLiteral("dddd")));
        EXPECT_EQ(settings.ShortDayName(1), locale.toString(monday, QStringLiteral("ddd")));
        EXPECT_EQ(settings.ShortDayName(7), locale.toString(sunday, QStringLiteral("ddd")));
        EXPECT_EQ(settings.MonthName(1), locale.standaloneMonthName(1));
        EXPECT_EQ(settings.MonthName(12), locale.standaloneMonthName(12));
        EXPECT_EQ(settings.ShortMonthName(3), locale.standaloneMonthName(3, QLocale::ShortFormat));
        EXPECT_NE(settings.MonthName(1), settings.MonthName(2));
        EXPECT_NE(settings.DayName(1), settings.DayName(7));
        EXPECT_FALSE(settings.ShortMonthName(3).isEmpty());
    }
    const QString englishMonday = settings.DayName(1);
    use(QLocale::German, QLocale::Germany);
    EXPECT_NE(settings.DayName(1), englishMonday);
    for (const short outside : {0, 8, -1})
        EXPECT_TRUE(settings.DayName(outside).isEmpty()) << outside;
    for (const short outside : {0, 13, -1})
        EXPECT_TRUE(settings.ShortMonthName(outside).isEmpty()) << outside;
}

// The locale's short date format, made to show the year with four digits; the long time format
// without its time zone.
TEST_F(Locale, ShortDateAlwaysHasAFourDigitYear) {
    const QDate date(2026, 3, 8);
    const QTime time(13, 5, 9);
    for (const QLocale::Language language : {QLocale::English, QLocale::German}) {
        use(language, language == QLocale::German ? QLocale::Germany : QLocale::UnitedStates);
        const QLocale locale;
        EXPECT_EQ(settings.DateFormat(),
                  LocaleSettings::withFourDigitYear(locale.dateFormat(QLocale::ShortFormat)));
        EXPECT_TRUE(locale.toString(date, settings.DateFormat()).contains("2026"));
        EXPECT_EQ(settings.TimeFormat(),
                  LocaleSettings::withoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
        const QString shownTime = locale.toString(time, settings.TimeFormat());
        EXPECT_TRUE(shownTime.contains("05") && shownTime.contains("09")) << qPrintable(shownTime);
    }
    EXPECT_EQ(LocaleSettings::withFourDigitYear("yyyy/MM/dd"), "yyyy/MM/dd");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("dd-MM-YYYY"), "dd-MM-YYYY");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("YY-MM-dd"), "yyyy-MM-dd");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("d.M.yy"), "d.M.yyyy");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("M/d/yy"), "M/d/yyyy");
}

TEST(LocaleSettingsFormats, TimeZoneLeavesQuotedTextAlone) {
    EXPECT_EQ(LocaleSettings::withoutTimeZone("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(LocaleSettings::withoutTimeZone("t HH:mm"), "HH:mm");
    EXPECT_EQ(LocaleSettings::withoutTimeZone("'at' h:mm:ss tt AP"), "'at' h:mm:ss AP");
    EXPECT_EQ(LocaleSettings::withoutTimeZone("H:mm:ss"), "H:mm:ss");
}
