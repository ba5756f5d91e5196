#include "media/FilterGraph.h"

#include "media/AudioDecoder.h"
#include "media/FileSource.h"
#include "media/MediaSystem.h"

#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <gst/gst.h>

namespace media {

using namespace ResultCode;

namespace {

constexpr double kNanosecondsPerSecond = 1e9;

QString describeError(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    gchar* source = gst_object_get_path_string(GST_MESSAGE_SRC(message));
    QString text = QString::fromUtf8(error ? error->message : "unknown error");
    if (source)
        text += QStringLiteral(" (%1)").arg(QString::fromUtf8(source));
    g_free(source);
    g_free(debug);
    if (error)
        g_error_free(error);
    return text;
}

// The filter (the element directly in the pipeline) that holds the element.
GstElement* filterHolding(GstObject* object) {
    while (object) {
        GstObject* parent = GST_OBJECT_PARENT(object);
        if (parent && GST_IS_PIPELINE(parent))
            return GST_ELEMENT(object);
        object = parent;
    }
    return nullptr;
}

// An element that writes a file: a sink with a location to write to.
bool writesFile(GstObject* object) {
    return GST_IS_ELEMENT(object) && GST_OBJECT_FLAG_IS_SET(object, GST_ELEMENT_FLAG_SINK) &&
           g_object_class_find_property(G_OBJECT_GET_CLASS(object), "location");
}

bool isWriteCode(int code) {
    switch (code) {
    case GST_RESOURCE_ERROR_WRITE:
    case GST_RESOURCE_ERROR_OPEN_WRITE:
    case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
    case GST_RESOURCE_ERROR_CLOSE:
    case GST_RESOURCE_ERROR_SEEK:
    case GST_RESOURCE_ERROR_SYNC:
        return true;
    default:
        return false;
    }
}

GraphErrorKind classifyError(GstMessage* message) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    const QString text = QString::fromUtf8(error ? error->message : "") + QLatin1Char(' ') +
                         QString::fromUtf8(debug ? debug : "");
    const bool resource = error && error->domain == GST_RESOURCE_ERROR;
    const int code = error ? error->code : 0;
    g_free(debug);
    if (error)
        g_error_free(error);

    GstObject* source = GST_MESSAGE_SRC(message);
    if ((resource && code == GST_RESOURCE_ERROR_NO_SPACE_LEFT) ||
        text.contains(QLatin1String("No space left"), Qt::CaseInsensitive) ||
        text.contains(QLatin1String("ENOSPC")))
        return GraphErrorKind::NoSpace;
    if (resource && (writesFile(source) || isWriteCode(code)))
        return GraphErrorKind::WriteError;
    // A filter without inputs is a source: the capture device.
    GstElement* filter = filterHolding(source);
    if (filter && filter->numsinkpads == 0)
        return GraphErrorKind::CaptureDevice;
    return GraphErrorKind::Other;
}

} // namespace

// Bus messages arrive on streaming threads. The bridge lets them reach the graph only while it
// is alive: the destructor cuts the link under the same lock.
struct FilterGraph::BusBridge {
    std::mutex mutex;
    FilterGraph* graph = nullptr;
};

FilterGraph::FilterGraph(QObject* parent) : QObject(parent) {
    MediaSystem::ensureInitialised();
    m_pipeline = GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)));
    m_bridge = std::make_shared<BusBridge>();
    m_bridge->graph = this;
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, reinterpret_cast<GstBusSyncHandler>(&FilterGraph::onBusMessage),
                             new std::shared_ptr<BusBridge>(m_bridge), [](gpointer data) {
                                 delete static_cast<std::shared_ptr<BusBridge>*>(data);
                             });
    gst_object_unref(bus);
}

FilterGraph::~FilterGraph() {
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    {
        std::lock_guard lock(m_bridge->mutex);
        m_bridge->graph = nullptr;
    }
    GstBus* bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
    gst_object_unref(bus);
    for (const FilterPtr& filter : m_filters)
        filter->attachToGraph(nullptr);
    m_filters.clear();
    gst_object_unref(m_pipeline);
}

// Every message is handled here and dropped; a dropped message is ours to release (it holds
// its source element, and with it the whole pipeline, until then).
int FilterGraph::onBusMessage(GstBus*, GstMessage* message, void* data) {
    auto& bridge = *static_cast<std::shared_ptr<BusBridge>*>(data);
    {
        std::lock_guard lock(bridge->mutex);
        if (bridge->graph)
            bridge->graph->handleBusMessage(message);
    }
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void FilterGraph::handleBusMessage(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(m_mutex);
        if (m_draining) {
            m_drained = true;
            m_changed.notify_all();
        } else {
            m_atEnd = true;
            queueEvent(GraphEvent::Complete);
        }
        break;
    }
    case GST_MESSAGE_ERROR: {
        const QString text = describeError(message);
        const GraphErrorKind kind = classifyError(message);
        std::lock_guard lock(m_mutex);
        // The first error names the cause; later ones follow from it.
        if (m_lastErrorKind == GraphErrorKind::None) {
            m_lastError = text;
            m_lastErrorKind = kind;
        }
        m_failed = true;
        m_changed.notify_all();
        queueEvent(GraphEvent::ErrorAbort, E_FAIL);
        break;
    }
    // Both are answered on the graph's own thread: state changes and latency queries must not
    // run on the streaming thread that posted the message.
    case GST_MESSAGE_CLOCK_LOST:
        QMetaObject::invokeMethod(this, &FilterGraph::selectNewClock, Qt::QueuedConnection);
        break;
    case GST_MESSAGE_LATENCY:
        QMetaObject::invokeMethod(this, &FilterGraph::recalculateLatency, Qt::QueuedConnection);
        break;
    default:
        break;
    }
}

// The clock the graph ran on went away (its element was paused or taken out). A running graph
// picks a new one on its way from paused to playing again; one that has failed is left to its
// owner.
void FilterGraph::selectNewClock() {
    if (m_state != State::Running)
        return;
    {
        std::lock_guard lock(m_mutex);
        if (m_failed)
            return;
    }
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
}

// An element's latency changed: the latency of the whole graph is measured and given out again.
void FilterGraph::recalculateLatency() {
    gst_bin_recalculate_latency(GST_BIN(m_pipeline));
}

// Called with m_mutex held.
void FilterGraph::queueEvent(long code, std::intptr_t param1, std::intptr_t param2) {
    m_events.push_back({code, param1, param2});
    QMetaObject::invokeMethod(this, &FilterGraph::eventQueued, Qt::QueuedConnection);
}

bool FilterGraph::getEvent(GraphEventRecord& event) {
    std::lock_guard lock(m_mutex);
    if (m_events.empty())
        return false;
    event = m_events.front();
    m_events.pop_front();
    return true;
}

QString FilterGraph::lastError() const {
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

GraphErrorKind FilterGraph::lastErrorKind() const {
    std::lock_guard lock(m_mutex);
    return m_lastErrorKind;
}

QString FilterGraph::uniqueName(const QString& name) const {
    if (!findFilterByName(name))
        return name;
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 %2").arg(name).arg(n, 4, 10, QLatin1Char('0'));
        if (!findFilterByName(candidate))
            return candidate;
    }
}

HRESULT FilterGraph::addFilter(const FilterPtr& filter, const QString& name) {
    if (!filter)
        return E_POINTER;
    if (filter->graph())
        return VFW_E_WRONG_STATE;
    const QString given = uniqueName(name.isEmpty() ? filter->name() : name);
    gst_element_set_name(filter->element(), given.toUtf8().constData());
    if (!gst_bin_add(GST_BIN(m_pipeline), filter->element()))
        return E_FAIL;
    filter->attachToGraph(this);
    m_filters.append(filter);
    if (m_state != State::Stopped)
        gst_element_sync_state_with_parent(filter->element());
    return given == name || name.isEmpty() ? S_OK : VFW_S_DUPLICATE_NAME;
}

HRESULT FilterGraph::removeFilter(const FilterPtr& filter) {
    if (!filter || filter->graph() != this)
        return VFW_E_NOT_FOUND;
    for (const Pin& pin : filter->pins())
        pin.disconnect();
    gst_element_set_locked_state(filter->element(), TRUE);
    gst_element_set_state(filter->element(), GST_STATE_NULL);
    gst_bin_remove(GST_BIN(m_pipeline), filter->element());
    gst_element_set_locked_state(filter->element(), FALSE);
    filter->attachToGraph(nullptr);
    m_filters.removeAll(filter);
    return S_OK;
}

FilterPtr FilterGraph::findFilterByName(const QString& name) const {
    for (const FilterPtr& filter : m_filters) {
        if (filter->name() == name)
            return filter;
    }
    return {};
}

QList<FilterPtr> FilterGraph::filters() const {
    return m_filters;
}

HRESULT FilterGraph::addSourceFilter(const QString& path, const QString& name, FilterPtr& source) {
    if (path.isEmpty())
        return E_INVALIDARG;
    const QFileInfo info(path);
    if (!info.isFile())
        return E_FILE_NOT_FOUND;
    if (!info.isReadable())
        return E_ACCESSDENIED;
    auto file = std::make_shared<FileSource>(path);
    const HRESULT hr = addFilter(file, name.isEmpty() ? path : name);
    if (SUCCEEDED(hr))
        source = file;
    return hr;
}

HRESULT FilterGraph::connectDirect(const Pin& output, const Pin& input) {
    return output.connectDirect(input);
}

HRESULT FilterGraph::disconnect(const Pin& pin) {
    return pin.disconnect();
}

FilterPtr FilterGraph::insertBetween(const Pin& output, const Pin& input, const FilterPtr& step,
                                     const QString& name) {
    if (!step || FAILED(addFilter(step, name)))
        return {};
    if (SUCCEEDED(output.connectDirect(step->findPin(QStringLiteral("Input")))) &&
        SUCCEEDED(step->findPin(QStringLiteral("Output")).connectDirect(input)))
        return step;
    removeFilter(step);
    return {};
}

HRESULT FilterGraph::connect(const Pin& output, const Pin& input) {
    const HRESULT direct = connectDirect(output, input);
    if (SUCCEEDED(direct) || direct == VFW_E_ALREADY_CONNECTED || direct == E_POINTER)
        return direct;
    const FilterPtr step =
        AudioDecoder::offersDecodedAudio(output)
            ? insertBetween(output, input,
                            Filter::fromDescription(QStringLiteral("audioconvert ! audioresample"),
                                                    QStringLiteral("Input"),
                                                    QStringLiteral("Output")),
                            QStringLiteral("Audio Converter"))
            : insertBetween(output, input, std::make_shared<AudioDecoder>(), AudioDecoder::kName);
    return step ? S_OK : VFW_E_CANNOT_CONNECT;
}

bool FilterGraph::waitUntilRunning() {
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(kStartTimeoutMs);
    while (steady_clock::now() < deadline) {
        GstState current = GST_STATE_NULL;
        const GstStateChangeReturn result =
            gst_element_get_state(m_pipeline, &current, nullptr, 20 * GST_MSECOND);
        if (result == GST_STATE_CHANGE_FAILURE)
            return false;
        if (result != GST_STATE_CHANGE_ASYNC && current == GST_STATE_PLAYING)
            return true;
        std::lock_guard lock(m_mutex);
        if (m_failed)
            return false;
    }
    return true; // still starting: not a failure
}

HRESULT FilterGraph::run() {
    if (m_state == State::Running)
        return S_OK;
    {
        std::lock_guard lock(m_mutex);
        m_failed = false;
        m_atEnd = false;
        m_lastError.clear();
        m_lastErrorKind = GraphErrorKind::None;
    }
    const GstStateChangeReturn result = gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
    if (result == GST_STATE_CHANGE_FAILURE || !waitUntilRunning()) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        m_state = State::Stopped;
        return E_FAIL;
    }
    m_state = State::Running;
    GstState current = GST_STATE_NULL;
    gst_element_get_state(m_pipeline, &current, nullptr, 0);
    return current == GST_STATE_PLAYING ? S_OK : S_FALSE;
}

HRESULT FilterGraph::pause() {
    GstStateChangeReturn result = gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    if (result == GST_STATE_CHANGE_ASYNC)
        result = static_cast<GstStateChangeReturn>(waitForStateChange());
    if (result == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    m_state = State::Paused;
    return result == GST_STATE_CHANGE_SUCCESS ? S_OK : S_FALSE;
}

// Waits, bounded, for a state change under way: a paused file graph is ready once its first
// data has reached every renderer.
int FilterGraph::waitForStateChange() const {
    return gst_element_get_state(m_pipeline, nullptr, nullptr, kStartTimeoutMs * GST_MSECOND);
}

void FilterGraph::drainToEnd() {
    std::unique_lock lock(m_mutex);
    if (m_atEnd || m_failed)
        return; // nothing more will flow
    m_draining = true;
    m_drained = false;
    lock.unlock();
    gst_element_send_event(m_pipeline, gst_event_new_eos());
    lock.lock();
    m_changed.wait_for(lock, std::chrono::milliseconds(kDrainTimeoutMs),
                       [this] { return m_drained || m_failed; });
    m_draining = false;
}

HRESULT FilterGraph::stop() {
    if (m_state == State::Running)
        drainToEnd();
    const GstStateChangeReturn result = gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_state = State::Stopped;
    return result == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
}

HRESULT FilterGraph::currentPosition(double& seconds) const {
    qint64 units = 0;
    const HRESULT hr = currentPosition100ns(units);
    if (SUCCEEDED(hr))
        seconds = units / 1e7;
    return hr;
}

HRESULT FilterGraph::currentPosition100ns(qint64& units) const {
    gint64 position = 0;
    if (!gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &position))
        return E_FAIL;
    units = position / 100;
    return S_OK;
}

HRESULT FilterGraph::duration(double& seconds) const {
    gint64 length = 0;
    if (!gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &length) || length < 0)
        return E_FAIL;
    seconds = length / kNanosecondsPerSecond;
    return S_OK;
}

HRESULT FilterGraph::setPosition(double seconds) {
    if (m_state == State::Stopped)
        return seconds == 0.0 ? S_OK : VFW_E_WRONG_STATE;
    const auto position = static_cast<gint64>(seconds * kNanosecondsPerSecond);
    const bool done = gst_element_seek_simple(
        m_pipeline, GST_FORMAT_TIME,
        static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), position);
    if (!done)
        return E_FAIL;
    waitForStateChange(); // a flushing seek fills the graph again before it reports the position
    return S_OK;
}

void FilterGraph::setNoClock(bool noClock) {
    if (noClock)
        gst_pipeline_use_clock(GST_PIPELINE(m_pipeline), nullptr);
    else
        gst_pipeline_auto_clock(GST_PIPELINE(m_pipeline));
}

} // namespace media
