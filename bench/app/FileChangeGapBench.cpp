// The audio lost or heard twice at each file change, measured from the files alone. Both loggers
// record the same signal through the sound server: ticks every 100 ms, every tenth one louder,
// over a quiet bed ("Monitor of VeltraxTicks" of scripts/pulse-harness; a private server is
// started when PULSE_SERVER is not set). The window changes files every few seconds, driven as
// the loggers' timers drive it; afterwards each join is read back with ffmpeg, for WMA and for
// MP3. Also prints the peak memory of the process while recording.
#include "JoinCheck.h"

#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace {

constexpr int kChanges = 12;
constexpr int kFileMs = 2500;

// The private sound server of the tests, when none is given.
class SoundServer {
public:
    explicit SoundServer(const QString& folder) {
        if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            return;
        m_folder = folder;
        if (harness("start") != 0) {
            std::printf("the private sound server did not start (%s)\n", kHarness);
            m_folder.clear();
            return;
        }
        qputenv("PULSE_SERVER", QFile::encodeName("unix:" + folder + "/native"));
        // A server just started stutters for a moment before its signals run steadily.
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    ~SoundServer() {
        if (!m_folder.isEmpty())
            harness("stop");
    }
    SoundServer(const SoundServer&) = delete;
    SoundServer& operator=(const SoundServer&) = delete;

private:
    static constexpr const char* kHarness = VELTRAX_SOURCE_DIR "/scripts/pulse-harness";
    int harness(const char* action) const {
        return QProcess::execute(QString::fromUtf8(kHarness),
                                 {QString::fromUtf8(action), m_folder});
    }
    QString m_folder;
};

std::optional<media::FilterItem> ticksDevice() {
    for (const media::FilterItem& item : media::DeviceEnumerator::audioCaptureDevices()) {
        if (item.name() == joincheck::kTicksDevice)
            return item;
    }
    return std::nullopt;
}

void runEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int recordingLogger(const frmMain& window) {
    return window.Tavrel(0)->RecordState() == 2 ? 0 : window.Tavrel(1)->RecordState() == 2 ? 1 : -1;
}

struct Chain {
    QStringList files;
    std::vector<double> changeMs; // time the window spent in each change
};

// Records a chain of kChanges + 1 files in one format; empty when recording could not start.
Chain recordChain(int format, const QString& audioFolder) {
    platform::Settings::saveString("Settings", "AudioPath", audioFolder);
    platform::Settings::saveInt("Settings", "AudioFormat", format);
    frmMain window;
    window.Form_Activate();
    Chain chain;
    if (window.Tavrel(0)->AudioFormat() != format) {
        window.closeWithoutAsking();
        return chain;
    }
    for (int i = 0; i < 2; ++i)
        window.Tavrel(i)->Timer1()->stop(); // the changes come from here
    window.cmdRecord_Click();
    if (recordingLogger(window) < 0) {
        window.closeWithoutAsking();
        return chain;
    }
    chain.files << window.Tavrel(0)->FileName();
    for (int change = 0; change < kChanges; ++change) {
        runEventLoopFor(kFileMs);
        const int active = recordingLogger(window);
        if (active < 0)
            break;
        QElapsedTimer spent;
        spent.start();
        window.Tavrel_IntervalReached(active);
        chain.changeMs.push_back(spent.nsecsElapsed() / 1e6);
        const int now = recordingLogger(window);
        if (now < 0)
            break;
        chain.files << window.Tavrel(now)->FileName();
    }
    runEventLoopFor(kFileMs);
    window.StopLoggers();
    window.closeWithoutAsking();
    return chain;
}

// Prints every join and a summary; false when a file could not be read.
bool report(const char* format, const Chain& chain) {
    std::vector<joincheck::Recording> files;
    for (const QString& path : chain.files) {
        files.push_back(joincheck::read(path));
        if (!files.back().error.isEmpty()) {
            std::printf("  %s\n", qPrintable(files.back().error));
            return false;
        }
    }
    std::vector<double> gaps;
    int irregular = files.front().irregularTicks;
    for (std::size_t i = 1; i < files.size(); ++i) {
        const double gap = joincheck::gapBetween(files[i - 1], files[i]);
        gaps.push_back(gap);
        irregular += files[i].irregularTicks;
        std::printf(
            "  %s join %2zu: %s %5.1f ms  (window busy %4.0f ms; files of %.2f s, %.2f s)\n",
            format, i, gap > 0 ? "lost    " : "repeated", std::abs(gap) * 1000,
            chain.changeMs[i - 1], files[i - 1].seconds(), files[i].seconds());
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i].irregularTicks > 0)
            std::printf(
                "  %s file %zu: %d ticks missing or out of place, the first %.3f s into %.3f s\n",
                format, i, files[i].irregularTicks, files[i].firstIrregular, files[i].seconds());
    }
    if (gaps.empty())
        return false;
    std::vector<double> sorted = gaps;
    std::sort(sorted.begin(), sorted.end());
    const double worstLoss = std::max(0.0, sorted.back());
    const double mostRepeated = std::max(0.0, -sorted.front());
    std::printf("%s: %zu joins; median %+.1f ms (+ lost, - repeated); worst loss %.1f ms "
                "(target at most 20 ms); most repeated %.1f ms (target under 500 ms); %d ticks "
                "missing or out of place inside the files\n",
                format, gaps.size(), sorted[sorted.size() / 2] * 1000, worstLoss * 1000,
                mostRepeated * 1000, irregular);
    return true;
}

double peakResidentMegabytes() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
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
    const SoundServer server(home.filePath("pulse"));
    QApplication app(argc, argv);
    platform::Settings::setApplicationName("veltrax");

    const std::optional<media::FilterItem> device = ticksDevice();
    if (!device) {
        std::printf("no capture device \"%s\": the sound server lacks the tick signal of "
                    "scripts/pulse-harness\n",
                    qPrintable(joincheck::kTicksDevice));
        return 1;
    }
    media::DeviceEnumerator::overrideCaptureDevices(QList<media::FilterItem>{*device});
    platform::Settings::saveString("Settings", "CaptureDeviceName", joincheck::kTicksDevice);

    bool measured = false;
    for (const auto& [format, name] : {std::pair{0, "WMA"}, std::pair{1, "MP3"}}) {
        std::printf("%s: %d file changes, %.1f s apart, recording %s…\n", name, kChanges,
                    kFileMs / 1000.0, qPrintable(joincheck::kTicksDevice));
        std::fflush(stdout);
        const Chain chain = recordChain(format, home.filePath(QStringLiteral("audio-") + name));
        if (chain.files.size() < 2) {
            std::printf("%s: recording did not start or change files; not measured\n", name);
            continue;
        }
        measured = report(name, chain) || measured;
        std::fflush(stdout);
    }
    std::printf("peak resident memory while recording: %.1f MB (target under 100 MB)\n",
                peakResidentMegabytes());
    return measured ? 0 : 1;
}
