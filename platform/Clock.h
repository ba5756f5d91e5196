#pragma once

#include <QDateTime>

namespace platform {

// The one source of "now" in the program. Everything that schedules, stamps or measures time asks
// this class, so tests can freeze and move time instead of waiting for it.
//
// All members may be called from any thread.
class Clock {
public:
    // The current local date-time: the system time, or the test clock while one is set.
    static QDateTime now();
    // now() as a day number (see DayNumber).
    static double nowAsDayNumber();

    // A steady millisecond tick for measuring intervals. It never goes backwards and is unaffected
    // by changes of the wall clock; only differences between two readings mean anything. While the
    // test clock is set it stands still except for advance().
    static qint64 steadyMs();

    // Tests: freezes now() at the given moment until it is changed again. Setting the moment again
    // does not move steadyMs(), just as setting a real clock does not.
    static void setNow(const QDateTime& moment);
    // Tests: moves the test clock forward; both now() and steadyMs() move by the same amount. When
    // the system clock is in use, the test clock is first frozen at the present moment. A negative
    // amount sets now() back and leaves steadyMs() where it is.
    static void advance(qint64 ms);
    // Back to the system clock. steadyMs() carries on from the largest value it has given.
    static void useSystemClock();
    // Whether the test clock is set.
    static bool isOverridden();
};

} // namespace platform
