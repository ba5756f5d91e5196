// The network sink on a live recording, as listeners on raw sockets see it.
#include "LiveRecording.h"
#include "StreamCheck.h"
#include "StreamListener.h"

#include "media/NetworkSink.h"

#include <QFile>
#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <list>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace media;
using namespace ResultCode;

namespace {

const QByteArray kAsfHeaderGuid = QByteArray::fromHex("3026b2758e66cf11a6d900aa0062ce6c");

// A live recording with a network sink on a free port, added while the graph is stopped.
struct StreamingRecording {
    explicit StreamingRecording(int maximumClients = NetworkSink::kDefaultMaximumClients) {
        EXPECT_EQ(sink->open(port), S_OK);
        EXPECT_EQ(sink->setMaximumClients(maximumClients), S_OK);
        EXPECT_EQ(recording.writer()->addSink(sink), S_OK);
    }
    bool clientCountBecomes(int count) const {
        return StreamCheck::clientCountBecomes(*sink, count);
    }

    LiveRecording recording;
    std::shared_ptr<NetworkSink> sink = std::make_shared<NetworkSink>();
    int port = 0;
};

// The process's resident size.
qint64 residentBytes() {
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = statm.readAll().split(' ');
    return pages.size() > 1 ? pages[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

constexpr qint64 kBodyBytes = 32 << 20;

struct BodyResult {
    qint64 sent = 0;     // body bytes the server's side took
    bool closed = false; // the server closed the connection
};

// Sends `request` and then up to `bodyBytes` of body, as fast as the server's side takes it, and
// waits for the server to close the connection (each send or wait a few seconds at most).
BodyResult sendBody(int port, const QByteArray& request, qint64 bodyBytes) {
    BodyResult result;
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval timeout{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::send(fd, request.constData(), request.size(), MSG_NOSIGNAL) != request.size()) {
        ::close(fd);
        return result;
    }
    const QByteArray chunk(64 * 1024, 'b');
    while (result.sent < bodyBytes) {
        const ssize_t n = ::send(fd, chunk.constData(), chunk.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            result.closed = errno == EPIPE || errno == ECONNRESET;
            break;
        }
        result.sent += n;
    }
    char answer[4096];
    while (!result.closed) {
        const ssize_t n = ::recv(fd, answer, sizeof answer, 0);
        if (n <= 0) {
            result.closed = n == 0 || errno == ECONNRESET;
            break;
        }
    }
    ::close(fd);
    return result;
}

// The listener keeps receiving: more arrives after this call than had arrived before it.
void expectStillReceiving(const StreamListener& listener) {
    const qint64 before = listener.bodyBytes();
    EXPECT_TRUE(listener.waitForBodyBytes(before + 2000)) << "stalled at " << before;
}

} // namespace

TEST(NetworkSink, ListenerGetsHttp10HeadersThenTheAsfHeaderThenLivePackets) {
    StreamingRecording streaming;
    streaming.recording.run();
    StreamListener listener(streaming.port);
    ASSERT_TRUE(listener.waitForHead());
    const QByteArray head = listener.head().toLower();
    EXPECT_EQ(listener.statusLine(), "HTTP/1.0 200 OK");
    EXPECT_TRUE(head.contains("\r\ncontent-type: video/x-ms-asf\r\n")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nconnection: close\r\n")) << head.constData();
    EXPECT_FALSE(head.contains("content-length")) << head.constData();
    ASSERT_TRUE(listener.waitForBodyBytes(1000));
    EXPECT_TRUE(listener.bodyStart().startsWith(kAsfHeaderGuid))
        << listener.bodyStart().toHex().constData();
    expectStillReceiving(listener);
    EXPECT_TRUE(streaming.clientCountBecomes(1));
}

TEST(NetworkSink, OtherRequestsAreAnsweredAndClosedWithoutTakingAPlace) {
    StreamingRecording streaming;
    streaming.recording.run();
    StreamListener elsewhere(streaming.port, "GET /other HTTP/1.1\r\nHost: x\r\n\r\n");
    StreamListener post(streaming.port, "POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n");
    StreamListener head(streaming.port, "HEAD / HTTP/1.0\r\n\r\n");
    EXPECT_TRUE(elsewhere.waitForClose());
    EXPECT_TRUE(elsewhere.statusLine().contains(" 404 ")) << elsewhere.statusLine().constData();
    EXPECT_TRUE(post.waitForClose());
    EXPECT_TRUE(post.statusLine().contains(" 405 ")) << post.statusLine().constData();
    EXPECT_TRUE(head.waitForClose());
    EXPECT_EQ(head.statusLine(), "HTTP/1.0 200 OK");
    EXPECT_EQ(head.bodyBytes(), 0);
    EXPECT_EQ(streaming.sink->clientCount(), 0);
}

TEST(NetworkSink, APlaceFreedByALeavingListenerCanBeTakenAgain) {
    StreamingRecording streaming(1);
    streaming.recording.run();
    auto first = std::make_unique<StreamListener>(streaming.port);
    ASSERT_TRUE(first->waitForBodyBytes(1000));
    StreamListener refused(streaming.port);
    EXPECT_TRUE(refused.waitForClose());
    EXPECT_TRUE(refused.statusLine().contains(" 503 ")) << refused.statusLine().constData();
    first.reset();
    ASSERT_TRUE(streaming.clientCountBecomes(0));
    StreamListener second(streaming.port);
    EXPECT_TRUE(second.waitForBodyBytes(1000));
    EXPECT_EQ(second.statusLine(), "HTTP/1.0 200 OK");
}

TEST(NetworkSink, OpenCloseAndThePort) {
    NetworkSink first, second;
    int port = 0;
    ASSERT_EQ(first.open(port), S_OK);
    EXPECT_EQ(first.port(), port);
    int same = port;
    EXPECT_EQ(first.open(same), E_UNEXPECTED);
    EXPECT_EQ(second.open(same), E_FAIL) << "the port is in use";
    int outside = 65536;
    EXPECT_EQ(second.open(outside), E_INVALIDARG);
    EXPECT_EQ(second.setMaximumClients(-1), E_INVALIDARG);

    StreamListener waiting(port); // connected, nothing streams yet
    ASSERT_TRUE(waiting.waitForHead());
    EXPECT_EQ(first.close(), S_OK);
    EXPECT_TRUE(waiting.waitForClose());
    EXPECT_EQ(first.clientCount(), 0);
    EXPECT_EQ(first.port(), 0);
    EXPECT_EQ(second.open(same), S_OK) << "the port is free at once";
    EXPECT_EQ(first.close(), S_FALSE);
}

TEST(NetworkSink, SinkAddedWhileStoppedStreamsAfterATrialRunAndAgainAfterARerun) {
    StreamingRecording streaming;
    FilterGraph& graph = streaming.recording.graph();
    ASSERT_TRUE(SUCCEEDED(graph.run()));
    ASSERT_EQ(graph.stop(), S_OK);
    {
        StreamListener early(streaming.port); // while stopped: waits for the stream
        ASSERT_TRUE(early.waitForHead());
        streaming.recording.run();
        EXPECT_TRUE(early.waitForBodyBytes(3000));
        EXPECT_TRUE(early.bodyStart().startsWith(kAsfHeaderGuid));
        ASSERT_EQ(graph.stop(), S_OK);
        EXPECT_TRUE(early.waitForClose()) << "a stopped graph drops its listeners";
    }
    streaming.recording.run();
    StreamListener again(streaming.port);
    EXPECT_TRUE(again.waitForBodyBytes(1000));
    EXPECT_TRUE(again.bodyStart().startsWith(kAsfHeaderGuid));
}

TEST(NetworkSink, SinkAddedWhileRecordingStreamsAtOnce) {
    LiveRecording recording;
    recording.run();
    LiveRecording::wait(500);
    auto sink = std::make_shared<NetworkSink>();
    int port = 0;
    ASSERT_EQ(sink->open(port), S_OK);
    ASSERT_EQ(recording.writer()->addSink(sink), S_OK);
    StreamListener listener(port);
    EXPECT_TRUE(listener.waitForBodyBytes(3000));
    EXPECT_TRUE(listener.bodyStart().startsWith(kAsfHeaderGuid));
    recording.stopAndExpectWholeFile();
}

TEST(NetworkSink, WriterAcceptsASinkOnceAndOnlyOnOneWriter) {
    LiveRecording one, other;
    auto sink = std::make_shared<NetworkSink>();
    EXPECT_EQ(one.writer()->addSink(nullptr), E_POINTER);
    EXPECT_EQ(one.writer()->removeSink(sink), E_INVALIDARG);
    ASSERT_EQ(one.writer()->addSink(sink), S_OK);
    EXPECT_EQ(one.writer()->addSink(sink), E_INVALIDARG);
    EXPECT_EQ(other.writer()->addSink(sink), E_INVALIDARG);
    EXPECT_EQ(one.writer()->removeSink(sink), S_OK);
    EXPECT_FALSE(sink->isAttached());
    EXPECT_EQ(other.writer()->addSink(sink), S_OK);
}

TEST(NetworkSink, RemovingTheSinkWhileRecordingDropsItsListenersAndLeavesTheFileWhole) {
    StreamingRecording streaming;
    streaming.recording.run();
    StreamListener listener(streaming.port);
    ASSERT_TRUE(listener.waitForBodyBytes(3000));
    LiveRecording::wait(1000);
    EXPECT_EQ(streaming.recording.writer()->removeSink(streaming.sink), S_OK);
    EXPECT_TRUE(listener.waitForClose());
    LiveRecording::wait(1500);
    streaming.recording.stopAndExpectWholeFile();
}

// Garbage, an oversized request line, a listener that never reads, idle connections and a burst
// of connection attempts: the recording and the proper listener carry on.
TEST(NetworkSink, BadInputLeavesTheRecordingAndTheListenersUndisturbed) {
    StreamingRecording streaming;
    streaming.recording.run();
    StreamListener listener(streaming.port);
    ASSERT_TRUE(listener.waitForBodyBytes(1000));

    StreamListener garbage(streaming.port, QByteArray(5000, '\x07') + "\r\n\r\n");
    StreamListener longLine(streaming.port,
                            "GET /" + QByteArray(64 * 1024, 'a') + " HTTP/1.1\r\n\r\n");
    StreamListener stuck(streaming.port, StreamListener::kGet, false);
    std::list<StreamListener> idle;
    for (int i = 0; i < media::StreamServer::kMaxWaitingRequests + 8; ++i)
        idle.emplace_back(streaming.port, QByteArray());
    for (int i = 0; i < 200; ++i) {
        StreamListener attempt(streaming.port, i % 2 ? StreamListener::kGet : QByteArray("G"),
                               false);
    }
    EXPECT_TRUE(garbage.waitForClose());
    EXPECT_TRUE(garbage.statusLine().contains(" 400 ")) << garbage.statusLine().constData();
    EXPECT_TRUE(longLine.waitForClose());
    expectStillReceiving(listener);

    ASSERT_TRUE(streaming.clientCountBecomes(2)) << "attempts that hung up are gone";
    StreamListener newcomer(streaming.port);
    EXPECT_TRUE(newcomer.waitForBodyBytes(1000)) << "a proper listener still gets in";
    EXPECT_TRUE(idle.front().waitForClose()) << "the longest-waiting idle connection made room";
    EXPECT_TRUE(idle.back().waitForClose(media::StreamServer::kRequestTimeoutMs + 5000))
        << "an idle connection is cut off in time";
    expectStillReceiving(listener);
    EXPECT_TRUE(streaming.clientCountBecomes(3)); // listener, stuck and newcomer
    streaming.recording.stopAndExpectWholeFile();
}

// At a file change the next writer's sink takes the stream over: the listener stays connected
// and receiving. A hand-over that no sink takes closes the stream and frees the port.
TEST(NetworkSink, HandOverKeepsTheListenersForTheNextSinkOnThePortAndClosesWhenNoneComes) {
    StreamingRecording first;
    first.recording.run();
    StreamListener listener(first.port);
    ASSERT_TRUE(listener.waitForBodyBytes(1000));

    LiveRecording next;
    auto sink = std::make_shared<NetworkSink>();
    {
        NetworkSink::HandOver handOver(first.port);
        EXPECT_EQ(first.sink->close(), S_OK);
        int port = first.port;
        ASSERT_EQ(sink->open(port), S_OK) << "joins the stream on the port";
        ASSERT_EQ(next.writer()->addSink(sink), S_OK);
    }
    next.run();
    LiveRecording::wait(500);
    first.recording.stopAndExpectWholeFile();
    expectStillReceiving(listener);
    EXPECT_FALSE(listener.closedByServer());
    EXPECT_EQ(sink->clientCount(), 1);
    NetworkSink outsider;
    int taken = first.port;
    EXPECT_EQ(outsider.open(taken), E_FAIL) << "no hand-over: the port is in use";

    {
        NetworkSink::HandOver handOver(first.port);
        sink->close();
        EXPECT_FALSE(listener.closedByServer()) << "kept while the hand-over lasts";
    }
    EXPECT_TRUE(listener.waitForClose());
    EXPECT_EQ(outsider.open(taken), S_OK) << "the port is free";
    next.stopAndExpectWholeFile();
}

// Connections that come while the graph is stopped and hang up again, and requests that carry a
// body, leave nothing behind: no place among the listeners, no memory for the body.
TEST(NetworkSink, HangUpsWhileStoppedAndRequestBodiesLeaveNothingBehind) {
    StreamingRecording streaming(2);
    FilterGraph& graph = streaming.recording.graph();
    ASSERT_TRUE(SUCCEEDED(graph.run())); // the logger's trial run
    ASSERT_EQ(graph.stop(), S_OK);
    for (int i = 0; i < 6; ++i) {
        const bool reading = i % 2 == 0; // half of them hang up before the answer is read
        StreamListener brief(streaming.port, StreamListener::kGet, reading);
        if (reading) {
            ASSERT_TRUE(brief.waitForHead()) << i;
            EXPECT_EQ(brief.statusLine(), "HTTP/1.0 200 OK") << i;
        }
    }
    EXPECT_TRUE(streaming.clientCountBecomes(0));

    StreamListener waitsForContinue(streaming.port, "POST / HTTP/1.1\r\nHost: x\r\n"
                                                    "Content-Length: 50000000\r\n"
                                                    "Expect: 100-continue\r\n\r\n");
    ASSERT_TRUE(waitsForContinue.waitForClose());
    EXPECT_TRUE(waitsForContinue.statusLine().contains(" 413 "))
        << waitsForContinue.statusLine().constData();
    const qint64 residentBefore = residentBytes();
    for (const QByteArray& request :
         {QByteArray("POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 50000000\r\n\r\n"),
          QByteArray("GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "1000000\r\n")}) {
        const BodyResult result = sendBody(streaming.port, request, kBodyBytes);
        EXPECT_TRUE(result.closed) << request.constData();
        EXPECT_LT(result.sent, kBodyBytes / 2) << "the body was read: " << request.constData();
    }
    EXPECT_LT(residentBytes() - residentBefore, 4 << 20);

    streaming.recording.run();
    StreamListener first(streaming.port), second(streaming.port);
    EXPECT_TRUE(first.waitForBodyBytes(1000)) << first.statusLine().constData();
    EXPECT_TRUE(second.waitForBodyBytes(1000)) << second.statusLine().constData();
}
