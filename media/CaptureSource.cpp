#include "media/CaptureSource.h"

#include "media/MediaSystem.h"

#include <gst/gst.h>

namespace media {

namespace {

// A sound server moves a recording stream to another source when its own goes away (a card
// unplugged, its module unloaded), and the recording would go on with the wrong input without a
// word. Such a move is reported as the device's failure.
void onCurrentDeviceChanged(GstElement* source, GParamSpec*, gpointer) {
    gchar* wanted = nullptr;
    gchar* current = nullptr;
    g_object_get(source, "device", &wanted, "current-device", &current, nullptr);
    if (wanted && *wanted && current && *current && g_strcmp0(wanted, current) != 0) {
        GST_ELEMENT_ERROR(
            source, RESOURCE, NOT_FOUND,
            ("The capture device %s has gone (its stream moved to %s)", wanted, current),
            (nullptr));
    }
    g_free(wanted);
    g_free(current);
}

void watchForMovedStream(GstElement* source) {
    GObjectClass* type = G_OBJECT_GET_CLASS(source);
    if (g_object_class_find_property(type, "current-device") &&
        g_object_class_find_property(type, "device"))
        g_signal_connect(source, "notify::current-device", G_CALLBACK(onCurrentDeviceChanged),
                         nullptr);
}

// Wraps a source element into a bin that ends in the fixed capture format.
GstElement* makeCaptureBin(GstElement* source) {
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", "convert");
    GstElement* resample = gst_element_factory_make("audioresample", "resample");
    GstElement* format = gst_element_factory_make("capsfilter", "format");
    GstCaps* caps = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                        G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT,
                                        CaptureSource::kSampleRate, "channels", G_TYPE_INT,
                                        CaptureSource::kChannels, nullptr);
    g_object_set(format, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(bin), source, convert, resample, format, nullptr);
    gst_element_link_many(source, convert, resample, format, nullptr);
    GstPad* src = gst_element_get_static_pad(format, "src");
    gst_element_add_pad(bin, gst_ghost_pad_new("Capture", src));
    gst_object_unref(src);
    return bin;
}

} // namespace

CaptureSource::CaptureSource(GstElement* bin) : Filter(bin) {}

std::shared_ptr<CaptureSource> CaptureSource::fromDevice(GstDevice* device) {
    MediaSystem::ensureInitialised();
    GstElement* source = gst_device_create_element(device, "source");
    if (!source)
        return {};
    watchForMovedStream(source);
    return std::make_shared<CaptureSource>(makeCaptureBin(source));
}

std::shared_ptr<CaptureSource> CaptureSource::fromDescription(const QString& sourceDescription) {
    MediaSystem::ensureInitialised();
    GError* error = nullptr;
    GstElement* source = gst_parse_launch(sourceDescription.toUtf8().constData(), &error);
    if (error) {
        g_error_free(error);
        if (source)
            gst_object_unref(source);
        return {};
    }
    gst_element_set_name(source, "source");
    return std::make_shared<CaptureSource>(makeCaptureBin(source));
}

} // namespace media
