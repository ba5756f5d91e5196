#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <shared_mutex>

namespace nexuvo {

// The last five seconds of grabbed audio as 16-bit values widened to int32, channels interleaved
// as they arrive. One streaming thread writes (intake), the peak thread reads (Reader), and the
// owner's thread allocates, clears and frees. Writers and readers of the values share the ring;
// allocating, clearing and freeing wait until neither is inside it.
class SampleRing {
public:
    // Called by intake, on its thread, each time the write index wraps, with the address of the
    // first element.
    using WrapNotice = std::function<void(qintptr firstElement)>;

    class Arrival;
    // Looks at the values on the intake's thread just before they are stored.
    class Watch {
    public:
        virtual ~Watch() = default;
        // Asked before the first value of each buffer: false lets the buffer in unwatched.
        virtual bool watchBuffer() = 0;
        // False when the rest of the buffer needs no look.
        virtual bool beforeStore(const Arrival& arrival) = 0;
    };

    // A consistent view for one measurement; the ring is neither reallocated nor cleared while a
    // reader exists.
    class Reader {
    public:
        explicit Reader(const SampleRing& ring);
        int valuesPerSecond() const { return m_ring.m_valuesPerSecond; }
        int capacity() const { return m_ring.m_capacity; }
        int limit() const { return m_ring.m_capacity - 1; }
        int writeIndex() const { return m_ring.writeIndex(); }
        bool wrapped() const { return m_ring.wrapped(); }
        // 0 ≤ index ≤ capacity().
        std::int32_t value(int index) const;

    private:
        std::shared_lock<std::shared_mutex> m_lock;
        const SampleRing& m_ring;
    };

    static constexpr int kSeconds = 5;

    SampleRing();
    ~SampleRing();
    SampleRing(const SampleRing&) = delete;
    SampleRing& operator=(const SampleRing&) = delete;

    // Capacity N = five seconds of values; N + 1 elements, all zero; write index, wrapped flag and
    // value counter start again.
    void allocate(int valuesPerSecond);
    void release();
    // After a stop: the value counter and the first N − 1 values are zeroed and the wrapped flag
    // is cleared; the write index stays.
    void clearAfterStop();

    // Stores each 16-bit little-endian signed value of the buffer (a trailing odd byte is
    // ignored) for as long as `disabled` stays 0, showing each to the watch first when there is
    // one.
    void intake(const std::uint8_t* data, long length, const std::atomic<int>& disabled,
                const WrapNotice& onWrap, Watch* watch = nullptr);

    Reader read() const { return Reader(*this); }

    int capacity() const;
    int writeIndex() const { return m_writeIndex.load(std::memory_order_relaxed); }
    void resetWriteIndex() { m_writeIndex.store(0, std::memory_order_relaxed); }
    bool wrapped() const { return m_wrapped.load(std::memory_order_relaxed) != 0; }
    void clearWrapped() { m_wrapped.store(0, std::memory_order_relaxed); }
    // Values received since the last allocation or stop. 64 bits: a 32-bit count of 44.1 kHz
    // stereo values runs out after 6.76 hours, inside every long file.
    std::int64_t valueCount() const { return m_valueCount.load(std::memory_order_relaxed); }
    void resetValueCount() { m_valueCount.store(0, std::memory_order_relaxed); }
    // Starts the count at a given value (tests of long recordings).
    void setValueCount(std::int64_t count) { m_valueCount.store(count, std::memory_order_relaxed); }
    // The first element, as clients read the ring through BufferFull; 0 when there is none.
    qintptr address() const;

private:
    using Element = std::atomic<std::int32_t>;
    static_assert(sizeof(Element) == sizeof(std::int32_t) && Element::is_always_lock_free,
                  "clients read the ring as plain int32 values");

    mutable std::shared_mutex m_guard;
    std::unique_ptr<Element[]> m_values;
    int m_capacity = 0;
    int m_valuesPerSecond = 0;
    std::atomic<int> m_writeIndex{0};
    std::atomic<int> m_wrapped{0};
    std::atomic<std::int64_t> m_valueCount{0};
};

// One value as the intake is about to store it, with what a watch may want to know about the ring
// at that moment. Valid only during Watch::beforeStore.
class SampleRing::Arrival {
public:
    // `following` points at the bytes after the value, `followingLength` says how many there are.
    Arrival(const SampleRing& ring, int index, std::int32_t value, const std::uint8_t* following,
            long followingLength, std::int64_t valuesBefore)
        : m_ring(ring), m_index(index), m_value(value), m_following(following),
          m_followingLength(followingLength), m_valuesBefore(valuesBefore) {}

    // Where the value goes.
    int index() const { return m_index; }
    std::int32_t value() const { return m_value; }
    // The value after it in the same buffer; 0 when it is the buffer's last.
    std::int32_t next() const;
    // Values received before this one since the last allocation or stop.
    std::int64_t valuesBefore() const { return m_valuesBefore; }
    int valuesPerSecond() const { return m_ring.m_valuesPerSecond; }
    // The magnitudes of the stored values from index − 1 down to 1 (the first element is left
    // out), added up.
    std::int64_t magnitudeSumBelow() const;

private:
    const SampleRing& m_ring;
    int m_index;
    std::int32_t m_value;
    const std::uint8_t* m_following;
    long m_followingLength;
    std::int64_t m_valuesBefore;
};

} // namespace nexuvo
