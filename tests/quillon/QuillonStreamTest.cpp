// The control driven as the logger drives it, heard by ffmpeg and by listeners on raw sockets.
#include "LiveRecording.h"
#include "StreamCheck.h"
#include "StreamListener.h"

#include "media/NetworkSink.h"
#include "quillon/Quillon.h"
#include "quillon/QuillonIds.h"

#include <gtest/gtest.h>
#include <list>

using namespace media;
using namespace quillon;
using namespace ResultCode;

namespace {

// A WMA graph as the logger builds it: writer, profile and network sink handed to the control
// while the graph is stopped; then a trial run and stop, then the real run.
struct LoggedGraph {
    LoggedGraph(int profileType, int port, int maximumClients) {
        control.setProperty("ASFWriter", QVariant::fromValue(FilterPtr(recording.writer())));
        control.setProperty("ProfileType", profileType);
        added = control.AddNetworkSink(port, maximumClients);
    }
    void start() {
        ASSERT_TRUE(SUCCEEDED(recording.graph().run()));
        ASSERT_EQ(recording.graph().stop(), S_OK);
        recording.run();
    }

    LiveRecording recording;
    Quillon control;
    int added = kFailed;
};

void expectStillReceiving(const StreamListener& listener) {
    const qint64 before = listener.bodyBytes();
    EXPECT_TRUE(listener.waitForBodyBytes(before + 2000)) << "stalled at " << before;
}

} // namespace

TEST(QuillonStream, ListenersHearTheRecordingWhileTheFileIsWritten) {
    const int port = StreamCheck::freePort();
    LoggedGraph logged(Stereo64, port, 5);
    ASSERT_EQ(logged.added, kSucceeded);
    logged.start();
    const StreamCheck::StreamInfo info = StreamCheck::probe(StreamCheck::url(port));
    EXPECT_EQ(info.codec, "wmav2");
    EXPECT_EQ(info.channels, 2);
    EXPECT_GE(StreamCheck::decodedSeconds(StreamCheck::url(port), 5), 4.9);
    logged.recording.stopAndExpectWholeFile();
}

TEST(QuillonStream, WithThreeAllowedAFourthListenerIsRefusedWhileTheThreeKeepReceiving) {
    const int port = StreamCheck::freePort();
    LoggedGraph logged(Stereo32, port, 3);
    ASSERT_EQ(logged.added, kSucceeded);
    logged.start();
    std::list<StreamListener> three;
    for (int i = 0; i < 3; ++i) {
        three.emplace_back(port);
        ASSERT_TRUE(three.back().waitForBodyBytes(1000));
    }
    StreamListener fourth(port);
    EXPECT_TRUE(fourth.waitForClose());
    EXPECT_TRUE(fourth.statusLine().contains(" 503 ")) << fourth.statusLine().constData();
    for (const StreamListener& listener : three)
        expectStillReceiving(listener);
    EXPECT_TRUE(StreamCheck::clientCountBecomes(*logged.control.networkSink(), 3));
}

TEST(QuillonStream, APortInUseFailsTheSinkButNotTheRecording) {
    NetworkSink occupant;
    int port = 0;
    ASSERT_EQ(occupant.open(port), S_OK);
    LoggedGraph logged(Stereo48, port, 5);
    EXPECT_EQ(logged.added, kFailed);
    logged.start();
    LiveRecording::wait(3000);
    logged.recording.stopAndExpectWholeFile();
}

// As at a file change: the first logger's sink is removed while it still records, and the next
// graph streams on the same port; a listener who reconnects hears the new graph.
TEST(QuillonStream, AfterRemoveNetworkSinkTheNextGraphStreamsOnTheSamePort) {
    const int port = StreamCheck::freePort();
    LoggedGraph first(Stereo64, port, 5);
    ASSERT_EQ(first.added, kSucceeded);
    first.start();
    StreamListener listener(port);
    ASSERT_TRUE(listener.waitForBodyBytes(1000));

    EXPECT_EQ(first.control.RemoveNetworkSink(), kSucceeded);
    EXPECT_TRUE(listener.waitForClose());
    LoggedGraph second(MonoAudio288, port, 5);
    ASSERT_EQ(second.added, kSucceeded) << "the port was freed at once";
    second.start();
    const StreamCheck::StreamInfo info = StreamCheck::probe(StreamCheck::url(port));
    EXPECT_EQ(info.codec, "wmav2");
    EXPECT_EQ(info.channels, 1) << "the second graph's stream";

    LiveRecording::wait(2000);
    first.recording.stopAndExpectWholeFile();
    second.recording.stopAndExpectWholeFile();
}
