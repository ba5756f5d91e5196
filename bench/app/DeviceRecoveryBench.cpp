// How fast a logger notices that its capture device has gone, and how fast it records again once
// the device is back: a null sink of the sound server is unloaded and loaded again, five times.
// Uses the sound server named by PULSE_SERVER, or starts a private one with scripts/pulse-harness.
#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kCycles = 5;

QString pactl(const QStringList& arguments) {
    QProcess process;
    process.start("pactl", arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A null sink with a player in it, which keeps its monitor delivering audio in small steps as a
// sound card would.
QString loadDevice(QProcess& player) {
    const QString module = pactl({"load-module", "module-null-sink", "sink_name=veltrax_bench",
                                  "sink_properties=device.description=VeltraxBench"});
    player.kill();
    player.waitForFinished(2000);
    player.start("gst-launch-1.0",
                 {"-q", "audiotestsrc", "is-live=true", "wave=sine", "!", "pulsesink",
                  "device=veltrax_bench", "buffer-time=40000", "latency-time=10000"});
    return module;
}

qint64 millisecondsUntil(const std::function<bool()>& done, int boundMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > boundMs)
            return -1;
        QTest::qWait(5);
    }
    return elapsed.elapsed();
}

void printSummary(const char* what, std::vector<qint64> values, const char* target) {
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        std::printf("%s: not measured\n", what);
        return;
    }
    std::printf("%s: median %lld ms, worst %lld ms over %zu (target %s)\n", what,
                static_cast<long long>(values[values.size() / 2]),
                static_cast<long long>(values.back()), values.size(), target);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    const bool ownServer = qEnvironmentVariableIsEmpty("PULSE_SERVER");
    const QString serverFolder = home.filePath("pulse");
    if (ownServer) {
        if (QProcess::execute(VELTRAX_SOURCE_DIR "/scripts/pulse-harness",
                              {"start", serverFolder}) != 0) {
            std::printf("could not start a private sound server\n");
            return 1;
        }
        qputenv("PULSE_SERVER", QFile::encodeName("unix:" + serverFolder + "/native"));
    }
    QApplication app(argc, argv);
    platform::Settings::setApplicationName("veltrax");
    platform::Settings::saveString("Settings", "AudioPath", home.filePath("audio"));
    platform::Settings::saveString("Settings", "CaptureDeviceName", "Monitor of VeltraxBench");
    QProcess player;
    QString module = loadDevice(player);

    frmMain window;
    window.Form_Activate();
    window.cmdRecord_Click();
    std::vector<qint64> noticed, resumed;
    for (int cycle = 0; cycle < kCycles && window.AnyLoggerRecording(); ++cycle) {
        QTest::qWait(1500);
        pactl({"unload-module", module});
        const qint64 lost =
            millisecondsUntil([&] { return window.lblDeviceStatus->isVisibleTo(&window); }, 5000);
        QTest::qWait(1000);
        module = loadDevice(player);
        const qint64 back = millisecondsUntil([&] { return window.AnyLoggerRecording(); }, 10000);
        std::printf("  cycle %d: loss shown after %lld ms, recording again %lld ms after the "
                    "device returned\n",
                    cycle + 1, static_cast<long long>(lost), static_cast<long long>(back));
        if (lost >= 0)
            noticed.push_back(lost);
        if (back >= 0)
            resumed.push_back(back);
    }
    window.closeWithoutAsking();
    player.kill();
    player.waitForFinished(2000);
    pactl({"unload-module", module});
    printSummary("device loss shown", noticed, "under 2000 ms");
    printSummary("recording resumed after the return", resumed, "under 5000 ms");
    if (ownServer)
        QProcess::execute(VELTRAX_SOURCE_DIR "/scripts/pulse-harness", {"stop", serverFolder});
    return 0;
}
