// Decoded audio into 16-bit interleaved PCM, the decoder's only output
// form: from libavcodec's 16-bit, 32-bit and float sample formats, planar
// or interleaved. Output channel c takes the frame's channel c, or its
// last channel when the frame has fewer (mono into stereo).
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

namespace ksv::media::mpeg1 {

// Writes samples [first, first + count) of `frame` into `out`
// (count * channels values). False for a sample format it does not know.
bool ConvertToS16(const AVFrame& frame, int frameChannels, int first, int count, int channels,
                  int16_t* out);

}  // namespace ksv::media::mpeg1
