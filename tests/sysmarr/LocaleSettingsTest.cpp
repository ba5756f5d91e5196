// Regional settings for a chosen locale, and the two format rewrites.
#include "sysmarr/LocaleSettings.h"

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

TEST_F(Locale, GermanSettings) {
    use(QLocale::German, QLocale::Germany);
    EXPECT_EQ(settings.DateFormat(), "dd.MM.yyyy");
    EXPECT_EQ(settings.TimeFormat(), "HH:mm:ss");
    EXPECT_EQ(settings.NumberFormat(), "###.###,######");
    EXPECT_EQ(settings.ThousandSpecifier(), ".");
    EXPECT_EQ(settings.DecimalSpecifier(), ",");
    EXPECT_EQ(settings.CurrencySpecifier(), "€");
    EXPECT_EQ(settings.Country(), "Germany");
    EXPECT_EQ(settings.LanguageName(), "Deutsch");
    EXPECT_EQ(settings.NativeCountryName(), "Deutschland");
    EXPECT_EQ(settings.PositiveSign(), "+");
    EXPECT_EQ(settings.NegativeSign(), "-");
}

TEST_F(Locale, MonthsAndDaysCountFromOneAndMonday) {
    use(QLocale::German, QLocale::Germany);
    EXPECT_EQ(settings.DayName(1), "Montag");
    EXPECT_EQ(settings.DayName(7), "Sonntag");
    EXPECT_EQ(settings.MonthName(1), "Januar");
    EXPECT_EQ(settings.MonthName(12), "Dezember");
    use(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(settings.ShortDayName(1), "Mon");
    EXPECT_EQ(settings.ShortDayName(7), "Sun");
    EXPECT_EQ(settings.ShortMonthName(3), "Mar");
    for (const short outside : {0, 8, -1})
        EXPECT_TRUE(settings.DayName(outside).isEmpty()) << outside;
    for (const short outside : {0, 13, -1})
        EXPECT_TRUE(settings.ShortMonthName(outside).isEmpty()) << outside;
}

TEST_F(Locale, ShortDateAlwaysHasAFourDigitYear) {
    use(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(settings.DateFormat(), "M/d/yyyy");
    EXPECT_EQ(settings.TimeFormat(), "h:mm:ss AP");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("yyyy/MM/dd"), "yyyy/MM/dd");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("dd-MM-YYYY"), "dd-MM-YYYY");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("YY-MM-dd"), "yyyy-MM-dd");
    EXPECT_EQ(LocaleSettings::withFourDigitYear("d.M.yy"), "d.M.yyyy");
}

TEST(LocaleSettingsFormats, TimeZoneLeavesQuotedTextAlone) {
    EXPECT_EQ(LocaleSettings::withoutTimeZone("HH:mm:ss t"), "HH:mm:ss");
    EXPECT_EQ(LocaleSettings::withoutTimeZone("t HH:mm"), "HH:mm");
    EXPECT_EQ(LocaleSettings::withoutTimeZone("'at' h:mm:ss tt AP"), "'at' h:mm:ss AP");
    EXPECT_EQ(LocaleSettings::withoutTimeZone("H:mm:ss"), "H:mm:ss");
}
