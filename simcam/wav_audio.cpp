#include "simcam/wav_audio.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/media/avi/wav_file.h"
#include "support/byte_order.h"

namespace ksv::simcam {

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;

struct WavFormat {
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint16_t bits = 0;
};

WavFormat ReadFormat(std::span<const uint8_t> chunk) {
  if (chunk.size() < 16) throw WavError("WAV format chunk is too short");
  uint16_t tag = support::LoadLe16(chunk, 0);
  if (tag == kFormatExtensible && chunk.size() >= 26) tag = support::LoadLe16(chunk, 24);  // subformat
  if (tag != kFormatPcm) {
    throw WavError("WAV sound is not PCM (format " + std::to_string(tag) + ")");
  }
  WavFormat format{support::LoadLe16(chunk, 2), support::LoadLe32(chunk, 4), support::LoadLe16(chunk, 14)};
  if (format.channels < 1 || format.channels > 8) {
    throw WavError("WAV file has " + std::to_string(format.channels) + " channels (1 to 8)");
  }
  if (format.rate < 1000 || format.rate > 192000) {
    throw WavError("WAV rate " + std::to_string(format.rate) + " Hz is out of range");
  }
  if (format.bits != 8 && format.bits != 16) {
    throw WavError("WAV samples of " + std::to_string(format.bits) + " bits (8 or 16)");
  }
  return format;
}

MonoAudio MixDown(const WavFormat& format, std::span<const uint8_t> data) {
  const size_t bytesPerSample = format.bits / 8;
  const size_t frameBytes = bytesPerSample * format.channels;
  MonoAudio audio{format.rate, {}};
  audio.samples.reserve(data.size() / frameBytes);
  for (size_t at = 0; at + frameBytes <= data.size(); at += frameBytes) {
    int sum = 0;
    for (size_t c = 0; c < format.channels; ++c) {
      const size_t sample = at + c * bytesPerSample;
      sum += bytesPerSample == 1 ? (data[sample] - 128) * 256 : support::LoadLeInt16(data, sample);
    }
    audio.samples.push_back(static_cast<int16_t>(sum / format.channels));
  }
  return audio;
}

}  // namespace

MonoAudio ReadWav(std::span<const uint8_t> file) {
  media::avi::WavFile wav;
  try {
    media::avi::MemoryByteSource source(file);
    wav = media::avi::ReadWav(source);
  } catch (const media::avi::FormatError& error) {
    throw WavError(error.what());
  }
  if (wav.truncated) throw WavError("WAV data runs past the end of the file");
  return MixDown(ReadFormat(wav.format), file.subspan(wav.dataOffset, wav.dataSize));
}

std::vector<uint8_t> WriteWav8(const MonoAudio& audio) {
  std::vector<uint8_t> format(18, 0);  // WAVEFORMATEX, no extra bytes
  support::StoreLe16(format, 0, kFormatPcm);
  support::StoreLe16(format, 2, 1);  // mono
  support::StoreLe32(format, 4, audio.rate);
  support::StoreLe32(format, 8, audio.rate);  // bytes a second
  support::StoreLe16(format, 12, 1);          // block align
  support::StoreLe16(format, 14, 8);
  std::vector<uint8_t> file = media::avi::WavHeader(format, audio.samples.size(), 0);
  for (int16_t sample : audio.samples) file.push_back(ToUnsigned8(sample));
  if (audio.samples.size() & 1) file.push_back(0);
  return file;
}

MonoAudio Resample(const MonoAudio& audio, uint32_t rate) {
  MonoAudio out{rate, {}};
  if (audio.samples.empty() || audio.rate == 0 || rate == 0) return out;
  const size_t count =
      static_cast<size_t>(static_cast<double>(audio.samples.size()) * rate / audio.rate);
  out.samples.resize(count);
  const double step = static_cast<double>(audio.rate) / rate;
  const size_t last = audio.samples.size() - 1;
  for (size_t i = 0; i < count; ++i) {
    const double position = static_cast<double>(i) * step;
    const size_t left = std::min(static_cast<size_t>(position), last);
    const size_t right = std::min(left + 1, last);
    const double fraction = position - static_cast<double>(left);
    const double value = audio.samples[left] * (1.0 - fraction) + audio.samples[right] * fraction;
    out.samples[i] = static_cast<int16_t>(std::lround(value));
  }
  return out;
}

uint8_t ToUnsigned8(int16_t sample) {
  return static_cast<uint8_t>(std::clamp((sample + 128) >> 8, -128, 127) + 128);
}

}  // namespace ksv::simcam
