#include "media/StreamHub.h"

#include "media/MediaSystem.h"

#include <gio/gio.h>
#include <gst/gst.h>
#include <initializer_list>
#include <vector>

namespace media {

using namespace ResultCode;

namespace {

constexpr int kRecoverToLatest = 1; // a listener that falls behind moves on to the newest packet
constexpr int kDropOldest = 2;      // a full source queue drops its oldest buffers

// The streams of this process by the port they listen on, and the hand-overs under way by port.
struct Registry {
    std::mutex mutex;
    std::map<int, std::shared_ptr<StreamHub>> open;
    std::map<int, int> handOvers;
};

// Never destroyed: a stream still open when the process ends is left to the system, not closed
// during static destruction.
Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

void closeListener(GSocket* socket, GIOStream* connection) {
    g_socket_close(socket, nullptr);
    g_object_unref(connection);
    g_object_unref(socket);
}

} // namespace

// --- Hand-overs ------------------------------------------------------------------------------

StreamHub::HandOver::HandOver(int port) : m_port(port) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const int count = ++r.handOvers[port];
    auto open = r.open.find(port);
    if (open != r.open.end())
        open->second->m_handOvers = count;
}

StreamHub::HandOver::~HandOver() {
    std::shared_ptr<StreamHub> closing;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        const int count = --r.handOvers[m_port];
        if (count <= 0)
            r.handOvers.erase(m_port);
        auto open = r.open.find(m_port);
        if (open != r.open.end()) {
            StreamHub& hub = *open->second;
            hub.m_handOvers = std::max(count, 0);
            if (hub.m_handOvers == 0 && hub.m_openSinks.empty()) {
                closing = open->second;
                r.open.erase(open);
            }
        }
    }
    if (closing)
        closing->shutDown(); // no sink took the stream over
}

// --- Joining and leaving ---------------------------------------------------------------------

StreamHub::StreamHub() : m_server(static_cast<StreamServer::Listeners&>(*this)) {}

StreamHub::~StreamHub() {
    shutDown();
    if (m_sink)
        g_signal_handlers_disconnect_by_data(m_sink, this);
    if (m_pipeline)
        gst_object_unref(m_pipeline);
    if (m_caps)
        gst_caps_unref(m_caps);
}

HRESULT StreamHub::join(int& port, FeedKey sink, std::shared_ptr<StreamHub>& hub) {
    if (port < 0 || port > 65535)
        return E_INVALIDARG;
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto open = port > 0 ? r.open.find(port) : r.open.end();
    if (open != r.open.end()) {
        if (open->second->m_handOvers == 0)
            return E_FAIL; // the port is in use
        hub = open->second;
    } else {
        std::shared_ptr<StreamHub> created(new StreamHub);
        if (!created->buildPipeline())
            return E_FAIL;
        const HRESULT hr = created->m_server.start(port);
        if (FAILED(hr))
            return hr;
        created->m_port = port;
        auto handOvers = r.handOvers.find(port);
        created->m_handOvers = handOvers == r.handOvers.end() ? 0 : handOvers->second;
        r.open[port] = created;
        hub = created;
    }
    hub->m_openSinks.insert(sink);
    std::lock_guard feeds(hub->m_feedMutex);
    Feed feed;
    feed.order = ++hub->m_nextOrder;
    hub->m_feeds[sink] = feed;
    return S_OK;
}

void StreamHub::leave(FeedKey sink) {
    std::shared_ptr<StreamHub> closing;
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        if (!m_openSinks.erase(sink) || !m_openSinks.empty() || m_handOvers > 0)
            return;
        auto open = r.open.find(m_port);
        if (open != r.open.end() && open->second.get() == this) {
            closing = open->second;
            r.open.erase(open);
        }
    }
    shutDown();
}

void StreamHub::removeFeed(FeedKey feed) {
    std::lock_guard lock(m_feedMutex);
    m_feeds.erase(feed);
    if (m_heard == feed)
        m_heard = nullptr;
}

// The port is free and every listener is gone when this returns; audio still delivered by feeds
// is dropped.
void StreamHub::shutDown() {
    if (m_closed)
        return;
    m_server.stop();
    {
        std::lock_guard lock(m_feedMutex); // no delivery is under way, and none begins
        m_closed = true;
    }
    if (!m_pipeline)
        return;
    dropListeners();
    for (GstElement* element : {m_source, m_mux})
        gst_element_set_state(element, GST_STATE_NULL);
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    std::map<GSocket*, Listener> left;
    {
        std::lock_guard lock(m_listenerMutex);
        left.swap(m_listeners);
    }
    for (const auto& [socket, listener] : left)
        closeListener(socket, listener.connection);
}

// --- The stream ------------------------------------------------------------------------------

// appsrc → asfmux (streamable: its header is the stream header every listener gets first) →
// multisocketsink. The sink runs from the start, so listeners are taken as they come; the
// source and the muxer start with the first audio, once its format and packet size are known.
bool StreamHub::buildPipeline() {
    MediaSystem::ensureInitialised();
    GstElement* source = gst_element_factory_make("appsrc", "feed");
    GstElement* mux = gst_element_factory_make("asfmux", "mux");
    GstElement* sink = gst_element_factory_make("multisocketsink", "listeners");
    if (!source || !mux || !sink) {
        for (GstElement* element : {source, mux, sink}) {
            if (element)
                gst_object_unref(gst_object_ref_sink(element));
        }
        return false;
    }
    g_object_set(source, "format", GST_FORMAT_TIME, "is-live", TRUE, "block", FALSE, "max-bytes",
                 static_cast<guint64>(0), "max-time", static_cast<guint64>(kQueueMs) * GST_MSECOND,
                 "leaky-type", kDropOldest, nullptr);
    g_object_set(mux, "streamable", TRUE, nullptr);
    // The sink never waits: not for the clock (the audio comes paced already), not for a
    // preroll, not for a listener's socket.
    g_object_set(sink, "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, "unit-format",
                 GST_FORMAT_TIME, "units-soft-max", static_cast<gint64>(kSkipAfterMs) * GST_MSECOND,
                 "recover-policy", kRecoverToLatest, "units-max",
                 static_cast<gint64>(kDropAfterMs) * GST_MSECOND, "timeout",
                 static_cast<guint64>(kInactivityTimeoutMs) * GST_MSECOND, nullptr);
    m_pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)));
    gst_bin_add_many(GST_BIN(m_pipeline), source, mux, sink, nullptr);
    GstPad* sourcePad = gst_element_get_static_pad(source, "src");
    GstPad* muxInput = gst_element_request_pad_simple(mux, "audio_%u");
    const bool linked = muxInput && gst_pad_link(sourcePad, muxInput) == GST_PAD_LINK_OK &&
                        gst_element_link(mux, sink);
    gst_object_unref(sourcePad);
    if (muxInput)
        gst_object_unref(muxInput);
    m_source = source;
    m_mux = mux;
    m_sink = sink;
    if (!linked)
        return false;
    g_signal_connect(sink, "client-socket-removed", G_CALLBACK(&StreamHub::onClientRemoved), this);
    // Nobody reads the stream's bus: what is posted there is dropped.
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_flushing(bus, TRUE);
    gst_object_unref(bus);
    gst_element_set_locked_state(source, TRUE);
    gst_element_set_locked_state(mux, TRUE);
    return gst_element_set_state(m_pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE;
}

// Under m_feedMutex. A stream started again begins with a header of its own, which listeners
// of the one before could not follow: they are dropped.
void StreamHub::startMuxer(GstCaps* caps, unsigned packetSize) {
    if (m_caps) {
        dropListeners();
        gst_element_set_state(m_source, GST_STATE_NULL);
        gst_element_set_state(m_mux, GST_STATE_NULL);
        gst_caps_unref(m_caps);
    }
    g_object_set(m_mux, "packet-size", packetSize, nullptr);
    g_object_set(m_source, "caps", caps, nullptr);
    gst_element_set_state(m_mux, GST_STATE_PLAYING);
    gst_element_set_state(m_source, GST_STATE_PLAYING);
    m_caps = gst_caps_ref(caps);
    m_packetSize = packetSize;
    m_streamEnd = 0;
    m_discont = true;
    for (auto& [key, feed] : m_feeds)
        feed.restart = true;
}

void StreamHub::deliver(FeedKey key, GstSample* sample, unsigned packetSize) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    if (!buffer || !caps || !GST_BUFFER_PTS_IS_VALID(buffer))
        return;
    std::lock_guard lock(m_feedMutex);
    auto it = m_feeds.find(key);
    if (m_closed || it == m_feeds.end())
        return;
    Feed& feed = it->second;
    const std::uint64_t time = GST_BUFFER_PTS(buffer);
    if (!feed.flowing || time < feed.lastTime)
        feed.flowStart = time;
    if (feed.flowStart == time || GST_BUFFER_FLAG_IS_SET(buffer, GST_BUFFER_FLAG_DISCONT))
        feed.restart = true;
    feed.flowing = true;
    feed.lastTime = time;
    if (m_heard != key) {
        // A newer feed takes over once its encoder has settled (its first frames fade in), and
        // not for a trial run's moment; an older one only when the one heard has stopped.
        auto heard = m_feeds.find(m_heard);
        if (heard != m_feeds.end() && heard->second.flowing &&
            (heard->second.order > feed.order ||
             time - feed.flowStart < static_cast<std::uint64_t>(kSettleMs) * GST_MSECOND))
            return;
        m_heard = key;
        feed.restart = true;
    }
    if (!m_caps || packetSize != m_packetSize || !gst_caps_is_equal(caps, m_caps))
        startMuxer(caps, packetSize);
    if (feed.restart) {
        feed.offset = static_cast<std::int64_t>(m_streamEnd) - static_cast<std::int64_t>(time);
        feed.restart = false;
    }
    GstBuffer* out = gst_buffer_copy(buffer); // the same memory, stamps of its own
    GST_BUFFER_PTS(out) = time + feed.offset;
    GST_BUFFER_DTS(out) = GST_BUFFER_PTS(out);
    if (m_discont)
        GST_BUFFER_FLAG_SET(out, GST_BUFFER_FLAG_DISCONT);
    else
        GST_BUFFER_FLAG_UNSET(out, GST_BUFFER_FLAG_DISCONT);
    m_discont = false;
    m_streamEnd =
        GST_BUFFER_PTS(out) + (GST_BUFFER_DURATION_IS_VALID(out) ? GST_BUFFER_DURATION(out) : 0);
    GstFlowReturn result = GST_FLOW_OK;
    g_signal_emit_by_name(m_source, "push-buffer", out, &result);
    gst_buffer_unref(out);
}

void StreamHub::flowEnded(FeedKey key) {
    bool streamEnded = false;
    {
        std::lock_guard lock(m_feedMutex);
        auto it = m_feeds.find(key);
        if (m_closed || it == m_feeds.end())
            return;
        it->second.flowing = false;
        it->second.restart = true;
        if (m_heard == key) {
            m_heard = nullptr;
            bool othersFlow = false;
            for (const auto& [other, feed] : m_feeds)
                othersFlow = othersFlow || feed.flowing;
            streamEnded = !othersFlow && m_handOvers == 0;
        }
    }
    if (streamEnded)
        dropListeners();
}

// --- Listeners -------------------------------------------------------------------------------

void StreamHub::setMaximumClients(int count) {
    std::lock_guard lock(m_listenerMutex);
    m_maximumClients = count;
}

int StreamHub::clientCount() const {
    std::lock_guard lock(m_listenerMutex);
    return static_cast<int>(m_listeners.size());
}

bool StreamHub::hasRoomForListener(int joining) {
    std::lock_guard lock(m_listenerMutex);
    return static_cast<int>(m_listeners.size()) + joining < m_maximumClients;
}

// Outside the lock, which the sink's reports take.
void StreamHub::addListener(GIOStream* connection, GSocket* socket) {
    {
        std::lock_guard lock(m_listenerMutex);
        m_listeners.emplace(socket, Listener{connection});
    }
    g_signal_emit_by_name(m_sink, "add", socket);
}

// Every listener is removed from the sink, and closed as the sink reports it gone.
void StreamHub::dropListeners() {
    g_signal_emit_by_name(m_sink, "clear");
}

void StreamHub::onClientRemoved(GstElement*, GSocket* socket, void* self) {
    static_cast<StreamHub*>(self)->clientRemoved(socket);
}

// A listener left: it hung up, fell too far behind, or was dropped.
void StreamHub::clientRemoved(GSocket* socket) {
    GIOStream* connection = nullptr;
    {
        std::lock_guard lock(m_listenerMutex);
        auto it = m_listeners.find(socket);
        if (it == m_listeners.end())
            return;
        connection = it->second.connection;
        m_listeners.erase(it);
    }
    closeListener(socket, connection);
}

} // namespace media
