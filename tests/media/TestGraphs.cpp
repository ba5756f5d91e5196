#include "TestGraphs.h"

#include "media/AsfWriter.h"
#include "media/CaptureSource.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <gst/gst.h>

using namespace media;
using namespace ResultCode;

namespace TestGraphs {

CaptureChain captureToWma(const FilterItem& source, const QString& path, const QUuid& profile) {
    CaptureChain chain;
    chain.graph = std::make_unique<FilterGraph>();
    FilterGraph& graph = *chain.graph;
    const auto filters = FilterRegistry::instance().registeredFilters();
    if (FAILED(source.createIn(graph, chain.source)) ||
        FAILED(filters.item(QStringLiteral("SampleGrabber"))->createIn(graph, chain.grabber)) ||
        FAILED(filters.item(QStringLiteral("WM ASF Writer"))->createIn(graph, chain.writer)))
        return chain;
    if (!profile.isNull()) {
        chain.result = std::static_pointer_cast<AsfWriter>(chain.writer)
                           ->configureFilterUsingProfileGuid(profile);
        if (FAILED(chain.result))
            return chain;
    }
    chain.result = graph.connectDirect(chain.source->findPin(PinDirection::Output, false),
                                       chain.grabber->findPin(QStringLiteral("Input")));
    if (SUCCEEDED(chain.result))
        chain.result = graph.connectDirect(chain.grabber->findPin(QStringLiteral("Output")),
                                           chain.writer->findPin(AsfWriter::kInputPinName));
    if (SUCCEEDED(chain.result))
        chain.result = chain.writer->setFileName(path);
    return chain;
}

CaptureChain captureToMp3(const FilterItem& source, const QString& path) {
    CaptureChain chain;
    chain.graph = std::make_unique<FilterGraph>();
    FilterGraph& graph = *chain.graph;
    const auto filters = FilterRegistry::instance().registeredFilters();
    const FilterItem* lame = filters.item(QStringLiteral("Lame MPEG Layer III Audio Encoder2"));
    if (!lame || FAILED(source.createIn(graph, chain.source)) ||
        FAILED(lame->createIn(graph, chain.grabber)) ||
        FAILED(filters.item(QStringLiteral("DUMP"))->createIn(graph, chain.writer)))
        return chain;
    if (GstElement* encoder = gst_bin_get_by_name(GST_BIN(chain.grabber->element()), "encoder")) {
        g_object_set(encoder, "target", 1 /* bit rate */, "cbr", FALSE, "bitrate", 160, nullptr);
        gst_object_unref(encoder);
    }
    chain.result = graph.connectDirect(chain.source->findPin(PinDirection::Output, false),
                                       chain.grabber->findPin(PinDirection::Input, false));
    if (SUCCEEDED(chain.result))
        chain.result = graph.connectDirect(chain.grabber->findPin(PinDirection::Output, false),
                                           chain.writer->findPin(PinDirection::Input, false));
    if (SUCCEEDED(chain.result))
        chain.result = chain.writer->setFileName(path);
    return chain;
}

FilterItem fastTone(double seconds, double volume, int rate, int channels) {
    const int perBuffer = rate / 100;
    const int buffers = static_cast<int>(seconds * 100);
    const QString description =
        QStringLiteral(
            "audiotestsrc wave=sine freq=1000 volume=%1 samplesperbuffer=%2 "
            "num-buffers=%3 ! capsfilter caps=audio/x-raw,format=S16LE,rate=%4,channels=%5")
            .arg(volume)
            .arg(perBuffer)
            .arg(buffers)
            .arg(rate)
            .arg(channels);
    return FilterItem(QStringLiteral("Fast Tone"), [description] {
        return FilterPtr(Filter::fromDescription(description, {}, QStringLiteral("Capture")));
    });
}

FilterItem liveTestTone() {
    for (const FilterItem& item : DeviceEnumerator::testSources()) {
        if (item.name() == DeviceEnumerator::kTestTone)
            return item;
    }
    return {};
}

std::optional<FilterItem> harnessDevice() {
    for (const FilterItem& item : DeviceEnumerator::audioCaptureDevices()) {
        if (item.name() == QLatin1String("Monitor of VeltraxTest"))
            return item;
    }
    return std::nullopt;
}

bool waitForCompletion(FilterGraph& graph, int timeoutMs) {
    QEventLoop loop;
    bool complete = false;
    QObject::connect(&graph, &FilterGraph::eventQueued, &loop, [&] {
        GraphEventRecord event;
        while (graph.getEvent(event)) {
            if (event.code == GraphEvent::Complete || event.code == GraphEvent::ErrorAbort) {
                complete = event.code == GraphEvent::Complete;
                loop.quit();
            }
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return complete;
}

} // namespace TestGraphs
