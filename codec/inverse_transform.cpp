#include "codec/inverse_transform.h"

#if defined(__x86_64__) || defined(__i386__)
#include "codec/inverse_transform_x86.h"
#endif

namespace ksv::codec {

namespace {

using i16 = int16_t;

inline i16 Wrap(int32_t v) { return static_cast<i16>(v); }

// High half of ((x << 2), kept to 16 bits) times c.
inline i16 Mul(i16 x, i16 c) {
  i16 shifted = static_cast<i16>(static_cast<uint16_t>(static_cast<uint16_t>(x) << 2));
  return static_cast<i16>((int32_t{shifted} * c) >> 16);
}

// One 8-point pass: s[0..7] in, out[0..7] (with `step` between elements).
inline void Pass(const i16* s, ptrdiff_t inStep, i16* out, ptrdiff_t outStep) {
  i16 s0 = s[0], s1 = s[inStep], s2 = s[2 * inStep], s3 = s[3 * inStep];
  i16 s4 = s[4 * inStep], s5 = s[5 * inStep], s6 = s[6 * inStep], s7 = s[7 * inStep];

  i16 t10 = Wrap(s0 + s4);
  i16 t11 = Wrap(s0 - s4);
  i16 t13 = Wrap(s2 + s6);
  i16 t12 = Wrap(Mul(Wrap(s2 - s6), 23170) - t13);
  i16 t0 = Wrap(t10 + t13);
  i16 t3 = Wrap(t10 - t13);
  i16 t1 = Wrap(t11 + t12);
  i16 t2 = Wrap(t11 - t12);

  i16 z13 = Wrap(s5 + s3);
  i16 z10 = Wrap(s5 - s3);
  i16 z11 = Wrap(s1 + s7);
  i16 z12 = Wrap(s1 - s7);
  i16 t7 = Wrap(z11 + z13);
  i16 u11 = Mul(Wrap(z11 - z13), 23170);
  i16 u12 = Wrap(Mul(z10, -12540) + Mul(z12, 30273));
  i16 u10 = Wrap(Mul(z10, -30353) + Mul(z12, -12540));
  i16 t6 = Wrap(u12 - t7);
  i16 t5 = Wrap(u11 - t6);
  i16 t4 = Wrap(u10 + t5);

  out[0] = Wrap(t0 + t7);
  out[outStep] = Wrap(t1 + t6);
  out[2 * outStep] = Wrap(t2 + t5);
  out[3 * outStep] = Wrap(t3 - t4);
  out[4 * outStep] = Wrap(t3 + t4);
  out[5 * outStep] = Wrap(t2 - t5);
  out[6 * outStep] = Wrap(t1 - t6);
  out[7 * outStep] = Wrap(t0 - t7);
}

inline uint8_t Descale(i16 w) {
  int32_t v = (w >> 5) + 128;  // cannot leave the 16-bit range: |w >> 5| <= 1024
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void InverseTransformScalar(int16_t* coefficients, const int16_t* multipliers, uint8_t* out,
                            ptrdiff_t stride) {
  i16 block[64];
  for (int i = 0; i < 64; ++i) {
    block[i] = Wrap(int32_t{coefficients[i]} * multipliers[i]);
    coefficients[i] = 0;
  }

  i16 columns[64];
  for (int c = 0; c < 8; ++c) Pass(block + c, 8, columns + c, 8);

  for (int r = 0; r < 8; ++r) {
    i16 row[8];
    Pass(columns + r * 8, 1, row, 1);
    for (int c = 0; c < 8; ++c) out[r * stride + c] = Descale(row[c]);
  }
}

uint8_t DcOnlySample(int16_t dc, int16_t multiplier) {
  return Descale(Wrap(int32_t{dc} * multiplier));
}

namespace {

InverseTransformPairFn PickPair() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_cpu_init();  // this may run before the library's own start-up
  return __builtin_cpu_supports("avx2") ? InverseTransformPairAvx2 : nullptr;
#else
  return nullptr;
#endif
}

}  // namespace

const InverseTransformPairFn InverseTransformPair = PickPair();

#if !defined(__SSE2__)
const InverseTransformFn InverseTransformSimd = nullptr;
const InverseTransformFn InverseTransform = InverseTransformScalar;
#endif

}  // namespace ksv::codec
