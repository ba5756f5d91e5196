#include "AudioFiles.h"

#include "SyntheticAudio.h"
#include "TestGraphs.h"
#include "media/FilterGraph.h"

#include <QFile>

#include <gst/gst.h>

#include <cmath>

namespace AudioFiles {

namespace {

constexpr int kHalfScale = 16384;
constexpr GstClockTime kWriteTimeout = 20 * GST_SECOND;

int frames(double seconds) {
    return static_cast<int>(std::lround(seconds * SyntheticAudio::kRate));
}

GstBuffer* bufferOf(const std::vector<std::uint8_t>& samples) {
    GstBuffer* buffer = gst_buffer_new_memdup(samples.data(), samples.size());
    GST_BUFFER_PTS(buffer) = 0;
    GST_BUFFER_DURATION(buffer) =
        gst_util_uint64_scale(samples.size() / 4, GST_SECOND, SyntheticAudio::kRate);
    return buffer;
}

bool runToEnd(GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(
        bus, kWriteTimeout, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ended = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return ended;
}

} // namespace

bool write(const QString& path, const std::vector<std::uint8_t>& samples, const char* encoder) {
    gst_init(nullptr, nullptr);
    const QString description =
        QStringLiteral("appsrc name=src format=time caps=audio/x-raw,format=S16LE,"
                       "layout=interleaved,rate=%1,channels=2 ! %2 ! filesink location=\"%3\"")
            .arg(SyntheticAudio::kRate)
            .arg(QString::fromUtf8(encoder), path);
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    GstElement* source = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    GstFlowReturn flow = GST_FLOW_OK;
    GstBuffer* buffer = bufferOf(samples);
    g_signal_emit_by_name(source, "push-buffer", buffer, &flow);
    gst_buffer_unref(buffer);
    g_signal_emit_by_name(source, "end-of-stream", &flow);
    gst_object_unref(source);
    const bool written = runToEnd(pipeline);
    gst_object_unref(pipeline);
    return written && QFile(path).size() > 0;
}

bool writeWmaTone(const QString& path, double seconds) {
    CaptureChain chain = TestGraphs::captureToWma(TestGraphs::fastTone(seconds), path);
    if (FAILED(chain.result))
        return false;
    chain.graph->setNoClock(true);
    if (FAILED(chain.graph->run()))
        return false;
    const bool complete = TestGraphs::waitForCompletion(*chain.graph);
    chain.graph->stop();
    return complete && QFile(path).size() > 0;
}

bool writeNotAudio(const QString& textPath, const QString& noisePath) {
    QFile text(textPath);
    QFile noise(noisePath);
    if (!text.open(QIODevice::WriteOnly) || !noise.open(QIODevice::WriteOnly))
        return false;
    text.write(QByteArray("Running order for Monday morning.\n").repeated(100));
    QByteArray bytes(8192, 0);
    std::uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    noise.write(bytes);
    return true;
}

void appendSilence(std::vector<std::uint8_t>& samples, double seconds) {
    const auto more = SyntheticAudio::silence(frames(seconds));
    samples.insert(samples.end(), more.begin(), more.end());
}

void appendTone(std::vector<std::uint8_t>& samples, double seconds) {
    const auto more = SyntheticAudio::tone(frames(seconds), kHalfScale, kHalfScale,
                                           static_cast<int>(samples.size() / 4));
    samples.insert(samples.end(), more.begin(), more.end());
}

std::vector<std::uint8_t> silenceThenTone(double silentSeconds, double toneSeconds) {
    std::vector<std::uint8_t> samples;
    appendSilence(samples, silentSeconds);
    appendTone(samples, toneSeconds);
    return samples;
}

} // namespace AudioFiles
