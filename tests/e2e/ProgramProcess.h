#pragma once

#include <QProcess>
#include <QString>

// The real program, started as a process with its own configuration folder, on the offscreen
// platform and with the live test sources.
class ProgramProcess {
public:
    explicit ProgramProcess(const QString& configFolder, const QString& home);
    ~ProgramProcess();

    // Before the start: a variable of the program's environment set, or removed.
    void setEnvironment(const QString& name, const QString& value);
    void removeEnvironment(const QString& name);
    // Starts it without waiting for anything but the process itself.
    bool start();
    // Starts it and waits until its first activation has finished; false if it did not get there.
    bool startAndWaitUntilActive(int timeoutMs = 15000);
    // Reads what it printed so far; true once `text` is among it (bounded wait).
    bool waitForOutput(const QString& text, int timeoutMs);
    void signal(int number);
    bool waitForExit(int timeoutMs = 10000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }
    QString output() const { return m_output; }
    qint64 processId() const { return m_process.processId(); }
    static QString programPath();

private:
    QProcessEnvironment m_environment;
    QProcess m_process;
    QString m_output;
};
