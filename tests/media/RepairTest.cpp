// finaliseRecording on files left the way a writer leaves them when it cannot end them: cut in
// the middle of a packet or frame, the header still as written at the start.
#include "MediaCheck.h"
#include "TestGraphs.h"

#include "media/RecordingRepair.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>
#include <gtest/gtest.h>

using namespace media;

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void putLe64(QByteArray& bytes, qsizetype at, quint64 value) {
    qToLittleEndian(value, bytes.data() + at);
}

// The header of an ASF file as its writer leaves it before the end: sizes, counts and durations
// not filled in (the play duration is the preroll alone).
void unfinishAsf(QByteArray& bytes) {
    const QByteArray fileProperties = QByteArray::fromHex("A1DCAB8C47A9CF118EE400C00C205365");
    const QByteArray dataObject = QByteArray::fromHex("3626B2758E66CF11A6D900AA0062CE6C");
    const qsizetype fp = bytes.indexOf(fileProperties);
    const qsizetype data = bytes.indexOf(dataObject);
    ASSERT_GT(fp, 0);
    ASSERT_GT(data, fp);
    const quint64 preroll = qFromLittleEndian<quint64>(bytes.constData() + fp + 80);
    putLe64(bytes, fp + 40, 0);               // file size
    putLe64(bytes, fp + 56, 0);               // data packets
    putLe64(bytes, fp + 64, preroll * 10000); // play duration
    putLe64(bytes, fp + 72, 0);               // send duration
    putLe64(bytes, data + 16, 50);            // data object size
    putLe64(bytes, data + 40, 0);             // data packets
}

// The Xing frame as it is before the stream ends: the tag, then zeros.
void unfinishMp3(QByteArray& bytes) {
    const qsizetype tag = bytes.indexOf("Xing");
    ASSERT_GT(tag, 0);
    ASSERT_LT(tag, 64);
    bytes.replace(tag + 4, 4 + 4 + 4 + 100, QByteArray(112, '\0'));
}

// Two seconds of silence, then four of noise: an average-bit-rate MP3 of it starts with frames
// far smaller than the rest, so its length cannot be guessed from its first frames.
media::FilterItem silenceThenNoise(const QString& folder) {
    const QString wav = folder + "/silence-then-noise.wav";
    QProcess::execute("ffmpeg",
                      {"-v", "error", "-y", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo:d=2",
                       "-f", "lavfi", "-i", "anoisesrc=r=44100:a=0.3:d=4", "-filter_complex",
                       "[1]aformat=channel_layouts=stereo[n];[0][n]concat=n=2:v=0:a=1", "-c:a",
                       "pcm_s16le", wav});
    return media::FilterItem("Silence Then Noise", [wav] {
        return media::FilterPtr(media::Filter::fromDescription(
            QStringLiteral("filesrc location=\"%1\" ! wavparse").arg(wav), {}, "Capture"));
    });
}

class Finalising : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(Finalising, MakesAnUnfinishedFileWholeAndLeavesOthersAlone) {
    const bool mp3 = QByteArray(GetParam()) == "mp3";
    QTemporaryDir dir;
    const QString good = dir.filePath(mp3 ? "good.mp3" : "good.wma");
    const media::FilterItem source = silenceThenNoise(dir.path());
    CaptureChain chain =
        mp3 ? TestGraphs::captureToMp3(source, good) : TestGraphs::captureToWma(source, good);
    ASSERT_EQ(chain.result, ResultCode::S_OK);
    chain.graph->setNoClock(true);
    ASSERT_TRUE(SUCCEEDED(chain.graph->run()));
    ASSERT_TRUE(TestGraphs::waitForCompletion(*chain.graph));
    chain.graph->stop();
    const QByteArray original = readAll(good);

    // A file its writer ended is left byte for byte.
    ASSERT_TRUE(finaliseRecording(good));
    EXPECT_TRUE(readAll(good) == original);

    // Cut at 60 %, in the middle of a packet or frame, with the header left unfinished.
    const QString cut = dir.filePath(mp3 ? "cut.mp3" : "cut.wma");
    QByteArray bytes = original.left(original.size() * 6 / 10 + 777);
    mp3 ? unfinishMp3(bytes) : unfinishAsf(bytes);
    writeAll(cut, bytes);
    if (!mp3) {
        EXPECT_EQ(MediaCheck::probe(cut).duration, 0.0) << "the header was not unfinished";
    }

    ASSERT_TRUE(finaliseRecording(cut));
    const ProbeResult probe = MediaCheck::probe(cut);
    const double decoded = MediaCheck::decodedSeconds(cut);
    EXPECT_EQ(probe.codec, mp3 ? "mp3" : "wmav2");
    EXPECT_GE(decoded, 3.0); // 60 % of six seconds, less a packet
    EXPECT_NEAR(probe.duration, decoded, 0.5);
    std::printf("  ended by its writer: header %.3f s, decoded %.3f s; cut: header %.3f s, "
                "decoded %.3f s\n",
                MediaCheck::probe(good).duration, MediaCheck::decodedSeconds(good), probe.duration,
                decoded);
    const QByteArray finalised = readAll(cut);
    ASSERT_TRUE(finaliseRecording(cut));
    EXPECT_TRUE(readAll(cut) == finalised) << "a second finalising changed the file";

    // What it does not understand, it refuses and leaves alone.
    const QString headless = dir.filePath(mp3 ? "headless.mp3" : "headless.wma");
    writeAll(headless, original.mid(100));
    EXPECT_FALSE(finaliseRecording(headless));
    EXPECT_TRUE(readAll(headless) == original.mid(100));
    const QString text = dir.filePath("notes.txt");
    writeAll(text, "not a recording\n");
    EXPECT_FALSE(finaliseRecording(text));
    EXPECT_EQ(readAll(text), "not a recording\n");
    EXPECT_FALSE(finaliseRecording(dir.filePath("missing.wma")));
}

INSTANTIATE_TEST_SUITE_P(Formats, Finalising, ::testing::Values("wma", "mp3"),
                         [](const auto& info) { return std::string(info.param); });
