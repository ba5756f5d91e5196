#include "media/MediaType.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

namespace media {

namespace {

constexpr std::uint16_t kTagPcm = 0x0001;
constexpr std::uint16_t kTagFloat = 0x0003;
constexpr std::uint16_t kTagMp3 = 0x0055;
constexpr std::uint16_t kTagMpeg = 0x0050;
constexpr std::uint16_t kTagWma1 = 0x0160;
constexpr std::uint16_t kTagWma2 = 0x0161;
constexpr std::uint16_t kTagVorbis = 0x6751;

int intField(const GstStructure* s, const char* name) {
    int value = 0;
    if (gst_structure_get_int(s, name, &value))
        return value;
    return 0;
}

void fillRawAudio(const GstStructure* s, MediaType& type) {
    GstCaps* caps = gst_caps_new_full(gst_structure_copy(s), nullptr);
    GstAudioInfo info;
    const bool fixed = gst_caps_is_fixed(caps) && gst_audio_info_from_caps(&info, caps);
    gst_caps_unref(caps);
    type.hasWaveFormat = true;
    WaveFormat& w = type.wave;
    if (fixed) {
        w.formatTag = GST_AUDIO_INFO_IS_FLOAT(&info) ? kTagFloat : kTagPcm;
        w.channels = GST_AUDIO_INFO_CHANNELS(&info);
        w.samplesPerSec = GST_AUDIO_INFO_RATE(&info);
        w.bitsPerSample = GST_AUDIO_INFO_WIDTH(&info);
        w.blockAlign = GST_AUDIO_INFO_BPF(&info);
        w.avgBytesPerSec = w.samplesPerSec * w.blockAlign;
        type.sampleSize = w.blockAlign;
        type.subType = MediaTypeId::fromFormatTag(w.formatTag);
        return;
    }
    // Not fixed: report what is known.
    const char* format = gst_structure_get_string(s, "format");
    const bool isFloat = format && format[0] == 'F';
    w.formatTag = isFloat ? kTagFloat : kTagPcm;
    w.channels = intField(s, "channels");
    w.samplesPerSec = intField(s, "rate");
    type.subType = MediaTypeId::fromFormatTag(w.formatTag);
}

void fillCompressedAudio(const GstStructure* s, std::uint16_t tag, MediaType& type) {
    type.hasWaveFormat = true;
    type.wave.formatTag = tag;
    type.wave.channels = intField(s, "channels");
    type.wave.samplesPerSec = intField(s, "rate");
    type.wave.avgBytesPerSec = intField(s, "bitrate") / 8;
    type.wave.blockAlign = intField(s, "block_align");
    type.subType = MediaTypeId::fromFormatTag(tag);
}

} // namespace

QString MediaTypeId::fromFormatTag(std::uint16_t tag) {
    const QString hex = QString::number(tag, 16).rightJustified(8, QLatin1Char('0')).toUpper();
    return QStringLiteral("{%1-0000-0010-8000-00AA00389B71}").arg(hex);
}

MediaType MediaType::fromStructure(const GstStructure* s) {
    MediaType type;
    const QString name = QString::fromUtf8(gst_structure_get_name(s));
    gchar* text = gst_structure_to_string(s);
    type.caps = QString::fromUtf8(text);
    g_free(text);

    type.majorType =
        name.startsWith(QLatin1String("audio/")) ? MediaTypeId::Audio : MediaTypeId::Stream;
    type.subType = MediaTypeId::Unknown;

    if (name == QLatin1String("audio/x-raw")) {
        fillRawAudio(s, type);
    } else if (name == QLatin1String("audio/x-wma")) {
        fillCompressedAudio(s, intField(s, "wmaversion") == 1 ? kTagWma1 : kTagWma2, type);
    } else if (name == QLatin1String("audio/mpeg")) {
        gboolean parsed = FALSE;
        gst_structure_get_boolean(s, "parsed", &parsed);
        if (intField(s, "mpegversion") == 1 && !parsed) {
            // An MPEG audio elementary stream straight from a file.
            type.majorType = MediaTypeId::Stream;
            type.subType = MediaTypeId::Mpeg1AudioStream;
        } else {
            fillCompressedAudio(s, intField(s, "layer") == 3 ? kTagMp3 : kTagMpeg, type);
        }
    } else if (name == QLatin1String("audio/x-vorbis")) {
        fillCompressedAudio(s, kTagVorbis, type);
    } else if (name == QLatin1String("audio/x-wav")) {
        type.subType = MediaTypeId::WaveStream;
    } else if (name == QLatin1String("video/x-ms-asf")) {
        type.subType = MediaTypeId::AsfStream;
    } else if (name == QLatin1String("application/ogg") || name == QLatin1String("audio/ogg")) {
        type.subType = MediaTypeId::OggStream;
    } else if (name == QLatin1String("application/x-id3")) {
        type.subType = MediaTypeId::Mpeg1AudioStream;
    } else if (name.startsWith(QLatin1String("text/"))) {
        type.majorType = MediaTypeId::Script;
    }
    return type;
}

QList<MediaType> MediaType::listFromCaps(const GstCaps* caps) {
    QList<MediaType> types;
    if (!caps || gst_caps_is_any(caps))
        return types;
    const guint count = gst_caps_get_size(caps);
    for (guint i = 0; i < count; ++i)
        types.append(fromStructure(gst_caps_get_structure(caps, i)));
    return types;
}

} // namespace media
