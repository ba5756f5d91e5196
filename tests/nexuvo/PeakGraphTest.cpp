// Peaks, ThreadEvent, EndOfStream and BufferFull from real graphs.
#include "GraphTestSupport.h"
#include "TestGraphs.h"
#include "nexuvo/Assist.h"

#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

using namespace GraphTestSupport;
using namespace media;
using namespace nexuvo;
using namespace ResultCode;

namespace {

constexpr int kHalfScale = 16384; // the test sources play at half scale

// Everything the assistant tells, in order.
struct Events {
    QList<std::pair<int, int>> peaks;
    QStringList order;
    QList<qintptr> buffers;
    bool offThread = false;

    explicit Events(Assist& a) {
        QObject::connect(&a, &Assist::ThreadEvent, [this](int left, int right) {
            peaks << std::make_pair(left, right);
            order << QStringLiteral("ThreadEvent");
            offThread |= QThread::currentThread() != qApp->thread();
        });
        QObject::connect(&a, &Assist::EndOfStream, [this] { order << QStringLiteral("End"); });
        QObject::connect(&a, &Assist::BufferFull, [this](qintptr address) {
            buffers << address;
            order << QStringLiteral("BufferFull");
        });
    }
    int count(const QString& what) const { return static_cast<int>(order.count(what)); }
};

// The pins each pin is connected to, to see that nothing was rewired.
QList<Pin> peersOf(const FilterGraph& graph) {
    QList<Pin> peers;
    for (const FilterPtr& filter : graph.filters()) {
        for (const Pin& pin : filter->pins())
            peers << pin.connectedTo();
    }
    return peers;
}

} // namespace

TEST(PeakGraph, FastToneGivesItsLevelBufferFullEveryFiveSecondsAndOneEndOfStream) {
    TestChain c = throughGrabber(TestGraphs::fastTone(12.0), registered("Null Renderer"));
    const QList<Pin> before = peersOf(*c.graph);
    Assist a;
    Events events(a);
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    EXPECT_EQ(peersOf(*c.graph), before); // the grabber was in place: nothing rewired
    EXPECT_EQ(a.property("SampleRate").toInt(), 44100);
    EXPECT_EQ(a.property("numChans").toInt(), 2);
    EXPECT_EQ(a.property("BitsPerSample").toInt(), 16);
    EXPECT_EQ(a.tap().ring().capacity(), 441000);
    ASSERT_EQ(a.SetNullClock(c.graph.get()), S_OK);
    a.put_ThreadSleepmS(50);

    ASSERT_EQ(a.RunGraph(), S_OK);
    ASSERT_TRUE(runUntil([&] { return events.count("End") > 0; }));
    // The graph has played everything: the level of its last 20 ms is reported from now on.
    const int heardBeforeEnd = static_cast<int>(events.peaks.size());
    ASSERT_TRUE(runUntil([&] { return events.peaks.size() > heardBeforeEnd; }));

    EXPECT_EQ(events.count("End"), 1);
    ASSERT_EQ(events.buffers.size(), 3); // two wraps, then the end
    for (qintptr address : events.buffers)
        EXPECT_EQ(address, a.tap().ring().address());
    EXPECT_GT(events.order.lastIndexOf("BufferFull"), events.order.indexOf("End"));
    EXPECT_NEAR(events.peaks.last().first, kHalfScale, 0.02 * kHalfScale);
    EXPECT_NEAR(events.peaks.last().second, kHalfScale, 0.02 * kHalfScale);
    EXPECT_FALSE(events.offThread);
    EXPECT_EQ(a.property("Paused").toInt(), 1);
}

TEST(PeakGraph, LiveToneReportsTwentyTimesASecondOnlyBetweenRunAndStop) {
    TestChain c = throughGrabber(TestGraphs::liveTestTone(), registered("Null Renderer"));
    Assist a;
    Events events(a);
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    a.put_ThreadSleepmS(50);
    ASSERT_TRUE(SUCCEEDED(c.graph->run()));
    runFor(300);
    EXPECT_TRUE(events.peaks.isEmpty()); // audio flows, but RunGraph has not come yet

    ASSERT_EQ(a.RunGraph(), S_OK);
    runFor(2000);
    const int whileRunning = static_cast<int>(events.peaks.size());
    EXPECT_GE(whileRunning, 20);
    EXPECT_LE(whileRunning, 60);
    EXPECT_NEAR(events.peaks.last().first, kHalfScale, 0.02 * kHalfScale);
    EXPECT_NEAR(events.peaks.last().second, kHalfScale, 0.02 * kHalfScale);
    EXPECT_FALSE(events.offThread);

    c.graph->stop();
    const std::pair<int, int> lastMeasured{a.tap().leftPeak(), a.tap().rightPeak()};
    ASSERT_EQ(a.StopGraph(), S_OK);
    const int atStop = static_cast<int>(events.peaks.size());
    runFor(300);
    ASSERT_EQ(events.peaks.size(), atStop + 1); // the one the stop posts, and no more
    EXPECT_EQ(events.peaks.last(), lastMeasured);
}

TEST(PeakGraph, PauseGraphKeepsTheEndQuietAndSoDoesASecondEnd) {
    TestChain c = throughGrabber(TestGraphs::fastTone(1.0), registered("Null Renderer"));
    Assist a;
    Events events(a);
    ASSERT_EQ(a.putref_CurrentGraph(c.graph.get()), S_OK);
    a.SetNullClock(c.graph.get());
    int completions = 0;
    QObject::connect(c.graph.get(), &FilterGraph::eventQueued, [&] { ++completions; });

    a.RunGraph();
    a.PauseGraph();
    ASSERT_TRUE(runUntil([&] { return completions > 0; }));
    runFor(100);
    EXPECT_EQ(events.count("End"), 0);
    EXPECT_EQ(events.count("BufferFull"), 0);

    a.StopGraph();
    a.RunGraph(); // Paused is cleared: this end is reported
    ASSERT_TRUE(runUntil([&] { return events.count("End") == 1; }));
    c.graph->stop();
    c.graph->run(); // a second end while Paused is still 1
    ASSERT_TRUE(runUntil([&] { return completions > 2; }));
    runFor(100);
    EXPECT_EQ(events.count("End"), 1);
}

TEST(PeakGraph, DetachedOrDeletedGraphsAreLetGoOf) {
    TestChain c = throughGrabber(TestGraphs::fastTone(1.0), registered("Null Renderer"));
    auto a = std::make_unique<Assist>();
    ASSERT_EQ(a->putref_CurrentGraph(c.graph.get()), S_OK);
    QObject* held = nullptr;
    a->get_CurrentGraph(&held);
    EXPECT_EQ(held, c.graph.get());

    ASSERT_EQ(a->putref_CurrentGraph(nullptr), S_OK);
    EXPECT_EQ(a->property("SampleRate").toInt(), 0);
    EXPECT_EQ(a->property("numChans").toInt(), 2); // the channel count stays
    c.graph->setNoClock(true);
    c.graph->run();
    TestGraphs::waitForCompletion(*c.graph);
    EXPECT_EQ(a->tap().ring().valueCount(), 0); // the grabber no longer feeds the ring

    ASSERT_EQ(a->SetGraph(c.graph.get()), S_OK);
    a->RunGraph();
    c.graph.reset(); // the client deletes the graph while it is attached
    held = nullptr;
    a->get_CurrentGraph(&held);
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(a->StopGraph(), S_OK);
    a.reset();
}
