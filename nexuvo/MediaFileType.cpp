#include "nexuvo/MediaFileType.h"

#include <QUuid>

#include <gst/gst.h>

namespace nexuvo {

using media::MediaType;
namespace TypeId = media::MediaTypeId;

namespace {

constexpr std::uint16_t kTagMp3 = 0x0055;
constexpr std::uint16_t kTagWma = 0x0161;
constexpr std::uint16_t kTagVorbis = 0x6751;

// Another splitter's identifier for an Ogg stream.
const QUuid kOggStreamAlternative(QStringLiteral("{CDDCA2D5-6D75-4F98-840E-737BEDD5C63B}"));

struct SubtypeRow {
    QUuid subType;
    FileType fileType;
};

// In the order they are tested.
const QList<SubtypeRow>& subtypeRows() {
    static const QList<SubtypeRow> rows = {
        {QUuid(TypeId::Mpeg1AudioStream), FileTypeMp3},
        {QUuid(TypeId::WaveStream), FileTypeWav},
        {QUuid(TypeId::fromFormatTag(kTagWma)), FileTypeWma},
        {QUuid(TypeId::fromFormatTag(kTagMp3)), FileTypeMp3WithWavHeader},
        {QUuid(TypeId::OggStream), FileTypeOgg},
        {kOggStreamAlternative, FileTypeOgg},
        {QUuid(TypeId::fromFormatTag(kTagVorbis)), FileTypeOggWithWavHeader},
        {QUuid(TypeId::AsfStream), FileTypeStreamingAsf},
    };
    return rows;
}

QUuid subTypeOf(const MediaType& type) {
    return MediaFileType::isUnparsedMpegStream(type) ? QUuid(TypeId::Mpeg1AudioStream)
                                                     : QUuid(type.subType);
}

bool hasWaveFormat(const MediaType& type) {
    return type.hasWaveFormat && !MediaFileType::isUnparsedMpegStream(type);
}

// The one format tag every format the connection could still take shares; 0 when they differ.
long agreedFormatTag(const media::Pin& pin) {
    GstCaps* own = gst_pad_query_caps(pin.pad(), nullptr);
    GstCaps* peer = gst_pad_peer_query_caps(pin.pad(), nullptr);
    GstCaps* possible = gst_caps_intersect(own, peer);
    gst_caps_unref(own);
    gst_caps_unref(peer);
    const QList<MediaType> types = MediaType::listFromCaps(possible);
    gst_caps_unref(possible);
    if (types.isEmpty() || !hasWaveFormat(types.first()))
        return 0;
    const std::uint16_t tag = types.first().wave.formatTag;
    for (const MediaType& type : types) {
        if (!hasWaveFormat(type) || type.wave.formatTag != tag)
            return 0;
    }
    return tag;
}

} // namespace

bool MediaFileType::isUnparsedMpegStream(const MediaType& type) {
    GstStructure* s = gst_structure_from_string(type.caps.toUtf8().constData(), nullptr);
    if (!s)
        return false;
    int version = 0;
    gboolean parsed = FALSE;
    const bool unparsed = gst_structure_has_name(s, "audio/mpeg") &&
                          gst_structure_get_int(s, "mpegversion", &version) && version == 1 &&
                          (!gst_structure_get_boolean(s, "parsed", &parsed) || !parsed);
    gst_structure_free(s);
    return unparsed;
}

FileType MediaFileType::ofPin(const media::Pin& pin) {
    return fromMediaTypes(pin.mediaTypes());
}

FileType MediaFileType::fromMediaTypes(const QList<MediaType>& types) {
    FileType result = FileTypeUnknown;
    for (const MediaType& type : types) {
        const QUuid subType = subTypeOf(type);
        for (const SubtypeRow& row : subtypeRows()) {
            if (row.subType == subType)
                return row.fileType;
        }
        if (QUuid(type.majorType) == QUuid(TypeId::Script))
            result = FileTypeStreamingScript; // and the search goes on
    }
    return result;
}

long MediaFileType::connectionFormatTag(const media::Pin& pin) {
    if (!pin.isConnected())
        return kNotConnected;
    MediaType type;
    const HRESULT hr = pin.connectionMediaType(type);
    if (hr == ResultCode::E_FAIL)
        return agreedFormatTag(pin); // nothing negotiated yet
    if (FAILED(hr) || !hasWaveFormat(type))
        return 0;
    return type.wave.formatTag;
}

} // namespace nexuvo
