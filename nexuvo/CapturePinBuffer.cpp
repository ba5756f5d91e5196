#include "nexuvo/CapturePinBuffer.h"

#include "media/Filter.h"

#include <gst/gst.h>

namespace nexuvo {

using namespace ResultCode;

namespace {

constexpr const char* kPeriodProperty = "latency-time";

bool hasPeriod(GstElement* element) {
    return g_object_class_find_property(G_OBJECT_GET_CLASS(element), kPeriodProperty) != nullptr;
}

// The element itself, or the first source inside it, that has a period; a new reference.
GstElement* periodicSource(GstElement* element) {
    if (hasPeriod(element))
        return GST_ELEMENT(gst_object_ref(element));
    if (!GST_IS_BIN(element))
        return nullptr;
    GstElement* found = nullptr;
    GstIterator* sources = gst_bin_iterate_sources(GST_BIN(element));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(sources, &item) == GST_ITERATOR_OK) {
        found = periodicSource(GST_ELEMENT(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sources);
    return found;
}

int byteRateOf(const media::Pin& pin) {
    media::MediaType type;
    if (SUCCEEDED(pin.connectionMediaType(type)) && type.hasWaveFormat)
        return static_cast<int>(type.wave.avgBytesPerSec);
    const QList<media::MediaType> offered = pin.mediaTypes();
    if (offered.size() == 1 && offered.first().hasWaveFormat)
        return static_cast<int>(offered.first().wave.avgBytesPerSec);
    return 0;
}

} // namespace

qint64 CapturePinBuffer::periodMicroseconds(int averageBytesPerSecond) {
    return static_cast<qint64>(kBufferBytes) * 1000000 / averageBytesPerSecond;
}

HRESULT CapturePinBuffer::suggestMinBuffer(const media::Pin& pin) {
    const media::FilterPtr filter = pin.filter();
    GstElement* source = filter ? periodicSource(filter->element()) : nullptr;
    if (!source)
        return E_NOINTERFACE;
    const int byteRate = byteRateOf(pin);
    if (byteRate > 0) {
        g_object_set(source, kPeriodProperty, static_cast<gint64>(periodMicroseconds(byteRate)),
                     nullptr);
    }
    gst_object_unref(source);
    return byteRate > 0 ? S_OK : E_FAIL;
}

} // namespace nexuvo
