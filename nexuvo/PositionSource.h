#pragma once

#include "platform/ResultCodes.h"

#include <QtGlobal>

namespace nexuvo {

// Where the peak thread reads the playback position; called from that thread only.
class PositionSource {
public:
    virtual ~PositionSource() = default;
    // In units of 100 ns; a failure when the position is not known.
    virtual HRESULT currentPosition100ns(qint64& units) = 0;
};

} // namespace nexuvo
