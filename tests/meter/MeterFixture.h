#pragma once

#include "meter/Indicator.h"

#include "platform/Clock.h"
#include "platform/ScopedPrompts.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <vector>

// A meter on a test clock frozen at noon, with recording prompts installed.
class MeterTest : public testing::Test {
protected:
    using Indicator = meter::Indicator;

    void SetUp() override { platform::Clock::setNow(noon()); }
    void TearDown() override { platform::Clock::useSystemClock(); }

    static QDateTime noon() { return QDateTime(QDate(2024, 5, 1), QTime(12, 0)); }

    QColor brightOf(int led) const {
        switch (Indicator::zoneOf(led)) {
        case Indicator::Zone::Green:
            return meter.BrightGreenColor();
        case Indicator::Zone::Yellow:
            return meter.BrightYellowColor();
        case Indicator::Zone::Red:
            break;
        }
        return meter.BrightRedColor();
    }
    QColor dimOf(int led) const {
        switch (Indicator::zoneOf(led)) {
        case Indicator::Zone::Green:
            return meter.DimGreenColor();
        case Indicator::Zone::Yellow:
            return meter.DimYellowColor();
        case Indicator::Zone::Red:
            break;
        }
        return meter.DimRedColor();
    }

    // The LEDs showing their bright colour; every other LED must show its dim colour.
    std::vector<int> brightLeds() const {
        std::vector<int> bright;
        for (int i = 0; i < Indicator::LedCount; ++i) {
            if (meter.ledColor(i) == brightOf(i))
                bright.push_back(i);
            else
                EXPECT_EQ(meter.ledColor(i), dimOf(i)) << "LED " << i;
        }
        return bright;
    }
    static std::vector<int> ledsUpTo(int last, int first = 0) {
        std::vector<int> leds;
        for (int i = first; i <= last; ++i)
            leds.push_back(i);
        return leds;
    }
    std::vector<int> markedLeds() const {
        std::vector<int> marked;
        for (int i = 0; i < Indicator::LedCount; ++i) {
            if (!meter.ledMark(i).isEmpty())
                marked.push_back(i);
        }
        return marked;
    }

    platform::ScopedPrompts prompts;
    Indicator meter;
};
