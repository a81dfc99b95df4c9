#include "resampler/dsp/kernels.h"

#include "resampler/dsp/pcm.h"
#include "support/byte_order.h"

namespace ksv::resampler::detail {
namespace {

void Down2(const float* even, const float* odd, float* out, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    float acc = kHalfBand[0] * (even[n + 7] + even[n + 8]);
    for (int i = 1; i < 8; ++i) acc = acc + kHalfBand[i] * (even[n + 7 - i] + even[n + 8 + i]);
    out[n] = 0.5f * (odd[n + 7] + acc);
  }
}

void Up2(const float* x, float* out, int32_t count) {
  for (int32_t k = 0; k < count; ++k) {
    float acc = kHalfBand[0] * (x[k - 8] + x[k - 7]);
    for (int m = 2; m <= 8; ++m) acc = acc + kHalfBand[m - 1] * (x[k - 7 - m] + x[k - 8 + m]);
    out[2 * k] = acc;
    out[2 * k + 1] = x[k - 7];
  }
}

void Poly(const float* x, const PolyTaps& taps, float* out, int32_t count) {
  for (int32_t n = 0; n < count; ++n) {
    const float* c = taps.coefficients + taps.offsets[n];
    const float* in = x + taps.firstInput[n];
    float s[kPolyLanes] = {};
    for (int32_t step = 0; step < taps.steps[n]; ++step, c += kPolyLanes, in += kPolyLanes)
      for (int j = 0; j < kPolyLanes; ++j) s[j] = s[j] + c[j] * in[j];
    float u[4], v[2];
    for (int j = 0; j < 4; ++j) u[j] = s[j] + s[j + 4];
    for (int j = 0; j < 2; ++j) v[j] = u[j] + u[j + 2];
    out[n] = v[0] + v[1];
  }
}

void Store16(uint8_t* out, int16_t v) { support::unchecked::StoreLe16(out, static_cast<uint16_t>(v)); }

void ToPcm16(const float* left, const float* right, uint8_t* out, int32_t count) {
  if (!right) {
    for (int32_t n = 0; n < count; ++n) Store16(out + 2 * n, FloatToPcm16(left[n]));
    return;
  }
  for (int32_t n = 0; n < count; ++n) {
    Store16(out + 4 * n, FloatToPcm16(left[n]));
    Store16(out + 4 * n + 2, FloatToPcm16(right[n]));
  }
}

}  // namespace

const Kernels kScalarKernels = {Down2, Up2, Poly, ToPcm16};

}  // namespace ksv::resampler::detail
