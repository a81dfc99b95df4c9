#include "resampler/dsp/same_rate.h"

#include <cstddef>
#include <cstring>

#include "support/byte_order.h"

namespace ksv::resampler::detail {
namespace {

using support::unchecked::LoadLeInt16;
using support::unchecked::StoreLe16;

// One mono sample from a frame of the input, at the input's width.
int32_t Mixed(const ResamplePlan& p, const uint8_t* frame, bool toEight) {
  if (p.inKind == SampleKind::kUnsigned8) {
    const int32_t l = frame[0], r = frame[1];
    if (toEight) return ((l + 1) >> 1) + r / 2;
    return ((r / 2) - 64 + ((l - 127) >> 1)) * 256;
  }
  const int32_t l = LoadLeInt16(frame), r = LoadLeInt16(frame + 2);
  if (toEight) return ((((r >> 1) + ((l + 1) >> 1)) >> 8) + 128);
  return ((l + 1) >> 1) + (r >> 1);
}

// One sample converted to the output's width.
int32_t Widened(const ResamplePlan& p, const uint8_t* sample, bool toEight) {
  if (p.inKind == SampleKind::kUnsigned8) return toEight ? sample[0] : (sample[0] - 128) * 256;
  const int32_t s = LoadLeInt16(sample);
  return toEight ? (s >> 8) + 128 : s;
}

}  // namespace

void ConvertSameRate(const ResamplePlan& p, const uint8_t* in, uint8_t* out) {
  const bool toEight = p.outKind == SampleKind::kUnsigned8;
  const int32_t inSample = p.inBytesPerSample(), outSample = p.outBytesPerSample();
  const int32_t inFrame = inSample * p.inChannels, outFrame = outSample * p.outChannels;
  if (p.inKind == p.outKind && p.inChannels == p.outChannels) {
    std::memcpy(out, in, static_cast<size_t>(p.inBlockBytes));
    return;
  }
  for (int32_t f = 0; f < p.inFrames; ++f) {
    const uint8_t* src = in + static_cast<ptrdiff_t>(f) * inFrame;
    uint8_t* dst = out + static_cast<ptrdiff_t>(f) * outFrame;
    for (int32_t c = 0; c < p.outChannels; ++c) {
      const int32_t v = p.channelMode == ChannelMode::kStereoToMono ? Mixed(p, src, toEight)
                        : p.channelMode == ChannelMode::kMonoToStereo ? Widened(p, src, toEight)
                                                                      : Widened(p, src + c * inSample, toEight);
      if (toEight)
        dst[c] = static_cast<uint8_t>(v);
      else
        StoreLe16(dst + c * 2, static_cast<uint16_t>(v));
    }
  }
}

}  // namespace ksv::resampler::detail
