// Post-processing of decoded planar pictures: centre crop and gamma.
#pragma once

#include <cstdint>

#include "codec/frame_format.h"

namespace ksv::codec {

// Where the centre crop from `from` to `to` starts: luma rows (H - h)/2 down
// and (W - w)/2 in; chroma (H - h)/4 rows down and (W - w)/4 in.
struct CropOrigin {
  uint32_t lumaRow, lumaColumn, chromaRow, chromaColumn;
};
CropOrigin CentreCropOrigin(FrameSize from, FrameSize to);

// Copies the centre `to` region of the planar picture `source` (`from` size)
// into the planar picture `out`, mapping luma through `gamma` (null: as is).
void CropPlanar(const uint8_t* source, FrameSize from, FrameSize to, const uint8_t* gamma,
                uint8_t* out);

// Converts the centre `to` region of a planar picture to 24-bit bottom-up rows
// with the planar colour form, mapping luma through `gamma` (null: as is).
void CropToRgb24(const uint8_t* source, FrameSize from, FrameSize to, const uint8_t* gamma,
                 bool rgbOrder, uint8_t* out);

}  // namespace ksv::codec
