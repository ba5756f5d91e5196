#include "media/AudioSplitter.h"

#include <gst/gst.h>

namespace media {

const char* const AudioSplitter::kAsfAudio =
    "audio/x-wma; audio/x-wms; audio/mpeg; audio/x-ac3; audio/x-alaw; audio/x-mulaw";
const char* const AudioSplitter::kOggAudio =
    "audio/x-vorbis; audio/x-opus; audio/x-flac; audio/x-speex";

namespace {

// A demuxer that pulls its input may hand over a buffer of its own to be filled (the Ogg
// demuxer reads straight into its page buffer). A format filter upstream, such as the file
// source's, answers with a buffer of its own instead, which the demuxer never sees. The data is
// pulled as it comes and copied into the demuxer's buffer here.
GstFlowReturn pullIntoGivenBuffer(GstPad* pad, GstObject* parent, guint64 offset, guint length,
                                  GstBuffer** buffer) {
    GstBuffer* given = *buffer;
    if (!given)
        return gst_proxy_pad_getrange_default(pad, parent, offset, length, buffer);
    GstBuffer* pulled = nullptr;
    const GstFlowReturn result =
        gst_proxy_pad_getrange_default(pad, parent, offset, length, &pulled);
    if (result != GST_FLOW_OK)
        return result;
    GstMapInfo map;
    if (!gst_buffer_map(pulled, &map, GST_MAP_READ)) {
        gst_buffer_unref(pulled);
        return GST_FLOW_ERROR;
    }
    const gsize copied = gst_buffer_fill(given, 0, map.data, map.size);
    gst_buffer_unmap(pulled, &map);
    gst_buffer_set_size(given, static_cast<gssize>(copied));
    gst_buffer_copy_into(given, pulled, GST_BUFFER_COPY_METADATA, 0, -1);
    gst_buffer_unref(pulled);
    return GST_FLOW_OK;
}

void addGhostPad(GstElement* bin, GstElement* inner, const char* padName, const QString& pinName) {
    GstPad* pad = gst_element_get_static_pad(inner, padName);
    gst_element_add_pad(bin, gst_ghost_pad_new(pinName.toUtf8().constData(), pad));
    gst_object_unref(pad);
}

} // namespace

AudioSplitter::AudioSplitter(const char* demuxer, const char* audioCaps, const QString& inputPin,
                             const QString& outputPin)
    : Filter(makeBin(demuxer, audioCaps, inputPin, outputPin)) {}

GstElement* AudioSplitter::makeBin(const char* demuxer, const char* audioCaps,
                                   const QString& inputPin, const QString& outputPin) {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* demux = gst_element_factory_make(demuxer, "demux");
    GstElement* audio = gst_element_factory_make("capsfilter", "audio");
    GstCaps* caps = gst_caps_from_string(audioCaps);
    g_object_set(audio, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(bin), demux, audio, nullptr);
    // The format filter lives in the same bin as the demuxer, so it outlasts every call.
    g_signal_connect(demux, "pad-added", G_CALLBACK(&AudioSplitter::linkStream), audio);
    addGhostPad(bin, demux, "sink", inputPin);
    addGhostPad(bin, audio, "src", outputPin);

    // The demuxer pulls from the inner side of the input pin.
    GstPad* input = gst_element_get_static_pad(bin, inputPin.toUtf8().constData());
    GstProxyPad* inner = gst_proxy_pad_get_internal(GST_PROXY_PAD(input));
    gst_pad_set_getrange_function(GST_PAD(inner), &pullIntoGivenBuffer);
    gst_object_unref(inner);
    gst_object_unref(input);
    return bin;
}

// On the streaming thread. A link refused for its format leaves the stream alone.
void AudioSplitter::linkStream(GstElement*, GstPad* pad, void* audio) {
    GstPad* sink = gst_element_get_static_pad(static_cast<GstElement*>(audio), "sink");
    if (!gst_pad_is_linked(sink))
        gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

} // namespace media
