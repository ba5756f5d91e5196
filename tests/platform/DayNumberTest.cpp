#include "platform/DayNumber.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

using platform::DayNumber;

namespace {

QDateTime local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::LocalTime);
}

// Runs with a local time zone that has daylight saving time (Central European rules, given
// inline so no zone database is needed), and puts the previous zone back afterwards.
class DayNumberTest : public testing::Test {
protected:
    void SetUp() override {
        hadTz_ = qEnvironmentVariableIsSet("TZ");
        previousTz_ = qgetenv("TZ");
        qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
        tzset();
    }
    void TearDown() override {
        if (hadTz_)
            qputenv("TZ", previousTz_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool hadTz_ = false;
    QByteArray previousTz_;
};

TEST_F(DayNumberTest, KnownDates) {
    EXPECT_EQ(DayNumber::toDateTime(0.0), local(1899, 12, 30));
    EXPECT_EQ(DayNumber::toDateTime(1.5), local(1899, 12, 31, 12));
    EXPECT_EQ(DayNumber::toDateTime(45474.75), local(2024, 7, 1, 18));

    EXPECT_EQ(DayNumber::fromDateTime(local(1899, 12, 30)), 0.0);
    EXPECT_EQ(DayNumber::fromDateTime(local(1899, 12, 31, 12)), 1.5);
    EXPECT_EQ(DayNumber::fromDateTime(local(2024, 7, 1, 6)), 45474.25);
    EXPECT_EQ(DayNumber::fromDateTime(local(1900, 3, 1)), 61.0);
}

TEST_F(DayNumberTest, BeforeTheBaseDateTheFractionStillCountsForward) {
    EXPECT_EQ(DayNumber::fromDateTime(local(1899, 12, 29, 6)), -1.25);
    EXPECT_EQ(DayNumber::toDateTime(-1.25), local(1899, 12, 29, 6));
    EXPECT_EQ(DayNumber::toDateTime(-2.0), local(1899, 12, 28));
    EXPECT_EQ(DayNumber::toDateTime(DayNumber::fromDateTime(local(1850, 5, 17, 23, 59, 59, 999))),
              local(1850, 5, 17, 23, 59, 59, 999));
}

TEST_F(DayNumberTest, MillisecondsSurviveTheRoundTrip) {
    const QDateTime start = local(2024, 7, 1, 0, 0, 0, 0);
    // Steps that are not a divisor of a day, across a whole day and into the next.
    for (qint64 ms = 0; ms < 26LL * 3600 * 1000; ms += 3'599'937) {
        for (int extra : {0, 1, 499, 500, 999}) {
            const QDateTime moment = start.addMSecs(ms + extra);
            EXPECT_EQ(DayNumber::toDateTime(DayNumber::fromDateTime(moment)), moment)
                << qPrintable(moment.toString(Qt::ISODateWithMs));
        }
    }
    EXPECT_EQ(DayNumber::toDateTime(DayNumber::fromDateTime(local(2024, 7, 1, 23, 59, 59, 999))),
              local(2024, 7, 1, 23, 59, 59, 999));
}

TEST_F(DayNumberTest, AlmostMidnightRoundsToTheNextDay) {
    EXPECT_EQ(DayNumber::toDateTime(45474.0 - 1e-10), local(2024, 7, 1));
    // 29 December 1899, a hair before the next midnight.
    EXPECT_EQ(DayNumber::toDateTime(-2.0 + 1e-10), local(1899, 12, 30));
}

TEST_F(DayNumberTest, DaysAreWholeAcrossClockChanges) {
    // Summer time starts on 31 March 2024 and ends on 27 October 2024 under these rules.
    const double before = DayNumber::fromDateTime(local(2024, 3, 30, 12));
    const double after = DayNumber::fromDateTime(local(2024, 3, 31, 12));
    EXPECT_EQ(after - before, 1.0);
    EXPECT_EQ(DayNumber::toDateTime(after), local(2024, 3, 31, 12));
    EXPECT_EQ(DayNumber::toDateTime(DayNumber::fromDateTime(local(2024, 10, 27, 12))).time(),
              QTime(12, 0));
}

TEST_F(DayNumberTest, OtherZonesCountAsTheirLocalTime) {
    const QDateTime utcNoon(QDate(2024, 7, 1), QTime(12, 0), Qt::UTC);
    // 14:00 local in summer time.
    EXPECT_EQ(DayNumber::fromDateTime(utcNoon), DayNumber::fromDateTime(local(2024, 7, 1, 14)));
}

TEST_F(DayNumberTest, InvalidInput) {
    EXPECT_EQ(DayNumber::fromDateTime(QDateTime()), 0.0);
    EXPECT_FALSE(DayNumber::toDateTime(std::numeric_limits<double>::quiet_NaN()).isValid());
    EXPECT_FALSE(DayNumber::toDateTime(std::numeric_limits<double>::infinity()).isValid());
    EXPECT_FALSE(DayNumber::toDateTime(1e300).isValid());
}

} // namespace
