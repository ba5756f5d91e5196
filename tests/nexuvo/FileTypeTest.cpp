// Which file type a pin offers, and which wave format a connection carries.
#include "AudioFiles.h"
#include "media/FilterGraph.h"
#include "nexuvo/Assist.h"
#include "nexuvo/PinVariant.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace media;
using namespace nexuvo;
using namespace ResultCode;

namespace {

// A filter whose output offers exactly the given caps.
FilterPtr offering(const QString& caps) {
    return Filter::fromDescription(QStringLiteral("capsfilter caps=\"%1\"").arg(caps), "In", "Out");
}

QVariant outputOf(const FilterPtr& filter) {
    return QVariant::fromValue(filter->findPin(PinDirection::Output, false));
}

int fileTypeOf(Assist& a, const QVariant& pin) {
    FileType type = static_cast<FileType>(-1);
    EXPECT_EQ(a.GetPinMediaType(pin, &type), S_OK);
    return type;
}

} // namespace

TEST(FileType, TheSourceOfEachKindOfFileTellsItsType) {
    QTemporaryDir dir;
    const auto samples = AudioFiles::silenceThenTone(0.1, 0.4);
    const std::pair<QString, const char*> encoded[] = {
        {"a.wav", AudioFiles::kWav}, {"a.mp3", AudioFiles::kMp3}, {"a.ogg", AudioFiles::kOgg}};
    for (const auto& [name, encoder] : encoded)
        ASSERT_TRUE(AudioFiles::write(dir.filePath(name), samples, encoder)) << qPrintable(name);
    ASSERT_TRUE(AudioFiles::writeWmaTone(dir.filePath("a.wma"), 0.5));
    ASSERT_TRUE(AudioFiles::writeNotAudio(dir.filePath("a.txt"), dir.filePath("a.bin")));

    const std::pair<QString, FileType> expected[] = {{"a.wav", FileTypeWav},
                                                     {"a.mp3", FileTypeMp3},
                                                     {"a.ogg", FileTypeOgg},
                                                     {"a.wma", FileTypeStreamingAsf},
                                                     {"a.txt", FileTypeStreamingScript},
                                                     {"a.bin", FileTypeUnknown}};
    FilterGraph graph;
    Assist a;
    for (const auto& [name, type] : expected) {
        FilterPtr source;
        ASSERT_EQ(graph.addSourceFilter(dir.filePath(name), name, source), S_OK);
        EXPECT_EQ(fileTypeOf(a, outputOf(source)), type) << qPrintable(name);
        EXPECT_EQ(a.GetPinMediaType(outputOf(source)), type) << qPrintable(name);
    }
}

TEST(FileType, TheFirstTypeThatNamesOneCountsAndAScriptOnlyWhenNothingFollows) {
    const std::pair<QString, FileType> expected[] = {
        {"audio/x-wma, wmaversion=2", FileTypeWma},
        {"audio/mpeg, mpegversion=1, layer=3, parsed=true", FileTypeMp3WithWavHeader},
        {"audio/x-vorbis", FileTypeOggWithWavHeader},
        {"video/x-ms-asf", FileTypeStreamingAsf},
        {"text/x-raw", FileTypeStreamingScript},
        {"text/x-raw; audio/mpeg, mpegversion=1", FileTypeMp3},
        {"audio/x-wav; audio/x-wma, wmaversion=2", FileTypeWav},
        {"video/x-raw", FileTypeUnknown}};
    Assist a;
    for (const auto& [caps, type] : expected)
        EXPECT_EQ(fileTypeOf(a, outputOf(offering(caps))), type) << qPrintable(caps);

    FileType untouched = FileTypeOgg;
    EXPECT_EQ(a.GetPinMediaType(QVariant(), &untouched), E_INVALIDARG);
    EXPECT_EQ(a.GetPinMediaType(QVariant::fromValue(offering("text/x-raw")), &untouched),
              E_INVALIDARG);
    EXPECT_EQ(untouched, FileTypeOgg);
}

TEST(FileType, AConnectionTellsItsWaveFormatTag) {
    const std::pair<QString, long> expected[] = {
        {"audio/x-raw, format=S16LE, layout=interleaved, rate=44100, channels=2", 1},
        {"audio/mpeg, mpegversion=1, layer=3, parsed=true, rate=44100, channels=2", 0x55},
        {"audio/x-wma, wmaversion=2, rate=44100, channels=2", 0x161},
        {"audio/mpeg, mpegversion=1, layer=3, parsed=false", 0}, // a file's stream: no format
        {"audio/x-wav", 0}};
    Assist a;
    for (const auto& [caps, tag] : expected) {
        FilterGraph graph;
        const FilterPtr from = offering(caps);
        const FilterPtr to = Filter::fromDescription("fakesink", "In", {});
        graph.addFilter(from, "From");
        graph.addFilter(to, "To");
        const Pin output = from->findPin(PinDirection::Output, false);
        long value = 12345;
        EXPECT_EQ(a.GetPinConnectionFileType(QVariant::fromValue(output), &value), S_OK);
        EXPECT_EQ(value, -100) << "not connected yet";
        ASSERT_EQ(graph.connectDirect(output, to->findPin("In")), S_OK);
        EXPECT_EQ(a.GetPinConnectionFileType(QVariant::fromValue(output), &value), S_OK);
        EXPECT_EQ(value, tag) << qPrintable(caps);
        EXPECT_EQ(a.GetPinConnectionFileType(QVariant::fromValue(to->findPin("In"))), tag);
    }
    long value = 12345;
    EXPECT_EQ(a.GetPinConnectionFileType(QVariant(7), &value), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(value, 12345);
}
