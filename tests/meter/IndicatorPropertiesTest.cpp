#include "MeterFixture.h"

#include "meter/ColorValue.h"
#include "meter/MemoryPropertyBag.h"
#include "meter/SettingsPropertyBag.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using meter::MemoryPropertyBag;
using platform::RecordingPrompts;

namespace {

using PropertiesTest = MeterTest;

void expectDefaultColors(const meter::Indicator& meter) {
    EXPECT_EQ(meter.DimGreenColor(), QColor(0, 128, 0));
    EXPECT_EQ(meter.DimYellowColor(), QColor(128, 128, 0));
    EXPECT_EQ(meter.DimRedColor(), QColor(128, 0, 0));
    EXPECT_EQ(meter.BrightGreenColor(), QColor(0, 255, 0));
    EXPECT_EQ(meter.BrightYellowColor(), QColor(255, 255, 0));
    EXPECT_EQ(meter.BrightRedColor(), QColor(255, 0, 255)); // magenta, not red
    EXPECT_EQ(meter.BackColor(), QColor(0, 0, 255));
}

// The left meter's stored values, keys in other letter cases and in the store's text forms.
MemoryPropertyBag leftMeterStore() {
    return {{QStringLiteral("brightgreen"), QStringLiteral("65280")},
            {QStringLiteral("DIMGREEN"), 0x408080},
            {QStringLiteral("DimYellow"), QStringLiteral(" &H8080& ")},
            {QStringLiteral("dimRed"), QStringLiteral("&h8080")},
            {QStringLiteral("BackColor"), QStringLiteral("13619151")}};
}

TEST_F(PropertiesTest, CreatedWithTheTableValues) {
    EXPECT_TRUE(meter.LogIt());
    EXPECT_EQ(meter.Max(), 32767);
    EXPECT_EQ(meter.value(), 0);
    EXPECT_EQ(meter.Sens(), 1.0);
    EXPECT_EQ(meter.peakLed(), 0);
    expectDefaultColors(meter);
    EXPECT_TRUE(brightLeds().empty());
    // The same names reach the meter by late binding.
    EXPECT_TRUE(meter.setProperty("value", 32767));
    EXPECT_EQ(meter.property("value").toInt(), 32767);
    EXPECT_EQ(meter.property("BrightRedColor").value<QColor>(), QColor(255, 0, 255));
}

TEST_F(PropertiesTest, LoadsStoredColoursAndDefaultsForTheRest) {
    meter.loadProperties(leftMeterStore());
    EXPECT_EQ(meter.DimGreenColor(), QColor(0x80, 0x80, 0x40));
    EXPECT_EQ(meter.DimYellowColor(), QColor(0x80, 0x80, 0));
    EXPECT_EQ(meter.DimRedColor(), QColor(0x80, 0x80, 0));
    EXPECT_EQ(meter.BackColor(), QColor(0xCF, 0xCF, 0xCF));
    EXPECT_EQ(meter.BrightRedColor(), QColor(255, 0, 255));
    EXPECT_EQ(meter.ledColor(0), QColor(0x80, 0x80, 0x40)); // repainted at once
    EXPECT_TRUE(prompts->records().isEmpty());

    meter.loadProperties(MemoryPropertyBag());
    expectDefaultColors(meter);
}

TEST_F(PropertiesTest, StoredValueThatIsNoColourLeavesTheColour) {
    meter.loadProperties(leftMeterStore());
    meter.loadProperties(MemoryPropertyBag{{QStringLiteral("DimGreen"), QStringLiteral("vbGreen")},
                                           {QStringLiteral("DimYellow"), -1},
                                           {QStringLiteral("DimRed"), 0x1000000},
                                           {QStringLiteral("BackColor"), QStringLiteral("&H")}});
    EXPECT_EQ(meter.DimGreenColor(), QColor(0x80, 0x80, 0x40));
    EXPECT_EQ(meter.DimYellowColor(), QColor(0x80, 0x80, 0));
    EXPECT_EQ(meter.DimRedColor(), QColor(0x80, 0x80, 0));
    EXPECT_EQ(meter.BackColor(), QColor(0xCF, 0xCF, 0xCF));
}

TEST_F(PropertiesTest, SavesAllSevenInOrderAndReadsThemBack) {
    meter.loadProperties(leftMeterStore());
    MemoryPropertyBag saved;
    meter.saveProperties(saved);
    EXPECT_EQ(saved.keys(), QStringList({"BrightYellow", "BrightRed", "BrightGreen", "DimGreen",
                                         "DimYellow", "DimRed", "BackColor"}));
    EXPECT_EQ(saved.readProperty(QStringLiteral("DimGreen"), {}).toInt(), 0x408080);
    EXPECT_EQ(saved.readProperty(QStringLiteral("BrightRed"), {}).toInt(), 0xFF00FF);

    // Through an INI group; a key stored in another case is replaced, not duplicated.
    QTemporaryDir temp;
    QSettings ini(temp.filePath(QStringLiteral("meters.ini")), QSettings::IniFormat);
    ini.setValue(QStringLiteral("IndL/dimgreen"), 1);
    meter::SettingsPropertyBag left(ini, QStringLiteral("IndL"));
    meter.saveProperties(left);
    ini.sync();
    QSettings reread(ini.fileName(), QSettings::IniFormat);
    reread.beginGroup(QStringLiteral("IndL"));
    EXPECT_EQ(reread.childKeys().size(), 7);
    reread.endGroup();
    Indicator other;
    other.loadProperties(meter::SettingsPropertyBag(reread, QStringLiteral("IndL")));
    EXPECT_EQ(other.DimGreenColor(), meter.DimGreenColor());
    EXPECT_EQ(other.BackColor(), meter.BackColor());
    EXPECT_EQ(other.BrightGreenColor(), meter.BrightGreenColor());
}

TEST_F(PropertiesTest, LedColourSettersOfferThePicker) {
    QSignalSpy changed(&meter, &Indicator::propertyChanged);
    prompts->queueColor(QColor(1, 2, 3));
    meter.setDimGreenColor(QColor(10, 20, 30));
    ASSERT_EQ(prompts->count(RecordingPrompts::Kind::Color), 1);
    EXPECT_EQ(prompts->last().title, QStringLiteral("Pick Colour."));
    EXPECT_EQ(prompts->last().extra, QStringLiteral("#0a141e"));
    EXPECT_EQ(meter.DimGreenColor(), QColor(1, 2, 3));
    EXPECT_EQ(meter.ledColor(0), QColor(1, 2, 3));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toString(), QStringLiteral("DimGreen"));

    // Cancelled: the colour given is kept.
    meter.setBrightRedColor(QColor(200, 0, 0));
    EXPECT_EQ(meter.BrightRedColor(), QColor(200, 0, 0));
    EXPECT_EQ(changed.last()[0].toString(), QStringLiteral("BrightRed"));
}

TEST_F(PropertiesTest, ColoursByNameTakeAColourOrAStoredNumber) {
    // A whole number is laid out as a stored colour is, 0x00BBGGRR.
    meter.setProperty("DimGreenColor", 0x408080);
    EXPECT_EQ(meter.DimGreenColor(), QColor(0x80, 0x80, 0x40));
    EXPECT_EQ(meter.ledColor(0), QColor(0x80, 0x80, 0x40));
    EXPECT_EQ(meter.property("DimGreenColor").value<QColor>(), QColor(0x80, 0x80, 0x40));
    meter.setProperty("BackColor", 0xCFCFCFu);
    EXPECT_EQ(meter.BackColor(), QColor(0xCF, 0xCF, 0xCF));
    meter.setProperty("BrightRedColor", QColor(200, 0, 0));
    EXPECT_EQ(meter.BrightRedColor(), QColor(200, 0, 0));
    meter.setProperty("BrightYellowColor", "#102030");
    EXPECT_EQ(meter.BrightYellowColor(), QColor(0x10, 0x20, 0x30));
    EXPECT_EQ(prompts->count(RecordingPrompts::Kind::Color), 3); // the LED setters' picker

    // What is no colour is dropped without offering the picker.
    for (const QVariant& bad : {QVariant(-1), QVariant(0x1000000), QVariant(Q_INT64_C(1) << 40),
                                QVariant(QStringLiteral("no colour")), QVariant()})
        meter.setProperty("DimRedColor", bad);
    EXPECT_EQ(meter.DimRedColor(), QColor(128, 0, 0));
    EXPECT_EQ(prompts->count(RecordingPrompts::Kind::Color), 3);
}

TEST_F(PropertiesTest, BackColourOffersThePickerOnlyInDesignMode) {
    QSignalSpy changed(&meter, &Indicator::propertyChanged);
    meter.setValue(32767);
    meter.setBackColor(QColor(0xCF, 0xCF, 0xCF));
    EXPECT_EQ(prompts->count(), 0);
    EXPECT_EQ(meter.BackColor(), QColor(0xCF, 0xCF, 0xCF));
    EXPECT_EQ(brightLeds(), ledsUpTo(32));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toString(), QStringLiteral("BackColor"));

    meter.setDesignMode(true);
    prompts->queueColor(QColor(9, 9, 9));
    meter.setBackColor(QColor(0, 0, 0));
    EXPECT_EQ(prompts->count(RecordingPrompts::Kind::Color), 1);
    EXPECT_EQ(meter.BackColor(), QColor(9, 9, 9));
}

TEST_F(PropertiesTest, PickColorReportsCancel) {
    QColor color(1, 1, 1);
    EXPECT_FALSE(meter.PickColor(color, QColor(5, 5, 5)));
    EXPECT_EQ(color, QColor(1, 1, 1));
    EXPECT_EQ(prompts->last().extra, QStringLiteral("#050505"));
    prompts->queueColor(QColor(7, 7, 7));
    EXPECT_TRUE(meter.PickColor(color, color));
    EXPECT_EQ(color, QColor(7, 7, 7));
}

TEST_F(PropertiesTest, RightClickOnRightButtonReleaseOverTheControl) {
    QSignalSpy clicks(&meter, &Indicator::RightClick);
    meter.show();
    QTest::mouseRelease(&meter, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.size(), 0);
    QTest::mouseRelease(&meter, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.size(), 1);
    QTest::mouseRelease(&meter, Qt::RightButton, {}, QPoint(-5, 5));
    EXPECT_EQ(clicks.size(), 1);
}

TEST(ColorValueTest, StoredFormsAndTheirColours) {
    using meter::parseColorValue;
    EXPECT_EQ(parseColorValue(QStringLiteral("&H8000&")), 0x8000u);
    EXPECT_EQ(parseColorValue(QStringLiteral("&HFF00FF")), 0xFF00FFu);
    EXPECT_EQ(parseColorValue(QStringLiteral("16711680")), 0xFF0000u);
    EXPECT_EQ(parseColorValue(65535), 0xFFFFu);
    for (const QVariant& bad :
         {QVariant(QStringLiteral("vbGreen")), QVariant(QStringLiteral("&H0x10")),
          QVariant(QStringLiteral("&H-1")), QVariant(QStringLiteral("&H1000000")),
          QVariant(QStringLiteral("12.5")), QVariant(), QVariant(-2147483633)})
        EXPECT_FALSE(parseColorValue(bad).has_value()) << bad.toString().toStdString();
    EXPECT_EQ(meter::colorFromValue(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(meter::valueFromColor(QColor(0x40, 0x80, 0xCF)), 0xCF8040u);
}

} // namespace
