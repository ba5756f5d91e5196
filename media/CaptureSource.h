#pragma once

#include "media/Filter.h"

typedef struct _GstDevice GstDevice;

namespace media {

// An audio capture device as a filter. Whatever the device delivers leaves the output pin
// "Capture" as 16-bit little-endian interleaved PCM at 44.1 kHz, stereo, so the format of a
// capture connection is known before anything runs.
class CaptureSource : public Filter {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;

    // From a device found by the device monitor.
    static std::shared_ptr<CaptureSource> fromDevice(GstDevice* device);
    // From a source element description, e.g. a live test signal.
    static std::shared_ptr<CaptureSource> fromDescription(const QString& sourceDescription);

    explicit CaptureSource(GstElement* bin);
};

} // namespace media
