// Records a capture device into a WMA file (an MP3 file when the path ends in .mp3) until the
// process is killed. Used by the test that kills a recording:
// "veltrax_record_tool <device name> <path>". Prints "recording" once running.
#include "TestGraphs.h"

#include "media/DeviceEnumerator.h"

#include <QCoreApplication>
#include <cstdio>

using namespace media;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <device name> <path>\n", argv[0]);
        return 2;
    }
    const QString wanted = QString::fromLocal8Bit(argv[1]);
    for (const FilterItem& device : DeviceEnumerator::audioCaptureDevices()) {
        if (device.name() != wanted)
            continue;
        const QString path = QString::fromLocal8Bit(argv[2]);
        CaptureChain chain = path.endsWith(QLatin1String(".mp3"))
                                 ? TestGraphs::captureToMp3(device, path)
                                 : TestGraphs::captureToWma(device, path);
        if (FAILED(chain.result) || FAILED(chain.graph->run())) {
            std::fprintf(stderr, "cannot record: %s\n", qPrintable(chain.graph->lastError()));
            return 1;
        }
        std::printf("recording\n");
        std::fflush(stdout);
        return app.exec();
    }
    std::fprintf(stderr, "no device \"%s\"\n", argv[1]);
    return 1;
}
