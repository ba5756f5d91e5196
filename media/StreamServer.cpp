#include "media/StreamServer.h"

#include <condition_variable>
#include <cstring>
#include <libsoup/soup.h>
#include <mutex>
#include <netinet/in.h>
#include <vector>

namespace media {

using namespace ResultCode;

namespace {

constexpr unsigned kSweepIntervalMs = 1000;
constexpr const char* kBodyRefused = "Requests with a body are not served here.\n";

void respondAndClose(SoupServerMessage* message, unsigned status, const char* text) {
    soup_server_message_set_status(message, status, nullptr);
    soup_message_headers_replace(soup_server_message_get_response_headers(message), "Connection",
                                 "close");
    soup_server_message_set_response(message, "text/plain", SOUP_MEMORY_STATIC, text,
                                     std::strlen(text));
}

// Whether the request announces a body (a length above 0, or chunks).
bool hasBody(SoupServerMessage* message) {
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    switch (soup_message_headers_get_encoding(headers)) {
    case SOUP_ENCODING_NONE:
        return false;
    case SOUP_ENCODING_CONTENT_LENGTH:
        return soup_message_headers_get_content_length(headers) > 0;
    default:
        return true;
    }
}

void setStreamHeaders(SoupServerMessage* message) {
    soup_server_message_set_http_version(message, SOUP_HTTP_1_0);
    soup_server_message_set_status(message, SOUP_STATUS_OK, nullptr);
    SoupMessageHeaders* headers = soup_server_message_get_response_headers(message);
    soup_message_headers_set_encoding(headers, SOUP_ENCODING_EOF);
    soup_message_headers_set_content_type(headers, StreamServer::kContentType, nullptr);
    soup_message_headers_replace(headers, "Cache-Control", "no-cache");
    soup_message_headers_replace(headers, "Connection", "close");
}

} // namespace

// How the server thread tells start() whether it is listening.
struct StreamServer::Startup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int port = -1; // the port bound, or -1 when listening failed
};

StreamServer::StreamServer(Listeners& listeners) : m_listeners(listeners) {}

StreamServer::~StreamServer() {
    stop();
}

HRESULT StreamServer::start(int& port) {
    if (isRunning())
        return E_UNEXPECTED;
    if (port < 0 || port > 65535)
        return E_INVALIDARG;
    m_context = g_main_context_new();
    m_loop = g_main_loop_new(m_context, FALSE);
    auto startup = std::make_shared<Startup>();
    m_thread = std::thread([this, port, startup] { serve(port, startup); });
    std::unique_lock lock(startup->mutex);
    startup->done.wait(lock, [&] { return startup->finished; });
    if (startup->port < 0) {
        lock.unlock();
        stop();
        return E_FAIL;
    }
    port = startup->port;
    return S_OK;
}

void StreamServer::stop() {
    if (!m_thread.joinable())
        return;
    // Invoked rather than called: a quit that came before the loop started would be lost.
    g_main_context_invoke(
        m_context,
        [](gpointer loop) {
            g_main_loop_quit(static_cast<GMainLoop*>(loop));
            return G_SOURCE_REMOVE;
        },
        m_loop);
    m_thread.join();
    g_main_loop_unref(m_loop);
    g_main_context_unref(m_context);
    m_loop = nullptr;
    m_context = nullptr;
}

void StreamServer::serve(int port, const std::shared_ptr<Startup>& startup) {
    g_main_context_push_thread_default(m_context);
    const bool listening = listen(port);
    {
        std::lock_guard lock(startup->mutex);
        startup->port = listening ? boundPort() : -1;
        startup->finished = true;
    }
    startup->done.notify_all();
    if (listening) {
        GSource* sweep = g_timeout_source_new(kSweepIntervalMs);
        g_source_set_callback(sweep, &StreamServer::onSweep, this, nullptr);
        g_source_attach(sweep, m_context);
        g_main_loop_run(m_loop);
        g_source_destroy(sweep);
        g_source_unref(sweep);
    }
    shutDown();
    g_main_context_pop_thread_default(m_context);
}

bool StreamServer::listen(int port) {
    m_server = SOUP_SERVER(g_object_new(SOUP_TYPE_SERVER, nullptr));
    soup_server_add_handler(m_server, nullptr, &StreamServer::onRequest, this, nullptr);
    g_signal_connect(m_server, "request-started", G_CALLBACK(&StreamServer::onRequestStarted),
                     this);
    g_signal_connect(m_server, "request-finished", G_CALLBACK(&StreamServer::onRequestEnded), this);
    g_signal_connect(m_server, "request-aborted", G_CALLBACK(&StreamServer::onRequestEnded), this);
    GSocket* socket = listeningSocket(G_SOCKET_FAMILY_IPV6, port);
    if (!socket)
        socket = listeningSocket(G_SOCKET_FAMILY_IPV4, port);
    if (!socket)
        return false;
    const gboolean listening =
        soup_server_listen_socket(m_server, socket, SoupServerListenOptions(0), nullptr);
    g_object_unref(socket);
    return listening;
}

// A socket listening on every address of the family (IPv6 also takes IPv4 connections), with a
// backlog long enough that a burst of connections does not leave clients retrying.
GSocket* StreamServer::listeningSocket(int family, int port) {
    GSocket* socket = g_socket_new(static_cast<GSocketFamily>(family), G_SOCKET_TYPE_STREAM,
                                   G_SOCKET_PROTOCOL_TCP, nullptr);
    if (!socket)
        return nullptr;
    if (family == G_SOCKET_FAMILY_IPV6)
        g_socket_set_option(socket, IPPROTO_IPV6, IPV6_V6ONLY, 0, nullptr);
    GInetAddress* any = g_inet_address_new_any(static_cast<GSocketFamily>(family));
    GSocketAddress* address = g_inet_socket_address_new(any, static_cast<guint16>(port));
    g_socket_set_listen_backlog(socket, kListenBacklog);
    const bool listening =
        g_socket_bind(socket, address, TRUE, nullptr) && g_socket_listen(socket, nullptr);
    g_object_unref(address);
    g_object_unref(any);
    if (!listening) {
        g_socket_close(socket, nullptr);
        g_object_unref(socket);
        return nullptr;
    }
    return socket;
}

int StreamServer::boundPort() const {
    GSList* listeners = soup_server_get_listeners(m_server);
    int port = -1;
    if (listeners) {
        GSocketAddress* address = g_socket_get_local_address(G_SOCKET(listeners->data), nullptr);
        if (address) {
            port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(address));
            g_object_unref(address);
        }
    }
    g_slist_free(listeners);
    return port;
}

// On the server thread, after its loop has ended: the listening sockets and every connection
// still owned by the server are closed at once.
void StreamServer::shutDown() {
    for (const auto& [message, started] : m_waiting)
        g_object_weak_unref(G_OBJECT(message), &StreamServer::onMessageGone, this);
    m_waiting.clear();
    m_joining.clear();
    if (m_server) {
        soup_server_disconnect(m_server);
        g_signal_handlers_disconnect_by_data(m_server, this);
        g_object_unref(m_server);
        m_server = nullptr;
    }
    while (g_main_context_iteration(m_context, FALSE)) {
    }
}

void StreamServer::onRequestStarted(SoupServer*, SoupServerMessage* message, void* self) {
    static_cast<StreamServer*>(self)->watch(message);
}

void StreamServer::onGotHeaders(SoupServerMessage* message, void* self) {
    if (hasBody(message))
        static_cast<StreamServer*>(self)->refuseBody(message);
}

void StreamServer::onRequestEnded(SoupServer*, SoupServerMessage* message, void* self) {
    static_cast<StreamServer*>(self)->forget(message);
}

void StreamServer::onMessageGone(void* self, GObject* message) {
    auto* server = static_cast<StreamServer*>(self);
    auto* gone = reinterpret_cast<SoupServerMessage*>(message);
    server->m_waiting.erase(gone);
    server->m_joining.erase(gone);
}

int StreamServer::onSweep(void* self) {
    static_cast<StreamServer*>(self)->cutOffLateRequests();
    return G_SOURCE_CONTINUE;
}

// Connections waiting for their request are bounded: when one too many arrives, the one that
// has waited longest makes room (a real listener sends its request at once; an idle flood is
// what ages).
void StreamServer::watch(SoupServerMessage* message) {
    if (m_waiting.size() >= static_cast<size_t>(kMaxWaitingRequests))
        cutOff(longestWaiting());
    m_waiting.emplace(message, g_get_monotonic_time());
    g_object_weak_ref(G_OBJECT(message), &StreamServer::onMessageGone, this);
    g_signal_connect(message, "got-headers", G_CALLBACK(&StreamServer::onGotHeaders), this);
}

// A listener whose response is already going out is passed over while there is another.
SoupServerMessage* StreamServer::longestWaiting() const {
    auto oldest = m_waiting.end();
    for (auto it = m_waiting.begin(); it != m_waiting.end(); ++it) {
        const bool joining = m_joining.count(it->first) > 0;
        if (oldest == m_waiting.end() ||
            (!joining && (m_joining.count(oldest->first) || it->second < oldest->second)))
            oldest = it;
    }
    return oldest->first;
}

void StreamServer::cutOff(SoupServerMessage* message) {
    if (GSocket* socket = soup_server_message_get_socket(message))
        g_socket_shutdown(socket, TRUE, TRUE, nullptr);
    forget(message);
}

void StreamServer::forget(SoupServerMessage* message) {
    m_joining.erase(message);
    if (m_waiting.erase(message))
        g_object_weak_unref(G_OBJECT(message), &StreamServer::onMessageGone, this);
}

void StreamServer::cutOffLateRequests() {
    const long long deadline = g_get_monotonic_time() - kRequestTimeoutMs * 1000LL;
    std::vector<SoupServerMessage*> late;
    for (const auto& [message, started] : m_waiting) {
        if (started < deadline)
            late.push_back(message);
    }
    for (SoupServerMessage* message : late)
        cutOff(message);
}

void StreamServer::onRequest(SoupServer*, SoupServerMessage* message, const char* path, GHashTable*,
                             void* self) {
    static_cast<StreamServer*>(self)->answer(message, path);
}

void StreamServer::answer(SoupServerMessage* message, const char* path) {
    const char* method = soup_server_message_get_method(message);
    const bool get = g_strcmp0(method, SOUP_METHOD_GET) == 0;
    if (!get && g_strcmp0(method, SOUP_METHOD_HEAD) != 0) {
        soup_message_headers_replace(soup_server_message_get_response_headers(message), "Allow",
                                     "GET, HEAD");
        respondAndClose(message, SOUP_STATUS_METHOD_NOT_ALLOWED, "Only GET is served here.\n");
    } else if (std::strcmp(path, "/") != 0) {
        respondAndClose(message, SOUP_STATUS_NOT_FOUND, "The stream is at /.\n");
    } else if (!m_waiting.count(message) ||
               !m_listeners.hasRoomForListener(static_cast<int>(m_joining.size()))) {
        respondAndClose(message, SOUP_STATUS_SERVICE_UNAVAILABLE, "Too many listeners.\n");
    } else if (get) {
        startStream(message);
    } else {
        setStreamHeaders(message);
    }
}

// The headers go out first; the connection is taken over once they are written.
void StreamServer::startStream(SoupServerMessage* message) {
    setStreamHeaders(message);
    m_joining.insert(message);
    g_signal_connect(message, "wrote-headers", G_CALLBACK(&StreamServer::onHeadersWritten), this);
}

void StreamServer::onHeadersWritten(SoupServerMessage* message, void* self) {
    static_cast<StreamServer*>(self)->handOver(message);
}

void StreamServer::handOver(SoupServerMessage* message) {
    g_signal_handlers_disconnect_by_data(message, this);
    if (!m_joining.count(message))
        return; // cut off meanwhile
    forget(message);
    GSocket* socket = soup_server_message_get_socket(message);
    if (!socket)
        return;
    g_object_ref(socket);
    GIOStream* connection = soup_server_message_steal_connection(message);
    if (!connection) {
        g_object_unref(socket);
        return;
    }
    m_listeners.addListener(connection, socket);
}

// The server would read the whole body into memory before the request is answered, so the
// connection is taken from it as soon as the headers are in: the refusal goes out if the socket
// takes it at once, and the connection is closed without reading what follows.
void StreamServer::refuseBody(SoupServerMessage* message) {
    g_signal_handlers_disconnect_by_data(message, this);
    forget(message);
    GSocket* socket = soup_server_message_get_socket(message);
    if (!socket)
        return;
    g_object_ref(socket);
    char* refusal =
        g_strdup_printf("HTTP/1.%d 413 Request Entity Too Large\r\nConnection: close\r\n"
                        "Content-Type: text/plain\r\nContent-Length: %zu\r\n\r\n%s",
                        soup_server_message_get_http_version(message) == SOUP_HTTP_1_0 ? 0 : 1,
                        std::strlen(kBodyRefused), kBodyRefused);
    GIOStream* connection = soup_server_message_steal_connection(message);
    g_socket_send_with_blocking(socket, refusal, std::strlen(refusal), FALSE, nullptr, nullptr);
    g_free(refusal);
    g_socket_close(socket, nullptr);
    if (connection)
        g_object_unref(connection);
    g_object_unref(socket);
}

} // namespace media
