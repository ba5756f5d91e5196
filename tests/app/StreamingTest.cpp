// The live stream from the window: on while recording, handed to the other logger at every
// file change, heard again by a listener that reconnects.
#include "MediaCheck.h"
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace media;
using platform::Clock;
using platform::Settings;

namespace {

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
}

int portForThisRun() {
    return 20000 + static_cast<int>(QCoreApplication::applicationPid() % 20000);
}

} // namespace

TEST(Streaming, StreamFollowsTheRecordingAcrossFileChanges) {
    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
    const int port = portForThisRun();
    Settings::saveString("Settings", "AudioPath", audio.path());
    Settings::saveBool("Settings", "UseStreaming", true);
    Settings::saveInt("Settings", "PortNumber", port);
    Clock::setNow(at(10, 59, 30));
    {
        frmMain window;
        window.Form_Activate();
        for (int i = 0; i < 2; ++i)
            window.Tavrel(i)->Timer1()->stop();
        const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(port);

        window.cmdRecord_Click();
        ASSERT_EQ(window.Tavrel(0)->RecordState(), 2);
        EXPECT_TRUE(window.Tavrel(0)->Streaming());
        window.UpdateDiskSpace();
        EXPECT_EQ(window.lblStreaming->text(), QStringLiteral("Streaming on Port %1").arg(port));
        EXPECT_TRUE(window.lblStreaming->isVisibleTo(&window));
        QTest::qWait(1000);
        EXPECT_EQ(MediaCheck::probe(url).codec, "wmav2");

        for (const QDateTime& change : {at(11, 0, 1), at(12, 0, 1)}) {
            Clock::setNow(change.addSecs(-30));
            window.Tavrel(0)->Timer1_Timer();
            window.Tavrel(1)->Timer1_Timer();
            Clock::setNow(change);
            window.Tavrel(0)->Timer1_Timer();
            window.Tavrel(1)->Timer1_Timer();
            Tavlo* active = nullptr;
            Tavlo* next = nullptr;
            window.GetLoggers(active, next);
            ASSERT_TRUE(active);
            EXPECT_TRUE(active->Streaming()) << qPrintable(change.toString());
            QTest::qWait(1000);
            EXPECT_EQ(MediaCheck::probe(url).codec, "wmav2") << qPrintable(change.toString());
        }
        window.StopLoggers();
        EXPECT_FALSE(window.lblStreaming->isVisibleTo(&window));
        EXPECT_EQ(prompts->count(), 0) << qPrintable(prompts->texts().join(" | "));
        window.closeWithoutAsking();
    }
    Clock::useSystemClock();
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
}
