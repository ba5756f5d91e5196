// Time from process start to the end of the window's first activation, and memory at idle.
#include "ProgramProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <vector>

namespace {

double residentMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::vector<double> startMs, idleMb;
    for (int round = 0; round < 5; ++round) {
        QTemporaryDir dir;
        ProgramProcess program(dir.filePath("config"), dir.path());
        QElapsedTimer clock;
        clock.start();
        if (!program.startAndWaitUntilActive()) {
            std::fprintf(stderr, "the program did not start: %s\n", qPrintable(program.output()));
            return 1;
        }
        startMs.push_back(clock.elapsed());
        QThread::sleep(2);
        idleMb.push_back(residentMegabytes(program.processId()));
        program.signal(SIGTERM);
        program.waitForExit();
    }
    std::sort(startMs.begin(), startMs.end());
    std::sort(idleMb.begin(), idleMb.end());
    std::printf("start to end of first activation: median %.0f ms (min %.0f, max %.0f; target "
                "under 1000 ms)\n",
                startMs[2], startMs.front(), startMs.back());
    std::printf("resident memory at idle: median %.1f MB\n", idleMb[2]);
    return 0;
}
