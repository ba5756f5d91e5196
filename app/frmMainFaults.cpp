// What the main window does when recording meets a fault, and how it tells every event: a line
// in the event log and, where the user set one, the alarm command.
#include "app/frmMain.h"

#include "logger/Tavlo.h"
#include "media/GraphEvent.h"
#include "media/RecordingRepair.h"
#include "platform/AlarmHook.h"
#include "platform/DayNumber.h"

#include <QLabel>
#include <QTimer>

#include <QDirIterator>
#include <QFileInfo>

QString frmMain::currentRecording() const {
    Tavlo* active = nullptr;
    Tavlo* next = nullptr;
    GetLoggers(active, next);
    return active ? active->FileName() : QString();
}

void frmMain::raiseEvent(const QString& event, platform::LogLevel level, const QString& message) {
    platform::AlarmHook::raise(event, level, message, currentRecording());
}

// A capture device that has gone is waited for. No space: old recordings go, and recording stops
// when that does not free the drive. Any other fault, or a drive that has room again, is a failed
// file change: a new file on the other logger, or on the same one when the other cannot start.
void frmMain::Tavrel_WriteFailed(int index, int kind, const QString& text) {
    if (m_unloaded || m_closing)
        return;
    if (m_changingFiles) {
        // Met while a file change builds the next logger (its build runs the event loop): handled
        // once the change is done, so that nothing stops a logger under a build.
        QTimer::singleShot(0, this,
                           [this, index, kind, text] { Tavrel_WriteFailed(index, kind, text); });
        return;
    }
    BusyScope busy(*this);
    Tavlo* failed = m_tavrel[index];
    const QString file = failed->FileName();
    failed->OutputFileName(QString());
    if (kind == static_cast<int>(media::GraphErrorKind::CaptureDevice)) {
        captureDeviceLost(file, text);
        return;
    }
    const bool writing = kind == static_cast<int>(media::GraphErrorKind::NoSpace) ||
                         kind == static_cast<int>(media::GraphErrorKind::WriteError);
    platform::AlarmHook::raise(writing ? QStringLiteral("write-error")
                                       : QStringLiteral("recording-failed"),
                               platform::LogLevel::Error, text, file);
    if (kind == static_cast<int>(media::GraphErrorKind::NoSpace)) {
        QString drive = AudioPath();
        if (stopWhenStillFull(drive))
            return;
    }
    if (AnyLoggerRecording())
        return; // the other logger records already
    startNextFile(m_tavrel[1 - index], failed, QStringLiteral("After a write error"));
}

// A run that was killed left its last recording as the writer had it: readable, but with a header
// that does not say how long it is. Every recording written since that run started is finalised.
void frmMain::finaliseRecordingsOfTheLastRun(double lastStarted) {
    const QDateTime since = platform::DayNumber::toDateTime(lastStarted);
    if (!since.isValid())
        return;
    QDirIterator it(AudioPath(), {QStringLiteral("*.wma"), QStringLiteral("*.mp3")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).lastModified() < since)
            continue;
        if (media::finaliseRecording(path))
            platform::logLine(platform::LogLevel::Info, QStringLiteral("Finalised ") + path);
        else
            platform::logLine(platform::LogLevel::Warning,
                              QStringLiteral("Could not finalise ") + path);
    }
}
