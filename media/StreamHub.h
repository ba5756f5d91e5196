#pragma once

#include "media/StreamServer.h"
#include "platform/ResultCodes.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>

typedef struct _GstCaps GstCaps;
typedef struct _GstElement GstElement;
typedef struct _GstSample GstSample;

namespace media {

// The live stream on one port, shared by the network sinks opened on it. It answers listeners
// (StreamServer), keeps their connections and writes into them one ASF stream, made by a muxer
// of its own from the encoded audio its feeds deliver. So the stream outlives the writers: at a
// file change the new logger's sink joins the stream of the old logger's, its audio follows on,
// and every listener keeps its connection and the one ASF header it got when it came.
//
// Feeds: every sink that joined is one, also after it closed, until its writer lets go of it.
// Of the feeds whose audio flows the newest is heard (once it has flowed for a moment, see
// kSettleMs); the others' audio is dropped. Time stamps are moved so that the stream's time line
// runs on without a hole or a step back whenever the feed heard changes or its audio starts
// again.
//
// The stream closes (listeners dropped, port free) when its last open sink closes, unless a
// hand-over is under way on the port; then it waits for the hand-over's end. When the audio
// heard ends (its graph stops) and no other feed flows, the listeners are dropped, unless a
// hand-over is under way: the stream ends with the recording.
//
// Joining, leaving and hand-overs happen on the thread that owns the graphs; audio arrives on
// the writers' streaming threads; listeners arrive on the server's thread.
class StreamHub : private StreamServer::Listeners {
public:
    using FeedKey = const void*;

    // While one lives for a port, the stream there stays open for the sink that opens next on it:
    // a sink that closes meanwhile leaves its listeners to the next one instead of dropping them.
    // When the last one for the port ends and no open sink is left, the stream closes.
    class HandOver {
    public:
        explicit HandOver(int port);
        ~HandOver();
        HandOver(const HandOver&) = delete;
        HandOver& operator=(const HandOver&) = delete;

    private:
        int m_port;
    };

    static constexpr int kQueueMs = 2000;
    // How long a newer feed's audio must have flowed before it is heard instead of an older one.
    static constexpr int kSettleMs = 200;
    static constexpr int kSkipAfterMs = 5000;
    static constexpr int kDropAfterMs = 15000;
    static constexpr int kInactivityTimeoutMs = 20000;

    ~StreamHub() override;
    StreamHub(const StreamHub&) = delete;
    StreamHub& operator=(const StreamHub&) = delete;

    // The stream on `port` for `sink`: a new one listening there (0: any free port, written
    // back), or, while a hand-over is under way on the port, the one already there. E_FAIL when
    // the port cannot be had (also when a sink of this process has it and no hand-over is under
    // way), E_INVALIDARG outside 0..65535. The sink is a feed from here on.
    static HRESULT join(int& port, FeedKey sink, std::shared_ptr<StreamHub>& hub);
    // The sink no longer serves; see above for when the stream closes with it.
    void leave(FeedKey sink);
    // The sink's audio no longer comes here.
    void removeFeed(FeedKey feed);

    bool isOpen() const { return !m_closed; }
    void setMaximumClients(int count);
    int clientCount() const;

    // A buffer of encoded audio from a feed's streaming thread; its caps and the writer's ASF
    // packet size describe it. A feed whose caps or packet size differ from what the stream
    // carries starts the stream afresh: the listeners are dropped, as they could not follow.
    void deliver(FeedKey feed, GstSample* sample, unsigned packetSize);
    // The feed's audio stopped (its graph stops, or it was taken off its writer).
    void flowEnded(FeedKey feed);

private:
    struct Feed {
        std::uint64_t order = 0; // later feeds are heard before earlier ones
        bool flowing = false;
        bool restart = true; // its next buffer is moved to the end of the stream's time line
        std::int64_t offset = 0;
        std::uint64_t flowStart = 0; // the time stamp its audio started with
        std::uint64_t lastTime = 0;
    };
    struct Listener {
        GIOStream* connection; // held with the socket until the listener leaves
    };

    StreamHub();
    void shutDown();
    bool buildPipeline();
    void startMuxer(GstCaps* caps, unsigned packetSize);
    void dropListeners();

    bool hasRoomForListener(int joining) override;
    void addListener(GIOStream* connection, GSocket* socket) override;
    static void onClientRemoved(GstElement* sink, GSocket* socket, void* self);
    void clientRemoved(GSocket* socket);

    // The registry's (see StreamHub.cpp), under its lock.
    int m_port = 0;
    std::set<FeedKey> m_openSinks;
    std::atomic<int> m_handOvers{0};
    std::atomic<bool> m_closed{false};
    std::uint64_t m_nextOrder = 0;

    // Feeds and the muxer, under m_feedMutex.
    std::mutex m_feedMutex;
    std::map<FeedKey, Feed> m_feeds;
    FeedKey m_heard = nullptr;
    GstCaps* m_caps = nullptr;
    unsigned m_packetSize = 0;
    std::uint64_t m_streamEnd = 0; // where the next buffer heard goes on the time line
    bool m_discont = true;

    // Listeners, under m_listenerMutex.
    mutable std::mutex m_listenerMutex;
    std::map<GSocket*, Listener> m_listeners;
    int m_maximumClients = 5;

    GstElement* m_pipeline = nullptr;
    GstElement* m_source = nullptr;
    GstElement* m_mux = nullptr;
    GstElement* m_sink = nullptr;
    StreamServer m_server;
};

} // namespace media
