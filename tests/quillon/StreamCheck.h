#pragma once

#include <QString>

namespace media {
class NetworkSink;
}

// Checks of the live stream with ffprobe and ffmpeg as real network clients, and the ports the
// tests listen on.
namespace StreamCheck {

struct StreamInfo {
    QString codec; // empty when ffprobe found no audio stream
    int channels = 0;
};

QString url(int port);
// What ffprobe finds in the stream (it reads only as much as it needs).
StreamInfo probe(const QString& url);
// Decodes `seconds` of the stream; the seconds of audio obtained, or -1 when ffmpeg reported an
// error.
double decodedSeconds(const QString& url, double seconds);
// Waits (a few seconds at most) until the sink counts that many listeners; true when it does.
// A listener is counted just after its response headers have gone out.
bool clientCountBecomes(const media::NetworkSink& sink, int count);
// A port that nothing listens on at the moment.
int freePort();

} // namespace StreamCheck
