// File scans: rendering a file into a graph that ends in a null renderer, taking it out again,
// and the small media-type members (file types of pins, the ASF reader).
#include "nexuvo/Assist.h"

#include "media/FilterRegistry.h"
#include "nexuvo/AssistArguments.h"
#include "nexuvo/AutoRenderToNull.h"
#include "nexuvo/GraphTidy.h"
#include "nexuvo/MediaFileType.h"

namespace nexuvo {

using namespace AssistArguments;
using namespace ResultCode;
using media::FilterGraph;
using media::FilterPtr;
using media::Pin;
using media::PinDirection;

// ---- Rendering files to the null renderer ---------------------------------------------------

HRESULT Assist::RenderFileToNull(const QString& Filename, QObject* GraphMan) {
    stopOperation();
    m_tap.ring().resetWriteIndex();
    detach();
    if (!GraphMan)
        return DISP_E_TYPEMISMATCH;
    if (Filename.isEmpty())
        return S_OK;
    CueSegueScan& scan = m_tap.scan();
    scan.setSegueTimeMs(0);
    scan.setFileScan(true);
    scan.setCueFound(false);
    auto* graph = qobject_cast<FilterGraph*>(GraphMan);
    if (!graph)
        return DISP_E_TYPEMISMATCH;
    holdGraph(*graph);

    if (const FilterPtr earlier = GraphTidy::findFileSource(*graph))
        removeFilter(earlier);
    HRESULT hr = addFileSource(*graph, Filename);
    if (FAILED(hr))
        return hr;
    hr = renderSourceToNull(*graph);
    if (FAILED(hr)) {
        m_tap.setIntakeDisabled(false);
        return hr;
    }
    // Before the grabber is prepared: a filter that nothing feeds keeps the graph from filling up
    // when the grabber's format has to be read from the audio.
    GraphTidy::removeDanglingFilters(*graph);
    hr = prepareGrabber();
    if (FAILED(hr))
        return hr;
    SetNullClock(graph);
    if (m_controlHeld)
        hr = rewindForScan();
    m_tap.setIntakeDisabled(false);
    return hr;
}

HRESULT Assist::RenderToNull(const QString& Filename, long, QObject* GraphUnk) {
    m_tap.ring().resetWriteIndex();
    detach();
    auto* graph = qobject_cast<FilterGraph*>(GraphUnk);
    if (!graph)
        return DISP_E_TYPEMISMATCH;
    holdGraph(*graph);
    disconnectAll();
    HRESULT hr = takeOverFileSource(*graph, Filename);
    if (FAILED(hr))
        return hr;
    if (m_source->findPin(PinDirection::Output, false).isNull())
        return E_FAIL;

    hr = RenderFileToNull(Filename, GraphUnk);
    if (FAILED(hr)) {
        disconnectAll();
        return hr;
    }
    CueSegueScan& scan = m_tap.scan();
    scan.setFileScan(true);
    scan.setCueFound(false);
    scan.setCueTimeMs(0);
    prepareGrabber();
    if (m_controlHeld && this->graph())
        this->graph()->setPosition(0.0);
    SetNullClock(graph);
    if (m_graphHeld && this->graph())
        GraphTidy::removeDanglingFilters(*this->graph());
    return S_OK;
}

HRESULT Assist::UnRenderToNull() {
    stopOperation();
    if (m_source) {
        if (FilterGraph* owner = m_source->graph())
            owner->removeFilter(m_source);
        m_source.reset();
    }
    return S_OK;
}

// A file that is not there gives the reason here, rather than a graph that fails when it runs.
HRESULT Assist::addFileSource(FilterGraph& graph, const QString& path) {
    FilterPtr source;
    const HRESULT hr = graph.addSourceFilter(path, path, source);
    if (SUCCEEDED(hr))
        m_source = source;
    return hr;
}

// The graph's own file source is taken out and held in place of a new one; a graph without one
// gets a source for the file.
HRESULT Assist::takeOverFileSource(FilterGraph& graph, const QString& path) {
    const FilterPtr existing = GraphTidy::findFileSource(graph);
    if (!existing)
        return addFileSource(graph, path);
    if (FAILED(graph.removeFilter(existing))) {
        stopOperation();
        if (FAILED(graph.removeFilter(existing)))
            return E_UNEXPECTED;
    }
    m_source = existing;
    return S_OK;
}

HRESULT Assist::renderSourceToNull(FilterGraph& graph) {
    if (!m_source)
        return E_FAIL;
    return AutoRenderToNull(graph, [this] { stopOperation(); }).render(m_source);
}

// A scan starts at the beginning of the file. An Ogg splitter must have data before the graph
// can seek.
HRESULT Assist::rewindForScan() {
    FilterGraph& graph = *this->graph();
    const FilterPtr ogg = graph.findFilterByName(kOggSplitterName);
    if (ogg && !ogg->findPin(PinDirection::Input, true).isNull())
        graph.pause();
    const HRESULT hr = graph.setPosition(0.0);
    m_tap.scan().setCueTimeMs(0);
    return hr;
}

// A source still in a graph is taken out of it; one that refuses is asked once more after a stop.
void Assist::releaseRenderedSource() {
    if (!m_source)
        return;
    if (m_source->graph())
        removeFilter(m_source);
    m_source.reset();
}

void Assist::disconnectAll() {
    if (m_graphHeld && graph())
        GraphTidy::disconnectAll(*graph(), [this] { stopOperation(); });
}

HRESULT Assist::get_SourceFileName(QString* value) {
    if (!value)
        return E_POINTER;
    if (!m_graphHeld || !graph())
        return S_OK;
    if (const FilterPtr source = GraphTidy::findFileSource(*graph()))
        *value = source->fileName();
    return S_OK;
}

// ---- File types --------------------------------------------------------------------------------

HRESULT Assist::GetPinMediaType(const QVariant& pinUnk, FileType* ftype) {
    Pin pin;
    if (!pinFrom(pinUnk, pin))
        return E_INVALIDARG;
    if (!ftype)
        return E_POINTER;
    *ftype = MediaFileType::ofPin(pin);
    return S_OK;
}

HRESULT Assist::GetPinConnectionFileType(const QVariant& pPin, long* ConnectionMediaType) {
    if (!ConnectionMediaType)
        return E_POINTER;
    Pin pin;
    if (!pinFrom(pPin, pin))
        return DISP_E_TYPEMISMATCH;
    *ConnectionMediaType = MediaFileType::connectionFormatTag(pin);
    return S_OK;
}

// The ASF reader is added when this system has one; a graph without it is no failure.
HRESULT Assist::put_AddWMReader(QObject* value) {
    if (!value)
        return E_POINTER;
    auto* graph = qobject_cast<FilterGraph*>(value);
    if (!graph)
        return E_NOINTERFACE;
    const auto filters = media::FilterRegistry::instance().registeredFilters();
    if (const media::FilterItem* reader = filters.item(kWmReaderName)) {
        FilterPtr added;
        reader->createIn(*graph, added, kWmReaderName);
    }
    return S_OK;
}

} // namespace nexuvo
