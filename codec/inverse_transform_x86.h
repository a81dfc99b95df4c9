// Internal: the x86 forms of the inverse transform that need more than the
// build's baseline instruction set, each built with its own flags.
#pragma once

#include "codec/inverse_transform.h"

namespace ksv::codec {

void InverseTransformPairAvx2(int16_t* first, int16_t* second, const int16_t* multipliers, uint8_t* firstOut,
                              uint8_t* secondOut, ptrdiff_t stride);

}  // namespace ksv::codec
