#pragma once

#include <QtGlobal>

// Watches the levels of the signal being recorded for dead air. Both channels below the threshold
// for the set time is a silence; either channel at or above it again for a second ends it. Fed
// with peak pairs (0 to 32768, linear) and readings of a steady millisecond clock; it knows
// nothing of windows, loggers or settings.
class SilenceAlarm {
public:
    static constexpr int kDefaultThreshold = -50; // dBFS
    // The lowest threshold that may be set; it turns the alarm off.
    static constexpr int kOffThreshold = -90;
    static constexpr int kHighestThreshold = 0;
    static constexpr int kDefaultSeconds = 30;
    static constexpr int kFewestSeconds = 1;
    static constexpr int kMostSeconds = 3600;
    // How long sound must last to end a silence.
    static constexpr qint64 kSoundToEndMs = 1000;

    enum class Change { None, Began, Ended };

    SilenceAlarm();

    static bool validThreshold(int dBFS) {
        return dBFS >= kOffThreshold && dBFS <= kHighestThreshold;
    }
    static bool validSeconds(int seconds) {
        return seconds >= kFewestSeconds && seconds <= kMostSeconds;
    }

    // Out-of-range values are taken as the defaults. Turning the alarm off forgets a silence
    // under way without calling it ended.
    void setThreshold(int dBFS);
    void setSeconds(int seconds);
    int threshold() const { return m_threshold; }
    int seconds() const { return m_seconds; }
    bool enabled() const { return m_threshold > kOffThreshold; }

    // Recording began: silence is counted from now. Nothing happens when already watching.
    void start(qint64 nowMs);
    // Recording ended: a silence under way is forgotten, not ended.
    void stop();
    bool watching() const { return m_watching; }

    // One pair of peaks, heard at nowMs.
    Change observe(int leftPeak, int rightPeak, qint64 nowMs);
    // Time passing without peaks (a stalled input is silent too).
    Change check(qint64 nowMs);

    bool silent() const { return m_silent; }
    // When the silence under way began: the last moment sound was heard.
    qint64 silenceBeganMs() const { return m_lastSoundMs; }
    // How long the silence that ended last lasted, up to the sound that ended it.
    qint64 lastSilenceMs() const { return m_lastSilenceMs; }
    // Whether a peak pair is sound at the threshold set: either channel at or above it.
    bool isSound(int leftPeak, int rightPeak) const;

private:
    int m_threshold = kDefaultThreshold;
    int m_seconds = kDefaultSeconds;
    double m_thresholdPeak = 0;
    bool m_watching = false;
    bool m_silent = false;
    qint64 m_lastSoundMs = 0;
    qint64 m_soundSinceMs = -1; // start of the sound heard during a silence; -1: none
    qint64 m_lastSilenceMs = 0;

    void computeThresholdPeak();
};
