#pragma once

#include <QByteArray>
#include <atomic>
#include <mutex>
#include <thread>

// A listener on the stream port, as a player would be: connects to 127.0.0.1, sends its request
// and reads whatever comes back on a thread of its own. With `reading` false it never reads (a
// stuck player).
class StreamListener {
public:
    static inline const QByteArray kGet = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

    explicit StreamListener(int port, const QByteArray& request = kGet, bool reading = true);
    ~StreamListener();
    StreamListener(const StreamListener&) = delete;
    StreamListener& operator=(const StreamListener&) = delete;

    bool connected() const { return m_socket >= 0; }
    // The response head (status line and headers), empty until it is complete.
    QByteArray head() const;
    QByteArray statusLine() const { return head().left(head().indexOf("\r\n")); }
    // The first bytes of the body (at most 64).
    QByteArray bodyStart() const;
    qint64 bodyBytes() const { return m_bodyBytes; }
    bool closedByServer() const { return m_closed; }

    // Poll until the condition holds or the time is up; true when it holds.
    bool waitForHead(int timeoutMs = 10000) const;
    bool waitForBodyBytes(qint64 bytes, int timeoutMs = 10000) const;
    bool waitForClose(int timeoutMs = 10000) const;

private:
    void readLoop();
    void take(const char* data, qint64 length);

    int m_socket = -1;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    QByteArray m_received; // until the head is complete
    QByteArray m_head;
    QByteArray m_bodyStart;
    std::atomic<qint64> m_bodyBytes{0};
    std::atomic<bool> m_closed{false};
};
