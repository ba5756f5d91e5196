// The cue-in and segue tests as the intake runs them, value by value.
#include "nexuvo/CueSegueScan.h"
#include "SyntheticAudio.h"
#include "nexuvo/Assist.h"
#include "nexuvo/AssistMessages.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>

using namespace nexuvo;

namespace {

constexpr int kValuesPerSecond = 88200; // 44.1 kHz stereo
constexpr int kSpacing = CueSegueScan::kCueTestSpacing;

// A ring with a scan watching it, fed as the grabber would feed it.
struct Scanner {
    SampleRing ring;
    std::atomic<int> disabled{0};
    std::vector<std::pair<int, qintptr>> posts;
    CueSegueScan scan{[this](int message, qintptr wParam) {
        posts.emplace_back(message, wParam);
    }};

    explicit Scanner(int valuesPerSecond = kValuesPerSecond) {
        ring.allocate(valuesPerSecond);
        scan.setFileScan(true);
    }
    void feed(const std::vector<std::uint8_t>& bytes, double time = 0.0) {
        scan.setBufferTime(time);
        ring.intake(
            bytes.data(), static_cast<long>(bytes.size()), disabled, [](qintptr) {}, &scan);
    }
    // Values (not frames), all the same, as one buffer.
    void feedValues(int count, std::int16_t value, double time = 0.0) {
        std::vector<std::uint8_t> bytes;
        for (int i = 0; i < count; ++i) {
            const auto bits = static_cast<std::uint16_t>(value);
            bytes.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
        }
        feed(bytes, time);
    }
    int cues() const {
        int n = 0;
        for (const auto& post : posts)
            n += post.first == AssistMessage::CueIn ? 1 : 0;
        return n;
    }
};

} // namespace

TEST(CueSegueScan, CueInComesAtTheFirstTestPointAfterTheSoundBeginsAndOnlyOnce) {
    Scanner s;
    s.feedValues(2 * kValuesPerSecond, 0); // two seconds of silence
    EXPECT_EQ(s.cues(), 0);
    s.feedValues(kValuesPerSecond, 8000);
    ASSERT_EQ(s.cues(), 1);
    // 176 400 values of silence: the first test point after them is 172 × 1028 = 176 816.
    const long expected = static_cast<long>(176816.0 / kValuesPerSecond * 1000.0);
    EXPECT_EQ(s.scan.cueTimeMs(), expected);
    EXPECT_EQ(s.posts.front().second, expected);
    EXPECT_TRUE(s.scan.cueFound());
    EXPECT_FALSE(s.scan.watchBuffer()); // nothing more to look for in this scan
}

TEST(CueSegueScan, ALoudStartBeforeTheFirstTestPointOrALoneClickIsNoCue) {
    Scanner early;
    early.feedValues(kSpacing - 1, 20000); // loud, but over before index 1028
    early.feedValues(kValuesPerSecond, 0);
    EXPECT_EQ(early.cues(), 0);

    // Loud exactly at a test point, with nothing before it: the sum says it is a click.
    Scanner click;
    click.feedValues(kSpacing, 0);
    click.feedValues(2, 30000);
    click.feedValues(kValuesPerSecond, 0);
    EXPECT_EQ(click.cues(), 0);
}

TEST(CueSegueScan, TheValueAfterATestPointCountsWhenItIsInTheSameBuffer) {
    Scanner next;
    next.feedValues(kSpacing, 500);
    next.feed(SyntheticAudio::constant(1, 0, 400)); // index 1028 quiet, the value after it loud
    EXPECT_EQ(next.cues(), 1);

    Scanner split;
    split.feedValues(kSpacing, 200);
    split.feedValues(1, 0); // index 1028 is quiet and ends its buffer
    split.feedValues(kSpacing - 1, 20000);
    EXPECT_EQ(split.cues(), 0); // the loud buffer came too late for index 1028
    split.feedValues(1, 20000);
    ASSERT_EQ(split.cues(), 1);
    EXPECT_EQ(split.scan.cueTimeMs(), static_cast<long>(2056.0 / kValuesPerSecond * 1000.0));
}

TEST(CueSegueScan, AThresholdOfZeroWantsAnySoundAndAHundredInTheSum) {
    Scanner zero;
    zero.scan.setAutoCueThreshold(0);
    zero.feedValues(kSpacing - 99, 0);
    zero.feedValues(99, 1); // the magnitudes below index 1028 add up to 99
    zero.feedValues(1, 1);
    EXPECT_EQ(zero.cues(), 0);
    zero.feedValues(kSpacing, 1); // and to more than 100 by the next test point
    EXPECT_EQ(zero.cues(), 1);
}

TEST(CueSegueScan, TheCueTimeCountsValuesAcrossAWrapOfTheRing) {
    Scanner s(1000); // a ring of 5000 values
    s.feedValues(6000, 0);
    s.feedValues(2000, 20000); // from index 1000 of the second lap
    ASSERT_EQ(s.cues(), 1);
    EXPECT_EQ(s.scan.cueTimeMs(), 6028); // value 6028 is at index 1028
}

TEST(CueSegueScan, NothingIsTestedOutsideAFileScanAndSegueSeekingRestsTheCueIn) {
    Scanner notScanning;
    notScanning.scan.setFileScan(false);
    notScanning.feedValues(kValuesPerSecond, 20000);
    EXPECT_EQ(notScanning.cues(), 0);

    Scanner s;
    s.scan.setSegueSeeking(true);
    s.feedValues(kSpacing * 4, 20000, 12.5);
    EXPECT_EQ(s.cues(), 0);
    EXPECT_EQ(s.scan.segueTimeMs(), 12300);
    s.feedValues(kSpacing, 2999, 12.6); // below SegThreshold: the segue stays
    EXPECT_EQ(s.scan.segueTimeMs(), 12300);
    s.feedValues(2, -3000, 13.0); // at the threshold, negative
    EXPECT_EQ(s.scan.segueTimeMs(), 12800);
    s.feedValues(2, 5000, 0.1); // 200 ms early would be before the start
    EXPECT_EQ(s.scan.segueTimeMs(), 0);
}

TEST(CueSegueScan, AssistStopsAndReportsTheCueOnItsOwnThreadOnce) {
    Assist a;
    QList<int> cues;
    QList<QThread*> threads;
    QObject::connect(&a, &Assist::CueInFound, [&](int ms) {
        cues << ms;
        threads << QThread::currentThread();
    });
    PeakTap& tap = a.tap();
    tap.prepareRing(2 * kValuesPerSecond);
    tap.setIntakeDisabled(false);
    tap.scan().setFileScan(true);
    a.put_AutoCueThreshold(1000);
    a.RunGraph();

    std::thread streaming([&] {
        for (int frame = 0; frame < 3 * SyntheticAudio::kRate; frame += 441) {
            const auto bytes = frame < SyntheticAudio::kRate
                                   ? SyntheticAudio::silence(441)
                                   : SyntheticAudio::tone(441, 8000, 8000, frame);
            media::MediaSample sample{bytes.data(), static_cast<long>(bytes.size()), true};
            tap.sampleCB(static_cast<double>(frame) / SyntheticAudio::kRate, sample);
        }
    });
    streaming.join();
    QEventLoop loop;
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
    loop.exec();

    ASSERT_EQ(cues.size(), 1);
    EXPECT_GE(cues.first(), 1000);
    EXPECT_LT(cues.first(), 1024);
    EXPECT_EQ(threads.first(), QThread::currentThread());
    EXPECT_TRUE(tap.stopped());
    long threshold = 0;
    a.get_AutoCueThreshold(&threshold);
    EXPECT_EQ(threshold, 1000);
}
