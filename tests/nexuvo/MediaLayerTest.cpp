// What the assistant asks of the media layer: the container splitters a client puts in front of
// a decoder, a grabber that lets go of its pad, and a graph that answers its bus.
#include "AudioFiles.h"
#include "GraphTestSupport.h"
#include "TestGraphs.h"
#include "media/FilterGraph.h"
#include "media/SampleGrabber.h"
#include "nexuvo/Assist.h"
#include "nexuvo/PinVariant.h"

#include <QTemporaryDir>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace GraphTestSupport;
using namespace media;
using namespace nexuvo;
using namespace ResultCode;

namespace {

constexpr double kBytesPerSecond = 44100.0 * 4;

class ByteCounter : public SampleGrabberCallback {
public:
    HRESULT sampleCB(double, const MediaSample& sample) override {
        bytes += sample.actualLength;
        return S_OK;
    }
    std::atomic<long long> bytes{0};
};

GstElement* innerElement(const FilterPtr& filter, const char* name) {
    GstElement* element = gst_bin_get_by_name(GST_BIN(filter->element()), name);
    gst_object_unref(element); // the bin keeps it
    return element;
}

int probesOn(GstPad* pad) {
    GST_OBJECT_LOCK(pad);
    const int count = pad->num_probes;
    GST_OBJECT_UNLOCK(pad);
    return count;
}

} // namespace

// file → splitter → (decoder) → SampleGrabber → a renderer that takes decoded audio only.
TEST(MediaLayer, WmaPlaysThroughTheAsfReaderAndOggVorbisThroughTheOggSplitterToTheEnd) {
    QTemporaryDir dir;
    const QString wma = dir.filePath("tone.wma");
    const QString ogg = dir.filePath("tone.ogg");
    ASSERT_TRUE(AudioFiles::writeWmaTone(wma, 2.0));
    ASSERT_TRUE(AudioFiles::write(ogg, AudioFiles::silenceThenTone(0.5, 1.5), AudioFiles::kOgg));

    const std::pair<QString, FileType> files[] = {{wma, FileTypeWma},
                                                  {ogg, FileTypeOggWithWavHeader}};
    for (const auto& [file, offered] : files) {
        SCOPED_TRACE(qPrintable(file));
        FilterGraph graph;
        Assist a;
        FilterPtr source, splitter, grabber, renderer;
        ASSERT_EQ(graph.addSourceFilter(file, file, source), S_OK);
        if (file == wma) {
            ASSERT_EQ(a.put_AddWMReader(&graph), S_OK);
            splitter = graph.findFilterByName(Assist::kWmReaderName);
        } else {
            registered(Assist::kOggSplitterName).createIn(graph, splitter);
        }
        ASSERT_NE(splitter, nullptr);
        registered("SampleGrabber").createIn(graph, grabber);
        registered("Orvik Virtual Render").createIn(graph, renderer);

        ASSERT_EQ(graph.connectDirect(source->findPin("Output"), splitter->findPin("Stream")),
                  S_OK);
        const Pin audio = splitter->findPin("Audio");
        EXPECT_EQ(a.GetPinMediaType(QVariant::fromValue(audio)), offered);
        ASSERT_EQ(graph.connect(audio, grabber->findPin("Input")), S_OK); // through a decoder
        ASSERT_EQ(graph.connectDirect(grabber->findPin("Output"), renderer->findPin("In")), S_OK);
        ByteCounter counter;
        static_cast<SampleGrabber*>(grabber.get())->setCallback(&counter, 0);

        graph.setNoClock(true);
        ASSERT_TRUE(SUCCEEDED(graph.run())) << qPrintable(graph.lastError());
        ASSERT_TRUE(TestGraphs::waitForCompletion(graph)) << qPrintable(graph.lastError());
        double duration = 0.0;
        EXPECT_EQ(graph.duration(duration), S_OK);
        graph.stop();
        EXPECT_NEAR(duration, 2.0, 0.1);
        EXPECT_NEAR(counter.bytes / kBytesPerSecond, 2.0, 0.1);
    }
}

// The grabber's element can outlive it in whatever still holds the element.
TEST(MediaLayer, ADestroyedGrabberLeavesNoProbeOnItsPad) {
    GstPad* pad = nullptr;
    {
        const FilterPtr grabber = registered("SampleGrabber").create();
        ASSERT_NE(grabber, nullptr);
        pad = gst_element_get_static_pad(innerElement(grabber, "accept"), "src");
        EXPECT_EQ(probesOn(pad), 1);
    }
    EXPECT_EQ(probesOn(pad), 0);
    gst_object_unref(pad);
}

// A lost clock is replaced by pausing the running graph and playing it again, which starts it
// on a new base time; a latency message has the latency measured again.
TEST(MediaLayer, ARunningGraphAnswersALostClockAndAChangedLatency) {
    TestChain c = straight(TestGraphs::fastTone(30.0), registered("Null Renderer"));
    GstElement* pipeline = c.graph->pipeline();
    GstElement* sink = innerElement(c.renderer, "sink");
    ASSERT_TRUE(SUCCEEDED(c.graph->run())) << qPrintable(c.graph->lastError());

    std::atomic<int> latencyRuns{0};
    const auto countRun = +[](GstBin*, gpointer runs) -> gboolean {
        ++*static_cast<std::atomic<int>*>(runs);
        return TRUE;
    };
    g_signal_connect(pipeline, "do-latency", G_CALLBACK(countRun), &latencyRuns);
    gst_element_post_message(sink, gst_message_new_latency(GST_OBJECT(sink)));
    EXPECT_TRUE(runUntil([&] { return latencyRuns > 0; }, 5000));

    // As the bus gets it from a sound card's element that provided the clock.
    const GstClockTime baseTime = gst_element_get_base_time(pipeline);
    GstClock* clock = gst_pipeline_get_clock(GST_PIPELINE(pipeline));
    GstBus* bus = gst_element_get_bus(pipeline);
    gst_bus_post(bus, gst_message_new_clock_lost(GST_OBJECT(sink), clock));
    gst_object_unref(bus);
    gst_object_unref(clock);
    EXPECT_TRUE(runUntil(
        [&] {
            GstState state = GST_STATE_NULL;
            gst_element_get_state(pipeline, &state, nullptr, 0);
            return state == GST_STATE_PLAYING && gst_element_get_base_time(pipeline) > baseTime;
        },
        5000));
    c.graph->stop();
}
