#pragma once

#include "media/Filter.h"
#include "media/Pin.h"
#include "platform/ResultCodes.h"

#include <QString>

#include <functional>

namespace media {
class FilterGraph;
}

namespace nexuvo {

// Builds the graph of a file scan: the file's decoded audio runs from its source through the
// decoders that a probe connection to an audio renderer brings in, then through "SampleGrabber"
// into a "Null Renderer". Nothing is played.
//
// The few failures a user can act on are told in a message box (through platform::Prompts).
class AutoRenderToNull {
public:
    using Stop = std::function<void()>;

    static inline const QString kOggSplitter = QStringLiteral("Ogg Splitter");
    static inline const QString kRadLightOggSplitter = QStringLiteral("RadLight Ogg Splitter");
    static inline const QString kAcmWrapper = QStringLiteral("ACM Wrapper");
    static inline const QString kMp3Decoder = QStringLiteral("MPEG Layer-3 Decoder");
    static inline const QString kWaveParser = QStringLiteral("Wave Parser");
    static inline const QString kGrabber = QStringLiteral("SampleGrabber");
    static inline const QString kNullRenderer = QStringLiteral("Null Renderer");
    static inline const QString kSoundCardRenderer = QStringLiteral("Default DirectSound Device");
    static inline const QString kVirtualRenderer = QStringLiteral("Orvik Virtual Render");

    static inline const QString kNoSoundCardText = QStringLiteral("No Sound Card Drivers Found!");
    static inline const QString kGrabberInGraphText =
        QStringLiteral("SampleGrabber Must NOT be in graph in AutoRenderToNull!");
    static inline const QString kNoGrabberText =
        QStringLiteral("SG is missing - cannot be created -Please reinstall DirectX!");
    static inline const QString kNoNullRendererText =
        QStringLiteral("NullRend cannot add! - Please reinstall DirectX9!");

    // `stop` stops the graph when a pin refuses to let go while it runs.
    AutoRenderToNull(media::FilterGraph& graph, Stop stop);

    // S_OK with source → decoders → SampleGrabber → Null Renderer connected. E_FAIL when nothing
    // decodes the source's output; E_UNEXPECTED when a pin is missing or the probe renderer cannot
    // be taken out again; otherwise the failure of the step that failed.
    HRESULT render(const media::FilterPtr& source);

private:
    void clearPath();
    void prepareDecoders();
    HRESULT addProbeRenderer(media::FilterPtr& renderer);
    HRESULT decode(const media::Pin& sourceOutput, const media::Pin& rendererInput);
    HRESULT takeOutProbeRenderer(const media::FilterPtr& renderer, media::Pin& decoded);
    HRESULT addGrabber(media::FilterPtr& grabber);
    HRESULT addNullRenderer(media::FilterPtr& nullRenderer);

    HRESULT connectDecoding(const media::Pin& output, const media::Pin& input);
    HRESULT addRegistered(const QString& name, media::FilterPtr& filter);
    void removeIfPresent(const QString& name);
    bool addUnlessPresent(const QString& name);
    static void tell(const QString& text);

    media::FilterGraph& m_graph;
    Stop m_stop;
};

} // namespace nexuvo
