#pragma once

namespace media {

// GStreamer is initialised once per process, on first use of the media layer.
class MediaSystem {
public:
    static void ensureInitialised();
};

} // namespace media
