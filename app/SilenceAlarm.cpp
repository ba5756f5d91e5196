#include "app/SilenceAlarm.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kFullScale = 32768.0;
}

SilenceAlarm::SilenceAlarm() {
    computeThresholdPeak();
}

void SilenceAlarm::setThreshold(int dBFS) {
    m_threshold = validThreshold(dBFS) ? dBFS : kDefaultThreshold;
    computeThresholdPeak();
    if (!enabled()) {
        m_silent = false;
        m_soundSinceMs = -1;
    }
}

void SilenceAlarm::setSeconds(int seconds) {
    m_seconds = validSeconds(seconds) ? seconds : kDefaultSeconds;
}

// The level of a peak is 20·log10(peak / full scale) dBFS; comparing peaks with the threshold's
// own peak keeps the logarithm out of every observation.
void SilenceAlarm::computeThresholdPeak() {
    m_thresholdPeak = kFullScale * std::pow(10.0, m_threshold / 20.0);
}

bool SilenceAlarm::isSound(int leftPeak, int rightPeak) const {
    return std::max(leftPeak, rightPeak) >= m_thresholdPeak;
}

void SilenceAlarm::start(qint64 nowMs) {
    if (m_watching)
        return;
    m_watching = true;
    m_silent = false;
    m_lastSoundMs = nowMs;
    m_soundSinceMs = -1;
}

void SilenceAlarm::stop() {
    m_watching = false;
    m_silent = false;
    m_soundSinceMs = -1;
}

SilenceAlarm::Change SilenceAlarm::observe(int leftPeak, int rightPeak, qint64 nowMs) {
    if (!m_watching || !enabled())
        return Change::None;
    if (!isSound(leftPeak, rightPeak)) {
        m_soundSinceMs = -1;
        return check(nowMs);
    }
    if (!m_silent) {
        m_lastSoundMs = nowMs;
        return Change::None;
    }
    if (m_soundSinceMs < 0)
        m_soundSinceMs = nowMs;
    if (nowMs - m_soundSinceMs < kSoundToEndMs)
        return Change::None;
    m_lastSilenceMs = m_soundSinceMs - m_lastSoundMs;
    m_silent = false;
    m_lastSoundMs = nowMs;
    m_soundSinceMs = -1;
    return Change::Ended;
}

SilenceAlarm::Change SilenceAlarm::check(qint64 nowMs) {
    if (!m_watching || !enabled() || m_silent)
        return Change::None;
    if (nowMs - m_lastSoundMs < qint64(m_seconds) * 1000)
        return Change::None;
    m_silent = true;
    return Change::Began;
}
