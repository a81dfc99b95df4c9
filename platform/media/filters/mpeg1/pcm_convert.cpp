#include "platform/media/filters/mpeg1/pcm_convert.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace ksv::media::mpeg1 {
namespace {

int16_t FromFloat(float value) {
  const float scaled = std::nearbyint(value * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// The value of sample `index` of channel `channel`, for a format whose
// samples are T; planar formats keep each channel in its own plane.
template <typename T>
T Sample(const AVFrame& frame, bool planar, int frameChannels, int channel, int index) {
  if (planar) return reinterpret_cast<const T*>(frame.extended_data[channel])[index];
  return reinterpret_cast<const T*>(frame.extended_data[0])[index * frameChannels + channel];
}

template <typename T, typename Convert>
void Interleave(const AVFrame& frame, bool planar, int frameChannels, int first, int count,
                int channels, int16_t* out, Convert convert) {
  for (int index = first; index < first + count; ++index) {
    for (int channel = 0; channel < channels; ++channel) {
      const int from = std::min(channel, frameChannels - 1);
      *out++ = convert(Sample<T>(frame, planar, frameChannels, from, index));
    }
  }
}

}  // namespace

bool ConvertToS16(const AVFrame& frame, int frameChannels, int first, int count, int channels,
                  int16_t* out) {
  if (frameChannels < 1 || channels < 1 || first < 0 || count < 0 ||
      first + count > frame.nb_samples) {
    return false;
  }
  const auto format = static_cast<AVSampleFormat>(frame.format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_S16:
      Interleave<int16_t>(frame, planar, frameChannels, first, count, channels, out,
                          [](int16_t value) { return value; });
      return true;
    case AV_SAMPLE_FMT_S32:
      Interleave<int32_t>(frame, planar, frameChannels, first, count, channels, out,
                          [](int32_t value) { return static_cast<int16_t>(value >> 16); });
      return true;
    case AV_SAMPLE_FMT_FLT:
      Interleave<float>(frame, planar, frameChannels, first, count, channels, out, FromFloat);
      return true;
    default:
      return false;
  }
}

}  // namespace ksv::media::mpeg1
