#include "platform/acm/acm_formats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/adpcm/ima_adpcm.h"
#include "support/byte_order.h"

namespace ksv::platform::acm {
namespace {

constexpr WORD kTags[] = {WAVE_FORMAT_PCM, kWaveFormatImaAdpcm, kWaveFormatALaw, kWaveFormatMuLaw};
constexpr DWORD kRates[] = {8000, 11025, 22050, 44100};

}  // namespace

const char* FormatTagName(WORD tag) {
  switch (tag) {
    case WAVE_FORMAT_PCM: return "PCM";
    case kWaveFormatImaAdpcm: return "IMA ADPCM";
    case kWaveFormatALaw: return "CCITT A-Law";
    case kWaveFormatMuLaw: return "CCITT u-Law";
    default: return nullptr;
  }
}

std::vector<uint8_t> MakeFormat(WORD tag, DWORD rate, WORD channels) {
  if (FormatTagName(tag) == nullptr || rate == 0 || (channels != 1 && channels != 2)) return {};
  WAVEFORMATEX wave{};
  wave.wFormatTag = tag;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  std::vector<uint8_t> extra;
  if (tag == kWaveFormatImaAdpcm) {
    const size_t blockAlign = adpcm::WavBlockAlignFor(rate, channels);
    const size_t perBlock = adpcm::WavSamplesPerBlock(blockAlign, channels);
    wave.wBitsPerSample = 4;
    wave.nBlockAlign = static_cast<WORD>(blockAlign);
    wave.nAvgBytesPerSec = static_cast<DWORD>(uint64_t(rate) * blockAlign / perBlock);
    support::AppendLe16(extra, static_cast<uint16_t>(perBlock));
  } else {
    wave.wBitsPerSample = tag == WAVE_FORMAT_PCM ? 16 : 8;
    wave.nBlockAlign = static_cast<WORD>(channels * wave.wBitsPerSample / 8);
    wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
  }
  wave.cbSize = static_cast<WORD>(extra.size());
  std::vector<uint8_t> block(sizeof wave);
  std::memcpy(block.data(), &wave, sizeof wave);
  block.insert(block.end(), extra.begin(), extra.end());
  return block;
}

std::vector<std::vector<uint8_t>> ListedFormats() {
  std::vector<std::vector<uint8_t>> formats;
  for (WORD tag : kTags) {
    for (DWORD rate : kRates) {
      for (WORD channels : {WORD{1}, WORD{2}}) formats.push_back(MakeFormat(tag, rate, channels));
    }
  }
  return formats;
}

size_t MaxFormatSize() {
  size_t largest = 0;
  for (const auto& format : ListedFormats()) largest = std::max(largest, format.size());
  return largest;
}

std::string DescribeFormat(const WAVEFORMATEX& format) {
  char text[64];
  const char* channels = format.nChannels == 1 ? "Mono" : format.nChannels == 2 ? "Stereo" : "";
  std::snprintf(text, sizeof text, "%u.%03u kHz, %u Bit, %s", format.nSamplesPerSec / 1000,
                format.nSamplesPerSec % 1000, unsigned{format.wBitsPerSample}, channels);
  return text;
}

WAVEFORMATEX HeaderOf(const std::vector<uint8_t>& block) {
  WAVEFORMATEX wave{};
  std::memcpy(&wave, block.data(), std::min(block.size(), sizeof wave));
  return wave;
}

}  // namespace ksv::platform::acm
