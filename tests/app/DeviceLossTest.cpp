// A capture device that vanishes while recording (its module unloaded, as when an interface is
// pulled; the sound server killed) is told at once, and recording resumes in a new file when the
// device is back. Runs on the private sound server.
#include "MediaCheck.h"
#include "ServerChecks.h"
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QComboBox>
#include <QDeadlineTimer>
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
using ServerChecks::millisecondsUntil;

namespace {

// The private server's folder, as the test run's PULSE_SERVER names its socket.
QString serverFolder() {
    QString socket = qEnvironmentVariable("PULSE_SERVER");
    socket.remove(0, socket.indexOf(':') + 1);
    return socket.chopped(QStringLiteral("/native").size());
}

bool harness(const QString& action) {
    return QProcess::execute(QStringLiteral(VELTRAX_SOURCE_DIR "/scripts/pulse-harness"),
                             {action, serverFolder()}) == 0;
}

class DeviceLossTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            GTEST_SKIP() << "needs the private sound server (PULSE_SERVER); run through ctest";
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);
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

    // A null sink of our own, with a player in it: an idle null sink's monitor delivers audio
    // in long steps, as no sound card does.
    QString loadOwnDevice() {
        const QString loaded = pactl({"load-module", "module-null-sink", "sink_name=veltrax_lost",
                                      "sink_properties=device.description=VeltraxLost"});
        player.kill();
        player.waitForFinished(2000);
        player.start("gst-launch-1.0",
                     {"-q", "audiotestsrc", "is-live=true", "wave=sine", "!", "pulsesink",
                      "device=veltrax_lost", "buffer-time=40000", "latency-time=10000"});
        return loaded;
    }
    void startRecordingFrom(const QString& device) {
        Settings::saveString("Settings", "CaptureDeviceName", device);
        window = std::make_unique<frmMain>();
        window->Form_Activate();
        window->cmdRecord_Click();
        ASSERT_TRUE(window->AnyLoggerRecording()) << qPrintable(prompts->texts().join(" | "));
        QTest::qWait(1500);
    }
    bool deviceLostShown() const {
        return window->lblDeviceStatus->isVisibleTo(window.get()) && !window->AnyLoggerRecording();
    }
    QStringList events() const { return ServerChecks::eventsIn(audio.filePath("events")); }
    QString recording() const {
        for (int i = 0; i < 2; ++i) {
            if (window->Tavrel(i)->RecordState() == 2)
                return window->Tavrel(i)->FileName();
        }
        return {};
    }

    // Takes the device away with `lose`, checks what is told, then brings it back with `restore`
    // and waits for recording to resume in a new file.
    void loseAndRestore(const QString& device, const std::function<void()>& lose,
                        const std::function<void()>& restore) {
        startRecordingFrom(device);
        const QString first = recording();
        lose();
        const qint64 told = millisecondsUntil([this] { return deviceLostShown(); }, 4000);
        ASSERT_GE(told, 0) << "the loss was never shown";
        EXPECT_LT(told, 2000);
        EXPECT_EQ(window->lblDeviceStatus->text(), "Capture device lost: " + device);
        EXPECT_EQ(window->TrayICon->toolTip(), "Capture device lost: " + device);
        EXPECT_NEAR(MediaCheck::probe(first).duration, MediaCheck::decodedSeconds(first), 0.5);

        QTest::qWait(2500); // retried at least once while the device is away: nothing asked
        EXPECT_FALSE(window->AnyLoggerRecording());
        restore();
        const qint64 resumed =
            millisecondsUntil([this] { return window->AnyLoggerRecording(); }, 8000);
        ASSERT_GE(resumed, 0) << qPrintable(prompts->texts().join(" | "));
        EXPECT_LT(resumed, 5000);
        EXPECT_NE(recording(), first);
        EXPECT_FALSE(window->lblDeviceStatus->isVisibleTo(window.get()));
        QTest::qWait(1200);
        const QString second = recording();
        window->StopLoggers();
        EXPECT_NEAR(MediaCheck::probe(second).duration, MediaCheck::decodedSeconds(second), 0.5);
        EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
        QTest::qWait(300); // the alarm commands run on their own
        const QStringList told_ = events();
        EXPECT_TRUE(told_.contains("device-lost")) << qPrintable(told_.join(' '));
        EXPECT_TRUE(told_.contains("device-returned")) << qPrintable(told_.join(' '));
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    std::unique_ptr<frmMain> window;
    QString module;
    QProcess player;
};

} // namespace

TEST_F(DeviceLossTest, AnInterfaceUnpluggedAndPluggedBackIn) {
    module = loadOwnDevice();
    ASSERT_FALSE(module.isEmpty());
    loseAndRestore(
        "Monitor of VeltraxLost",
        [this] {
            pactl({"unload-module", std::exchange(module, {})});
        },
        [this] { module = loadOwnDevice(); });
}

TEST_F(DeviceLossTest, ASoundServerKilledAndStartedAgain) {
    loseAndRestore(
        "Monitor of VeltraxTest", [] { ASSERT_TRUE(harness("stop")); },
        [] { ASSERT_TRUE(harness("start")); });
}

// Devices plugged in or out while the program runs join and leave the list; while a file records
// the list follows too, without a word and without touching the device in use.
TEST_F(DeviceLossTest, DevicesPluggedInAndOutWhileRunningFollowTheList) {
    Settings::saveString("Settings", "CaptureDeviceName", "Monitor of VeltraxTest");
    window = std::make_unique<frmMain>();
    window->Form_Activate();
    const auto listed = [this] {
        return window->cboRecDevice->findText("Monitor of VeltraxLost") >= 0;
    };
    ASSERT_FALSE(listed());
    for (const bool recording : {false, true}) {
        SCOPED_TRACE(recording ? "while recording" : "while stopped");
        if (recording) {
            window->cmdRecord_Click();
            ASSERT_TRUE(window->AnyLoggerRecording());
        }
        module = loadOwnDevice();
        ASSERT_FALSE(module.isEmpty());
        const qint64 joined = millisecondsUntil(listed, 5000);
        EXPECT_GE(joined, 0) << "a device plugged in never joined the list";
        EXPECT_LT(joined, 2000);
        EXPECT_EQ(window->cboRecDevice->currentText(), "Monitor of VeltraxTest");
        pactl({"unload-module", std::exchange(module, {})});
        const qint64 left = millisecondsUntil([&] { return !listed(); }, 5000);
        EXPECT_GE(left, 0) << "a device plugged out stayed in the list";
        EXPECT_LT(left, 2000);
        EXPECT_EQ(window->cboRecDevice->currentText(), "Monitor of VeltraxTest");
        EXPECT_EQ(window->AnyLoggerRecording(), recording);
    }
    window->StopLoggers();
    EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
}
