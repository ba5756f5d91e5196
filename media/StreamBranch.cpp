#include "media/StreamBranch.h"

#include "media/MediaSystem.h"

#include <gst/gst.h>
#include <initializer_list>

namespace media {

using namespace ResultCode;

namespace {

constexpr int kLeakyDownstream = 2; // a full queue drops its oldest data

GstElement* makeQueue() {
    GstElement* queue = gst_element_factory_make("queue", "buffer");
    if (queue)
        g_object_set(queue, "leaky", kLeakyDownstream, "max-size-buffers", 0u, "max-size-bytes", 0u,
                     "max-size-time", static_cast<guint64>(StreamBranch::kQueueMs) * GST_MSECOND,
                     nullptr);
    return queue;
}

// Never waits: not for the clock (the source is live and paced already), not for a preroll.
GstElement* makeSink() {
    GstElement* sink = gst_element_factory_make("appsink", "audio");
    if (sink)
        g_object_set(sink, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE,
                     "emit-signals", TRUE, "max-buffers", 1u, "wait-on-eos", FALSE, nullptr);
    return sink;
}

GstFlowReturn onNewSample(GstElement* sink, gpointer clients) {
    GstSample* sample = nullptr;
    g_signal_emit_by_name(sink, "pull-sample", &sample);
    if (!sample)
        return GST_FLOW_OK;
    static_cast<StreamBranch::Clients*>(clients)->audioReady(sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

GstPadProbeReturn onSinkEvent(GstPad*, GstPadProbeInfo* info, gpointer clients) {
    const GstEventType type = GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info));
    if (type == GST_EVENT_EOS || type == GST_EVENT_FLUSH_START)
        static_cast<StreamBranch::Clients*>(clients)->audioEnded();
    return GST_PAD_PROBE_OK;
}

} // namespace

StreamBranch::StreamBranch(Clients& clients) : m_clients(clients) {
    MediaSystem::ensureInitialised();
    GstElement* queue = makeQueue();
    GstElement* sink = makeSink();
    if (!queue || !sink) {
        for (GstElement* element : {queue, sink}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return;
    }
    m_bin = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)));
    gst_bin_add_many(GST_BIN(m_bin), queue, sink, nullptr);
    gst_element_link(queue, sink);
    GstPad* input = gst_element_get_static_pad(queue, "sink");
    gst_element_add_pad(m_bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    m_sink = sink;
    watchSink();
}

StreamBranch::~StreamBranch() {
    if (!m_bin)
        return;
    detach();
    gst_element_set_state(m_bin, GST_STATE_NULL);
    g_signal_handlers_disconnect_by_data(m_sink, &m_clients);
    gst_object_unref(m_bin);
}

void StreamBranch::watchSink() {
    g_signal_connect(m_sink, "new-sample", G_CALLBACK(onNewSample), &m_clients);
    GstPad* input = gst_element_get_static_pad(m_sink, "sink");
    gst_pad_add_probe(input,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                                                   GST_PAD_PROBE_TYPE_EVENT_FLUSH),
                      onSinkEvent, &m_clients, nullptr);
    gst_object_unref(input);
}

HRESULT StreamBranch::attach(GstElement* writerBin, GstElement* tee) {
    if (!m_bin)
        return E_FAIL;
    if (isAttached())
        return E_UNEXPECTED;
    if (!gst_bin_add(GST_BIN(writerBin), m_bin))
        return E_FAIL;
    // In the writer's state before the first data arrives, so a running tee never meets a branch
    // that refuses it.
    gst_element_sync_state_with_parent(m_bin);
    GstPad* teePad = gst_element_request_pad_simple(tee, "src_%u");
    GstPad* input = gst_element_get_static_pad(m_bin, "sink");
    const bool linked = teePad && gst_pad_link(teePad, input) == GST_PAD_LINK_OK;
    gst_object_unref(input);
    if (!linked) {
        if (teePad) {
            gst_element_release_request_pad(tee, teePad);
            gst_object_unref(teePad);
        }
        gst_element_set_state(m_bin, GST_STATE_NULL);
        gst_bin_remove(GST_BIN(writerBin), m_bin);
        return VFW_E_CANNOT_CONNECT;
    }
    m_writerBin = GST_ELEMENT(gst_object_ref(writerBin));
    m_tee = GST_ELEMENT(gst_object_ref(tee));
    m_teePad = teePad;
    return S_OK;
}

void StreamBranch::detach() {
    if (!isAttached())
        return;
    gst_element_release_request_pad(m_tee, m_teePad);
    gst_object_unref(m_teePad);
    gst_element_set_state(m_bin, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(m_writerBin), m_bin);
    gst_object_unref(m_tee);
    gst_object_unref(m_writerBin);
    m_teePad = nullptr;
    m_tee = nullptr;
    m_writerBin = nullptr;
    m_clients.audioEnded();
}

} // namespace media
