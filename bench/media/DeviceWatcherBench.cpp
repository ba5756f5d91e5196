// What a fresh start of the device watcher costs (it starts afresh when the sound server
// restarted, and every minute when the server has no local socket): runs RENEWALS of them (2000
// unless set) on the sound server named by PULSE_SERVER and prints the time per renewal and the
// growth of resident memory and of open descriptors after a warm-up. PulseAudio's provider keeps
// about 90 bytes per start; the target is at most 2 MB over the run and no descriptor kept.
#include "ProcessFigures.h"
#include "media/DeviceWatcher.h"
#include "media/MediaSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <ctime>

using ProcessFigures::openDescriptors;
using ProcessFigures::residentKb;

namespace {

constexpr int kWarmUp = 50;
constexpr int kRenewals = 2000;
const int kRenewalsRun = qEnvironmentVariableIntValue("RENEWALS") > 0
                             ? qEnvironmentVariableIntValue("RENEWALS")
                             : kRenewals;

double processSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        std::printf("set PULSE_SERVER to a sound server (scripts/pulse-harness start <dir>)\n");
        return 1;
    }
    media::MediaSystem::ensureInitialised();
    media::DeviceWatcher watcher;
    if (!watcher.start()) {
        std::printf("no device provider could start\n");
        return 1;
    }
    for (int i = 0; i < kWarmUp; ++i)
        watcher.renew();
    const long startKb = residentKb();
    const int startFds = openDescriptors();
    const double startCpu = processSeconds();
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < kRenewalsRun; ++i) {
        watcher.renew();
        QCoreApplication::processEvents();
    }
    const double cpuMs = (processSeconds() - startCpu) * 1000 / kRenewalsRun;
    const double wallMs = double(wall.elapsed()) / kRenewalsRun;
    const long endKb = residentKb();
    const int endFds = openDescriptors();
    std::printf("devices listed: %lld\n",
                static_cast<long long>(watcher.captureDeviceNames().size()));
    std::printf("one renewal: %.2f ms of processor time, %.2f ms of wall time; once a minute (a "
                "server without a local socket) that is %.5f %% of a core\n",
                cpuMs, wallMs, cpuMs / 60000 * 100);
    std::printf("resident memory over %d renewals: %ld kB -> %ld kB, %+ld kB (target: at most "
                "2048 kB)\n",
                kRenewalsRun, startKb, endKb, endKb - startKb);
    std::printf("open descriptors: %d -> %d (target: no change)\n", startFds, endFds);
    return 0;
}
