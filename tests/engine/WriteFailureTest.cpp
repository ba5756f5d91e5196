// A recording whose writer fails (a full drive, a drive unmounted under it) ends at once: the
// engine stops, says why, and leaves a finalised file. The drives are small tmpfs mounts.
#include "MediaCheck.h"
#include "SettingsSandbox.h"

#include "engine/clsTavrel.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace media;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// A 2 MB tmpfs mounted for the test, unmounted (lazily if still busy) when it ends.
struct TinyDrive {
    explicit TinyDrive(const QString& where) : path(where) {
        QDir().mkpath(where);
        mounted = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=2m", "tmpfs", where}) == 0;
    }
    ~TinyDrive() {
        if (mounted && QProcess::execute("umount", {path}) != 0)
            QProcess::execute("umount", {"-l", path});
    }
    qint64 freeBytes() const {
        struct statvfs info {};
        statvfs(QFile::encodeName(path).constData(), &info);
        return qint64(info.f_bavail) * qint64(info.f_frsize);
    }
    bool fillLeaving(qint64 leave) {
        const int fd =
            ::open(QFile::encodeName(path + "/filler").constData(), O_CREAT | O_WRONLY, 0644);
        const bool filled = fd >= 0 && posix_fallocate(fd, 0, freeBytes() - leave) == 0;
        ::close(fd);
        return filled;
    }
    QString path;
    bool mounted = false;
};

struct Format {
    const char* name;
    int audioFormat; // 0 WMA, 1 MP3
    bool vbr;
    QString extension, codec;
};

class WriteFailure : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override {
        DeviceEnumerator::overrideCaptureDevices(DeviceEnumerator::testSources());
        FilterRegistry::instance().reset();
        platform::Settings::saveInt("Settings", "AudioFormat", GetParam().audioFormat);
        platform::Settings::saveBool("MPEGSettings", "VBR", GetParam().vbr);
        platform::Settings::saveInt("MPEGSettings", "VBRMax", 192);
        engine.Initialise();
        engine.CaptureDeviceName();
        QObject::connect(&engine, &clsTavrel::PlayStateChanged, [this](int from, int to) {
            events << QStringLiteral("state %1>%2").arg(from).arg(to);
        });
        QObject::connect(&engine, &clsTavrel::AudioPeaks, [this](int left, int right) {
            if (left == 0 && right == 0 && engine.RecordState() != clsTavrel::StateRecording)
                events << QStringLiteral("peaks 0,0");
        });
        QObject::connect(&engine, &clsTavrel::WriteFailed, [this](int kind, const QString& text) {
            events << QStringLiteral("failed %1").arg(kind);
            failedText = text;
            failedAfter = since.elapsed();
        });
    }
    void TearDown() override {
        engine.OutputFileName({});
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        FilterRegistry::instance().reset();
    }

    QString startRecording(const QString& folder, const QString& stem) {
        const QString path = folder + '/' + stem + '.' + GetParam().extension;
        EXPECT_TRUE(engine.OutputFileName(path) && engine.Record())
            << qPrintable(prompts->texts().join(" | "));
        return path;
    }
    bool waitForFailure() {
        QElapsedTimer waited;
        waited.start();
        while (failedAfter < 0 && waited.elapsed() < 5000)
            QTest::qWait(5);
        return failedAfter >= 0;
    }
    // The header's duration against what decodes.
    static void expectFinalised(const QString& path) {
        const ProbeResult probe = MediaCheck::probe(path);
        const double decoded = MediaCheck::decodedSeconds(path);
        EXPECT_EQ(probe.codec, GetParam().codec);
        EXPECT_GE(decoded, 1.5) << qPrintable(path);
        EXPECT_NEAR(probe.duration, decoded, 0.5) << qPrintable(path);
        std::printf("  %s: header %.3f s, decoded %.3f s, %lld bit/s\n",
                    qPrintable(QFileInfo(path).fileName()), probe.duration, decoded,
                    probe.streamBitRate);
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    QTemporaryDir dir;
    clsTavrel engine;
    QStringList events;
    QString failedText;
    QElapsedTimer since;
    qint64 failedAfter = -1; // ms from `since` to WriteFailed
};

#define SKIP_UNLESS_MOUNTED(drive)                                                                 \
    if (!(drive).mounted)                                                                          \
    GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN): full and "           \
                    "unmounted drives are not tested"

} // namespace

// A normal stop finalises the file; a drive that fills up ends the recording within a second of
// the first write that found no room, and the file left there is finalised as far as it got.
TEST_P(WriteFailure, FullDriveEndsTheRecordingAtOnceWithAFinalisedFile) {
    startRecording(dir.path(), "normal");
    QTest::qWait(2000);
    ASSERT_TRUE(engine.StopRecording());
    expectFinalised(engine.FileName());

    TinyDrive drive(dir.filePath("tiny"));
    SKIP_UNLESS_MOUNTED(drive);
    ASSERT_TRUE(drive.fillLeaving(48 * 1024)); // two to seven seconds of audio
    events.clear();
    const QString path = startRecording(drive.path, "full");
    QElapsedTimer waited;
    waited.start();
    while (drive.freeBytes() > 0 && failedAfter < 0 && waited.elapsed() < 20000)
        QTest::qWait(5);
    ASSERT_EQ(drive.freeBytes(), 0) << "the drive never filled";
    since.start();
    ASSERT_TRUE(waitForFailure()) << "no WriteFailed";

    EXPECT_LE(failedAfter, 1200) << "ms from the full drive to WriteFailed";
    std::printf("  WriteFailed %lld ms after the drive filled\n", failedAfter);
    EXPECT_EQ(events.mid(events.indexOf("state 3>2")).join(", "),
              QStringLiteral("state 3>2, state 2>0, peaks 0,0, failed %1")
                  .arg(int(GraphErrorKind::NoSpace)));
    EXPECT_FALSE(failedText.isEmpty());
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateStopped);
    EXPECT_EQ(engine.graph(), nullptr);
    EXPECT_EQ(engine.FileName(), path);
    EXPECT_EQ(engine.FailedFileName(), path);
    EXPECT_FALSE(engine.Record()); // a new file is needed first
    expectFinalised(path);
}

// Writes to a drive unmounted lazily still succeed: the engine notices that the path no longer
// leads to its file.
TEST_P(WriteFailure, DriveUnmountedUnderTheRecordingEndsIt) {
    TinyDrive drive(dir.filePath("drive"));
    SKIP_UNLESS_MOUNTED(drive);
    const QString path = startRecording(drive.path, "gone");
    QTest::qWait(1200);
    ASSERT_EQ(QProcess::execute("umount", {"-l", drive.path}), 0);
    drive.mounted = false;
    since.start();
    ASSERT_TRUE(waitForFailure()) << "no WriteFailed";
    EXPECT_LE(failedAfter, 2000) << "ms from the unmount to WriteFailed";
    std::printf("  WriteFailed %lld ms after the unmount\n", failedAfter);
    EXPECT_EQ(events.last(), QStringLiteral("failed %1").arg(int(GraphErrorKind::WriteError)));
    EXPECT_TRUE(failedText.contains(path)) << qPrintable(failedText);
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateStopped);
}

INSTANTIATE_TEST_SUITE_P(Formats, WriteFailure,
                         ::testing::Values(Format{"Wma", 0, false, "wma", "wmav2"},
                                           Format{"Mp3Constant", 1, false, "mp3", "mp3"},
                                           Format{"Mp3Variable", 1, true, "mp3", "mp3"}),
                         [](const auto& info) { return std::string(info.param.name); });
