// Recordings made through the media layer, checked with ffprobe and ffmpeg.
#include "MediaCheck.h"
#include "TestGraphs.h"

#include "media/AsfWriter.h"
#include "media/DeviceEnumerator.h"
#include "media/WmaProfile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace media;
using namespace ResultCode;

namespace {

// Records about three seconds and returns the time between the start and the stop.
double recordThreeSeconds(CaptureChain& chain) {
    EXPECT_TRUE(SUCCEEDED(chain.graph->run())) << qPrintable(chain.graph->lastError());
    QElapsedTimer recording;
    recording.start();
    QTest::qWait(3000);
    const double seconds = recording.elapsed() / 1000.0;
    EXPECT_EQ(chain.graph->stop(), S_OK);
    return seconds;
}

void expectCompleteWma(const QString& path, double recordedSeconds, int rate, int channels) {
    const ProbeResult probe = MediaCheck::probe(path);
    ASSERT_TRUE(probe.ok) << qPrintable(path);
    EXPECT_EQ(probe.codec, "wmav2");
    EXPECT_EQ(probe.sampleRate, rate);
    EXPECT_EQ(probe.channels, channels);
    EXPECT_NEAR(probe.duration, recordedSeconds, 0.3);
    // The decoder drops the codec's start-up frames, about a tenth of a second.
    EXPECT_NEAR(MediaCheck::decodedSeconds(path), recordedSeconds, 0.35);
}

} // namespace

TEST(Recording, LiveTestSourceMakesAWmaFileOfTheTimeRecorded) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tone.wma");
    CaptureChain chain = TestGraphs::captureToWma(TestGraphs::liveTestTone(), path);
    ASSERT_EQ(chain.result, S_OK);
    const double seconds = recordThreeSeconds(chain);
    const WmaProfile& profile = WmaProfile::standard();
    expectCompleteWma(path, seconds, profile.sampleRate, profile.channels);
}

TEST(Recording, RealCaptureDeviceMakesAWmaFileOfTheTimeRecorded) {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the private sound server of the test run";
    const std::optional<FilterItem> device = TestGraphs::harnessDevice();
    ASSERT_TRUE(device) << "the sound server's capture device is missing";
    QTemporaryDir dir;
    const QString path = dir.filePath("device.wma");
    CaptureChain chain = TestGraphs::captureToWma(*device, path);
    ASSERT_EQ(chain.result, S_OK);
    const double seconds = recordThreeSeconds(chain);
    expectCompleteWma(path, seconds, 44100, 2);
    // The server plays a sine at half scale: -9 dB on average. (Lossy coding moves single peaks
    // by a decibel or two, the mean hardly at all.)
    EXPECT_NEAR(MediaCheck::meanVolumeDb(path), -9.0, 1.0);
}

TEST(Recording, EveryProfileGivesItsChannelsRateAndBitRate) {
    QTemporaryDir dir;
    int index = 0;
    for (const WmaProfile& profile : WmaProfile::all()) {
        SCOPED_TRACE(qPrintable(profile.description));
        const QString path = dir.filePath(QStringLiteral("profile%1.wma").arg(++index));
        CaptureChain chain = TestGraphs::captureToWma(TestGraphs::fastTone(10), path, profile.id);
        ASSERT_EQ(chain.result, S_OK);
        chain.graph->setNoClock(true);
        ASSERT_TRUE(SUCCEEDED(chain.graph->run()));
        ASSERT_TRUE(TestGraphs::waitForCompletion(*chain.graph));
        chain.graph->stop();

        const ProbeResult probe = MediaCheck::probe(path);
        EXPECT_EQ(probe.channels, profile.channels);
        EXPECT_EQ(probe.sampleRate, profile.sampleRate);
        EXPECT_NEAR(probe.duration, 10.0, 0.1);
        EXPECT_GT(MediaCheck::decodedSeconds(path), 9.5); // every packet, the last one too
        EXPECT_NEAR(probe.streamBitRate, profile.bitRate, profile.bitRate * 0.1);
        // What the encoder really delivered.
        const double codedBitRate = probe.payloadBytes * 8.0 / probe.duration;
        EXPECT_NEAR(codedBitRate, profile.bitRate, profile.bitRate * 0.1);
    }
}

TEST(Recording, UnwritableOutputPathFailsToRunWithAClearError) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = dir.filePath("plain-file/recording.wma");
    CaptureChain chain = TestGraphs::captureToWma(TestGraphs::liveTestTone(), path);
    ASSERT_EQ(chain.result, S_OK);
    EXPECT_EQ(chain.graph->run(), E_FAIL);
    EXPECT_TRUE(chain.graph->lastError().contains("plain-file"))
        << qPrintable(chain.graph->lastError());
    EXPECT_EQ(chain.graph->state(), FilterGraph::State::Stopped);
    EXPECT_EQ(chain.graph->stop(), S_OK);
}

TEST(Recording, WriterRefusesUnknownProfilesAndChangesWhileRunning) {
    AsfWriter writer;
    EXPECT_EQ(writer.configureFilterUsingProfileGuid(QUuid::createUuid()), E_INVALIDARG);
    const WmaProfile& mono = WmaProfile::all().first();
    EXPECT_EQ(writer.configureFilterUsingProfileGuid(mono.id), S_OK);
    EXPECT_EQ(writer.profile().channels, 1);
    EXPECT_TRUE(writer.findPin(AsfWriter::kInputPinName));
    EXPECT_EQ(writer.setFileName({}), E_INVALIDARG);
}
