// The sample grabber hands every buffer, in order and unchanged, to its callback.
#include "TestGraphs.h"

#include "media/FilterRegistry.h"
#include "media/SampleGrabber.h"

#include <QThread>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

using namespace media;
using namespace ResultCode;

namespace {

struct Delivery {
    double sampleTime;
    long length;
    bool timeValid;
    std::int64_t start100ns;
    int peak;
};

class Collector : public SampleGrabberCallback {
public:
    HRESULT sampleCB(double sampleTime, const MediaSample& sample) override {
        const auto* values = reinterpret_cast<const std::int16_t*>(sample.data);
        int peak = 0;
        for (long i = 0; i < sample.actualLength / 2; ++i)
            peak = std::max(peak, std::abs(static_cast<int>(values[i])));
        std::lock_guard lock(mutex);
        deliveries.push_back(
            {sampleTime, sample.actualLength, sample.timeValid, sample.start100ns, peak});
        threads.push_back(QThread::currentThread());
        return S_OK;
    }
    std::mutex mutex;
    std::vector<Delivery> deliveries;
    std::vector<QThread*> threads;
};

struct GrabberGraph {
    std::unique_ptr<FilterGraph> graph = std::make_unique<FilterGraph>();
    FilterPtr source, grabber, renderer;
    SampleGrabber* sampleGrabber() { return static_cast<SampleGrabber*>(grabber.get()); }
};

GrabberGraph toneIntoNullRenderer(double seconds, double volume) {
    GrabberGraph g;
    const auto filters = FilterRegistry::instance().registeredFilters();
    TestGraphs::fastTone(seconds, volume).createIn(*g.graph, g.source);
    filters.item("SampleGrabber")->createIn(*g.graph, g.grabber);
    filters.item("Null Renderer")->createIn(*g.graph, g.renderer);
    EXPECT_EQ(g.graph->connectDirect(g.source->findPin("Capture"), g.grabber->findPin("Input")),
              S_OK);
    EXPECT_EQ(g.graph->connectDirect(g.grabber->findPin("Output"), g.renderer->findPin("In")),
              S_OK);
    g.graph->setNoClock(true);
    return g;
}

} // namespace

TEST(SampleGrabber, ToneReachesTheCallbackInStreamOrderWithItsAmplitude) {
    GrabberGraph g = toneIntoNullRenderer(2.0, 0.25);
    Collector collector;
    ASSERT_EQ(g.sampleGrabber()->setCallback(&collector, 0), S_OK);
    ASSERT_TRUE(SUCCEEDED(g.graph->run()));
    ASSERT_TRUE(TestGraphs::waitForCompletion(*g.graph));
    g.graph->stop();

    ASSERT_FALSE(collector.deliveries.empty());
    const double bytesPerSecond = 44100.0 * 4;
    long total = 0;
    int peak = 0;
    double expectedTime = 0.0;
    for (const Delivery& d : collector.deliveries) {
        ASSERT_TRUE(d.timeValid);
        EXPECT_NEAR(d.sampleTime, expectedTime, 1e-6); // contiguous and rising
        EXPECT_EQ(d.start100ns, std::llround(d.sampleTime * 1e7));
        expectedTime += d.length / bytesPerSecond;
        total += d.length;
        peak = std::max(peak, d.peak);
    }
    EXPECT_EQ(total, static_cast<long>(2.0 * bytesPerSecond));
    EXPECT_NEAR(peak, 0.25 * 32767, 0.01 * 0.25 * 32767);
    for (QThread* thread : collector.threads)
        EXPECT_NE(thread, QThread::currentThread()); // streaming thread, never the GUI thread
}

TEST(SampleGrabber, ClearingTheCallbackWaitsForARunningCallback) {
    class SlowCallback : public SampleGrabberCallback {
    public:
        HRESULT sampleCB(double, const MediaSample&) override {
            inside = true;
            QThread::msleep(200);
            calls++;
            inside = false;
            return S_OK;
        }
        std::atomic<bool> inside{false};
        std::atomic<int> calls{0};
    };
    GrabberGraph g = toneIntoNullRenderer(5.0, 0.5);
    SlowCallback slow;
    g.sampleGrabber()->setCallback(&slow, 0);
    ASSERT_TRUE(SUCCEEDED(g.graph->run()));
    while (!slow.inside)
        QThread::msleep(1);
    ASSERT_EQ(g.sampleGrabber()->setCallback(nullptr, 0), S_OK);
    EXPECT_FALSE(slow.inside); // the receiver may be released now
    const int calls = slow.calls;
    QThread::msleep(100);
    EXPECT_EQ(slow.calls, calls);
    g.graph->stop();
}

TEST(SampleGrabber, ConnectionFormatIsKnownBeforeAnythingRuns) {
    GrabberGraph g = toneIntoNullRenderer(1.0, 0.5);
    MediaType type;
    ASSERT_EQ(g.sampleGrabber()->connectedMediaType(type), S_OK);
    EXPECT_TRUE(type.hasWaveFormat);
    EXPECT_EQ(type.majorType, MediaTypeId::Audio);
    EXPECT_EQ(type.wave.formatTag, 1);
    EXPECT_EQ(type.wave.channels, 2);
    EXPECT_EQ(type.wave.samplesPerSec, 44100u);
    EXPECT_EQ(type.wave.bitsPerSample, 16);
    EXPECT_EQ(type.wave.blockAlign, 4);
    EXPECT_EQ(type.wave.avgBytesPerSec, 176400u);
    EXPECT_EQ(type.sampleSize, 4u);
    EXPECT_EQ(g.sampleGrabber()->setCallback(nullptr, 2), E_INVALIDARG);
}
