// Nobody at the screen: notices never hold recording, questions still wait for a person, and a
// signal closes the window the orderly way, never under a recording being built.
#include "MediaCheck.h"
#include "SettingsSandbox.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

using namespace media;
using platform::Clock;
using platform::PromptAnswer;
using platform::Prompts;
using platform::Settings;

namespace {

QDateTime at(int hour, int minute, int second) {
    return QDateTime(QDate(2026, 12, 7), QTime(hour, minute, second));
}

class UnattendedTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
        Settings::saveString("Settings", "AudioPath", audio.path());
        Settings::saveString("Alarms", "AlarmCommand",
                             "echo \"$VELTRAX_EVENT\" >> '" + audio.filePath("events") + "'");
        Clock::setNow(at(10, 59, 30));
    }
    void TearDown() override {
        if (window && !window->Unloaded())
            window->closeWithoutAsking();
        window.reset();
        Clock::useSystemClock();
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        FilterRegistry::instance().reset();
        QLocale::setDefault(QLocale::system());
    }

    void openWindow() {
        window = std::make_unique<frmMain>();
        window->Form_Activate();
        for (int i = 0; i < 2; ++i)
            window->Tavrel(i)->Timer1()->stop(); // ticks come from the test
    }
    void tickBothAt(const QDateTime& moment) {
        Clock::setNow(moment);
        window->Tavrel(0)->Timer1_Timer();
        window->Tavrel(1)->Timer1_Timer();
    }
    // The events the alarm command was run with so far, once `wanted` is among them (bounded).
    QStringList eventsOnceSeen(const QString& wanted) {
        QStringList events;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            QFile file(audio.filePath("events"));
            if (file.open(QIODevice::ReadOnly))
                events = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            if (events.contains(wanted))
                break;
            QTest::qWait(50);
        }
        return events;
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir audio;
    std::unique_ptr<frmMain> window;
};

} // namespace

TEST_F(UnattendedTest, AfterACrashAutoStartRecordsWhileTheNoticeIsStillOpen) {
    Settings::saveBool("Settings", "AutoStart", true);
    Settings::saveDate("Settings", "WhenLastStarted", 46000.5);
    Settings::saveDate("Settings", "WhenLastClosed", 46000.25);
    Settings::saveBool("MPEGSettings", "VBR", false);
    prompts->holdNotices(true); // nobody reads it

    openWindow();
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 2);
    ASSERT_EQ(prompts->openNotices(), 1);
    EXPECT_EQ(prompts->records().first().title, "Abnormal Program Termination Detected.");
    EXPECT_FALSE(prompts->records().first().waited);
    EXPECT_EQ(Settings::getString("MPEGSettings", "VBR"), "True"); // reset all the same

    // Raised again while it is open, it is not shown twice; once dismissed, it can come again.
    const auto& notice = prompts->records().first();
    Prompts::instance().messageBox(notice.text, notice.title, notice.buttons, notice.icon);
    EXPECT_EQ(prompts->count(), 1);
    prompts->dismissNotices();
    EXPECT_EQ(prompts->openNotices(), 0);
    Prompts::instance().messageBox(notice.text, notice.title, notice.buttons, notice.icon);
    EXPECT_EQ(prompts->count(), 2);

    const QStringList events = eventsOnceSeen("recording-started");
    EXPECT_EQ(events.mid(0, 2), (QStringList{"abnormal-termination", "recording-started"}));
}

TEST_F(UnattendedTest, AFailedFileChangeFallsBackWithoutAnAnswer) {
    openWindow();
    window->cmdRecord_Click();
    tickBothAt(at(10, 59, 31));
    const QString first = window->Tavrel(0)->FileName();
    // The standby cannot build (its filter list lacks the grabber): its notice stays unread.
    FilterRegistry::instance().unregisterFilter("SampleGrabber");
    window->Tavrel(1)->Initialise();
    FilterRegistry::instance().reset();
    prompts->holdNotices(true);

    tickBothAt(at(11, 0, 1));
    EXPECT_EQ(prompts->openNotices(), 1);
    EXPECT_EQ(prompts->texts(), QStringList{"SampleGrabber"});
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 2);
    EXPECT_NE(window->Tavrel(0)->FileName(), first);
    EXPECT_TRUE(eventsOnceSeen("file-changed").contains("file-changed"));
}

TEST_F(UnattendedTest, QuestionsWaitAndASignalWhileOneIsAskedEndsItAndCloses) {
    openWindow();
    window->cmdRecord_Click();
    QTest::qWait(1200);
    const QString file = window->Tavrel(0)->FileName();

    bool recordingWhileAsked = false;
    prompts->whileAsking = [&](const platform::RecordingPrompts::Record&) {
        recordingWhileAsked = window->AnyLoggerRecording() && !window->Unloaded();
    };
    prompts->queueAnswer(PromptAnswer::No);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(prompts->last().waited);
    EXPECT_TRUE(recordingWhileAsked);
    EXPECT_TRUE(window->AnyLoggerRecording());

    // Asked again, and a signal arrives before anyone answers: the box goes and the close goes on.
    prompts->whileAsking = [&](const platform::RecordingPrompts::Record&) {
        window->terminateRequested(SIGTERM);
    };
    prompts->queueAnswer(PromptAnswer::No);
    window->close();
    EXPECT_TRUE(window->Unloaded());
    EXPECT_EQ(window->Tavrel(0)->RecordState(), 0);
    EXPECT_GE(Settings::getDate("Settings", "WhenLastClosed", 0),
              Settings::getDate("Settings", "WhenLastStarted", 0));
    const ProbeResult probe = MediaCheck::probe(file);
    EXPECT_NEAR(probe.duration, MediaCheck::decodedSeconds(file), 0.5);
    EXPECT_TRUE(eventsOnceSeen("recording-stopped").contains("recording-stopped"));
}

TEST_F(UnattendedTest, ASignalDuringABuildClosesOnlyOnceTheBuildHasReturned) {
    openWindow();
    window->cmdRecord_Click();
    tickBothAt(at(10, 59, 31));
    QTest::qWait(1200);
    const QString first = window->Tavrel(0)->FileName();
    // A real SIGTERM, raised as the standby starts building: it is read while the build runs
    // the event loop.
    bool raised = false;
    QObject::connect(window->Tavrel(1), &Tavlo::PlayStateChanged, [&](int, int newState) {
        if (newState == 1 && !raised) {
            raised = true;
            std::raise(SIGTERM);
        }
    });

    tickBothAt(at(11, 0, 1));
    ASSERT_TRUE(raised);
    EXPECT_FALSE(window->Unloaded());
    EXPECT_EQ(window->Tavrel(1)->RecordState(), 2); // the build finished unharmed
    const QString second = window->Tavrel(1)->FileName();

    QDeadlineTimer deadline(3000);
    while (!window->Unloaded() && !deadline.hasExpired())
        QTest::qWait(20);
    ASSERT_TRUE(window->Unloaded());
    EXPECT_EQ(window->Tavrel(1)->RecordState(), 0);
    for (const QString& file : {first, second}) {
        SCOPED_TRACE(qPrintable(file));
        EXPECT_NEAR(MediaCheck::probe(file).duration, MediaCheck::decodedSeconds(file), 0.5);
    }
}

// Two file changes, then a real SIGTERM: every file of the chain says in its header how long it
// is, for both formats.
TEST_F(UnattendedTest, EveryFileOfAChainIsFinalisedWhenASignalEndsIt) {
    for (const int format : {0, 1}) {
        SCOPED_TRACE(format == 0 ? "WMA" : "MP3");
        Settings::saveInt("Settings", "AudioFormat", format);
        Clock::setNow(at(10, 59, 30));
        openWindow();
        window->cmdRecord_Click();
        tickBothAt(at(10, 59, 31));
        QStringList files{window->Tavrel(0)->FileName()};
        for (const QDateTime& change : {at(11, 0, 1), at(12, 0, 1)}) {
            QTest::qWait(1500);
            tickBothAt(change);
            Tavlo* active =
                window->Tavrel(0)->RecordState() == 2 ? window->Tavrel(0) : window->Tavrel(1);
            ASSERT_EQ(active->RecordState(), 2);
            files << active->FileName();
        }
        QTest::qWait(1500);
        std::raise(SIGTERM);
        QDeadlineTimer deadline(3000);
        while (!window->Unloaded() && !deadline.hasExpired())
            QTest::qWait(20);
        ASSERT_TRUE(window->Unloaded());
        files.removeDuplicates();
        ASSERT_EQ(files.size(), 3);
        for (const QString& file : files) {
            SCOPED_TRACE(qPrintable(file));
            const double decoded = MediaCheck::decodedSeconds(file);
            EXPECT_GT(decoded, 1.0);
            EXPECT_NEAR(MediaCheck::probe(file).duration, decoded, 0.5);
        }
        window.reset();
    }
}
