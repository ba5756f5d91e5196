// The silence alarm: dead air on the input being recorded is told in the window, the tray, the
// event log and the alarm command, and its settings are kept with the other alarms.
#include "app/frmMain.h"

#include "logger/Tavlo.h"
#include "platform/AlarmHook.h"
#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "platform/Settings.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <optional>

using platform::Clock;
using platform::LogLevel;
using platform::Settings;

namespace {
const QString kAlarms = QStringLiteral("Alarms");
const QString kThresholdKey = QStringLiteral("SilenceThreshold");
const QString kSecondsKey = QStringLiteral("SilenceSeconds");
// How often time passing is looked at while recording, so a silence is told on time even when
// the input delivers nothing at all.
constexpr int kSilenceCheckMs = 250;

QString timeOfDay(const QDateTime& moment) {
    return moment.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

int frmMain::SilenceThreshold() const {
    const int threshold = Settings::getInt(kAlarms, kThresholdKey, SilenceAlarm::kDefaultThreshold);
    return SilenceAlarm::validThreshold(threshold) ? threshold : SilenceAlarm::kDefaultThreshold;
}

void frmMain::setSilenceThreshold(int dBFS) {
    if (!SilenceAlarm::validThreshold(dBFS))
        dBFS = SilenceAlarm::kDefaultThreshold;
    Settings::saveInt(kAlarms, kThresholdKey, dBFS);
    m_silenceAlarm.setThreshold(dBFS);
    if (!m_silenceAlarm.silent())
        showSilence(false);
    showSilenceSettings();
}

int frmMain::SilenceSeconds() const {
    const int seconds = Settings::getInt(kAlarms, kSecondsKey, SilenceAlarm::kDefaultSeconds);
    return SilenceAlarm::validSeconds(seconds) ? seconds : SilenceAlarm::kDefaultSeconds;
}

void frmMain::setSilenceSeconds(int seconds) {
    if (!SilenceAlarm::validSeconds(seconds))
        seconds = SilenceAlarm::kDefaultSeconds;
    Settings::saveInt(kAlarms, kSecondsKey, seconds);
    m_silenceAlarm.setSeconds(seconds);
    showSilenceSettings();
}

void frmMain::createSilenceAlarm() {
    m_silenceAlarm.setThreshold(SilenceThreshold());
    m_silenceAlarm.setSeconds(SilenceSeconds());
    m_silenceCheck = new QTimer(this);
    m_silenceCheck->setInterval(kSilenceCheckMs);
    connect(m_silenceCheck, &QTimer::timeout, this, [this] {
        followSilenceWatch();
        silenceChanged(m_silenceAlarm.check(Clock::steadyMs()));
    });
    showSilenceSettings();
}

// Watching goes on for as long as a file records, across file changes; a logger that stops in
// the middle of a change is not the end of recording.
void frmMain::followSilenceWatch() {
    if (AnyLoggerRecording()) {
        if (!m_silenceAlarm.watching()) {
            m_silenceAlarm.start(Clock::steadyMs());
            m_silenceCheck->start();
        }
        return;
    }
    if (m_changingFiles || !m_silenceAlarm.watching())
        return;
    if (m_silenceAlarm.silent())
        platform::logLine(LogLevel::Info,
                          QStringLiteral("Recording stopped during the silence that began at ") +
                              timeOfDay(m_silenceBegan));
    m_silenceAlarm.stop();
    m_silenceCheck->stop();
    showSilence(false);
}

void frmMain::watchPeaksForSilence(int index, int leftPeak, int rightPeak) {
    if (m_tavrel[index]->RecordState() != 2)
        return; // the zeros a logger sends when it stops are no signal
    silenceChanged(m_silenceAlarm.observe(leftPeak, rightPeak, Clock::steadyMs()));
}

void frmMain::silenceChanged(SilenceAlarm::Change change) {
    if (change == SilenceAlarm::Change::Began) {
        m_silenceBegan = Clock::now().addMSecs(m_silenceAlarm.silenceBeganMs() - Clock::steadyMs());
        showSilence(true);
        raiseEvent(QStringLiteral("silence"), LogLevel::Warning,
                   QStringLiteral("Silence since %1: both channels below %2 dBFS for %3 s (%4)")
                       .arg(timeOfDay(m_silenceBegan))
                       .arg(m_silenceAlarm.threshold())
                       .arg(m_silenceAlarm.seconds())
                       .arg(m_tavrel[0]->CaptureDeviceName()));
    } else if (change == SilenceAlarm::Change::Ended) {
        showSilence(false);
        raiseEvent(QStringLiteral("silence-ended"), LogLevel::Info,
                   QStringLiteral("Sound is back after %1 s of silence (since %2)")
                       .arg(QString::number(m_silenceAlarm.lastSilenceMs() / 1000.0, 'f', 1),
                            timeOfDay(m_silenceBegan)));
    }
}

void frmMain::showSilence(bool silent) {
    if (silent) {
        lblSilence->setText(QStringLiteral("Silence since ") + timeOfDay(m_silenceBegan));
        lblSilence->show();
    } else {
        lblSilence->hide();
        lblSilence->clear();
    }
    refreshTrayState();
}

void frmMain::showSilenceSettings() {
    const bool on = m_silenceAlarm.enabled();
    mnuSilenceLevel->setText(
        on ? QStringLiteral("Silence Alarm Level... (%1 dBFS)").arg(m_silenceAlarm.threshold())
           : QStringLiteral("Silence Alarm Level... (off)"));
    mnuSilenceSeconds->setText(
        QStringLiteral("Silence Alarm Time... (%1 s)").arg(m_silenceAlarm.seconds()));
    mnuSilenceOff->setChecked(!on);
}

void frmMain::mnuSilenceLevel_Click() {
    const QString answer = platform::Prompts::instance().inputBox(
        QStringLiteral("Type the level in dBFS (-89 to 0) below which both\r\nchannels count as "
                       "silent.\r\n\r\nTo turn the silence alarm off, enter -90."),
        QStringLiteral("Silence Alarm: Level in dBFS."), QString::number(SilenceThreshold()));
    const std::optional<double> number = numberIn(answer);
    if (!number)
        return;
    if (!SilenceAlarm::validThreshold(wholeNumber(*number))) {
        message(QStringLiteral("Invalid!"));
        return;
    }
    setSilenceThreshold(wholeNumber(*number));
}

void frmMain::mnuSilenceSeconds_Click() {
    const QString answer = platform::Prompts::instance().inputBox(
        QStringLiteral("Type the number of seconds (1 to 3600) of silence\r\nafter which the "
                       "silence alarm is raised."),
        QStringLiteral("Silence Alarm: Number of Seconds."), QString::number(SilenceSeconds()));
    const std::optional<double> number = numberIn(answer);
    if (!number)
        return;
    if (!SilenceAlarm::validSeconds(wholeNumber(*number))) {
        message(QStringLiteral("Invalid!"));
        return;
    }
    setSilenceSeconds(wholeNumber(*number));
}

// Off is the lowest level; on again is the usual level.
void frmMain::mnuSilenceOff_Click() {
    setSilenceThreshold(m_silenceAlarm.enabled() ? SilenceAlarm::kOffThreshold
                                                 : SilenceAlarm::kDefaultThreshold);
}
