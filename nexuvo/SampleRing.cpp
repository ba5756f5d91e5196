#include "nexuvo/SampleRing.h"

#include <cstdlib>
#include <mutex>

namespace nexuvo {

namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

std::int32_t littleEndianValue(const std::uint8_t* bytes) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

} // namespace

SampleRing::Reader::Reader(const SampleRing& ring) : m_lock(ring.m_guard), m_ring(ring) {}

std::int32_t SampleRing::Reader::value(int index) const {
    return m_ring.m_values[index].load(kRelaxed);
}

SampleRing::SampleRing() = default;
SampleRing::~SampleRing() = default;

void SampleRing::allocate(int valuesPerSecond) {
    const int capacity = kSeconds * valuesPerSecond;
    auto values = std::make_unique<Element[]>(capacity + 1);
    for (int i = 0; i <= capacity; ++i)
        values[i].store(0, kRelaxed);
    std::unique_lock lock(m_guard);
    m_values = std::move(values);
    m_capacity = capacity;
    m_valuesPerSecond = valuesPerSecond;
    m_writeIndex.store(0, kRelaxed);
    m_wrapped.store(0, kRelaxed);
    m_valueCount.store(0, kRelaxed);
}

void SampleRing::release() {
    std::unique_ptr<Element[]> old;
    std::unique_lock lock(m_guard);
    old = std::move(m_values);
    m_capacity = 0;
    m_valuesPerSecond = 0;
}

void SampleRing::clearAfterStop() {
    std::unique_lock lock(m_guard);
    m_valueCount.store(0, kRelaxed);
    for (int i = 0; i < m_capacity - 1; ++i)
        m_values[i].store(0, kRelaxed);
    m_wrapped.store(0, kRelaxed);
}

void SampleRing::intake(const std::uint8_t* data, long length, const std::atomic<int>& disabled,
                        const WrapNotice& onWrap, Watch* watch) {
    std::shared_lock lock(m_guard);
    if (!m_values || !data)
        return;
    const long count = length / 2;
    if (watch && !watch->watchBuffer())
        watch = nullptr;
    int index = m_writeIndex.load(kRelaxed);
    std::int64_t received = m_valueCount.load(kRelaxed);
    for (long i = 0; i < count && !disabled.load(kRelaxed); ++i) {
        if (index < 0)
            index = 0;
        if (index >= m_capacity) {
            m_wrapped.store(1, kRelaxed);
            onWrap(reinterpret_cast<qintptr>(m_values.get()));
            index = 0;
        }
        const std::int32_t value = littleEndianValue(data + 2 * i);
        if (watch && !watch->beforeStore(Arrival(*this, index, value, data + 2 * (i + 1),
                                                 length - 2 * (i + 1), received)))
            watch = nullptr;
        m_values[index].store(value, kRelaxed);
        m_writeIndex.store(++index, kRelaxed);
        m_valueCount.store(++received, kRelaxed);
    }
}

int SampleRing::capacity() const {
    std::shared_lock lock(m_guard);
    return m_capacity;
}

std::int32_t SampleRing::Arrival::next() const {
    return m_followingLength >= 2 ? littleEndianValue(m_following) : 0;
}

// Called inside intake, which holds the guard.
std::int64_t SampleRing::Arrival::magnitudeSumBelow() const {
    std::int64_t sum = 0;
    for (int k = m_index - 1; k >= 1; --k)
        sum += std::abs(m_ring.m_values[k].load(kRelaxed));
    return sum;
}

qintptr SampleRing::address() const {
    std::shared_lock lock(m_guard);
    return reinterpret_cast<qintptr>(m_values.get());
}

} // namespace nexuvo
