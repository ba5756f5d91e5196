// Memory and descriptors over many file changes: WMA graphs are built, run over a short tone,
// stopped and released again and again, each with a network sink that takes the stream over from
// the one before, as at a file change with streaming on. Prints the growth of resident memory
// and of open descriptors after a warm-up; the target is at most 2 MB over 1000 changes and no
// descriptor more.
#include "ProcessFigures.h"
#include "TestGraphs.h"

#include "media/AsfWriter.h"
#include "media/NetworkSink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <memory>

using ProcessFigures::openDescriptors;
using ProcessFigures::residentKb;

namespace {

constexpr int kWarmUp = 50;
constexpr double kToneSeconds = 0.2;

// One file: built, run to the tone's end, stopped, released. With `port`, a sink joins the stream
// there in a hand-over and the previous file's sink leaves it.
bool recordOneFile(const QString& path, int port, std::shared_ptr<media::NetworkSink>& previous) {
    CaptureChain chain = TestGraphs::captureToWma(TestGraphs::fastTone(kToneSeconds), path);
    if (chain.result != ResultCode::S_OK)
        return false;
    auto writer = std::static_pointer_cast<media::AsfWriter>(chain.writer);
    std::shared_ptr<media::NetworkSink> sink;
    if (port > 0) {
        media::NetworkSink::HandOver handOver(port);
        if (previous)
            previous->close();
        sink = std::make_shared<media::NetworkSink>();
        int open = port;
        if (FAILED(sink->open(open)) || FAILED(writer->addSink(sink)))
            return false;
    }
    chain.graph->setNoClock(true);
    chain.graph->run();
    const bool complete = TestGraphs::waitForCompletion(*chain.graph, 10000);
    chain.graph->stop();
    if (previous && !previous->isOpen())
        previous.reset();
    previous = sink;
    QFile::remove(path);
    return complete;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int changes = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int port = argc > 2 ? std::atoi(argv[2]) : 0;
    QTemporaryDir dir;
    std::shared_ptr<media::NetworkSink> previous;
    long startKb = 0;
    int startFds = 0;
    int failed = 0;
    for (int i = 0; i < kWarmUp + changes; ++i) {
        if (i == kWarmUp) {
            malloc_trim(0);
            startKb = residentKb();
            startFds = openDescriptors();
        }
        if (!recordOneFile(dir.filePath(QStringLiteral("cycle.wma")), port, previous))
            ++failed;
    }
    // Measured with the last stream still open, as it was at the start.
    malloc_trim(0);
    const long endKb = residentKb();
    const int endFds = openDescriptors();
    if (previous)
        previous->close();
    std::printf("file changes: %d (%d failed)%s\n", changes, failed,
                port > 0 ? " with a stream handed over at each" : "");
    std::printf("resident memory: %ld kB -> %ld kB, %+ld kB (%.2f kB per change; target: at most "
                "2048 kB in 1000)\n",
                startKb, endKb, endKb - startKb, double(endKb - startKb) / changes);
    std::printf("open descriptors: %d -> %d (target: no change)\n", startFds, endFds);
    return failed == 0 ? 0 : 1;
}
