// The threaded part of the assistant: the grabber callback, the peak thread and what they post.
#include "nexuvo/PeakTap.h"
#include "HeardAtOnce.h"
#include "SyntheticAudio.h"
#include "nexuvo/AssistMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace nexuvo;
using namespace std::chrono_literals;

namespace {

// What the tap posts, as a message window would receive it.
class Mailbox {
public:
    void post(int message, qintptr wParam) {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({message, wParam});
        m_arrived.notify_all();
    }
    int count(int message) const {
        std::lock_guard lock(m_mutex);
        int n = 0;
        for (const auto& m : m_messages)
            n += m.first == message ? 1 : 0;
        return n;
    }
    // Waits for real posts, not for a time: the time-out only ends a test that has failed.
    bool waitFor(int message, int count) {
        std::unique_lock lock(m_mutex);
        return m_arrived.wait_for(lock, 20s, [&] {
            int n = 0;
            for (const auto& m : m_messages)
                n += m.first == message ? 1 : 0;
            return n >= count;
        });
    }
    std::vector<std::pair<int, qintptr>> messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::vector<std::pair<int, qintptr>> m_messages;
};

// A position source whose answer waits until the test lets it go.
class Gate : public PositionSource {
public:
    explicit Gate(std::atomic<int>* destroyedWhileAsked = nullptr)
        : m_destroyedWhileAsked(destroyedWhileAsked) {}
    ~Gate() override {
        if (m_destroyedWhileAsked)
            *m_destroyedWhileAsked = m_asked ? 1 : 0;
    }
    HRESULT currentPosition100ns(qint64& units) override {
        std::unique_lock lock(m_mutex);
        m_asked = true;
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
        units = 0;
        m_asked = false;
        return ResultCode::E_FAIL;
    }
    void waitUntilEntered() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::atomic<int>* m_destroyedWhileAsked;
    std::atomic<bool> m_asked{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

media::MediaSample sampleOf(const std::vector<std::uint8_t>& bytes, bool timed = true,
                            bool preroll = false) {
    media::MediaSample sample;
    sample.data = bytes.data();
    sample.actualLength = static_cast<long>(bytes.size());
    sample.timeValid = timed;
    sample.preroll = preroll;
    return sample;
}

struct Tap {
    Mailbox mailbox;
    PeakTap tap{[this](int message, qintptr wParam) {
        mailbox.post(message, wParam);
    }};

    // As after preparing a grabber of 44.1 kHz 16-bit stereo and running.
    void prepareRunning() {
        tap.prepareRing(176400);
        tap.setIntakeDisabled(false);
        tap.setGraphAttached(true);
        tap.setThreadSleepmS(50);
        tap.setPositionSource(std::make_unique<HeardAtOnce>(tap));
        tap.clearStopped();
    }
};

} // namespace

TEST(PeakThread, EndingInterruptsTheSleep) {
    std::atomic<int> passes{0};
    PeakThread thread([] { return 3600 * 1000; }, [&] { ++passes; });
    thread.start();
    EXPECT_TRUE(thread.running());
    thread.end(); // an hour's sleep: returning at all shows the sleep was cut short
    EXPECT_FALSE(thread.running());
    EXPECT_EQ(passes, 0);
    thread.end();
}

TEST(PeakTap, PeriodIsClampedAndDoubledWithoutAGraph) {
    Tap t;
    EXPECT_EQ(t.tap.threadSleepmS(), 100);
    EXPECT_EQ(t.tap.periodMs(), 200);
    const std::pair<long, int> cases[] = {{10, 50},     {50, 50},     {51, 51}, {999, 999},
                                          {1000, 1000}, {5000, 1000}, {-7, 50}};
    for (const auto& [put, got] : cases) {
        t.tap.setThreadSleepmS(put);
        EXPECT_EQ(t.tap.threadSleepmS(), got) << put;
    }
    t.tap.setThreadSleepmS(1000);
    t.tap.setGraphAttached(true);
    EXPECT_EQ(t.tap.periodMs(), 1000);
}

TEST(PeakTap, StreamingAndPeakThreadsTogetherReportTheToneHeard) {
    Tap t;
    t.prepareRunning();
    t.tap.startThread();
    std::atomic<bool> feeding{true};
    std::thread streaming([&] {
        double time = 0.0;
        for (int frame = 0; feeding; frame += 441) {
            const auto bytes = SyntheticAudio::tone(441, 12000, 0, frame);
            t.tap.sampleCB(time, sampleOf(bytes));
            time += 0.01;
            std::this_thread::sleep_for(1ms);
        }
    });
    const bool measured = t.mailbox.waitFor(AssistMessage::ThreadEvent, 5);
    const int left = t.tap.leftPeak();
    const int right = t.tap.rightPeak();
    feeding = false;
    streaming.join();
    t.tap.endThread();

    ASSERT_TRUE(measured);
    EXPECT_NEAR(left, 12000, 240);
    EXPECT_EQ(right, 0);
    EXPECT_EQ(t.tap.earliestSampleTime(), 0.0);
    for (const auto& [message, wParam] : t.mailbox.messages()) {
        if (message == AssistMessage::ThreadEvent)
            EXPECT_EQ(wParam, kPostedByPeakThread);
        else
            EXPECT_EQ(wParam, t.tap.ring().address()); // BufferFull carries the ring
    }
}

TEST(PeakTap, PostsNothingWhileStoppedDisabledDetachedOrFiring) {
    Tap t;
    t.prepareRunning();
    t.tap.sampleCB(0.1, sampleOf(SyntheticAudio::tone(4410, 9000, 9000)));
    t.tap.runPass();
    EXPECT_EQ(t.mailbox.count(AssistMessage::ThreadEvent), 1);
    EXPECT_NEAR(t.tap.leftPeak(), 9000, 180);

    t.tap.setFiring(true); // measured, but not posted while a ThreadEvent is being handled
    t.tap.sampleCB(0.2, sampleOf(SyntheticAudio::silence(4410)));
    t.tap.runPass();
    EXPECT_EQ(t.mailbox.count(AssistMessage::ThreadEvent), 1);
    EXPECT_EQ(t.tap.leftPeak(), 0);
    t.tap.setFiring(false);

    t.tap.stopMeasuring();
    t.tap.runPass();
    t.tap.clearStopped();
    t.tap.setIntakeDisabled(true);
    t.tap.runPass();
    t.tap.setIntakeDisabled(false);
    t.tap.setPositionSource(nullptr);
    t.tap.runPass();
    EXPECT_EQ(t.mailbox.count(AssistMessage::ThreadEvent), 1);
}

TEST(PeakTap, CallbackKeepsTimesAndSkipsPrerollAndDisabledIntake) {
    Tap t;
    t.tap.setEarliestSampleTime(1000.0);
    t.tap.prepareRing(176400);
    const auto bytes = SyntheticAudio::tone(441, 5000, 5000);

    t.tap.sampleCB(3.0, sampleOf(bytes)); // intake still disabled: only the earliest time moves
    EXPECT_EQ(t.tap.earliestSampleTime(), 3.0);
    EXPECT_EQ(t.tap.latestSampleTime(), 0.0);
    EXPECT_EQ(t.tap.ring().valueCount(), 0);

    t.tap.setIntakeDisabled(false);
    t.tap.sampleCB(4.0, sampleOf(bytes, true, true)); // preroll: timed, not stored
    EXPECT_EQ(t.tap.latestSampleTime(), 4.0);
    EXPECT_EQ(t.tap.ring().valueCount(), 0);
    t.tap.sampleCB(5.0, sampleOf(bytes, false)); // no time stamps: stored, time kept
    EXPECT_EQ(t.tap.latestSampleTime(), 4.0);
    EXPECT_EQ(t.tap.ring().valueCount(), 882);
    t.tap.sampleCB(2.0, sampleOf(bytes));
    EXPECT_EQ(t.tap.earliestSampleTime(), 2.0);

    t.tap.prepareRing(0); // a zero byte rate turns the intake off
    EXPECT_TRUE(t.tap.intakeDisabled());
}

TEST(PeakTap, StoppingWaitsForAPassUnderWayAndNothingIsPostedAfter) {
    Tap t;
    t.prepareRunning();
    auto gate = std::make_unique<Gate>();
    Gate* g = gate.get();
    t.tap.setPositionSource(std::move(gate));
    std::thread pass([&] { t.tap.runPass(); });
    g->waitUntilEntered();

    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        t.tap.stopMeasuring();
        stopped = true;
    });
    std::this_thread::sleep_for(20ms); // lets the stop run into the pass; no verdict hangs on it
    g->open();
    stopper.join();
    pass.join();
    EXPECT_TRUE(stopped);
    const int posted = t.mailbox.count(AssistMessage::ThreadEvent);
    EXPECT_EQ(posted, 1); // the pass under way finished first, and posted
    t.tap.runPass();
    EXPECT_EQ(t.mailbox.count(AssistMessage::ThreadEvent), posted);
}

TEST(PeakTap, ReleasingThePositionSourceWaitsUntilNoPassUsesIt) {
    Tap t;
    t.prepareRunning();
    std::atomic<int> destroyedWhileAsked{-1};
    auto gate = std::make_unique<Gate>(&destroyedWhileAsked);
    Gate* g = gate.get();
    t.tap.setPositionSource(std::move(gate));
    std::thread pass([&] { t.tap.runPass(); });
    g->waitUntilEntered();
    std::thread releaser([&] { t.tap.setPositionSource(nullptr); });
    std::this_thread::sleep_for(20ms); // lets the release run into the pass; no verdict hangs on it
    g->open();
    pass.join();
    releaser.join();
    EXPECT_EQ(destroyedWhileAsked, 0);
    EXPECT_FALSE(t.tap.hasPositionSource());
}
