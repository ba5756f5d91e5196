// Scanning real files: the cue-in where the audio starts, the segue where the last loud passage
// ends, and the order of the events at the end.
#include "AudioFiles.h"
#include "GraphTestSupport.h"
#include "nexuvo/Assist.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace GraphTestSupport;
using namespace media;
using namespace nexuvo;
using namespace ResultCode;

namespace {

constexpr double kValuesPerMs = 88.2;                  // 44.1 kHz stereo
constexpr int kCueTestSpacingMs = 1028 / kValuesPerMs; // 11 ms between two cue-in tests

// The scan's events in order; peaks are left out.
struct ScanEvents {
    QStringList order;
    QList<int> cues;
    QList<int> segues;

    explicit ScanEvents(Assist& a) {
        QObject::connect(&a, &Assist::CueInFound, [this](int ms) {
            cues << ms;
            order << QStringLiteral("CueIn");
        });
        QObject::connect(&a, &Assist::SegueFound, [this](int ms) {
            segues << ms;
            order << QStringLiteral("Segue");
        });
        QObject::connect(&a, &Assist::EndOfStream, [this] { order << QStringLiteral("End"); });
        QObject::connect(&a, &Assist::BufferFull,
                         [this](qintptr) { order << QStringLiteral("BufferFull"); });
    }
    bool ended() const { return order.contains(QStringLiteral("End")); }
};

class FileScan : public testing::Test {
protected:
    QString file(const QString& name, const std::vector<std::uint8_t>& samples,
                 const char* encoder = AudioFiles::kWav) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(AudioFiles::write(path, samples, encoder));
        return path;
    }

    QTemporaryDir dir;
    FilterGraph graph;
    Assist assist;
    ScanEvents events{assist};
};

} // namespace

TEST_F(FileScan, CueInIsFoundWhereTheToneBeginsAndStopsTheScan) {
    const QString wav = file("late.wav", AudioFiles::silenceThenTone(2.0, 2.0));
    ASSERT_EQ(assist.RenderFileToNull(wav, &graph), S_OK);
    ASSERT_EQ(assist.RunGraph(), S_OK);
    ASSERT_TRUE(runUntil([&] { return !events.cues.isEmpty(); }));
    runFor(200); // a second cue-in or the end of the stopped scan would come now

    ASSERT_EQ(events.order, QStringList({"CueIn"}));
    // The first test point after the tone begins, or the one after if the tone crossed zero there.
    EXPECT_GE(events.cues.first(), 2000);
    EXPECT_LT(events.cues.first(), 2000 + 2 * kCueTestSpacingMs);
    EXPECT_EQ(graph.state(), FilterGraph::State::Stopped);

    // Run again: the cue was found, so the scan runs to its end without another.
    ASSERT_EQ(assist.RunGraph(), S_OK);
    ASSERT_TRUE(runUntil([&] { return events.ended(); }));
    EXPECT_EQ(events.cues.size(), 1);

    // A new render arms the test again.
    ASSERT_EQ(assist.RenderFileToNull(wav, &graph), S_OK);
    ASSERT_EQ(assist.RunGraph(), S_OK);
    ASSERT_TRUE(runUntil([&] { return events.cues.size() == 2; }));
    EXPECT_EQ(events.cues.last(), events.cues.first());
}

TEST_F(FileScan, CueInOfAnMp3IsFoundWithinTheCodersDelay) {
    const QString mp3 = file("late.mp3", AudioFiles::silenceThenTone(1.5, 1.5), AudioFiles::kMp3);
    ASSERT_EQ(assist.RenderFileToNull(mp3, &graph), S_OK);
    ASSERT_EQ(assist.RunGraph(), S_OK);
    ASSERT_TRUE(runUntil([&] { return !events.cues.isEmpty(); }));
    EXPECT_GE(events.cues.first(), 1500);
    EXPECT_LT(events.cues.first(), 1600);
}

TEST_F(FileScan, SegueIsFoundWhereTheLastLoudPassageOfTheLastTwentySecondsEnds) {
    std::vector<std::uint8_t> samples;
    AudioFiles::appendTone(samples, 3.0);
    AudioFiles::appendSilence(samples, 7.0);
    AudioFiles::appendTone(samples, 14.0); // 10 s to 24 s
    AudioFiles::appendSilence(samples, 5.9);
    const QString wav = file("long.wav", samples);
    ASSERT_EQ(assist.RenderFileToNull(wav, &graph), S_OK);

    ASSERT_EQ(assist.put_SegSeeker(-1), S_OK); // runs the last 20 s, from 9.9 s
    ASSERT_TRUE(runUntil([&] { return events.order.count("BufferFull") == 4; }));
    runFor(200);

    // The 19.9 s played wrap the ring every 5 s; the end brings one more BufferFull, last.
    EXPECT_EQ(events.order, QStringList({"BufferFull", "BufferFull", "BufferFull", "End", "Segue",
                                         "BufferFull"}));
    ASSERT_EQ(events.segues.size(), 1);
    // The start of the buffer holding the last loud value, 200 ms early.
    EXPECT_LE(events.segues.first(), 24000 - 200);
    EXPECT_GT(events.segues.first(), 24000 - 200 - 100);
    EXPECT_TRUE(events.cues.isEmpty());
    EXPECT_EQ(graph.state(), FilterGraph::State::Stopped);
}

TEST_F(FileScan, AQuietEndReportsTheSeekPointAndAShortQuietFileNoSegue) {
    std::vector<std::uint8_t> quiet;
    AudioFiles::appendSilence(quiet, 25.0);
    ASSERT_EQ(assist.RenderFileToNull(file("quiet25.wav", quiet), &graph), S_OK);
    assist.put_SegSeeker(-1);
    ASSERT_TRUE(runUntil([&] { return !events.segues.isEmpty(); }));
    EXPECT_EQ(events.segues.first(), 5000);

    std::vector<std::uint8_t> shortQuiet;
    AudioFiles::appendSilence(shortQuiet, 15.0);
    ASSERT_EQ(assist.RenderFileToNull(file("quiet15.wav", shortQuiet), &graph), S_OK);
    events.order.clear();
    assist.put_SegSeeker(-1); // seeks to 0
    ASSERT_TRUE(runUntil([&] { return events.ended(); }));
    runFor(200);
    EXPECT_EQ(events.segues.size(), 1);
    EXPECT_EQ(events.order.filter("Segue").size(), 0);
    EXPECT_EQ(events.order.last(), "BufferFull");
}
