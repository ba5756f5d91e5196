#pragma once

// Pins travel to the graph assistant in QVariants: QVariant::fromValue(pin).

#include "media/Pin.h"
