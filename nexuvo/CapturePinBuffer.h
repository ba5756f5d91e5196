#pragma once

#include "media/Pin.h"
#include "platform/ResultCodes.h"

namespace nexuvo {

// Sizes the buffers of a capture pin's source: the period of the source (its "latency-time")
// becomes the time of 8192 bytes of the pin's audio.
class CapturePinBuffer {
public:
    static constexpr int kBufferBytes = 8192;
    // E_NOINTERFACE when the pin's filter holds no source with an adjustable period; E_FAIL when
    // the pin's byte rate is not known (neither connected nor of a single audio format).
    static HRESULT suggestMinBuffer(const media::Pin& pin);

    // The period in microseconds for 8192 bytes at the byte rate.
    static qint64 periodMicroseconds(int averageBytesPerSecond);
};

} // namespace nexuvo
