#include "resampler/audio_types.h"

#include <cstring>
#include <strings.h>

#include "platform/media/formats.h"
#include "platform/media/media_guids.h"
#include "platform/media/vfw_errors.h"
#include "resampler/dsp/rates.h"

namespace ksv::resampler {
namespace {

constexpr WORD kWaveFormatExtensible = 0xFFFE;
constexpr ULONG kPcmFormatBytes = 16;  // PCMWAVEFORMAT: WAVEFORMATEX without cbSize

struct FixedType {
  int32_t rate;
  int16_t channels;
  int16_t bits;
};
constexpr FixedType kFixedTypes[kOutputTypeCount - 1] = {
    {22050, 1, 16}, {8000, 1, 16},  {11025, 1, 16}, {44100, 1, 16}, {48000, 1, 16},
    {8000, 1, 8},   {11025, 1, 8},  {22050, 1, 8},  {44100, 1, 8},  {48000, 1, 8},
    {8000, 2, 16},  {11025, 2, 16}, {22050, 2, 16}, {44100, 2, 16}, {48000, 2, 16},
    {8000, 2, 8},   {11025, 2, 8},  {22050, 2, 8},  {44100, 2, 8},  {48000, 2, 8},
};

// WAVEFORMATEXTENSIBLE: the WAVEFORMATEX with cbSize of at least 22, then
// valid bits, channel mask and, at byte 24, the SubFormat that says what the
// samples are.
constexpr ULONG kExtensibleFormatBytes = 40;
constexpr ULONG kSubFormatOffset = 24;
constexpr WORD kExtensibleExtraBytes = 22;

// The format tag says PCM, or the extensible form's SubFormat does. An
// extensible format of any other SubFormat (A-law, float, ...) is not PCM
// whatever its sample size.
bool IsPcmTag(const AM_MEDIA_TYPE& type) {
  WORD tag = 0;
  std::memcpy(&tag, type.pbFormat, sizeof tag);
  if (tag == WAVE_FORMAT_PCM) return true;
  if (tag != kWaveFormatExtensible || type.cbFormat < kExtensibleFormatBytes) return false;
  WORD extra = 0;
  std::memcpy(&extra, type.pbFormat + 16, sizeof extra);
  GUID subFormat{};
  std::memcpy(&subFormat, type.pbFormat + kSubFormatOffset, sizeof subFormat);
  return extra >= kExtensibleExtraBytes && subFormat == MEDIASUBTYPE_PCM;
}

}  // namespace

std::optional<PcmFormat> PcmFormatOf(const AM_MEDIA_TYPE& type) {
  if (type.majortype != MEDIATYPE_Audio || type.pbFormat == nullptr ||
      type.cbFormat < kPcmFormatBytes) {
    return std::nullopt;
  }
  WAVEFORMATEX wave{};
  std::memcpy(&wave, type.pbFormat, kPcmFormatBytes);
  PcmFormat format;
  format.rate = wave.nSamplesPerSec > 0x7FFFFFFFu ? 0 : static_cast<int32_t>(wave.nSamplesPerSec);
  format.channels = static_cast<int16_t>(wave.nChannels);
  format.bits = static_cast<int16_t>(wave.wBitsPerSample);
  return format;
}

HRESULT CheckPcmInput(const AM_MEDIA_TYPE& type) {
  const std::optional<PcmFormat> format = PcmFormatOf(type);
  if (!format) return VFW_E_INVALIDMEDIATYPE;
  if (!IsPcmTag(type)) return VFW_E_NO_ACCEPTABLE_TYPES;
  if (format->channels != 1 && format->channels != 2) return VFW_E_NO_ACCEPTABLE_TYPES;
  if (format->bits != 8 && format->bits != 16) return VFW_E_NO_ACCEPTABLE_TYPES;
  if (!IsSupportedRate(format->rate)) return VFW_E_NO_ACCEPTABLE_TYPES;
  return S_OK;
}

std::string InputRefusal(const AM_MEDIA_TYPE& type) {
  if (CheckPcmInput(type) == S_OK) return {};
  const std::optional<PcmFormat> format = PcmFormatOf(type);
  if (!format) return "not sound with a wave format";
  if (!IsPcmTag(type)) {
    WORD tag = 0;
    std::memcpy(&tag, type.pbFormat, sizeof tag);
    if (tag == kWaveFormatExtensible) return "an extensible format whose SubFormat is not PCM";
    return "format tag " + std::to_string(tag) + " is not PCM";
  }
  if (format->channels != 1 && format->channels != 2) {
    return std::to_string(format->channels) + " channels: the converter takes mono or stereo";
  }
  if (format->bits != 8 && format->bits != 16) {
    return std::to_string(format->bits) + "-bit samples: the converter takes 8 or 16 bits";
  }
  return std::to_string(format->rate) + " Hz: the converter takes " + std::to_string(kMinRate) +
         " to " + std::to_string(kMaxRate) + " Hz";
}

void MakePcmType(const PcmFormat& format, CMediaType* type) {
  *type = CMediaType(&MEDIATYPE_Audio);
  type->SetSubtype(&MEDIASUBTYPE_WAVE);
  type->SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = static_cast<WORD>(format.channels);
  wave.nSamplesPerSec = static_cast<DWORD>(format.rate);
  wave.nBlockAlign = static_cast<WORD>(format.channels * format.bits / 8);
  wave.nAvgBytesPerSec = static_cast<DWORD>(wave.nBlockAlign) * wave.nSamplesPerSec;
  wave.wBitsPerSample = static_cast<WORD>(format.bits);
  wave.cbSize = 0;
  type->SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof wave);
  if (wave.nBlockAlign > 0) type->SetSampleSize(wave.nBlockAlign);
}

HRESULT OutputType(int position, const PcmFormat& configured, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position >= kOutputTypeCount) return VFW_S_NO_MORE_ITEMS;
  if (type == nullptr) return E_POINTER;
  if (position == 0) {
    MakePcmType(configured, type);
  } else {
    const FixedType& fixed = kFixedTypes[position - 1];
    MakePcmType({fixed.rate, fixed.channels, fixed.bits}, type);
  }
  return S_OK;
}

int64_t BytesPerSecond(const PcmFormat& format) {
  if (format.rate <= 0 || format.channels <= 0 || format.bits <= 0) return 0;
  return int64_t{format.bits} * format.channels * format.rate / 8;
}

DWORD MeritValue(std::string_view name) {
  for (const MeritName& entry : kMeritNames) {
    if (name.size() == std::strlen(entry.name) &&
        strncasecmp(name.data(), entry.name, name.size()) == 0) {
      return entry.value;
    }
  }
  return 0;
}

int MeritIndex(DWORD value) {
  for (size_t i = 0; i < std::size(kMeritNames); ++i) {
    if (kMeritNames[i].value == value) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace ksv::resampler
