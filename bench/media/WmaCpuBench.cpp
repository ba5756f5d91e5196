// CPU time to encode 60 s of audio to WMA at 96 kbit/s through the media layer, against the
// same work done by a plain gst-launch-1.0 pipeline, and the peak memory of this process.
#include "TestGraphs.h"

#include "media/WmaProfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr double kSeconds = 60.0;

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double throughLayer(const QString& path) {
    const double before = cpuSeconds(RUSAGE_SELF);
    CaptureChain chain = TestGraphs::captureToWma(TestGraphs::fastTone(kSeconds), path,
                                                  media::WmaProfile::all()[5].id);
    chain.graph->setNoClock(true);
    chain.graph->run();
    TestGraphs::waitForCompletion(*chain.graph, 120000);
    chain.graph->stop();
    return cpuSeconds(RUSAGE_SELF) - before;
}

double gstLaunch(const QStringList& pipeline) {
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    QProcess process;
    process.start(QStringLiteral("gst-launch-1.0"), QStringList{"-q"} + pipeline);
    process.waitForFinished(120000);
    if (process.exitCode() != 0)
        std::fprintf(stderr, "gst-launch-1.0 failed: %s\n", process.readAll().constData());
    return cpuSeconds(RUSAGE_CHILDREN) - before;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const int buffers = static_cast<int>(kSeconds * 100);
    const QString equivalent =
        QStringLiteral("audiotestsrc wave=sine freq=1000 volume=0.5 samplesperbuffer=441 "
                       "num-buffers=%1 ! audio/x-raw,format=S16LE,rate=44100,channels=2 ! "
                       "capsfilter caps=audio/x-raw,format=S16LE,layout=interleaved ! "
                       "audioconvert ! audioresample ! audio/x-raw,rate=44100,channels=2 ! "
                       "avenc_wmav2 bitrate=96000 ! tee ! identity ! asfmux packet-size=4800 ! "
                       "filesink buffer-mode=unbuffered location=%2")
            .arg(buffers)
            .arg(dir.filePath("launch.wma"));
    // Start-up of gst-launch itself (registry, plugin loading), which the layer pays only once.
    const double startup = gstLaunch(QStringLiteral("fakesrc num-buffers=1 ! fakesink").split(' '));

    throughLayer(dir.filePath("warm.wma")); // loads the plugins once
    double layer = 0, launch = 0;
    const int rounds = 3;
    for (int i = 0; i < rounds; ++i) {
        layer += throughLayer(dir.filePath("layer.wma"));
        launch += gstLaunch(equivalent.split(' ')) - startup;
    }
    layer /= rounds;
    launch /= rounds;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("60 s of WMA at 96 kbit/s, mean of %d runs\n", rounds);
    std::printf("  media layer:    %.3f s CPU\n", layer);
    std::printf("  gst-launch-1.0: %.3f s CPU (start-up of %.3f s taken off)\n", launch, startup);
    std::printf("  ratio:          %.3f (target at most 1.10)\n", layer / launch);
    std::printf("  peak RSS:       %.1f MB\n", usage.ru_maxrss / 1024.0);
    std::printf("  files:          %lld bytes (layer), %lld bytes (gst-launch-1.0)\n",
                QFileInfo(dir.filePath("layer.wma")).size(),
                QFileInfo(dir.filePath("launch.wma")).size());
    return 0;
}
