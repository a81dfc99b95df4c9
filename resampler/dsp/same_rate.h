// Conversion of a block when the rate stays the same: integers only, no
// filtering (channel count and sample width change).
#pragma once

#include <cstdint>

#include "resampler/dsp/plan.h"

namespace ksv::resampler::detail {

// Converts plan.inFrames frames from `in` to `out` (both whole blocks).
void ConvertSameRate(const ResamplePlan& plan, const uint8_t* in, uint8_t* out);

}  // namespace ksv::resampler::detail
