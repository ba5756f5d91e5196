#pragma once

namespace nexuvo {

// Messages that workers and the graph post to the assistant's message window. Whatever a worker
// wants to tell the client travels this way and is turned into a signal on the window's thread.
namespace AssistMessage {
constexpr int ThreadEvent = 0x465; // peaks measured, or a stop / pause
constexpr int CueIn = 0x466;       // wParam: cue time in ms
constexpr int Unused = 0x467;      // swallowed
constexpr int GraphEvent = 0x8001; // the graph queued an event
constexpr int BufferFull = 0x8002; // wParam: the ring's address
} // namespace AssistMessage

// wParam of a ThreadEvent message posted by the peak thread; a stop or a pause posts 0.
constexpr long long kPostedByPeakThread = 1;

} // namespace nexuvo
