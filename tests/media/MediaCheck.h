#pragma once

#include <QString>

// Independent checks of recordings with ffprobe and ffmpeg.
struct ProbeResult {
    bool ok = false;
    QString codec;
    int sampleRate = 0;
    int channels = 0;
    double duration = 0; // seconds, from the container
    qint64 streamBitRate = 0;
    qint64 fileBytes = 0;
    qint64 payloadBytes = 0; // the coded audio, without the container
};

class MediaCheck {
public:
    static ProbeResult probe(const QString& pathOrUrl);
    // Decodes the whole file; the seconds of audio obtained, or -1 when ffmpeg reported an error.
    static double decodedSeconds(const QString& path);
    // The mean level of the file in dB below full scale (ffmpeg's volumedetect); a sine at half
    // scale measures -9 dB.
    static double meanVolumeDb(const QString& path);
};
