// The main window's life through the prompt seam: first run, an earlier run that did not close,
// initialisation failures, closing with and without the question.
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QComboBox>
#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace media;
using platform::PromptAnswer;
using platform::RecordingPrompts;
using platform::Settings;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
        FilterRegistry::instance().reset();
    }
    void TearDown() override {
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        FilterRegistry::instance().reset();
    }

    // The keys of a section of the store, sorted.
    QStringList keysOf(const QString& section) const {
        QSettings store(sandbox.storeFile(), QSettings::IniFormat);
        store.beginGroup(section);
        QStringList keys = store.childKeys();
        keys.sort();
        return keys;
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
};

} // namespace

TEST_F(MainWindowTest, FirstRunStoresTheDefaultsAndAsksNothing) {
    frmMain window;
    EXPECT_EQ(window.windowTitle(), "Quorvia Veltrax");
    EXPECT_FALSE(window.Loading());
    // What the load wrote (the profile list's selection stores the profile too).
    EXPECT_EQ(Settings::getString("Settings", "AutoStart"), "False");
    EXPECT_EQ(Settings::getString("Settings", "AutoDeleteDays"), "90");
    EXPECT_EQ(Settings::getString("Settings", "MaxClients"), "5");
    EXPECT_EQ(Settings::getString("Settings", "PortNumber"), "8080");
    EXPECT_EQ(Settings::getString("Settings", "UseStreaming"), "False");
    EXPECT_GT(Settings::getDate("Settings", "WhenLastStarted", 0), 40000.0);
    EXPECT_FALSE(Settings::contains("Settings", "AudioPath"));
    EXPECT_FALSE(Settings::contains("Settings", "Interval"));

    window.Form_Activate();
    EXPECT_TRUE(window.Activated());
    EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
    EXPECT_EQ(Settings::getString("Settings", "AudioPath"), sandbox.home() + "/Music/LoggedAudio/");
    EXPECT_TRUE(QFileInfo(sandbox.home() + "/Music/LoggedAudio").isDir());
    EXPECT_EQ(Settings::getString("Settings", "Interval"), "0");
    EXPECT_EQ(window.cboProFile->currentText(), "Stereo Audio 96 Bitrate");
    EXPECT_EQ(window.cboFormat->currentText(), "Windows Media Audio (WMA)");
    EXPECT_EQ(window.cboRecDevice->currentText(), DeviceEnumerator::kTestTone);
    EXPECT_EQ(window.Tavrel(1)->Profile(), 6);
    EXPECT_EQ(keysOf("Settings"),
              (QStringList{"AudioFormat", "AudioPath", "AutoDeleteDays", "AutoStart",
                           "CaptureDeviceName", "Interval", "MaxClients", "PortNumber", "Profile",
                           "UseStreaming", "WhenLastStarted"}));
    EXPECT_TRUE(keysOf("MPEGSettings").isEmpty());
}

TEST_F(MainWindowTest, RunThatWasNeverUnloadedIsReportedOnceAtTheNextStart) {
    {
        frmMain killed; // loaded, then gone without unloading: as if the process had died
        killed.Form_Activate();
    }
    EXPECT_EQ(prompts->count(), 0);
    {
        frmMain next;
        ASSERT_EQ(prompts->count(), 1);
        EXPECT_EQ(prompts->last().text, "Veltrax did not close properly.\r\n"
                                        "Some of your encoder settings have been reset\r\n"
                                        "in order to make sure the program can start.");
        EXPECT_EQ(prompts->last().title, "Abnormal Program Termination Detected.");
        EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Information);
        EXPECT_EQ(Settings::getString("MPEGSettings", "VBR"), "True");
        EXPECT_EQ(Settings::getString("MPEGSettings", "SampleRate"), "44100");
        next.Form_Activate();
        next.closeWithoutAsking();
        EXPECT_TRUE(next.Unloaded());
    }
    prompts->clear();
    frmMain after;
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(MainWindowTest, NoCaptureDeviceUnloadsTheWindow) {
    DeviceEnumerator::overrideCaptureDevices(QList<FilterItem>{});
    frmMain window;
    QSignalSpy unloaded(&window, &frmMain::unloaded);
    window.Form_Activate();
    EXPECT_EQ(prompts->texts(), QStringList{"No Audio Input devices found."});
    EXPECT_EQ(prompts->last().title, "Veltrax");
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Critical);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_TRUE(window.Unloaded());
}

TEST_F(MainWindowTest, MissingWriterOffersTheDownloadAndUnloads) {
    FilterRegistry::instance().unregisterFilter("WM ASF Writer");
    prompts->queueAnswer(PromptAnswer::Yes);
    frmMain window;
    window.Form_Activate();
    ASSERT_GE(prompts->count(), 2);
    const auto box = prompts->records().at(prompts->count() - 2);
    EXPECT_EQ(box.text, "Please install Windows Media Encoder to use this logger.");
    EXPECT_EQ(box.title, "Press Yes to download now.");
    EXPECT_EQ(box.buttons, platform::PromptButtons::YesNo);
    EXPECT_EQ(prompts->last().kind, RecordingPrompts::Kind::OpenExternal);
    EXPECT_TRUE(window.Unloaded());
}

TEST_F(MainWindowTest, ClosingAsksFirstButExitDoesNot) {
    frmMain window;
    window.Form_Activate();
    prompts->queueAnswer(PromptAnswer::No);
    EXPECT_FALSE(window.close()); // the window's own close command
    EXPECT_FALSE(window.Unloaded());
    EXPECT_EQ(prompts->last().text, "Really Close Veltrax altogether?");
    EXPECT_EQ(prompts->last().title, "Really Close?");
    EXPECT_EQ(prompts->last().buttons, platform::PromptButtons::YesNo);
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Question);

    const int asked = prompts->count();
    window.mnuExit->trigger();
    EXPECT_EQ(prompts->count(), asked);
    EXPECT_TRUE(window.Unloaded());
    EXPECT_GE(Settings::getDate("Settings", "WhenLastClosed", 0),
              Settings::getDate("Settings", "WhenLastStarted", 0));
}

TEST_F(MainWindowTest, AStoredProfileThatNamesNoneReadsAsTheDefault) {
    for (const QString stored : {"0", "8", "-3"}) {
        Settings::saveString("Settings", "Profile", stored);
        frmMain window;
        window.Form_Activate();
        EXPECT_EQ(window.Profile(), 6) << qPrintable(stored);
        EXPECT_EQ(window.cboProFile->currentText(), "Stereo Audio 96 Bitrate");
        EXPECT_EQ(window.Tavrel(1)->Profile(), 6);
        window.closeWithoutAsking();
    }
}

TEST_F(MainWindowTest, LaterActivationsRunNothingAgain) {
    frmMain window;
    window.Form_Activate();
    Settings::saveString("Settings", "Interval", "3");
    window.Form_Activate();
    EXPECT_EQ(window.Tavrel(0)->Interval(), 0);
}

TEST_F(MainWindowTest, StreamingSettingsReachBothLoggers) {
    frmMain window;
    window.Form_Activate();
    window.setPortNumber(9000);
    window.setMaxClients(7);
    window.setUseStreaming(true);
    EXPECT_EQ(window.Tavrel(1)->PortNumber(), 9000);
    EXPECT_EQ(window.Tavrel(1)->MaxClients(), 7);
    EXPECT_TRUE(window.mnuStreamUse->isChecked());
    EXPECT_EQ(prompts->count(), 0); // nothing records, so no restart notice
}
