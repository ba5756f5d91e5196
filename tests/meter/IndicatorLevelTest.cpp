#include "MeterFixture.h"

#include <QTimer>

#include <climits>
#include <cmath>

using platform::Clock;

namespace {

using LevelTest = MeterTest;

TEST_F(LevelTest, ZeroAndTinyLevelsLightNothingOnTheLogScale) {
    meter.setValue(0);
    EXPECT_TRUE(brightLeds().empty());
    meter.setValue(100); // below Max ÷ 44: the logarithm is negative
    EXPECT_TRUE(brightLeds().empty());
    EXPECT_EQ(meter.peakLed(), 0);
}

// Levels rise in these tests, so no peak is held.
TEST_F(LevelTest, FullScaleLinear) {
    meter.setLogIt(false);
    meter.setMax(44); // LED i lights only above Max × i ÷ 44
    meter.setValue(10);
    EXPECT_EQ(brightLeds(), ledsUpTo(9));
    meter.setMax(32767);
    meter.setValue(32767);
    EXPECT_EQ(brightLeds(), ledsUpTo(43));
    meter.setValue(32768);
    EXPECT_EQ(brightLeds(), ledsUpTo(44));
}

TEST_F(LevelTest, FullScaleLogarithmic) {
    meter.setValue(std::lround(0.452 * 32767));
    EXPECT_EQ(brightLeds(), ledsUpTo(25));
    meter.setValue(std::lround(0.455 * 32767));
    EXPECT_EQ(brightLeds(), ledsUpTo(26));
    meter.setValue(32767);
    EXPECT_EQ(brightLeds(), ledsUpTo(32)); // 27 green and 6 yellow
    meter.setValue(std::lround(1.28 * 32767));
    EXPECT_EQ(brightLeds(), ledsUpTo(35));
}

TEST_F(LevelTest, ScaleSettingsWaitForTheNextValue) {
    meter.setValue(32767);
    meter.setLogIt(false);
    meter.setMax(65534);
    meter.setSens(2.0);
    EXPECT_EQ(brightLeds(), ledsUpTo(32));
    meter.setValue(30000); // 60000 after Sens: lit 40.3 on the linear scale
    EXPECT_EQ(meter.value(), 60000);
    EXPECT_EQ(brightLeds(), ledsUpTo(40));
}

TEST_F(LevelTest, SensRoundsHalfToEvenAndSaturates) {
    meter.setSens(0.5);
    meter.setValue(5);
    EXPECT_EQ(meter.value(), 2);
    meter.setValue(7);
    EXPECT_EQ(meter.value(), 4);
    meter.setSens(1e12);
    meter.setValue(3);
    EXPECT_EQ(meter.value(), INT_MAX);
    meter.setValue(-3);
    EXPECT_EQ(meter.value(), INT_MIN);
    meter.setSens(std::nan(""));
    meter.setValue(3);
    EXPECT_EQ(meter.value(), INT_MIN);
}

TEST_F(LevelTest, MaxOfZeroLightsNothing) {
    meter.setMax(0);
    meter.setValue(30000);
    EXPECT_TRUE(brightLeds().empty());
}

// lit 30.4, then lit 5: the peak is held on LED 30 until the first update more than one second
// after the level last rose.
TEST_F(LevelTest, FallingLevelHoldsThePeakForOneSecond) {
    meter.setLogIt(false);
    meter.setMax(440);
    meter.setValue(304);
    EXPECT_EQ(brightLeds(), ledsUpTo(30));
    EXPECT_EQ(meter.peakLed(), 30);

    for (int ms : {100, 600, 1000}) {
        Clock::setNow(noon().addMSecs(ms));
        meter.setValue(50);
        std::vector<int> expected = ledsUpTo(4);
        expected.push_back(30);
        EXPECT_EQ(brightLeds(), expected) << ms;
        EXPECT_EQ(meter.ledColor(30), meter.BrightYellowColor());
        EXPECT_EQ(markedLeds(), std::vector<int>{30});
        EXPECT_EQ(meter.ledMark(30), QStringLiteral("Held"));
        EXPECT_EQ(meter.peakLed(), 30);
    }

    Clock::setNow(noon().addMSecs(1001));
    meter.setValue(50);
    EXPECT_EQ(brightLeds(), ledsUpTo(4));
    EXPECT_EQ(meter.ledColor(30), meter.DimYellowColor());
    EXPECT_TRUE(markedLeds().empty());
    EXPECT_EQ(meter.peakLed(), 5);
}

TEST_F(LevelTest, ExactlyThirtyHoldsTheLedAboveTheBar) {
    meter.setLogIt(false);
    meter.setMax(44);
    meter.setValue(30);
    EXPECT_EQ(brightLeds(), ledsUpTo(29));
    EXPECT_EQ(meter.peakLed(), 30);
    meter.setValue(10);
    std::vector<int> expected = ledsUpTo(9);
    expected.push_back(30);
    EXPECT_EQ(brightLeds(), expected);
    EXPECT_EQ(markedLeds(), std::vector<int>{30});
}

TEST_F(LevelTest, PeakBeyondTheLastLedIsHeldOnIt) {
    meter.setLogIt(false);
    meter.setMax(100);
    meter.setValue(300);
    EXPECT_EQ(meter.peakLed(), 132);
    meter.setValue(0);
    EXPECT_EQ(brightLeds(), std::vector<int>{44});
    EXPECT_EQ(markedLeds(), std::vector<int>{44});
    meter.HoldPeak(0); // nothing to hold
    EXPECT_EQ(markedLeds(), std::vector<int>{44});
}

class BlankingTest : public MeterTest {
protected:
    bool isDark() const {
        for (int i = 0; i < Indicator::LedCount; ++i) {
            if (meter.ledColor(i) != dimOf(i) || !meter.ledMark(i).isEmpty())
                return false;
        }
        return true;
    }

    // Ticks every 500 ms from phaseMs after the last update; how long after it the meter went
    // dark, or -1 when it stayed lit for 6 s.
    int msUntilDark(int phaseMs) {
        Clock::advance(phaseMs);
        for (int elapsed = phaseMs; elapsed <= 6000; elapsed += 500) {
            meter.idleTick();
            if (isDark())
                return elapsed;
            Clock::advance(500);
        }
        return -1;
    }
};

TEST_F(BlankingTest, GoesDarkBetweenOneAndThreeSecondsAfterTheLastUpdate) {
    int level = 8000;
    for (int startMs : {0, 250, 600, 999}) {
        for (int phaseMs : {1, 250, 499}) {
            Clock::setNow(noon().addMSecs(startMs));
            meter.setValue(32767);
            meter.setValue(++level); // falling: a held peak to release as well
            ASSERT_FALSE(isDark());
            const int dark = msUntilDark(phaseMs);
            EXPECT_GT(dark, 1000) << startMs << " " << phaseMs;
            EXPECT_LE(dark, 3000) << startMs << " " << phaseMs;
        }
    }
    EXPECT_EQ(meter.idleTimer()->interval(), 500);
    EXPECT_TRUE(meter.idleTimer()->isActive());
}

TEST_F(BlankingTest, RepeatedEqualUpdatesKeepTheMeterLit) {
    for (int ms = 0; ms < 6000; ms += 250) {
        meter.setValue(20000);
        if (ms % 500 == 0)
            meter.idleTick();
        ASSERT_FALSE(isDark()) << ms;
        Clock::advance(250);
    }
}

TEST_F(BlankingTest, ClockSetBackCountsAsAPause) {
    meter.setValue(20000);
    Clock::setNow(noon().addSecs(-3600));
    meter.idleTick();
    meter.idleTick();
    EXPECT_TRUE(isDark());
}

} // namespace
