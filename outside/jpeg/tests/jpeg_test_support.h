// Helpers of the JPEG library's tests: a scratch folder, files, test
// pictures and a libjpeg encoder that makes the JPEG files to read.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "include/win32_types.h"
#include "support/picture/psnr.h"
#include "testing/temp_files.h"

namespace ksv::outside::jpeg::testing {

using ::ksv::testing::ReadFile;
using ::ksv::testing::TempFolder;
using ::ksv::testing::WriteFile;

// Top-down pixels, `components` (1 or 3, R, G, B) a pixel, a smooth pattern
// that differs along x and y.
std::vector<uint8_t> TestPixels(int width, int height, int components);

// A baseline JPEG of those pixels (greyscale for 1 component).
std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& pixels, int width, int height,
                                int components, int quality);

// Peak signal-to-noise ratio of two equally long sample runs, in dB.
using ::ksv::picture::Psnr;

// A packed bitmap (locked through `bitmap`) as top-down samples: R, G, B for
// 24-bit bitmaps, the palette index for 8-bit ones.
std::vector<uint8_t> TopDownSamples(const void* bitmap);

// RGB top-down pixels as packed-bitmap rows (B, G, R, bottom-up, padded).
std::vector<uint8_t> ToBitmapRows(const std::vector<uint8_t>& rgb, int width, int height);

// Frees a bitmap block when the test ends, however it ends.
class OwnedBitmap {
 public:
  explicit OwnedBitmap(HGLOBAL block);
  ~OwnedBitmap();
  OwnedBitmap(const OwnedBitmap&) = delete;
  OwnedBitmap& operator=(const OwnedBitmap&) = delete;
  explicit operator bool() const { return block_ != nullptr; }
  const void* bits() const { return bits_; }
  HGLOBAL block() const { return block_; }

 private:
  HGLOBAL block_;
  void* bits_ = nullptr;
};

}  // namespace ksv::outside::jpeg::testing
