// The scaled Arai-Agui-Nakajima 8 x 8 inverse DCT in 16-bit fixed point, with
// dequantisation folded in. Every sum and difference wraps at 16 bits and
// every product keeps the high half, so the SIMD and scalar forms give
// identical samples.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ksv::codec {

// Dequantises `coefficients` (natural order) with `multipliers` (low 16 bits
// of each product), transforms them and stores 8 rows of 8 samples at `out`,
// rows `stride` bytes apart. Leaves `coefficients` all zero, ready for the
// next block.
using InverseTransformFn = void (*)(int16_t* coefficients, const int16_t* multipliers, uint8_t* out,
                                    ptrdiff_t stride);

void InverseTransformScalar(int16_t* coefficients, const int16_t* multipliers, uint8_t* out,
                            ptrdiff_t stride);

// Eight 16-bit lanes (SSE2); null where the processor has none.
extern const InverseTransformFn InverseTransformSimd;

// The fastest form this build has.
extern const InverseTransformFn InverseTransform;

// Two blocks with the same multipliers at once, each with exactly the
// samples InverseTransform gives it; both are left cleared.
using InverseTransformPairFn = void (*)(int16_t* first, int16_t* second, const int16_t* multipliers,
                                        uint8_t* firstOut, uint8_t* secondOut, ptrdiff_t stride);

// Sixteen 16-bit lanes (AVX2), chosen at run time; null where the processor
// has none.
extern const InverseTransformPairFn InverseTransformPair;

// A block whose only non-zero coefficient is DC gives one sample everywhere.
uint8_t DcOnlySample(int16_t dc, int16_t multiplier);

}  // namespace ksv::codec
