// Pixels: conversions into 24 bits, fills and blits.
#include "platform/gdi/pixels.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace ksv::platform::gdi {
namespace {

struct PixmanImageDeleter {
  void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanImageDeleter>;

// A 24-bit view as a pixman image (no copy): bytes B, G, R are pixman's
// r8g8b8 on a little-endian machine. Bottom-up views have a negative stride.
PixmanImage Wrap(const PixelView& view) {
  return PixmanImage(pixman_image_create_bits(PIXMAN_r8g8b8, view.width, view.height,
                                              reinterpret_cast<uint32_t*>(view.top),
                                              static_cast<int>(view.stride)));
}

void PutColour(uint8_t* pixel, COLORREF colour) {
  pixel[0] = GetBValue(colour);
  pixel[1] = GetGValue(colour);
  pixel[2] = GetRValue(colour);
}

// `source` scaled to `to`'s size: each destination pixel takes the source
// pixel under its centre, from.left + floor((x + 0.5) * width ratio).
Image Stretch(const PixelView& source, const RECT& from, int width, int height) {
  Image stretched(width, height, 24, true);
  PixmanImage in = Wrap(source);
  PixmanImage out = Wrap(stretched.View());
  pixman_transform_t transform;
  pixman_transform_init_identity(&transform);
  // 16.16 fixed point (pixman's macros for it are old-style casts).
  const auto fixed = [](double value) { return static_cast<pixman_fixed_t>(value * 65536.0); };
  transform.matrix[0][0] = fixed(double(from.right - from.left) / width);
  transform.matrix[1][1] = fixed(double(from.bottom - from.top) / height);
  // pixman's nearest filter rounds a centre on a pixel boundary down; one
  // step more makes it the floor of the exact position.
  transform.matrix[0][2] = fixed(from.left) + 1;
  transform.matrix[1][2] = fixed(from.top) + 1;
  pixman_image_set_transform(in.get(), &transform);
  pixman_image_set_filter(in.get(), PIXMAN_FILTER_NEAREST, nullptr, 0);
  pixman_image_composite32(PIXMAN_OP_SRC, in.get(), nullptr, out.get(), 0, 0, 0, 0, 0, 0, width, height);
  return stretched;
}

}  // namespace

Image::Image(int width, int height, int bitsPerPixel, bool topDown)
    : bytes_(DibStride(width, bitsPerPixel) * static_cast<size_t>(height), 0),
      width_(width), height_(height), bitsPerPixel_(bitsPerPixel), topDown_(topDown) {}

PixelView Image::View() {
  const auto stride = static_cast<ptrdiff_t>(this->stride());
  uint8_t* first = bytes_.data();
  if (!topDown_ && height_ > 0) first += (height_ - 1) * stride;
  return PixelView{first, topDown_ ? stride : -stride, width_, height_, bitsPerPixel_};
}

Image DibToColour(const DibSource& dib) {
  if (dib.info == nullptr || dib.bits == nullptr) return {};
  BITMAPINFOHEADER header;
  std::memcpy(&header, &dib.info->bmiHeader, sizeof header);
  const int bpp = header.biBitCount;
  const int height = header.biHeight < 0 ? -int64_t{header.biHeight} > kMaxSide ? 0 : -header.biHeight
                                         : header.biHeight;
  const uint32_t tableMax = bpp <= 8 ? 1u << bpp : 0;
  const uint32_t colours = header.biClrUsed != 0 ? header.biClrUsed : tableMax;
  if (header.biSize < sizeof header || header.biPlanes != 1 || header.biCompression != BI_RGB ||
      (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) || header.biWidth <= 0 ||
      header.biWidth > kMaxSide || height <= 0 || height > kMaxSide || colours > tableMax) {
    return {};
  }
  const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(dib.info) + header.biSize);
  const int width = header.biWidth;
  const size_t stride = DibStride(width, bpp);
  Image image(width, height, 24, true);
  const PixelView out = image.View();
  for (UINT stored = 0; stored < dib.rows; ++stored) {
    const int64_t fromBottom = int64_t{dib.firstRow} + stored;
    if (fromBottom >= height) break;
    const int y = header.biHeight > 0 ? height - 1 - static_cast<int>(fromBottom) : static_cast<int>(fromBottom);
    const uint8_t* in = dib.bits + stored * stride;
    uint8_t* pixel = out.Row(y);
    for (int x = 0; x < width; ++x, pixel += 3) {
      if (bpp == 24) {
        std::memcpy(pixel, in + 3 * x, 3);
        continue;
      }
      const int bit = x * bpp;
      const uint32_t index = (in[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
      if (index < colours) PutColour(pixel, RGB(table[index].rgbRed, table[index].rgbGreen, table[index].rgbBlue));
    }
  }
  return image;
}

Image MonoToColour(const PixelView& mono, COLORREF zero, COLORREF one) {
  Image image(mono.width, mono.height, 24, true);
  const PixelView out = image.View();
  for (int y = 0; y < mono.height; ++y) {
    const uint8_t* in = mono.Row(y);
    uint8_t* pixel = out.Row(y);
    for (int x = 0; x < mono.width; ++x, pixel += 3) {
      PutColour(pixel, (in[x / 8] >> (7 - x % 8)) & 1 ? one : zero);
    }
  }
  return image;
}

void FillPixels(const PixelView& target, const Region& clip, const RECT& rect, COLORREF colour) {
  Region area(rect);
  area.Combine(clip, RGN_AND);
  const std::vector<RECT> rects = area.Rects();
  if (rects.empty()) return;
  std::vector<pixman_box32_t> boxes;
  for (const RECT& r : rects) boxes.push_back({r.left, r.top, r.right, r.bottom});
  const pixman_color_t fill{static_cast<uint16_t>(GetRValue(colour) * 257),
                            static_cast<uint16_t>(GetGValue(colour) * 257),
                            static_cast<uint16_t>(GetBValue(colour) * 257), 0xFFFF};
  PixmanImage image = Wrap(target);
  pixman_image_fill_boxes(PIXMAN_OP_SRC, image.get(), &fill, static_cast<int>(boxes.size()), boxes.data());
}

bool RopKept(DWORD rop) { return rop == SRCCOPY || rop == SRCAND || rop == SRCPAINT || rop == SRCINVERT; }

void ApplyRop(DWORD rop, uint8_t* dst, const uint8_t* src, size_t bytes) {
  switch (rop) {
    case SRCCOPY: std::memmove(dst, src, bytes); break;
    case SRCAND: for (size_t i = 0; i < bytes; ++i) dst[i] &= src[i]; break;
    case SRCPAINT: for (size_t i = 0; i < bytes; ++i) dst[i] |= src[i]; break;
    case SRCINVERT: for (size_t i = 0; i < bytes; ++i) dst[i] ^= src[i]; break;
    default: break;
  }
}

bool BlitPixels(const PixelView& target, const Region& clip, const RECT& to, const PixelView& source,
                const RECT& from, DWORD rop) {
  if (!RopKept(rop)) return false;
  const int width = to.right - to.left;
  const int height = to.bottom - to.top;
  if (width <= 0 || height <= 0 || from.right <= from.left || from.bottom <= from.top) return true;
  if (from.right - from.left != width || from.bottom - from.top != height) {
    Image stretched = Stretch(source, from, width, height);
    return BlitPixels(target, clip, to, stretched.View(), RECT{0, 0, width, height}, rop);
  }
  // Only where the source has pixels, and within the clipping.
  const int dx = from.left - to.left;
  const int dy = from.top - to.top;
  Region area(RECT{std::max<LONG>(to.left, -dx), std::max<LONG>(to.top, -dy),
                   std::min<LONG>(to.right, source.width - dx), std::min<LONG>(to.bottom, source.height - dy)});
  area.Combine(clip, RGN_AND);
  PixmanImage in = rop == SRCCOPY ? Wrap(source) : nullptr;
  PixmanImage out = rop == SRCCOPY ? Wrap(target) : nullptr;
  for (const RECT& box : area.Rects()) {
    const int w = box.right - box.left;
    if (rop == SRCCOPY) {
      pixman_image_composite32(PIXMAN_OP_SRC, in.get(), nullptr, out.get(), box.left + dx, box.top + dy,
                               0, 0, box.left, box.top, w, box.bottom - box.top);
      continue;
    }
    for (int y = box.top; y < box.bottom; ++y) {
      ApplyRop(rop, target.Row(y) + 3 * box.left, source.Row(y + dy) + 3 * (box.left + dx), 3 * size_t(w));
    }
  }
  return true;
}

}  // namespace ksv::platform::gdi
