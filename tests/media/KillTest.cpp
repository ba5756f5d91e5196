// A recording process killed outright leaves a file that plays up to about the moment it died,
// and that finaliseRecording (run at the next start) makes whole: its header then gives the
// length that decodes.
#include "MediaCheck.h"

#include "media/DeviceEnumerator.h"
#include "media/RecordingRepair.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>

class KilledRecording : public ::testing::TestWithParam<const char*> {};

TEST_P(KilledRecording, LeavesADecodableFileThatFinalisingMakesWhole) {
    const QString codec = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(codec == "mp3" ? "killed.mp3" : "killed.wma");
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELTRAX_TEST_SOURCES", "1");
    tool.setProcessEnvironment(environment);
    tool.start(QCoreApplication::applicationDirPath() + "/veltrax_record_tool",
               {media::DeviceEnumerator::kTestTone, path});
    ASSERT_TRUE(tool.waitForReadyRead(10000)) << tool.readAllStandardError().constData();
    ASSERT_TRUE(tool.readAllStandardOutput().startsWith("recording"));

    QTest::qWait(4000);
    ::kill(static_cast<pid_t>(tool.processId()), SIGKILL);
    ASSERT_TRUE(tool.waitForFinished(5000));
    EXPECT_EQ(tool.exitStatus(), QProcess::CrashExit);

    const ProbeResult killed = MediaCheck::probe(path);
    EXPECT_EQ(killed.codec, codec);
    EXPECT_GE(MediaCheck::decodedSeconds(path), 2.5);

    ASSERT_TRUE(media::finaliseRecording(path));
    const ProbeResult finalised = MediaCheck::probe(path);
    const double decoded = MediaCheck::decodedSeconds(path);
    EXPECT_GE(decoded, 2.5);
    EXPECT_NEAR(finalised.duration, decoded, 0.5);
    std::printf("  killed %s: header %.3f s before finalising, %.3f s after; decoded %.3f s\n",
                qPrintable(codec), killed.duration, finalised.duration, decoded);
}

INSTANTIATE_TEST_SUITE_P(Formats, KilledRecording, ::testing::Values("wmav2", "mp3"),
                         [](const auto& info) { return std::string(info.param); });
