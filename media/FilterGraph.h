#pragma once

#include "media/Filter.h"
#include "media/GraphEvent.h"
#include "media/Pin.h"
#include "platform/ResultCodes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

namespace media {

// A filter graph on a GStreamer pipeline: filters are added by name and connected pin to pin;
// the graph runs, pauses and stops as a whole. Events (completion, errors) are queued and
// announced on the thread that owns the graph, normally the GUI thread.
class FilterGraph : public QObject {
    Q_OBJECT
public:
    enum class State { Stopped, Paused, Running };

    explicit FilterGraph(QObject* parent = nullptr);
    ~FilterGraph() override;

    // Adds a filter under a name. A name already in use gets " 0001", " 0002" … appended and
    // VFW_S_DUPLICATE_NAME is returned.
    HRESULT addFilter(const FilterPtr& filter, const QString& name);
    HRESULT removeFilter(const FilterPtr& filter);
    FilterPtr findFilterByName(const QString& name) const;
    // In the order they were added.
    QList<FilterPtr> filters() const;

    // Adds a source that reads the file; the file name doubles as the filter's name when no
    // name is given. E_FILE_NOT_FOUND / E_ACCESSDENIED when the file cannot be read.
    HRESULT addSourceFilter(const QString& path, const QString& name, FilterPtr& source);

    HRESULT connectDirect(const Pin& output, const Pin& input);
    // Connects, inserting a converter or a decoder when the two pins cannot meet directly.
    HRESULT connect(const Pin& output, const Pin& input);
    HRESULT disconnect(const Pin& pin);

    // Run waits (briefly) until data flows, so that a graph that cannot run says so here.
    // S_FALSE: still starting after the wait.
    HRESULT run();
    // A paused file graph is filled up to its renderers before this returns (bounded wait).
    HRESULT pause();
    // A running graph is drained first: end-of-stream goes through every filter so files are
    // complete, with a bounded wait; then everything is released.
    HRESULT stop();
    State state() const { return m_state; }

    HRESULT currentPosition(double& seconds) const;
    HRESULT currentPosition100ns(qint64& units) const;
    HRESULT duration(double& seconds) const;
    HRESULT setPosition(double seconds);

    // Without a clock the graph runs as fast as its sources deliver.
    void setNoClock(bool noClock);

    // Takes the oldest queued event; false when none is queued.
    bool getEvent(GraphEventRecord& event);
    // The text of the first error a filter reported since the graph last started, empty when
    // none; lastErrorKind says what it was about (None when there was none).
    QString lastError() const;
    GraphErrorKind lastErrorKind() const;

    GstElement* pipeline() const { return m_pipeline; }

    static constexpr int kDrainTimeoutMs = 2000;
    static constexpr int kStartTimeoutMs = 3000;

signals:
    // Emitted once for every event queued; read it with getEvent.
    void eventQueued();

private:
    struct BusBridge;
    static int onBusMessage(GstBus* bus, GstMessage* message, void* data);
    void handleBusMessage(GstMessage* message);
    void queueEvent(long code, std::intptr_t param1 = 0, std::intptr_t param2 = 0);
    void selectNewClock();
    void recalculateLatency();
    QString uniqueName(const QString& name) const;
    FilterPtr insertBetween(const Pin& output, const Pin& input, const FilterPtr& step,
                            const QString& name);
    bool waitUntilRunning();
    int waitForStateChange() const;
    void drainToEnd();

    GstElement* m_pipeline = nullptr;
    std::shared_ptr<BusBridge> m_bridge;
    QList<FilterPtr> m_filters;
    State m_state = State::Stopped;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<GraphEventRecord> m_events;
    QString m_lastError;
    GraphErrorKind m_lastErrorKind = GraphErrorKind::None;
    bool m_draining = false;
    bool m_drained = false;
    bool m_atEnd = false; // every source has ended since the last run
    bool m_failed = false;
};

} // namespace media
