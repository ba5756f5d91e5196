#pragma once

#include <QProcess>
#include <QString>

// The real program, started as a process with its own configuration folder, on the offscreen
// platform and with the live test sources.
class ProgramProcess {
public:
    explicit ProgramProcess(const QString& configFolder, const QString& home);
    ~ProgramProcess();

    // Starts it and waits until its first activation has finished; false if it did not get there.
    bool startAndWaitUntilActive(int timeoutMs = 15000);
    void signal(int number);
    bool waitForExit(int timeoutMs = 10000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QString output() const { return m_output; }
    qint64 processId() const { return m_process.processId(); }
    static QString programPath();

private:
    QProcess m_process;
    QString m_output;
};
