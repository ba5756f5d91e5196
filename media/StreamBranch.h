#pragma once

#include "platform/ResultCodes.h"

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;
typedef struct _GstSample GstSample;

namespace media {

// The elements that take a writer's encoded audio out to a network stream: a leaky queue (a slow
// branch never holds up the file) and a sink that hands every buffer, with its format, to the
// branch's owner as it comes. The stream itself (muxer, listeners) is the owner's.
class StreamBranch {
public:
    // What the branch reports, on the writer's streaming thread (or on the caller of detach).
    class Clients {
    public:
        virtual ~Clients() = default;
        // A buffer of encoded audio, with its caps.
        virtual void audioReady(GstSample* sample) = 0;
        // The audio stopped: the writer's graph drains or flushes, or the branch was taken off.
        virtual void audioEnded() = 0;
    };

    static constexpr int kQueueMs = 2000;

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

private:
    void watchSink();

    Clients& m_clients;
    GstElement* m_bin = nullptr;
    GstElement* m_sink = nullptr;
    GstElement* m_writerBin = nullptr;
    GstElement* m_tee = nullptr;
    GstPad* m_teePad = nullptr;
};

} // namespace media
