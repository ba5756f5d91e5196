// What the graph assistant costs: the intake per 16-bit value on the streaming thread (plain, and
// while a file is scanned for its cue-in or segue), and the share of one core the peak thread
// takes while a live source is recorded to WMA.
#include "TestGraphs.h"
#include "media/DeviceEnumerator.h"
#include "nexuvo/Assist.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace nexuvo;

namespace {

constexpr int kValuesPerSecond = 88200; // 44.1 kHz stereo
constexpr int kRepeats = 2000;          // of one second of audio
constexpr int kRecordMs = 10000;
constexpr double kIntakeTargetNs = 5.0;
constexpr long kNeverLoudEnough = 40000;
constexpr double kPeakThreadTargetPercent = 0.5;

std::vector<std::uint8_t> oneSecondOfTone() {
    std::vector<std::uint8_t> bytes(kValuesPerSecond * 2);
    for (int i = 0; i < kValuesPerSecond; ++i) {
        const auto value = static_cast<std::int16_t>(16000 * std::sin(i * 0.0712));
        bytes[2 * i] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    return bytes;
}

enum class Scan { None, CueIn, Segue };

// Through the grabber callback, as the streaming thread calls it. While a file is scanned every
// value is shown to the cue-in test (a level it never reaches here) or to the segue test.
double intakeNsPerValue(Scan scan) {
    Assist assist;
    PeakTap& tap = assist.tap();
    tap.prepareRing(2 * kValuesPerSecond);
    tap.setIntakeDisabled(false);
    tap.scan().setFileScan(scan == Scan::CueIn);
    tap.scan().setAutoCueThreshold(kNeverLoudEnough);
    tap.scan().setSegueSeeking(scan == Scan::Segue);
    const std::vector<std::uint8_t> bytes = oneSecondOfTone();
    media::MediaSample sample;
    sample.data = bytes.data();
    sample.actualLength = static_cast<long>(bytes.size());
    sample.timeValid = true;

    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRepeats; ++i)
        tap.sampleCB(i, sample);
    const std::chrono::duration<double, std::nano> spent = std::chrono::steady_clock::now() - start;
    return spent.count() / (static_cast<double>(kRepeats) * kValuesPerSecond);
}

media::FilterItem liveTestTone() {
    for (const media::FilterItem& item : media::DeviceEnumerator::testSources()) {
        if (item.name() == media::DeviceEnumerator::kTestTone)
            return item;
    }
    return {};
}

// Percent of one core the peak thread uses over a recording with the engine's 50 ms period.
double peakThreadPercent(int& events) {
    QTemporaryDir dir;
    CaptureChain chain = TestGraphs::captureToWma(liveTestTone(), dir.filePath("bench.wma"));
    Assist assist;
    QObject::connect(&assist, &Assist::ThreadEvent, [&] { ++events; });
    assist.putref_CurrentGraph(chain.graph.get());
    assist.put_ThreadSleepmS(50);
    chain.graph->run();
    assist.RunGraph();

    const long long cpuBefore = assist.tap().threadCpuTimeNs();
    const auto start = std::chrono::steady_clock::now();
    QEventLoop loop;
    QTimer::singleShot(kRecordMs, &loop, &QEventLoop::quit);
    loop.exec();
    const long long cpuAfter = assist.tap().threadCpuTimeNs();
    const std::chrono::duration<double, std::nano> wall = std::chrono::steady_clock::now() - start;

    chain.graph->stop();
    assist.StopGraph();
    return 100.0 * static_cast<double>(cpuAfter - cpuBefore) / wall.count();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);

    const std::pair<Scan, const char*> scans[] = {{Scan::None, "intake"},
                                                  {Scan::CueIn, "intake, file scan for the cue-in"},
                                                  {Scan::Segue, "intake, file scan for the segue"}};
    for (const auto& [scan, what] : scans) {
        const double intake = intakeNsPerValue(scan);
        std::printf("%s: %.2f ns per 16-bit value (%d s of 44.1 kHz stereo, %d times); "
                    "%.3f%% of one core in real time; target < %.1f ns\n",
                    what, intake, 1, kRepeats, intake * kValuesPerSecond / 1e7, kIntakeTargetNs);
    }

    int events = 0;
    const double share = peakThreadPercent(events);
    std::printf("peak thread: %.3f%% of one core while recording %d s (50 ms period, %d "
                "ThreadEvents); target < %.1f%%\n",
                share, kRecordMs / 1000, events, kPeakThreadTargetPercent);
    return 0;
}
