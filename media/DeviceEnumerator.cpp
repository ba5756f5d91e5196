#include "media/DeviceEnumerator.h"

#include "media/CaptureSource.h"
#include "media/MediaSystem.h"

#include <gst/gst.h>
#include <mutex>

namespace media {

namespace {

std::mutex overrideMutex;
std::optional<QList<FilterItem>> captureOverride;
std::optional<QList<FilterItem>> rendererOverride;

QString displayName(GstDevice* device) {
    gchar* name = gst_device_get_display_name(device);
    const QString result = QString::fromUtf8(name);
    g_free(name);
    return result;
}

FilterPtr makeRenderer(GstDevice* device) {
    GstElement* sink = gst_device_create_element(device, "sink");
    if (!sink)
        return {};
    GstElement* bin = gst_bin_new(nullptr);
    GstElement* convert = gst_element_factory_make("audioconvert", "convert");
    GstElement* resample = gst_element_factory_make("audioresample", "resample");
    gst_bin_add_many(GST_BIN(bin), convert, resample, sink, nullptr);
    gst_element_link_many(convert, resample, sink, nullptr);
    GstPad* pad = gst_element_get_static_pad(convert, "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("Audio Input pin (rendered)", pad));
    gst_object_unref(pad);
    return std::make_shared<Filter>(bin);
}

// Lists the devices of one class; the monitor is started only for the time of the listing.
QList<FilterItem> monitorDevices(const char* deviceClass, bool capture) {
    MediaSystem::ensureInitialised();
    QList<FilterItem> items;
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, deviceClass, nullptr);
    if (!gst_device_monitor_start(monitor)) {
        gst_object_unref(monitor);
        return items;
    }
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* l = devices; l; l = l->next) {
        auto* device = GST_DEVICE(l->data);
        auto shared = std::shared_ptr<GstDevice>(GST_DEVICE(gst_object_ref(device)),
                                                 [](GstDevice* d) { gst_object_unref(d); });
        FilterItem::Factory factory;
        if (capture)
            factory = [shared] {
                return FilterPtr(CaptureSource::fromDevice(shared.get()));
            };
        else
            factory = [shared] {
                return makeRenderer(shared.get());
            };
        items.append(FilterItem(displayName(device), factory));
    }
    g_list_free_full(devices, gst_object_unref);
    gst_device_monitor_stop(monitor);
    gst_object_unref(monitor);
    return items;
}

bool testSourcesWanted() {
    return qgetenv("VELTRAX_TEST_SOURCES") == "1";
}

FilterItem testSource(const QString& name, const QString& description) {
    return FilterItem(
        name, [description] { return FilterPtr(CaptureSource::fromDescription(description)); });
}

} // namespace

QList<FilterItem> DeviceEnumerator::testSources() {
    // Buffers of 10 ms, like a sound card's capture period.
    const QString live = QStringLiteral("audiotestsrc is-live=true samplesperbuffer=441 ");
    return {
        testSource(kTestTone, live + QStringLiteral("wave=sine freq=1000 volume=0.5")),
        // A tick every 100 ms, every tenth one louder: position in time can be read back from
        // a recording to within a second.
        testSource(kTestTicks, live + QStringLiteral("wave=ticks tick-interval=100000000 "
                                                     "freq=2000 volume=0.4 marker-tick-period=10 "
                                                     "marker-tick-volume=0.9")),
        testSource(kTestSilence, live + QStringLiteral("wave=silence")),
    };
}

QList<FilterItem> DeviceEnumerator::audioCaptureDevices() {
    {
        std::lock_guard lock(overrideMutex);
        if (captureOverride)
            return *captureOverride;
    }
    QList<FilterItem> devices = monitorDevices("Audio/Source", true);
    if (testSourcesWanted())
        devices += testSources();
    return devices;
}

QList<FilterItem> DeviceEnumerator::audioRenderers() {
    {
        std::lock_guard lock(overrideMutex);
        if (rendererOverride)
            return *rendererOverride;
    }
    return monitorDevices("Audio/Sink", false);
}

void DeviceEnumerator::overrideCaptureDevices(std::optional<QList<FilterItem>> devices) {
    std::lock_guard lock(overrideMutex);
    captureOverride = std::move(devices);
}

void DeviceEnumerator::overrideRenderers(std::optional<QList<FilterItem>> devices) {
    std::lock_guard lock(overrideMutex);
    rendererOverride = std::move(devices);
}

} // namespace media
