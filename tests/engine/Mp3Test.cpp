// MP3 recording: the stored encoder settings reach the encoder in the order the build gives and
// end up in the file; what the encoder refuses is left as it was.
#include "Mp3Fixture.h"

#include "MediaCheck.h"

using namespace media;
using namespace ResultCode;

namespace {
const QStringList kRates{"Bitrate", "VBRMin", "VBRMax"};
const QStringList kApplied{"VBR",         "Bitrate",          "VBRMin", "VBRMax",
                           "ChannelMode", "OutputSampleRate", "Commit"};
} // namespace

TEST_F(Mp3Fixture, EmptyStoreRecordsConstant128kStereoAt44100) {
    const QString path = dir.filePath("empty-store.mp3");
    ASSERT_TRUE(engine.OutputFileName(path)) << qPrintable(prompts->texts().join(" | "));
    EXPECT_EQ(prompts->count(), 0);
    EXPECT_EQ(engine.RecordState(), clsTavrel::StateReady);
    EXPECT_EQ(writtenNamed({"Quality"}), QStringList{"Quality=9"});
    // Constant mode: the minimum is the bit rate and the maximum is never written.
    EXPECT_EQ(writtenNamed(kApplied), (QStringList{"VBR=false", "Bitrate=128", "ChannelMode=0",
                                                   "OutputSampleRate=44100", "Commit=true"}));
    EXPECT_TRUE(lameBool("cbr"));
    EXPECT_EQ(lameInt("bitrate"), 128);
    EXPECT_EQ(lameInt("encoding-engine-quality"), 0); // fast, LAME's quality 9

    ASSERT_TRUE(engine.Record());
    QTest::qWait(2000);
    engine.StopRecording();
    engine.OutputFileName({});
    const ProbeResult probe = MediaCheck::probe(path);
    EXPECT_EQ(probe.codec, "mp3");
    EXPECT_EQ(probe.sampleRate, 44100);
    EXPECT_EQ(probe.channels, 2);
    EXPECT_NEAR(probe.streamBitRate, 128000, 12800);
    EXPECT_NEAR(MediaCheck::decodedSeconds(path), 2.0, 0.5);
}

TEST_F(Mp3Fixture, StoredMonoAt22050And64kReachTheFile) {
    storeMpeg("ChannelMode", "3");
    storeMpeg("SampleRate", "22050");
    storeMpeg("VBRMin", "64");
    storeMpeg("VBRMax", "224"); // not used in constant mode
    const QString path = dir.filePath("mono.mp3");
    ASSERT_TRUE(recordTwoSeconds(path)) << qPrintable(prompts->texts().join(" | "));
    EXPECT_EQ(writtenNamed(kRates), QStringList{"Bitrate=64"});
    const ProbeResult probe = MediaCheck::probe(path);
    EXPECT_EQ(probe.codec, "mp3");
    EXPECT_EQ(probe.sampleRate, 22050);
    EXPECT_EQ(probe.channels, 1);
    EXPECT_NEAR(probe.streamBitRate, 64000, 6400);
}

TEST_F(Mp3Fixture, VariableModeWritesTheBoundsAndRunsAtTheirMean) {
    storeMpeg("VBR", "True");
    storeMpeg("VBRMin", "96");
    storeMpeg("VBRMax", "160");
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("variable.mp3")));
    EXPECT_EQ(writtenNamed(kApplied),
              (QStringList{"VBR=true", "VBRMax=160", "VBRMin=96", "ChannelMode=0",
                           "OutputSampleRate=44100", "Commit=true"}));
    bool vbr = false;
    int minimum = 0;
    int maximum = 0;
    engine.corvate()->get_VBR(&vbr);
    engine.corvate()->get_VBRMin(&minimum);
    engine.corvate()->get_VBRMax(&maximum);
    EXPECT_TRUE(vbr);
    EXPECT_EQ(minimum, 96);
    EXPECT_EQ(maximum, 160);
    EXPECT_FALSE(lameBool("cbr"));
    EXPECT_EQ(lameInt("target"), 1); // bit rate, not quality
    EXPECT_EQ(lameInt("bitrate"), 128);
}

TEST_F(Mp3Fixture, SettingsTheEncoderRefusesLeaveWhatItHad) {
    storeMpeg("ChannelMode", "2"); // two independent channels: not something LAME here writes
    storeMpeg("SampleRate", "12345");
    storeMpeg("VBRMin", "100"); // not a rate the encoder offers
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("refused.mp3")))
        << qPrintable(prompts->texts().join(" | "));
    int mode = -1, rate = 0, bitrate = 0;
    engine.corvate()->get_ChannelMode(&mode);
    engine.corvate()->get_OutputSampleRate(&rate);
    engine.corvate()->get_Bitrate(&bitrate);
    EXPECT_EQ(mode, Corvate::kStereo);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(bitrate, 128);
    EXPECT_EQ(lameInt("bitrate"), 128);
    EXPECT_EQ(prompts->count(), 0);
    EXPECT_EQ(storedMpeg("ChannelMode"), "2"); // the store is not touched by a build
}

TEST_F(Mp3Fixture, EncoderTakesChangesOnlyWhileStoppedAndLetsGoWithItsGraph) {
    ASSERT_TRUE(engine.OutputFileName(dir.filePath("running.mp3")));
    Corvate& corvate = *engine.corvate();
    int rate = 0, channels = 0;
    EXPECT_EQ(corvate.get_InputSampleRate(&rate), S_OK);
    EXPECT_EQ(corvate.get_InputChannels(&channels), S_OK);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);

    ASSERT_TRUE(engine.Record());
    int bitrate = 0;
    EXPECT_EQ(corvate.put_Bitrate(64), VFW_E_WRONG_STATE);
    corvate.get_Bitrate(&bitrate);
    EXPECT_EQ(bitrate, 128);
    EXPECT_EQ(lameInt("bitrate"), 128);

    engine.StopRecording();
    EXPECT_EQ(corvate.put_Bitrate(64), S_OK);
    EXPECT_EQ(lameInt("bitrate"), 64);
    EXPECT_EQ(corvate.LoadStoredSettings(), S_OK);

    engine.OutputFileName({});
    FilterPtr bound;
    corvate.get_Filter(&bound);
    EXPECT_FALSE(bound); // the binding does not keep a released graph's encoder alive
    EXPECT_EQ(corvate.get_InputSampleRate(&rate), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(corvate.LoadStoredSettings(), E_FAIL);
    EXPECT_EQ(corvate.put_OutputSampleRate(22050), S_OK); // kept for the next binding
    corvate.get_OutputSampleRate(&rate);
    EXPECT_EQ(rate, 22050);
}

TEST_F(Mp3Fixture, LameFilterWithoutPinsFailsAtTheSecondConnection) {
    FilterRegistry::instance().registerFilter(EngineMessages::kLameFilterName, [] {
        return Filter::fromDescription("identity", {}, {});
    });
    engine.Initialise(); // takes the stand-in into the engine's filter list
    EXPECT_FALSE(engine.OutputFileName(dir.filePath("nopins.mp3")));
    ASSERT_EQ(prompts->texts(),
              (QStringList{"Error in connection process 2", "Error Building Graph"}));
    const auto& records = prompts->records();
    EXPECT_EQ(records[0].icon, platform::PromptIcon::Critical);
    EXPECT_EQ(records[0].title, QStringLiteral("%1 %2")
                                    .arg(VFW_E_NOT_CONNECTED)
                                    .arg(EngineMessages::describe(VFW_E_NOT_CONNECTED)));
    EXPECT_EQ(records[1].icon, platform::PromptIcon::None);
    EXPECT_EQ(records[1].title, records[0].title);
    EXPECT_EQ(engine.FileName(), QString());
    FilterPtr bound;
    engine.corvate()->get_Filter(&bound);
    EXPECT_FALSE(bound); // no encoder inside: nothing was bound
    EXPECT_TRUE(writtenNamed(kApplied).isEmpty());
}

// A filter that cannot be added to the graph: the build's failure names the result of that call.
TEST_F(Mp3Fixture, FilterThatCannotBeAddedReportsTheResultItGave) {
    FilterGraph elsewhere;
    const FilterPtr taken = Filter::fromDescription("fakesink", "in", {});
    ASSERT_EQ(elsewhere.addFilter(taken, "taken"), S_OK);
    FilterRegistry::instance().registerFilter("DUMP", [taken] { return taken; });
    engine.Initialise(); // takes the stand-in into the engine's filter list
    EXPECT_FALSE(engine.OutputFileName(dir.filePath("nodump.mp3")));
    ASSERT_EQ(prompts->texts(), (QStringList{"Dump cannot be created!", "Error Building Graph"}));
    EXPECT_EQ(prompts->records()[1].title, QStringLiteral("%1 %2")
                                               .arg(VFW_E_WRONG_STATE)
                                               .arg(EngineMessages::describe(VFW_E_WRONG_STATE)));
}
