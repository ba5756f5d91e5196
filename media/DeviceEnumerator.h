#pragma once

#include "media/FilterItem.h"

#include <QList>
#include <optional>

namespace media {

// The audio devices of the machine, by display name, as the device monitor reports them.
class DeviceEnumerator {
public:
    // Capture devices in the monitor's order; with VELTRAX_TEST_SOURCES=1 in the environment the
    // live test sources follow them.
    static QList<FilterItem> audioCaptureDevices();
    static QList<FilterItem> audioRenderers();

    // Live test signals with fixed names, for tests and demonstrations without sound hardware.
    static QList<FilterItem> testSources();
    static inline const QString kTestTone = QStringLiteral("Veltrax Test Tone");
    static inline const QString kTestTicks = QStringLiteral("Veltrax Test Ticks");
    static inline const QString kTestSilence = QStringLiteral("Veltrax Test Silence");

    // Tests replace what the machine reports; nullopt restores the real lists.
    static void overrideCaptureDevices(std::optional<QList<FilterItem>> devices);
    static void overrideRenderers(std::optional<QList<FilterItem>> devices);
};

} // namespace media
