#pragma once

// Lays the files of a chain end to end and tells, at each join, how much of the input is missing
// or heard twice. The files must have recorded the shared tick signal of the private sound server
// ("Monitor of VeltraxTicks"): a 2 kHz tick every 100 ms, every tenth one louder, over a quiet
// continuous 440 Hz bed. The ticks give the time to the sample; the bed shows where a file's
// audio begins and ends, whatever silence the decoder adds before or after it. Decoding is left
// to ffmpeg, so the files are read as any player would read them.

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace joincheck {

inline const QString kTicksDevice = QStringLiteral("Monitor of VeltraxTicks");
constexpr int kRate = 44100;
constexpr double kTickSeconds = 0.1;
constexpr int kTicksPerMarker = 10; // so a join is known to within [-0.5 s, 0.5 s)
constexpr int kTickLoud = 6000;     // ticks are 0.4 and 0.9 of full scale
constexpr int kMarkerLoud = 21000;
constexpr int kBedLevel = 600;                 // the bed is 0.05 of full scale (1638)
constexpr long kQuietBeforeTick = kRate / 50;  // 20 ms
constexpr long kBeforeTick = kRate * 6 / 1000; // a tick lasts 5 ms: it is weighed from 6 ms
constexpr long kAfterTick = kRate * 11 / 1000; // before its start to 11 ms after
constexpr long kIrregular = kRate * 2 / 1000;  // a tick more than 2 ms off its place
constexpr long kCodecFrame = 2048;             // the longest frame of the two codecs

struct Tick {
    double at; // centre of its energy, in samples from the start of the decoded file
    bool marker;
};

struct Recording {
    QString error; // empty when the file could be read
    long length = 0;
    long contentStart = 0; // first sample of the input in the decoded file
    long contentEnd = 0;   // one past its last
    std::vector<Tick> ticks;
    int irregularTicks = 0;     // steps between neighbouring ticks that are not 100 ms: a tick
                                // missing (a pause in the signal) or out of place
    double firstIrregular = -1; // seconds into the signal where the first such step ends
    double seconds() const { return double(contentEnd - contentStart) / kRate; }
};

// The first channel of the file, decoded at 44.1 kHz.
inline std::vector<std::int16_t> decodeFirstChannel(const QString& path, QString& error) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", path, "-af", "pan=mono|c0=c0",
                                            "-f", "s16le", "-ar", QString::number(kRate), "-"});
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0) {
        error = QStringLiteral("ffmpeg could not decode %1: %2")
                    .arg(path, QString::fromUtf8(ffmpeg.readAllStandardError()).trimmed());
        return {};
    }
    const QByteArray pcm = ffmpeg.readAllStandardOutput();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(pcm.size()) / 2);
    std::copy_n(pcm.constData(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
    return samples;
}

inline Recording read(const QString& path) {
    Recording file;
    const std::vector<std::int16_t> s = decodeFirstChannel(path, file.error);
    file.length = static_cast<long>(s.size());
    const auto level = [&](long i) {
        return std::abs(static_cast<int>(s[i]));
    };
    while (file.contentStart < file.length && level(file.contentStart) < kBedLevel)
        ++file.contentStart;
    file.contentEnd = file.length;
    while (file.contentEnd > file.contentStart && level(file.contentEnd - 1) < kBedLevel)
        --file.contentEnd;
    if (file.error.isEmpty() && file.contentEnd - file.contentStart < kRate)
        file.error = QStringLiteral("%1 holds less than a second of the signal").arg(path);

    long quiet = kQuietBeforeTick;
    for (long i = file.contentStart; i < file.contentEnd; ++i) {
        if (level(i) < kTickLoud) {
            ++quiet;
            continue;
        }
        // Only whole ticks count: none cut by the start or the end of the file.
        const bool whole = quiet >= kQuietBeforeTick && i - file.contentStart >= kBeforeTick &&
                           i + kAfterTick <= file.contentEnd;
        quiet = 0;
        if (!whole)
            continue;
        // The window is centred on the tick, so the bed pulls its centre neither way.
        double energy = 0, moment = 0;
        int peak = 0;
        for (long j = i - kBeforeTick; j < i + kAfterTick; ++j) {
            const double e = double(s[j]) * s[j];
            energy += e;
            moment += e * j;
            peak = std::max(peak, level(j));
        }
        file.ticks.push_back({moment / energy, peak >= kMarkerLoud});
    }
    // The last half frame of a WMA file is decoded without the frame that would complete it, and
    // shows a tick mirrored in time: a tick out of step that close to either end is not the
    // input's.
    const auto inStep = [&](std::size_t i) {
        const double step = file.ticks[i].at - file.ticks[i - 1].at;
        return std::abs(step - kTickSeconds * kRate) <= kIrregular;
    };
    while (file.ticks.size() > 2 && !inStep(file.ticks.size() - 1) &&
           file.contentEnd - file.ticks.back().at < kCodecFrame)
        file.ticks.pop_back();
    while (file.ticks.size() > 2 && !inStep(1) &&
           file.ticks.front().at - file.contentStart < kCodecFrame)
        file.ticks.erase(file.ticks.begin());
    for (std::size_t i = 1; i < file.ticks.size(); ++i) {
        if (inStep(i))
            continue;
        if (file.irregularTicks++ == 0)
            file.firstIrregular = (file.ticks[i].at - file.contentStart) / kRate;
    }
    if (file.error.isEmpty() &&
        std::none_of(file.ticks.begin(), file.ticks.end(), [](const Tick& t) { return t.marker; }))
        file.error = QStringLiteral("%1 holds no marker tick").arg(path);
    return file;
}

// Where a tick falls in the ten-tick cycle (0 for a marker), from the nearest marker.
inline int phaseOf(const Recording& file, const Tick& tick) {
    double nearest = 1e18;
    for (const Tick& other : file.ticks) {
        if (other.marker && std::abs(other.at - tick.at) < std::abs(nearest - tick.at))
            nearest = other.at;
    }
    const long steps = std::lround((tick.at - nearest) / (kTickSeconds * kRate));
    return static_cast<int>(((steps % kTicksPerMarker) + kTicksPerMarker) % kTicksPerMarker);
}

// Seconds of input between the end of one file and the start of the next: positive is audio
// lost, negative audio heard twice. Read to within [-0.5 s, 0.5 s).
inline double gapBetween(const Recording& before, const Recording& after) {
    const Tick& last = before.ticks.back();
    const Tick& first = after.ticks.front();
    const double tail = (before.contentEnd - last.at) / kRate;
    const double head = (first.at - after.contentStart) / kRate;
    const int steps =
        (phaseOf(after, first) - phaseOf(before, last) + kTicksPerMarker) % kTicksPerMarker;
    const double cycle = kTicksPerMarker * kTickSeconds;
    double gap = steps * kTickSeconds - head - tail;
    gap -= cycle * std::floor(gap / cycle + 0.5);
    return gap;
}

} // namespace joincheck
