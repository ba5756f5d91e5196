#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Audio files made in the test from 44.1 kHz 16-bit stereo samples (see SyntheticAudio).
namespace AudioFiles {

// Encoders after the samples; the file is written by "filesink".
inline const char* const kWav = "wavenc";
inline const char* const kMp3 = "audioconvert ! lamemp3enc";
inline const char* const kOgg = "audioconvert ! vorbisenc ! oggmux";

// Writes the samples through the encoder chain; true once the file is complete.
bool write(const QString& path, const std::vector<std::uint8_t>& samples, const char* encoder);
// `seconds` of a 1 kHz tone at half scale through the program's own WMA writer.
bool writeWmaTone(const QString& path, double seconds);

// Files that hold no audio: plain text, and bytes of no recognisable kind.
bool writeNotAudio(const QString& textPath, const QString& noisePath);

// Samples: silence and tone at half scale, one after the other, as many seconds as given.
std::vector<std::uint8_t> silenceThenTone(double silentSeconds, double toneSeconds);
void appendSilence(std::vector<std::uint8_t>& samples, double seconds);
void appendTone(std::vector<std::uint8_t>& samples, double seconds);

} // namespace AudioFiles
