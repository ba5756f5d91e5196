#include "media/DeviceEnumerator.h"

#include "media/CaptureSource.h"
#include "media/MediaSystem.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <gst/gst.h>
#include <memory>
#include <mutex>
#include <numeric>

namespace media {

namespace {

std::mutex overrideMutex;
std::optional<QList<FilterItem>> captureOverride;
std::optional<QList<FilterItem>> rendererOverride;

using DevicePtr = std::shared_ptr<GstDevice>;

// A device as one provider reports it.
struct Reported {
    DevicePtr device;
    QString displayName;
    QString provider;
    QString nodeName;
    QString serial;  // the server's object number while it runs; the same for every provider
    QString busPath; // where the hardware is plugged in; empty for virtual devices
};

QString takeString(gchar* text) {
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString providerName(GstDevice* device) {
    GstObject* parent = gst_object_get_parent(GST_OBJECT(device));
    if (!parent)
        return {};
    QString name;
    if (GST_IS_DEVICE_PROVIDER(parent)) {
        if (GstDeviceProviderFactory* factory =
                gst_device_provider_get_factory(GST_DEVICE_PROVIDER(parent)))
            name = QString::fromUtf8(GST_OBJECT_NAME(factory));
    }
    gst_object_unref(parent);
    return name;
}

QString propertyString(const GstStructure* properties, std::initializer_list<const char*> keys) {
    if (!properties)
        return {};
    for (const char* key : keys) {
        if (const gchar* value = gst_structure_get_string(properties, key); value && *value)
            return QString::fromUtf8(value);
    }
    return {};
}

Reported describe(GstDevice* device) {
    Reported reported;
    reported.device =
        DevicePtr(GST_DEVICE(gst_object_ref(device)), [](GstDevice* d) { gst_object_unref(d); });
    reported.displayName = takeString(gst_device_get_display_name(device));
    reported.provider = providerName(device);
    GstStructure* properties = gst_device_get_properties(device);
    // The PulseAudio provider's own name for a source is the one the server knows it by (a
    // monitor's properties carry the name of its output instead).
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name")) {
        gchar* internal = nullptr;
        g_object_get(device, "internal-name", &internal, nullptr);
        reported.nodeName = takeString(internal);
    }
    if (reported.nodeName.isEmpty())
        reported.nodeName = propertyString(properties, {"node.name"});
    reported.serial = propertyString(properties, {"object.serial"});
    reported.busPath = propertyString(
        properties, {"device.bus_path", "device.bus-path", "sysfs.path", "device.sysfs.path"});
    if (properties)
        gst_structure_free(properties);
    return reported;
}

// Providers that a started provider asks to hide because it covers their devices (PulseAudio
// hides ALSA, whose devices it holds). PipeWire asks to hide PulseAudio too, as soon as it
// drives a sound card; that one request is not followed, so the list stays the same whether
// or not the machine has sound hardware.
QSet<QString> hiddenProviders(GstDeviceMonitor* monitor) {
    QSet<QString> hidden;
    gchar** names = gst_device_monitor_get_providers(monitor);
    for (gchar** name = names; name && *name; ++name) {
        GstDeviceProvider* provider = gst_device_provider_factory_get_by_name(*name);
        if (!provider)
            continue;
        gchar** covered = gst_device_provider_get_hidden_providers(provider);
        for (gchar** other = covered; other && *other; ++other)
            hidden.insert(QString::fromUtf8(*other));
        g_strfreev(covered);
        gst_object_unref(provider);
    }
    g_strfreev(names);
    hidden.remove(DeviceEnumerator::kPreferredProvider);
    return hidden;
}

int providerRank(const QString& provider) {
    if (provider == DeviceEnumerator::kPreferredProvider)
        return 0;
    if (provider == QLatin1String("pipewiredeviceprovider"))
        return 1;
    return 2;
}

bool sameDevice(const Reported& a, const Reported& b) {
    if (a.provider == b.provider)
        return false; // one provider never reports a device twice
    return (!a.nodeName.isEmpty() && a.nodeName == b.nodeName) ||
           (!a.serial.isEmpty() && a.serial == b.serial);
}

// Every device once, in the monitor's order, from the provider ranked first among those that
// report it.
QList<Reported> chooseDevices(GstDeviceMonitor* monitor) {
    QList<Reported> reported;
    const QSet<QString> hidden = hiddenProviders(monitor);
    GList* devices = gst_device_monitor_get_devices(monitor);
    for (GList* l = devices; l; l = l->next) {
        Reported device = describe(GST_DEVICE(l->data));
        if (!hidden.contains(device.provider))
            reported.append(std::move(device));
    }
    g_list_free_full(devices, gst_object_unref);

    QList<int> byRank(reported.size());
    std::iota(byRank.begin(), byRank.end(), 0);
    std::stable_sort(byRank.begin(), byRank.end(), [&](int a, int b) {
        return providerRank(reported[a].provider) < providerRank(reported[b].provider);
    });
    QList<int> kept;
    for (int index : byRank) {
        const bool seen = std::any_of(kept.begin(), kept.end(), [&](int other) {
            return sameDevice(reported[index], reported[other]);
        });
        if (!seen)
            kept.append(index);
    }
    std::sort(kept.begin(), kept.end());
    QList<Reported> chosen;
    for (int index : kept)
        chosen.append(reported[index]);
    return chosen;
}

// A device of the list before it is named.
struct Candidate {
    QString displayName;
    QString provider;
    QString nodeName;
    QString sortKey; // orders devices of one display name
    FilterItem::Factory factory;
};

// Gives every device a name of its own. The first device of a display name (in the order of
// the sort keys) keeps it; the others get " (2)", " (3)" …, skipping names another device
// already has. Devices of one display name swap places so that the plain name comes first.
QList<DeviceEntry> nameUniquely(const QList<Candidate>& candidates) {
    QSet<QString> taken;
    QList<QString> order; // display names, lower case, in order of first appearance
    QHash<QString, QList<int>> groups;
    for (int i = 0; i < candidates.size(); ++i) {
        const QString key = candidates[i].displayName.toLower();
        taken.insert(key);
        if (!groups.contains(key))
            order.append(key);
        groups[key].append(i);
    }
    QList<DeviceEntry> entries(candidates.size());
    for (const QString& key : order) {
        const QList<int>& positions = groups[key];
        QList<int> sorted = positions;
        std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) {
            return candidates[a].sortKey < candidates[b].sortKey;
        });
        int number = 1;
        for (int i = 0; i < sorted.size(); ++i) {
            const Candidate& candidate = candidates[sorted[i]];
            QString name = candidate.displayName;
            if (i > 0) {
                do {
                    name = QStringLiteral("%1 (%2)").arg(candidate.displayName).arg(++number);
                } while (taken.contains(name.toLower()));
                taken.insert(name.toLower());
            }
            entries[positions[i]] = {name, candidate.displayName, candidate.provider,
                                     candidate.nodeName, FilterItem(name, candidate.factory)};
        }
    }
    return entries;
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

// PipeWire's device provider (0.3.65, Debian 12) corrupts the heap when it is stopped and
// started again within one process, and every listing starts and stops the providers it uses.
// Started once here and never stopped, it stays up while monitors come and go (a provider counts
// its starts). A start that failed is tried again with the next monitor.
void keepPipeWireProviderStarted() {
    static std::mutex mutex;
    static bool started = false;
    std::lock_guard lock(mutex);
    if (started)
        return;
    GstDeviceProvider* provider = gst_device_provider_factory_get_by_name("pipewiredeviceprovider");
    if (!provider) {
        started = true; // not installed
        return;
    }
    started = gst_device_provider_start(provider);
    if (!started)
        gst_object_unref(provider);
    // Otherwise the reference is kept for the life of the process.
}

GstDeviceMonitor* newMonitor(const char* deviceClass) {
    MediaSystem::ensureInitialised();
    keepPipeWireProviderStarted();
    GstDeviceMonitor* monitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor, deviceClass, nullptr);
    // Hidden providers are judged here (hiddenProviders), not by the monitor.
    gst_device_monitor_set_show_all_devices(monitor, TRUE);
    return monitor;
}

QList<Candidate> candidatesOf(GstDeviceMonitor* monitor, bool capture) {
    QList<Candidate> candidates;
    for (const Reported& device : chooseDevices(monitor)) {
        const DevicePtr shared = device.device;
        FilterItem::Factory factory;
        if (capture)
            factory = [shared] {
                return FilterPtr(CaptureSource::fromDevice(shared.get()));
            };
        else
            factory = [shared] {
                return makeRenderer(shared.get());
            };
        const QChar separator(0x1f);
        candidates.append({device.displayName, device.provider, device.nodeName,
                           device.busPath + separator + device.nodeName + separator + device.serial,
                           factory});
    }
    return candidates;
}

// Lists the devices of one class; the monitor is started only for the time of the listing.
QList<Candidate> monitorDevices(const char* deviceClass, bool capture) {
    GstDeviceMonitor* monitor = newMonitor(deviceClass);
    QList<Candidate> candidates;
    if (gst_device_monitor_start(monitor)) {
        candidates = candidatesOf(monitor, capture);
        gst_device_monitor_stop(monitor);
    }
    gst_object_unref(monitor);
    return candidates;
}

QList<FilterItem> itemsOf(const QList<DeviceEntry>& entries) {
    QList<FilterItem> items;
    for (const DeviceEntry& entry : entries)
        items.append(entry.item);
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

QList<DeviceEntry> DeviceEnumerator::audioCaptureDeviceEntries() {
    {
        std::lock_guard lock(overrideMutex);
        if (captureOverride) {
            QList<DeviceEntry> entries;
            for (const FilterItem& item : *captureOverride)
                entries.append({item.name(), item.name(), {}, {}, item});
            return entries;
        }
    }
    QList<Candidate> candidates = monitorDevices("Audio/Source", true);
    if (testSourcesWanted()) {
        // Sorted after every device: a device that happens to carry a test source's name keeps
        // it, and the source is numbered.
        for (const FilterItem& item : testSources())
            candidates.append({item.name(), {}, {}, QString(QChar(0xffff)), [item] {
                                   return item.create();
                               }});
    }
    return nameUniquely(candidates);
}

QList<FilterItem> DeviceEnumerator::audioCaptureDevices() {
    return itemsOf(audioCaptureDeviceEntries());
}

QList<FilterItem> DeviceEnumerator::audioRenderers() {
    {
        std::lock_guard lock(overrideMutex);
        if (rendererOverride)
            return *rendererOverride;
    }
    return itemsOf(nameUniquely(monitorDevices("Audio/Sink", false)));
}

void DeviceEnumerator::overrideCaptureDevices(std::optional<QList<FilterItem>> devices) {
    std::lock_guard lock(overrideMutex);
    captureOverride = std::move(devices);
}

void DeviceEnumerator::overrideRenderers(std::optional<QList<FilterItem>> devices) {
    std::lock_guard lock(overrideMutex);
    rendererOverride = std::move(devices);
}

GstDeviceMonitor* DeviceEnumerator::newCaptureMonitor() {
    return newMonitor("Audio/Source");
}

QList<DeviceEntry> DeviceEnumerator::captureDevicesOf(GstDeviceMonitor* monitor) {
    return nameUniquely(candidatesOf(monitor, true));
}

} // namespace media
