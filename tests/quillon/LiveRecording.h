#pragma once

#include "TestGraphs.h"

#include "media/AsfWriter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QUuid>

// A recording from the live test tone into a WMA file in a folder of its own, built and stopped.
struct LiveRecording {
    explicit LiveRecording(const QUuid& profile = {});

    QString path() const { return m_dir.filePath(QStringLiteral("live.wma")); }
    media::FilterGraph& graph() { return *chain.graph; }
    std::shared_ptr<media::AsfWriter> writer() const;

    // Runs the graph (a test assertion fails when it cannot).
    void run();
    // Stops, and expects the file to hold the whole time recorded since the last run.
    void stopAndExpectWholeFile();
    // Lets real audio flow for about `ms`.
    static void wait(int ms);

    CaptureChain chain;

private:
    QTemporaryDir m_dir;
    QElapsedTimer m_recording;
};
