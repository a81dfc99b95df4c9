#include "platform/media/filters/common/audio_type.h"

#include <cstring>

namespace ksv::media::filters {

namespace {

uint16_t Le16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }
uint32_t Le32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

constexpr size_t kWaveFormatSize = 16;    // WAVEFORMAT with wBitsPerSample
constexpr size_t kWaveFormatExSize = 18;  // + cbSize
constexpr size_t kSubFormatOffset = 24;   // WAVEFORMATEXTENSIBLE's SubFormat

GUID ReadGuid(const uint8_t* bytes) {
  GUID guid{};
  guid.Data1 = Le32(bytes);
  guid.Data2 = Le16(bytes + 4);
  guid.Data3 = Le16(bytes + 6);
  std::memcpy(guid.Data4, bytes + 8, 8);
  return guid;
}

}  // namespace

WAVEFORMATEX ReadWaveFormat(const std::vector<uint8_t>& format) {
  WAVEFORMATEX wave{};
  if (format.size() < kWaveFormatSize) return wave;
  const uint8_t* bytes = format.data();
  wave.wFormatTag = Le16(bytes);
  wave.nChannels = Le16(bytes + 2);
  wave.nSamplesPerSec = Le32(bytes + 4);
  wave.nAvgBytesPerSec = Le32(bytes + 8);
  wave.nBlockAlign = Le16(bytes + 12);
  wave.wBitsPerSample = Le16(bytes + 14);
  if (format.size() >= kWaveFormatExSize) wave.cbSize = Le16(bytes + 16);
  return wave;
}

bool AudioMediaType(const std::vector<uint8_t>& format, CMediaType* type) {
  if (format.size() < kWaveFormatSize) return false;
  std::vector<uint8_t> block = format;
  if (block.size() < kWaveFormatExSize) block.resize(kWaveFormatExSize, 0);
  const size_t extra = block.size() - kWaveFormatExSize;
  if (Le16(block.data() + 16) > extra) {
    block[16] = static_cast<uint8_t>(extra & 0xFF);
    block[17] = static_cast<uint8_t>(extra >> 8);
  }
  const WAVEFORMATEX wave = ReadWaveFormat(block);

  GUID subtype = FourccSubtype(wave.wFormatTag);
  if (wave.wFormatTag == kWaveFormatExtensible && wave.cbSize >= 22 &&
      block.size() >= kSubFormatOffset + 16) {
    subtype = ReadGuid(block.data() + kSubFormatOffset);
  }
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Audio);
  type->SetSubtype(&subtype);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetTemporalCompression(FALSE);
  type->SetSampleSize(wave.nBlockAlign);
  // A block past what a format block may be would not fit a media type.
  if (block.size() > 0xFFFF + kWaveFormatExSize) block.resize(0xFFFF + kWaveFormatExSize);
  return type->SetFormat(block.data(), static_cast<ULONG>(block.size())) != FALSE;
}

}  // namespace ksv::media::filters
