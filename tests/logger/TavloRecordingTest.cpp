// A logger recording a real capture device: the states it announces, the levels and positions
// it passes on, and the file it leaves.
#include "MediaCheck.h"
#include "SettingsSandbox.h"

#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(TavloRecording, RecordsTheSoundServerDeviceAndReportsLevelsAndPosition) {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        GTEST_SKIP() << "needs the private sound server of the test run";
    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    platform::Settings::saveString("Settings", "CaptureDeviceName", "Monitor of VeltraxTest");
    Tavlo logger;
    logger.Timer1()->stop();
    ASSERT_EQ(logger.Initialise(), 0);
    ASSERT_EQ(logger.CaptureDeviceName(), "Monitor of VeltraxTest");

    QStringList events;
    QList<int> leftPeaks;
    QList<double> positions;
    QObject::connect(&logger, &Tavlo::PlayStateChanged, [&](int from, int to) {
        events << QStringLiteral("state %1>%2").arg(from).arg(to);
    });
    QObject::connect(&logger, &Tavlo::AudioPeaks, [&](int left, int right) {
        leftPeaks << left;
        if (left == 0 && right == 0)
            events << QStringLiteral("peaks 0,0");
    });
    QObject::connect(&logger, &Tavlo::Timing, [&](double position) { positions << position; });

    QTemporaryDir dir;
    const QString path = dir.filePath("device.wma");
    ASSERT_TRUE(logger.OutputFileName(path)) << qPrintable(prompts->texts().join(" | "));
    ASSERT_TRUE(logger.Record());
    QElapsedTimer recording;
    recording.start();
    QTest::qWait(3000);
    const int peakEvents = leftPeaks.size();
    ASSERT_TRUE(logger.StopRecording());
    const double seconds = recording.elapsed() / 1000.0;
    logger.OutputFileName({});

    EXPECT_EQ(events, (QStringList{"state 0>1", "state 1>3", "peaks 0,0", "state 3>2", "state 2>0",
                                   "peaks 0,0"}));
    // About ten level pairs and two positions a second (a generous band: this is no timing test).
    EXPECT_GE(peakEvents, 15);
    EXPECT_LE(peakEvents, 45);
    EXPECT_GE(positions.size(), 3);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    // The tone plays at half scale: 16384 give or take the null sink's rounding.
    const int loudest = *std::max_element(leftPeaks.begin(), leftPeaks.end());
    EXPECT_NEAR(loudest, 16384, 16384 * 0.02);

    const ProbeResult probe = MediaCheck::probe(path);
    EXPECT_EQ(probe.codec, "wmav2");
    EXPECT_NEAR(probe.duration, seconds, 0.3);
    EXPECT_GT(MediaCheck::decodedSeconds(path), seconds - 0.4);
    EXPECT_EQ(prompts->count(), 0);
}

// Writes into a file whose folder was removed still succeed, so no error comes from the writer;
// the logger finds out within about two seconds all the same and says so.
TEST(TavloRecording, RemovedDayFolderEndsTheRecordingWithWriteFailed) {
    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    media::DeviceEnumerator::overrideCaptureDevices(media::DeviceEnumerator::testSources());
    Tavlo logger;
    logger.Timer1()->stop();
    ASSERT_EQ(logger.Initialise(), 0);
    logger.CaptureDeviceName();
    QStringList events;
    QObject::connect(&logger, &Tavlo::PlayStateChanged, [&](int from, int to) {
        events << QStringLiteral("state %1>%2").arg(from).arg(to);
    });
    QObject::connect(&logger, &Tavlo::WriteFailed, [&](int kind, const QString& text) {
        events << QStringLiteral("failed %1: %2").arg(kind).arg(text);
    });

    QTemporaryDir dir;
    const QString day = dir.filePath("2026-12-08");
    const QString path = day + "/day.wma";
    ASSERT_TRUE(QDir().mkpath(day) && logger.OutputFileName(path) && logger.Record());
    QTest::qWait(1200);
    ASSERT_TRUE(QDir(day).removeRecursively());
    QElapsedTimer waited;
    waited.start();
    while (!events.last().startsWith("failed") && waited.elapsed() < 5000)
        QTest::qWait(5);
    media::DeviceEnumerator::overrideCaptureDevices(std::nullopt);

    EXPECT_LE(waited.elapsed(), 2000) << "ms from the removal to WriteFailed";
    EXPECT_EQ(events.mid(events.size() - 2),
              (QStringList{"state 2>0", QStringLiteral("failed %1: The recording file %2 has gone "
                                                       "(its folder was removed or unmounted)")
                                            .arg(int(media::GraphErrorKind::WriteError))
                                            .arg(path)}));
    EXPECT_EQ(logger.RecordState(), clsTavrel::StateStopped);
    EXPECT_EQ(logger.FailedFileName(), path);
}
