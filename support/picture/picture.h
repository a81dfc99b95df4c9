// The pictures every part of the suite passes around: 24-bit R, G, B and
// planar 4:2:0 (Y, then Cb, then Cr), both top-down.
//
// Errors: everything in this library reports failure by exception.
// PictureError says why a picture cannot be made, read or written; its
// message names the file (when there is one) and the cause. FileError
// (whole_file.h) is the same for the file system and keeps the errno value.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace ksv::picture {

// The largest picture read from a file: 8192 x 8192 pixels (192 MiB as
// R, G, B). Larger sizes in a file's header are refused before decoding.
inline constexpr uint64_t kMaxPixels = uint64_t{8192} * 8192;

class PictureError : public std::runtime_error {
 public:
  // `name` is the file's (empty when there is none); `cause` says what is
  // wrong. The message is "'name': cause".
  PictureError(const std::string& name, const std::string& cause)
      : std::runtime_error(name.empty() ? cause : "'" + name + "': " + cause), cause_(cause) {}
  explicit PictureError(const std::string& cause) : PictureError("", cause) {}
  const std::string& cause() const { return cause_; }

 private:
  std::string cause_;
};

// Rows top-down, each pixel R, G, B.
struct RgbPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 3
};

// Planar 4:2:0: Y (width x height), then Cb and Cr (width/2 x height/2
// each); width and height are even.
struct PlanarPicture {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> samples;  // width * height * 3 / 2
};

// A black picture of that size. Throws PictureError for an empty size or,
// for a planar one, an odd width or height.
RgbPicture BlankRgb(uint32_t width, uint32_t height);
PlanarPicture BlankPlanar(uint32_t width, uint32_t height);

// Throws PictureError when the picture is empty or its buffer does not hold
// exactly the samples its size needs.
void CheckWhole(const RgbPicture& picture);
void CheckWhole(const PlanarPicture& picture);

}  // namespace ksv::picture
