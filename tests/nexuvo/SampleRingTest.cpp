// The ring keeps the last five seconds of 16-bit values and says when it wraps.
#include "nexuvo/SampleRing.h"
#include "SyntheticAudio.h"

#include <gtest/gtest.h>

#include <limits>

#include <vector>

using nexuvo::SampleRing;

namespace {

constexpr int kStereoValuesPerSecond = 88200; // 44 100 Hz, two channels

struct Feeder {
    SampleRing ring;
    std::atomic<int> disabled{0};
    std::vector<qintptr> wraps;
    SampleRing::WrapNotice onWrap = [this](qintptr first) {
        wraps.push_back(first);
    };

    void feed(const std::vector<std::uint8_t>& bytes) {
        ring.intake(bytes.data(), static_cast<long>(bytes.size()), disabled, onWrap);
    }
};

} // namespace

TEST(SampleRing, HoldsFiveSecondsOfValuesInOneMoreElement) {
    SampleRing ring;
    EXPECT_EQ(ring.address(), 0);
    ring.allocate(kStereoValuesPerSecond);
    EXPECT_EQ(ring.capacity(), 441000);
    const SampleRing::Reader reader = ring.read();
    EXPECT_EQ(reader.limit(), 440999);
    EXPECT_EQ(reader.value(441000), 0); // the element past the capacity exists
    EXPECT_NE(ring.address(), 0);
}

TEST(SampleRing, StoresLittleEndianValuesInArrivalOrderAndDropsAnOddByte) {
    Feeder f;
    f.ring.allocate(kStereoValuesPerSecond);
    const std::vector<std::uint8_t> bytes{0x01, 0x00, 0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF, 0x42};
    f.feed(bytes);
    EXPECT_EQ(f.ring.writeIndex(), 4);
    EXPECT_EQ(f.ring.valueCount(), 4);
    const SampleRing::Reader reader = f.ring.read();
    EXPECT_EQ(reader.value(0), 1);
    EXPECT_EQ(reader.value(1), -32768);
    EXPECT_EQ(reader.value(2), 32767);
    EXPECT_EQ(reader.value(3), -1);
    EXPECT_EQ(reader.value(4), 0);
    // The ring's elements are plain 32-bit integers for a client reading it by address.
    const auto* raw = reinterpret_cast<const std::int32_t*>(f.ring.address());
    EXPECT_EQ(raw[1], -32768);
}

// A day file of 44.1 kHz stereo holds 7.6 billion values; the count must not turn negative
// after 6.76 hours.
TEST(SampleRing, CountsValuesPastWhatThirtyTwoBitsHold) {
    Feeder f;
    f.ring.allocate(kStereoValuesPerSecond);
    const std::int64_t nearTheLimit = std::numeric_limits<std::int32_t>::max() - 1;
    f.ring.setValueCount(nearTheLimit);
    f.feed({0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00});
    EXPECT_EQ(f.ring.valueCount(), nearTheLimit + 4);
}

TEST(SampleRing, WrapsAndSaysSoEveryFiveSecondsOfAudio) {
    Feeder f;
    f.ring.allocate(kStereoValuesPerSecond);
    const std::vector<std::uint8_t> tenMs = SyntheticAudio::tone(441, 1000, 1000);
    for (int i = 0; i < 1200; ++i) // 12 s
        f.feed(tenMs);
    ASSERT_EQ(f.wraps.size(), 2u);
    EXPECT_EQ(f.wraps[0], f.ring.address());
    EXPECT_TRUE(f.ring.wrapped());
    EXPECT_EQ(f.ring.writeIndex(), 12 * kStereoValuesPerSecond - 2 * 441000);
    EXPECT_EQ(f.ring.valueCount(), 12 * kStereoValuesPerSecond);

    // Exactly five seconds fill the ring; the wrap comes with the next value.
    Feeder exact;
    exact.ring.allocate(kStereoValuesPerSecond);
    for (int i = 0; i < 500; ++i)
        exact.feed(tenMs);
    EXPECT_TRUE(exact.wraps.empty());
    EXPECT_EQ(exact.ring.writeIndex(), 441000);
    exact.feed(SyntheticAudio::silence(1));
    EXPECT_EQ(exact.wraps.size(), 1u);
    EXPECT_EQ(exact.ring.writeIndex(), 2);
}

TEST(SampleRing, TakesNothingWhileDisabledOrWithoutStorage) {
    Feeder f;
    f.feed(SyntheticAudio::tone(100, 1000, 1000)); // nothing allocated yet
    EXPECT_EQ(f.ring.valueCount(), 0);
    f.ring.allocate(kStereoValuesPerSecond);
    f.disabled = 1;
    f.feed(SyntheticAudio::tone(100, 1000, 1000));
    EXPECT_EQ(f.ring.writeIndex(), 0);
    EXPECT_EQ(f.ring.valueCount(), 0);
}

TEST(SampleRing, ClearingAfterAStopKeepsTheWriteIndex) {
    Feeder f;
    f.ring.allocate(kStereoValuesPerSecond);
    for (int i = 0; i < 510; ++i)
        f.feed(SyntheticAudio::constant(441, 500, -500));
    ASSERT_TRUE(f.ring.wrapped());
    const int writeIndex = f.ring.writeIndex();
    f.ring.clearAfterStop();
    EXPECT_FALSE(f.ring.wrapped());
    EXPECT_EQ(f.ring.valueCount(), 0);
    EXPECT_EQ(f.ring.writeIndex(), writeIndex);
    {
        const SampleRing::Reader reader = f.ring.read();
        EXPECT_EQ(reader.value(0), 0);
        EXPECT_EQ(reader.value(440997), 0);
        EXPECT_EQ(reader.value(440999), -500); // the last element is not cleared
    }

    f.ring.release();
    EXPECT_EQ(f.ring.capacity(), 0);
    EXPECT_EQ(f.ring.address(), 0);
}
