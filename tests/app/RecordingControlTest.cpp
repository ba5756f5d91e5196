// Recording from the window: names of files and folders, the hand-over between the two loggers
// at every file change, fall-backs and refusals, and the status texts.
#include "MediaCheck.h"
#include "SettingsSandbox.h"

#include "app/DurationText.h"
#include "app/RecordingNames.h"
#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace media;
using platform::Clock;
using platform::Settings;

namespace {

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second)); // a Monday
}

// The sound server's capture device when the test run has one, else the live test tone.
QList<FilterItem> captureDevices() {
    QList<FilterItem> devices;
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        for (const FilterItem& item : DeviceEnumerator::audioCaptureDevices()) {
            if (item.name() == QLatin1String("Monitor of VeltraxTest"))
                devices.append(item);
        }
    }
    return devices + DeviceEnumerator::testSources();
}

class RecordingControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        DeviceEnumerator::overrideCaptureDevices(captureDevices());
        Settings::saveString("Settings", "AudioPath", audio.path());
        Clock::setNow(at(10, 59, 30));
        window = std::make_unique<frmMain>();
        window->Form_Activate();
        for (int i = 0; i < 2; ++i)
            window->Tavrel(i)->Timer1()->stop(); // ticks come from the test
    }
    void TearDown() override {
        window->closeWithoutAsking();
        window.reset();
        Clock::useSystemClock();
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        FilterRegistry::instance().reset();
        QLocale::setDefault(QLocale::system());
    }

    void tickBothAt(const QDateTime& moment) {
        Clock::setNow(moment);
        window->Tavrel(0)->Timer1_Timer();
        window->Tavrel(1)->Timer1_Timer();
    }

    QString dayFolder() const { return audio.path() + "/Monday 07 December/"; }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    std::unique_ptr<frmMain> window;
};

} // namespace

TEST_F(RecordingControlTest, FileChangesHandRecordingToTheOtherLoggerEachHour) {
    window->cmdRecord_Click();
    ASSERT_EQ(window->Tavrel(0)->RecordState(), 2) << qPrintable(prompts->texts().join(" | "));
    const QString first =
        dayFolder() + "Monday 07 December Started Hour 10 at 59 Minutes 30 Secs.wma";
    EXPECT_EQ(window->Tavrel(0)->FileName(), first);
    EXPECT_FALSE(window->cmdRecord->isEnabled());
    tickBothAt(at(10, 59, 31));
    EXPECT_EQ(window->lblEventCountDown->text(), "00:00:29");
    QTest::qWait(1500);

    tickBothAt(at(11, 0, 1));
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 0);
    ASSERT_EQ(window->Tavrel(1)->RecordState(), 2);
    const QString second =
        dayFolder() + "Monday 07 December Started Hour 11 at 00 Minutes 01 Secs.wma";
    EXPECT_EQ(window->Tavrel(1)->FileName(), second);
    EXPECT_TRUE(window->lblEventCountDown->isVisibleTo(window.get()));
    QTest::qWait(1500);

    tickBothAt(at(12, 0, 1));
    EXPECT_EQ(window->Tavrel(1)->RecordState(), 0);
    ASSERT_EQ(window->Tavrel(0)->RecordState(), 2);
    const QString third =
        dayFolder() + "Monday 07 December Started Hour 12 at 00 Minutes 01 Secs.wma";
    EXPECT_EQ(window->Tavrel(0)->FileName(), third);
    QTest::qWait(1500);
    window->cmdStopRec_Click();
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 0);
    EXPECT_TRUE(window->cmdRecord->isEnabled());
    EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));

    for (const QString& file : {first, second, third}) {
        SCOPED_TRACE(qPrintable(file));
        EXPECT_EQ(MediaCheck::probe(file).codec, "wmav2");
        EXPECT_GT(MediaCheck::decodedSeconds(file), 1.0);
    }
}

TEST_F(RecordingControlTest, TwoStartsInOneSecondGetANumberedName) {
    window->cmdRecord_Click();
    const QString first = window->Tavrel(0)->FileName();
    window->cmdRecord_Click(); // stops both, starts again in the same second
    const QString second = window->Tavrel(0)->FileName();
    EXPECT_TRUE(first.endsWith("Secs.wma"));
    EXPECT_EQ(second, first.chopped(4) + "(1).wma");
    window->cmdStopRec_Click();
}

TEST_F(RecordingControlTest, NewLoggerThatCannotStartLeavesRecordingOnTheOldOneOnANewFile) {
    window->cmdRecord_Click();
    tickBothAt(at(10, 59, 31)); // the first tick after the start works out the change
    const QString first = window->Tavrel(0)->FileName();
    // The standby holds a graph already, so it is not free to take over.
    ASSERT_TRUE(window->Tavrel(1)->OutputFileName(audio.filePath("standby.wma")));
    tickBothAt(at(11, 0, 1));
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 2);
    EXPECT_NE(window->Tavrel(0)->FileName(), first);
    EXPECT_TRUE(window->Tavrel(0)->FileName().contains("Started Hour 11 at 00 Minutes 01 Secs"));
    window->cmdStopRec_Click();
    EXPECT_EQ(window->Tavrel(1)->RecordState(), 0);
}

TEST_F(RecordingControlTest, ChangeFromALoggerThatIsNotRunningDoesNothing) {
    window->Tavrel_IntervalReached(1);
    window->Tavrel_IntervalReached(0);
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 0);
    EXPECT_EQ(window->Tavrel(1)->RecordState(), 0);
    EXPECT_FALSE(QDir(dayFolder()).exists());
}

TEST_F(RecordingControlTest, TodaysFolderThatCannotBeMadeStopsTheStart) {
    QFile blocker(audio.filePath("Monday 07 December"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should go
    blocker.close();
    window->cmdRecord_Click();
    EXPECT_EQ(prompts->texts(),
              (QStringList{"Unable to create today's folder", "Please check your settings"}));
    EXPECT_EQ(prompts->records().first().icon, platform::PromptIcon::Critical);
    EXPECT_EQ(prompts->last().title, "It Was Not Possible To Start The Recording Process.");
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 0);
}

TEST_F(RecordingControlTest, ListsAndFolderRefuseChangesWhileRecording) {
    window->cmdRecord_Click();
    ASSERT_TRUE(window->AnyLoggerRecording());
    window->cboProFile->setCurrentIndex(0);
    window->cboProFile_Click();
    EXPECT_EQ(prompts->last().text, "Please stop recording first!");
    EXPECT_EQ(window->cboProFile->currentIndex(), 5); // put back to the current profile
    window->cboFormat->setCurrentIndex(1);
    window->cboFormat_Click();
    window->cboRecDevice_Click();
    window->cmdPath_Click();
    EXPECT_EQ(prompts->texts().mid(1),
              (QStringList{"Please stop recording first!", "Please stop recording first!",
                           "Please Stop the recording first!"}));
    EXPECT_EQ(prompts->last().title, "Recording Must be Stopped First!");
    window->cmdStopRec_Click();

    // A built but idle logger blocks the folder choice too.
    ASSERT_TRUE(window->Tavrel(1)->OutputFileName(audio.filePath("idle.wma")));
    window->cmdPath_Click();
    EXPECT_EQ(prompts->last().text, "Please Stop the recording first!");
    window->StopLoggers();

    prompts->clear();
    QTemporaryDir chosen;
    prompts->queueFolder(chosen.path());
    window->cmdPath_Click();
    EXPECT_EQ(prompts->last().text, "Choose a folder in which to store the audio.");
    EXPECT_EQ(prompts->last().title, "Veltrax Audio Path.");
    EXPECT_EQ(Settings::getString("Settings", "AudioPath"), chosen.path());
    EXPECT_EQ(window->AudioPath(), chosen.path() + "/");
    EXPECT_EQ(window->lblPath->text(), chosen.path());
}

TEST_F(RecordingControlTest, ChoosingAnotherProfileOrDeviceReachesBothLoggers) {
    window->cboProFile->setCurrentIndex(2);
    window->cboProFile_Click();
    EXPECT_EQ(Settings::getString("Settings", "Profile"), "3");
    EXPECT_EQ(window->Tavrel(1)->Profile(), 3);
    window->cboRecDevice->setCurrentText(DeviceEnumerator::kTestSilence);
    window->cboRecDevice_Click();
    EXPECT_EQ(window->Tavrel(1)->CaptureDeviceName(), DeviceEnumerator::kTestSilence);

    FilterRegistry::instance().unregisterFilter("Lame MPEG Layer III Audio Encoder2");
    window->Tavrel(0)->Initialise(); // both read the registered filters again
    window->Tavrel(1)->Initialise();
    window->cboFormat->setCurrentIndex(1);
    window->cboFormat_Click();
    EXPECT_EQ(window->cboFormat->currentIndex(), 0);
    EXPECT_EQ(window->cboProFile->itemText(0), "Mono Audio 28.8 Bitrate");
    EXPECT_TRUE(window->mnuStream->isEnabled());
}

TEST(StatusTexts, DurationsAndMeterValues) {
    EXPECT_EQ(DurationText::FormatDuration(0), "00:00:00");
    EXPECT_EQ(DurationText::FormatDuration(3725), "01:02:05");
    EXPECT_EQ(DurationText::FormatDuration(86399), "23:59:59");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    EXPECT_EQ(DurationText::FormatDuration(86400), "1 Days");
    EXPECT_EQ(DurationText::FormatDuration(129600), "1.5 Days");
    EXPECT_EQ(DurationText::FormatDuration(604800), "1 Weeks");
    EXPECT_EQ(DurationText::FormatDuration(873236), "1.44 Weeks");
    // A plain number: the locale's decimal separator and no group separators.
    EXPECT_EQ(DurationText::FormatDuration(1000000000), "1653.44 Weeks");
    const QLocale german(QLocale::German, QLocale::Germany);
    QLocale::setDefault(german);
    EXPECT_EQ(DurationText::FormatDuration(129600), "1" + german.decimalPoint() + "5 Days");
    EXPECT_EQ(DurationText::FormatDuration(1000000000),
              "1653" + german.decimalPoint() + "44 Weeks");
    QLocale::setDefault(QLocale::system());

    EXPECT_EQ(frmMain::MeterValue(100), 336);
    EXPECT_EQ(frmMain::MeterValue(0), 0);
    EXPECT_EQ(frmMain::MeterValue(32768), 3 * 36766);
}

// The day and month are named as the user's language names them standing alone (Qt's locale
// data, which changes with Qt: compared with that data, not spelt out); the rest is fixed text.
TEST(StatusTexts, FolderAndFileNamesFollowTheClockInTheUsersLanguage) {
    const QLocale english(QLocale::English, QLocale::UnitedKingdom);
    QLocale::setDefault(english);
    Clock::setNow(QDateTime(QDate(2026, 12, 6), QTime(14, 5, 33)));
    const QString englishDay =
        english.standaloneDayName(7) + " 06 " + english.standaloneMonthName(12);
    EXPECT_EQ(RecordingNames::DayFolderName(), englishDay + "/");
    EXPECT_EQ(RecordingNames::RecordingBaseName(),
              englishDay + " Started Hour 14 at 05 Minutes 33 Secs");
    const QLocale french(QLocale::French, QLocale::France);
    QLocale::setDefault(french);
    const QString frenchFolder = RecordingNames::DayFolderName();
    EXPECT_EQ(frenchFolder,
              french.standaloneDayName(7) + " 06 " + french.standaloneMonthName(12) + "/");
    EXPECT_NE(frenchFolder, englishDay + "/");
    EXPECT_FALSE(french.standaloneMonthName(12).isEmpty());
    // Where a language names a month one way standing alone and another inside a date (the
    // genitive), the folder takes the name standing alone, as a calendar's heading shows it.
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    QLocale::setDefault(russian);
    const QDateTime january(QDate(2027, 1, 4), QTime(9, 0));
    EXPECT_TRUE(RecordingNames::DayFolderName(january).endsWith(
        " 04 " + russian.standaloneMonthName(1) + "/"));
    if (russian.monthName(1) != russian.standaloneMonthName(1)) {
        EXPECT_FALSE(RecordingNames::DayFolderName(january).contains(russian.monthName(1)));
    }
    QLocale::setDefault(QLocale::system());
    Clock::useSystemClock();
}
