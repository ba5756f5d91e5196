// Attaching splices the grabber (and the pitch shifter) in front of the audio renderer; the
// small graph utilities.
#include "GraphTestSupport.h"
#include "TestGraphs.h"
#include "media/CaptureSource.h"
#include "media/DeviceEnumerator.h"
#include "nexuvo/Assist.h"
#include "nexuvo/AudioRendererFinder.h"
#include "nexuvo/PinVariant.h"
#include "nexuvo/PitchShifter.h"
#include "nexuvo/RendererEnumerator.h"
#include "nexuvo/VBCol.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace GraphTestSupport;
using namespace media;
using namespace nexuvo;
using namespace ResultCode;

namespace {

QString upstreamOf(const Pin& input) {
    const FilterPtr filter = input.connectedTo().filter();
    return filter ? filter->name() : QString();
}

Pin inputOf(const FilterPtr& filter) {
    return filter->findPin(PinDirection::Input, true);
}

GstElement* inner(const FilterPtr& filter, const char* name) {
    GstElement* element = gst_bin_get_by_name(GST_BIN(filter->element()), name);
    gst_object_unref(element); // the bin keeps it
    return element;
}

} // namespace

TEST(GraphControl, AttachingSplicesAGrabberInFrontOfTheAudioRenderer) {
    const FilterItem renderers[] = {soundServerRenderer(),
                                    registered("Default DirectSound Device")};
    for (const FilterItem& renderer : renderers) {
        TestChain c = straight(TestGraphs::fastTone(1.0), renderer);
        Assist a;
        ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK) << qPrintable(renderer.name());
        const FilterPtr grabber = c.graph->findFilterByName("SampleGrabber");
        ASSERT_NE(grabber, nullptr);
        EXPECT_EQ(upstreamOf(inputOf(c.renderer)), "SampleGrabber");
        EXPECT_EQ(upstreamOf(inputOf(grabber)), c.source->name());
        EXPECT_EQ(a.property("SampleRate").toInt(), 44100);
    }
}

TEST(GraphControl, SplicedGrabberMeasuresWhatThePlayerPlays) {
    TestChain c = straight(TestGraphs::fastTone(1.5), soundServerRenderer());
    Assist a;
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    a.put_ThreadSleepmS(50);
    int loud = 0;
    bool ended = false;
    QObject::connect(&a, &Assist::ThreadEvent, [&](int left, int right) {
        if (std::abs(left - 16384) < 330 && std::abs(right - 16384) < 330)
            ++loud;
    });
    QObject::connect(&a, &Assist::EndOfStream, [&] { ended = true; });
    ASSERT_TRUE(SUCCEEDED(c.graph->run())) << qPrintable(c.graph->lastError());
    a.RunGraph();
    ASSERT_TRUE(runUntil([&] { return ended; }));
    EXPECT_GT(loud, 5);
    c.graph->stop();
    a.StopGraph();
}

TEST(GraphControl, FindingTheRendererTellsWhyThereIsNone) {
    TestChain noRenderer = straight(TestGraphs::fastTone(1.0), registered("Null Renderer"));
    FilterPtr loose;
    registered("SampleGrabber").createIn(*noRenderer.graph, loose);
    Assist a;
    EXPECT_EQ(a.putref_CurrentGraph(noRenderer.graph.get()), AudioRendererFinder::kNoAudioFilter);

    // A capture source has a volume but only an output pin: it plays no audio into anything.
    FilterGraph graph;
    FilterPtr capture = CaptureSource::fromDescription("pulsesrc");
    graph.addFilter(capture, "Capture");
    AudioRenderer found;
    EXPECT_EQ(AudioRendererFinder::find(graph, found), E_UNEXPECTED);
    FilterPtr nullRenderer;
    registered("Null Renderer").createIn(graph, nullRenderer);
    EXPECT_EQ(AudioRendererFinder::find(graph, found), E_NOINTERFACE);
}

TEST(GraphControl, PitchAdjusterSitsBeforeTheRendererAndTakesTheSpeed) {
    EXPECT_EQ(PitchShifter::speedValue(1.0), 1000);
    EXPECT_EQ(PitchShifter::speedValue(1.1), 900);
    EXPECT_EQ(PitchShifter::speedValue(0.9), 1100);
    EXPECT_EQ(PitchShifter::speedValue(1.25), 750);
    EXPECT_EQ(PitchShifter::speedValue(1.0004), 999);

    TestChain c = throughGrabber(TestGraphs::fastTone(1.0), soundServerRenderer());
    Assist a;
    a.put_UsePitchAdjuster(-1);
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    const FilterPtr shifter = c.graph->findFilterByName(PitchShifter::kName);
    ASSERT_NE(shifter, nullptr);
    EXPECT_EQ(upstreamOf(inputOf(c.renderer)), PitchShifter::kName);
    EXPECT_EQ(upstreamOf(shifter->findPin("XForm In")), "SampleGrabber");

    ASSERT_EQ(a.put_Pitch(1.25), S_OK);
    EXPECT_EQ(a.pitchValueSent(), 750);
    gfloat tempo = 0;
    g_object_get(inner(shifter, "pitch"), "tempo", &tempo, nullptr);
    EXPECT_NEAR(tempo, 1000.0 / 750.0, 1e-5);
    a.put_Pitch(2.0); // a speed of 0 is not sent
    EXPECT_EQ(a.pitchValueSent(), 750);
    double pitch = 0;
    a.get_Pitch(&pitch);
    EXPECT_EQ(pitch, 2.0);
}

// A graph attached again, with its shifter in place from the first attach, stays as it was and
// plays to its end.
TEST(GraphControl, AttachingAgainLeavesTheShifterInFrontOfAConnectedRenderer) {
    TestChain c = straight(TestGraphs::fastTone(1.0), soundServerRenderer());
    Assist a;
    a.put_UsePitchAdjuster(-1);
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    ASSERT_EQ(a.SetGraph(c.graph.get()), S_OK);
    const FilterPtr shifter = c.graph->findFilterByName(PitchShifter::kName);
    ASSERT_NE(shifter, nullptr);
    EXPECT_EQ(upstreamOf(inputOf(c.renderer)), PitchShifter::kName);
    EXPECT_EQ(upstreamOf(shifter->findPin("XForm In")), "SampleGrabber");
    EXPECT_EQ(c.graph->filters().size(), 4);

    bool ended = false;
    QObject::connect(&a, &Assist::EndOfStream, [&] { ended = true; });
    ASSERT_TRUE(SUCCEEDED(c.graph->run())) << qPrintable(c.graph->lastError());
    a.RunGraph();
    EXPECT_TRUE(runUntil([&] { return ended; }));
    a.StopGraph();
}

TEST(GraphControl, PinAndFilterUtilities) {
    TestChain c = throughGrabber(TestGraphs::fastTone(1.0), registered("Null Renderer"));
    FilterPtr loose;
    registered("Null Renderer").createIn(*c.graph, loose, "Loose");
    Assist a;
    long value = -1;
    EXPECT_EQ(a.get_IsPinConnected(QVariant::fromValue(c.grabber->findPin("Input")), &value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(a.get_IsPinConnected(QVariant::fromValue(loose->findPin("In")), &value), S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(a.get_IsPinConnected(QVariant::fromValue(loose), &value), DISP_E_TYPEMISMATCH);

    EXPECT_EQ(a.RemoveFilter(QVariant(3)), E_NOINTERFACE);
    EXPECT_EQ(a.RemoveFilter(QVariant::fromValue(loose)), S_OK);
    EXPECT_EQ(c.graph->findFilterByName("Loose"), nullptr);
    EXPECT_EQ(a.RemoveFilter(QVariant::fromValue(loose)), E_FAIL); // in no graph now

    QObject notAGraph;
    const QVariant renderer = QVariant::fromValue(c.renderer);
    EXPECT_EQ(a.get_RemoveFilterFromGraph(nullptr, renderer, &value), E_INVALIDARG);
    EXPECT_EQ(a.get_RemoveFilterFromGraph(c.graph.get(), QVariant(), &value), E_INVALIDARG);
    EXPECT_EQ(a.get_RemoveFilterFromGraph(&notAGraph, renderer, &value), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(a.get_RemoveFilterFromGraph(c.graph.get(), renderer, &value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(a.RemoveFilterFromGraph(c.graph.get(), renderer), 0); // gone already
}

TEST(GraphControl, CapturePinGetsAPeriodOf8192Bytes) {
    FilterGraph graph;
    FilterPtr pulse = CaptureSource::fromDescription("pulsesrc");
    FilterPtr tone = TestGraphs::liveTestTone().create();
    graph.addFilter(pulse, "Pulse");
    graph.addFilter(tone, "Tone");
    Assist a;
    ASSERT_EQ(a.SetCapturePinMinBuffer(QVariant::fromValue(pulse->findPin("Capture"))), S_OK);
    gint64 period = 0;
    g_object_get(inner(pulse, "source"), "latency-time", &period, nullptr);
    EXPECT_EQ(period, 8192LL * 1000000 / 176400);
    EXPECT_EQ(a.SetCapturePinMinBuffer(QVariant::fromValue(tone->findPin("Capture"))),
              E_NOINTERFACE);
    EXPECT_EQ(a.SetCapturePinMinBuffer(QVariant(1)), DISP_E_TYPEMISMATCH);
}

TEST(GraphControl, RendererItemsMakeTheirRendererInAGraph) {
    DeviceEnumerator::overrideRenderers(QList<FilterItem>{
        FilterItem("Quiet Device", [] { return registered("Null Renderer").create(); })});
    Assist a;
    a.CountRenderers();
    DeviceEnumerator::overrideRenderers(std::nullopt);
    QObject* raw = nullptr;
    a.get_NewEnum(&raw);
    std::unique_ptr<RendererEnumerator> walk(static_cast<RendererEnumerator*>(raw));
    auto* device = qobject_cast<VBCol*>(walk->Next());
    ASSERT_NE(device, nullptr);

    FilterGraph graph;
    QObject notAGraph;
    EXPECT_EQ(device->CreateInGraph(&notAGraph, "Mine"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(device->CreateInGraph(&graph, "Mine"), S_OK);
    EXPECT_NE(graph.findFilterByName("Mine"), nullptr);
    VBCol direct;
    EXPECT_EQ(direct.CreateInGraph(&graph, "Other"), E_FAIL);
    EXPECT_EQ(graph.filters().size(), 1);
}
