// The converter's view of media types: which sound it takes, the output
// types it offers, and the merit names its page lists.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/media/base/media_type.h"
#include "resampler/dsp/plan.h"

namespace ksv::resampler {

// The PCM format a media type carries: sound (MEDIATYPE_Audio) with a
// format block of at least a PCMWAVEFORMAT's 16 bytes. Nothing otherwise.
std::optional<PcmFormat> PcmFormatOf(const AM_MEDIA_TYPE& type);

// The input check: S_OK for PCM sound of 1 or 2 channels, 8 or 16 bits and
// 6025..48000 Hz; VFW_E_INVALIDMEDIATYPE for a type that is not sound or
// has no format block; VFW_E_NO_ACCEPTABLE_TYPES for anything else
// (including a compressed format tag, whose bytes are not PCM samples).
HRESULT CheckPcmInput(const AM_MEDIA_TYPE& type);
// Why CheckPcmInput refuses a type, as a person reads it ("96000 Hz: the
// converter takes 6025 to 48000 Hz"); empty when it takes it.
std::string InputRefusal(const AM_MEDIA_TYPE& type);

// The output types: 0 is `configured`, 1..20 the fixed list (rates 22050,
// 8000, 11025, 44100, 48000 in 16-bit mono, then 8-bit mono, 16-bit stereo,
// 8-bit stereo). E_INVALIDARG below 0, VFW_S_NO_MORE_ITEMS past 20.
inline constexpr int kOutputTypeCount = 21;
HRESULT OutputType(int position, const PcmFormat& configured, CMediaType* type);

// A PCM media type: MEDIASUBTYPE_WAVE, FORMAT_WaveFormatEx, 18 bytes.
void MakePcmType(const PcmFormat& format, CMediaType* type);

// Bytes per second of a format, bits x channels x rate / 8 (0 when any is
// not positive).
int64_t BytesPerSecond(const PcmFormat& format);

// The page's merit names, in list order, and their values.
struct MeritName {
  const char* name;
  DWORD value;
};
inline constexpr MeritName kMeritNames[] = {
    {"MERIT_NORMAL+2", 0x00600002}, {"MERIT_NORMAL+1", 0x00600001},
    {"MERIT_NORMAL", 0x00600000},   {"MERIT_NORMAL-1", 0x005FFFFF},
    {"MERIT_NORMAL-2", 0x005FFFFE}, {"MERIT_UNLIKELY", 0x00400000},
    {"MERIT_DO_NOT_USE", 0x00200000},
};
// The value of a name, compared without regard to case; 0 for none.
DWORD MeritValue(std::string_view name);
// The list index of a value; -1 for a value without a name.
int MeritIndex(DWORD value);

}  // namespace ksv::resampler
