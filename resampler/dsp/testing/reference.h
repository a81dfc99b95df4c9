// Test and benchmark aids for the converter: a speech-like test signal, the
// same signal converted by libsoxr, whole-stream conversion with our block
// converter, and the signal-to-noise ratio of our output against soxr's
// after lining up the two filters' delays to a fraction of a sample.
#pragma once

#include <cstdint>
#include <vector>

#include "resampler/dsp/converter.h"
#include "resampler/dsp/plan.h"

namespace ksv::resampler::reference {

// Voiced stretches (a wandering pitch of 90..230 Hz, harmonics shaped by
// three moving formants, a syllable envelope), hissing noise bursts and short
// pauses, band-limited to 8 kHz as a recording is, 16-bit, interleaved; a second channel carries a different voice.
std::vector<int16_t> SpeechLike(int32_t rate, double seconds, int channels, uint32_t seed);

// soxr recipes by name.
enum class SoxrQuality { kQuick, kLow, kMedium, kVeryHigh };
const char* SoxrQualityName(SoxrQuality quality);

// The whole input converted by soxr in one go, as floats at 16-bit scale
// (interleaved). Empty if soxr fails.
std::vector<float> SoxrConvert(const std::vector<int16_t>& in, int channels, double inRate, double outRate,
                               SoxrQuality quality);

// The whole input (interleaved PCM bytes) pushed through `converter` block
// by block, the last block padded with silence.
std::vector<uint8_t> ConvertStream(BlockConverter& converter, const std::vector<uint8_t>& in);

// Signal-to-noise ratio in dB of `ours` (channel `channel` of `channels`,
// 16-bit) against `reference` (floats, same layout), ours taken as the
// reference delayed by a delay found to a fraction of a sample. The ends
// (where the two filters start and stop differently) are left out.
struct AlignedSnr {
  double snrDb = 0.0;
  double delay = 0.0;  // output samples
};
AlignedSnr CompareAligned(const std::vector<int16_t>& ours, const std::vector<float>& reference, int channels,
                          int channel);

std::vector<uint8_t> AsBytes(const std::vector<int16_t>& samples);
std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes);

}  // namespace ksv::resampler::reference
