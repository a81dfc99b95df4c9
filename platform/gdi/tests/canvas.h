// A 24-bit DIB section in a memory DC, for tests to draw into and read.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"

namespace ksv::platform::gdi::testing {

class Canvas {
 public:
  // Rows bottom-up unless `topDown`; every pixel `fill`.
  Canvas(int width, int height, COLORREF fill, bool topDown = false) : width_(width), height_(height), topDown_(topDown) {
    BITMAPINFO info{};
    info.bmiHeader = BITMAPINFOHEADER{40, width, topDown ? -height : height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<uint8_t*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    previous_ = SelectObject(dc_, bitmap_);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) Set(x, y, fill);
    }
  }
  ~Canvas() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  int width() const { return width_; }
  int height() const { return height_; }
  size_t stride() const { return (static_cast<size_t>(width_) * 3 + 3) & ~size_t{3}; }
  // The bytes of pixel (x, y), y counted from the top, as the DIB lays them out.
  uint8_t* At(int x, int y) const {
    const int row = topDown_ ? y : height_ - 1 - y;
    return bits_ + static_cast<size_t>(row) * stride() + 3 * static_cast<size_t>(x);
  }
  COLORREF Get(int x, int y) const { return RGB(At(x, y)[2], At(x, y)[1], At(x, y)[0]); }
  void Set(int x, int y, COLORREF colour) const {
    At(x, y)[0] = GetBValue(colour);
    At(x, y)[1] = GetGValue(colour);
    At(x, y)[2] = GetRValue(colour);
  }

 private:
  int width_;
  int height_;
  bool topDown_;
  HBITMAP bitmap_ = nullptr;
  uint8_t* bits_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

}  // namespace ksv::platform::gdi::testing
