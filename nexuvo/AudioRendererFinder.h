#pragma once

#include "media/Filter.h"
#include "media/Pin.h"
#include "platform/ResultCodes.h"

namespace media {
class FilterGraph;
}

namespace nexuvo {

struct AudioRenderer {
    media::FilterPtr filter;
    media::Pin input;
};

// Finds the filter of a graph that plays its audio: a filter that is, or contains, an audio sink
// and has exactly one pin, an input.
class AudioRendererFinder {
public:
    static constexpr HRESULT kNoAudioFilter = -3;

    // S_OK with the renderer. kNoAudioFilter when no filter plays audio. When some do but none
    // qualifies: E_NOINTERFACE when the last filter looked at plays no audio, else E_UNEXPECTED.
    static HRESULT find(const media::FilterGraph& graph, AudioRenderer& renderer);

    // An audio sink element (one with a ring buffer to a device, or a stream volume), an
    // auto-detecting audio sink, or a bin holding one.
    static bool playsAudio(const media::Filter& filter);
};

} // namespace nexuvo
