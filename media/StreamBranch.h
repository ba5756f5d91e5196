#pragma once

#include "platform/ResultCodes.h"

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;
typedef struct _GSocket GSocket;

namespace media {

// The elements that turn a writer's encoded audio into a live ASF stream for a set of sockets:
// a leaky queue (a slow branch never holds up the file), an ASF muxer writing a streamable
// stream (its header travels as the stream header, so every listener gets it before any
// packet), and a multi-socket sink that writes to each listener without blocking. A listener
// that falls behind is moved on to the newest packet; one that stops reading altogether is
// dropped.
//
// The sink takes clients only while it is started (the graph runs); when it stops it drops them
// all.
class StreamBranch {
public:
    // What the branch reports, on whichever thread noticed (a streaming thread, or the caller of
    // addClient, dropClients or a state change).
    class Clients {
    public:
        virtual ~Clients() = default;
        // The sink took the socket (from within addClient).
        virtual void clientAdded(GSocket* socket) = 0;
        // The socket has left the sink and may be closed now.
        virtual void clientRemoved(GSocket* socket) = 0;
        // A stream begins: the sink takes clients from now on.
        virtual void streamStarted() = 0;
    };

    static constexpr int kQueueMs = 2000;
    static constexpr int kSkipAfterMs = 5000;
    static constexpr int kDropAfterMs = 15000;
    static constexpr int kInactivityTimeoutMs = 20000;

    explicit StreamBranch(Clients& clients);
    ~StreamBranch();
    StreamBranch(const StreamBranch&) = delete;
    StreamBranch& operator=(const StreamBranch&) = delete;

    // False when GStreamer lacks one of the elements.
    bool isValid() const { return m_bin != nullptr; }

    // Adds the branch to the writer's bin behind a new output of the tee, in the writer's state.
    HRESULT attach(GstElement* writerBin, GstElement* tee);
    // Takes the branch out of the writer again; streaming there goes on undisturbed.
    void detach();
    bool isAttached() const { return m_tee != nullptr; }

    // Only while the writer is stopped.
    void setPacketSize(unsigned bytes);

    // Whether the sink takes clients now.
    bool isStarted() const;
    // The sink reports clientAdded when it takes the socket; it does not while stopped.
    void addClient(GSocket* socket);
    // Removes every socket from the sink (each is reported removed).
    void dropClients();

private:
    void configureSink();
    void watchSink();

    Clients& m_clients;
    GstElement* m_bin = nullptr;
    GstElement* m_mux = nullptr;
    GstElement* m_sink = nullptr;
    GstElement* m_writerBin = nullptr;
    GstElement* m_tee = nullptr;
    GstPad* m_teePad = nullptr;
};

} // namespace media
