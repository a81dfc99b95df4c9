#include "support/adpcm/ima_adpcm.h"

#include <algorithm>

#include "support/byte_order.h"

namespace ksv::adpcm {

const std::array<int, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const std::array<int, 16> kIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8,
                                         -1, -1, -1, -1, 2, 4, 6, 8};

namespace {

constexpr int kMaxIndex = 88;
constexpr size_t kWavHeaderBytes = 4;  // per channel
constexpr size_t kWavRunBytes = 4;     // codes of one channel before the next channel's

int ClampIndex(int index) { return std::clamp(index, 0, kMaxIndex); }

}  // namespace

int16_t ImaChannel::Decode(uint8_t code) {
  code &= 0x0F;
  const int step = kStepTable[static_cast<size_t>(index)];
  int delta = step >> 3;
  if (code & 4) delta += step;
  if (code & 2) delta += step >> 1;
  if (code & 1) delta += step >> 2;
  if (code & 8) delta = -delta;
  predictor = std::clamp(predictor + delta, -32768, 32767);
  index = ClampIndex(index + kIndexTable[code]);
  return static_cast<int16_t>(predictor);
}

uint8_t ImaChannel::Encode(int sample) {
  const int step = kStepTable[static_cast<size_t>(index)];
  int difference = sample - predictor;
  uint8_t code = 0;
  if (difference < 0) {
    code = 8;
    difference = -difference;
  }
  if (difference >= step) {
    code |= 4;
    difference -= step;
  }
  if (difference >= step >> 1) {
    code |= 2;
    difference -= step >> 1;
  }
  if (difference >= step >> 2) code |= 1;
  Decode(code);
  return code;
}

void DecodeCameraBlock(std::span<const uint8_t, kCameraBlockBytes> block,
                       std::span<int16_t, kCameraBlockSamples> samples) {
  ImaChannel channel{(block[0] - 128) * 256, ClampIndex(block[1])};
  for (size_t i = 0; i < kCameraBlockSamples / 2; ++i) {
    const uint8_t codes = block[2 + i];
    samples[2 * i] = channel.Decode(codes & 0x0F);
    samples[2 * i + 1] = channel.Decode(codes >> 4);
  }
}

void EncodeCameraBlock(std::span<const int16_t, kCameraBlockSamples> samples, int* index,
                       std::span<uint8_t, kCameraBlockBytes> block) {
  // The header keeps only the predictor's high byte: round to it.
  const int high = std::clamp((samples[0] + 128) >> 8, -128, 127);
  ImaChannel channel{high * 256, ClampIndex(*index)};
  block[0] = static_cast<uint8_t>(high + 128);
  block[1] = static_cast<uint8_t>(channel.index);
  for (size_t i = 0; i < kCameraBlockSamples / 2; ++i) {
    const uint8_t low = channel.Encode(samples[2 * i]);
    const uint8_t highNibble = channel.Encode(samples[2 * i + 1]);
    block[2 + i] = static_cast<uint8_t>(low | highNibble << 4);
  }
  *index = channel.index;
}

size_t WavSamplesPerBlock(size_t blockAlign, int channels) {
  if (channels != 1 && channels != 2) return 0;
  const size_t perChannel = kWavHeaderBytes * static_cast<size_t>(channels);
  // At least one run of codes per channel after the headers, whole runs only.
  if (blockAlign < 2 * perChannel || (blockAlign - perChannel) % perChannel != 0) return 0;
  return (blockAlign - perChannel) * 8 / perChannel + 1;
}

size_t WavBlockAlignFor(uint32_t sampleRate, int channels) {
  const size_t perChannel = sampleRate <= 11025 ? 256 : sampleRate <= 22050 ? 512 : 1024;
  return perChannel * static_cast<size_t>(channels);
}

bool DecodeWavBlock(std::span<const uint8_t> block, int channels, std::span<int16_t> samples) {
  const size_t perBlock = WavSamplesPerBlock(block.size(), channels);
  const size_t count = static_cast<size_t>(channels);
  if (perBlock == 0 || samples.size() < perBlock * count) return false;
  std::array<ImaChannel, 2> state;
  for (size_t c = 0; c < count; ++c) {
    const size_t header = c * kWavHeaderBytes;
    state[c] = ImaChannel{support::LoadLeInt16(block, header), ClampIndex(block[header + 2])};
    samples[c] = static_cast<int16_t>(state[c].predictor);
  }
  // Each channel's runs of 8 codes, one channel after the other.
  size_t at = kWavHeaderBytes * count;
  for (size_t first = 1; first < perBlock; first += 8) {
    for (size_t c = 0; c < count; ++c) {
      for (size_t i = 0; i < kWavRunBytes; ++i, ++at) {
        const size_t sample = first + 2 * i;
        samples[sample * count + c] = state[c].Decode(block[at] & 0x0F);
        samples[(sample + 1) * count + c] = state[c].Decode(block[at] >> 4);
      }
    }
  }
  return true;
}

bool EncodeWavBlock(std::span<const int16_t> samples, int channels, std::array<int, 2>* indexes,
                    std::span<uint8_t> block) {
  const size_t perBlock = WavSamplesPerBlock(block.size(), channels);
  const size_t count = static_cast<size_t>(channels);
  if (perBlock == 0 || samples.size() < perBlock * count) return false;
  std::array<ImaChannel, 2> state;
  for (size_t c = 0; c < count; ++c) {
    state[c] = ImaChannel{samples[c], ClampIndex((*indexes)[c])};
    uint8_t* header = &block[c * kWavHeaderBytes];
    support::StoreLe16(block, c * kWavHeaderBytes, static_cast<uint16_t>(samples[c]));
    header[2] = static_cast<uint8_t>(state[c].index);
    header[3] = 0;
  }
  size_t at = kWavHeaderBytes * count;
  for (size_t first = 1; first < perBlock; first += 8) {
    for (size_t c = 0; c < count; ++c) {
      for (size_t i = 0; i < kWavRunBytes; ++i, ++at) {
        const size_t sample = first + 2 * i;
        const uint8_t low = state[c].Encode(samples[sample * count + c]);
        const uint8_t high = state[c].Encode(samples[(sample + 1) * count + c]);
        block[at] = static_cast<uint8_t>(low | high << 4);
      }
    }
  }
  for (size_t c = 0; c < count; ++c) (*indexes)[c] = state[c].index;
  return true;
}

}  // namespace ksv::adpcm
