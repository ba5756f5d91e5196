#pragma once

#include "platform/ResultCodes.h"

#include <cstdint>

namespace media {

// One buffer as the sample grabber hands it on: the data stays valid only during the callback.
struct MediaSample {
    const std::uint8_t* data = nullptr;
    long actualLength = 0;
    bool timeValid = false;
    std::int64_t start100ns = 0; // stream time of the first sample
    std::int64_t end100ns = 0;
    bool preroll = false; // decoded only to reach a position, not to be heard

    HRESULT getTime(std::int64_t& start, std::int64_t& end) const {
        if (!timeValid)
            return static_cast<HRESULT>(0x80040249u); // no time stamp set
        start = start100ns;
        end = end100ns;
        return ResultCode::S_OK;
    }
    HRESULT isPreroll() const { return preroll ? ResultCode::S_OK : ResultCode::S_FALSE; }
};

// Receives the grabber's buffers on the streaming thread.
class SampleGrabberCallback {
public:
    virtual ~SampleGrabberCallback() = default;
    // sampleTime: stream time of the buffer in seconds.
    virtual HRESULT sampleCB(double sampleTime, const MediaSample& sample) = 0;
    virtual HRESULT bufferCB(double sampleTime, const std::uint8_t* data, long length) {
        (void)sampleTime, (void)data, (void)length;
        return ResultCode::S_OK;
    }
};

} // namespace media
