#include "codec/picture_ops.h"

#include <cstring>

#include "codec/colour_convert.h"

namespace ksv::codec {

CropOrigin CentreCropOrigin(FrameSize from, FrameSize to) {
  return {(from.height - to.height) / 2, (from.width - to.width) / 2, (from.height - to.height) / 4,
          (from.width - to.width) / 4};
}

void CropPlanar(const uint8_t* source, FrameSize from, FrameSize to, const uint8_t* gamma,
                uint8_t* out) {
  CropOrigin o = CentreCropOrigin(from, to);
  const uint8_t* luma = source + size_t{o.lumaRow} * from.width + o.lumaColumn;
  for (uint32_t row = 0; row < to.height; ++row) {
    const uint8_t* in = luma + size_t{row} * from.width;
    uint8_t* dst = out + size_t{row} * to.width;
    if (gamma) {
      for (uint32_t x = 0; x < to.width; ++x) dst[x] = gamma[in[x]];
    } else {
      std::memcpy(dst, in, to.width);
    }
  }
  const size_t fromLuma = size_t{from.width} * from.height;
  const size_t toLuma = size_t{to.width} * to.height;
  for (int plane = 0; plane < 2; ++plane) {
    const uint8_t* chroma = source + fromLuma + plane * (fromLuma / 4) +
                            size_t{o.chromaRow} * (from.width / 2) + o.chromaColumn;
    uint8_t* dst = out + toLuma + plane * (toLuma / 4);
    for (uint32_t row = 0; row < to.height / 2; ++row)
      std::memcpy(dst + size_t{row} * (to.width / 2), chroma + size_t{row} * (from.width / 2), to.width / 2);
  }
}

void CropToRgb24(const uint8_t* source, FrameSize from, FrameSize to, const uint8_t* gamma,
                 bool rgbOrder, uint8_t* out) {
  CropOrigin o = CentreCropOrigin(from, to);
  const size_t fromLuma = size_t{from.width} * from.height;
  const ptrdiff_t chromaStride = from.width / 2;
  const size_t chromaOffset = size_t{o.chromaRow} * from.width / 2 + o.chromaColumn;
  ColourRows rows{source + size_t{o.lumaRow} * from.width + o.lumaColumn,
                  static_cast<ptrdiff_t>(from.width),
                  source + fromLuma + chromaOffset,
                  source + fromLuma + fromLuma / 4 + chromaOffset,
                  chromaStride,
                  to.width,
                  to.height,
                  out + (size_t{to.height} - 1) * to.width * 3,
                  -static_cast<ptrdiff_t>(to.width) * 3};
  ConvertToRgb24(rows, ColourForm::kPlanar, rgbOrder, gamma);
}

}  // namespace ksv::codec
