#pragma once

#include "nexuvo/PeakTap.h"

#include <cmath>

// The position of a graph that plays everything as soon as it is received.
class HeardAtOnce : public nexuvo::PositionSource {
public:
    explicit HeardAtOnce(const nexuvo::PeakTap& tap) : m_tap(tap) {}
    HRESULT currentPosition100ns(qint64& units) override {
        units = std::llround(m_tap.latestSampleTime() * 1e7);
        return ResultCode::S_OK;
    }

private:
    const nexuvo::PeakTap& m_tap;
};
