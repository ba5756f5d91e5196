#include "media/AsfWriter.h"

#include "media/NetworkSink.h"

#include <algorithm>
#include <atomic>
#include <gst/gst.h>

namespace media {

using namespace ResultCode;

namespace {

GstElement* makeWriterBin() {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", "convert");
    GstElement* resample = gst_element_factory_make("audioresample", "resample");
    GstElement* format = gst_element_factory_make("capsfilter", "format");
    GstElement* encoder = gst_element_factory_make("avenc_wmav2", "encoder");
    GstElement* encoded = gst_element_factory_make("tee", "encoded");
    // The file muxer is libav's: its files end with a complete last packet, which strict
    // readers need.
    GstElement* mux = gst_element_factory_make("avmux_asf", "mux");
    GstElement* file = gst_element_factory_make("filesink", "file");
    g_object_set(file, "buffer-mode", 2 /* unbuffered */, nullptr);
    gst_bin_add_many(GST_BIN(bin), convert, resample, format, encoder, encoded, mux, file, nullptr);
    gst_element_link_many(convert, resample, format, encoder, encoded, nullptr);
    GstPad* branch = gst_element_request_pad_simple(encoded, "src_%u");
    GstPad* muxInput = gst_element_request_pad_simple(mux, "audio_%u");
    gst_pad_link(branch, muxInput);
    gst_object_unref(branch);
    gst_object_unref(muxInput);
    gst_element_link(mux, file);

    GstPad* sink = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new(AsfWriter::kInputPinName, sink));
    gst_object_unref(sink);
    return bin;
}

GstPadProbeReturn countFormat(GstPad*, GstPadProbeInfo* info, gpointer formats) {
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_CAPS)
        ++*static_cast<std::atomic<int>*>(formats);
    return GST_PAD_PROBE_OK;
}

void deleteCount(gpointer formats) {
    delete static_cast<std::atomic<int>*>(formats);
}

} // namespace

AsfWriter::AsfWriter() : Filter(makeWriterBin()), m_profile(WmaProfile::standard()) {
    applyProfile();
    watchMuxerFormats();
}

AsfWriter::~AsfWriter() {
    for (const std::shared_ptr<NetworkSink>& sink : m_sinks)
        sink->detach();
    gst_element_set_state(element(), GST_STATE_NULL);
    releaseMuxerSelfReferences();
}

// libav's muxer takes a reference to itself for every format it is given and never lets go of
// it, so it would never be freed, nor anything it holds: about 8 kB every file, over months. The
// formats that reach it are counted here (the count lives as long as the muxer's input).
void AsfWriter::watchMuxerFormats() {
    GstPad* input = gst_element_get_static_pad(innerElement("mux"), "audio_0");
    if (!input)
        return;
    m_muxerFormats = new std::atomic<int>(0);
    gst_pad_add_probe(input, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, countFormat, m_muxerFormats,
                      deleteCount);
    gst_object_unref(input);
}

// With the writer stopped, the muxer is held by the writer's bin alone, plus once for every
// format when it kept those references: then they are given back, and the muxer goes with the
// bin. A muxer held otherwise is left alone.
void AsfWriter::releaseMuxerSelfReferences() {
    GstElement* mux = innerElement("mux");
    if (!mux || !m_muxerFormats)
        return;
    const int formats = *m_muxerFormats;
    if (formats <= 0 || GST_OBJECT_REFCOUNT_VALUE(mux) != 1 + formats)
        return;
    for (int i = 0; i < formats; ++i)
        gst_object_unref(mux);
}

unsigned AsfWriter::packetSizeFor(int bitRate) {
    const unsigned halfSecond = static_cast<unsigned>(bitRate / 8 / 2);
    return std::clamp(halfSecond, 1024u, 4800u);
}

bool AsfWriter::isStopped() const {
    return GST_STATE(element()) == GST_STATE_NULL;
}

void AsfWriter::applyProfile() {
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "rate", G_TYPE_INT, m_profile.sampleRate,
                                        "channels", G_TYPE_INT, m_profile.channels, nullptr);
    g_object_set(innerElement("format"), "caps", caps, nullptr);
    gst_caps_unref(caps);
    g_object_set(innerElement("encoder"), "bitrate", m_profile.bitRate, nullptr);
    for (const std::shared_ptr<NetworkSink>& sink : m_sinks)
        sink->setPacketSize(packetSizeFor(m_profile.bitRate));
}

HRESULT AsfWriter::configureFilterUsingProfileGuid(const QUuid& profileId) {
    const WmaProfile* chosen = WmaProfile::find(profileId);
    if (!chosen)
        return E_INVALIDARG;
    if (!isStopped())
        return VFW_E_WRONG_STATE;
    m_profile = *chosen;
    applyProfile();
    return S_OK;
}

HRESULT AsfWriter::addSink(const std::shared_ptr<NetworkSink>& sink) {
    if (!sink)
        return E_POINTER;
    if (sink->isAttached() || !sink->isValid())
        return E_INVALIDARG;
    sink->setPacketSize(packetSizeFor(m_profile.bitRate));
    const HRESULT hr = sink->attachTo(element(), innerElement("encoded"));
    if (SUCCEEDED(hr))
        m_sinks.append(sink);
    return hr;
}

HRESULT AsfWriter::removeSink(const std::shared_ptr<NetworkSink>& sink) {
    if (!sink)
        return E_POINTER;
    if (!m_sinks.removeOne(sink))
        return E_INVALIDARG;
    sink->detach();
    return S_OK;
}

HRESULT AsfWriter::setFileName(const QString& path) {
    if (path.isEmpty())
        return E_INVALIDARG;
    if (!isStopped())
        return VFW_E_WRONG_STATE;
    m_fileName = path;
    g_object_set(innerElement("file"), "location", path.toUtf8().constData(), nullptr);
    return S_OK;
}

QList<QPair<QString, QString>> AsfWriter::propertyPageRows() const {
    return {
        {QStringLiteral("Profile"), m_profile.description},
        {QStringLiteral("Bit rate"), QStringLiteral("%1 bit/s").arg(m_profile.bitRate)},
        {QStringLiteral("Channels"), QString::number(m_profile.channels)},
        {QStringLiteral("Sample rate"), QStringLiteral("%1 Hz").arg(m_profile.sampleRate)},
        {QStringLiteral("File"), m_fileName},
    };
}

} // namespace media
