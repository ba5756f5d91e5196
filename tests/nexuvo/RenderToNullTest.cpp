// Rendering a file into a graph that ends in a null renderer: what the graph holds afterwards,
// the stand-in and missing filters, a second render, taking the source out again.
#include "AudioFiles.h"
#include "GraphTestSupport.h"
#include "TestGraphs.h"
#include "media/FilterRegistry.h"
#include "nexuvo/Assist.h"
#include "nexuvo/AudioRendererFinder.h"
#include "nexuvo/AutoRenderToNull.h"
#include "nexuvo/GraphTidy.h"
#include "nexuvo/PinVariant.h"
#include "platform/ScopedPrompts.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace media;
using namespace nexuvo;
using namespace ResultCode;

namespace {

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);

QStringList namesIn(const FilterGraph& graph) {
    QStringList names;
    for (const FilterPtr& filter : graph.filters())
        names << filter->name();
    return names;
}

// The filters the audio passes from the source on, by name.
QStringList pathFrom(const FilterPtr& source) {
    QStringList path;
    for (FilterPtr filter = source; filter;) {
        path << filter->name();
        const Pin output = filter->findPin(PinDirection::Output, true);
        filter = output.isNull() ? nullptr : output.connectedTo().filter();
    }
    return path;
}

int fileSourcesIn(const FilterGraph& graph) {
    int count = 0;
    for (const FilterPtr& filter : graph.filters())
        count += GraphTidy::isFileSource(*filter) ? 1 : 0;
    return count;
}

// Every filter but the file source is fed by something.
bool nothingDangles(const FilterGraph& graph) {
    for (const FilterPtr& filter : graph.filters()) {
        if (!GraphTidy::isFileSource(*filter) &&
            filter->findPin(PinDirection::Input, true).isNull())
            return false;
    }
    return true;
}

class RenderToNull : public testing::Test {
protected:
    void TearDown() override { FilterRegistry::instance().reset(); }

    QString wavFile(const QString& name, double seconds = 1.0) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(AudioFiles::write(path, AudioFiles::silenceThenTone(0.5, seconds - 0.5),
                                      AudioFiles::kWav));
        return path;
    }

    QTemporaryDir dir;
    platform::ScopedPrompts prompts;
};

} // namespace

TEST_F(RenderToNull, AnEmptyNameOrNoGraphBuildsNothing) {
    TestChain c = GraphTestSupport::throughGrabber(TestGraphs::fastTone(1.0),
                                                   GraphTestSupport::registered("Null Renderer"));
    const QStringList before = namesIn(*c.graph);
    const QString wav = wavFile("a.wav");
    Assist a;
    EXPECT_EQ(a.RenderFileToNull(QString(), c.graph.get()), S_OK);
    EXPECT_EQ(namesIn(*c.graph), before);
    QObject* held = nullptr;
    a.get_CurrentGraph(&held);
    EXPECT_EQ(held, nullptr);

    QObject notAGraph;
    EXPECT_EQ(a.RenderFileToNull(wav, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(a.RenderFileToNull(wav, &notAGraph), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(a.RenderToNull(wav, 0, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(a.RenderFileToNull(dir.filePath("missing.wav"), c.graph.get()), kFileNotFound);
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(RenderToNull, DecodedAudioRunsThroughTheGrabberIntoTheNullRenderer) {
    const QString wav = wavFile("tone.wav");
    const QString mp3 = dir.filePath("tone.mp3");
    ASSERT_TRUE(AudioFiles::write(mp3, AudioFiles::silenceThenTone(0.5, 0.5), AudioFiles::kMp3));
    const QString wma = dir.filePath("tone.wma");
    ASSERT_TRUE(AudioFiles::writeWmaTone(wma, 1.0));

    for (const QString& file : {wav, mp3, wma}) {
        SCOPED_TRACE(qPrintable(file));
        FilterGraph graph;
        Assist a;
        ASSERT_EQ(a.RenderFileToNull(file, &graph), S_OK) << qPrintable(graph.lastError());
        const FilterPtr source = graph.findFilterByName(file);
        ASSERT_NE(source, nullptr);
        const QStringList path = pathFrom(source);
        ASSERT_GE(path.size(), 4) << qPrintable(path.join(" → "));
        EXPECT_EQ(path.mid(path.size() - 2), QStringList({"SampleGrabber", "Null Renderer"}));
        EXPECT_EQ(namesIn(graph).size(), path.size()) << qPrintable(namesIn(graph).join(", "));
        EXPECT_TRUE(nothingDangles(graph));
        AudioRenderer renderer;
        EXPECT_EQ(AudioRendererFinder::find(graph, renderer), AudioRendererFinder::kNoAudioFilter);
        const Pin grabberInput = graph.findFilterByName("SampleGrabber")->findPin("Input");
        EXPECT_EQ(a.GetPinConnectionFileType(QVariant::fromValue(grabberInput)), 1); // PCM
        EXPECT_EQ(a.GetPinConnectionFileType(
                      QVariant::fromValue(source->findPin(PinDirection::Output, true))),
                  0); // the file's bytes: no wave format
        EXPECT_EQ(a.property("SourceFileName").toString(), file);
        EXPECT_EQ(a.property("SampleRate").toInt(), 44100);
        EXPECT_EQ(a.property("numChans").toInt(), 2);
        QObject* held = nullptr;
        a.get_CurrentGraph(&held);
        EXPECT_EQ(held, &graph);
        EXPECT_EQ(graph.state(), FilterGraph::State::Stopped);
    }
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(RenderToNull, TheVirtualRendererStandsInForTheSoundCardAndWithoutEitherTheUserIsTold) {
    const QString wav = wavFile("tone.wav");
    FilterRegistry& registry = FilterRegistry::instance();
    registry.unregisterFilter(AutoRenderToNull::kSoundCardRenderer);
    const FilterItem virtualRenderer =
        GraphTestSupport::registered(AutoRenderToNull::kVirtualRenderer);
    bool virtualMade = false;
    registry.registerFilter(AutoRenderToNull::kVirtualRenderer, [&] {
        virtualMade = true;
        return virtualRenderer.create();
    });
    {
        FilterGraph graph;
        Assist a;
        EXPECT_EQ(a.RenderFileToNull(wav, &graph), S_OK);
        EXPECT_TRUE(virtualMade);
        EXPECT_EQ(graph.findFilterByName(AutoRenderToNull::kVirtualRenderer), nullptr);
        EXPECT_EQ(pathFrom(graph.findFilterByName(wav)).last(), "Null Renderer");
        EXPECT_EQ(prompts->count(), 0);
    }

    registry.unregisterFilter(AutoRenderToNull::kVirtualRenderer);
    FilterGraph graph;
    Assist a;
    EXPECT_TRUE(FAILED(a.RenderFileToNull(wav, &graph)));
    ASSERT_EQ(prompts->texts(), QStringList({"No Sound Card Drivers Found!"}));
    EXPECT_EQ(prompts->last().buttons, platform::PromptButtons::Ok);
    EXPECT_EQ(graph.findFilterByName("SampleGrabber"), nullptr);
}

TEST_F(RenderToNull, AMissingGrabberOrNullRendererIsToldAndFails) {
    const QString wav = wavFile("tone.wav");
    const std::pair<QString, QString> missing[] = {
        {"SampleGrabber", "SG is missing - cannot be created -Please reinstall DirectX!"},
        {"Null Renderer", "NullRend cannot add! - Please reinstall DirectX9!"}};
    for (const auto& [name, text] : missing) {
        FilterRegistry::instance().reset();
        FilterRegistry::instance().unregisterFilter(name);
        prompts->clear();
        FilterGraph graph;
        Assist a;
        const HRESULT hr = a.RenderFileToNull(wav, &graph);
        EXPECT_TRUE(FAILED(hr)) << qPrintable(name);
        EXPECT_EQ(prompts->texts(), QStringList({text}));
        if (name == "Null Renderer") {
            EXPECT_EQ(hr, E_UNEXPECTED);
        }
    }
}

TEST_F(RenderToNull, AFileNothingCanDecodeFailsToRender) {
    const QString text = dir.filePath("notes.txt");
    const QString noise = dir.filePath("noise.bin");
    ASSERT_TRUE(AudioFiles::writeNotAudio(text, noise));
    for (const QString& file : {text, noise}) {
        FilterGraph graph;
        Assist a;
        EXPECT_EQ(a.RenderFileToNull(file, &graph), E_FAIL) << qPrintable(file);
    }
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(RenderToNull, RenderingAgainReplacesTheSourceAndUnrenderingTakesItOut) {
    const QString first = wavFile("first.wav");
    const QString second = wavFile("second.wav", 2.0);
    const QString third = wavFile("third.wav");
    FilterGraph graph;
    Assist a;
    ASSERT_EQ(a.RenderFileToNull(first, &graph), S_OK);
    ASSERT_EQ(a.RenderFileToNull(second, &graph), S_OK);
    EXPECT_EQ(fileSourcesIn(graph), 1);
    EXPECT_EQ(graph.findFilterByName(first), nullptr);
    EXPECT_EQ(a.property("SourceFileName").toString(), second);
    EXPECT_EQ(pathFrom(graph.findFilterByName(second)).size(), namesIn(graph).size());
    EXPECT_TRUE(nothingDangles(graph));

    // The same through the other member, with the graph running meanwhile.
    a.RunGraph();
    ASSERT_EQ(a.RenderToNull(third, 0, &graph), S_OK);
    EXPECT_EQ(fileSourcesIn(graph), 1);
    EXPECT_EQ(a.property("SourceFileName").toString(), third);
    EXPECT_EQ(pathFrom(graph.findFilterByName(third)).size(), namesIn(graph).size());
    EXPECT_TRUE(nothingDangles(graph));

    ASSERT_EQ(a.UnRenderToNull(), S_OK);
    EXPECT_EQ(fileSourcesIn(graph), 0);
    QString name = "untouched";
    a.get_SourceFileName(&name);
    EXPECT_EQ(name, "untouched");

    // Detaching takes the source of a render out of the graph too.
    ASSERT_EQ(a.RenderFileToNull(first, &graph), S_OK);
    ASSERT_EQ(a.putref_CurrentGraph(nullptr), S_OK);
    EXPECT_EQ(fileSourcesIn(graph), 0);
    EXPECT_EQ(prompts->count(), 0);
}

TEST_F(RenderToNull, TheWindowsMediaReaderIsAddedOnlyWhereThereIsOne) {
    FilterGraph graph;
    QObject notAGraph;
    Assist a;
    EXPECT_EQ(a.put_AddWMReader(nullptr), E_POINTER);
    EXPECT_EQ(a.put_AddWMReader(&notAGraph), E_NOINTERFACE);
    FilterRegistry::instance().unregisterFilter(Assist::kWmReaderName);
    EXPECT_EQ(a.put_AddWMReader(&graph), S_OK);
    EXPECT_TRUE(graph.filters().isEmpty());

    FilterRegistry::instance().reset();
    EXPECT_EQ(a.put_AddWMReader(&graph), S_OK);
    const FilterPtr reader = graph.findFilterByName("WM ASF Reader");
    ASSERT_NE(reader, nullptr);
    EXPECT_FALSE(reader->findPin("Audio").isNull()); // a builder takes the pin named for audio
}
