#pragma once

#include "media/Pin.h"
#include "platform/ResultCodes.h"

#include <QString>

namespace media {
class FilterGraph;
}

namespace nexuvo {

// The graph's pitch shifter ("Quorvia Pitch Shifter": pins "XForm In", "XForm Out"), which
// plays the audio faster or slower.
class PitchShifter {
public:
    static inline const QString kName = QStringLiteral("Quorvia Pitch Shifter");

    // Puts the graph's pitch shifter (made when the graph has none) between a renderer's input
    // and the pin feeding it. Returns the result of the last connection, or S_OK when the shifter
    // feeds the renderer already; E_UNEXPECTED when the renderer's input is not fed or a pin is
    // missing (the renderer then stays connected as it was); the failure when no shifter can be
    // made.
    static HRESULT insertBefore(media::FilterGraph& graph, const media::Pin& rendererInput);

    // The speed value for a pitch factor: trunc(1000 − (pitch − 1) × 1000), so 1.0 gives 1000,
    // 1.1 gives 900 and 0.9 gives 1100. The factor's binary rounding is forgiven before the
    // truncation: 1.1 − 1.0 is a hair above 0.1 as a double.
    static int speedValue(double pitch);

    // Sends a speed value to the graph's shifter, which plays at the tempo 1000 / value (held to
    // the shifter's range). False when the graph has no shifter or the value is not positive.
    static bool sendSpeed(media::FilterGraph& graph, int value);
};

} // namespace nexuvo
