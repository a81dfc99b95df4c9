// The simulated camera's frame encoder: turns a picture into the camera's
// compressed frame, the way the camera's compression engine does: forward
// DCT, quantisation, Annex K Huffman coding, 4:2:0 macroblocks in raster
// order, no markers, no byte stuffing, unused bits of the last byte set to 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/quant_tables.h"
#include "support/picture/picture.h"

namespace ksv::simcam {

// Entropy-coded data of a planar 4:2:0 picture whose width and height are
// multiples of 16, quantised with `tables`. Throws std::invalid_argument for
// any other size, a sample buffer of the wrong length or a table entry of 0;
// the same holds for the two functions below.
std::vector<uint8_t> EncodeEntropyData(const picture::PlanarPicture& picture,
                                       const codec::QuantPair& tables);

// Where a live-video frame's header holds its level.
inline constexpr size_t kFrameLevelOffset = 7;

// A live-video frame: the 15-byte header (bytes 0..6 zero, byte 7 the level,
// bytes 8..10 zero, bytes 11..14 the entropy byte count, little-endian), then
// the entropy data. `level` is 0..3 (the driver's level tables); any other
// level throws std::invalid_argument.
std::vector<uint8_t> EncodeFrame(const picture::PlanarPicture& picture, int level);

// A frame as stored in the camera's memory: the entropy data alone, quantised
// with the stored tables.
std::vector<uint8_t> EncodeStoredFrame(const picture::PlanarPicture& picture,
                                       const codec::QuantPair& tables);

}  // namespace ksv::simcam
