#pragma once

#include "media/Filter.h"
#include "media/Pin.h"

#include <QString>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;

namespace media {

// Decodes whatever audio a file holds to raw audio: a decoding bin that picks the parser and
// decoder for the file's type, then a format converter and a resampler. Pins "Input" and
// "Output".
//
// The decoding bin brings out its audio pad only once data flows, and brings out a new one each
// time the graph starts again; every one is linked to the converter, so the filter works for
// every run of its graph, not only the first.
class AudioDecoder : public Filter {
public:
    static inline const QString kName = QStringLiteral("Audio Decoder");

    AudioDecoder();

    // Whether a pin's output needs decoding before an audio renderer can play it.
    static bool offersDecodedAudio(const Pin& output);

private:
    static GstElement* makeBin();
    static void linkAudioPad(GstElement* decoder, GstPad* pad, void* converter);
};

} // namespace media
