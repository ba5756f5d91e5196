#pragma once

#include <cstdint>

namespace media {

// Graph event codes, numbered as media tools commonly number them.
namespace GraphEvent {
constexpr long Complete = 0x01;
constexpr long UserAbort = 0x02;
constexpr long ErrorAbort = 0x03;
constexpr long Paused = 0x0E;
constexpr long StreamControlStopped = 0x1A;
constexpr long StreamControlStarted = 0x1B;
} // namespace GraphEvent

struct GraphEventRecord {
    long code = 0;
    std::intptr_t param1 = 0;
    std::intptr_t param2 = 0;
};

} // namespace media
