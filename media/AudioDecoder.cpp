#include "media/AudioDecoder.h"

#include "media/Pin.h"

#include <gst/gst.h>

namespace media {

namespace {

bool carriesAudio(GstPad* pad) {
    GstCaps* caps = gst_pad_query_caps(pad, nullptr);
    const bool audio =
        caps && !gst_caps_is_empty(caps) && !gst_caps_is_any(caps) &&
        g_str_has_prefix(gst_structure_get_name(gst_caps_get_structure(caps, 0)), "audio/");
    if (caps)
        gst_caps_unref(caps);
    return audio;
}

void addGhostPad(GstElement* bin, GstElement* inner, const char* padName, const char* pinName) {
    GstPad* pad = gst_element_get_static_pad(inner, padName);
    gst_element_add_pad(bin, gst_ghost_pad_new(pinName, pad));
    gst_object_unref(pad);
}

} // namespace

AudioDecoder::AudioDecoder() : Filter(makeBin()) {}

GstElement* AudioDecoder::makeBin() {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* decoder = gst_element_factory_make("decodebin", "decoder");
    GstElement* converter = gst_element_factory_make("audioconvert", "converter");
    GstElement* resampler = gst_element_factory_make("audioresample", "resampler");
    gst_bin_add_many(GST_BIN(bin), decoder, converter, resampler, nullptr);
    gst_element_link(converter, resampler);
    // The converter lives in the same bin as the decoder, so it outlasts every call.
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&AudioDecoder::linkAudioPad), converter);
    addGhostPad(bin, decoder, "sink", "Input");
    addGhostPad(bin, resampler, "src", "Output");
    return bin;
}

void AudioDecoder::linkAudioPad(GstElement*, GstPad* pad, void* converter) {
    GstPad* sink = gst_element_get_static_pad(static_cast<GstElement*>(converter), "sink");
    if (!gst_pad_is_linked(sink) && carriesAudio(pad))
        gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

bool AudioDecoder::offersDecodedAudio(const Pin& output) {
    for (const MediaType& type : output.mediaTypes()) {
        if (type.caps.startsWith(QLatin1String("audio/x-raw")))
            return true;
    }
    return false;
}

} // namespace media
