#include "media/FilterRegistry.h"

#include "media/AsfWriter.h"
#include "media/AudioSplitter.h"
#include "media/DumpFilter.h"
#include "media/MediaSystem.h"
#include "media/SampleGrabber.h"

#include <gst/gst.h>

namespace media {

namespace {

FilterItem::Factory bin(const QString& description, const QString& input, const QString& output) {
    return [=] {
        return Filter::fromDescription(description, input, output);
    };
}

// A container's first audio stream on pin "Audio", the container's bytes taken on pin "Stream".
FilterItem::Factory splitter(const char* demuxer, const char* audioCaps) {
    return [=] {
        return FilterPtr(std::make_shared<AudioSplitter>(
            demuxer, audioCaps, QStringLiteral("Stream"), QStringLiteral("Audio")));
    };
}

template <typename T> FilterItem::Factory make() {
    return [] {
        return FilterPtr(std::make_shared<T>());
    };
}

} // namespace

FilterRegistry& FilterRegistry::instance() {
    static FilterRegistry registry;
    return registry;
}

FilterRegistry::FilterRegistry() : m_entries(standardEntries()) {}

QList<FilterRegistry::Entry> FilterRegistry::standardEntries() {
    const QString in = QStringLiteral("XForm In");
    const QString out = QStringLiteral("XForm Out");
    return {
        {QStringLiteral("SampleGrabber"), {"capsfilter"}, make<SampleGrabber>()},
        {QStringLiteral("WM ASF Writer"),
         {"audioconvert", "audioresample", "avenc_wmav2", "avmux_asf", "asfmux", "tee", "filesink"},
         make<AsfWriter>()},
        {QStringLiteral("DUMP"), {"filesink"}, make<DumpFilter>()},
        {QStringLiteral("Lame MPEG Layer III Audio Encoder2"),
         {"lamemp3enc"},
         // The resampler and the format filter let the MP3's rate and channels be chosen. The
         // encoder writes no Xing/Info frame of its own: without one, a reader can only guess
         // an average-bit-rate file's length from its first frames. Where the Xing muxer is
         // installed it adds that frame, and fills it in when the stream ends.
         [in, out] {
             QString description = QStringLiteral(
                 "audioconvert ! audioresample ! lamemp3enc name=encoder ! capsfilter name=format");
             if (installed({QStringLiteral("xingmux")}))
                 description += QStringLiteral(" ! xingmux name=seektable");
             return Filter::fromDescription(description, in, out);
         }},
        {QStringLiteral("Null Renderer"),
         {"fakesink"},
         bin(QStringLiteral("fakesink name=sink sync=true"), QStringLiteral("In"), {})},
        {QStringLiteral("Wave Parser"),
         {"wavparse"},
         bin(QStringLiteral("wavparse name=parser"), QStringLiteral("input pin"),
             QStringLiteral("output"))},
        {QStringLiteral("MPEG Layer-3 Decoder"),
         {"mpegaudioparse", "mpg123audiodec"},
         bin(QStringLiteral("mpegaudioparse ! mpg123audiodec name=decoder"), in, out)},
        {QStringLiteral("ACM Wrapper"),
         {"audioconvert", "audioresample"},
         bin(QStringLiteral("audioconvert ! audioresample"), in, out)},
        {QStringLiteral("Default DirectSound Device"),
         {"autoaudiosink"},
         bin(QStringLiteral("audioconvert ! audioresample ! autoaudiosink name=sink"),
             QStringLiteral("Audio Input pin (rendered)"), {})},
        {QStringLiteral("WM ASF Reader"),
         {"asfdemux", "capsfilter"},
         splitter("asfdemux", AudioSplitter::kAsfAudio)},
        {QStringLiteral("Ogg Splitter"),
         {"oggdemux", "capsfilter"},
         splitter("oggdemux", AudioSplitter::kOggAudio)},
        {QStringLiteral("Quorvia Pitch Shifter"),
         {"pitch", "audioconvert"},
         bin(QStringLiteral("audioconvert ! pitch name=pitch ! audioconvert"), in, out)},
        {QStringLiteral("Orvik Virtual Render"),
         {"audioconvert", "fakesink"},
         // Like a sound card it takes decoded audio only, at the pace of the clock.
         bin(QStringLiteral("audioconvert ! fakesink name=sink sync=true"), QStringLiteral("In"),
             {})},
    };
}

bool FilterRegistry::installed(const QStringList& elements) {
    MediaSystem::ensureInitialised();
    for (const QString& name : elements) {
        GstElementFactory* factory = gst_element_factory_find(name.toUtf8().constData());
        if (!factory)
            return false;
        gst_object_unref(factory);
    }
    return true;
}

KeyedList<FilterItem> FilterRegistry::registeredFilters() const {
    std::lock_guard lock(m_mutex);
    KeyedList<FilterItem> list;
    for (const Entry& entry : m_entries) {
        if (installed(entry.elements))
            list.add(entry.name, FilterItem(entry.name, entry.factory));
    }
    return list;
}

bool FilterRegistry::contains(const QString& name) const {
    return registeredFilters().contains(name);
}

void FilterRegistry::registerFilter(const QString& name, FilterItem::Factory factory) {
    std::lock_guard lock(m_mutex);
    m_entries.removeIf(
        [&](const Entry& e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
    m_entries.append({name, {}, std::move(factory)});
}

void FilterRegistry::unregisterFilter(const QString& name) {
    std::lock_guard lock(m_mutex);
    m_entries.removeIf(
        [&](const Entry& e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
}

void FilterRegistry::reset() {
    std::lock_guard lock(m_mutex);
    m_entries = standardEntries();
}

} // namespace media
