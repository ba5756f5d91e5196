#pragma once

#include "media/Filter.h"

#include <QString>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;

namespace media {

// Splits a container into its streams and offers the first audio stream, still encoded, on one
// output pin: a demuxer followed by a format filter that lets through only the audio formats the
// container is known to carry. A renderer that takes decoded audio therefore gets a decoder in
// between when it is connected to the output.
//
// The demuxer brings out its streams only once data flows, and again each time the graph starts;
// the first stream the format filter takes is linked to it every time, as the audio decoder does
// with its decoded pad. Streams of other kinds (video, text) stay unlinked.
class AudioSplitter : public Filter {
public:
    // `demuxer`: a GStreamer demuxer with sometimes-pads ("asfdemux", "oggdemux"); `audioCaps`:
    // the formats the output offers, as a caps string.
    AudioSplitter(const char* demuxer, const char* audioCaps, const QString& inputPin,
                  const QString& outputPin);

    // What an ASF file (Windows Media) and an Ogg file carry as audio.
    static const char* const kAsfAudio;
    static const char* const kOggAudio;

private:
    static GstElement* makeBin(const char* demuxer, const char* audioCaps, const QString& inputPin,
                               const QString& outputPin);
    static void linkStream(GstElement* demuxer, GstPad* pad, void* audio);
};

} // namespace media
