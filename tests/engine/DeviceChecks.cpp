#include "DeviceChecks.h"

#include "MediaCheck.h"

#include "engine/clsTavrel.h"
#include "media/DeviceWatcher.h"
#include "platform/ScopedPrompts.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>
#include <utility>

using namespace media;

namespace DeviceChecks {

namespace {

// The server needs a moment to report a new device to its clients.
bool waitForEntries(const QString& displayName, int count) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (entriesShown(displayName).size() != count) {
        if (elapsed.elapsed() > 5000)
            return false;
        QTest::qWait(100);
    }
    return true;
}

// Unloads the modules it was given when it goes out of scope.
struct Modules {
    QStringList ids;
    ~Modules() {
        for (const QString& id : ids)
            unloadModule(id);
    }
};

QString namesOf(const QList<DeviceEntry>& entries) {
    QStringList text;
    for (const DeviceEntry& entry : entries)
        text << entry.name + " = " + entry.nodeName;
    return text.join(", ");
}

} // namespace

QString loadNullSink(const QString& sinkName, const QString& properties) {
    return pactl({"load-module", "module-null-sink", "sink_name=" + sinkName,
                  "sink_properties=" + properties});
}

void unloadModule(const QString& module) {
    if (!module.isEmpty())
        pactl({"unload-module", module});
}

QList<DeviceEntry> entriesShown(const QString& displayName) {
    QList<DeviceEntry> shown;
    for (const DeviceEntry& entry : DeviceEnumerator::audioCaptureDeviceEntries()) {
        if (entry.displayName == displayName)
            shown.append(entry);
    }
    return shown;
}

QString recordThroughEngine(const QString& device, const QString& path, int ms) {
    platform::ScopedPrompts prompts;
    clsTavrel engine;
    if (const int result = engine.Initialise(); result != 0)
        return QStringLiteral("Initialise returned %1").arg(result);
    engine.setCaptureDeviceName(device);
    if (engine.CaptureDeviceName() != device)
        return QStringLiteral("the engine took %1").arg(engine.CaptureDeviceName());
    if (!engine.OutputFileName(path))
        return "the build failed: " + prompts->texts().join(" | ");
    if (!engine.Record())
        return QStringLiteral("Record failed");
    QTest::qWait(ms);
    engine.StopRecording();
    engine.OutputFileName({});
    return prompts->texts().join(" | ");
}

void sameNamedDevicesAreNumberedStably() {
    const QString twin = QStringLiteral("Monitor of VeltraxTwin");
    const QString description = QStringLiteral("device.description=VeltraxTwin");
    Modules modules;
    // The second by name is loaded first.
    modules.ids << loadNullSink("veltrax_twin_b", description);
    modules.ids << loadNullSink("veltrax_twin_a", description);
    ASSERT_FALSE(modules.ids.contains(QString())) << "pactl could not load a null sink";
    ASSERT_TRUE(waitForEntries(twin, 2)) << qPrintable(namesOf(entriesShown(twin)));

    const QList<DeviceEntry> first = entriesShown(twin);
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first[0].name, twin);
    EXPECT_EQ(first[0].nodeName, "veltrax_twin_a.monitor");
    EXPECT_EQ(first[1].name, twin + " (2)");
    EXPECT_EQ(first[1].nodeName, "veltrax_twin_b.monitor");
    const QList<DeviceEntry> again = entriesShown(twin);
    ASSERT_EQ(again.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(again[i].name, first[i].name);
        EXPECT_EQ(again[i].nodeName, first[i].nodeName);
    }

    {
        clsTavrel engine;
        EXPECT_EQ(engine.Initialise(), 0);
        EXPECT_TRUE(engine.colCapture().contains(twin));
        EXPECT_TRUE(engine.colCapture().contains(twin + " (2)"));
    }

    // Unplugged and plugged in again, in the other order: each name finds its own device.
    for (const QString& id : std::as_const(modules.ids))
        unloadModule(id);
    modules.ids.clear();
    ASSERT_TRUE(waitForEntries(twin, 0));
    modules.ids << loadNullSink("veltrax_twin_a", description);
    modules.ids << loadNullSink("veltrax_twin_b", description);
    ASSERT_TRUE(waitForEntries(twin, 2));
    const QList<DeviceEntry> replugged = entriesShown(twin);
    EXPECT_EQ(namesOf(replugged), namesOf(first));

    // The numbered name records its own device: the tone plays into the second output only.
    QProcess tone;
    tone.start(QStringLiteral("gst-launch-1.0"),
               {"-q", "audiotestsrc", "wave=sine", "freq=1000", "volume=0.5", "is-live=true", "!",
                "audio/x-raw,rate=44100,channels=2", "!", "pulsesink", "device=veltrax_twin_b"});
    ASSERT_TRUE(tone.waitForStarted(5000));
    QTemporaryDir dir;
    const QString loud = dir.filePath("twin2.wma");
    const QString quiet = dir.filePath("twin1.wma");
    const QString loudError = recordThroughEngine(twin + " (2)", loud, 2000);
    EXPECT_TRUE(loudError.isEmpty()) << qPrintable(loudError);
    const QString quietError = recordThroughEngine(twin, quiet, 2000);
    EXPECT_TRUE(quietError.isEmpty()) << qPrintable(quietError);
    tone.kill();
    tone.waitForFinished(5000);
    EXPECT_NEAR(MediaCheck::meanVolumeDb(loud), -9.0, 1.0);
    EXPECT_LT(MediaCheck::meanVolumeDb(quiet), -60.0);
}

void watcherAnnouncesAddedAndRemovedDevices() {
    const QString plugged = QStringLiteral("Monitor of VeltraxPlug");
    DeviceWatcher watcher;
    ASSERT_TRUE(watcher.start());
    EXPECT_FALSE(watcher.captureDeviceNames().isEmpty());
    EXPECT_FALSE(watcher.captureDeviceNames().contains(plugged));
    QSignalSpy changes(&watcher, &DeviceWatcher::captureDevicesChanged);

    QElapsedTimer elapsed;
    elapsed.start();
    Modules modules;
    modules.ids << loadNullSink("veltrax_plug", "device.description=VeltraxPlug");
    ASSERT_FALSE(modules.ids.contains(QString()));
    ASSERT_TRUE(changes.wait(2000)) << "no announcement within 2 s";
    std::printf("device added, announced after %lld ms\n", elapsed.elapsed());
    EXPECT_TRUE(changes.last().at(0).toStringList().contains(plugged));
    EXPECT_EQ(watcher.captureDeviceNames(), changes.last().at(0).toStringList());

    changes.clear();
    elapsed.restart();
    unloadModule(modules.ids.takeFirst());
    ASSERT_TRUE(changes.wait(2000)) << "no announcement within 2 s";
    std::printf("device removed, announced after %lld ms\n", elapsed.elapsed());
    EXPECT_FALSE(changes.last().at(0).toStringList().contains(plugged));
}

} // namespace DeviceChecks
