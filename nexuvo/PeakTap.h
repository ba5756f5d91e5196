#pragma once

#include "media/MediaSample.h"
#include "nexuvo/CueSegueScan.h"
#include "nexuvo/PeakThread.h"
#include "nexuvo/PositionSource.h"
#include "nexuvo/SampleRing.h"

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace nexuvo {

// The working part of the graph assistant that runs on other threads: the grabber callback that
// fills the sample ring on the streaming thread (and runs the cue-in and segue tests of a file
// scan on the way), and the peak thread that measures the audio being heard every period. Neither
// ever calls the client; both post messages (see AssistMessages.h) through the function given at
// construction, which must be thread-safe.
//
// Shared words are atomics. The ring guards its own storage. The position source is used and
// replaced under one lock, so a replaced or released source is never in use, and once
// stopMeasuring() has returned no pass of the peak thread posts anything.
class PeakTap : public media::SampleGrabberCallback {
public:
    using Post = std::function<void(int message, qintptr wParam)>;

    static constexpr int kInitialSleepMs = 100;
    static constexpr int kMinSleepMs = 50;
    static constexpr int kMaxSleepMs = 1000;

    explicit PeakTap(Post post);
    ~PeakTap() override;
    PeakTap(const PeakTap&) = delete;
    PeakTap& operator=(const PeakTap&) = delete;

    // The peak thread; end waits for a pass under way.
    void startThread();
    void endThread();
    bool threadRunning() const { return m_thread.running(); }
    long long threadCpuTimeNs() const { return m_thread.cpuTimeNs(); }

    // Period of the peak thread: a value at or below 50 becomes 50, at or above 1000 becomes 1000.
    void setThreadSleepmS(long ms);
    int threadSleepmS() const { return m_threadSleepMs.load(); }
    // Without a graph the thread sleeps twice the period.
    void setGraphAttached(bool attached) { m_graphAttached.store(attached); }
    int periodMs() const;

    // Measuring starts with the peak thread's next pass after clearStopped().
    void stopMeasuring();
    void clearStopped() { m_stopped.store(0); }
    bool stopped() const { return m_stopped.load() != 0; }
    void setIntakeDisabled(bool disabled) { m_intakeDisabled.store(disabled ? 1 : 0); }
    bool intakeDisabled() const { return m_intakeDisabled.load() != 0; }
    // Set while the client handles a ThreadEvent: the thread posts no new one meanwhile.
    void setFiring(bool firing) { m_firing.store(firing ? 1 : 0); }

    void setPitch(double pitch) { m_pitch.store(pitch); }
    double pitch() const { return m_pitch.load(); }
    void setAvoidsActualRate(bool avoids) { m_avoidsActualRate.store(avoids ? 1 : 0); }
    bool avoidsActualRate() const { return m_avoidsActualRate.load() != 0; }
    // The moment the elapsed time for the pitch correction counts from (the steady clock).
    void markRunStart();

    void setEarliestSampleTime(double seconds) { m_earliestSampleTime.store(seconds); }
    double earliestSampleTime() const { return m_earliestSampleTime.load(); }
    double latestSampleTime() const { return m_latestSampleTime.load(); }

    // nullptr releases the source; returns once no pass uses the old one.
    void setPositionSource(std::unique_ptr<PositionSource> source);
    bool hasPositionSource() const;

    // Allocates five seconds of values at the byte rate; a byte rate of 0 disables the intake
    // instead.
    void prepareRing(int averageBytesPerSecond);
    SampleRing& ring() { return m_ring; }
    CueSegueScan& scan() { return m_scan; }
    const CueSegueScan& scan() const { return m_scan; }

    int leftPeak() const { return m_leftPeak.load(); }
    int rightPeak() const { return m_rightPeak.load(); }
    double position() const { return m_position.load(); }

    // The grabber callback (streaming thread).
    HRESULT sampleCB(double sampleTime, const media::MediaSample& sample) override;

    // One pass of the peak thread: measure and post, when attached, enabled and not stopped.
    void runPass();

private:
    void measure();
    void lowerEarliestSampleTime(double seconds);

    Post m_post;
    SampleRing::WrapNotice m_onWrap;
    SampleRing m_ring;
    CueSegueScan m_scan;

    std::atomic<int> m_stopped{0};
    std::atomic<int> m_intakeDisabled{1};
    std::atomic<int> m_firing{0};
    std::atomic<int> m_graphAttached{0};
    std::atomic<int> m_threadSleepMs{kInitialSleepMs};
    std::atomic<double> m_pitch{1.0};
    std::atomic<int> m_avoidsActualRate{0};
    std::atomic<qint64> m_runStartMs{0};
    std::atomic<double> m_latestSampleTime{0.0};
    std::atomic<double> m_earliestSampleTime{0.0};
    std::atomic<double> m_position{0.0};
    std::atomic<int> m_leftPeak{0};
    std::atomic<int> m_rightPeak{0};

    mutable std::mutex m_passMutex;
    std::unique_ptr<PositionSource> m_positionSource; // guarded by m_passMutex

    PeakThread m_thread; // last: it ends before anything it uses goes
};

} // namespace nexuvo
