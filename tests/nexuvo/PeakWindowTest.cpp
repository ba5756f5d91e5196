// The peaks of the 20 ms being heard, placed in the ring by the position and the lead of the
// received audio over it.
#include "nexuvo/PeakWindow.h"
#include "SyntheticAudio.h"

#include <gtest/gtest.h>

#include <cmath>

using nexuvo::PeakInputs;
using nexuvo::PeakResult;
using nexuvo::SampleRing;
using Outcome = nexuvo::PeakResult::Outcome;

namespace {

struct Ring {
    SampleRing ring;
    std::atomic<int> disabled{0};
    Ring() { ring.allocate(88200); }
    void feed(const std::vector<std::uint8_t>& bytes) {
        ring.intake(bytes.data(), static_cast<long>(bytes.size()), disabled, [](qintptr) {});
    }
    PeakResult measure(const PeakInputs& inputs) {
        return nexuvo::measurePeaks(inputs, ring.read());
    }
};

// Everything received has been heard: the window is the newest 20 ms.
PeakInputs heardUpTo(double seconds) {
    PeakInputs in;
    in.position100ns = std::llround(seconds * 1e7);
    in.latestSampleTime = seconds;
    return in;
}

} // namespace

TEST(PeakWindow, ToneOnTheLeftOnlyGivesItsAmplitudeLeftAndNothingRight) {
    for (const int amplitude : {300, 12000, 32767}) {
        Ring r;
        r.feed(SyntheticAudio::tone(22050, amplitude, 0));
        const PeakResult result = r.measure(heardUpTo(0.5));
        ASSERT_EQ(result.outcome, Outcome::Measured);
        EXPECT_NEAR(result.left, amplitude, 0.02 * amplitude) << amplitude;
        EXPECT_EQ(result.right, 0);
    }
}

TEST(PeakWindow, FullScaleNegativeIs32768AndSilenceIsZero) {
    Ring loud;
    loud.feed(SyntheticAudio::constant(4410, -32768, -32768));
    const PeakResult full = loud.measure(heardUpTo(0.1));
    EXPECT_EQ(full.outcome, Outcome::Measured);
    EXPECT_EQ(full.left, 32768);
    EXPECT_EQ(full.right, 32768);

    Ring quiet;
    quiet.feed(SyntheticAudio::silence(4410));
    const PeakResult none = quiet.measure(heardUpTo(0.1));
    EXPECT_EQ(none.outcome, Outcome::Measured);
    EXPECT_EQ(none.left, 0);
    EXPECT_EQ(none.right, 0);
}

TEST(PeakWindow, ReportsSilenceBeforeAnythingCanHaveBeenHeard) {
    Ring r;
    r.feed(SyntheticAudio::constant(4410, 1000, 1000));
    PeakInputs notYet = heardUpTo(0.1);
    notYet.earliestSampleTime = 0.1; // the position has not passed the first sample
    EXPECT_EQ(r.measure(notYet).outcome, Outcome::Silent);

    Ring shortRing;
    shortRing.feed(SyntheticAudio::constant(800, 1000, 1000)); // less than 20 ms received
    EXPECT_EQ(shortRing.measure(heardUpTo(0.018)).outcome, Outcome::Silent);
}

TEST(PeakWindow, MeasuresWhatIsHeardNotWhatWasLastReceived) {
    Ring r;
    r.feed(SyntheticAudio::constant(44100, 20000, 10000)); // one loud second
    r.feed(SyntheticAudio::silence(44100));                // then one silent second
    PeakInputs inLoudPart = heardUpTo(2.0);
    inLoudPart.position100ns = std::llround(0.5 * 1e7); // 1.5 s received but not yet heard
    const PeakResult loud = r.measure(inLoudPart);
    EXPECT_EQ(loud.left, 20000);
    EXPECT_EQ(loud.right, 10000);
    EXPECT_DOUBLE_EQ(loud.position, 0.5);

    PeakInputs inSilentPart = heardUpTo(2.0);
    inSilentPart.position100ns = std::llround(1.9 * 1e7);
    EXPECT_EQ(r.measure(inSilentPart).left, 0);
}

TEST(PeakWindow, WindowAcrossTheStartOfAWrappedRingIsReadInTwoPieces) {
    Ring r;
    r.feed(SyntheticAudio::silence(5 * 44100 - 441));
    r.feed(SyntheticAudio::constant(441, 7000, 3000)); // the ring's last 10 ms
    r.feed(SyntheticAudio::silence(220));              // wraps; 5 ms at its start
    ASSERT_TRUE(r.ring.wrapped());
    ASSERT_LT(r.ring.writeIndex(), 1764);
    const PeakResult result = r.measure(heardUpTo(5.005));
    EXPECT_EQ(result.outcome, Outcome::Measured);
    EXPECT_EQ(result.left, 7000);
    EXPECT_EQ(result.right, 3000);
}

TEST(PeakWindow, PositionIsCorrectedForPitchUnlessAvoided) {
    Ring r;
    r.feed(SyntheticAudio::silence(44100));
    PeakInputs in = heardUpTo(20.0);
    in.pitch = 1.5;
    in.elapsedSeconds = 10;
    EXPECT_DOUBLE_EQ(r.measure(in).position, 15.0);
    in.avoidsActualRate = true;
    EXPECT_DOUBLE_EQ(r.measure(in).position, 20.0);
}
