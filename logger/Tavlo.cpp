#include "logger/Tavlo.h"

#include "engine/EngineMessages.h"
#include "media/NetworkSink.h"
#include "platform/Clock.h"
#include "platform/ComponentLoader.h"
#include "platform/DayNumber.h"
#include "platform/Prompts.h"
#include "platform/Settings.h"

#include <QVBoxLayout>
#include <cmath>
#include <optional>

using platform::Clock;
using platform::Settings;

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kQuillonProgId = QStringLiteral("QUILLON.QuillonCtrl.1");
constexpr double kSecondsPerDay = 86400.0;
constexpr int kMaxPort = 65535;
constexpr int kClientLimit = 50;
constexpr int kSyncLeadSeconds = 10;
constexpr int kSyncWindowSeconds = 11;

// Now, to the whole second, as a day number.
double nowToTheSecond() {
    QDateTime now = Clock::now();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return platform::DayNumber::fromDateTime(now);
}

} // namespace

Tavlo::Tavlo(QWidget* parent) : QWidget(parent), m_engine(new clsTavrel(this)) {
    connect(m_engine, &clsTavrel::GetQuillon, this, &Tavlo::cTavrel_GetQuillon);
    connect(m_engine, &clsTavrel::PlayStateChanged, this, &Tavlo::cTavrel_PlayStateChanged);
    connect(m_engine, &clsTavrel::AudioPeaks, this, &Tavlo::AudioPeaks);
    connect(m_engine, &clsTavrel::Timing, this, &Tavlo::Timing);
    connect(m_engine, &clsTavrel::WriteFailed, this, &Tavlo::cTavrel_WriteFailed);
    createQuillon();
    m_shouldSync = Settings::getBool(kSettings, QStringLiteral("ShouldSync"), true);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &Tavlo::Timer1_Timer);
    m_timer.start();
}

Tavlo::~Tavlo() {
    m_timer.stop();
}

// The network-sink control is a component of its own; without it the logger records all the
// same, with the writer's standard profile and no stream.
void Tavlo::createQuillon() {
    QObject* control = platform::ComponentLoader::instance().create(kQuillonProgId);
    m_quillon = qobject_cast<QWidget*>(control);
    if (!m_quillon) {
        delete control;
        return;
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_quillon);
}

// --- Forwarding to the engine -------------------------------------------------------------

int Tavlo::Initialise() {
    return m_engine->Initialise();
}
const media::KeyedList<media::FilterItem>& Tavlo::colCapture() const {
    return m_engine->colCapture();
}
QString Tavlo::CaptureDeviceName() {
    return m_engine->CaptureDeviceName();
}
void Tavlo::setCaptureDeviceName(const QString& name) {
    m_engine->setCaptureDeviceName(name);
}
int Tavlo::RecordState() const {
    return m_engine->RecordState();
}
bool Tavlo::Record() {
    return m_engine->Record();
}
QString Tavlo::FileName() const {
    return m_engine->FileName();
}
QString Tavlo::FailedFileName() const {
    return m_engine->FailedFileName();
}
int Tavlo::Profile() const {
    return m_engine->Profile();
}
void Tavlo::setProfile(int profile) {
    m_engine->setProfile(profile);
}
int Tavlo::AudioFormat() {
    return m_engine->AudioFormat();
}
bool Tavlo::GetRegistryFilter(const QString& name, media::FilterItem& item) {
    return m_engine->GetRegistryFilter(name, item);
}
bool Tavlo::ShowPropertyPage(QWidget* owner, const QString& filterName) {
    return m_engine->ShowPropertyPage(owner, filterName);
}
int Tavlo::VBRMin() const {
    return m_engine->VBRMin();
}
bool Tavlo::VBR() const {
    return m_engine->VBR();
}
int Tavlo::VBRMax() const {
    return m_engine->VBRMax();
}

bool Tavlo::StopRecording() {
    const bool stopped = m_engine->StopRecording();
    m_streaming = false;
    return stopped;
}

bool Tavlo::OutputFileName(const QString& path) {
    m_streaming = false;
    const bool built = m_engine->OutputFileName(path);
    if (path.isEmpty())
        releaseWriter();
    return built;
}

// With its graph gone, the logger's network-sink control lets go of the writer too: its
// stream closes and the port is free for the logger that records next.
void Tavlo::releaseWriter() {
    if (m_quillon)
        m_quillon->setProperty("ASFWriter", QVariant::fromValue(media::FilterPtr()));
}

bool Tavlo::LameInstalled() {
    media::FilterItem item;
    return m_engine->GetRegistryFilter(EngineMessages::kLameFilterName, item);
}

void Tavlo::setAudioFormat(int format) {
    if (format == 1 && !LameInstalled()) {
        platform::Prompts::instance().messageBox(
            QStringLiteral("Mp3 Encoding is not possible because the LAME Encoder is not "
                           "installed."),
            QStringLiteral("No Lame Encoder!"), platform::PromptButtons::Ok,
            platform::PromptIcon::Information);
        format = 0;
    }
    m_engine->setAudioFormat(format);
}

void Tavlo::ResetLameSettings() {
    m_engine->setChannelMode(0);
    m_engine->setVBR(true);
    m_engine->setVBRMax(128);
    m_engine->setVBRMin(128);
    m_engine->setSampleRate(44100);
}

// --- Settings kept by the logger --------------------------------------------------------------

void Tavlo::setInterval(int code) {
    m_interval = code;
    m_nextChange = 0.0;
}

bool Tavlo::UseStreaming() const {
    return Settings::getBool(kSettings, QStringLiteral("UseStreaming"), false);
}
void Tavlo::setUseStreaming(bool on) {
    Settings::saveBool(kSettings, QStringLiteral("UseStreaming"), on);
}

int Tavlo::PortNumber() const {
    return Settings::getInt(kSettings, QStringLiteral("PortNumber"), 8080);
}
void Tavlo::setPortNumber(int port) {
    if (port > kMaxPort || port < 1)
        port = 0;
    Settings::saveInt(kSettings, QStringLiteral("PortNumber"), port);
}

int Tavlo::MaxClients() const {
    return Settings::getInt(kSettings, QStringLiteral("MaxClients"), 5);
}
void Tavlo::setMaxClients(int clients) {
    if (clients < 1 || clients >= kClientLimit)
        clients = kClientLimit;
    Settings::saveInt(kSettings, QStringLiteral("MaxClients"), clients);
}

bool Tavlo::ShouldSync() {
    m_shouldSync = Settings::getBool(kSettings, QStringLiteral("ShouldSync"), true);
    return m_shouldSync;
}
void Tavlo::setShouldSync(bool on) {
    Settings::saveBool(kSettings, QStringLiteral("ShouldSync"), on);
    m_shouldSync = on;
}

// --- Network sink ---------------------------------------------------------------------------

void Tavlo::cTavrel_GetQuillon(media::FilterPtr writer, media::FilterGraph*) {
    if (!m_quillon)
        return;
    m_quillon->setProperty("ASFWriter", QVariant::fromValue(writer));
    m_quillon->setProperty("ProfileType", m_engine->Profile());
    if (!UseStreaming())
        return;
    // The host takes the stream off the other logger here; its listeners wait for this
    // logger's sink on the port and hear this writer from then on.
    const int port = PortNumber();
    media::NetworkSink::HandOver handOver(port);
    emit AddingNetworkSink();
    int result = 0;
    QMetaObject::invokeMethod(m_quillon, "AddNetworkSink", Q_RETURN_ARG(int, result),
                              Q_ARG(int, port), Q_ARG(int, MaxClients()));
    if (result == -1)
        m_streaming = true;
}

bool Tavlo::RemoveNetworkSink() {
    int result = 0;
    if (m_quillon)
        QMetaObject::invokeMethod(m_quillon, "RemoveNetworkSink", Q_RETURN_ARG(int, result));
    return result != 0;
}

void Tavlo::cTavrel_PlayStateChanged(int oldState, int newState) {
    if (newState == clsTavrel::StateRecording)
        m_nextChange = 0.0;
    emit PlayStateChanged(oldState, newState);
}

// The engine has let go of its graph already; the network-sink control lets go of the writer.
void Tavlo::cTavrel_WriteFailed(int kind, const QString& text) {
    m_streaming = false;
    releaseWriter();
    emit WriteFailed(kind, text);
}

// --- Timing ---------------------------------------------------------------------------------

// Counted in wall-clock time from the date alone: on a day whose midnight the clocks skip, the
// day still starts at 00:00 (its first moment would be 01:00), and the hours stay those on the
// clock face. A top of the hour that the clocks skip is passed at the first moment after it.
double Tavlo::GetNextLogicalTopOfHour() const {
    const QDateTime now = Clock::now().toLocalTime();
    const double midnight = static_cast<double>(platform::DayNumber::baseDate().daysTo(now.date()));
    return midnight + (now.time().hour() + 1) / 24.0;
}

qint64 Tavlo::secondsUntil(double dayNumber) {
    return std::llround((dayNumber - nowToTheSecond()) * kSecondsPerDay);
}

double Tavlo::workOutNextChange() const {
    constexpr double hour = 1.0 / 24.0;
    switch (m_interval) {
    case 0:
    case 5:
        return GetNextLogicalTopOfHour();
    case 1:
        return GetNextLogicalTopOfHour() + hour;
    case 2:
        return GetNextLogicalTopOfHour() + 3 * hour;
    case 3:
        return GetNextLogicalTopOfHour() + 7 * hour;
    case 4:
        return GetNextLogicalTopOfHour() + 23 * hour;
    case 6:
        return nowToTheSecond() + 30.0 / kSecondsPerDay;
    default:
        return 0.0; // no change is worked out for other codes
    }
}

void Tavlo::Timer1_Timer() {
    if (m_busy)
        return;
    m_busy = true;
    if (!m_synchronised && ShouldSync()) {
        const int seconds =
            static_cast<int>(secondsUntil(GetNextLogicalTopOfHour())) - kSyncLeadSeconds;
        emit SecsToNextSynchPoint(seconds);
        if (seconds < kSyncWindowSeconds) {
            m_synchronised = true;
            emit SynchroniseNow();
            m_busy = false;
            return;
        }
    }
    if (m_nextChange <= 0.0)
        m_nextChange = workOutNextChange();
    if (m_nextChange > 0.0) {
        const int remaining = static_cast<int>(secondsUntil(m_nextChange));
        emit CountingDowntoInterval(remaining);
        if (remaining < 0) {
            m_nextChange = 0.0;
            // The host records the next file on the other logger from within this call: the
            // stream's listeners are kept for that logger's sink, whichever logger stops first.
            std::optional<media::NetworkSink::HandOver> handOver;
            if (m_streaming)
                handOver.emplace(PortNumber());
            emit IntervalReached();
        }
    }
    m_busy = false;
}
