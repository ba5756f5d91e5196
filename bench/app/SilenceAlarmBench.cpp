// What watching for silence costs while recording: the window's peak handler with the alarm on
// and off, and the alarm's own once-a-quarter-second look, against the rate the loggers deliver
// peaks (about ten pairs a second). Records the program's test tone; needs no sound server.
#include "app/SilenceAlarm.h"
#include "app/frmMain.h"
#include "logger/Tavlo.h"
#include "media/DeviceEnumerator.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kPeaks = 2000000;
constexpr double kPeaksPerSecond = 10;
constexpr double kLooksPerSecond = 4;

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// Nanoseconds of this thread's time per peak pair handed to the window.
double handlerNanoseconds(frmMain& window, int index) {
    const double start = threadSeconds();
    for (int i = 0; i < kPeaks; ++i)
        window.Tavrel_AudioPeaks(index, 3000 + (i & 7), 2000);
    return (threadSeconds() - start) / kPeaks * 1e9;
}

double lookNanoseconds() {
    SilenceAlarm alarm;
    alarm.start(0);
    const double start = threadSeconds();
    int changes = 0;
    for (int i = 0; i < kPeaks; ++i)
        changes += alarm.check(i % 1000) != SilenceAlarm::Change::None;
    const double nanoseconds = (threadSeconds() - start) / kPeaks * 1e9;
    return changes == 0 ? nanoseconds : -1;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VELTRAX_TEST_SOURCES", "1");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath("config")));
    QApplication app(argc, argv);
    platform::Settings::setApplicationName("veltrax");
    platform::Settings::saveString("Settings", "AudioPath", home.filePath("audio"));
    platform::Settings::saveString("Settings", "CaptureDeviceName",
                                   media::DeviceEnumerator::kTestTone);
    frmMain window;
    window.Form_Activate();
    window.cmdRecord_Click();
    const int index = window.Tavrel(0)->RecordState() == 2 ? 0 : 1;
    if (window.Tavrel(index)->RecordState() != 2) {
        std::printf("recording did not start\n");
        return 1;
    }
    window.setSilenceThreshold(SilenceAlarm::kOffThreshold);
    const double off = handlerNanoseconds(window, index);
    window.setSilenceThreshold(SilenceAlarm::kDefaultThreshold);
    const double on = handlerNanoseconds(window, index);
    const double look = lookNanoseconds();
    window.StopLoggers();
    window.closeWithoutAsking();

    const double perSecond = (on - off) * kPeaksPerSecond + look * kLooksPerSecond;
    std::printf("peak handler, alarm off: %.1f ns per pair\n", off);
    std::printf("peak handler, alarm on:  %.1f ns per pair\n", on);
    std::printf("alarm's look at time:    %.1f ns\n", look);
    std::printf(
        "cost of the alarm: %.0f ns per second = %.6f %% of a core (target: at most 0.5 %%)\n",
        perSecond, perSecond / 1e7);
    return 0;
}
