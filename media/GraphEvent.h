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

// What the first error of a run was about. The values are stable: they travel as plain numbers
// to the window (clsTavrel::WriteFailed) and into its messages.
enum class GraphErrorKind {
    None = 0,          // no error since the graph last started
    NoSpace = 1,       // the drive the file is written to is full
    WriteError = 2,    // the file could not be written, closed or found again
    CaptureDevice = 3, // the capture device failed or went away
    Other = 4,
};

struct GraphEventRecord {
    long code = 0;
    std::intptr_t param1 = 0;
    std::intptr_t param2 = 0;
};

} // namespace media
