#include "platform/media/filters/acm_wrapper/sound_converter.h"

#include <array>
#include <cstring>
#include <span>

#include "platform/acm/acm_formats.h"
#include "support/adpcm/ima_adpcm.h"
#include "support/byte_order.h"
#include "support/g711/g711.h"

namespace ksv::media::acm {
namespace {

using platform::acm::kWaveFormatALaw;
using platform::acm::kWaveFormatImaAdpcm;
using platform::acm::kWaveFormatMuLaw;

bool G711(WORD tag) { return tag == kWaveFormatALaw || tag == kWaveFormatMuLaw; }

// PCM is carried in buffers without an alignment promise: read and write
// samples through memcpy (little-endian like the machine).
int16_t LoadSample(const uint8_t* at) {
  int16_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
void StoreSample(uint8_t* at, int16_t value) { std::memcpy(at, &value, sizeof value); }

}  // namespace

std::optional<SoundConverter> SoundConverter::Decoding(const WAVEFORMATEX& format, size_t formatBytes) {
  if (format.nChannels < 1 || format.nChannels > 2 || format.nSamplesPerSec == 0) return std::nullopt;
  SoundConverter converter;
  converter.tag_ = format.wFormatTag;
  converter.channels_ = format.nChannels;
  if (G711(format.wFormatTag)) {
    if (format.wBitsPerSample != 8 || format.nBlockAlign != format.nChannels) return std::nullopt;
    converter.inputUnit_ = format.nChannels;
  } else if (format.wFormatTag == kWaveFormatImaAdpcm) {
    const size_t perBlock = adpcm::WavSamplesPerBlock(format.nBlockAlign, format.nChannels);
    if (perBlock == 0 || format.wBitsPerSample != 4) return std::nullopt;
    // The stored samples per block, when there, must agree with the block size.
    if (format.cbSize >= 2 && formatBytes >= sizeof(WAVEFORMATEX) + 2) {
      const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(&format), formatBytes);
      if (support::LoadLe16(bytes, sizeof(WAVEFORMATEX)) != perBlock) return std::nullopt;
    }
    converter.inputUnit_ = format.nBlockAlign;
    converter.framesPerUnit_ = perBlock;
    converter.block_.resize(perBlock * format.nChannels);
  } else {
    return std::nullopt;
  }
  converter.outputUnit_ = converter.framesPerUnit_ * format.nChannels * 2;
  return converter;
}

std::optional<SoundConverter> SoundConverter::Encoding(const WAVEFORMATEX& pcm, WORD tag) {
  if (pcm.wFormatTag != WAVE_FORMAT_PCM || pcm.wBitsPerSample != 16 || pcm.nChannels < 1 ||
      pcm.nChannels > 2 || pcm.nBlockAlign != pcm.nChannels * 2 || pcm.nSamplesPerSec == 0) {
    return std::nullopt;
  }
  SoundConverter converter;
  converter.encoding_ = true;
  converter.tag_ = tag;
  converter.channels_ = pcm.nChannels;
  if (G711(tag)) {
    converter.outputUnit_ = pcm.nChannels;
  } else if (tag == kWaveFormatImaAdpcm) {
    converter.outputUnit_ = adpcm::WavBlockAlignFor(pcm.nSamplesPerSec, pcm.nChannels);
    converter.framesPerUnit_ = adpcm::WavSamplesPerBlock(converter.outputUnit_, pcm.nChannels);
    converter.block_.resize(converter.framesPerUnit_ * pcm.nChannels);
  } else {
    return std::nullopt;
  }
  converter.inputUnit_ = converter.framesPerUnit_ * pcm.nChannels * 2;
  return converter;
}

void SoundConverter::Convert(const uint8_t* in, size_t units, uint8_t* out) {
  const size_t channels = static_cast<size_t>(channels_);
  if (tag_ == kWaveFormatImaAdpcm) {
    int16_t* samples = block_.data();
    const size_t count = framesPerUnit_ * channels;
    for (size_t u = 0; u < units; ++u) {
      const uint8_t* from = in + u * inputUnit_;
      uint8_t* to = out + u * outputUnit_;
      if (encoding_) {
        for (size_t i = 0; i < count; ++i) samples[i] = LoadSample(from + 2 * i);
        std::array<int, 2> indexes{indexes_[0], indexes_[1]};
        adpcm::EncodeWavBlock(std::span<const int16_t>(samples, count), channels_, &indexes,
                              std::span(to, outputUnit_));
        indexes_[0] = indexes[0];
        indexes_[1] = indexes[1];
      } else {
        adpcm::DecodeWavBlock(std::span(from, inputUnit_), channels_, std::span(samples, count));
        for (size_t i = 0; i < count; ++i) StoreSample(to + 2 * i, samples[i]);
      }
    }
    return;
  }
  const size_t count = units * channels;
  const bool aLaw = tag_ == kWaveFormatALaw;
  for (size_t i = 0; i < count; ++i) {
    if (encoding_) {
      const int16_t sample = LoadSample(in + 2 * i);
      out[i] = aLaw ? g711::EncodeALaw(sample) : g711::EncodeMuLaw(sample);
    } else {
      StoreSample(out + 2 * i, aLaw ? g711::DecodeALaw(in[i]) : g711::DecodeMuLaw(in[i]));
    }
  }
}

}  // namespace ksv::media::acm
