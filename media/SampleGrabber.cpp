#include "media/SampleGrabber.h"

#include <gst/gst.h>

namespace media {

using namespace ResultCode;

namespace {

constexpr const char* kGrabberCaps = "audio/x-raw,format=S16LE,layout=interleaved";

GstElement* makeGrabberBin() {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* accept = gst_element_factory_make("capsfilter", "accept");
    GstCaps* caps = gst_caps_from_string(kGrabberCaps);
    g_object_set(accept, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add(GST_BIN(bin), accept);
    GstPad* sink = gst_element_get_static_pad(accept, "sink");
    GstPad* src = gst_element_get_static_pad(accept, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("Input", sink));
    gst_element_add_pad(bin, gst_ghost_pad_new("Output", src));
    gst_object_unref(sink);
    gst_object_unref(src);
    return bin;
}

} // namespace

// The segment seen on the pad, kept by the streaming thread to turn time stamps into stream
// time and to recognise buffers that fall before the segment start.
struct SampleGrabber::SegmentState {
    GstSegment segment;
    SegmentState() { gst_segment_init(&segment, GST_FORMAT_TIME); }
};

SampleGrabber::SampleGrabber() : Filter(makeGrabberBin()), m_segment(new SegmentState) {
    GstElement* accept = innerElement("accept");
    m_probePad = gst_element_get_static_pad(accept, "src");
    m_probeId = gst_pad_add_probe(
        m_probePad,
        static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                     GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        reinterpret_cast<GstPadProbeCallback>(&SampleGrabber::onProbe), this, nullptr);
}

// The element can outlive this object (whoever still holds it may run it again): its pad must no
// longer call back into what is freed here. Going to NULL first waits for a buffer or an event
// that is passing the pad right now.
SampleGrabber::~SampleGrabber() {
    gst_element_set_state(element(), GST_STATE_NULL);
    if (m_probeId != 0)
        gst_pad_remove_probe(m_probePad, m_probeId);
    gst_object_unref(m_probePad);
    delete m_segment;
}

HRESULT SampleGrabber::setBufferSamples(bool buffer) {
    m_bufferSamples = buffer;
    return S_OK;
}

HRESULT SampleGrabber::setCallback(SampleGrabberCallback* callback, int whichMethod) {
    if (whichMethod != 0 && whichMethod != 1)
        return E_INVALIDARG;
    std::lock_guard lock(m_callbackMutex);
    m_callback = callback;
    m_method = whichMethod;
    return S_OK;
}

HRESULT SampleGrabber::connectedMediaType(MediaType& type) const {
    return findPin(QStringLiteral("Output")).connectionMediaType(type);
}

int SampleGrabber::onProbe(GstPad*, GstPadProbeInfo* info, void* data) {
    auto* self = static_cast<SampleGrabber*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            gst_segment_copy_into(segment, &self->m_segment->segment);
        } else if (GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
            gst_segment_init(&self->m_segment->segment, GST_FORMAT_TIME);
        }
        return GST_PAD_PROBE_OK;
    }
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        self->deliver(GST_PAD_PROBE_INFO_BUFFER(info));
    } else if (info->type & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = GST_PAD_PROBE_INFO_BUFFER_LIST(info);
        const guint count = gst_buffer_list_length(list);
        for (guint i = 0; i < count; ++i)
            self->deliver(gst_buffer_list_get(list, i));
    }
    return GST_PAD_PROBE_OK;
}

void SampleGrabber::deliver(GstBuffer* buffer) {
    std::lock_guard lock(m_callbackMutex);
    if (!m_callback)
        return;
    const GstSegment& segment = m_segment->segment;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    const GstClockTime length = GST_BUFFER_DURATION(buffer);

    MediaSample sample;
    double sampleTime = 0.0;
    if (GST_CLOCK_TIME_IS_VALID(pts) && segment.format == GST_FORMAT_TIME) {
        const guint64 streamTime = gst_segment_to_stream_time(&segment, GST_FORMAT_TIME, pts);
        if (GST_CLOCK_TIME_IS_VALID(streamTime)) {
            sampleTime = streamTime / 1e9;
            sample.timeValid = true;
            sample.start100ns = static_cast<std::int64_t>(streamTime / 100);
            sample.end100ns =
                sample.start100ns +
                static_cast<std::int64_t>(GST_CLOCK_TIME_IS_VALID(length) ? length / 100 : 0);
        }
        const GstClockTime end = GST_CLOCK_TIME_IS_VALID(length) ? pts + length : pts;
        sample.preroll = end <= segment.start && segment.start > 0;
    }
    if (GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DECODE_ONLY))
        sample.preroll = true;

    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    sample.data = map.data;
    sample.actualLength = static_cast<long>(map.size);
    if (m_method == 0)
        m_callback->sampleCB(sampleTime, sample);
    else
        m_callback->bufferCB(sampleTime, map.data, static_cast<long>(map.size));
    gst_buffer_unmap(buffer, &map);
}

} // namespace media
