#pragma once

// Checks of the capture device list that run on a private sound server (PulseAudio or PipeWire
// through pipewire-pulse): same-named devices, the device watcher, recording through the engine.
// PULSE_SERVER names the server.

#include "Pactl.h"
#include "media/DeviceEnumerator.h"

#include <QString>
#include <QStringList>

namespace DeviceChecks {

// Loads a null sink; its module number, or an empty string.
QString loadNullSink(const QString& sinkName, const QString& properties);
void unloadModule(const QString& module);

// The entries of the current list whose display name is `displayName`.
QList<media::DeviceEntry> entriesShown(const QString& displayName);

// Records `ms` milliseconds of the named device into a WMA file through a new engine; an empty
// string on success, else what went wrong.
QString recordThroughEngine(const QString& device, const QString& path, int ms);

// Two outputs described alike: their monitors are numbered by the server's names for them
// whatever order they appear in, keep their names from one listing to the next and across a
// replug in the other order, and each name records its own device.
void sameNamedDevicesAreNumberedStably();

// A device added while a watcher runs is announced within 2 s, and so is its removal.
void watcherAnnouncesAddedAndRemovedDevices();

} // namespace DeviceChecks
