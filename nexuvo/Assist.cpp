#include "nexuvo/Assist.h"

#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "nexuvo/AssistArguments.h"
#include "nexuvo/AssistMessages.h"
#include "nexuvo/AudioRendererFinder.h"
#include "nexuvo/CapturePinBuffer.h"
#include "nexuvo/PipelinePosition.h"
#include "nexuvo/PitchShifter.h"
#include "nexuvo/RendererEnumerator.h"
#include "nexuvo/VBCol.h"

#include <QFileInfo>

#include <cmath>

namespace nexuvo {

using namespace AssistArguments;
using namespace ResultCode;
using media::FilterGraph;
using media::FilterPtr;
using media::Pin;
using media::PinDirection;

namespace {

constexpr int kMaxRenderers = 100;
constexpr double kSegueLeadSeconds = 20.0;

bool connectedOnBothSides(const media::Filter& filter) {
    return !filter.findPin(PinDirection::Input, true).isNull() &&
           !filter.findPin(PinDirection::Output, true).isNull();
}

} // namespace

Assist::Assist(QObject* parent)
    : QObject(parent), m_window(std::make_unique<MessageWindow>(static_cast<Receiver&>(*this))),
      m_tap([this](int message, qintptr wParam) { post(message, wParam); }) {
    m_tap.startThread();
}

// Workers first: the peak thread ends and the grabber lets go of the callback before the ring
// and the message window they use go.
Assist::~Assist() {
    if (!m_tap.stopped())
        stopOperation();
    m_tap.stopMeasuring();
    m_tap.setIntakeDisabled(true);
    m_tap.endThread();
    detach();
    m_tap.ring().release();
    m_window.reset();
    qDeleteAll(m_renderers);
}

void Assist::post(int message, qintptr wParam) {
    m_window->post(message, wParam);
}

// ---- Messages -----------------------------------------------------------------------------

void Assist::handleMessage(int message, qintptr wParam) {
    switch (message) {
    case AssistMessage::ThreadEvent:
        // A measurement that was on its way when the measuring stopped is not reported after
        // the stop.
        if (wParam == kPostedByPeakThread && m_tap.stopped())
            return;
        fireThreadEvent();
        break;
    case AssistMessage::CueIn:
        stopOperation();
        dropQueuedGraphEvents();
        emit CueInFound(static_cast<int>(m_tap.scan().cueTimeMs()));
        break;
    case AssistMessage::GraphEvent:
        handleGraphEvents();
        break;
    case AssistMessage::BufferFull:
        // The address was taken when the message was posted; a ring allocated since (a new
        // prepare) makes it one the client must not read.
        if (wParam == m_tap.ring().address())
            emit BufferFull(wParam);
        break;
    default:
        break;
    }
}

void Assist::fireThreadEvent() {
    QPointer<Assist> alive(this);
    m_tap.setFiring(true);
    emit ThreadEvent(m_tap.leftPeak(), m_tap.rightPeak());
    if (alive)
        m_tap.setFiring(false);
}

// One graph event per notification; events of no interest are passed over until one of the
// listed codes comes or none is left.
void Assist::handleGraphEvents() {
    if (!m_graphEvents || !graph())
        return;
    media::GraphEventRecord event;
    while (graph()->getEvent(event)) {
        switch (event.code) {
        case media::GraphEvent::Complete:
            handleCompletion();
            return;
        case media::GraphEvent::UserAbort:
        case media::GraphEvent::ErrorAbort:
        case media::GraphEvent::Paused:
        case media::GraphEvent::StreamControlStopped:
        case media::GraphEvent::StreamControlStarted:
            return;
        default:
            break;
        }
    }
}

void Assist::handleCompletion() {
    if (m_paused != 0)
        return;
    post(AssistMessage::BufferFull, m_tap.ring().address());
    m_paused = 1;
    QPointer<Assist> alive(this);
    emit EndOfStream();
    if (!alive)
        return;
    const CueSegueScan& scan = m_tap.scan();
    const long segueTime = scan.segueTimeMs();
    if (!scan.segueSeeking() || segueTime <= 0)
        return;
    emit SegueFound(static_cast<int>(segueTime));
    if (alive)
        stopOperation();
}

// A cue-in cuts the scan short: whatever the graph told of that scan before the stop (its end,
// reached while the cue-in was on its way here) is no longer news.
void Assist::dropQueuedGraphEvents() {
    if (!graph())
        return;
    media::GraphEventRecord event;
    while (graph()->getEvent(event)) {
    }
}

// ---- Attach, prepare, detach --------------------------------------------------------------

HRESULT Assist::get_CurrentGraph(QObject** graph) {
    if (!graph)
        return E_POINTER;
    if (m_graphHeld && this->graph())
        *graph = this->graph();
    return S_OK;
}

HRESULT Assist::putref_CurrentGraph(QObject* graph) {
    if (!graph) {
        detachAndForgetScan();
        return S_OK;
    }
    return attach(graph);
}

HRESULT Assist::SetGraph(QObject* pUnk) {
    return putref_CurrentGraph(pUnk);
}

QObject* Assist::currentGraph() {
    QObject* graph = nullptr;
    get_CurrentGraph(&graph);
    return graph;
}

void Assist::detachAndForgetScan() {
    m_tap.setIntakeDisabled(true);
    detach();
    CueSegueScan& scan = m_tap.scan();
    scan.setFileScan(false);
    scan.setCueFound(false);
    scan.setCueTimeMs(0);
}

HRESULT Assist::attach(QObject* object) {
    if (m_graphHeld)
        detachAndForgetScan();
    auto* graph = qobject_cast<FilterGraph*>(object);
    if (!graph)
        return DISP_E_TYPEMISMATCH;
    m_tap.setIntakeDisabled(false);
    m_tap.setEarliestSampleTime(kEarliestSampleTimeOnAttach);
    holdGraph(*graph);
    return prepareGrabberInGraph();
}

void Assist::holdGraph(FilterGraph& graph) {
    m_graph = &graph;
    m_graphHeld = true;
    m_tap.setGraphAttached(true);
}

HRESULT Assist::prepareGrabberInGraph() {
    FilterGraph& graph = *this->graph();
    FilterPtr grabber = graph.findFilterByName(grabberName());
    if (!grabber && m_useInputGrabber)
        return S_OK; // nothing to measure
    if (!grabber) {
        const auto filters = media::FilterRegistry::instance().registeredFilters();
        if (const media::FilterItem* item = filters.item(kGrabberName))
            item->createIn(graph, grabber, kGrabberName);
    }
    if (!grabber || !connectedOnBothSides(*grabber)) {
        const HRESULT spliced = spliceGrabber(graph);
        if (spliced != S_OK)
            return spliced == S_FALSE ? S_OK : spliced;
    }
    if (graph.findFilterByName(kOggSplitterName) || m_usePitchAdjuster) {
        const HRESULT inserted = insertPitchShifter(graph);
        if (FAILED(inserted))
            return inserted;
    }
    return prepareGrabber();
}

// Puts "SampleGrabber" between the audio renderer and the filter feeding it. S_FALSE when the
// graph has no "SampleGrabber" at all: nothing is to be prepared then.
HRESULT Assist::spliceGrabber(FilterGraph& graph) {
    const FilterPtr grabber = graph.findFilterByName(kGrabberName);
    if (!grabber)
        return S_FALSE;
    const Pin grabberIn = grabber->findPin(PinDirection::Input, false);
    const Pin grabberOut = grabber->findPin(PinDirection::Output, false);
    if (grabberIn.isNull() || grabberOut.isNull())
        return E_FAIL;

    AudioRenderer renderer;
    const HRESULT found = AudioRendererFinder::find(graph, renderer);
    if (FAILED(found))
        return found;
    const Pin upstream = renderer.input.connectedTo();
    if (upstream.isNull()) {
        detach();
        return E_UNEXPECTED;
    }
    const FilterPtr upstreamFilter = upstream.filter();
    if (!upstreamFilter)
        return E_UNEXPECTED;
    if (upstreamFilter->name() == kGrabberName)
        return S_OK;
    graph.disconnect(upstream);
    graph.disconnect(renderer.input);
    graph.connectDirect(upstream, grabberIn);
    graph.connectDirect(grabberOut, renderer.input);
    return S_OK;
}

HRESULT Assist::insertPitchShifter(FilterGraph& graph) {
    AudioRenderer renderer;
    const HRESULT found = AudioRendererFinder::find(graph, renderer);
    if (FAILED(found))
        return found;
    return PitchShifter::insertBefore(graph, renderer.input);
}

// Takes the grabber's callback, reads the format it passes and sizes the ring for it. The object
// is left stopped with its intake enabled.
HRESULT Assist::prepareGrabber() {
    stopOperation();
    m_tap.setIntakeDisabled(false);
    if (m_graphHeld && graph()) {
        if (!m_graphEvents) {
            m_graphEvents = connect(graph(), &FilterGraph::eventQueued, this,
                                    [this] { handleMessage(AssistMessage::GraphEvent, 0); });
        }
        HRESULT hr = takeGrabberCallback();
        if (SUCCEEDED(hr))
            hr = readGrabbedFormat();
        if (FAILED(hr))
            return hr;
        holdGraphControl();
    }
    m_tap.prepareRing(m_format.averageBytesPerSecond);
    return S_OK;
}

HRESULT Assist::takeGrabberCallback() {
    auto grabber =
        std::dynamic_pointer_cast<media::SampleGrabber>(graph()->findFilterByName(grabberName()));
    if (!grabber)
        return S_OK;
    grabber->setBufferSamples(false);
    const HRESULT hr = grabber->setCallback(&m_tap, 0);
    if (FAILED(hr))
        return hr;
    if (m_grabber && m_grabber != grabber)
        m_grabber->setCallback(nullptr, 0);
    m_grabber = grabber;
    return S_OK;
}

HRESULT Assist::readGrabbedFormat() {
    const FilterPtr grabber = graph()->findFilterByName(grabberName());
    const Pin output = grabber ? grabber->findPin(PinDirection::Output, true) : Pin();
    if (output.isNull())
        return E_FAIL;
    media::MediaType type;
    HRESULT hr = output.connectionMediaType(type);
    if (hr == E_FAIL)
        hr = readFormatAfterPreroll(output, type);
    if (FAILED(hr))
        return hr;
    const media::WaveFormat wave = type.hasWaveFormat ? type.wave : media::WaveFormat();
    m_format.sampleRate = static_cast<int>(wave.samplesPerSec);
    m_format.averageBytesPerSecond = static_cast<int>(wave.avgBytesPerSec);
    m_format.channels = wave.channels;
    m_format.bitsPerSample = wave.bitsPerSample;
    m_format.blockAlign = wave.blockAlign;
    m_format.sampleSize = static_cast<int>(type.sampleSize);
    return S_OK;
}

// The format of a graph that decodes a file is settled only once data has reached the grabber: the
// stopped graph is filled up to its renderers, the format read, and the graph stopped again.
// Nothing of that data enters the ring.
HRESULT Assist::readFormatAfterPreroll(const Pin& output, media::MediaType& type) {
    FilterGraph& graph = *this->graph();
    if (graph.state() != FilterGraph::State::Stopped)
        return E_FAIL;
    const bool intakeWasDisabled = m_tap.intakeDisabled();
    m_tap.setIntakeDisabled(true);
    graph.pause();
    const HRESULT hr = output.connectionMediaType(type);
    graph.stop();
    m_tap.setIntakeDisabled(intakeWasDisabled);
    return hr;
}

void Assist::holdGraphControl() {
    if (m_controlHeld)
        return;
    m_tap.setPositionSource(std::make_unique<PipelinePosition>(*graph()));
    m_controlHeld = true;
}

// Lets go of the graph, and takes the source of a render to null out of it. The peak thread is
// done with the graph's position and the grabber with the callback before this returns.
void Assist::detach() {
    releaseRenderedSource();
    m_format.sampleRate = 0;
    m_format.averageBytesPerSecond = 0;
    m_format.bitsPerSample = 0;
    m_format.blockAlign = 0;
    m_tap.setPositionSource(nullptr);
    m_controlHeld = false;
    disconnect(m_graphEvents);
    m_graphEvents = {};
    if (m_grabber) {
        m_grabber->setCallback(nullptr, 0);
        m_grabber.reset();
    }
    m_graph = nullptr;
    m_graphHeld = false;
    m_tap.setGraphAttached(false);
}

QString Assist::grabberName() const {
    return m_useInputGrabber ? kInputGrabberName : kGrabberName;
}

// ---- Run, stop, pause ---------------------------------------------------------------------

HRESULT Assist::RunGraph() {
    m_tap.clearStopped();
    m_paused = 0;
    if (m_tap.scan().segueSeeking() && m_controlHeld)
        seekForSegue();
    if (m_controlHeld) {
        m_tap.clearStopped();
        if (graph())
            graph()->run();
        m_tap.markRunStart();
    }
    return S_OK;
}

HRESULT Assist::StopGraph() {
    stopOperation();
    return S_OK;
}

void Assist::stopOperation() {
    m_tap.stopMeasuring();
    m_paused = 0;
    m_tap.ring().clearWrapped();
    if (m_controlHeld) {
        if (graph())
            graph()->stop();
        m_tap.ring().clearAfterStop();
        post(AssistMessage::ThreadEvent);
    } else if (m_graphHeld && graph()) {
        graph()->stop();
    }
}

// The graph is made ready to seek first: a stopped graph has no position to move. What it fills
// itself with from the start of the file is kept out of the intake; the segue time starts at the
// seek point before the first audio from there can reach the segue test.
void Assist::seekForSegue() {
    FilterGraph* graph = this->graph();
    if (!graph)
        return;
    if (graph->state() == FilterGraph::State::Stopped) {
        const bool intakeWasDisabled = m_tap.intakeDisabled();
        m_tap.setIntakeDisabled(true);
        graph->pause();
        m_tap.setIntakeDisabled(intakeWasDisabled);
    }
    double duration = 0.0;
    graph->duration(duration);
    const double start = std::max(0.0, duration - kSegueLeadSeconds);
    m_tap.scan().setSegueTimeMs(static_cast<long>(std::trunc(start * 1000.0)));
    graph->setPosition(start);
}

HRESULT Assist::PauseGraph() {
    m_paused = 1;
    if (m_controlHeld)
        post(AssistMessage::ThreadEvent);
    return S_OK;
}

HRESULT Assist::get_Paused(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_paused;
    return S_OK;
}

HRESULT Assist::put_Paused(long value) {
    m_paused = value;
    m_tap.ring().clearWrapped();
    return S_OK;
}

HRESULT Assist::AdviseSeeking() {
    m_tap.markRunStart();
    return S_OK;
}

// ---- Graph utilities ----------------------------------------------------------------------

HRESULT Assist::SetNullClock(QObject* GraphMan) {
    auto* graph = qobject_cast<FilterGraph*>(GraphMan);
    if (!graph)
        return DISP_E_TYPEMISMATCH;
    graph->setNoClock(true);
    return S_OK;
}

HRESULT Assist::UseSystemClock() {
    return S_OK;
}

HRESULT Assist::SetMinBufferSize() {
    return S_OK;
}

HRESULT Assist::SetCapturePinMinBuffer(const QVariant& pPin) {
    Pin pin;
    if (!pinFrom(pPin, pin))
        return DISP_E_TYPEMISMATCH;
    return CapturePinBuffer::suggestMinBuffer(pin);
}

HRESULT Assist::RemoveFilter(const QVariant& Filter) {
    FilterPtr filter;
    if (!filterFrom(Filter, filter))
        return E_NOINTERFACE;
    if (!filter)
        return E_POINTER;
    return removeFilter(filter);
}

// From the graph the filter is in; a refused removal is tried once more after a stop.
HRESULT Assist::removeFilter(const FilterPtr& filter) {
    FilterGraph* owner = filter->graph();
    if (!owner)
        return E_FAIL;
    if (SUCCEEDED(owner->removeFilter(filter)))
        return S_OK;
    stopOperation();
    return SUCCEEDED(owner->removeFilter(filter)) ? S_OK : E_FAIL;
}

HRESULT Assist::get_RemoveFilterFromGraph(QObject* pUnkGraph, const QVariant& pUnkFilter,
                                          long* value) {
    if (!value)
        return E_POINTER;
    if (!pUnkGraph || !pUnkFilter.isValid())
        return E_INVALIDARG;
    FilterPtr filter;
    if (!qobject_cast<FilterGraph*>(pUnkGraph) || !filterFrom(pUnkFilter, filter))
        return DISP_E_TYPEMISMATCH;
    if (!filter)
        return E_INVALIDARG;
    *value = SUCCEEDED(removeFilter(filter)) ? 1 : 0;
    return S_OK;
}

HRESULT Assist::get_IsPinConnected(const QVariant& pPin, long* value) {
    if (!value)
        return E_POINTER;
    Pin pin;
    if (!pinFrom(pPin, pin))
        return DISP_E_TYPEMISMATCH;
    *value = pin.isConnected() ? 1 : 0;
    return S_OK;
}

// ---- Pitch ---------------------------------------------------------------------------------

HRESULT Assist::get_Pitch(double* value) {
    if (!value)
        return E_POINTER;
    *value = m_tap.pitch();
    return S_OK;
}

HRESULT Assist::put_Pitch(double value) {
    m_tap.setPitch(value);
    sendPitch();
    return S_OK;
}

void Assist::sendPitch() {
    if (!m_graphHeld || !graph())
        return;
    const int speed = PitchShifter::speedValue(m_tap.pitch());
    if (PitchShifter::sendSpeed(*graph(), speed))
        m_pitchValueSent = speed;
}

HRESULT Assist::get_UsePitchAdjuster(short* value) {
    if (!value)
        return E_POINTER;
    *value = m_usePitchAdjuster ? -1 : 0;
    return S_OK;
}

HRESULT Assist::put_UsePitchAdjuster(short value) {
    m_usePitchAdjuster = isTrue(value);
    return S_OK;
}

HRESULT Assist::get_AvoidsActualRate(long* value) {
    if (!value)
        return E_POINTER;
    *value = m_tap.avoidsActualRate() ? -1 : 0;
    return S_OK;
}

HRESULT Assist::put_AvoidsActualRate(long value) {
    m_tap.setAvoidsActualRate(isTrue(value));
    return S_OK;
}

// ---- Renderer list -------------------------------------------------------------------------

HRESULT Assist::CountRenderers() {
    rebuildRendererList();
    return S_OK;
}

HRESULT Assist::FindRenderers() {
    rebuildRendererList();
    return S_OK;
}

void Assist::rebuildRendererList() {
    qDeleteAll(m_renderers);
    m_renderers.clear();
    for (const media::FilterItem& device : media::DeviceEnumerator::audioRenderers()) {
        if (m_renderers.size() == kMaxRenderers)
            break;
        m_renderers.append(new VBCol(device));
    }
}

HRESULT Assist::get_NewEnum(QObject** enumerator) {
    if (!enumerator)
        return E_POINTER;
    *enumerator = new RendererEnumerator(m_renderers);
    return S_OK;
}

QObject* Assist::newEnum() {
    QObject* enumerator = nullptr;
    get_NewEnum(&enumerator);
    return enumerator;
}

HRESULT Assist::get_name(QString* name) {
    return name ? E_NOTIMPL : E_POINTER;
}

HRESULT Assist::CreateInGraph(QObject*, const QString&) {
    return E_NOTIMPL;
}

} // namespace nexuvo
