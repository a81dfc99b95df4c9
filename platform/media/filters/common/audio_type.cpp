#include "platform/media/filters/common/audio_type.h"

#include <cstring>
#include <span>

#include "support/byte_order.h"

namespace ksv::media::filters {

namespace {

using support::LoadLe16;
using support::LoadLe32;

constexpr size_t kWaveFormatSize = 16;    // WAVEFORMAT with wBitsPerSample
constexpr size_t kWaveFormatExSize = 18;  // + cbSize
constexpr size_t kSubFormatOffset = 24;   // WAVEFORMATEXTENSIBLE's SubFormat

GUID ReadGuid(std::span<const uint8_t> bytes, size_t at) {
  GUID guid{};
  guid.Data1 = LoadLe32(bytes, at);
  guid.Data2 = LoadLe16(bytes, at + 4);
  guid.Data3 = LoadLe16(bytes, at + 6);
  std::memcpy(guid.Data4, bytes.subspan(at + 8, 8).data(), 8);
  return guid;
}

}  // namespace

WAVEFORMATEX ReadWaveFormat(const std::vector<uint8_t>& format) {
  WAVEFORMATEX wave{};
  if (format.size() < kWaveFormatSize) return wave;
  const std::span<const uint8_t> bytes = format;
  wave.wFormatTag = LoadLe16(bytes, 0);
  wave.nChannels = LoadLe16(bytes, 2);
  wave.nSamplesPerSec = LoadLe32(bytes, 4);
  wave.nAvgBytesPerSec = LoadLe32(bytes, 8);
  wave.nBlockAlign = LoadLe16(bytes, 12);
  wave.wBitsPerSample = LoadLe16(bytes, 14);
  if (format.size() >= kWaveFormatExSize) wave.cbSize = LoadLe16(bytes, 16);
  return wave;
}

bool AudioMediaType(const std::vector<uint8_t>& format, CMediaType* type) {
  if (format.size() < kWaveFormatSize) return false;
  std::vector<uint8_t> block = format;
  if (block.size() < kWaveFormatExSize) block.resize(kWaveFormatExSize, 0);
  const size_t extra = block.size() - kWaveFormatExSize;
  if (LoadLe16(block, 16) > extra) support::StoreLe16(block, 16, static_cast<uint16_t>(extra));
  const WAVEFORMATEX wave = ReadWaveFormat(block);

  GUID subtype = FourccSubtype(wave.wFormatTag);
  if (wave.wFormatTag == kWaveFormatExtensible && wave.cbSize >= 22 &&
      block.size() >= kSubFormatOffset + 16) {
    subtype = ReadGuid(block, kSubFormatOffset);
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
