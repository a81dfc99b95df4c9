// Pictures the simulated camera photographs: 24-bit RGB and planar 4:2:0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ksv::simcam {

// 24-bit picture, rows top-down, each pixel R, G, B.
struct RgbPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 3
};

// Planar 4:2:0 picture: Y (width x height), then Cb and Cr (width/2 x height/2).
struct PlanarPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> samples;  // width * height * 3 / 2
};

// JFIF (full-range BT.601) colour conversion with 2 x 2 averaged chroma,
// rounded. Throws std::invalid_argument for an odd width or height.
PlanarPicture ToPlanar(const RgbPicture& picture);

// Centre-crops to the aspect ratio of width x height and resamples with
// area averaging, as a camera's sensor and scaler would frame the scene.
// Throws std::invalid_argument for an empty source or target size.
RgbPicture FitToSize(const RgbPicture& picture, uint32_t width, uint32_t height);

// Reads a PNG file (any bit depth or colour type) as 8-bit RGB. Throws
// std::runtime_error with a clear message on failure.
RgbPicture ReadPng(const std::string& path);

}  // namespace ksv::simcam
