// CPU cost of one LED meter fed 1000 levels a second, shown and repainting on the offscreen
// platform, as a share of one core. The same event loop without level updates runs first, so
// the meter's own share can be told apart from the timer's.
//
// Usage: bench_meter [seconds per run, default 5]

#include "meter/Indicator.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int kUpdatesPerSecond = 1000;
constexpr double kTargetPercent = 5.0;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A level that moves like programme audio: a slow envelope with fast jitter, converted to the
// meter's scale as the main window does (3 × the peak raised by 1 dB).
int levelAt(qint64 n) {
    static quint32 noise = 12345;
    noise = noise * 1664525u + 1013904223u;
    const double envelope = 0.5 + 0.45 * std::sin(double(n) * 0.004);
    const double jitter = 0.8 + 0.2 * double(noise >> 16) / 65535.0;
    const double peak = 32768.0 * envelope * jitter;
    return 3 * int(std::lround(peak * 1.12202));
}

// The meter, counting its repaints.
class CountedMeter : public meter::Indicator {
public:
    qint64 paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        Indicator::paintEvent(event);
    }
};

struct RunResult {
    qint64 updates = 0;
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
    double percent() const { return 100.0 * cpuSeconds / wallSeconds; }
};

// Runs the event loop for `seconds`, calling `update(n)` 1000 times a second on average.
RunResult runFor(int seconds, const std::function<void(qint64)>& update) {
    RunResult result;
    QElapsedTimer wall;
    QEventLoop loop; // QCoreApplication::quit() would close the meter's window
    QTimer pump;
    pump.setTimerType(Qt::PreciseTimer);
    pump.setInterval(1);
    QObject::connect(&pump, &QTimer::timeout, [&] {
        const qint64 due = wall.elapsed() * kUpdatesPerSecond / 1000;
        while (result.updates < due)
            update(result.updates++);
        if (wall.elapsed() >= seconds * 1000LL)
            loop.quit();
    });
    const double cpuBefore = cpuSeconds();
    wall.start();
    pump.start();
    loop.exec();
    result.wallSeconds = double(wall.elapsed()) / 1000.0;
    result.cpuSeconds = cpuSeconds() - cpuBefore;
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    CountedMeter meter;
    meter.resize(400, 16);
    meter.show();

    const RunResult idle = runFor(seconds, [](qint64) {});
    const RunResult fed = runFor(seconds, [&](qint64 n) { meter.setValue(levelAt(n)); });

    std::printf("meter: %lld value updates in %.2f s (%.0f/s), %.0f repaints/s\n",
                static_cast<long long>(fed.updates), fed.wallSeconds,
                double(fed.updates) / fed.wallSeconds, double(meter.paints) / fed.wallSeconds);
    std::printf("event loop alone:      %.2f %% of one core\n", idle.percent());
    std::printf("with the meter fed:    %.2f %% of one core\n", fed.percent());
    std::printf("meter's own share:     %.2f %% of one core\n", fed.percent() - idle.percent());
    std::printf("target: under %.0f %% of one core -> %s\n", kTargetPercent,
                fed.percent() < kTargetPercent ? "met" : "NOT met");
    return 0;
}
