#include "platform/media/codecs/convert.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/media/codecs/i420_rows.h"

namespace ksv::media::codecs {
namespace {

uint8_t Clamp(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

int BytesPerPixel(PixelFormat format) { return format == PixelFormat::kRgb32 ? 4 : 3; }

// The DIB row that holds picture row `y` (counted from the top).
const uint8_t* RgbRow(const PictureFormat& picture, const uint8_t* base, int y) {
  return base + static_cast<size_t>(RowStride(picture)) * (picture.height - 1 - y);
}
uint8_t* RgbRow(const PictureFormat& picture, uint8_t* base, int y) {
  return base + static_cast<size_t>(RowStride(picture)) * (picture.height - 1 - y);
}

void RgbToRgb(const PictureFormat& from, const uint8_t* source, const PictureFormat& to,
              uint8_t* target) {
  const int inStep = BytesPerPixel(from.format);
  const int outStep = BytesPerPixel(to.format);
  for (int y = 0; y < from.height; ++y) {
    const uint8_t* in = RgbRow(from, source, y);
    uint8_t* out = RgbRow(to, target, y);
    for (int x = 0; x < from.width; ++x, in += inStep, out += outStep) {
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
      if (outStep == 4) out[3] = 0;
    }
  }
}

void I420ToRgb(const PictureFormat& from, const uint8_t* source, const PictureFormat& to,
               uint8_t* target) {
  const I420Planes planes = I420PlanesOf(from, const_cast<uint8_t*>(source));
  const int step = BytesPerPixel(to.format);
  for (int y = 0; y < from.height; ++y) {
    const uint8_t* luma = planes.y + static_cast<size_t>(planes.yStride) * y;
    const uint8_t* u = planes.u + static_cast<size_t>(planes.chromaStride) * (y / 2);
    const uint8_t* v = planes.v + static_cast<size_t>(planes.chromaStride) * (y / 2);
    I420RowToBgr(luma, u, v, from.width, step, RgbRow(to, target, y));
  }
}

void RgbToI420(const PictureFormat& from, const uint8_t* source, const PictureFormat& to,
               uint8_t* target) {
  const I420Planes planes = I420PlanesOf(to, target);
  const int step = BytesPerPixel(from.format);
  for (int y = 0; y < from.height; ++y) {
    const uint8_t* in = RgbRow(from, source, y);
    uint8_t* luma = planes.y + static_cast<size_t>(planes.yStride) * y;
    for (int x = 0; x < from.width; ++x, in += step) {
      luma[x] = static_cast<uint8_t>(((66 * in[2] + 129 * in[1] + 25 * in[0] + 128) >> 8) + 16);
    }
  }
  // Each chroma sample from the average colour of its 2 x 2 block (fewer
  // pixels at an odd right or bottom edge).
  for (int cy = 0; cy < planes.chromaHeight; ++cy) {
    for (int cx = 0; cx < planes.chromaStride; ++cx) {
      int r = 0, g = 0, b = 0, count = 0;
      for (int y = 2 * cy; y < std::min(2 * cy + 2, from.height); ++y) {
        const uint8_t* row = RgbRow(from, source, y);
        for (int x = 2 * cx; x < std::min(2 * cx + 2, from.width); ++x) {
          b += row[x * step];
          g += row[x * step + 1];
          r += row[x * step + 2];
          ++count;
        }
      }
      r = (r + count / 2) / count;
      g = (g + count / 2) / count;
      b = (b + count / 2) / count;
      const size_t at = static_cast<size_t>(planes.chromaStride) * cy + cx;
      planes.u[at] = Clamp(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
      planes.v[at] = Clamp(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
    }
  }
}

bool IsRgb(PixelFormat format) { return format != PixelFormat::kI420; }

std::array<uint8_t, 256> RangeTable(int low, int span, int fullSpan, int centre) {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const int scaled = centre + ((i - low) * fullSpan + span / 2 * (i >= low ? 1 : -1)) / span;
    table[i] = Clamp(scaled);
  }
  return table;
}

}  // namespace

bool ConvertPicture(const PictureFormat& from, const uint8_t* source, const PictureFormat& to,
                    uint8_t* target) {
  if (from.width != to.width || from.height != to.height || ImageSize(from) == 0) return false;
  if (from.format == to.format) {
    std::memcpy(target, source, ImageSize(from));
  } else if (IsRgb(from.format) && IsRgb(to.format)) {
    RgbToRgb(from, source, to, target);
  } else if (from.format == PixelFormat::kI420) {
    I420ToRgb(from, source, to, target);
  } else {
    RgbToI420(from, source, to, target);
  }
  return true;
}

void I420VideoToFullRange(const PictureFormat& picture, uint8_t* base) {
  static const std::array<uint8_t, 256> kLuma = RangeTable(16, 219, 255, 0);
  static const std::array<uint8_t, 256> kChroma = RangeTable(128, 224, 255, 128);
  const I420Planes planes = I420PlanesOf(picture, base);
  const size_t lumaSize = static_cast<size_t>(picture.width) * picture.height;
  for (size_t i = 0; i < lumaSize; ++i) planes.y[i] = kLuma[planes.y[i]];
  const size_t chromaSize = 2 * static_cast<size_t>(planes.chromaStride) * planes.chromaHeight;
  for (size_t i = 0; i < chromaSize; ++i) planes.u[i] = kChroma[planes.u[i]];
}

}  // namespace ksv::media::codecs
