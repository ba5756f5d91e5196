// The recording engine through the prompt seam: devices, builds and their messages, record
// states and the events that announce them.
#include "MediaCheck.h"
#include "SettingsSandbox.h"

#include "engine/clsTavrel.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace media;
using platform::RecordingPrompts;

namespace {

using StateChanges = QList<QPair<int, int>>;

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
        FilterRegistry::instance().reset();
    }
    void TearDown() override {
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        FilterRegistry::instance().reset();
    }

    // Connects to the engine's state and peak events and records them in order.
    void watch(clsTavrel& engine) {
        QObject::connect(&engine, &clsTavrel::PlayStateChanged, [this](int from, int to) {
            changes.append({from, to});
            events.append(QStringLiteral("state %1>%2").arg(from).arg(to));
        });
        QObject::connect(&engine, &clsTavrel::AudioPeaks, [this](int left, int right) {
            events.append(QStringLiteral("peaks %1,%2").arg(left).arg(right));
        });
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir dir;
    StateChanges changes;
    QStringList events;
};

} // namespace

TEST_F(EngineTest, InitialiseReportsMissingDevicesWriterAndDuplicateNames) {
    clsTavrel engine;
    EXPECT_EQ(engine.Initialise(), 0);
    EXPECT_EQ(engine.colCapture().count(), 3);

    DeviceEnumerator::overrideCaptureDevices(QList<FilterItem>{});
    EXPECT_EQ(engine.Initialise(), 1);

    DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
    FilterRegistry::instance().unregisterFilter("WM ASF Writer");
    EXPECT_EQ(engine.Initialise(), 2);

    QList<FilterItem> twins = DeviceEnumerator::testSources();
    twins.append(twins.first());
    DeviceEnumerator::overrideCaptureDevices(twins);
    EXPECT_EQ(engine.Initialise(), 457);
    EXPECT_EQ(engine.colCapture().count(), 3); // the devices added before the refusal stay
}

TEST_F(EngineTest, UnknownDeviceNameFallsBackToTheFirstDevice) {
    clsTavrel engine;
    engine.Initialise();
    EXPECT_EQ(engine.CaptureDeviceName(), DeviceEnumerator::kTestTone); // empty store: first
    EXPECT_FALSE(platform::Settings::contains("Settings", "CaptureDeviceName"));

    engine.setCaptureDeviceName("veltrax test silence");
    EXPECT_EQ(platform::Settings::getString("Settings", "CaptureDeviceName"),
              "veltrax test silence");

    engine.setCaptureDeviceName("Nowhere Microphone");
    ASSERT_EQ(prompts->count(), 1);
    EXPECT_EQ(prompts->last().text, "Capture Device Nowhere Microphone does not exist, using "
                                    "first device");
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::None);
    EXPECT_EQ(engine.CaptureDeviceName(), DeviceEnumerator::kTestTone);
}

TEST_F(EngineTest, WmaBuildAnnouncesBuildingThenReadyAndKeepsTheFileName) {
    clsTavrel engine;
    watch(engine);
    engine.Initialise();
    engine.CaptureDeviceName();
    QSignalSpy quillon(&engine, &clsTavrel::GetQuillon);
    const QString path = dir.filePath("built.wma");

    ASSERT_TRUE(engine.OutputFileName(path)) << qPrintable(prompts->texts().join(" | "));
    EXPECT_EQ(changes, (StateChanges{{0, 1}, {1, 3}}));
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateReady);
    EXPECT_EQ(engine.FileName(), path);
    EXPECT_EQ(quillon.count(), 1);
    EXPECT_EQ(prompts->count(), 0);
    ASSERT_TRUE(engine.graph());
    EXPECT_TRUE(engine.graph()->findFilterByName("SampleGrabber"));
}

TEST_F(EngineTest, RecordingWritesThePathAndStoppingZeroesTheMeters) {
    clsTavrel engine;
    watch(engine);
    engine.Initialise();
    engine.CaptureDeviceName();
    const QString path = dir.filePath("recorded.wma");
    ASSERT_TRUE(engine.OutputFileName(path));
    QSignalSpy peaks(&engine, &clsTavrel::AudioPeaks);
    ASSERT_TRUE(engine.Record());
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateRecording);
    QTest::qWait(2000);
    EXPECT_GT(peaks.count(), 5); // the level arrives while recording

    events.clear();
    EXPECT_TRUE(engine.StopRecording());
    EXPECT_EQ(events, (QStringList{"state 2>0", "peaks 0,0"}));
    EXPECT_TRUE(engine.OutputFileName({}) == false);
    EXPECT_EQ(engine.FileName(), QString());
    const ProbeResult probe = MediaCheck::probe(path);
    EXPECT_EQ(probe.codec, "wmav2");
    EXPECT_NEAR(probe.duration, 2.0, 0.4);
}

TEST_F(EngineTest, StoredDeviceThatIsGoneEndsTheBuildWithoutAFile) {
    platform::Settings::saveString("Settings", "CaptureDeviceName", "Unplugged Microphone");
    clsTavrel engine;
    watch(engine);
    engine.Initialise();
    EXPECT_EQ(engine.CaptureDeviceName(), "Unplugged Microphone");
    EXPECT_FALSE(engine.OutputFileName(dir.filePath("never.wma")));
    EXPECT_EQ(prompts->texts(), QStringList{"Capture Device not Found"});
    EXPECT_EQ(engine.FileName(), QString());
    EXPECT_EQ(changes, (StateChanges{{0, 1}})); // announced, then nothing more
}

TEST_F(EngineTest, RecordAndStopWithoutAGraphChangeNothing) {
    clsTavrel engine;
    watch(engine);
    EXPECT_FALSE(engine.Record());
    EXPECT_EQ(engine.RecordState(), 0);
    EXPECT_TRUE(engine.StopRecording());
    EXPECT_TRUE(events.isEmpty());
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(EngineTest, WriterWithoutAnAudioPinEndsTheBuild) {
    FilterRegistry::instance().registerFilter("WM ASF Writer", [] {
        return Filter::fromDescription("audioconvert ! fakesink", "Input 01", {});
    });
    clsTavrel engine;
    engine.Initialise();
    engine.CaptureDeviceName();
    EXPECT_FALSE(engine.OutputFileName(dir.filePath("nopin.wma")));
    EXPECT_EQ(prompts->texts(), QStringList{"No ASFInPin!"});
}

TEST_F(EngineTest, MissingGrabberAndWriterAreReportedByName) {
    FilterRegistry::instance().unregisterFilter("SampleGrabber");
    clsTavrel withoutGrabber;
    withoutGrabber.Initialise();
    withoutGrabber.CaptureDeviceName();
    EXPECT_FALSE(withoutGrabber.OutputFileName(dir.filePath("a.wma")));
    EXPECT_EQ(prompts->texts(), QStringList{"SampleGrabber"});

    FilterRegistry::instance().reset();
    FilterRegistry::instance().unregisterFilter("WM ASF Writer");
    clsTavrel withoutWriter;
    EXPECT_EQ(withoutWriter.Initialise(), 2);
    withoutWriter.CaptureDeviceName();
    EXPECT_FALSE(withoutWriter.OutputFileName(dir.filePath("b.wma")));
    EXPECT_EQ(prompts->texts(), (QStringList{"SampleGrabber", "ASF Writer not found!"}));
}

TEST_F(EngineTest, TrialRunThatFailsShowsTheDriverMessageAndStaysReady) {
    clsTavrel engine;
    watch(engine);
    engine.Initialise();
    engine.CaptureDeviceName();
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_FALSE(engine.OutputFileName(dir.filePath("file/cannot.wma")));
    ASSERT_EQ(prompts->count(), 1);
    EXPECT_TRUE(prompts->last().text.startsWith("The Recorder will not run.\r\n"));
    EXPECT_EQ(prompts->last().title, "Try Updating DirectX and your drivers.");
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Critical);
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateReady);
    EXPECT_EQ(engine.FileName(), QString());
}

TEST_F(EngineTest, ProfileChangeWhileReadyRebuildsWithoutRecording) {
    clsTavrel engine;
    watch(engine);
    engine.Initialise();
    engine.CaptureDeviceName();
    const QString path = dir.filePath("profile.wma");
    ASSERT_TRUE(engine.OutputFileName(path));
    changes.clear();
    engine.setProfile(3);
    EXPECT_EQ(engine.Profile(), 3);
    EXPECT_EQ(prompts->texts(), QStringList{"This Change will reset the recording!"});
    EXPECT_EQ(changes, (StateChanges{{3, 0}, {0, 1}, {1, 3}}));
    EXPECT_EQ(engine.FileName(), path);
}

TEST_F(EngineTest, ProfileChangeWhileRecordingKeepsTheFileAndGoesOnInANewOne) {
    clsTavrel engine;
    engine.Initialise();
    engine.CaptureDeviceName();
    const QString first = dir.filePath("profile.wma");
    ASSERT_TRUE(engine.OutputFileName(first));
    ASSERT_TRUE(engine.Record());
    QTest::qWait(2000);

    engine.setProfile(3);
    EXPECT_EQ(prompts->texts(), (QStringList{"This Change will reset the recording!",
                                             "The recording restarted successfully at the new "
                                             "bitrate"}));
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateRecording);
    const QString second = dir.filePath("profile(1).wma");
    EXPECT_EQ(engine.FileName(), second);
    QTest::qWait(1000);
    engine.setProfile(4); // a name that has a number already counts on from it
    const QString third = dir.filePath("profile(2).wma");
    EXPECT_EQ(engine.FileName(), third);
    QTest::qWait(1000);
    engine.StopRecording();
    engine.OutputFileName({});

    // The first file still holds what was recorded before the change.
    EXPECT_NEAR(MediaCheck::decodedSeconds(first), 2.0, 0.5);
    EXPECT_NEAR(MediaCheck::decodedSeconds(second), 1.0, 0.5);
    EXPECT_NEAR(MediaCheck::decodedSeconds(third), 1.0, 0.5);
}

TEST_F(EngineTest, AStoredFormatThatNamesNoneRecordsWma) {
    clsTavrel engine;
    engine.Initialise();
    engine.CaptureDeviceName();
    QSignalSpy quillon(&engine, &clsTavrel::GetQuillon);
    for (const QString stored : {"2", "-1", "mp3"}) {
        platform::Settings::saveString("Settings", "AudioFormat", stored);
        EXPECT_EQ(engine.AudioFormat(), 0) << qPrintable(stored);
    }
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("format.wma")));
    EXPECT_EQ(quillon.count(), 1); // the WMA build
    EXPECT_TRUE(engine.graph()->findFilterByName("WM ASF Writer"));
    platform::Settings::saveString("Settings", "AudioFormat", "1");
    EXPECT_EQ(engine.AudioFormat(), 1);
}

TEST_F(EngineTest, PropertyPageOfAFilterNotInTheGraphIsReported) {
    clsTavrel engine;
    engine.Initialise();
    engine.CaptureDeviceName();
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("page.wma")));
    EXPECT_TRUE(engine.ShowPropertyPage(nullptr, "Nothing Here"));
    EXPECT_EQ(prompts->texts(), QStringList{"Nothing Here could not be found in the graph."});
    EXPECT_TRUE(engine.ShowPropertyPage(nullptr, "wm asf writer"));
    EXPECT_EQ(prompts->count(RecordingPrompts::Kind::Dialog), 1);
}
