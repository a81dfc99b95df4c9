#include "platform/media/filters/audio_capture/pcm_media_type.h"

#include <cstring>

#include "platform/media/formats.h"
#include "platform/media/media_guids.h"

namespace ksv::media::filters {

void PcmMediaType(const platform::audio::PcmFormat& format, CMediaType* type) {
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Audio);
  type->SetSubtype(&MEDIASUBTYPE_PCM);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  type->SetSampleSize(format.BlockAlign());
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = format.samplesPerSecond;
  wave.nAvgBytesPerSec = format.BytesPerSecond();
  wave.nBlockAlign = static_cast<WORD>(format.BlockAlign());
  wave.wBitsPerSample = format.bitsPerSample;
  wave.cbSize = 0;
  type->SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof(wave));
}

std::optional<platform::audio::PcmFormat> PcmFormatOf(const AM_MEDIA_TYPE& type) {
  constexpr ULONG kWaveFormatSize = 16;  // WAVEFORMAT: the fields without cbSize
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM ||
      type.formattype != FORMAT_WaveFormatEx || type.pbFormat == nullptr ||
      type.cbFormat < kWaveFormatSize) {
    return std::nullopt;
  }
  WAVEFORMATEX wave{};
  std::memcpy(&wave, type.pbFormat, kWaveFormatSize);
  const platform::audio::PcmFormat format{wave.nSamplesPerSec, wave.nChannels,
                                          wave.wBitsPerSample};
  if (wave.wFormatTag != WAVE_FORMAT_PCM || format.bitsPerSample == 0 ||
      format.bitsPerSample % 8 != 0 || format.channels == 0 || format.samplesPerSecond == 0 ||
      wave.nBlockAlign != format.BlockAlign() || wave.nAvgBytesPerSec != format.BytesPerSecond()) {
    return std::nullopt;
  }
  return format;
}

}  // namespace ksv::media::filters
