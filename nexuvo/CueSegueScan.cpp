#include "nexuvo/CueSegueScan.h"

#include "nexuvo/AssistMessages.h"

#include <cmath>
#include <cstdlib>

namespace nexuvo {

CueSegueScan::CueSegueScan(Post post) : m_post(std::move(post)) {}

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

bool isCueTestPoint(int index) {
    return index > 0 && index % CueSegueScan::kCueTestSpacing == 0;
}

} // namespace

bool CueSegueScan::watchBuffer() {
    const bool segue = segueSeeking();
    m_bufferSegue.store(segue, kRelaxed);
    m_bufferThreshold.store(segue ? segThreshold() : autoCueThreshold(), kRelaxed);
    return segue || (fileScan() && !cueFound());
}

// The cue-in test rests while the segue is sought.
bool CueSegueScan::beforeStore(const SampleRing::Arrival& arrival) {
    return m_bufferSegue.load(kRelaxed) ? testSegue(arrival) : testCueIn(arrival);
}

bool CueSegueScan::testCueIn(const SampleRing::Arrival& arrival) {
    if (!isCueTestPoint(arrival.index()))
        return true;
    if (cueFound() || !fileScan())
        return false;
    const long threshold = m_bufferThreshold.load(kRelaxed);
    const bool loud = std::abs(arrival.value()) > threshold || std::abs(arrival.next()) > threshold;
    // Enough sound has gone before it, not a lone click. (A test point lies well past the
    // hundredth value, which the sum needs.)
    if (!loud || arrival.magnitudeSumBelow() / kCueSumDivisor <= threshold)
        return true;
    const long cueTime = cueTimeOf(arrival);
    m_cueTimeMs.store(cueTime);
    m_cueFound.store(true);
    m_post(AssistMessage::CueIn, cueTime);
    return false;
}

// Counted in values from the start of the scan, not taken from time stamps.
long CueSegueScan::cueTimeOf(const SampleRing::Arrival& arrival) const {
    const int valuesPerSecond = arrival.valuesPerSecond();
    if (valuesPerSecond <= 0)
        return 0;
    const double ms = static_cast<double>(arrival.valuesBefore()) / valuesPerSecond * 1000.0;
    return ms < 0 ? 0 : static_cast<long>(std::trunc(ms));
}

// Every loud value of a buffer gives the same time: the first one settles it.
bool CueSegueScan::testSegue(const SampleRing::Arrival& arrival) {
    if (std::abs(arrival.value()) < m_bufferThreshold.load(kRelaxed))
        return true;
    const double ms = m_bufferTime.load(kRelaxed) * 1000.0 - kSegueLeadMs;
    m_segueTimeMs.store(ms < 0 ? 0 : static_cast<long>(std::trunc(ms)));
    return false;
}

} // namespace nexuvo
