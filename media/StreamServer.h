#pragma once

#include "platform/ResultCodes.h"

#include <map>
#include <memory>
#include <set>
#include <thread>

typedef struct _GHashTable GHashTable;
typedef struct _GIOStream GIOStream;
typedef struct _GObject GObject;
typedef struct _GSocket GSocket;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;
typedef struct _SoupServer SoupServer;
typedef struct _SoupServerMessage SoupServerMessage;

namespace media {

// The HTTP side of a network sink. It listens on a port on all interfaces and answers every
// request; a listener asking for the stream ("GET /") gets the response headers (HTTP/1.0 200,
// no length, the connection closes at the end) and then its connection is handed to the owner,
// which writes the stream into it.
//
// The server runs on a thread and a GLib main context of its own: listeners are served whatever
// the GUI thread is doing (a graph starting or stopping, a modal dialog, a test waiting for a
// process), and nothing depends on which event dispatcher Qt uses.
//
// Requests that take too long to arrive are cut off, and only a bounded number of connections may
// be waiting for their request at once (the one that has waited longest makes room), so a flood
// of idle connections cannot use up the process's file handles. A request that carries a body is
// refused as soon as its headers are in (413, and the connection is closed): nothing here takes
// a body, and reading one would hold it all in memory.
class StreamServer {
public:
    // The owner of the listeners. Both calls arrive on the server's thread.
    class Listeners {
    public:
        virtual ~Listeners() = default;
        // Whether one more listener may join, counting `joining` that are about to.
        virtual bool hasRoomForListener(int joining) = 0;
        // Takes over a listener's connection; the owner receives a reference to both objects and
        // is responsible for closing the socket.
        virtual void addListener(GIOStream* connection, GSocket* socket) = 0;
    };

    static constexpr const char* kContentType = "video/x-ms-asf";
    static constexpr int kMaxWaitingRequests = 32;
    static constexpr int kRequestTimeoutMs = 10000;
    static constexpr int kListenBacklog = 128;

    explicit StreamServer(Listeners& listeners);
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    // Listens on `port` (0: any free port, written back). E_INVALIDARG for a port outside
    // 0..65535, E_UNEXPECTED when already listening, E_FAIL when the port cannot be had.
    HRESULT start(int& port);
    // Stops listening and closes every connection that has not been handed over; the port is
    // free when this returns.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }

private:
    struct Startup;

    void serve(int port, const std::shared_ptr<Startup>& startup);
    bool listen(int port);
    static GSocket* listeningSocket(int family, int port);
    int boundPort() const;
    void shutDown();

    static void onRequest(SoupServer* server, SoupServerMessage* message, const char* path,
                          GHashTable* query, void* self);
    static void onRequestStarted(SoupServer* server, SoupServerMessage* message, void* self);
    static void onRequestEnded(SoupServer* server, SoupServerMessage* message, void* self);
    static void onHeadersWritten(SoupServerMessage* message, void* self);
    static void onGotHeaders(SoupServerMessage* message, void* self);
    static void onMessageGone(void* self, GObject* message);
    static int onSweep(void* self);

    void answer(SoupServerMessage* message, const char* path);
    void startStream(SoupServerMessage* message);
    void handOver(SoupServerMessage* message);
    void refuseBody(SoupServerMessage* message);
    void watch(SoupServerMessage* message);
    void forget(SoupServerMessage* message);
    SoupServerMessage* longestWaiting() const;
    void cutOff(SoupServerMessage* message);
    void cutOffLateRequests();

    Listeners& m_listeners;
    std::thread m_thread;
    GMainContext* m_context = nullptr;
    GMainLoop* m_loop = nullptr;
    SoupServer* m_server = nullptr;
    // Server thread only: requests not yet complete, by the time they started (µs), and the
    // listeners whose response headers are on their way.
    std::map<SoupServerMessage*, long long> m_waiting;
    std::set<SoupServerMessage*> m_joining;
};

} // namespace media
