#include "ProgramProcess.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <csignal>

ProgramProcess::ProgramProcess(const QString& configFolder, const QString& home) {
    QProcessEnvironment& environment = m_environment;
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configFolder);
    environment.insert("HOME", home);
    // The media framework's plugin registry stays where it was, so a start is a warm start as on
    // the user's machine, not a first scan of every plugin.
    if (!environment.contains("XDG_CACHE_HOME"))
        environment.insert("XDG_CACHE_HOME",
                           QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VELTRAX_TEST_SOURCES", "1");
    environment.insert("VELTRAX_REPORT_STARTUP", "1");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

void ProgramProcess::setEnvironment(const QString& name, const QString& value) {
    m_environment.insert(name, value);
}

void ProgramProcess::removeEnvironment(const QString& name) {
    m_environment.remove(name);
}

bool ProgramProcess::start() {
    m_process.setProcessEnvironment(m_environment);
    m_process.start(programPath(), {});
    return m_process.waitForStarted(10000);
}

bool ProgramProcess::waitForOutput(const QString& text, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_output += QString::fromLocal8Bit(m_process.readAll());
        if (m_output.contains(text))
            return true;
        if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
            return false;
        m_process.waitForReadyRead(100);
    }
}

ProgramProcess::~ProgramProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString ProgramProcess::programPath() {
    return QStringLiteral(VELTRAX_PROGRAM);
}

bool ProgramProcess::startAndWaitUntilActive(int timeoutMs) {
    return start() && waitForOutput(QStringLiteral("veltrax: activated"), timeoutMs);
}

void ProgramProcess::signal(int number) {
    ::kill(static_cast<pid_t>(m_process.processId()), number);
}

bool ProgramProcess::waitForExit(int timeoutMs) {
    const bool done = m_process.waitForFinished(timeoutMs);
    m_output += QString::fromLocal8Bit(m_process.readAll());
    return done;
}
