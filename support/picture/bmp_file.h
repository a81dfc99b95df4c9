// Windows bitmaps: BMP files (the 14-byte "BM" file header, then a packed
// bitmap) and packed bitmaps (an information header, its colour table or
// colour masks, then the pixel rows, each padded to 4 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "support/picture/picture.h"

namespace ksv::picture {

inline constexpr size_t kBmpFileHeaderBytes = 14;
inline constexpr uint32_t kBitmapInfoHeaderBytes = 40;

// What a packed bitmap's information header describes.
struct BitmapLayout {
  uint32_t headerBytes = 0;  // 40, or larger for the later header versions
  int32_t width = 0;
  int32_t height = 0;        // as stored: negative for top-down rows
  uint16_t bitCount = 0;     // 1, 4, 8, 16, 24 or 32
  uint32_t compression = 0;  // 0 none, 1 and 2 run-length, 3 colour masks
  uint32_t colourCount = 0;  // colour-table entries
  size_t tableBytes = 0;     // the colour table, or the masks after a 40-byte header
  size_t imageBytes = 0;     // the pixel rows (run-length: the header's image size)
};

// Reads the header at the start of the packed bitmap `dib` and checks that
// the colour table and the pixels it describes lie within it. Throws
// PictureError naming `name` and what is wrong.
BitmapLayout DescribeDib(std::span<const uint8_t> dib, const std::string& name);

// The pixels of a packed bitmap, or of a BMP file, as R, G, B. Reads 1-, 4-
// and 8-bit bitmaps through their colour table, 16-bit (5-5-5 or colour
// masks), 24-bit and 32-bit (B, G, R, unused, or colour masks), rows bottom-up
// or top-down. Run-length compressed bitmaps are refused. Throws
// PictureError naming `name` for anything malformed, truncated or larger
// than kMaxPixels.
RgbPicture DecodeDib(std::span<const uint8_t> dib, const std::string& name);
RgbPicture DecodeBmp(std::span<const uint8_t> file, const std::string& name);

// The packed bitmap in a BMP file (everything after its file header),
// checked as DescribeDib does. Throws PictureError.
std::span<const uint8_t> DibOfBmpFile(std::span<const uint8_t> file, const std::string& name);

// A BMP file of a packed bitmap of any depth: the file header (file size,
// pixel offset after the colour table), then the bitmap's header, table and
// image. Throws PictureError when DescribeDib refuses it.
std::vector<uint8_t> BmpFileOfDib(std::span<const uint8_t> dib);

// A 24-bit bottom-up BMP file of the picture (72 dots per inch).
std::vector<uint8_t> EncodeBmp(const RgbPicture& picture);

}  // namespace ksv::picture
