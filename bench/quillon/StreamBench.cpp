// 50 listeners on loopback for 30 s: every one must receive audio that decodes, and the CPU this
// process spends per listener is printed (process CPU with the listeners minus with none, over
// the same time, divided by their number). The listeners are ffmpeg processes, so their own
// decoding is not counted. Arguments: [listeners] [seconds].
#include "TestGraphs.h"

#include "media/AsfWriter.h"
#include "media/DeviceEnumerator.h"
#include "media/NetworkSink.h"
#include "media/WmaProfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <list>
#include <thread>
#include <time.h>

using namespace media;

namespace {

// What each listener decodes to: 8 kHz mono, 16 bits.
constexpr double kDecodedBytesPerSecond = 8000 * 2;

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// The process CPU spent while `seconds` go by.
double cpuOver(double seconds) {
    const double before = processCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return processCpuSeconds() - before;
}

FilterItem liveTestTone() {
    for (const FilterItem& item : DeviceEnumerator::testSources()) {
        if (item.name() == DeviceEnumerator::kTestTone)
            return item;
    }
    return {};
}

QProcess* startListener(std::list<QProcess>& listeners, int port, double seconds,
                        const QString& output) {
    QProcess& process = listeners.emplace_back();
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("ffmpeg"),
                  {"-v", "error", "-nostdin", "-rw_timeout", "10000000", "-i",
                   QStringLiteral("http://127.0.0.1:%1/").arg(port), "-t", QString::number(seconds),
                   "-ac", "1", "-ar", "8000", "-f", "s16le", "-y", output});
    return &process;
}

bool waitForClients(const NetworkSink& sink, int count) {
    for (int i = 0; i < 300 && sink.clientCount() < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return sink.clientCount() >= count;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 50;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 30.0;
    QTemporaryDir dir;

    const WmaProfile& profile = WmaProfile::all().last(); // the highest rate streams the most
    CaptureChain chain =
        TestGraphs::captureToWma(liveTestTone(), dir.filePath("recording.wma"), profile.id);
    auto sink = std::make_shared<NetworkSink>();
    int port = 0;
    if (FAILED(chain.result) || FAILED(sink->open(port)) ||
        FAILED(sink->setMaximumClients(count)) ||
        FAILED(std::static_pointer_cast<AsfWriter>(chain.writer)->addSink(sink)) ||
        FAILED(chain.graph->run())) {
        std::fprintf(stderr, "cannot set up the streaming recording\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double idle = cpuOver(seconds);

    std::list<QProcess> listeners;
    for (int i = 0; i < count; ++i)
        startListener(listeners, port, seconds + 5, dir.filePath(QStringLiteral("%1.raw").arg(i)));
    const bool allJoined = waitForClients(*sink, count);
    const double busy = cpuOver(seconds);
    for (QProcess& process : listeners)
        process.waitForFinished(60000);
    chain.graph->stop();

    int decodable = 0;
    for (int i = 0; i < count; ++i) {
        const qint64 bytes = QFileInfo(dir.filePath(QStringLiteral("%1.raw").arg(i))).size();
        if (bytes / kDecodedBytesPerSecond >= seconds)
            ++decodable;
    }
    const double perListener = (busy - idle) / count;
    std::printf("%d listeners on loopback for %.0f s, %s\n", count, seconds,
                qPrintable(profile.description));
    std::printf("  all joined at once:        %s\n", allJoined ? "yes" : "no");
    std::printf("  decodable audio received:  %d of %d listeners (target: all)\n", decodable,
                count);
    std::printf("  process CPU, no listeners: %.3f s (%.2f%% of a core)\n", idle,
                100 * idle / seconds);
    std::printf("  process CPU, %d listeners: %.3f s (%.2f%% of a core)\n", count, busy,
                100 * busy / seconds);
    std::printf("  overhead per listener:     %.4f s CPU (%.3f%% of a core)\n", perListener,
                100 * perListener / seconds);
    return decodable == count ? 0 : 2;
}
