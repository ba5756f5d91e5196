#pragma once

#include "media/FilterGraph.h"
#include "media/FilterItem.h"

#include <QString>
#include <QUuid>
#include <memory>
#include <optional>

// Graphs the media tests, the recording tool and the benchmarks build again and again.
struct CaptureChain {
    std::unique_ptr<media::FilterGraph> graph;
    media::FilterPtr source, grabber, writer;
    HRESULT result = ResultCode::E_FAIL;
};

namespace TestGraphs {
// source → SampleGrabber → WM ASF Writer writing path. `profile` picks a writer profile when not
// null.
CaptureChain captureToWma(const media::FilterItem& source, const QString& path,
                          const QUuid& profile = {});
// source → "Lame MPEG Layer III Audio Encoder2" → DUMP writing path, the encoder at an average
// bit rate of 160 kbit/s (the engine's variable mode).
CaptureChain captureToMp3(const media::FilterItem& source, const QString& path);
// A source of `seconds` of audio that runs as fast as it can be processed.
media::FilterItem fastTone(double seconds, double volume = 0.5, int rate = 44100, int channels = 2);
// The live test tone (1 kHz at half scale), as a capture device.
media::FilterItem liveTestTone();
// The capture device of the private sound server the test run starts, if it is there.
std::optional<media::FilterItem> harnessDevice();
// Runs the event loop until the graph reports completion, or the time-out; true on completion.
bool waitForCompletion(media::FilterGraph& graph, int timeoutMs = 20000);
} // namespace TestGraphs
