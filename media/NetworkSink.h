#pragma once

#include "media/StreamBranch.h"
#include "media/StreamHub.h"
#include "platform/ResultCodes.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace media {

class AsfWriter;

// Serves the live WMA signal of a writer to network listeners: an HTTP stream of the ASF bytes
// on a port. A listener that asks for "/" gets the ASF header first and then the packets as
// they are encoded. At most maximumClients() listen at once; further ones are turned away with
// 503 while the others keep receiving.
//
// Open it, set the limit, then add it to a writer (AsfWriter::addSink), normally while the
// graph is stopped: the stream flows whenever the graph runs. A listener who comes while the
// graph is stopped waits for it to run; stopping the graph ends the stream and drops the
// listeners. Close drops every listener and frees the port at once; the sink may stay on its
// writer, closed.
//
// The stream belongs to the port (StreamHub), not to the sink. While a HandOver lives for the
// port, a sink that closes leaves the stream and its listeners to the sink that opens next on the
// port, and that sink's writer feeds them from then on: one header per listener, audio without a
// break. So listeners stay connected across a file change, where one logger's writer follows the
// other's. Until its writer lets go of it, a sink closed in a hand-over still feeds the stream
// whenever no newer sink's audio flows (its graph may record a moment longer than the next one
// needs to start).
//
// The HTTP side runs on a thread of its own and the audio comes on the writer's streaming
// thread; the members are called from the thread that owns the graph.
class NetworkSink : private StreamBranch::Clients {
public:
    using HandOver = StreamHub::HandOver;

    static constexpr int kDefaultMaximumClients = 5;

    NetworkSink();
    ~NetworkSink() override;
    NetworkSink(const NetworkSink&) = delete;
    NetworkSink& operator=(const NetworkSink&) = delete;

    // False when GStreamer lacks an element the stream needs.
    bool isValid() const { return m_branch.isValid(); }

    // Listens on `port` on all interfaces; 0 takes any free port, which is written back. Fails
    // (E_FAIL) when the port is in use (during a hand-over on the port, a stream of this process
    // there is joined instead), E_INVALIDARG outside 0..65535, E_UNEXPECTED when open.
    HRESULT open(int& port);
    // Drops every listener and frees the port (in a hand-over: leaves them to the next sink).
    // S_FALSE when it was not open.
    HRESULT close();
    bool isOpen() const { return m_open; }
    // The port listened on, 0 when closed.
    int port() const { return m_port; }

    // 0 turns every listener away; negative counts are refused (E_INVALIDARG).
    HRESULT setMaximumClients(int count);
    int maximumClients() const { return m_maximumClients; }
    // Listeners connected to the stream (receiving it, or waiting for audio); 0 when closed.
    int clientCount() const;

    // Whether a writer carries this sink.
    bool isAttached() const { return m_branch.isAttached(); }

private:
    friend class AsfWriter;
    HRESULT attachTo(GstElement* writerBin, GstElement* tee) {
        return m_branch.attach(writerBin, tee);
    }
    void detach();
    void setPacketSize(unsigned bytes) { m_packetSize = bytes; }

    void audioReady(GstSample* sample) override;
    void audioEnded() override;
    std::shared_ptr<StreamHub> stream() const;
    void leaveStream();

    std::atomic<unsigned> m_packetSize{4800};
    int m_maximumClients = kDefaultMaximumClients;
    bool m_open = false;
    int m_port = 0;
    // The stream this sink feeds: the one it serves while open, afterwards until its writer lets
    // go of it or it opens again. Read on the streaming thread under the mutex.
    mutable std::mutex m_streamMutex;
    std::shared_ptr<StreamHub> m_stream;
    // Declared last, so destroyed first: no audio arrives once the members above go.
    StreamBranch m_branch;
};

} // namespace media
