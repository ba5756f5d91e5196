// Recording on a PipeWire session, as today's desktops run one: both GStreamer device providers
// report its sources, and each is listed once.
#include "DeviceChecks.h"
#include "MediaCheck.h"

#include "engine/clsTavrel.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace media;

namespace {

const QString kMonitor = QStringLiteral("Monitor of VeltraxTest");
const QString kMic = QStringLiteral("VeltraxMic");

// The providers that report a device of this display name, as GStreamer lists them: every
// provider (showAll), or as a monitor shows them by default, hidden providers left out.
QStringList providersReporting(const QString& displayName, bool showAll) {
    QStringList providers;
    // The enumerator's monitor, for the provider it keeps started (see DeviceEnumerator.cpp).
    GstDeviceMonitor* monitor = DeviceEnumerator::newCaptureMonitor();
    gst_device_monitor_set_show_all_devices(monitor, showAll);
    if (gst_device_monitor_start(monitor)) {
        GList* devices = gst_device_monitor_get_devices(monitor);
        for (GList* l = devices; l; l = l->next) {
            gchar* name = gst_device_get_display_name(GST_DEVICE(l->data));
            GstObject* provider = gst_object_get_parent(GST_OBJECT(l->data));
            if (displayName == QString::fromUtf8(name) && provider) {
                providers << QString::fromUtf8(GST_OBJECT_NAME(
                    gst_device_provider_get_factory(GST_DEVICE_PROVIDER(provider))));
            }
            if (provider)
                gst_object_unref(provider);
            g_free(name);
        }
        g_list_free_full(devices, gst_object_unref);
        gst_device_monitor_stop(monitor);
    }
    gst_object_unref(monitor);
    providers.sort();
    return providers;
}

void expectEachNameOnce(const QList<DeviceEntry>& entries) {
    QStringList names;
    for (const DeviceEntry& entry : entries) {
        EXPECT_FALSE(names.contains(entry.name.toLower())) << qPrintable(entry.name);
        names << entry.name.toLower();
    }
    EXPECT_EQ(names.count(kMonitor.toLower()), 1);
    EXPECT_EQ(names.count(kMic.toLower()), 1);
}

class PipeWireSession : public ::testing::Test {
protected:
    void SetUp() override {
        const QString folder = qEnvironmentVariable("PIPEWIRE_RUNTIME_DIR");
        if (folder.isEmpty())
            GTEST_SKIP() << "needs the private PipeWire session (PIPEWIRE_RUNTIME_DIR); run "
                            "through ctest";
        if (!QFileInfo::exists(folder + "/pulse/native"))
            GTEST_SKIP() << "the private PipeWire session is not running in " << qPrintable(folder)
                         << ": pipewire, wireplumber or pipewire-pulse is not installed "
                            "(scripts/install-deps), see pipewire_session_start's output";
        DeviceEnumerator::overrideCaptureDevices(std::nullopt);
        gst_init(nullptr, nullptr);
    }
};

} // namespace

TEST_F(PipeWireSession, EachDeviceIsListedOnceThoughBothProvidersReportIt) {
    GstDeviceProviderFactory* pipewire = gst_device_provider_factory_find("pipewiredeviceprovider");
    if (!pipewire)
        GTEST_SKIP() << "GStreamer's PipeWire plugin (gstreamer1.0-pipewire) is not installed";
    gst_object_unref(pipewire);
    ASSERT_EQ(providersReporting(kMic, true),
              (QStringList{"pipewiredeviceprovider", "pulsedeviceprovider"}));

    const QList<DeviceEntry> entries = DeviceEnumerator::audioCaptureDeviceEntries();
    expectEachNameOnce(entries);
    for (const DeviceEntry& entry : entries)
        EXPECT_EQ(entry.provider, DeviceEnumerator::kPreferredProvider) << qPrintable(entry.name);
    clsTavrel engine;
    EXPECT_EQ(engine.Initialise(), 0);

    // With a sound card, PipeWire's provider asks GStreamer to hide PulseAudio's, and the
    // monitors of the outputs would be gone from the list. A null sink that names an ALSA
    // device stands in for the card.
    const QString card = DeviceChecks::loadNullSink(
        "veltrax_card", "device.description=VeltraxCard object.path=alsa:pcm:99:veltrax:playback");
    ASSERT_FALSE(card.isEmpty());
    QElapsedTimer elapsed;
    elapsed.start();
    while (providersReporting(kMonitor, false).size() != 0 && elapsed.elapsed() < 5000)
        QTest::qWait(100);
    EXPECT_EQ(providersReporting(kMonitor, false), QStringList()) << "PulseAudio's provider "
                                                                     "was not hidden";
    expectEachNameOnce(DeviceEnumerator::audioCaptureDeviceEntries());
    DeviceChecks::unloadModule(card);
}

TEST_F(PipeWireSession, EngineRecordsTheMonitorIntoAWmaFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("pipewire.wma");
    QElapsedTimer recording;
    recording.start();
    const QString error = DeviceChecks::recordThroughEngine(kMonitor, path, 3000);
    ASSERT_TRUE(error.isEmpty()) << qPrintable(error);
    const ProbeResult probe = MediaCheck::probe(path);
    ASSERT_TRUE(probe.ok);
    EXPECT_EQ(probe.codec, "wmav2");
    EXPECT_NEAR(probe.duration, 3.0, 0.4);
    EXPECT_NEAR(MediaCheck::decodedSeconds(path), 3.0, 0.5);
    // The session plays a sine at half scale: -9 dB on average.
    EXPECT_NEAR(MediaCheck::meanVolumeDb(path), -9.0, 1.0);
}

TEST_F(PipeWireSession, SameNamedDevicesAreNumberedStably) {
    DeviceChecks::sameNamedDevicesAreNumberedStably();
}

TEST_F(PipeWireSession, WatcherAnnouncesAddedAndRemovedDevices) {
    DeviceChecks::watcherAnnouncesAddedAndRemovedDevices();
}
