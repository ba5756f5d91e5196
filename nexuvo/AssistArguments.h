#pragma once

#include "media/Filter.h"
#include "media/Pin.h"
#include "nexuvo/PinVariant.h"

#include <QVariant>

namespace nexuvo {

// How the assistant's members read the arguments of late-bound callers. Used by the Assist
// sources only.
namespace AssistArguments {

// The system's Booleans: −1 is on, any other value off.
inline bool isTrue(long value) {
    return value == -1;
}

// A pin; false for anything else or a null pin.
inline bool pinFrom(const QVariant& value, media::Pin& pin) {
    if (value.metaType() != QMetaType::fromType<media::Pin>())
        return false;
    pin = value.value<media::Pin>();
    return !pin.isNull();
}

// A filter, possibly null; false for anything else.
inline bool filterFrom(const QVariant& value, media::FilterPtr& filter) {
    if (value.metaType() != QMetaType::fromType<media::FilterPtr>())
        return false;
    filter = value.value<media::FilterPtr>();
    return true;
}

} // namespace AssistArguments
} // namespace nexuvo
