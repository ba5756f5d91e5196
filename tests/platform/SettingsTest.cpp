#include "platform/Settings.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>

using platform::Settings;

namespace {

// Every test gets a config folder of its own and a known locale, and gets both back afterwards.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(configHome_.isValid());
        previousConfigHome_ = qgetenv("XDG_CONFIG_HOME");
        previousLocale_ = QLocale();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Settings::setApplicationName(QStringLiteral("veltrax"));
    }
    void TearDown() override {
        qputenv("XDG_CONFIG_HOME", previousConfigHome_);
        QLocale::setDefault(previousLocale_);
        Settings::setApplicationName({});
    }

    // The store's file as it is on the disk.
    static QString storedText() {
        QFile file(Settings::filePath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }

    static void writeStore(const QByteArray& contents) {
        QDir().mkpath(QFileInfo(Settings::filePath()).absolutePath());
        QFile file(Settings::filePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QTemporaryDir configHome_;
    QByteArray previousConfigHome_;
    QLocale previousLocale_;
};

TEST_F(SettingsTest, StoreIsKeptPerApplicationUnderConfigHome) {
    EXPECT_EQ(Settings::filePath(), configHome_.filePath(QStringLiteral("veltrax/veltrax.ini")));

    Settings::setApplicationName({});
    EXPECT_EQ(Settings::applicationName(), QStringLiteral("platform_core"));
    EXPECT_EQ(Settings::filePath(),
              configHome_.filePath(QStringLiteral("platform_core/platform_core.ini")));
}

TEST_F(SettingsTest, EachSaveIsOnTheDiskAsTextAtOnce) {
    Settings::saveInt(QStringLiteral("Recorder"), QStringLiteral("Channels"), 42);
    EXPECT_TRUE(storedText().contains(QStringLiteral("[Recorder]\nChannels=42\n")));

    Settings::saveInt(QStringLiteral("Recorder"), QStringLiteral("Offset"), -7);
    Settings::saveBool(QStringLiteral("Recorder"), QStringLiteral("On"), true);
    Settings::saveBool(QStringLiteral("Recorder"), QStringLiteral("Off"), false);
    Settings::saveDate(QStringLiteral("Recorder"), QStringLiteral("Started"), 45474.5);
    Settings::saveString(QStringLiteral("Recorder"), QStringLiteral("Name"),
                         QStringLiteral("Studio"));

    const QString text = storedText();
    EXPECT_TRUE(text.contains(QStringLiteral("Offset=-7\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("On=True\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Off=False\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Started=45474.5\n"))) << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Name=Studio\n"))) << qPrintable(text);
}

TEST_F(SettingsTest, ValuesReadBackAsSaved) {
    const QString s = QStringLiteral("S");
    const QStringList strings = {QStringLiteral("a, b; c = d"),   QStringLiteral("  padded  "),
                                 QStringLiteral("@at start"),     QStringLiteral("\"quoted\""),
                                 QStringLiteral("Grüße \\ back"), QString()};
    for (const QString& value : strings) {
        Settings::saveString(s, QStringLiteral("text"), value);
        EXPECT_EQ(Settings::getString(s, QStringLiteral("text"), QStringLiteral("default")), value);
    }
    for (int value : {0, 1, -1, INT_MAX, INT_MIN}) {
        Settings::saveInt(s, QStringLiteral("int"), value);
        EXPECT_EQ(Settings::getInt(s, QStringLiteral("int"), 99), value);
    }
    for (bool value : {true, false}) {
        Settings::saveBool(s, QStringLiteral("bool"), value);
        EXPECT_EQ(Settings::getBool(s, QStringLiteral("bool"), !value), value);
    }
    // 1 July 2024, 12:34:56.789 needs every digit to come back to the millisecond.
    for (double value : {0.0, 45474.52426839120, -1.25, 2958465.99999}) {
        Settings::saveDate(s, QStringLiteral("date"), value);
        EXPECT_EQ(Settings::getDate(s, QStringLiteral("date"), 1.0), value);
    }
}

TEST_F(SettingsTest, MissingValuesGiveTheDefault) {
    const QString s = QStringLiteral("Nowhere");
    EXPECT_FALSE(Settings::contains(s, QStringLiteral("k")));
    EXPECT_EQ(Settings::getString(s, QStringLiteral("k"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(Settings::getInt(s, QStringLiteral("k"), 5), 5);
    EXPECT_TRUE(Settings::getBool(s, QStringLiteral("k"), true));
    EXPECT_EQ(Settings::getDate(s, QStringLiteral("k"), 3.5), 3.5);
    EXPECT_FALSE(QFile::exists(Settings::filePath())) << "reading must not create the store";
}

TEST_F(SettingsTest, MalformedValuesGiveTheDefault) {
    const QString s = QStringLiteral("Bad");
    for (const char* text : {"abc", "12.7", "", "99999999999", "0x10", "1 2", "12abc"}) {
        Settings::saveString(s, QStringLiteral("k"), QString::fromLatin1(text));
        EXPECT_EQ(Settings::getInt(s, QStringLiteral("k"), -3), -3) << text;
    }
    for (const char* text : {"maybe", "", "yes", "1,5,x"}) {
        Settings::saveString(s, QStringLiteral("k"), QString::fromLatin1(text));
        EXPECT_TRUE(Settings::getBool(s, QStringLiteral("k"), true)) << text;
        EXPECT_FALSE(Settings::getBool(s, QStringLiteral("k"), false)) << text;
    }
    for (const char* text : {"abc", "", "nan", "inf", "1.2.3"}) {
        Settings::saveString(s, QStringLiteral("k"), QString::fromLatin1(text));
        EXPECT_EQ(Settings::getDate(s, QStringLiteral("k"), 7.25), 7.25) << text;
    }
}

TEST_F(SettingsTest, LenientReadingOfHandWrittenValues) {
    const QString s = QStringLiteral("Hand");
    const auto store = [&](const char* text) {
        Settings::saveString(s, QStringLiteral("k"), QString::fromLatin1(text));
    };
    store(" 42 ");
    EXPECT_EQ(Settings::getInt(s, QStringLiteral("k"), 0), 42);
    store("+5");
    EXPECT_EQ(Settings::getInt(s, QStringLiteral("k"), 0), 5);

    for (const char* text : {"TRUE", "true", " True ", "-1", "2.5"}) {
        store(text);
        EXPECT_TRUE(Settings::getBool(s, QStringLiteral("k"), false)) << text;
    }
    for (const char* text : {"FALSE", "fAlSe", "0", " 0 ", "0.0"}) {
        store(text);
        EXPECT_FALSE(Settings::getBool(s, QStringLiteral("k"), true)) << text;
    }

    store(" 45474.25 ");
    EXPECT_EQ(Settings::getDate(s, QStringLiteral("k"), 0.0), 45474.25);
}

TEST_F(SettingsTest, DateUsesTheDecimalCommaOfAGermanLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString s = QStringLiteral("Schedule");

    Settings::saveDate(s, QStringLiteral("Next"), 45474.5);
    EXPECT_TRUE(storedText().contains(QStringLiteral("Next=\"45474,5\"\n")))
        << qPrintable(storedText());
    EXPECT_EQ(Settings::getString(s, QStringLiteral("Next")), QStringLiteral("45474,5"));
    EXPECT_EQ(Settings::getDate(s, QStringLiteral("Next"), 0.0), 45474.5);

    // No thousands separator, even for numbers large enough to have one.
    Settings::saveDate(s, QStringLiteral("Far"), 2958465.75);
    EXPECT_EQ(Settings::getString(s, QStringLiteral("Far")), QStringLiteral("2958465,75"));

    // A value written under a C locale still reads, and "45.474" is not taken as 45474.
    Settings::saveString(s, QStringLiteral("C"), QStringLiteral("45.474"));
    EXPECT_EQ(Settings::getDate(s, QStringLiteral("C"), 0.0), 45.474);

    Settings::saveString(s, QStringLiteral("Flag"), QStringLiteral("0,0"));
    EXPECT_FALSE(Settings::getBool(s, QStringLiteral("Flag"), true));
}

TEST_F(SettingsTest, HandEditedCommaWithoutQuotesReadsAsOneValue) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    writeStore("[Schedule]\nNext=45474,5\n");
    EXPECT_EQ(Settings::getString(QStringLiteral("Schedule"), QStringLiteral("Next")),
              QStringLiteral("45474,5"));
    EXPECT_EQ(Settings::getDate(QStringLiteral("Schedule"), QStringLiteral("Next"), 0.0), 45474.5);
}

TEST_F(SettingsTest, ValuesWrittenByAnotherProcessAreSeen) {
    Settings::saveInt(QStringLiteral("S"), QStringLiteral("k"), 1);
    EXPECT_EQ(Settings::getInt(QStringLiteral("S"), QStringLiteral("k"), 0), 1);
    writeStore("[S]\nk=2\nother=x\n");
    EXPECT_EQ(Settings::getInt(QStringLiteral("S"), QStringLiteral("k"), 0), 2);
    EXPECT_TRUE(Settings::contains(QStringLiteral("S"), QStringLiteral("other")));
}

TEST_F(SettingsTest, ChangeOfConfigHomeIsHonoured) {
    Settings::saveInt(QStringLiteral("S"), QStringLiteral("k"), 1);
    const QString first = Settings::filePath();

    QTemporaryDir other;
    ASSERT_TRUE(other.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(other.path()));
    EXPECT_FALSE(Settings::contains(QStringLiteral("S"), QStringLiteral("k")));
    Settings::saveInt(QStringLiteral("S"), QStringLiteral("k"), 2);
    EXPECT_TRUE(QFile::exists(other.filePath(QStringLiteral("veltrax/veltrax.ini"))));

    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
    EXPECT_EQ(Settings::filePath(), first);
    EXPECT_EQ(Settings::getInt(QStringLiteral("S"), QStringLiteral("k"), 0), 1);
}

TEST_F(SettingsTest, RemoveDeletesOnlyThatValue) {
    Settings::saveInt(QStringLiteral("S"), QStringLiteral("a"), 1);
    Settings::saveInt(QStringLiteral("S"), QStringLiteral("b"), 2);
    Settings::remove(QStringLiteral("S"), QStringLiteral("a"));
    Settings::remove(QStringLiteral("S"), QStringLiteral("never there"));

    EXPECT_FALSE(Settings::contains(QStringLiteral("S"), QStringLiteral("a")));
    EXPECT_EQ(Settings::getInt(QStringLiteral("S"), QStringLiteral("a"), 9), 9);
    EXPECT_EQ(Settings::getInt(QStringLiteral("S"), QStringLiteral("b"), 9), 2);
    EXPECT_FALSE(storedText().contains(QStringLiteral("a=1")));
}

} // namespace
