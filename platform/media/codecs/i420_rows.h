// One row of an I420 picture as blue, green, red pixels of 3 or 4 bytes (the
// DIB byte order; the fourth byte 0), with the BT.601 video-range terms in
// 8-bit fixed point:
//   c = 298 (Y - 16) + 128, d = U - 128, e = V - 128
//   blue = (c + 516 d) >> 8, green = (c - 100 d - 208 e) >> 8,
//   red = (c + 409 e) >> 8, each clamped to 0 .. 255.
// Two pixels share each chroma sample. A preview converts every frame it
// shows, so the row is worked sixteen pixels at a time where the machine
// can.
#pragma once

#include <cstdint>

namespace ksv::media::codecs {

void I420RowToBgr(const uint8_t* luma, const uint8_t* u, const uint8_t* v, int width,
                  int bytesPerPixel, uint8_t* out);

}  // namespace ksv::media::codecs
