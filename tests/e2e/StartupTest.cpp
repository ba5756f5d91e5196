// The real program: a first start on an empty store, a close by SIGTERM, and a run killed
// outright, which the next start reports once.
#include "ProgramProcess.h"
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "media/DeviceEnumerator.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QSettings>
#include <csignal>
#include <gtest/gtest.h>

using platform::Settings;

namespace {

QStringList keysOf(const QString& file, const QString& section) {
    QSettings store(file, QSettings::IniFormat);
    store.beginGroup(section);
    QStringList keys = store.childKeys();
    keys.sort();
    return keys;
}

} // namespace

TEST(Startup, FirstRunThenSigtermThenKillIsReportedOnceAtTheNextStart) {
    SettingsSandbox sandbox;
    {
        ProgramProcess program(sandbox.configFolder(), sandbox.home());
        ASSERT_TRUE(program.startAndWaitUntilActive()) << qPrintable(program.output());
        program.signal(SIGTERM);
        ASSERT_TRUE(program.waitForExit());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
    }
    const QString store = sandbox.storeFile();
    EXPECT_EQ(keysOf(store, "Settings"),
              (QStringList{"AudioFormat", "AudioPath", "AutoDeleteDays", "AutoStart",
                           "CaptureDeviceName", "Interval", "MaxClients", "PortNumber", "Profile",
                           "UseStreaming", "WhenLastClosed", "WhenLastStarted"}));
    EXPECT_EQ(Settings::getString("Settings", "AutoDeleteDays"), "90");
    EXPECT_EQ(Settings::getString("Settings", "Interval"), "0");
    const double started = Settings::getDate("Settings", "WhenLastStarted", 0);
    const double closed = Settings::getDate("Settings", "WhenLastClosed", 0);
    EXPECT_GT(started, 40000.0);
    EXPECT_GE(closed, started);

    {
        ProgramProcess program(sandbox.configFolder(), sandbox.home());
        ASSERT_TRUE(program.startAndWaitUntilActive()) << qPrintable(program.output());
        program.signal(SIGKILL);
        ASSERT_TRUE(program.waitForExit());
        EXPECT_EQ(program.exitStatus(), QProcess::CrashExit);
    }
    EXPECT_LT(Settings::getDate("Settings", "WhenLastClosed", 0),
              Settings::getDate("Settings", "WhenLastStarted", 0));

    media::DeviceEnumerator::overrideCaptureDevices(media::DeviceEnumerator::testSources());
    platform::ScopedPrompts prompts;
    {
        frmMain next;
        ASSERT_EQ(prompts->count(), 1);
        EXPECT_EQ(prompts->last().title, "Abnormal Program Termination Detected.");
        EXPECT_EQ(Settings::getString("MPEGSettings", "VBR"), "True");
        next.Form_Activate();
        next.closeWithoutAsking();
    }
    prompts->clear();
    {
        frmMain after;
        after.Form_Activate();
        EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
        after.closeWithoutAsking();
    }
    media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);
}
