// The filter graph: filters by name, pins and connections, running, events and positions.
#include "TestGraphs.h"

#include "media/CaptureSource.h"
#include "media/DeviceEnumerator.h"
#include "media/DumpFilter.h"
#include "media/FilterRegistry.h"
#include "media/KeyedList.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace media;
using namespace ResultCode;

namespace {

FilterPtr passThrough() {
    return Filter::fromDescription("identity", QStringLiteral("In"), QStringLiteral("Out"));
}

// Writes a two-second WAV file to play back.
QString makeWaveFile(const QTemporaryDir& dir) {
    const QString path = dir.filePath("tone.wav");
    FilterGraph graph;
    FilterPtr source, writer;
    TestGraphs::fastTone(2.0).createIn(graph, source);
    writer = Filter::fromDescription(QStringLiteral("wavenc ! filesink location=\"%1\"").arg(path),
                                     "In", {});
    graph.addFilter(writer, "Wave Writer");
    graph.connectDirect(source->findPin("Capture"), writer->findPin("In"));
    graph.setNoClock(true);
    graph.run();
    TestGraphs::waitForCompletion(graph);
    graph.stop();
    return path;
}

} // namespace

TEST(FilterGraph, FiltersAreAddedFoundListedAndRemovedByName) {
    FilterGraph graph;
    FilterPtr first = passThrough(), second = passThrough(), third = passThrough();
    EXPECT_EQ(graph.addFilter(first, "Step"), S_OK);
    EXPECT_EQ(graph.addFilter(second, "Step"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(second->name(), "Step 0001");
    EXPECT_EQ(graph.addFilter(third, "Other"), S_OK);
    EXPECT_EQ(graph.addFilter(third, "Again"), VFW_E_WRONG_STATE);

    EXPECT_EQ(graph.findFilterByName("Step"), first);
    EXPECT_EQ(graph.findFilterByName("Step 0001"), second);
    EXPECT_EQ(graph.findFilterByName("step"), nullptr); // names are exact
    EXPECT_EQ(graph.filters(), (QList<FilterPtr>{first, second, third}));

    ASSERT_EQ(graph.connectDirect(first->findPin("Out"), second->findPin("In")), S_OK);
    EXPECT_EQ(graph.removeFilter(second), S_OK);
    EXPECT_FALSE(first->findPin("Out").isConnected());
    EXPECT_EQ(graph.removeFilter(second), VFW_E_NOT_FOUND);
    EXPECT_EQ(graph.filters(), (QList<FilterPtr>{first, third}));
    EXPECT_EQ(second->graph(), nullptr);
}

TEST(FilterGraph, PinsKnowTheirNameDirectionFilterAndPeer) {
    FilterGraph graph;
    FilterPtr source, grabber;
    TestGraphs::fastTone(1.0).createIn(graph, source);
    FilterRegistry::instance().registeredFilters().item("SampleGrabber")->createIn(graph, grabber);

    const Pin output = source->findPin(PinDirection::Output, false);
    ASSERT_FALSE(output.isNull());
    EXPECT_EQ(output.name(), "Capture");
    EXPECT_EQ(output.direction(), PinDirection::Output);
    EXPECT_EQ(output.filter(), source);
    const QList<Pin> pins = grabber->pins();
    ASSERT_EQ(pins.size(), 2);
    EXPECT_EQ(pins[0].name(), "Input");
    EXPECT_EQ(pins[0].direction(), PinDirection::Input);
    EXPECT_EQ(pins[1].name(), "Output");

    MediaType type;
    EXPECT_EQ(output.connectionMediaType(type), VFW_E_NOT_CONNECTED);
    EXPECT_TRUE(output.connectedTo().isNull());
    ASSERT_EQ(graph.connectDirect(output, pins[0]), S_OK);
    EXPECT_EQ(output.connectedTo(), pins[0]);
    EXPECT_EQ(output.connectedTo().filter(), grabber);
    EXPECT_EQ(graph.connectDirect(output, pins[0]), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(graph.disconnect(output), S_OK);
    EXPECT_FALSE(pins[0].isConnected());
}

TEST(FilterGraph, DirectConnectionRefusesAMismatchThatIntelligentConnectBridges) {
    FilterGraph graph;
    FilterPtr source;
    TestGraphs::fastTone(1.0).createIn(graph, source);
    FilterPtr floatOnly =
        Filter::fromDescription("capsfilter caps=audio/x-raw,format=F32LE,rate=22050", "In", "Out");
    graph.addFilter(floatOnly, "Float Input");
    const Pin output = source->findPin("Capture");
    const Pin input = floatOnly->findPin("In");

    EXPECT_TRUE(FAILED(graph.connectDirect(output, input)));
    EXPECT_FALSE(output.isConnected());
    EXPECT_EQ(graph.connect(output, input), S_OK);
    const FilterPtr converter = graph.findFilterByName("Audio Converter");
    ASSERT_TRUE(converter);
    EXPECT_EQ(output.connectedTo().filter(), converter);
    EXPECT_EQ(input.connectedTo().filter(), converter);

    FilterPtr encodedOnly = Filter::fromDescription("capsfilter caps=video/x-raw", "In", "Out");
    FilterPtr other;
    TestGraphs::fastTone(1.0).createIn(graph, other);
    graph.addFilter(encodedOnly, "Video Input");
    EXPECT_EQ(graph.connect(other->findPin("Capture"), encodedOnly->findPin("In")),
              VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(graph.filters().size(), 5); // nothing left behind by the failed attempt
}

TEST(FilterGraph, FileGraphDecodesSeeksAndReportsCompletionOnTheGuiThread) {
    QTemporaryDir dir;
    const QString wave = makeWaveFile(dir);
    FilterGraph graph;
    FilterPtr source, renderer;
    ASSERT_EQ(graph.addSourceFilter(wave, {}, source), S_OK);
    EXPECT_EQ(source->name(), wave);
    EXPECT_EQ(source->fileName(), wave);
    // A renderer that takes only decoded audio, as a sound card does.
    renderer =
        Filter::fromDescription("capsfilter caps=audio/x-raw ! fakesink sync=true", "In", {});
    graph.addFilter(renderer, "Renderer");
    ASSERT_EQ(graph.connect(source->findPin("Output"), renderer->findPin("In")), S_OK);
    EXPECT_TRUE(graph.findFilterByName("Audio Decoder"));

    EXPECT_EQ(graph.setPosition(0.0), S_OK); // allowed while stopped
    ASSERT_EQ(graph.pause(), S_OK);
    double length = 0;
    ASSERT_EQ(graph.duration(length), S_OK);
    EXPECT_NEAR(length, 2.0, 0.01);
    ASSERT_EQ(graph.setPosition(1.5), S_OK);
    double position = 0;
    graph.currentPosition(position);
    EXPECT_NEAR(position, 1.5, 0.05);

    QThread* deliveredOn = nullptr;
    QObject::connect(&graph, &FilterGraph::eventQueued,
                     [&] { deliveredOn = QThread::currentThread(); });
    graph.setNoClock(true);
    ASSERT_TRUE(SUCCEEDED(graph.run()));
    ASSERT_TRUE(TestGraphs::waitForCompletion(graph));
    EXPECT_EQ(deliveredOn, QThread::currentThread());
    GraphEventRecord none;
    EXPECT_FALSE(graph.getEvent(none));
    EXPECT_EQ(graph.stop(), S_OK);
    EXPECT_EQ(graph.stop(), S_OK); // stopping twice is harmless

    // The decoder links its output afresh on every run, not only on the first.
    ASSERT_TRUE(SUCCEEDED(graph.run())) << qPrintable(graph.lastError());
    EXPECT_TRUE(TestGraphs::waitForCompletion(graph));
    graph.stop();
}

// A logger builds and drops a graph at every file change for months: nothing of a graph may
// outlive it.
TEST(FilterGraph, PipelineIsFreedWithTheGraphAfterRunning) {
    bool freed = false;
    {
        FilterGraph graph;
        FilterPtr source, renderer;
        TestGraphs::fastTone(0.5).createIn(graph, source);
        FilterRegistry::instance()
            .registeredFilters()
            .item("Null Renderer")
            ->createIn(graph, renderer);
        graph.connectDirect(source->findPin("Capture"), renderer->findPin("In"));
        graph.setNoClock(true);
        ASSERT_TRUE(SUCCEEDED(graph.run()));
        ASSERT_TRUE(TestGraphs::waitForCompletion(graph));
        graph.stop();
        g_object_weak_ref(
            G_OBJECT(graph.pipeline()),
            [](gpointer flag, GObject*) { *static_cast<bool*>(flag) = true; }, &freed);
    }
    EXPECT_TRUE(freed);
}

// The same for a WMA writer run twice (a trial run, then the recording): its file muxer too is
// freed, with everything it holds.
TEST(FilterGraph, WmaWriterIsFreedWithItsGraphAfterRunningTwice) {
    QTemporaryDir dir;
    bool freed = false;
    {
        CaptureChain chain =
            TestGraphs::captureToWma(TestGraphs::fastTone(0.3), dir.filePath("freed.wma"));
        ASSERT_EQ(chain.result, ResultCode::S_OK);
        chain.graph->setNoClock(true);
        ASSERT_TRUE(SUCCEEDED(chain.graph->run()));
        chain.graph->stop();
        ASSERT_TRUE(SUCCEEDED(chain.graph->run()));
        ASSERT_TRUE(TestGraphs::waitForCompletion(*chain.graph));
        chain.graph->stop();
        GstElement* mux = gst_bin_get_by_name(GST_BIN(chain.writer->element()), "mux");
        ASSERT_TRUE(mux);
        g_object_weak_ref(
            G_OBJECT(mux), [](gpointer flag, GObject*) { *static_cast<bool*>(flag) = true; },
            &freed);
        gst_object_unref(mux);
    }
    EXPECT_TRUE(freed);
}

TEST(FilterGraph, MissingSourceFileIsRefusedAndAVanishedOneFailsToRun) {
    FilterGraph graph;
    FilterPtr source, renderer;
    EXPECT_EQ(graph.addSourceFilter("/nonexistent/file.wav", "Source", source), E_FILE_NOT_FOUND);
    EXPECT_EQ(graph.addSourceFilter({}, "Empty", source), E_INVALIDARG);
    EXPECT_TRUE(graph.filters().isEmpty());

    QTemporaryDir dir;
    const QString path = makeWaveFile(dir);
    ASSERT_EQ(graph.addSourceFilter(path, "Source", source), S_OK);
    FilterRegistry::instance().registeredFilters().item("Null Renderer")->createIn(graph, renderer);
    graph.connectDirect(source->findPin("Output"), renderer->findPin("In"));
    QFile::remove(path);
    EXPECT_EQ(graph.run(), E_FAIL);
    EXPECT_FALSE(graph.lastError().isEmpty());
    EXPECT_EQ(graph.lastErrorKind(), GraphErrorKind::CaptureDevice); // the source failed
}

TEST(FilterGraph, FileThatCannotBeWrittenIsAWriteErrorAndANewRunForgetsIt) {
    QTemporaryDir dir;
    FilterGraph graph;
    FilterPtr source;
    TestGraphs::fastTone(1.0).createIn(graph, source);
    auto dump = std::make_shared<DumpFilter>();
    graph.addFilter(dump, "DUMP");
    dump->setFileName(dir.filePath("no-such-folder/raw.pcm"));
    graph.connectDirect(source->findPin("Capture"), dump->findPin("Input"));
    EXPECT_EQ(graph.run(), E_FAIL);
    EXPECT_EQ(graph.lastErrorKind(), GraphErrorKind::WriteError);
    dump->setFileName(dir.filePath("raw.pcm"));
    EXPECT_TRUE(SUCCEEDED(graph.run()));
    EXPECT_EQ(graph.lastErrorKind(), GraphErrorKind::None);
    graph.stop();
}

TEST(FilterGraph, DumpWritesTheBytesItReceives) {
    QTemporaryDir dir;
    const QString path = dir.filePath("raw.pcm");
    FilterGraph graph;
    FilterPtr source;
    TestGraphs::fastTone(1.0).createIn(graph, source);
    auto dump = std::make_shared<DumpFilter>();
    graph.addFilter(dump, "DUMP");
    ASSERT_EQ(dump->setFileName(path), S_OK);
    graph.connectDirect(source->findPin("Capture"), dump->findPin("Input"));
    graph.setNoClock(true);
    graph.run();
    ASSERT_TRUE(TestGraphs::waitForCompletion(graph));
    graph.stop();
    EXPECT_EQ(QFileInfo(path).size(), 44100 * 4);
}

TEST(Registry, FiltersAreLookedUpByFriendlyNameWithoutRegardToCase) {
    FilterRegistry& registry = FilterRegistry::instance();
    const KeyedList<FilterItem> filters = registry.registeredFilters();
    for (const char* name : {"SampleGrabber", "WM ASF Writer", "DUMP", "Null Renderer",
                             "Lame MPEG Layer III Audio Encoder2", "Wave Parser"})
        EXPECT_TRUE(filters.contains(name)) << name;
    EXPECT_TRUE(filters.contains("WM ASF WRITER"));
    EXPECT_EQ(filters.item("No Such Filter"), nullptr);
    EXPECT_EQ(filters.item(0), nullptr);
    EXPECT_EQ(filters.item(filters.count() + 1), nullptr);
    EXPECT_EQ(filters.item(1)->name(), filters.key(1));

    registry.unregisterFilter("wm asf writer");
    EXPECT_FALSE(registry.contains("WM ASF Writer"));
    registry.registerFilter("Stand-in", [] { return passThrough(); });
    EXPECT_TRUE(registry.registeredFilters().item("STAND-IN")->create());
    registry.reset();
    EXPECT_TRUE(registry.contains("WM ASF Writer"));
    EXPECT_FALSE(registry.contains("Stand-in"));
}

TEST(Registry, KeyedListRefusesASecondKeyThatDiffersOnlyInCase) {
    KeyedList<int> list;
    EXPECT_TRUE(list.add("Line In", 1));
    EXPECT_FALSE(list.add("LINE IN", 2));
    EXPECT_TRUE(list.add("Microphone", 3));
    EXPECT_EQ(list.count(), 2);
    EXPECT_EQ(*list.item(2), 3);
    EXPECT_EQ(*list.item("line in"), 1);
}

TEST(Devices, TestSourcesJoinTheListOnlyWhenAskedFor) {
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
    qputenv("VELTRAX_TEST_SOURCES", "1");
    QList<FilterItem> devices = DeviceEnumerator::audioCaptureDevices();
    QStringList names;
    for (const FilterItem& item : devices)
        names << item.name();
    EXPECT_TRUE(names.contains(DeviceEnumerator::kTestTone));
    EXPECT_TRUE(names.contains(DeviceEnumerator::kTestTicks));
    EXPECT_TRUE(names.contains(DeviceEnumerator::kTestSilence));
    qunsetenv("VELTRAX_TEST_SOURCES");
    for (const FilterItem& item : DeviceEnumerator::audioCaptureDevices())
        EXPECT_FALSE(item.name().startsWith("Veltrax Test"));

    DeviceEnumerator::overrideCaptureDevices(QList<FilterItem>{});
    EXPECT_TRUE(DeviceEnumerator::audioCaptureDevices().isEmpty());
    DeviceEnumerator::overrideCaptureDevices(std::nullopt);
}

TEST(Devices, UnknownDeviceIsNotFoundAndTestToneCapturesInTheFixedFormat) {
    KeyedList<FilterItem> devices;
    for (const FilterItem& item : DeviceEnumerator::testSources())
        devices.add(item.name(), item);
    EXPECT_EQ(devices.item("No Such Microphone"), nullptr);

    FilterGraph graph;
    FilterPtr capture, grabber;
    ASSERT_EQ(devices.item(DeviceEnumerator::kTestTone)->createIn(graph, capture), S_OK);
    EXPECT_EQ(capture->name(), DeviceEnumerator::kTestTone);
    FilterRegistry::instance().registeredFilters().item("SampleGrabber")->createIn(graph, grabber);
    graph.connectDirect(capture->findPin("Capture"), grabber->findPin("Input"));
    MediaType type;
    ASSERT_EQ(grabber->findPin("Output").connectedTo().isNull(), true);
    ASSERT_EQ(capture->findPin("Capture").connectionMediaType(type), S_OK);
    EXPECT_EQ(type.wave.samplesPerSec, static_cast<unsigned>(CaptureSource::kSampleRate));
    EXPECT_EQ(type.wave.channels, CaptureSource::kChannels);
    EXPECT_EQ(type.wave.bitsPerSample, 16);
}
