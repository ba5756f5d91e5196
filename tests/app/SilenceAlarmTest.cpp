// Dead air on the recorded input: the detector's edges against a hand-moved clock, the stored
// settings and the menu, then the whole window on the private sound server with a sink muted.
#include "MediaCheck.h"
#include "ServerChecks.h"
#include "SettingsSandbox.h"

#include "app/SilenceAlarm.h"
#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using platform::Settings;
using Change = SilenceAlarm::Change;
using ServerChecks::millisecondsUntil;

namespace {

constexpr int kLoud = 3000; // about -21 dBFS
constexpr int kQuiet = 50;  // about -56 dBFS

// Peaks every 100 ms from `from` up to (not including) `to`, as the loggers deliver them; the
// changes met, with their times.
QList<std::pair<Change, qint64>> feed(SilenceAlarm& alarm, int peak, qint64 from, qint64 to) {
    QList<std::pair<Change, qint64>> changes;
    for (qint64 t = from; t < to; t += 100) {
        const Change change = alarm.observe(peak, peak / 2, t);
        if (change != Change::None)
            changes.append({change, t});
    }
    return changes;
}

} // namespace

TEST(SilenceAlarm, CountsSilenceOnceAndEndsItOnlyOnASecondOfSound) {
    SilenceAlarm alarm;
    // A level exactly at the threshold is sound; the smallest step below it is silence.
    alarm.setThreshold(0);
    EXPECT_TRUE(alarm.isSound(32768, 0));
    EXPECT_FALSE(alarm.isSound(32767, 32767));
    alarm.setThreshold(-50); // 103.6 of 32768
    EXPECT_FALSE(alarm.isSound(103, 103));
    EXPECT_TRUE(alarm.isSound(0, 104));

    alarm.setSeconds(30);
    EXPECT_EQ(alarm.observe(0, 0, 0), Change::None) << "nothing is watched before recording";
    alarm.start(0);
    // A single loud peak at 15 s starts the count again: the silence is told at 45 s, once.
    EXPECT_TRUE(feed(alarm, kQuiet, 0, 15000).isEmpty());
    EXPECT_EQ(alarm.observe(kLoud, 0, 15000), Change::None);
    EXPECT_TRUE(feed(alarm, kQuiet, 15100, 44900).isEmpty());
    EXPECT_EQ(alarm.check(44999), Change::None);
    EXPECT_EQ(alarm.check(45000), Change::Began);
    EXPECT_EQ(alarm.silenceBeganMs(), 15000);
    EXPECT_TRUE(feed(alarm, kQuiet, 45000, 46000).isEmpty());
    // Sound for less than a second does not end it; a second of it does.
    EXPECT_TRUE(feed(alarm, kLoud, 46000, 46900).isEmpty());
    EXPECT_TRUE(feed(alarm, kQuiet, 46900, 50000).isEmpty());
    const auto ended = feed(alarm, kLoud, 50000, 52000);
    ASSERT_EQ(ended.size(), 1);
    EXPECT_EQ(ended[0], std::make_pair(Change::Ended, qint64(51000)));
    EXPECT_EQ(alarm.lastSilenceMs(), 35000);

    // An input that delivers nothing at all is silent too.
    EXPECT_EQ(alarm.check(81900), Change::Began);
    // Recording stops during a silence: it is forgotten, and sound afterwards ends nothing.
    alarm.stop();
    EXPECT_TRUE(feed(alarm, kLoud, 82000, 84000).isEmpty());
    EXPECT_FALSE(alarm.silent());
    alarm.start(84000);
    EXPECT_EQ(alarm.check(113900), Change::None) << "a new recording counts from its start";

    // The lowest level turns it off; values out of range are the defaults.
    alarm.setThreshold(SilenceAlarm::kOffThreshold);
    EXPECT_FALSE(alarm.enabled());
    EXPECT_EQ(alarm.check(200000), Change::None);
    alarm.setThreshold(-91);
    alarm.setSeconds(3601);
    EXPECT_EQ(alarm.threshold(), -50);
    EXPECT_EQ(alarm.seconds(), 30);
}

namespace {

class SilenceWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        Settings::saveString("Settings", "AudioPath", audio.path());
        Settings::saveString("Alarms", "AlarmCommand",
                             "echo \"$VELTRAX_EVENT\" >> '" + audio.filePath("events") + "'");
    }
    void TearDown() override {
        if (window && !window->Unloaded())
            window->closeWithoutAsking();
        window.reset();
        player.kill();
        player.waitForFinished(2000);
        if (!module.isEmpty())
            pactl({"unload-module", module});
        media::FilterRegistry::instance().reset();
        QLocale::setDefault(QLocale::system());
    }
    QStringList events() const { return ServerChecks::eventsIn(audio.filePath("events")); }
    bool silenceShown() const { return window->lblSilence->isVisibleTo(window.get()); }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    std::unique_ptr<frmMain> window;
    QString module;
    QProcess player;
};

} // namespace

TEST_F(SilenceWindowTest, BadStoredValuesReadAsDefaultsAndTheMenuRefusesBadAnswers) {
    for (const char* bad : {"", "abc", "-91", "1", "12.5"}) {
        Settings::saveString("Alarms", "SilenceThreshold", bad);
        Settings::saveString("Alarms", "SilenceSeconds", bad);
        frmMain shown;
        EXPECT_EQ(shown.SilenceThreshold(), -50) << bad;
        EXPECT_EQ(shown.SilenceSeconds(), bad == QString("1") ? 1 : 30) << bad;
        shown.closeWithoutAsking();
    }
    Settings::saveString("Alarms", "SilenceSeconds", "3601");
    window = std::make_unique<frmMain>();
    EXPECT_EQ(window->SilenceSeconds(), 30);
    EXPECT_EQ(window->mnuSilenceLevel->text(), "Silence Alarm Level... (-50 dBFS)");

    prompts->queueInput("5");
    window->mnuSilenceLevel->trigger();
    prompts->queueInput("0");
    window->mnuSilenceSeconds->trigger();
    prompts->queueInput("not a number");
    window->mnuSilenceSeconds->trigger();
    EXPECT_EQ(prompts->texts().count("Invalid!"), 2);
    EXPECT_EQ(window->SilenceThreshold(), -50);
    EXPECT_EQ(window->SilenceSeconds(), 30);

    prompts->queueInput("-60");
    window->mnuSilenceLevel->trigger();
    prompts->queueInput("120");
    window->mnuSilenceSeconds->trigger();
    EXPECT_EQ(Settings::getString("Alarms", "SilenceThreshold"), "-60");
    EXPECT_EQ(window->mnuSilenceSeconds->text(), "Silence Alarm Time... (120 s)");
    window->mnuSilenceOff->trigger();
    EXPECT_TRUE(window->mnuSilenceOff->isChecked());
    EXPECT_EQ(window->SilenceThreshold(), SilenceAlarm::kOffThreshold);
    EXPECT_EQ(window->mnuSilenceLevel->text(), "Silence Alarm Level... (off)");
    window->mnuSilenceOff->trigger();
    EXPECT_EQ(window->SilenceThreshold(), -50);
}

// A tone into a sink of our own; the sink muted past the set time, through a file change, and
// unmuted; muted again and recording stopped during the silence.
TEST_F(SilenceWindowTest, AMutedSinkIsToldOnceAcrossAFileChangeAndItsEndOnlyWhenSoundReturns) {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the private sound server (PULSE_SERVER); run through ctest";
    media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);
    module = pactl({"load-module", "module-null-sink", "sink_name=veltrax_quiet",
                    "sink_properties=device.description=VeltraxQuiet"});
    ASSERT_FALSE(module.isEmpty());
    player.start("gst-launch-1.0",
                 {"-q", "audiotestsrc", "is-live=true", "wave=sine", "!", "pulsesink",
                  "device=veltrax_quiet", "buffer-time=40000", "latency-time=10000"});
    constexpr int kSeconds = 2;
    Settings::saveString("Settings", "CaptureDeviceName", "Monitor of VeltraxQuiet");
    Settings::saveInt("Alarms", "SilenceSeconds", kSeconds);
    window = std::make_unique<frmMain>();
    window->Form_Activate();
    window->cmdRecord_Click();
    ASSERT_TRUE(window->AnyLoggerRecording()) << qPrintable(prompts->texts().join(" | "));
    QTest::qWait(1500);
    ASSERT_FALSE(silenceShown()) << "the tone counted as silence";
    const QString first = window->Tavrel(0)->FileName();

    pactl({"set-sink-mute", "veltrax_quiet", "1"});
    const qint64 told =
        millisecondsUntil([this] { return silenceShown(); }, kSeconds * 1000 + 3000);
    ASSERT_GE(told, 0) << "the silence was never told";
    EXPECT_GE(told, kSeconds * 1000 - 200);
    EXPECT_LE(told, kSeconds * 1000 + 1000);
    EXPECT_TRUE(window->lblSilence->text().startsWith("Silence since "));
    EXPECT_EQ(window->TrayState(), "Silence");
    EXPECT_EQ(window->TrayICon->toolTip(), window->lblSilence->text());

    window->Tavrel_IntervalReached(0); // a file change in the middle of the silence
    ASSERT_EQ(window->Tavrel(1)->RecordState(), 2);
    QTest::qWait(kSeconds * 1000 + 500);
    EXPECT_TRUE(silenceShown());

    pactl({"set-sink-mute", "veltrax_quiet", "0"});
    const qint64 ended = millisecondsUntil([this] { return !silenceShown(); }, 5000);
    ASSERT_GE(ended, 0) << "the end of the silence was never told";
    EXPECT_LE(ended, 2000);
    EXPECT_EQ(window->TrayState(), "normal");

    pactl({"set-sink-mute", "veltrax_quiet", "1"});
    ASSERT_GE(millisecondsUntil([this] { return silenceShown(); }, kSeconds * 1000 + 3000), 0);
    const QString second = window->Tavrel(1)->FileName();
    window->cmdStopRec_Click();
    EXPECT_FALSE(silenceShown());
    pactl({"set-sink-mute", "veltrax_quiet", "0"});
    QTest::qWait(1500); // sound after the stop ends nothing

    EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
    const QStringList told_ = events();
    EXPECT_EQ(told_.count("silence"), 2) << qPrintable(told_.join(' '));
    EXPECT_EQ(told_.count("silence-ended"), 1) << qPrintable(told_.join(' '));
    for (const QString& file : {first, second})
        EXPECT_NEAR(MediaCheck::probe(file).duration, MediaCheck::decodedSeconds(file), 0.5)
            << qPrintable(file);
}
