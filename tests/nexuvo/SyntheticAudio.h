#pragma once

#include <cstdint>
#include <vector>

// 16-bit little-endian stereo buffers made up in the test, as a grabber would hand them on.
namespace SyntheticAudio {

constexpr int kRate = 44100;

// frames of a 1 kHz sine with the given amplitudes, left and right.
std::vector<std::uint8_t> tone(int frames, int leftAmplitude, int rightAmplitude,
                               int firstFrame = 0);
// frames of constant values.
std::vector<std::uint8_t> constant(int frames, std::int16_t left, std::int16_t right);
// frames of digital silence.
std::vector<std::uint8_t> silence(int frames);

} // namespace SyntheticAudio
