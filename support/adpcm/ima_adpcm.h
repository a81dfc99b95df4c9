// IMA ADPCM: 4-bit codes that each move a predicted 16-bit sample by a
// step from an 89-entry table, the step index moving with each code. Two
// block layouts carry the codes:
//
//   - the WAV form (format tag 0x0011): per channel a 4-byte header (the
//     block's first sample as a little-endian int16, which is emitted, then
//     the step index and a zero byte), then the codes, low nibble first; with
//     two channels the codes come in 4-byte runs (8 samples) alternating
//     between the channels. A block of nBlockAlign bytes holds
//     (nBlockAlign - 4 * channels) * 8 / (4 * channels) + 1 samples a channel.
//   - the camera's block of 258 bytes, mono: byte 0 the starting predictor's
//     high byte plus 128 (predictor = (byte 0 - 128) * 256), byte 1 the step
//     index, then 256 bytes of codes, low nibble first: 512 samples. The
//     starting predictor itself is not emitted.
//
// Decoders treat blocks as outside bytes: a step index past 88 is taken
// as 88, and a block of the wrong size decodes nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace ksv::adpcm {

extern const std::array<int, 89> kStepTable;
extern const std::array<int, 16> kIndexTable;

// One channel's coder: the decoder's state, which the encoder keeps in step
// with by decoding its own codes.
struct ImaChannel {
  int predictor = 0;
  int index = 0;

  // The sample a code gives, and the state moved on.
  int16_t Decode(uint8_t code);
  // The code nearest `sample` from the current state; the state moves on
  // as the decoder's will.
  uint8_t Encode(int sample);
};

// The camera's block.
inline constexpr size_t kCameraBlockBytes = 258;
inline constexpr size_t kCameraBlockSamples = 512;

void DecodeCameraBlock(std::span<const uint8_t, kCameraBlockBytes> block,
                       std::span<int16_t, kCameraBlockSamples> samples);
// Starts from the first sample rounded to the header's precision and from
// the step index `*index` (the one the previous block ended with), which
// it leaves where this block ends.
void EncodeCameraBlock(std::span<const int16_t, kCameraBlockSamples> samples, int* index,
                       std::span<uint8_t, kCameraBlockBytes> block);

// The WAV form. Samples are interleaved by channel (1 or 2 channels).
// Samples a channel in a block of `blockAlign` bytes; 0 when no whole
// header and code run fit or the channel count is not 1 or 2.
size_t WavSamplesPerBlock(size_t blockAlign, int channels);
// The usual block size for a rate: 256 bytes a channel up to 11,025 Hz,
// 512 up to 22,050, 1,024 above.
size_t WavBlockAlignFor(uint32_t sampleRate, int channels);

// Decodes one block of `block.size()` bytes into WavSamplesPerBlock x
// channels samples; false (nothing written) when `samples` is smaller or
// the block size is no valid one.
bool DecodeWavBlock(std::span<const uint8_t> block, int channels, std::span<int16_t> samples);
// Encodes WavSamplesPerBlock(block.size()) x channels samples into the
// block. `indexes` carries each channel's step index from block to block.
bool EncodeWavBlock(std::span<const int16_t> samples, int channels, std::array<int, 2>* indexes,
                    std::span<uint8_t> block);

}  // namespace ksv::adpcm
