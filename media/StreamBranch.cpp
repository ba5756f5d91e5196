#include "media/StreamBranch.h"

#include "media/MediaSystem.h"

#include <gio/gio.h>
#include <gst/gst.h>
#include <initializer_list>

namespace media {

using namespace ResultCode;

namespace {

constexpr int kLeakyDownstream = 2; // a full queue drops its oldest data
constexpr int kRecoverToLatest = 1; // a listener that falls behind moves on to the newest packet

GstElement* makeQueue() {
    GstElement* queue = gst_element_factory_make("queue", "buffer");
    if (queue)
        g_object_set(queue, "leaky", kLeakyDownstream, "max-size-buffers", 0u, "max-size-bytes", 0u,
                     "max-size-time", static_cast<guint64>(StreamBranch::kQueueMs) * GST_MSECOND,
                     nullptr);
    return queue;
}

GstElement* makeMuxer() {
    GstElement* mux = gst_element_factory_make("asfmux", "mux");
    if (mux)
        g_object_set(mux, "streamable", TRUE, nullptr);
    return mux;
}

void onClientAdded(GstElement*, GObject* socket, gpointer clients) {
    static_cast<StreamBranch::Clients*>(clients)->clientAdded(G_SOCKET(socket));
}

void onSocketRemoved(GstElement*, GSocket* socket, gpointer clients) {
    static_cast<StreamBranch::Clients*>(clients)->clientRemoved(socket);
}

GstPadProbeReturn onSinkEvent(GstPad*, GstPadProbeInfo* info, gpointer clients) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_STREAM_START)
        static_cast<StreamBranch::Clients*>(clients)->streamStarted();
    return GST_PAD_PROBE_OK;
}

} // namespace

StreamBranch::StreamBranch(Clients& clients) : m_clients(clients) {
    MediaSystem::ensureInitialised();
    GstElement* queue = makeQueue();
    GstElement* mux = makeMuxer();
    GstElement* sink = gst_element_factory_make("multisocketsink", "listeners");
    if (!queue || !mux || !sink) {
        for (GstElement* element : {queue, mux, sink}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return;
    }
    m_bin = GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)));
    gst_bin_add_many(GST_BIN(m_bin), queue, mux, sink, nullptr);
    gst_element_link_many(queue, mux, sink, nullptr);
    GstPad* input = gst_element_get_static_pad(queue, "sink");
    gst_element_add_pad(m_bin, gst_ghost_pad_new("sink", input));
    gst_object_unref(input);
    m_mux = mux;
    m_sink = sink;
    configureSink();
    watchSink();
}

StreamBranch::~StreamBranch() {
    if (!m_bin)
        return;
    detach();
    dropClients();
    g_signal_handlers_disconnect_by_data(m_sink, &m_clients);
    gst_element_set_state(m_bin, GST_STATE_NULL);
    gst_object_unref(m_bin);
}

// The sink never waits: not for the clock (the source is live and paced already), not for a
// preroll, not for a listener's socket.
void StreamBranch::configureSink() {
    g_object_set(m_sink, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, "unit-format",
                 GST_FORMAT_TIME, "units-soft-max", static_cast<gint64>(kSkipAfterMs) * GST_MSECOND,
                 "recover-policy", kRecoverToLatest, "units-max",
                 static_cast<gint64>(kDropAfterMs) * GST_MSECOND, "timeout",
                 static_cast<guint64>(kInactivityTimeoutMs) * GST_MSECOND, nullptr);
}

void StreamBranch::watchSink() {
    g_signal_connect(m_sink, "client-added", G_CALLBACK(onClientAdded), &m_clients);
    g_signal_connect(m_sink, "client-socket-removed", G_CALLBACK(onSocketRemoved), &m_clients);
    GstPad* input = gst_element_get_static_pad(m_sink, "sink");
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onSinkEvent, &m_clients, nullptr);
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
}

void StreamBranch::setPacketSize(unsigned bytes) {
    if (m_mux)
        g_object_set(m_mux, "packet-size", bytes, nullptr);
}

bool StreamBranch::isStarted() const {
    return m_sink && GST_STATE(m_sink) >= GST_STATE_READY;
}

void StreamBranch::addClient(GSocket* socket) {
    if (m_sink)
        g_signal_emit_by_name(m_sink, "add", socket);
}

void StreamBranch::dropClients() {
    if (m_sink)
        g_signal_emit_by_name(m_sink, "clear");
}

} // namespace media
