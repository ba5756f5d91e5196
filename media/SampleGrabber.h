#pragma once

#include "media/Filter.h"
#include "media/MediaSample.h"

#include <mutex>

typedef struct _GstPad GstPad;
typedef struct _GstPadProbeInfo GstPadProbeInfo;
typedef struct _GstBuffer GstBuffer;

namespace media {

// Passes 16-bit little-endian interleaved audio through unchanged and hands every buffer to a
// callback on the streaming thread. Pins: "Input", "Output".
class SampleGrabber : public Filter {
public:
    SampleGrabber();
    ~SampleGrabber() override;

    HRESULT setBufferSamples(bool buffer);
    // whichMethod 0 calls sampleCB, 1 calls bufferCB. Setting a new callback (or none) waits
    // until a callback that is running has returned, so the old receiver may be released.
    HRESULT setCallback(SampleGrabberCallback* callback, int whichMethod);
    // The format of the audio on the grabber's output connection.
    HRESULT connectedMediaType(MediaType& type) const;

private:
    static int onProbe(GstPad* pad, GstPadProbeInfo* info, void* data);
    void deliver(GstBuffer* buffer);

    GstPad* m_probePad = nullptr;
    unsigned long m_probeId = 0; // the probe on m_probePad
    std::mutex m_callbackMutex;
    SampleGrabberCallback* m_callback = nullptr;
    int m_method = 0;
    bool m_bufferSamples = false;
    struct SegmentState;
    SegmentState* m_segment;
};

} // namespace media
