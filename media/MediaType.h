#pragma once

#include <QList>
#include <QString>
#include <cstdint>

typedef struct _GstCaps GstCaps;
typedef struct _GstStructure GstStructure;

namespace media {

// The wave format block of an audio connection.
struct WaveFormat {
    std::uint16_t formatTag = 0; // 1 PCM, 3 IEEE float, 0x55 MP3, 0x161 WMA v2 ...
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// A media type as the graph describes a connection or what a pin offers: major type and
// subtype identifiers, the wave format when the type is audio, the fixed sample size, and the
// underlying caps text.
struct MediaType {
    QString majorType;
    QString subType;
    bool hasWaveFormat = false;
    WaveFormat wave;
    std::uint32_t sampleSize = 0;
    QString caps;

    static MediaType fromStructure(const GstStructure* structure);
    // One media type per structure of the caps, in order.
    static QList<MediaType> listFromCaps(const GstCaps* caps);
};

namespace MediaTypeId {
inline const QString Audio = QStringLiteral("{73647561-0000-0010-8000-00AA00389B71}");
inline const QString Stream = QStringLiteral("{E436EB83-524F-11CE-9F53-0020AF0BA770}");
inline const QString Script = QStringLiteral("{5C8510F2-DEBE-4CA7-BBA5-F07A104F8DFF}");
inline const QString Unknown = QStringLiteral("{00000000-0000-0000-0000-000000000000}");
inline const QString Mpeg1AudioStream = QStringLiteral("{E436EB87-524F-11CE-9F53-0020AF0BA770}");
inline const QString WaveStream = QStringLiteral("{E436EB8B-524F-11CE-9F53-0020AF0BA770}");
inline const QString AsfStream = QStringLiteral("{F8699E40-5B4D-11CF-A8FD-00805F5C442B}");
inline const QString OggStream = QStringLiteral("{D2855FA9-61A7-4DB0-B979-71F297C17A04}");
// Audio subtypes built from a wave format tag.
QString fromFormatTag(std::uint16_t tag);
} // namespace MediaTypeId

} // namespace media
