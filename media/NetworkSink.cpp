#include "media/NetworkSink.h"

namespace media {

using namespace ResultCode;

NetworkSink::NetworkSink() : m_branch(static_cast<StreamBranch::Clients&>(*this)) {}

NetworkSink::~NetworkSink() {
    close();
    leaveStream();
}

HRESULT NetworkSink::open(int& port) {
    if (m_open)
        return E_UNEXPECTED;
    if (port < 0 || port > 65535)
        return E_INVALIDARG;
    leaveStream();
    std::shared_ptr<StreamHub> stream;
    const HRESULT hr = StreamHub::join(port, this, stream);
    if (FAILED(hr))
        return hr;
    stream->setMaximumClients(m_maximumClients);
    {
        std::lock_guard lock(m_streamMutex);
        m_stream = stream;
    }
    m_open = true;
    m_port = port;
    return S_OK;
}

HRESULT NetworkSink::close() {
    if (!m_open)
        return S_FALSE;
    m_open = false;
    m_port = 0;
    stream()->leave(this); // the stream closes with it, unless a hand-over keeps it
    return S_OK;
}

HRESULT NetworkSink::setMaximumClients(int count) {
    if (count < 0)
        return E_INVALIDARG;
    m_maximumClients = count;
    if (m_open)
        stream()->setMaximumClients(count);
    return S_OK;
}

int NetworkSink::clientCount() const {
    return m_open ? stream()->clientCount() : 0;
}

std::shared_ptr<StreamHub> NetworkSink::stream() const {
    std::lock_guard lock(m_streamMutex);
    return m_stream;
}

// This sink's audio goes nowhere from here on.
void NetworkSink::leaveStream() {
    std::shared_ptr<StreamHub> stream;
    {
        std::lock_guard lock(m_streamMutex);
        stream.swap(m_stream);
    }
    if (stream)
        stream->removeFeed(this);
}

void NetworkSink::detach() {
    m_branch.detach(); // the stream hears that this audio ended
    if (!m_open)
        leaveStream();
}

void NetworkSink::audioReady(GstSample* sample) {
    if (const std::shared_ptr<StreamHub> hub = stream())
        hub->deliver(this, sample, m_packetSize);
}

void NetworkSink::audioEnded() {
    if (const std::shared_ptr<StreamHub> hub = stream())
        hub->flowEnded(this);
}

} // namespace media
