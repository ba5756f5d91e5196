#include "nexuvo/PeakWindow.h"

#include <algorithm>
#include <cstdlib>

namespace nexuvo {

namespace {

constexpr double kWindowSeconds = 0.02;

struct ChannelPeaks {
    int left = 0;
    int right = 0;

    // Indexes from..to−1; the parity of the index tells the channel.
    void scan(const SampleRing::Reader& ring, int from, int to) {
        for (int i = from; i < to; ++i) {
            const int magnitude = std::abs(ring.value(i));
            int& channel = (i % 2 == 0) ? left : right;
            channel = std::max(channel, magnitude);
        }
    }
};

double correctedPosition(const PeakInputs& in) {
    double position = in.position100ns * 1e-7;
    if (!in.avoidsActualRate)
        position -= (in.pitch - 1.0) * static_cast<double>(in.elapsedSeconds);
    return position;
}

// Values received but not heard yet, at the playback rate.
int lagInValues(const PeakInputs& in, double position, int valuesPerSecond) {
    const double lead = in.latestSampleTime - position;
    const int rate = static_cast<int>((in.pitch - 1.0) * valuesPerSecond + valuesPerSecond);
    return std::max(0, static_cast<int>(rate * lead));
}

} // namespace

PeakResult measurePeaks(const PeakInputs& in, const SampleRing::Reader& ring) {
    PeakResult result;
    result.position = correctedPosition(in);
    if (ring.capacity() == 0)
        return result;
    const int valuesPerSecond = ring.valuesPerSecond();
    const int window = static_cast<int>(valuesPerSecond * kWindowSeconds);
    const int writeIndex = ring.writeIndex();
    const int limit = ring.limit();

    if (result.position <= in.earliestSampleTime) {
        result.outcome = PeakResult::Outcome::Silent;
        return result;
    }
    int end = writeIndex - lagInValues(in, result.position, valuesPerSecond);
    if (end < 0)
        end += limit;
    int start = end - window;

    ChannelPeaks peaks;
    if (!ring.wrapped()) {
        if (writeIndex - window < 0) {
            result.outcome = PeakResult::Outcome::Silent;
            return result;
        }
        if (start < 0)
            return result;
        peaks.scan(ring, start, std::min(end, limit));
    } else if (end > limit) {
        peaks.scan(ring, limit - window, limit);
    } else if (start < 0) {
        peaks.scan(ring, std::max(0, limit + start), limit);
        peaks.scan(ring, 0, end);
    } else {
        peaks.scan(ring, start, end);
    }
    result.outcome = PeakResult::Outcome::Measured;
    result.left = peaks.left;
    result.right = peaks.right;
    return result;
}

} // namespace nexuvo
