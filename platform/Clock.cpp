#include "platform/Clock.h"

#include "platform/DayNumber.h"

#include <chrono>
#include <mutex>

namespace platform {

namespace {

struct ClockState {
    std::mutex mutex;
    bool overridden = false;
    QDateTime frozenNow;
    qint64 frozenSteady = 0;
    // Added to the system's steady clock so the tick never runs backwards after the test clock was
    // moved ahead of it.
    qint64 steadyOffset = 0;
};

ClockState& state() {
    static ClockState s;
    return s;
}

qint64 systemSteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Caller holds the mutex.
void freezeLocked(ClockState& s) {
    if (s.overridden)
        return;
    s.overridden = true;
    s.frozenNow = QDateTime::currentDateTime();
    s.frozenSteady = systemSteadyMs() + s.steadyOffset;
}

} // namespace

QDateTime Clock::now() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    return s.overridden ? s.frozenNow : QDateTime::currentDateTime();
}

double Clock::nowAsDayNumber() {
    return DayNumber::fromDateTime(now());
}

qint64 Clock::steadyMs() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    return s.overridden ? s.frozenSteady : systemSteadyMs() + s.steadyOffset;
}

void Clock::setNow(const QDateTime& moment) {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    freezeLocked(s);
    s.frozenNow = moment.toLocalTime();
}

void Clock::advance(qint64 ms) {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    freezeLocked(s);
    s.frozenNow = s.frozenNow.addMSecs(ms);
    if (ms > 0)
        s.frozenSteady += ms;
}

void Clock::useSystemClock() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.overridden)
        return;
    s.overridden = false;
    const qint64 behind = s.frozenSteady - (systemSteadyMs() + s.steadyOffset);
    if (behind > 0)
        s.steadyOffset += behind;
}

bool Clock::isOverridden() {
    ClockState& s = state();
    std::lock_guard lock(s.mutex);
    return s.overridden;
}

} // namespace platform
