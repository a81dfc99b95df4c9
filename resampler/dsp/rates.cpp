#include "resampler/dsp/rates.h"

namespace ksv::resampler {

int BandOf(int32_t hz) {
  if (hz <= 6000) return 0;
  if (hz <= 12000) return 1;
  if (hz <= 24000) return 2;
  return 3;
}

int32_t RoundRate(int32_t hz) {
  const int band = BandOf(hz);
  const int32_t step = band == 1 ? 25 : band == 2 ? 50 : 100;
  if (hz <= 0) return 0;
  return (hz + step - 1) / step * step;
}

int32_t BandDivisor(int32_t hz) {
  const int band = BandOf(hz);
  return band == 1 ? 1 : band == 2 ? 2 : 4;
}

bool IsSupportedRate(int32_t hz) { return hz >= kMinRate && hz <= kMaxRate; }

}  // namespace ksv::resampler
