#include "nexuvo/PeakTap.h"

#include "nexuvo/AssistMessages.h"
#include "nexuvo/PeakWindow.h"
#include "platform/Clock.h"

namespace nexuvo {

using namespace ResultCode;

PeakTap::PeakTap(Post post)
    : m_post(std::move(post)),
      m_onWrap([this](qintptr first) { m_post(AssistMessage::BufferFull, first); }),
      m_scan([this](int message, qintptr wParam) { m_post(message, wParam); }),
      m_thread([this] { return periodMs(); }, [this] { runPass(); }) {}

PeakTap::~PeakTap() {
    endThread();
}

void PeakTap::startThread() {
    m_thread.start();
}

void PeakTap::endThread() {
    m_thread.end();
}

void PeakTap::setThreadSleepmS(long ms) {
    const long clamped = ms <= kMinSleepMs ? kMinSleepMs : ms >= kMaxSleepMs ? kMaxSleepMs : ms;
    m_threadSleepMs.store(static_cast<int>(clamped));
}

int PeakTap::periodMs() const {
    const int sleep = m_threadSleepMs.load();
    return m_graphAttached.load() ? sleep : 2 * sleep;
}

void PeakTap::stopMeasuring() {
    std::lock_guard lock(m_passMutex);
    m_stopped.store(1);
}

void PeakTap::markRunStart() {
    m_runStartMs.store(platform::Clock::steadyMs());
}

void PeakTap::setPositionSource(std::unique_ptr<PositionSource> source) {
    std::lock_guard lock(m_passMutex);
    m_positionSource = std::move(source);
}

bool PeakTap::hasPositionSource() const {
    std::lock_guard lock(m_passMutex);
    return m_positionSource != nullptr;
}

void PeakTap::prepareRing(int averageBytesPerSecond) {
    m_ring.resetValueCount();
    if (averageBytesPerSecond == 0) {
        setIntakeDisabled(true);
        return;
    }
    m_ring.allocate(averageBytesPerSecond / 2);
}

HRESULT PeakTap::sampleCB(double sampleTime, const media::MediaSample& sample) {
    lowerEarliestSampleTime(sampleTime);
    if (intakeDisabled())
        return S_OK;
    std::int64_t start = 0;
    std::int64_t end = 0;
    if (SUCCEEDED(sample.getTime(start, end)))
        m_latestSampleTime.store(sampleTime);
    if (sample.isPreroll() == S_OK)
        return S_OK;
    m_scan.setBufferTime(sampleTime);
    m_ring.intake(sample.data, sample.actualLength, m_intakeDisabled, m_onWrap, &m_scan);
    return S_OK;
}

void PeakTap::lowerEarliestSampleTime(double seconds) {
    double earliest = m_earliestSampleTime.load();
    while (seconds < earliest && !m_earliestSampleTime.compare_exchange_weak(earliest, seconds)) {
    }
}

void PeakTap::runPass() {
    std::lock_guard lock(m_passMutex);
    if (!m_positionSource || intakeDisabled() || stopped())
        return;
    measure();
    if (!m_firing.load())
        m_post(AssistMessage::ThreadEvent, kPostedByPeakThread);
}

void PeakTap::measure() {
    const SampleRing::Reader ring = m_ring.read();
    PeakInputs inputs;
    inputs.elapsedSeconds = (platform::Clock::steadyMs() - m_runStartMs.load()) / 1000;
    if (FAILED(m_positionSource->currentPosition100ns(inputs.position100ns)))
        return; // the previous peaks stay
    inputs.pitch = m_pitch.load();
    inputs.avoidsActualRate = avoidsActualRate();
    inputs.latestSampleTime = m_latestSampleTime.load();
    inputs.earliestSampleTime = m_earliestSampleTime.load();

    const PeakResult result = measurePeaks(inputs, ring);
    m_position.store(result.position);
    if (result.outcome == PeakResult::Outcome::Unchanged)
        return;
    m_leftPeak.store(result.left);
    m_rightPeak.store(result.right);
}

} // namespace nexuvo
