#pragma once

#include "nexuvo/SampleRing.h"

#include <QtGlobal>

namespace nexuvo {

// What one measurement of the peak thread starts from.
struct PeakInputs {
    qint64 position100ns = 0;  // playback position the graph reports
    qint64 elapsedSeconds = 0; // whole seconds since the run started
    double pitch = 1.0;        // playback rate factor
    bool avoidsActualRate = false;
    double latestSampleTime = 0.0;   // seconds
    double earliestSampleTime = 0.0; // seconds
};

struct PeakResult {
    enum class Outcome {
        Measured, // left and right hold the peaks of the window
        Silent,   // nothing heard yet: both peaks become 0
        Unchanged // the window cannot be placed: the previous peaks stay
    };
    Outcome outcome = Outcome::Unchanged;
    int left = 0;
    int right = 0;
    double position = 0.0; // seconds, corrected for pitch
};

// Left and right peak (0..32768) of the 20 ms of audio being heard at the position: the window
// ends where the ring holds the sample now playing (the newest values minus what is received but
// not yet heard). Even ring indexes count for the left channel, odd ones for the right. When the
// ring has wrapped and the window reaches back past its first element, the window is read in its
// two pieces: the end of the ring, then its beginning.
PeakResult measurePeaks(const PeakInputs& inputs, const SampleRing::Reader& ring);

} // namespace nexuvo
