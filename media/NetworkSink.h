#pragma once

#include "media/StreamBranch.h"
#include "media/StreamServer.h"
#include "platform/ResultCodes.h"

#include <map>
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
// graph is stopped waits for it to run; stopping the graph drops the listeners. Close drops
// every listener and frees the port at once; the sink may stay on its writer, closed.
//
// The HTTP side runs on a thread of its own and the stream is written by the branch's sink on
// its own thread; the members are called from the thread that owns the graph.
class NetworkSink : private StreamServer::Listeners, private StreamBranch::Clients {
public:
    static constexpr int kDefaultMaximumClients = 5;

    NetworkSink();
    ~NetworkSink() override;
    NetworkSink(const NetworkSink&) = delete;
    NetworkSink& operator=(const NetworkSink&) = delete;

    // False when GStreamer lacks an element the stream needs.
    bool isValid() const { return m_branch.isValid(); }

    // Listens on `port` on all interfaces; 0 takes any free port, which is written back. Fails
    // (E_FAIL) when the port is in use, E_INVALIDARG outside 0..65535, E_UNEXPECTED when open.
    HRESULT open(int& port);
    // Drops every listener and frees the port. S_FALSE when it was not open.
    HRESULT close();
    bool isOpen() const { return m_server.isRunning(); }
    // The port listened on, 0 when closed.
    int port() const { return m_port; }

    // 0 turns every listener away; negative counts are refused (E_INVALIDARG).
    HRESULT setMaximumClients(int count);
    int maximumClients() const;
    // Listeners connected to the stream (receiving it, or waiting for the graph to run).
    int clientCount() const;

    // Whether a writer carries this sink.
    bool isAttached() const { return m_branch.isAttached(); }

private:
    friend class AsfWriter;
    HRESULT attachTo(GstElement* writerBin, GstElement* tee) {
        return m_branch.attach(writerBin, tee);
    }
    void detach() { m_branch.detach(); }
    void setPacketSize(unsigned bytes) { m_branch.setPacketSize(bytes); }

    struct Listener {
        GIOStream* connection; // held with the socket until the listener leaves
        bool streaming;        // the branch's sink has taken it
    };

    bool hasRoomForListener(int joining) override;
    void addListener(GIOStream* connection, GSocket* socket) override;
    void clientAdded(GSocket* socket) override;
    void clientRemoved(GSocket* socket) override;
    void streamStarted() override;
    void closeAllListeners();

    mutable std::mutex m_mutex;
    int m_maximumClients = kDefaultMaximumClients;
    std::map<GSocket*, Listener> m_listeners;
    int m_port = 0;
    // Declared last, so destroyed first, while the listeners they report on are still here.
    StreamServer m_server;
    StreamBranch m_branch;
};

} // namespace media
