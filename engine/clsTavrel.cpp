#include "engine/clsTavrel.h"

#include "engine/Corvate.h"
#include "engine/EngineMessages.h"
#include "engine/frmLameProps.h"
#include "media/AsfWriter.h"
#include "media/DeviceEnumerator.h"
#include "media/FilterRegistry.h"
#include "media/RecordingRepair.h"
#include "nexuvo/IAssist.h"
#include "platform/ComponentLoader.h"
#include "platform/Prompts.h"
#include "platform/Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <sys/stat.h>

using namespace media;
using namespace ResultCode;
using platform::PromptIcon;
using platform::Settings;

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kMpeg = QStringLiteral("MPEGSettings");
const QString kWriterKey = QStringLiteral("WM ASF WRITER");
const QString kGrabberName = QStringLiteral("SampleGrabber");
const QString kAssistProgId = QStringLiteral("Nexuvo.Assist");
constexpr int kPeakCounterLimit = 300000;
constexpr int kMp3Quality = 9; // LAME's fastest
constexpr int kFileCheckMs = 1000;

nexuvo::IAssist* assistOf(QObject* helper) {
    return qobject_cast<nexuvo::IAssist*>(helper);
}

// A path beside the given one that no file has yet, numbered the way new recordings are:
// "name(1).ext", "name(2).ext" … A name that ends in a number already is counted on from it.
QString unusedPathBeside(const QString& path) {
    const QString suffix = QFileInfo(path).suffix();
    QString stem = suffix.isEmpty() ? path : path.chopped(suffix.size() + 1);
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix;
    static const QRegularExpression numbered(QStringLiteral("\\((\\d{1,9})\\)$"));
    int n = 1;
    const QRegularExpressionMatch match = numbered.match(stem);
    if (match.hasMatch()) {
        n = match.captured(1).toInt() + 1;
        stem.chop(match.capturedLength());
    }
    for (;; ++n) {
        const QString candidate = stem + QStringLiteral("(%1)").arg(n) + extension;
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}

} // namespace

clsTavrel::clsTavrel(QObject* parent) : QObject(parent) {
    m_fileCheck.setInterval(kFileCheckMs);
    connect(&m_fileCheck, &QTimer::timeout, this, &clsTavrel::CheckOutputFile);
}

clsTavrel::~clsTavrel() {
    TearDownGraph();
}

// --- Devices and registered filters -------------------------------------------------------

int clsTavrel::Initialise() {
    m_devices.clear();
    // The enumerator names every device of the machine uniquely (same-named devices are
    // numbered), so a refused key comes only from a list that was handed to it ready-made.
    for (const FilterItem& device : DeviceEnumerator::audioCaptureDevices()) {
        if (!m_devices.add(device.name(), device))
            return EngineMessages::kDuplicateKeyError;
    }
    if (m_devices.isEmpty())
        return 1;
    loadRegisteredFilters();
    return m_filters.contains(kWriterKey) ? 0 : 2;
}

void clsTavrel::loadRegisteredFilters() {
    m_filters = FilterRegistry::instance().registeredFilters();
}

QString clsTavrel::CaptureDeviceName() {
    m_captureDeviceName = Settings::getString(kSettings, QStringLiteral("CaptureDeviceName"));
    if (!m_captureDeviceName.isEmpty())
        return m_captureDeviceName;
    if (m_devices.isEmpty())
        Initialise();
    if (const FilterItem* first = m_devices.item(1))
        m_captureDeviceName = first->name();
    return m_captureDeviceName;
}

void clsTavrel::setCaptureDeviceName(const QString& name) {
    if (m_devices.isEmpty())
        Initialise();
    if (m_devices.contains(name)) {
        Settings::saveString(kSettings, QStringLiteral("CaptureDeviceName"), name);
        m_captureDeviceName = name;
        return;
    }
    platform::Prompts::instance().messageBox(
        QStringLiteral("Capture Device %1 does not exist, using first device").arg(name), {},
        platform::PromptButtons::Ok, PromptIcon::None);
    if (const FilterItem* first = m_devices.item(1))
        Settings::saveString(kSettings, QStringLiteral("CaptureDeviceName"), first->name());
}

bool clsTavrel::GetRegistryFilter(const QString& name, FilterItem& item) {
    if (m_filters.isEmpty())
        loadRegisteredFilters();
    if (const FilterItem* filter = m_filters.item(name)) {
        item = *filter;
        return true;
    }
    if (const FilterItem* device = m_devices.item(name)) {
        item = *device;
        return true;
    }
    return false;
}

void clsTavrel::FindPins(const FilterPtr& filter, Pin& input, Pin& output) {
    if (!filter)
        return;
    input = Pin();
    output = Pin();
    const QString filterName = filter->name();
    const bool asfFilter =
        filterName.compare(QLatin1String("WM ASF Reader"), Qt::CaseInsensitive) == 0 ||
        filterName.compare(QLatin1String("WM ASF Writer"), Qt::CaseInsensitive) == 0;
    for (const Pin& pin : filter->pins()) {
        QCoreApplication::processEvents();
        if (asfFilter && !pin.name().contains(QLatin1String("Audio"), Qt::CaseInsensitive))
            continue;
        if (pin.direction() == PinDirection::Output)
            output = pin;
        else
            input = pin;
    }
}

// --- Building -------------------------------------------------------------------------------

bool clsTavrel::OutputFileName(const QString& path) {
    if (path.isEmpty()) {
        SetRecordState(StateStopped);
        m_outputFileName.clear();
        TearDownGraph();
        return false;
    }
    const bool built = BuildGraph(path);
    m_outputFileName = built ? path : QString();
    return built;
}

bool clsTavrel::BuildGraph(const QString& path) {
    if (path.isEmpty()) {
        TearDownGraph();
        return true;
    }
    m_built = false;
    return AudioFormat() != 0 ? BuildMp3Graph(path) : BuildWmaGraph(path);
}

void clsTavrel::startBuild() {
    SetRecordState(StateStopped);
    SetRecordState(StateBuilding);
    TearDownGraphObjects();
    m_graph = std::make_unique<FilterGraph>();
    connect(m_graph.get(), &FilterGraph::eventQueued, this, &clsTavrel::Graph_EventQueued);
}

// False when the device is unknown, which ends the build; a device that cannot be opened only
// shows its message and leaves `capture` empty.
bool clsTavrel::addCaptureFilter(FilterPtr& capture) {
    FilterItem device;
    if (!GetRegistryFilter(m_captureDeviceName, device)) {
        EngineMessages::show(QStringLiteral("Capture Device not Found"));
        return false;
    }
    if (FAILED(device.createIn(*m_graph, capture)) || !capture) {
        EngineMessages::show(QStringLiteral("Cannot add capture device!\r\n"
                                            "Are you running DirectX 9c or later?"),
                             QStringLiteral("DirectX 9c is free from Microsoft for Win98 / "
                                            "2000 / XP."),
                             PromptIcon::Critical);
    }
    return true;
}

// Looks a registered filter up and adds it to the graph under its own name. False (after the
// not-found message) ends the build; a filter that cannot be made only shows its message.
bool clsTavrel::addRegisteredFilter(const QString& name, const QString& notFoundText,
                                    const QString& failedText, FilterPtr& filter) {
    FilterItem item;
    if (!GetRegistryFilter(name, item)) {
        EngineMessages::show(notFoundText);
        return false;
    }
    if (FAILED(item.createIn(*m_graph, filter)))
        EngineMessages::show(failedText);
    return true;
}

bool clsTavrel::BuildWmaGraph(const QString& path) {
    startBuild();
    FilterPtr capture, grabber, writer;
    Pin captureIn, captureOut, grabberIn, grabberOut, writerIn, writerOut;
    if (!addCaptureFilter(capture))
        return false;
    FindPins(capture, captureIn, captureOut);
    if (!addRegisteredFilter(kGrabberName, QStringLiteral("SampleGrabber"),
                             QStringLiteral("Cannot add SampleGrabber"), grabber))
        return false;
    FindPins(grabber, grabberIn, grabberOut);
    if (!addRegisteredFilter(kWriterKey, QStringLiteral("ASF Writer not found!"),
                             QStringLiteral("ASF Writer Cannot be created!"), writer))
        return false;
    FindPins(writer, writerIn, writerOut);
    if (!checkPins(captureOut, grabberIn, grabberOut, writerIn, QStringLiteral("No Vu Pins!"),
                   QStringLiteral("No ASFInPin!")))
        return false;

    try {
        createHelper();
        connectOrThrow(captureOut, grabberIn);
        connectOrThrow(grabberOut, writerIn);
        if (writer->takesFileName())
            throwIfFailed(writer->setFileName(path));
        emit GetQuillon(writer, m_graph.get());
        attachGraphToHelper();
    } catch (const BuildError& error) {
        failBuild(error);
        return false;
    }
    const bool result = tryGraph();
    finishBuild();
    return result;
}

bool clsTavrel::BuildMp3Graph(const QString& path) {
    startBuild();
    FilterPtr capture, grabber, encoder, dump;
    Pin captureIn, captureOut, grabberIn, grabberOut, encoderIn, encoderOut, dumpIn, dumpOut;
    if (!addCaptureFilter(capture))
        return false;
    FindPins(capture, captureIn, captureOut);
    try {
        FilterItem item;
        if (!GetRegistryFilter(kGrabberName, item)) {
            EngineMessages::show(QStringLiteral("SampleGrabber not present..cannot create it"),
                                 QStringLiteral("Contact Support / Reinstall DirectX"),
                                 PromptIcon::Critical);
            return false;
        }
        HRESULT hr = item.createIn(*m_graph, grabber);
        if (FAILED(hr)) {
            EngineMessages::show(QStringLiteral("Cannot add SampleGrabber"));
            throwIfFailed(hr);
        }
        FindPins(grabber, grabberIn, grabberOut);
        if (!GetRegistryFilter(EngineMessages::kLameFilterName, item)) {
            EngineMessages::show(QStringLiteral("LAME Encoder not found!"));
            return false;
        }
        hr = item.createIn(*m_graph, encoder);
        if (FAILED(hr)) {
            EngineMessages::show(QStringLiteral("Lame Encoder cannot be created!"));
            throwIfFailed(hr);
        }
        FindPins(encoder, encoderIn, encoderOut);
        // A filter that holds no LAME encoder stays unbound; its settings are then left alone.
        corvate()->putref_Filter(encoder);
        if (!GetRegistryFilter(QStringLiteral("DUMP"), item)) {
            EngineMessages::show(QStringLiteral("DUMP not found!"));
            return false;
        }
        hr = item.createIn(*m_graph, dump);
        if (FAILED(hr)) {
            EngineMessages::show(QStringLiteral("Dump cannot be created!"));
            throwIfFailed(hr);
        }
        FindPins(dump, dumpIn, dumpOut);
        if (!checkPins(captureOut, grabberIn, grabberOut, dumpIn,
                       QStringLiteral("No SampleGrabber Pins!"), QStringLiteral("No DumpInPin!")))
            return false;
        try {
            createHelper();
        } catch (const BuildError& error) {
            EngineMessages::showError(QStringLiteral("Error Creating the audio assist object"),
                                      error.number, error.description);
            throw;
        }
        connectStep(captureOut, grabberIn, QStringLiteral("Error in connection process 1"));
        connectStep(grabberOut, encoderIn, QStringLiteral("Error in connection process 2"));
        connectStep(encoderOut, dumpIn, QStringLiteral("Error in connection process 3"));
        mp3Step(corvate()->put_Quality(kMp3Quality), QStringLiteral("Error setting mp3 quality"));
        if (dump->takesFileName())
            throwIfFailed(dump->setFileName(path));
        attachGraphToHelperReporting();
        ApplyEncoderSettings();
    } catch (const BuildError& error) {
        failBuild(error);
        return false;
    }
    const bool result = tryGraph();
    finishBuild();
    return result;
}

void clsTavrel::connectStep(const Pin& output, const Pin& input, const QString& failureText) {
    mp3Step(output.isNull() || input.isNull() ? VFW_E_NOT_CONNECTED
                                              : m_graph->connectDirect(output, input),
            failureText);
}

// Each missing pin ends the build with its message.
bool clsTavrel::checkPins(const Pin& captureOut, const Pin& grabberIn, const Pin& grabberOut,
                          const Pin& sinkIn, const QString& noGrabberPins,
                          const QString& noSinkPin) {
    if (captureOut.isNull()) {
        EngineMessages::show(QStringLiteral("No Capture out pin!"));
        return false;
    }
    if (grabberIn.isNull() || grabberOut.isNull()) {
        EngineMessages::show(noGrabberPins);
        return false;
    }
    if (sinkIn.isNull()) {
        EngineMessages::show(noSinkPin);
        return false;
    }
    return true;
}

void clsTavrel::createHelper() {
    QObject* helper = platform::ComponentLoader::instance().create(kAssistProgId);
    if (!helper || !assistOf(helper)) {
        delete helper;
        throw BuildError{EngineMessages::kCannotCreateObjectError,
                         QStringLiteral("ActiveX component can't create object")};
    }
    m_helper = helper;
    connect(helper, SIGNAL(ThreadEvent(int, int)), this, SLOT(Helper_ThreadEvent(int, int)));
}

void clsTavrel::attachGraphToHelper() {
    nexuvo::IAssist* assist = assistOf(m_helper);
    throwIfFailed(assist->putref_CurrentGraph(m_graph.get()));
    throwIfFailed(assist->put_ThreadSleepmS(kThreadSleepMs));
}

// The MP3 build names the helper step that failed.
void clsTavrel::attachGraphToHelperReporting() {
    nexuvo::IAssist* assist = assistOf(m_helper);
    mp3Step(assist->putref_CurrentGraph(m_graph.get()),
            QStringLiteral("Error setting currentgraph for helper"));
    mp3Step(assist->put_ThreadSleepmS(kThreadSleepMs),
            QStringLiteral("Error Setting Helper's Thread Sleep"));
}

// A failed step of the MP3 build: its message, then the build's failure handling.
void clsTavrel::mp3Step(HRESULT hr, const QString& failureText) {
    if (FAILED(hr)) {
        EngineMessages::showError(failureText, hr, EngineMessages::describe(hr));
        throwIfFailed(hr);
    }
}

void clsTavrel::connectOrThrow(const Pin& output, const Pin& input) {
    throwIfFailed(m_graph->connectDirect(output, input));
}

void clsTavrel::throwIfFailed(HRESULT hr) {
    if (FAILED(hr))
        throw BuildError{hr, EngineMessages::describe(hr)};
}

// The trial run: a graph that can record starts and stops at once without complaint.
bool clsTavrel::tryGraph() {
    HRESULT hr = m_graph->run();
    const HRESULT stopped = m_graph->stop();
    if (SUCCEEDED(hr))
        hr = stopped;
    if (SUCCEEDED(hr))
        return true;
    EngineMessages::show(EngineMessages::kRecorderWillNotRun,
                         QStringLiteral("Try Updating DirectX and your drivers."),
                         PromptIcon::Critical);
    return false;
}

void clsTavrel::finishBuild() {
    m_built = true;
    SetRecordState(StateReady);
}

void clsTavrel::failBuild(const BuildError& error) {
    EngineMessages::showError(QStringLiteral("Error Building Graph"), error.number,
                              error.description, PromptIcon::None);
    SetRecordState(StateFailed);
}

void clsTavrel::TearDownGraph() {
    TearDownGraphObjects();
    m_built = false;
}

void clsTavrel::TearDownGraphObjects() {
    if (m_graph)
        m_graph->stop();
    // The helper lets go of the graph before the graph goes.
    delete m_helper.data();
    m_helper.clear();
    m_graph.reset();
}

// --- Record state ---------------------------------------------------------------------------

bool clsTavrel::helperHasGraph() const {
    nexuvo::IAssist* assist = assistOf(m_helper);
    if (!assist)
        return false;
    QObject* graph = nullptr;
    return SUCCEEDED(assist->get_CurrentGraph(&graph)) && graph;
}

void clsTavrel::SetRecordState(int n) {
    if (n == m_recordState)
        return;
    if (n == StateBuilding) {
        emit PlayStateChanged(m_lastAnnounced, StateBuilding);
        m_lastAnnounced = StateBuilding;
        return;
    }
    if (!m_helper || !helperHasGraph() || !m_graph) {
        m_recordState = StateStopped;
        return;
    }
    nexuvo::IAssist* assist = assistOf(m_helper);
    HRESULT hr = S_OK;
    switch (n) {
    case StateRecording:
        hr = m_graph->run();
        if (SUCCEEDED(hr))
            hr = assist->RunGraph();
        break;
    case StateStopped:
    case StateReady:
        hr = m_graph->stop();
        // A writer that failed while the graph drained could not end its file.
        if (m_recordState == StateRecording && m_graph->lastErrorKind() != GraphErrorKind::None &&
            !m_outputFileName.isEmpty())
            finaliseRecording(m_outputFileName);
        if (SUCCEEDED(hr))
            hr = assist->StopGraph();
        break;
    default:
        break;
    }
    if (SUCCEEDED(hr) && n == StateRecording) {
        noteOutputFile();
        m_fileCheck.start();
    } else {
        m_fileCheck.stop();
    }
    if (FAILED(hr)) {
        m_recordState = StateFailed;
        emit PlayStateChanged(m_lastAnnounced, StateFailed);
        emit AudioPeaks(0, 0);
        m_lastAnnounced = StateFailed;
        return;
    }
    if (n == StateRecording || n == StateStopped || n == StateReady) {
        m_recordState = n;
        emit PlayStateChanged(m_lastAnnounced, m_recordState);
    }
    if (m_recordState != StateRecording)
        emit AudioPeaks(0, 0);
    m_lastAnnounced = m_recordState;
}

// --- Faults while recording ----------------------------------------------------------------

// The graph's events are read by the helper; an error shows here as the graph's first error of
// the run. The recording is ended from the event loop, not from inside the graph's own signal.
void clsTavrel::Graph_EventQueued() {
    if (m_recordState != StateRecording || !m_graph || m_failurePending ||
        m_graph->lastErrorKind() == GraphErrorKind::None)
        return;
    m_failurePending = true;
    QMetaObject::invokeMethod(
        this,
        [this, graph = m_graph.get()] {
            m_failurePending = false;
            if (m_graph.get() != graph || m_recordState != StateRecording)
                return;
            endFailedRecording(graph->lastErrorKind(), graph->lastError(), true);
        },
        Qt::QueuedConnection);
}

void clsTavrel::noteOutputFile() {
    struct stat info {};
    m_fileKnown = !m_outputFileName.isEmpty() &&
                  ::stat(QFile::encodeName(m_outputFileName).constData(), &info) == 0;
    m_fileDevice = m_fileKnown ? static_cast<quint64>(info.st_dev) : 0;
    m_fileInode = m_fileKnown ? static_cast<quint64>(info.st_ino) : 0;
}

// Once a second while recording. Writes to a file whose folder was removed, or whose drive was
// unmounted lazily, still succeed, so no error comes from the writer: the path is checked.
void clsTavrel::CheckOutputFile() {
    if (m_recordState != StateRecording || !m_graph)
        return;
    if (m_graph->lastErrorKind() != GraphErrorKind::None) { // in case its event was missed
        Graph_EventQueued();
        return;
    }
    if (!m_fileKnown)
        return;
    struct stat info {};
    const bool same = ::stat(QFile::encodeName(m_outputFileName).constData(), &info) == 0 &&
                      static_cast<quint64>(info.st_dev) == m_fileDevice &&
                      static_cast<quint64>(info.st_ino) == m_fileInode;
    if (same)
        return;
    endFailedRecording(
        GraphErrorKind::WriteError,
        QStringLiteral("The recording file %1 has gone (its folder was removed or unmounted)")
            .arg(m_outputFileName),
        false);
}

// Stops and releases the graph, finalises the file (when the path still leads to it), goes to
// state 0 and says why. A graph whose writer failed is not drained: nothing more can reach the
// file. A file that has gone is drained as usual, so that it is complete wherever it now is.
void clsTavrel::endFailedRecording(GraphErrorKind kind, const QString& text, bool fileIsOurs) {
    m_fileCheck.stop();
    const QString path = m_outputFileName;
    if (m_graph)
        m_graph->stop();
    if (nexuvo::IAssist* assist = assistOf(m_helper))
        assist->StopGraph();
    TearDownGraph();
    if (fileIsOurs && !path.isEmpty())
        finaliseRecording(path);
    m_failedFileName = path;
    m_recordState = StateStopped;
    emit PlayStateChanged(m_lastAnnounced, StateStopped);
    m_lastAnnounced = StateStopped;
    emit AudioPeaks(0, 0);
    emit WriteFailed(static_cast<int>(kind), text);
}

bool clsTavrel::Record() {
    SetRecordState(StateRecording);
    return m_recordState == StateRecording;
}

bool clsTavrel::StopRecording() {
    SetRecordState(StateStopped);
    return m_recordState <= StateStopped;
}

void clsTavrel::Helper_ThreadEvent(int LeftPeak, int RightPeak) {
    if (m_peakEvents > kPeakCounterLimit)
        m_peakEvents = 0;
    ++m_peakEvents;
    if (m_peakEvents % 2 != 0 || m_recordState != StateRecording)
        return;
    emit AudioPeaks(LeftPeak, RightPeak);
    double position = 0.0;
    if (m_peakEvents % 10 == 0 && m_graph && SUCCEEDED(m_graph->currentPosition(position)))
        emit Timing(position);
}

// --- Settings -------------------------------------------------------------------------------

void clsTavrel::setProfile(int profile) {
    m_profile = profile;
    if (!m_graph || m_recordState == StateStopped)
        return;
    const int noted = m_recordState;
    EngineMessages::show(QStringLiteral("This Change will reset the recording!"), {},
                         PromptIcon::Information);
    // A writer started on the running file's path would begin it afresh and lose what it holds:
    // that file is finished as it stands and the recording goes on in a new one beside it.
    const QString path =
        noted == StateRecording ? unusedPathBeside(m_outputFileName) : m_outputFileName;
    if (!OutputFileName(path)) {
        EngineMessages::show(QStringLiteral("Could not use the new profile bitrate!"), {},
                             PromptIcon::Critical);
        return;
    }
    if (noted != StateRecording)
        return;
    if (Record())
        EngineMessages::show(
            QStringLiteral("The recording restarted successfully at the new bitrate"), {},
            PromptIcon::Information);
    else
        EngineMessages::show(QStringLiteral("The Recording could not be restarted."), {},
                             PromptIcon::Critical);
}

// A stored value that names no format (edited by hand) reads as WMA, the format the main
// window's list shows for it, so what is shown is what is recorded.
int clsTavrel::AudioFormat() {
    const int stored = Settings::getInt(kSettings, QStringLiteral("AudioFormat"), 0);
    m_audioFormat = stored == 1 ? 1 : 0;
    return m_audioFormat;
}

void clsTavrel::setAudioFormat(int format) {
    Settings::saveInt(kSettings, QStringLiteral("AudioFormat"), format);
    m_audioFormat = format;
}

int clsTavrel::VBRMin() const {
    return Settings::getInt(kMpeg, QStringLiteral("VBRMin"), 128);
}
void clsTavrel::setVBRMin(int kbps) {
    Settings::saveInt(kMpeg, QStringLiteral("VBRMin"), kbps);
}
int clsTavrel::VBRMax() const {
    return Settings::getInt(kMpeg, QStringLiteral("VBRMax"), 128);
}
void clsTavrel::setVBRMax(int kbps) {
    Settings::saveInt(kMpeg, QStringLiteral("VBRMax"), kbps);
}
int clsTavrel::ChannelMode() const {
    return Settings::getInt(kMpeg, QStringLiteral("ChannelMode"), 0);
}
void clsTavrel::setChannelMode(int mode) {
    Settings::saveInt(kMpeg, QStringLiteral("ChannelMode"), mode);
}
bool clsTavrel::VBR() const {
    return Settings::getBool(kMpeg, QStringLiteral("VBR"), false);
}
void clsTavrel::setVBR(bool on) {
    Settings::saveBool(kMpeg, QStringLiteral("VBR"), on);
}
int clsTavrel::SampleRate() const {
    return Settings::getInt(kMpeg, QStringLiteral("SampleRate"), 44100);
}
void clsTavrel::setSampleRate(int hz) {
    Settings::saveInt(kMpeg, QStringLiteral("SampleRate"), hz);
}

// --- MP3 encoder ----------------------------------------------------------------------------

Corvate* clsTavrel::corvate() {
    if (!m_corvate)
        m_corvate = std::make_unique<Corvate>();
    return m_corvate.get();
}

// Hands the stored settings to the bound encoder. What the encoder refuses is left as it was:
// errors here do not stop a build.
void clsTavrel::ApplyEncoderSettings() {
    FilterPtr bound;
    if (!m_corvate || FAILED(m_corvate->get_Filter(&bound)) || !bound)
        return;
    m_corvate->put_VBR(VBR());
    bool variable = false;
    m_corvate->get_VBR(&variable);
    if (variable) {
        m_corvate->put_VBRMax(VBRMax());
        m_corvate->put_VBRMin(VBRMin());
    } else {
        m_corvate->put_Bitrate(VBRMin());
    }
    m_corvate->put_ChannelMode(ChannelMode());
    m_corvate->put_OutputSampleRate(SampleRate());
    m_corvate->put_Commit(true);
}

void clsTavrel::FrmLame_GetCorvate(Corvate** object) {
    if (object)
        *object = corvate();
}

void clsTavrel::FrmLame_ChannelModeChanged(int ChanMode) {
    setChannelMode(ChanMode);
}

void clsTavrel::FrmLame_MinBitRateChanged(int MinBitRate) {
    setVBRMin(MinBitRate);
}

void clsTavrel::FrmLame_MaxBitRateChanged(int MaxBitRate) {
    setVBRMax(MaxBitRate);
}

void clsTavrel::FrmLame_SampleRateChanged(int SampleRate) {
    setSampleRate(SampleRate);
}

void clsTavrel::FrmLame_VBRChanged(bool on) {
    setVBR(on);
}

// --- Property pages -------------------------------------------------------------------------

// A fresh dialog for every showing, gone when it closes.
bool clsTavrel::ShowEncoderDialog(QWidget* owner) {
    frmLameProps dialog(owner);
    connect(&dialog, &frmLameProps::GetCorvate, this, &clsTavrel::FrmLame_GetCorvate);
    connect(&dialog, &frmLameProps::ChannelModeChanged, this,
            &clsTavrel::FrmLame_ChannelModeChanged);
    connect(&dialog, &frmLameProps::MinBitRateChanged, this, &clsTavrel::FrmLame_MinBitRateChanged);
    connect(&dialog, &frmLameProps::MaxBitRateChanged, this, &clsTavrel::FrmLame_MaxBitRateChanged);
    connect(&dialog, &frmLameProps::SampleRateChanged, this, &clsTavrel::FrmLame_SampleRateChanged);
    connect(&dialog, &frmLameProps::VBRChanged, this, &clsTavrel::FrmLame_VBRChanged);
    if (dialog.activate())
        platform::Prompts::instance().execDialog(dialog);
    return true;
}

bool clsTavrel::ShowPropertyPage(QWidget* owner, const QString& filterName) {
    if (filterName.contains(QLatin1String("Encoder"), Qt::CaseInsensitive) &&
        filterName.contains(QLatin1String("Lame"), Qt::CaseInsensitive))
        return ShowEncoderDialog(owner);
    if (!m_graph)
        return false;
    for (const FilterPtr& filter : m_graph->filters()) {
        if (filter->name().compare(filterName, Qt::CaseInsensitive) == 0)
            return SUCCEEDED(filter->showPropertyPage(owner));
    }
    EngineMessages::show(filterName + QStringLiteral(" could not be found in the graph."));
    return true;
}
