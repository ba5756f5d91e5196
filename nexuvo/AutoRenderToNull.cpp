#include "nexuvo/AutoRenderToNull.h"

#include "media/AudioDecoder.h"
#include "media/FilterGraph.h"
#include "media/FilterRegistry.h"
#include "nexuvo/GraphTidy.h"
#include "nexuvo/PitchShifter.h"
#include "platform/Prompts.h"

namespace nexuvo {

using namespace ResultCode;
using media::FilterPtr;
using media::Pin;
using media::PinDirection;

AutoRenderToNull::AutoRenderToNull(media::FilterGraph& graph, Stop stop)
    : m_graph(graph), m_stop(std::move(stop)) {}

HRESULT AutoRenderToNull::render(const FilterPtr& source) {
    clearPath();
    const Pin sourceOutput = source->findPin(PinDirection::Output, false);
    if (sourceOutput.isNull())
        return E_FAIL;
    prepareDecoders();

    FilterPtr probe;
    HRESULT hr = addProbeRenderer(probe);
    if (FAILED(hr))
        return hr;
    const Pin probeInput = probe->findPin(PinDirection::Input, false);
    if (probeInput.isNull())
        return E_UNEXPECTED;
    hr = decode(sourceOutput, probeInput);
    if (FAILED(hr))
        return hr;
    Pin decoded;
    hr = takeOutProbeRenderer(probe, decoded);
    if (FAILED(hr))
        return hr;

    FilterPtr grabber;
    hr = addGrabber(grabber);
    if (FAILED(hr))
        return hr;
    const Pin grabberInput = grabber->findPin(PinDirection::Input, false);
    const Pin grabberOutput = grabber->findPin(PinDirection::Output, false);
    if (grabberInput.isNull() || grabberOutput.isNull())
        return E_UNEXPECTED;
    FilterPtr nullRenderer;
    hr = addNullRenderer(nullRenderer);
    if (FAILED(hr))
        return hr;
    const Pin nullInput = nullRenderer->findPin(PinDirection::Input, false);
    if (nullInput.isNull())
        return E_UNEXPECTED;

    hr = m_graph.connectDirect(decoded, grabberInput);
    if (SUCCEEDED(hr))
        hr = m_graph.connectDirect(grabberOutput, nullInput);
    if (FAILED(hr))
        return hr;
    if (m_graph.findFilterByName(kRadLightOggSplitter))
        return PitchShifter::insertBefore(m_graph, grabberInput);
    return S_OK;
}

// Nothing stays connected, and no splitter of an earlier render is left to claim the source.
void AutoRenderToNull::clearPath() {
    GraphTidy::disconnectAll(m_graph, m_stop);
    removeIfPresent(kOggSplitter);
}

// Decoders the probe connection may use; the grabber and null renderer of an earlier render go,
// new ones are added once the decoded output is known.
void AutoRenderToNull::prepareDecoders() {
    removeIfPresent(kAcmWrapper);
    addUnlessPresent(kMp3Decoder);
    addUnlessPresent(kWaveParser);
    removeIfPresent(kGrabber);
    removeIfPresent(kNullRenderer);
}

// The renderer that the probe connection aims at: the sound card's, or the virtual one.
HRESULT AutoRenderToNull::addProbeRenderer(FilterPtr& renderer) {
    renderer = m_graph.findFilterByName(kSoundCardRenderer);
    if (renderer)
        return S_OK;
    if (SUCCEEDED(addRegistered(kSoundCardRenderer, renderer)))
        return S_OK;
    const HRESULT hr = addRegistered(kVirtualRenderer, renderer);
    if (FAILED(hr))
        tell(kNoSoundCardText);
    return hr;
}

// Connects the source to the probe renderer, letting the graph bring in what decodes it; once
// more with a format converter in the graph when that did not work.
HRESULT AutoRenderToNull::decode(const Pin& sourceOutput, const Pin& rendererInput) {
    connectDecoding(sourceOutput, rendererInput);
    if (rendererInput.isConnected())
        return S_OK;
    if (addUnlessPresent(kAcmWrapper))
        connectDecoding(sourceOutput, rendererInput);
    return rendererInput.isConnected() ? S_OK : E_FAIL;
}

HRESULT AutoRenderToNull::takeOutProbeRenderer(const FilterPtr& renderer, Pin& decoded) {
    const Pin rendererInput = renderer->findPin(PinDirection::Input, true);
    decoded = rendererInput.connectedTo();
    if (decoded.isNull() || FAILED(m_graph.disconnect(decoded)) ||
        FAILED(m_graph.disconnect(rendererInput)) || FAILED(m_graph.removeFilter(renderer)))
        return E_UNEXPECTED;
    return S_OK;
}

HRESULT AutoRenderToNull::addGrabber(FilterPtr& grabber) {
    grabber = m_graph.findFilterByName(kGrabber);
    if (grabber) {
        tell(kGrabberInGraphText); // it could not be taken out; carry on with it
        return S_OK;
    }
    const HRESULT hr = addRegistered(kGrabber, grabber);
    if (FAILED(hr))
        tell(kNoGrabberText);
    return hr;
}

HRESULT AutoRenderToNull::addNullRenderer(FilterPtr& nullRenderer) {
    if (SUCCEEDED(addRegistered(kNullRenderer, nullRenderer)))
        return S_OK;
    tell(kNoNullRendererText);
    return E_UNEXPECTED;
}

// A file's bytes reach the renderer through a decoder, even where the renderer would take them
// as they are. A file whose type was not recognised offers no media type; nothing would decode
// it, so it is not connected at all.
HRESULT AutoRenderToNull::connectDecoding(const Pin& output, const Pin& input) {
    if (output.mediaTypes().isEmpty())
        return VFW_E_CANNOT_CONNECT;
    if (media::AudioDecoder::offersDecodedAudio(output))
        return m_graph.connect(output, input);
    const FilterPtr decoder = std::make_shared<media::AudioDecoder>();
    if (FAILED(m_graph.addFilter(decoder, media::AudioDecoder::kName)))
        return VFW_E_CANNOT_CONNECT;
    if (SUCCEEDED(m_graph.connectDirect(output, decoder->findPin(QStringLiteral("Input")))) &&
        SUCCEEDED(m_graph.connect(decoder->findPin(QStringLiteral("Output")), input)))
        return S_OK;
    m_graph.removeFilter(decoder);
    return VFW_E_CANNOT_CONNECT;
}

HRESULT AutoRenderToNull::addRegistered(const QString& name, FilterPtr& filter) {
    const auto filters = media::FilterRegistry::instance().registeredFilters();
    const media::FilterItem* item = filters.item(name);
    if (!item)
        return REGDB_E_CLASSNOTREG;
    return item->createIn(m_graph, filter, name);
}

void AutoRenderToNull::removeIfPresent(const QString& name) {
    if (const FilterPtr filter = m_graph.findFilterByName(name))
        m_graph.removeFilter(filter);
}

// True when the filter was added now.
bool AutoRenderToNull::addUnlessPresent(const QString& name) {
    if (m_graph.findFilterByName(name))
        return false;
    FilterPtr added;
    return SUCCEEDED(addRegistered(name, added));
}

void AutoRenderToNull::tell(const QString& text) {
    platform::Prompts::instance().messageBox(text, QString(), platform::PromptButtons::Ok,
                                             platform::PromptIcon::None);
}

} // namespace nexuvo
