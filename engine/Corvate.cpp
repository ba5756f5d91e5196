#include "engine/Corvate.h"

#include "media/MediaType.h"
#include "media/Pin.h"

#include <gst/gst.h>

#include <algorithm>
#include <array>

using namespace media;
using namespace ResultCode;

namespace {

// The format filter behind the encoder in the registered encoder bin: it fixes the MP3's rate
// and channel count (LAME would otherwise lower the rate by itself at low bit rates).
const char* const kFormatName = "format";

constexpr std::array kBitRates{8,  16,  24,  32,  40,  48,  56,  64, 80,
                               96, 112, 128, 160, 192, 224, 256, 320};
constexpr std::array kSampleRates{8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

// lamemp3enc's "target" and "encoding-engine-quality" values.
constexpr int kTargetBitrate = 1;
enum EngineQuality { EngineFast = 0, EngineStandard = 1, EngineHigh = 2 };

int engineQuality(int quality) {
    if (quality <= 2)
        return EngineHigh;
    return quality <= 6 ? EngineStandard : EngineFast;
}

bool isLameEncoder(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    return factory &&
           g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "lamemp3enc") == 0;
}

// The LAME encoder somewhere inside the bin; the bin keeps it alive.
GstElement* findLameEncoder(GstElement* bin) {
    if (!GST_IS_BIN(bin))
        return nullptr;
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    GstElement* found = nullptr;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        if (isLameEncoder(element))
            found = element;
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

GstElement* childNamed(GstElement* parent, const char* name) {
    GstElement* child = gst_bin_get_by_name(GST_BIN(parent), name);
    if (child)
        gst_object_unref(child); // the bin keeps it alive
    return child;
}

} // namespace

Corvate::Corvate(QObject* parent) : QObject(parent) {}

bool Corvate::isBitRate(int kbps) {
    return std::find(kBitRates.begin(), kBitRates.end(), kbps) != kBitRates.end();
}

bool Corvate::isSampleRate(int hz) {
    return std::find(kSampleRates.begin(), kSampleRates.end(), hz) != kSampleRates.end();
}

// --- Binding --------------------------------------------------------------------------------

HRESULT Corvate::putref_Filter(const FilterPtr& filter) {
    emit settingWritten(QStringLiteral("Filter"), filter ? filter->name() : QString());
    m_filter.reset();
    if (!filter)
        return S_OK;
    GstElement* lame = findLameEncoder(filter->element());
    if (!lame)
        return E_INVALIDARG;
    if (!isStopped(filter->element()))
        return VFW_E_WRONG_STATE;
    m_filter = filter;
    hand(lame, m_settings);
    return S_OK;
}

HRESULT Corvate::get_Filter(FilterPtr* filter) const {
    if (!filter)
        return E_POINTER;
    *filter = boundFilter();
    return S_OK;
}

FilterPtr Corvate::boundFilter() const {
    return m_filter.lock();
}

GstElement* Corvate::encoder() const {
    const FilterPtr filter = boundFilter();
    return filter ? findLameEncoder(filter->element()) : nullptr;
}

bool Corvate::isStopped(GstElement* element) {
    GstState current = GST_STATE_NULL;
    GstState pending = GST_STATE_VOID_PENDING;
    gst_element_get_state(element, &current, &pending, 0);
    return current <= GST_STATE_READY && pending == GST_STATE_VOID_PENDING;
}

void Corvate::hand(GstElement* lame, const EncoderSettings& settings) {
    const int bitrate = settings.vbr ? (settings.bitrate + settings.vbrMax) / 2 : settings.bitrate;
    g_object_set(lame, "target", kTargetBitrate, "cbr", settings.vbr ? FALSE : TRUE, "bitrate",
                 bitrate, "encoding-engine-quality", engineQuality(settings.quality), nullptr);
    GstElement* format = childNamed(GST_ELEMENT(GST_OBJECT_PARENT(lame)), kFormatName);
    if (!format)
        return;
    const int channels = settings.channelMode == kMono ? 1 : 2;
    GstCaps* caps = gst_caps_new_simple("audio/mpeg", "mpegversion", G_TYPE_INT, 1, "layer",
                                        G_TYPE_INT, 3, "rate", G_TYPE_INT, settings.outputRate,
                                        "channels", G_TYPE_INT, channels, nullptr);
    g_object_set(format, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

HRESULT Corvate::adopt(const EncoderSettings& next) {
    const FilterPtr filter = boundFilter();
    if (filter) {
        GstElement* lame = findLameEncoder(filter->element());
        if (!lame)
            return E_UNEXPECTED;
        if (!isStopped(lame))
            return VFW_E_WRONG_STATE;
        hand(lame, next);
    }
    m_settings = next;
    return S_OK;
}

// --- Settings -------------------------------------------------------------------------------

HRESULT Corvate::put_Quality(int quality) {
    emit settingWritten(QStringLiteral("Quality"), quality);
    if (quality < 0 || quality > 9)
        return E_INVALIDARG;
    EncoderSettings next = m_settings;
    next.quality = quality;
    return adopt(next);
}

HRESULT Corvate::put_Bitrate(int kbps) {
    emit settingWritten(QStringLiteral("Bitrate"), kbps);
    return adoptBitrate(kbps);
}

HRESULT Corvate::adoptBitrate(int kbps) {
    if (!isBitRate(kbps))
        return E_INVALIDARG;
    EncoderSettings next = m_settings;
    next.bitrate = kbps;
    return adopt(next);
}

HRESULT Corvate::get_Bitrate(int* kbps) const {
    if (!kbps)
        return E_POINTER;
    *kbps = m_settings.bitrate;
    return S_OK;
}

HRESULT Corvate::put_VBR(bool on) {
    emit settingWritten(QStringLiteral("VBR"), on);
    EncoderSettings next = m_settings;
    next.vbr = on;
    return adopt(next);
}

HRESULT Corvate::get_VBR(bool* on) const {
    if (!on)
        return E_POINTER;
    *on = m_settings.vbr;
    if (GstElement* lame = encoder()) {
        gboolean constant = TRUE;
        g_object_get(lame, "cbr", &constant, nullptr);
        *on = !constant;
    }
    return S_OK;
}

HRESULT Corvate::put_VBRMin(int kbps) {
    emit settingWritten(QStringLiteral("VBRMin"), kbps);
    return adoptBitrate(kbps);
}

HRESULT Corvate::get_VBRMin(int* kbps) const {
    return get_Bitrate(kbps);
}

HRESULT Corvate::put_VBRMax(int kbps) {
    emit settingWritten(QStringLiteral("VBRMax"), kbps);
    if (!isBitRate(kbps))
        return E_INVALIDARG;
    EncoderSettings next = m_settings;
    next.vbrMax = kbps;
    return adopt(next);
}

HRESULT Corvate::get_VBRMax(int* kbps) const {
    if (!kbps)
        return E_POINTER;
    *kbps = m_settings.vbrMax;
    return S_OK;
}

HRESULT Corvate::put_OutputSampleRate(int hz) {
    emit settingWritten(QStringLiteral("OutputSampleRate"), hz);
    if (!isSampleRate(hz))
        return E_INVALIDARG;
    EncoderSettings next = m_settings;
    next.outputRate = hz;
    return adopt(next);
}

HRESULT Corvate::get_OutputSampleRate(int* hz) const {
    if (!hz)
        return E_POINTER;
    *hz = m_settings.outputRate;
    return S_OK;
}

HRESULT Corvate::put_ChannelMode(int mode) {
    emit settingWritten(QStringLiteral("ChannelMode"), mode);
    if (mode != kStereo && mode != kDualStereo && mode != kMono)
        return E_INVALIDARG;
    EncoderSettings next = m_settings;
    next.channelMode = mode;
    return adopt(next);
}

HRESULT Corvate::get_ChannelMode(int* mode) const {
    if (!mode)
        return E_POINTER;
    *mode = m_settings.channelMode;
    return S_OK;
}

HRESULT Corvate::put_Commit(bool on) {
    emit settingWritten(QStringLiteral("Commit"), on);
    return on ? adopt(m_settings) : S_OK;
}

HRESULT Corvate::LoadStoredSettings() {
    return encoder() ? S_OK : E_FAIL;
}

// --- Input ----------------------------------------------------------------------------------

HRESULT Corvate::inputWaveFormat(int& rate, int& channels) const {
    const FilterPtr filter = boundFilter();
    if (!filter)
        return VFW_E_NOT_CONNECTED;
    const Pin input = filter->findPin(PinDirection::Input, true);
    if (input.isNull())
        return VFW_E_NOT_CONNECTED;
    MediaType type;
    const HRESULT hr = input.connectionMediaType(type);
    if (FAILED(hr))
        return hr;
    if (!type.hasWaveFormat)
        return E_FAIL;
    rate = static_cast<int>(type.wave.samplesPerSec);
    channels = type.wave.channels;
    return S_OK;
}

HRESULT Corvate::get_InputSampleRate(int* hz) const {
    if (!hz)
        return E_POINTER;
    int channels = 0;
    *hz = 0;
    return inputWaveFormat(*hz, channels);
}

HRESULT Corvate::get_InputChannels(int* channels) const {
    if (!channels)
        return E_POINTER;
    int rate = 0;
    *channels = 0;
    return inputWaveFormat(rate, *channels);
}
