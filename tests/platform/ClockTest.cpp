#include "platform/Clock.h"

#include "platform/DayNumber.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using platform::Clock;

namespace {

class ClockTest : public testing::Test {
protected:
    void TearDown() override { Clock::useSystemClock(); }

    const QDateTime moment{QDate(2024, 7, 1), QTime(12, 30, 15, 250), Qt::LocalTime};
};

TEST_F(ClockTest, SetNowFreezesTime) {
    EXPECT_FALSE(Clock::isOverridden());
    Clock::setNow(moment);
    EXPECT_TRUE(Clock::isOverridden());
    EXPECT_EQ(Clock::now(), moment);
    const qint64 steady = Clock::steadyMs();
    EXPECT_EQ(Clock::now(), moment);
    EXPECT_EQ(Clock::steadyMs(), steady);
    EXPECT_EQ(Clock::nowAsDayNumber(), platform::DayNumber::fromDateTime(moment));
}

TEST_F(ClockTest, AdvanceMovesNowAndSteadyTogether) {
    Clock::setNow(moment);
    const qint64 steady = Clock::steadyMs();
    Clock::advance(1500);
    EXPECT_EQ(Clock::now(), moment.addMSecs(1500));
    EXPECT_EQ(Clock::steadyMs(), steady + 1500);
    Clock::advance(24LL * 3600 * 1000);
    EXPECT_EQ(Clock::now(), moment.addDays(1).addMSecs(1500));
}

TEST_F(ClockTest, SettingTheTimeAgainLeavesSteadyAlone) {
    Clock::setNow(moment);
    const qint64 steady = Clock::steadyMs();
    Clock::setNow(moment.addSecs(-3600));
    EXPECT_EQ(Clock::now(), moment.addSecs(-3600));
    EXPECT_EQ(Clock::steadyMs(), steady);

    Clock::advance(-1000);
    EXPECT_EQ(Clock::now(), moment.addSecs(-3600).addMSecs(-1000));
    EXPECT_EQ(Clock::steadyMs(), steady);
}

TEST_F(ClockTest, AdvanceWithoutATestClockFreezesThePresentFirst) {
    const qint64 before = Clock::steadyMs();
    Clock::advance(60'000);
    EXPECT_TRUE(Clock::isOverridden());
    const qint64 frozen = Clock::steadyMs();
    EXPECT_GE(frozen, before + 60'000);
    EXPECT_EQ(Clock::steadyMs(), frozen);
    EXPECT_EQ(Clock::now(), Clock::now());
}

TEST_F(ClockTest, SteadyNeverRunsBackAfterReturningToTheSystemClock) {
    Clock::setNow(moment);
    Clock::advance(10LL * 24 * 3600 * 1000);
    const qint64 ahead = Clock::steadyMs();
    Clock::useSystemClock();
    EXPECT_FALSE(Clock::isOverridden());
    EXPECT_GE(Clock::steadyMs(), ahead);
}

TEST_F(ClockTest, WorkerThreadsSeeAMonotonicTick) {
    Clock::setNow(moment);
    std::atomic<bool> stop{false};
    std::atomic<int> backwards{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 2; ++i) {
        readers.emplace_back([&] {
            qint64 last = Clock::steadyMs();
            while (!stop.load()) {
                const qint64 now = Clock::steadyMs();
                if (now < last)
                    ++backwards;
                last = now;
                (void)Clock::now();
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        Clock::advance(1);
        if (i == 1000)
            Clock::useSystemClock();
        if (i == 1500)
            Clock::setNow(moment);
    }
    stop = true;
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(backwards.load(), 0);
}

} // namespace
