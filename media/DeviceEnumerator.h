#pragma once

#include "media/FilterItem.h"

#include <QList>
#include <optional>

typedef struct _GstDeviceMonitor GstDeviceMonitor;

namespace media {

// One entry of a device list, with what it was told apart and ordered by.
struct DeviceEntry {
    // Unique in its list without regard to case: the display name, followed by " (2)", " (3)" …
    // for further devices of the same display name.
    QString name;
    QString displayName; // as the device calls itself
    QString provider;    // the GStreamer device provider it came through; empty for a test source
    QString nodeName;    // the sound server's own name for it; stays the same across restarts
    FilterItem item;     // carries `name`
};

// The audio devices of the machine as the device monitor reports them, each once.
//
// Several device providers may report one device: on a PipeWire desktop both the PulseAudio
// provider (through pipewire-pulse) and the PipeWire provider list every source. A device is
// taken from the PulseAudio provider when it has it, since that provider works the same on
// PulseAudio and on PipeWire, lists the monitors of outputs, and reports a recording stream that
// the server moved to another device; other providers add only the devices it does not know.
// Devices that share a display name are numbered in the order of their bus path, then of the
// server's name for them, so a stored name finds the same device after a restart or a replug.
class DeviceEnumerator {
public:
    static inline const QString kPreferredProvider = QStringLiteral("pulsedeviceprovider");

    // Capture devices in the monitor's order; with VELTRAX_TEST_SOURCES=1 in the environment the
    // live test sources follow them.
    static QList<FilterItem> audioCaptureDevices();
    static QList<DeviceEntry> audioCaptureDeviceEntries();
    static QList<FilterItem> audioRenderers();

    // Live test signals with fixed names, for tests and demonstrations without sound hardware.
    static QList<FilterItem> testSources();
    static inline const QString kTestTone = QStringLiteral("Veltrax Test Tone");
    static inline const QString kTestTicks = QStringLiteral("Veltrax Test Ticks");
    static inline const QString kTestSilence = QStringLiteral("Veltrax Test Silence");

    // Tests replace what the machine reports; nullopt restores the real lists. A replacement list
    // is taken as it is, repeated names included.
    static void overrideCaptureDevices(std::optional<QList<FilterItem>> devices);
    static void overrideRenderers(std::optional<QList<FilterItem>> devices);

    // For watchers that keep a monitor running: a new, not yet started monitor of the capture
    // devices, and the capture devices of a started one, chosen and named as above (without test
    // sources).
    static GstDeviceMonitor* newCaptureMonitor();
    static QList<DeviceEntry> captureDevicesOf(GstDeviceMonitor* monitor);
};

} // namespace media
