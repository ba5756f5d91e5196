#include "SyntheticAudio.h"

#include <cmath>

namespace SyntheticAudio {

namespace {

void append(std::vector<std::uint8_t>& bytes, std::int16_t value) {
    const auto bits = static_cast<std::uint16_t>(value);
    bytes.push_back(static_cast<std::uint8_t>(bits & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(bits >> 8));
}

} // namespace

std::vector<std::uint8_t> tone(int frames, int leftAmplitude, int rightAmplitude, int firstFrame) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(frames) * 4);
    for (int i = 0; i < frames; ++i) {
        const double phase = 2.0 * M_PI * 1000.0 * (firstFrame + i) / kRate;
        append(bytes, static_cast<std::int16_t>(std::lround(leftAmplitude * std::sin(phase))));
        append(bytes, static_cast<std::int16_t>(std::lround(rightAmplitude * std::sin(phase))));
    }
    return bytes;
}

std::vector<std::uint8_t> constant(int frames, std::int16_t left, std::int16_t right) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(frames) * 4);
    for (int i = 0; i < frames; ++i) {
        append(bytes, left);
        append(bytes, right);
    }
    return bytes;
}

std::vector<std::uint8_t> silence(int frames) {
    return constant(frames, 0, 0);
}

} // namespace SyntheticAudio
