#pragma once

#include "media/MediaType.h"
#include "media/Pin.h"
#include "nexuvo/IAssist.h"

#include <QList>

namespace nexuvo {

// What a pin's media types say about the file behind it, and which wave format a connection
// carries.
class MediaFileType {
public:
    static constexpr long kNotConnected = -100;

    // The FileType of the first media type that names one: an MPEG-1 audio stream, a WAVE file
    // stream, WMA, MP3 or Vorbis audio with a wave format, an Ogg stream, an ASF stream. A type of
    // the script major type gives FileTypeStreamingScript only when no later type names more.
    // FileTypeUnknown when the pin offers no type, or none that names a file type.
    static FileType ofPin(const media::Pin& pin);
    static FileType fromMediaTypes(const QList<media::MediaType>& types);

    // The wave format tag of the connection (1 PCM, 0x55 MP3, 0x161 WMA …); 0 when the
    // connection carries no wave format or its format is not settled; kNotConnected when the pin
    // is not connected.
    static long connectionFormatTag(const media::Pin& pin);

    // A file's MPEG audio elementary stream as the file source offers it: not parsed yet, so no
    // wave format describes it.
    static bool isUnparsedMpegStream(const media::MediaType& type);
};

} // namespace nexuvo
