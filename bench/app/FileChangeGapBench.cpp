// The audio lost at each file change, measured from the files alone. The program records the
// live ticks source (a tick every 100 ms, every tenth one louder) with a file change every
// 30 s; the ticks at the end of one file and the start of the next tell how much audio is
// missing between them. Also prints the peak memory of the process while recording.
#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kTickSeconds = 0.1;
constexpr int kTicksPerMarker = 10;
constexpr int kChanges = 6;
constexpr int kIntervalCode = 6; // a new file every 30 s

struct Tick {
    long sample;
    bool marker;
};

struct Decoded {
    std::vector<Tick> ticks;
    long length = 0;
};

Decoded decode(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar",
                            QString::number(kRate), "-"});
    ffmpeg.waitForFinished(60000);
    const QByteArray pcm = ffmpeg.readAllStandardOutput();
    const auto* samples = reinterpret_cast<const std::int16_t*>(pcm.constData());
    Decoded result;
    result.length = pcm.size() / 2;
    // A tick starts where the level rises after at least 20 ms of quiet; its loudness over the
    // next 5 ms tells a marker (0.9 of full scale) from an ordinary tick (0.4).
    const int quiet = kRate / 50;
    int quietRun = quiet;
    for (long i = 0; i < result.length; ++i) {
        const int level = std::abs(static_cast<int>(samples[i]));
        if (level < 2000) {
            ++quietRun;
            continue;
        }
        if (quietRun >= quiet) {
            int peak = 0;
            for (long j = i; j < std::min(result.length, i + kRate / 200); ++j)
                peak = std::max(peak, std::abs(static_cast<int>(samples[j])));
            result.ticks.push_back({i, peak > 0.65 * 32767});
        }
        quietRun = 0;
    }
    return result;
}

// Position of a tick in the ten-tick cycle, 0 for a marker, counted from the nearest marker in
// the file.
int phaseOf(const std::vector<Tick>& ticks, std::size_t index) {
    for (std::size_t back = 0; back <= index; ++back) {
        if (ticks[index - back].marker)
            return static_cast<int>(back % kTicksPerMarker);
    }
    for (std::size_t ahead = index; ahead < ticks.size(); ++ahead) {
        if (ticks[ahead].marker)
            return static_cast<int>((kTicksPerMarker - (ahead - index) % kTicksPerMarker) %
                                    kTicksPerMarker);
    }
    return -1;
}

// Seconds of audio between the end of one file and the start of the next.
double gapBetween(const Decoded& before, const Decoded& after) {
    if (before.ticks.empty() || after.ticks.empty())
        return NAN;
    const int lastPhase = phaseOf(before.ticks, before.ticks.size() - 1);
    const int firstPhase = phaseOf(after.ticks, 0);
    if (lastPhase < 0 || firstPhase < 0)
        return NAN;
    const double tail = double(before.length - before.ticks.back().sample) / kRate;
    const double head = double(after.ticks.front().sample) / kRate;
    int steps = (firstPhase - lastPhase + kTicksPerMarker) % kTicksPerMarker;
    double gap = steps * kTickSeconds - tail - head;
    while (gap < -0.02) { // the next tick of the same phase lies a whole cycle later
        steps += kTicksPerMarker;
        gap = steps * kTickSeconds - tail - head;
    }
    return gap;
}

double peakResidentMegabytes() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    QApplication app(argc, argv);
    platform::Settings::setApplicationName("veltrax");
    platform::Settings::saveString("Settings", "AudioPath", home.filePath("audio"));
    platform::Settings::saveString("Settings", "CaptureDeviceName",
                                   media::DeviceEnumerator::kTestTicks);
    media::DeviceEnumerator::overrideCaptureDevices(media::DeviceEnumerator::testSources());

    frmMain window;
    window.Form_Activate();
    window.Tavrel(0)->setInterval(kIntervalCode);
    window.Tavrel(1)->setInterval(kIntervalCode);
    window.cmdRecord_Click();
    std::printf("recording %d file changes of 30 s each…\n", kChanges);
    std::fflush(stdout);
    QEventLoop loop;
    QTimer::singleShot((kChanges * 30 + 15) * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    window.StopLoggers();
    const double peakMb = peakResidentMegabytes();

    QStringList files;
    QDirIterator it(home.filePath("audio"), {"*.wma"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    std::vector<double> gaps;
    Decoded previous = decode(files.value(0));
    for (int i = 1; i < files.size(); ++i) {
        Decoded current = decode(files[i]);
        const double gap = gapBetween(previous, current);
        std::printf("  change %d: %.0f ms\n", i, gap * 1000);
        if (!std::isnan(gap))
            gaps.push_back(gap);
        previous = std::move(current);
    }
    if (gaps.empty()) {
        std::printf("no file changes measured (%lld files)\n",
                    static_cast<long long>(files.size()));
        return 1;
    }
    std::sort(gaps.begin(), gaps.end());
    std::printf("audio lost per file change: median %.0f ms over %zu changes (target under "
                "200 ms)\n",
                gaps[gaps.size() / 2] * 1000, gaps.size());
    std::printf("peak resident memory while recording: %.1f MB (target under 100 MB)\n", peakMb);
    window.closeWithoutAsking();
    return 0;
}
