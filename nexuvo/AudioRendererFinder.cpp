#include "nexuvo/AudioRendererFinder.h"

#include "media/FilterGraph.h"

#include <gst/audio/audio.h>
#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <cstring>

namespace nexuvo {

using namespace ResultCode;

namespace {

// An auto-detecting sink picks its device only when it starts; until then its class says what it
// will be.
bool isAudioSinkByClass(GstElement* element) {
    const gchar* klass = gst_element_get_metadata(element, GST_ELEMENT_METADATA_KLASS);
    return klass && std::strstr(klass, "Sink") && std::strstr(klass, "Audio");
}

bool isOrHoldsAudioSink(GstElement* element) {
    if (GST_IS_AUDIO_BASE_SINK(element) || GST_IS_STREAM_VOLUME(element) ||
        isAudioSinkByClass(element))
        return true;
    if (!GST_IS_BIN(element))
        return false;
    bool found = false;
    GstIterator* children = gst_bin_iterate_elements(GST_BIN(element));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        found = isOrHoldsAudioSink(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(children);
    return found;
}

bool hasOnlyOneInputPin(const media::Filter& filter) {
    const QList<media::Pin> pins = filter.pins();
    return pins.size() == 1 && pins.first().direction() == media::PinDirection::Input;
}

} // namespace

bool AudioRendererFinder::playsAudio(const media::Filter& filter) {
    return isOrHoldsAudioSink(filter.element());
}

HRESULT AudioRendererFinder::find(const media::FilterGraph& graph, AudioRenderer& renderer) {
    bool anyPlaysAudio = false;
    bool lastPlaysAudio = false;
    for (const media::FilterPtr& filter : graph.filters()) {
        lastPlaysAudio = playsAudio(*filter);
        if (!lastPlaysAudio)
            continue;
        anyPlaysAudio = true;
        if (hasOnlyOneInputPin(*filter)) {
            renderer = {filter, filter->pins().first()};
            return S_OK;
        }
    }
    if (!anyPlaysAudio)
        return kNoAudioFilter;
    return lastPlaysAudio ? E_UNEXPECTED : E_NOINTERFACE;
}

} // namespace nexuvo
