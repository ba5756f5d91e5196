// The real program left alone: a power cut and the start after it, signals in every state, a
// recorder that cannot be set up, a capture device pulled out and plugged in again. Recordings
// are read back with ffprobe and ffmpeg. The tests that record from a real capture device run on
// the private PulseAudio server (ctest entry e2e_unattended) and on the private PipeWire session
// (e2e_pipewire).
#include "MediaCheck.h"
#include "Pactl.h"
#include "ProgramProcess.h"
#include "SettingsSandbox.h"

#include "platform/Settings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

using platform::Settings;

namespace {

constexpr int kSignalDeadlineMs = 5000;

// Every recording below a folder, oldest first.
QStringList recordingsIn(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, {"*.wma", "*.mp3"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    std::sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).birthTime() < QFileInfo(b).birthTime() || a < b;
    });
    return files;
}

// Waits until a recording not in `known` exists and has grown past `bytes`; its path, or empty.
QString newRecordingOnceGrown(const QString& folder, const QStringList& known, qint64 bytes,
                              int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (const QString& file : recordingsIn(folder)) {
            if (!known.contains(file) && QFileInfo(file).size() > bytes)
                return file;
        }
        QThread::msleep(50);
    }
    return {};
}

QStringList linesOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// Waits until the alarm command has written `event`; every event written so far.
QStringList eventsOnceSeen(const QString& path, const QString& event) {
    QDeadlineTimer deadline(5000);
    QStringList events = linesOf(path);
    while (!events.contains(event) && !deadline.hasExpired()) {
        QThread::msleep(50);
        events = linesOf(path);
    }
    return events;
}

bool exitsWithin(ProgramProcess& program, int milliseconds) {
    return program.waitForExit(milliseconds);
}

// An output of the test's own (a null sink named for this process) with a tone playing into it,
// whose monitor is a capture device that can be pulled out (its module unloaded) and plugged in
// again under the same name.
class PluggableDevice {
public:
    PluggableDevice()
        : m_sink(QStringLiteral("veltrax_pulled_%1").arg(QCoreApplication::applicationPid())),
          m_description(QStringLiteral("VeltraxPulled%1").arg(QCoreApplication::applicationPid())) {
    }
    ~PluggableDevice() { pull(); }
    QString name() const { return "Monitor of " + m_description; }

    // Loads the sink, waits until the server lists its monitor and starts the tone. The tone
    // keeps the monitor delivering audio in small steps; an idle null sink's monitor delivers it
    // about every 2 s.
    bool plugIn() {
        m_module = pactl({"load-module", "module-null-sink", "sink_name=" + m_sink,
                          "sink_properties=device.description=" + m_description});
        if (m_module.isEmpty())
            return false;
        QDeadlineTimer deadline(5000);
        while (!pactl({"list", "short", "sources"}).contains(m_sink + ".monitor")) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(100);
        }
        m_tone.start(QStringLiteral("gst-launch-1.0"),
                     {"-q", "audiotestsrc", "wave=sine", "freq=1000", "volume=0.5", "is-live=true",
                      "!", "audio/x-raw,rate=44100,channels=2", "!", "pulsesink",
                      "device=" + m_sink, "buffer-time=40000", "latency-time=10000"});
        return m_tone.waitForStarted(5000);
    }
    // The tone goes first: the server would move it onto another output, where other tests
    // listen to their own signal.
    void pull() {
        if (m_tone.state() != QProcess::NotRunning) {
            m_tone.kill();
            m_tone.waitForFinished(5000);
        }
        if (!m_module.isEmpty())
            pactl({"unload-module", m_module});
        m_module.clear();
    }

private:
    QString m_sink;
    QString m_description;
    QString m_module;
    QProcess m_tone;
};

// The first line of the program's output that holds every one of `parts`; -1 when none does.
qsizetype lineHolding(const QStringList& lines, const QStringList& parts) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (std::all_of(parts.begin(), parts.end(),
                        [&](const QString& part) { return lines[i].contains(part); }))
            return i;
    }
    return -1;
}

// The header's duration against what decodes: a finalised file agrees within half a second.
void expectFinalised(const QString& file) {
    SCOPED_TRACE(qPrintable(file));
    const double decoded = MediaCheck::decodedSeconds(file);
    EXPECT_GT(decoded, 0.5);
    EXPECT_NEAR(MediaCheck::probe(file).duration, decoded, 0.5);
}

class UnattendedProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings::saveString("Settings", "AudioPath", audio.path());
        Settings::saveString("Alarms", "AlarmCommand",
                             "echo \"$VELTRAX_EVENT\" >> '" + events() + "'");
    }
    QString events() const { return home.filePath("events"); }
    // Why the run's private sound server (PulseAudio, or a PipeWire session through
    // pipewire-pulse) cannot be recorded from; empty when it is there.
    static QString soundServerMissing() {
        const QString server = qEnvironmentVariable("PULSE_SERVER");
        if (server.isEmpty())
            return "needs the private sound server (PULSE_SERVER); run through ctest";
        if (server.startsWith("unix:") && !QFileInfo::exists(server.mid(5))) {
            QString reason = "the private sound server is not running at " + server;
            if (qEnvironmentVariableIsSet("PIPEWIRE_RUNTIME_DIR"))
                reason += ": pipewire, wireplumber or pipewire-pulse is not installed "
                          "(scripts/install-deps), see pipewire_session_start's output";
            return reason;
        }
        return {};
    }

    SettingsSandbox sandbox;
    QTemporaryDir home;
    QTemporaryDir audio;
};

} // namespace

TEST_F(UnattendedProgramTest, KilledWhileRecordingThenStartedAgainRecordsWithoutAnyone) {
    if (const QString missing = soundServerMissing(); !missing.isEmpty())
        GTEST_SKIP() << qPrintable(missing);
    Settings::saveString("Settings", "CaptureDeviceName", "Monitor of VeltraxTest");
    Settings::saveBool("Settings", "AutoStart", true);
    Settings::saveBool("MPEGSettings", "VBR", false);
    QString killed;
    {
        ProgramProcess program(sandbox.configFolder(), sandbox.home());
        ASSERT_TRUE(program.startAndWaitUntilActive()) << qPrintable(program.output());
        killed = newRecordingOnceGrown(audio.path(), {}, 8000, 10000);
        ASSERT_FALSE(killed.isEmpty()) << qPrintable(program.output());
        program.signal(SIGKILL);
        ASSERT_TRUE(program.waitForExit());
    }
    QFile::remove(events());

    ProgramProcess program(sandbox.configFolder(), sandbox.home());
    QElapsedTimer sinceStart;
    sinceStart.start();
    ASSERT_TRUE(program.start());
    const QString next = newRecordingOnceGrown(audio.path(), {killed}, 4000, 5000);
    ASSERT_FALSE(next.isEmpty()) << qPrintable(program.output());
    EXPECT_LT(sinceStart.elapsed(), 5000);
    EXPECT_EQ(Settings::getString("MPEGSettings", "VBR"), "True");
    QStringList seen = eventsOnceSeen(events(), "recording-started");
    EXPECT_EQ(seen.mid(0, 2), (QStringList{"abnormal-termination", "recording-started"}));

    // The abnormal-termination notice is still open, unread: a signal ends the program anyway.
    QThread::msleep(1500);
    program.signal(SIGTERM);
    ASSERT_TRUE(exitsWithin(program, kSignalDeadlineMs)) << qPrintable(program.output());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.output().contains("Abnormal Program Termination Detected."));
    expectFinalised(next);
    EXPECT_GT(MediaCheck::decodedSeconds(killed), 0.5); // the killed run's file still plays
    EXPECT_TRUE(eventsOnceSeen(events(), "recording-stopped").contains("recording-stopped"));
    EXPECT_GE(Settings::getDate("Settings", "WhenLastClosed", 0),
              Settings::getDate("Settings", "WhenLastStarted", 0));
}

TEST_F(UnattendedProgramTest, ASignalWhileTheFirstRecordingIsBuiltEndsTheProgramCleanly) {
    Settings::saveBool("Settings", "AutoStart", true);
    Settings::saveString("Settings", "CaptureDeviceName", "Veltrax Test Tone");
    ProgramProcess program(sandbox.configFolder(), sandbox.home());
    ASSERT_TRUE(program.startAndWaitUntilActive()) << qPrintable(program.output());
    program.signal(SIGTERM); // the recording is being built right after activation
    ASSERT_TRUE(exitsWithin(program, kSignalDeadlineMs)) << qPrintable(program.output());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_GE(Settings::getDate("Settings", "WhenLastClosed", 0),
              Settings::getDate("Settings", "WhenLastStarted", 0));
    for (const QString& file : recordingsIn(audio.path())) {
        if (QFileInfo(file).size() > 0) {
            EXPECT_GE(MediaCheck::decodedSeconds(file), 0) << qPrintable(file);
        }
    }
}

TEST_F(UnattendedProgramTest, ARecorderThatCannotBeSetUpEndsTheProgram) {
    // No capture device at all: the notice is logged and the program ends by itself.
    {
        ProgramProcess program(sandbox.configFolder(), sandbox.home());
        program.removeEnvironment("VELTRAX_TEST_SOURCES");
        program.setEnvironment("PULSE_SERVER", "unix:" + home.filePath("no-server"));
        ASSERT_TRUE(program.start());
        ASSERT_TRUE(exitsWithin(program, kSignalDeadlineMs)) << qPrintable(program.output());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_TRUE(program.output().contains("No Audio Input devices found."))
            << qPrintable(program.output());
        EXPECT_TRUE(eventsOnceSeen(events(), "recording-failed").contains("recording-failed"));
    }
    // No WMA writer (the media framework without its libav plugin): the question to download
    // it waits for a person, and a signal ends the program all the same.
    const QString plugins = QStringLiteral(GST_PLUGIN_FOLDER);
    if (!QFileInfo::exists(plugins + "/libgstlibav.so"))
        GTEST_SKIP() << "the libav plugin is not in " << qPrintable(plugins);
    QTemporaryDir pruned;
    for (const QFileInfo& plugin : QDir(plugins).entryInfoList({"*.so"}, QDir::Files)) {
        if (plugin.fileName() != "libgstlibav.so")
            QFile::link(plugin.filePath(), pruned.filePath(plugin.fileName()));
    }
    ProgramProcess program(sandbox.configFolder(), sandbox.home());
    program.setEnvironment("GST_PLUGIN_SYSTEM_PATH_1_0", pruned.path());
    program.setEnvironment("GST_REGISTRY_1_0", pruned.filePath("registry.bin"));
    ASSERT_TRUE(program.start());
    ASSERT_TRUE(program.waitForOutput("Press Yes to download now.", 30000))
        << qPrintable(program.output());
    QThread::msleep(300);
    ASSERT_EQ(program.processId() > 0, true);
    program.signal(SIGTERM);
    ASSERT_TRUE(exitsWithin(program, kSignalDeadlineMs)) << qPrintable(program.output());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
}

// A drive that another program fills at once: old recordings go and recording goes on in a new
// file; when nothing old is left the logger stops with its message and stays up.
TEST_F(UnattendedProgramTest, ADriveFilledAtOnceFreesOldRecordingsThenStopsAndStaysUp) {
    QTemporaryDir mountPoint;
    const QString drive = mountPoint.path();
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=6m", "tmpfs", drive}) != 0)
        GTEST_SKIP() << "mounting a small tmpfs is not permitted here (needs root)";
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute("umount", {"-l", path}); }
    } unmount{drive};
    const auto fill = [&drive](const QString& name) {
        QProcess::execute("dd",
                          {"if=/dev/zero", "of=" + drive + "/" + name, "bs=64k", "status=none"});
    };

    const QString old = drive + "/Monday 07 September/old.wma";
    QDir().mkpath(QFileInfo(old).path());
    {
        QFile file(old);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2 * 1024 * 1024, 'a'));
        ASSERT_TRUE(file.flush());
        file.setFileTime(QDateTime::currentDateTime().addDays(-120),
                         QFileDevice::FileModificationTime);
    }
    Settings::saveString("Settings", "AudioPath", drive);
    Settings::saveBool("Settings", "AutoStart", true);
    Settings::saveString("Settings", "CaptureDeviceName", "Veltrax Test Tone");
    ProgramProcess program(sandbox.configFolder(), sandbox.home());
    ASSERT_TRUE(program.startAndWaitUntilActive()) << qPrintable(program.output());
    const QString first = newRecordingOnceGrown(drive, {old}, 8000, 10000);
    ASSERT_FALSE(first.isEmpty()) << qPrintable(program.output());

    fill("filler-1");
    QStringList seen = eventsOnceSeen(events(), "file-changed");
    EXPECT_EQ(seen.mid(1), (QStringList{"write-error", "file-changed"}))
        << qPrintable(program.output());
    EXPECT_FALSE(QFileInfo::exists(old));
    const QString second = newRecordingOnceGrown(drive, {old, first}, 16000, 5000);
    EXPECT_FALSE(second.isEmpty()) << qPrintable(program.output());

    fill("filler-2");
    seen = eventsOnceSeen(events(), "disk-full");
    EXPECT_TRUE(seen.contains("disk-full")) << qPrintable(program.output());
    EXPECT_TRUE(program.waitForOutput("There is No Free Space on the Audio Drive.", 3000));
    ASSERT_FALSE(program.waitForExit(500)) << "the logger must stay up on a full drive";

    program.signal(SIGTERM);
    ASSERT_TRUE(exitsWithin(program, kSignalDeadlineMs)) << qPrintable(program.output());
    EXPECT_EQ(program.exitCode(), 0);
    for (const QString& file : {first, second}) {
        if (!file.isEmpty())
            expectFinalised(file);
    }
}

// The capture device pulled out while the program records from it, and plugged in again: the
// program waits for it, then records on into a new file, without anyone.
TEST_F(UnattendedProgramTest, ACaptureDevicePulledOutIsRecordedAgainOncePluggedIn) {
    if (const QString missing = soundServerMissing(); !missing.isEmpty())
        GTEST_SKIP() << qPrintable(missing);
    PluggableDevice device;
    ASSERT_TRUE(device.plugIn()) << "pactl or gst-launch-1.0 could not set up the device";
    Settings::saveString("Settings", "CaptureDeviceName", device.name());
    Settings::saveBool("Settings", "AutoStart", true);
    ProgramProcess program(sandbox.configFolder(), sandbox.home());
    ASSERT_TRUE(program.startAndWaitUntilActive()) << qPrintable(program.output());
    const QString before = newRecordingOnceGrown(audio.path(), {}, 8000, 10000);
    ASSERT_FALSE(before.isEmpty()) << qPrintable(program.output());

    device.pull();
    ASSERT_TRUE(program.waitForOutput("Capture device lost: " + device.name(), 5000))
        << qPrintable(program.output());
    // A retry or two finds nothing: the program waits, and starts no file.
    ASSERT_FALSE(program.waitForExit(2500)) << "the program ended without its device";
    EXPECT_EQ(recordingsIn(audio.path()), QStringList{before});

    ASSERT_TRUE(device.plugIn()) << "pactl or gst-launch-1.0 could not set up the device";
    const QString after = newRecordingOnceGrown(audio.path(), {before}, 8000, 10000);
    ASSERT_FALSE(after.isEmpty()) << qPrintable(program.output());

    program.signal(SIGTERM);
    ASSERT_TRUE(exitsWithin(program, kSignalDeadlineMs)) << qPrintable(program.output());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const QStringList lines = program.output().split('\n');
    const qsizetype lost = lineHolding(lines, {" ERROR device-lost: ", device.name()});
    const qsizetype returned = lineHolding(lines, {" INFO device-returned: ", device.name()});
    EXPECT_GE(lost, 0) << qPrintable(program.output());
    EXPECT_GT(returned, lost) << qPrintable(program.output());
    expectFinalised(before);
    expectFinalised(after);
}
