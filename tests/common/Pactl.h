#pragma once

#include <QString>
#include <QStringList>

// Runs pactl against the sound server PULSE_SERVER names (at most 10 s); its output, or a null
// string when it failed.
QString pactl(const QStringList& arguments);
