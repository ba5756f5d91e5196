#pragma once

#include "nexuvo/SampleRing.h"

#include <QtGlobal>

#include <atomic>
#include <functional>

namespace nexuvo {

// The two level tests of a file scan, run by the intake on each value before it is stored:
//
// - cue-in: where the audio of a file really starts. Tested every 1028 values of the ring while
//   a file is scanned and nothing was found yet: a value (or the one after it) louder than
//   AutoCueThreshold, with the magnitudes stored so far adding up to more than 100 times the
//   threshold, marks the cue. Its time is the count of values before it at the scan's rate; it
//   is posted once as a CueIn message.
// - segue: in segue-seek mode, the time of the last buffer holding a value at or above
//   SegThreshold, 200 ms early; the cue-in test is skipped then.
//
// Settings are written on the client's thread and read on the streaming thread; the results go
// the other way. Every item is an atomic word.
class CueSegueScan : public SampleRing::Watch {
public:
    using Post = std::function<void(int message, qintptr wParam)>;

    static constexpr int kCueTestSpacing = 1028; // values between two cue-in tests
    static constexpr long long kCueSumDivisor = 100;
    static constexpr int kSegueLeadMs = 200;

    explicit CueSegueScan(Post post);

    void setAutoCueThreshold(long level) { m_autoCueThreshold.store(level); }
    long autoCueThreshold() const { return m_autoCueThreshold.load(); }
    void setSegThreshold(long level) { m_segThreshold.store(level); }
    long segThreshold() const { return m_segThreshold.load(); }

    void setFileScan(bool on) { m_fileScan.store(on); }
    bool fileScan() const { return m_fileScan.load(); }
    void setSegueSeeking(bool on) { m_segueSeeking.store(on); }
    bool segueSeeking() const { return m_segueSeeking.load(); }

    void setCueFound(bool found) { m_cueFound.store(found); }
    bool cueFound() const { return m_cueFound.load(); }
    void setCueTimeMs(long ms) { m_cueTimeMs.store(ms); }
    long cueTimeMs() const { return m_cueTimeMs.load(); }
    void setSegueTimeMs(long ms) { m_segueTimeMs.store(ms); }
    long segueTimeMs() const { return m_segueTimeMs.load(); }

    // The stream time of the buffer the intake is about to take (streaming thread).
    void setBufferTime(double seconds) { m_bufferTime.store(seconds, std::memory_order_relaxed); }

    // SampleRing::Watch (streaming thread)
    bool watchBuffer() override;
    bool beforeStore(const SampleRing::Arrival& arrival) override;

private:
    bool testCueIn(const SampleRing::Arrival& arrival);
    bool testSegue(const SampleRing::Arrival& arrival);
    long cueTimeOf(const SampleRing::Arrival& arrival) const;

    Post m_post;
    std::atomic<long> m_autoCueThreshold{300};
    std::atomic<long> m_segThreshold{3000};
    std::atomic<bool> m_fileScan{false};
    std::atomic<bool> m_segueSeeking{false};
    std::atomic<bool> m_cueFound{false};
    std::atomic<long> m_cueTimeMs{0};
    std::atomic<long> m_segueTimeMs{0};
    std::atomic<double> m_bufferTime{0.0};

    // What holds for the buffer under way, taken at its start; the streaming thread's own.
    std::atomic<bool> m_bufferSegue{false};
    std::atomic<long> m_bufferThreshold{0};
};

} // namespace nexuvo
