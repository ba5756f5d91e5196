// Until the main window lands, the program demonstrates the media layer: it records a few
// seconds from the first capture device into the recordings folder.
#include "media/AsfWriter.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterGraph.h"
#include "media/FilterRegistry.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

using namespace media;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QList<FilterItem> devices = DeviceEnumerator::audioCaptureDevices();
    if (devices.isEmpty()) {
        std::fprintf(stderr, "No Audio Input devices found.\n");
        return 1;
    }
    FilterItem device = devices.first();
    for (const FilterItem& item : devices) {
        if (argc > 1 && item.name() == QString::fromLocal8Bit(argv[1]))
            device = item;
    }
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::MusicLocation) + "/LoggedAudio/";
    QDir().mkpath(folder);
    const QString path = folder + "Demonstration.wma";

    FilterGraph graph;
    FilterPtr capture, grabber, writer;
    device.createIn(graph, capture);
    const auto filters = FilterRegistry::instance().registeredFilters();
    filters.item(QStringLiteral("SampleGrabber"))->createIn(graph, grabber);
    filters.item(QStringLiteral("WM ASF Writer"))->createIn(graph, writer);
    graph.connect(capture->findPin(PinDirection::Output, false), grabber->findPin("Input"));
    graph.connect(grabber->findPin("Output"), writer->findPin(AsfWriter::kInputPinName));
    writer->setFileName(path);
    std::printf("Recording 5 s from \"%s\" into %s\n", qPrintable(device.name()), qPrintable(path));
    if (FAILED(graph.run())) {
        std::fprintf(stderr, "The recording could not start: %s\n", qPrintable(graph.lastError()));
        return 1;
    }
    QTimer::singleShot(5000, &app, [&] {
        graph.stop();
        app.quit();
    });
    return app.exec();
}
