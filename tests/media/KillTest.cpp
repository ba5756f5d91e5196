// A recording process killed outright leaves a file that plays up to about the moment it died.
#include "MediaCheck.h"

#include "media/DeviceEnumerator.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

TEST(KilledRecording, LeavesADecodableFileOfAlmostAllTheAudio) {
    QTemporaryDir dir;
    const QString path = dir.filePath("killed.wma");
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

    const ProbeResult probe = MediaCheck::probe(path);
    EXPECT_EQ(probe.codec, "wmav2");
    EXPECT_GE(MediaCheck::decodedSeconds(path), 2.5);
}
