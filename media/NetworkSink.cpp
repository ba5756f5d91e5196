#include "media/NetworkSink.h"

#include <gio/gio.h>
#include <vector>

namespace media {

using namespace ResultCode;

namespace {

void closeListener(GSocket* socket, GIOStream* connection) {
    g_socket_close(socket, nullptr);
    g_object_unref(connection);
    g_object_unref(socket);
}

} // namespace

NetworkSink::NetworkSink()
    : m_server(static_cast<StreamServer::Listeners&>(*this)),
      m_branch(static_cast<StreamBranch::Clients&>(*this)) {}

NetworkSink::~NetworkSink() {
    close();
}

HRESULT NetworkSink::open(int& port) {
    const HRESULT hr = m_server.start(port);
    if (SUCCEEDED(hr))
        m_port = port;
    return hr;
}

HRESULT NetworkSink::close() {
    if (!isOpen())
        return S_FALSE;
    m_server.stop(); // no one joins from here on, and the port is free
    m_port = 0;
    closeAllListeners();
    return S_OK;
}

HRESULT NetworkSink::setMaximumClients(int count) {
    if (count < 0)
        return E_INVALIDARG;
    std::lock_guard lock(m_mutex);
    m_maximumClients = count;
    return S_OK;
}

int NetworkSink::maximumClients() const {
    std::lock_guard lock(m_mutex);
    return m_maximumClients;
}

int NetworkSink::clientCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_listeners.size());
}

bool NetworkSink::hasRoomForListener(int joining) {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_listeners.size()) + joining < m_maximumClients;
}

void NetworkSink::addListener(GIOStream* connection, GSocket* socket) {
    {
        std::lock_guard lock(m_mutex);
        m_listeners.emplace(socket, Listener{connection, false});
    }
    // Outside the lock, which the sink's reports take. Not started: the listener waits for the
    // next stream.
    if (m_branch.isStarted())
        m_branch.addClient(socket);
}

void NetworkSink::clientAdded(GSocket* socket) {
    std::lock_guard lock(m_mutex);
    auto it = m_listeners.find(socket);
    if (it != m_listeners.end())
        it->second.streaming = true;
}

// A listener left: it hung up, fell too far behind, was dropped, or the graph stopped.
void NetworkSink::clientRemoved(GSocket* socket) {
    GIOStream* connection = nullptr;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_listeners.find(socket);
        if (it == m_listeners.end())
            return;
        connection = it->second.connection;
        m_listeners.erase(it);
    }
    closeListener(socket, connection);
}

// Those who came while the graph was stopped join now.
void NetworkSink::streamStarted() {
    std::vector<GSocket*> waiting;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [socket, listener] : m_listeners) {
            if (!listener.streaming)
                waiting.push_back(socket);
        }
    }
    for (GSocket* socket : waiting)
        m_branch.addClient(socket);
}

void NetworkSink::closeAllListeners() {
    m_branch.dropClients();
    // Those still waiting for a stream are closed here.
    std::map<GSocket*, Listener> left;
    {
        std::lock_guard lock(m_mutex);
        left.swap(m_listeners);
    }
    for (const auto& [socket, listener] : left)
        closeListener(socket, listener.connection);
}

} // namespace media
