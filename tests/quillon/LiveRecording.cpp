#include "LiveRecording.h"
#include "MediaCheck.h"

#include "media/DeviceEnumerator.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace media;

LiveRecording::LiveRecording(const QUuid& profile) {
    chain = TestGraphs::captureToWma(TestGraphs::liveTestTone(), path(), profile);
    EXPECT_EQ(chain.result, ResultCode::S_OK);
}

std::shared_ptr<AsfWriter> LiveRecording::writer() const {
    return std::static_pointer_cast<AsfWriter>(chain.writer);
}

void LiveRecording::run() {
    ASSERT_TRUE(SUCCEEDED(graph().run())) << qPrintable(graph().lastError());
    m_recording.start();
}

void LiveRecording::stopAndExpectWholeFile() {
    const double seconds = m_recording.elapsed() / 1000.0;
    ASSERT_EQ(graph().stop(), ResultCode::S_OK);
    // The decoder drops the codec's start-up frames, about a tenth of a second.
    EXPECT_NEAR(MediaCheck::decodedSeconds(path()), seconds, 0.5) << qPrintable(path());
}

void LiveRecording::wait(int ms) {
    QTest::qWait(ms);
}
