#include "outside/jpeg/tests/jpeg_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
// jpeglib.h needs size_t and FILE declared first.
// clang-format off
#include <jpeglib.h>
// clang-format on

#include "common/packed_bitmap.h"
#include "platform/memory/global_memory.h"

namespace ksv::outside::jpeg::testing {

namespace fs = std::filesystem;

std::vector<uint8_t> TestPixels(int width, int height, int components) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int values[3] = {x * 255 / std::max(width - 1, 1), y * 255 / std::max(height - 1, 1),
                             (x + y) * 255 / std::max(width + height - 2, 1)};
      for (int c = 0; c < components; ++c) pixels.push_back(static_cast<uint8_t>(values[c]));
    }
  }
  return pixels;
}

std::vector<uint8_t> EncodeJpeg(const std::vector<uint8_t>& pixels, int width, int height,
                                int components, int quality) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);  // the test's own inputs are valid
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  const size_t stride = static_cast<size_t>(width) * components;
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPLE*>(&pixels[info.next_scanline * stride]);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> jpeg(buffer, buffer + size);
  std::free(buffer);
  return jpeg;
}

std::vector<uint8_t> TopDownSamples(const void* bitmap) {
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap, sizeof header);
  const int width = header.biWidth;
  const int height = header.biHeight;
  const size_t rowBytes = common::PackedRowBytes(width, header.biBitCount);
  const uint8_t* pixels = common::PackedBitmapPixels(bitmap);
  std::vector<uint8_t> samples;
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      if (header.biBitCount == 8) {
        samples.push_back(row[x]);
      } else {
        samples.insert(samples.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
      }
    }
  }
  return samples;
}

std::vector<uint8_t> ToBitmapRows(const std::vector<uint8_t>& rgb, int width, int height) {
  const size_t rowBytes = common::PackedRowBytes(width, 24);
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(height), 0xEE);  // padding is junk
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &rows[static_cast<size_t>(height - 1 - y) * rowBytes];
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      row[3 * x] = p[2];
      row[3 * x + 1] = p[1];
      row[3 * x + 2] = p[0];
    }
  }
  return rows;
}

OwnedBitmap::OwnedBitmap(HGLOBAL block) : block_(block) {
  if (block_ != nullptr) bits_ = GlobalLock(block_);
}

OwnedBitmap::~OwnedBitmap() {
  if (block_ == nullptr) return;
  GlobalUnlock(block_);
  EXPECT_EQ(GlobalFree(block_), nullptr);
}

}  // namespace ksv::outside::jpeg::testing
