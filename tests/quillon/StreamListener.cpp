#include "StreamListener.h"

#include <arpa/inet.h>
#include <chrono>
#include <functional>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool pollUntil(int timeoutMs, const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

StreamListener::StreamListener(int port, const QByteArray& request, bool reading) {
    m_socket = connectTo(port);
    if (m_socket < 0)
        return;
    for (qsizetype sent = 0; sent < request.size();) {
        const ssize_t n =
            ::send(m_socket, request.constData() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
    }
    if (reading)
        m_reader = std::thread([this] { readLoop(); });
}

StreamListener::~StreamListener() {
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
    if (m_reader.joinable())
        m_reader.join();
    if (m_socket >= 0)
        ::close(m_socket);
}

void StreamListener::readLoop() {
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        take(buffer, n);
    }
    m_closed = true;
}

void StreamListener::take(const char* data, qint64 length) {
    std::lock_guard lock(m_mutex);
    if (!m_head.isEmpty()) {
        if (m_bodyStart.size() < 64)
            m_bodyStart += QByteArray(data, length).left(64 - m_bodyStart.size());
        m_bodyBytes += length;
        return;
    }
    m_received.append(data, length);
    const qsizetype end = m_received.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    m_head = m_received.left(end + 2);
    const QByteArray body = m_received.mid(end + 4);
    m_received.clear();
    m_bodyStart = body.left(64);
    m_bodyBytes += body.size();
}

QByteArray StreamListener::head() const {
    std::lock_guard lock(m_mutex);
    return m_head;
}

QByteArray StreamListener::bodyStart() const {
    std::lock_guard lock(m_mutex);
    return m_bodyStart;
}

bool StreamListener::waitForHead(int timeoutMs) const {
    return pollUntil(timeoutMs, [this] { return !head().isEmpty() || m_closed; }) &&
           !head().isEmpty();
}

bool StreamListener::waitForBodyBytes(qint64 bytes, int timeoutMs) const {
    return pollUntil(timeoutMs, [this, bytes] { return m_bodyBytes >= bytes || m_closed; }) &&
           m_bodyBytes >= bytes;
}

bool StreamListener::waitForClose(int timeoutMs) const {
    return pollUntil(timeoutMs, [this] { return m_closed.load(); });
}
