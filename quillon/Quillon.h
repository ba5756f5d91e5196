#pragma once

#include "media/Filter.h"

#include <QUuid>
#include <QVariant>
#include <QWidget>
#include <memory>

namespace media {
class AsfWriter;
class NetworkSink;
} // namespace media

namespace quillon {

// The network-sink control. Its host hands it the "WM ASF Writer" of every WMA graph it builds
// (ASFWriter) and the profile to record with (ProfileType); when streaming is wanted it attaches
// a network sink to that writer (AddNetworkSink), so listeners hear the recording live while the
// file is written. It can also enter a graph in the process's running object table (AddToROT).
//
// Hosts drive it by name, through QObject::setProperty and QMetaObject::invokeMethod. The
// members and their dispatch ids:
//   ASFWriter 1 (property: a QVariant holding a media::FilterPtr; reads as a null FilterPtr)
//   ProfileType 2 (property: an eProfile value, see QuillonIds.h)
//   AddNetworkSink 3, AddScriptStream 4, AddToROT 5, RemoveNetworkSink 6, AboutBox -552
// Results follow QuillonIds.h: -1 succeeded, 0 failed.
//
// On screen it is a white rectangle with an ellipse inscribed.
class Quillon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QVariant ASFWriter READ asfWriter WRITE setAsfWriter)
    Q_PROPERTY(int ProfileType READ profileType WRITE setProfileType)

public:
    explicit Quillon(QWidget* parent = nullptr);
    ~Quillon() override;

    // Always a null filter: the writer is handed in, never out.
    QVariant asfWriter() const;
    // A null reference lets go of everything; another writer replaces the one held (everything
    // held is let go first). The stored profile is not applied here.
    void setAsfWriter(const QVariant& writer);

    int profileType() const { return m_profileType; }
    // Stores the value and, when a writer is held, configures it with the profile chosen; a
    // writer that refuses (it is running, or it is no WMA writer) keeps its profile.
    void setProfileType(int profileType);

    // Closes any sink held, then opens a new one on the port with the listener limit and adds it
    // to the writer; during a hand-over on the port it takes over the stream there, listeners
    // and all. -1 when the sink serves, else 0 (also for port 0, which names no port a listener
    // could be told).
    Q_INVOKABLE int AddNetworkSink(int PortNumber, int MaxClients);
    // -1 when a writer that can carry network sinks is held, else 0. Changes nothing.
    Q_INVOKABLE int AddScriptStream();
    // Enters the object in the running object table as "FilterGraph <address> pid <process>"
    // and, when GST_DEBUG_DUMP_DOT_DIR is set and the object is a filter graph, writes a dump of
    // the graph there under that name. The registration's result code.
    Q_INVOKABLE int AddToROT(QObject* pGraphBuilder);
    // Closes the sink held, so its listeners are dropped and its port is free; the sink stays on
    // the writer. While a hand-over is under way on the port (media::NetworkSink::HandOver, as
    // at a file change), the listeners stay connected for the sink that opens next there.
    // 0 without a writer, -1000 when the writer carries no sinks, else -1.
    Q_INVOKABLE int RemoveNetworkSink();
    // The modal about box, through platform::Prompts.
    Q_INVOKABLE void AboutBox();

    // The built-in profile an eProfile value selects; any other value selects Stereo32's.
    static QUuid profileGuid(int profileType);
    // "FilterGraph <address> pid <process id>", both in lower-case hexadecimal, padded to 8
    // digits (an address above 32 bits keeps all its digits).
    static QString rotItemName(quintptr address, qint64 processId);

    // What the control holds, for its host's diagnostics and for tests.
    media::FilterPtr writerFilter() const { return m_writerFilter; }
    std::shared_ptr<media::NetworkSink> networkSink() const { return m_networkSink; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void releaseAll();
    int failAddNetworkSink();
    static void writeGraphDump(QObject* graph, const QString& name);

    media::FilterPtr m_writerFilter;
    std::shared_ptr<media::AsfWriter> m_advancedWriter; // the writer held, when it takes sinks
    std::shared_ptr<media::NetworkSink> m_networkSink;
    int m_profileType = 0;
    QUuid m_profileId;
    quint32 m_rotCookie = 0;
};

} // namespace quillon
