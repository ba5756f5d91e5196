// The logger's one-second tick on the clock seam, and the settings it keeps.
#include "SettingsSandbox.h"

#include "logger/Tavlo.h"
#include "media/FilterRegistry.h"
#include "platform/Clock.h"
#include "platform/DayNumber.h"
#include "platform/ScopedPrompts.h"
#include "platform/Settings.h"

#include <QSignalSpy>
#include <ctime>
#include <gtest/gtest.h>

using platform::Clock;

namespace {

QDateTime at(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

// The local time zone set for as long as it lives.
class LocalZone {
public:
    explicit LocalZone(const char* zone)
        : m_saved(qgetenv("TZ")), m_wasSet(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone() {
        if (m_wasSet)
            qputenv("TZ", m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_saved;
    bool m_wasSet;
};

// A day number as local wall-clock time, readable in a failure message.
std::string shown(double dayNumber) {
    return platform::DayNumber::toDateTime(dayNumber).toString("yyyy-MM-dd HH:mm").toStdString();
}

class TavloTest : public ::testing::Test {
protected:
    void SetUp() override { logger.Timer1()->stop(); }
    void TearDown() override { Clock::useSystemClock(); }

    // Runs the tick at the given moment.
    void tickAt(const QDateTime& moment) {
        Clock::setNow(moment);
        logger.Timer1_Timer();
    }

    SettingsSandbox sandbox;
    platform::ScopedPrompts prompts;
    Tavlo logger;
};

} // namespace

TEST_F(TavloTest, NextTopOfTheHourRollsOverMidnight) {
    Clock::setNow(at(2026, 12, 7, 23, 59, 50));
    EXPECT_EQ(platform::DayNumber::toDateTime(logger.GetNextLogicalTopOfHour()),
              at(2026, 12, 8, 0, 0, 0));
    Clock::setNow(at(2026, 12, 7, 10, 0, 0));
    EXPECT_EQ(platform::DayNumber::toDateTime(logger.GetNextLogicalTopOfHour()),
              at(2026, 12, 7, 11, 0, 0));
}

// In Havana the clocks go from 00:00 straight to 01:00 on 8 March 2026: the day has no midnight.
// Its hours are still counted on the clock face from 00:00.
TEST_F(TavloTest, FileChangesOnADayWithoutMidnightKeepToTheClock) {
    LocalZone havana("America/Havana");
    const QDate day(2026, 3, 8);
    if (day.startOfDay().time() != QTime(1, 0))
        GTEST_SKIP() << "no time zone data for America/Havana on this machine";
    logger.setShouldSync(false);

    Clock::setNow(QDateTime(day, QTime(1, 30)));
    EXPECT_EQ(shown(logger.GetNextLogicalTopOfHour()), "2026-03-08 02:00");
    Clock::setNow(QDateTime(day, QTime(10, 15)));
    EXPECT_EQ(shown(logger.GetNextLogicalTopOfHour()), "2026-03-08 11:00");

    // Files of 1, 2, 8 and 24 hours started at 01:30.
    const QList<QPair<int, std::string>> ends{{0, "2026-03-08 02:00"},
                                              {1, "2026-03-08 03:00"},
                                              {3, "2026-03-08 09:00"},
                                              {4, "2026-03-09 01:00"}};
    QSignalSpy countdown(&logger, &Tavlo::CountingDowntoInterval);
    for (const auto& [code, end] : ends) {
        logger.setInterval(code);
        tickAt(QDateTime(day, QTime(1, 30)));
        EXPECT_EQ(shown(logger.NextChange()), end) << "interval code " << code;
    }
    logger.setInterval(0);
    tickAt(QDateTime(day, QTime(1, 30)));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 1800);

    // The skipped midnight as a file end: passed at the first moment after it.
    QSignalSpy reached(&logger, &Tavlo::IntervalReached);
    logger.setInterval(0);
    tickAt(QDateTime(day.addDays(-1), QTime(23, 59, 59)));
    EXPECT_EQ(logger.NextChange(), platform::DayNumber::baseDate().daysTo(day));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 1);
    EXPECT_EQ(reached.count(), 0);
    tickAt(QDateTime(day, QTime(1, 0, 0)));
    EXPECT_EQ(reached.count(), 1);
}

TEST_F(TavloTest, SynchronisingAsksOnceWithinTwentySecondsOfTheHour) {
    QSignalSpy seconds(&logger, &Tavlo::SecsToNextSynchPoint);
    QSignalSpy now(&logger, &Tavlo::SynchroniseNow);
    QSignalSpy countdown(&logger, &Tavlo::CountingDowntoInterval);
    logger.setInterval(0);

    tickAt(at(2026, 12, 7, 10, 59, 39));
    EXPECT_EQ(seconds.takeLast().at(0).toInt(), 11);
    EXPECT_EQ(now.count(), 0);
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 21); // the tick goes on with the countdown

    tickAt(at(2026, 12, 7, 10, 59, 41));
    EXPECT_EQ(seconds.takeLast().at(0).toInt(), 9);
    EXPECT_EQ(now.count(), 1);
    EXPECT_TRUE(logger.Synchronised());
    EXPECT_TRUE(countdown.isEmpty()); // that tick ends there

    tickAt(at(2026, 12, 7, 10, 59, 42));
    EXPECT_TRUE(seconds.isEmpty()); // synchronised: no more asking until the host resets it
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 18);
}

TEST_F(TavloTest, HourlyFileEndsOneSecondAfterMidnight) {
    logger.setShouldSync(false);
    logger.setInterval(0);
    QSignalSpy reached(&logger, &Tavlo::IntervalReached);
    QSignalSpy countdown(&logger, &Tavlo::CountingDowntoInterval);
    tickAt(at(2026, 12, 7, 23, 59, 50));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 10);
    tickAt(at(2026, 12, 8, 0, 0, 0));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 0);
    EXPECT_EQ(reached.count(), 0);
    tickAt(at(2026, 12, 8, 0, 0, 1));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), -1);
    EXPECT_EQ(reached.count(), 1);
    EXPECT_EQ(logger.NextChange(), 0.0); // worked out afresh at the next tick
    tickAt(at(2026, 12, 8, 0, 0, 2));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 3598);
}

TEST_F(TavloTest, DayLongFileStartedAtHalfPastTwoEndsAtTwoTheNextDay) {
    logger.setShouldSync(false);
    logger.setInterval(4);
    QSignalSpy reached(&logger, &Tavlo::IntervalReached);
    tickAt(at(2026, 12, 7, 14, 30, 0));
    EXPECT_EQ(platform::DayNumber::toDateTime(logger.NextChange()), at(2026, 12, 8, 14, 0, 0));
    tickAt(at(2026, 12, 8, 14, 0, 0));
    EXPECT_EQ(reached.count(), 0);
    tickAt(at(2026, 12, 8, 14, 0, 1));
    EXPECT_EQ(reached.count(), 1);
}

TEST_F(TavloTest, ThirtySecondCodeAndWritingTheIntervalStartAfresh) {
    logger.setShouldSync(false);
    logger.setInterval(6);
    QSignalSpy countdown(&logger, &Tavlo::CountingDowntoInterval);
    tickAt(at(2026, 12, 7, 9, 0, 0));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 30);
    tickAt(at(2026, 12, 7, 9, 0, 10));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 20);
    logger.setInterval(6);
    tickAt(at(2026, 12, 7, 9, 0, 15));
    EXPECT_EQ(countdown.takeLast().at(0).toInt(), 30);
}

TEST_F(TavloTest, StreamingSettingsAreClampedAndStoredAsText) {
    logger.setPortNumber(70000);
    EXPECT_EQ(platform::Settings::getString("Settings", "PortNumber"), "0");
    logger.setPortNumber(65535);
    EXPECT_EQ(logger.PortNumber(), 65535);
    logger.setMaxClients(0);
    EXPECT_EQ(logger.MaxClients(), 50);
    logger.setMaxClients(75);
    EXPECT_EQ(logger.MaxClients(), 50);
    logger.setMaxClients(49);
    EXPECT_EQ(logger.MaxClients(), 49);
    EXPECT_EQ(logger.UseStreaming(), false);
    logger.setUseStreaming(true);
    EXPECT_EQ(platform::Settings::getString("Settings", "UseStreaming"), "True");
    EXPECT_TRUE(logger.ShouldSync());
    EXPECT_EQ(logger.CurrentPosition(), 0.0);
    EXPECT_FALSE(logger.Streaming());
}

TEST_F(TavloTest, Mp3WithoutTheEncoderFallsBackToWma) {
    media::FilterRegistry::instance().unregisterFilter("Lame MPEG Layer III Audio Encoder2");
    logger.setAudioFormat(1);
    media::FilterRegistry::instance().reset();
    EXPECT_EQ(logger.AudioFormat(), 0);
    ASSERT_EQ(prompts->count(), 1);
    EXPECT_EQ(prompts->last().text,
              "Mp3 Encoding is not possible because the LAME Encoder is not installed.");
    EXPECT_EQ(prompts->last().title, "No Lame Encoder!");
    EXPECT_EQ(prompts->last().icon, platform::PromptIcon::Information);

    Tavlo other;
    other.setAudioFormat(1);
    EXPECT_EQ(other.AudioFormat(), 1);
}

TEST_F(TavloTest, ResettingTheEncoderSettingsStoresTheSafeValues) {
    logger.ResetLameSettings();
    EXPECT_EQ(platform::Settings::getString("MPEGSettings", "ChannelMode"), "0");
    EXPECT_EQ(platform::Settings::getString("MPEGSettings", "VBR"), "True");
    EXPECT_EQ(platform::Settings::getString("MPEGSettings", "VBRMax"), "128");
    EXPECT_EQ(platform::Settings::getString("MPEGSettings", "VBRMin"), "128");
    EXPECT_EQ(platform::Settings::getString("MPEGSettings", "SampleRate"), "44100");
    EXPECT_TRUE(logger.VBR());
}
