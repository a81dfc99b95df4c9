// libjpeg-turbo as a reference ("oracle") for the tests: it decodes the
// camera's entropy data once wrapped as a JPEG file, encodes planar pictures
// with chosen tables, and exposes the quantised coefficients of a file.
// Every function throws std::runtime_error with libjpeg's message on failure.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/quant_tables.h"
#include "support/picture/picture.h"

namespace ksv::simcam::oracle {

enum class DctMethod {
  kAccurate,  // JDCT_ISLOW
  kFast,      // JDCT_IFAST, what the reference frames were decoded with
};

// Decodes to YCbCr with nearest (non-fancy) chroma upsampling and keeps the
// chroma at even coordinates, i.e. the decoded 8 x 8 chroma blocks.
picture::PlanarPicture DecodePlanar(std::span<const uint8_t> jpeg, DctMethod method);

// Decodes to RGB with nearest chroma upsampling.
picture::RgbPicture DecodeRgb(std::span<const uint8_t> jpeg, DctMethod method);

// Quantised coefficients of a 3-component file, per component, blocks in
// raster order, 64 entries each in natural order.
struct Coefficients {
  std::array<std::vector<int16_t>, 3> components;
};
Coefficients ReadCoefficients(std::span<const uint8_t> jpeg);

// Encodes a planar 4:2:0 picture as it is (raw data in, no colour conversion
// or downsampling) with the given tables and the Annex K Huffman tables.
std::vector<uint8_t> EncodePlanar(const picture::PlanarPicture& picture,
                                  const codec::QuantPair& tables, DctMethod method);

// The entropy-coded data of a file's first scan with the stuffed 0x00 after
// each 0xFF removed: the camera's form of it.
std::vector<uint8_t> ScanData(std::span<const uint8_t> jpeg);

}  // namespace ksv::simcam::oracle
