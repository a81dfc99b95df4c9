#include "platform/media/filters/video_renderer/frame_drawing.h"

#include <cstring>

namespace ksv::media::videorenderer {

std::optional<FrameLayout> LayoutOf(const BITMAPINFOHEADER& header) {
  if (header.biCompression != BI_RGB || header.biPlanes > 1) return std::nullopt;
  if (header.biBitCount != 24 && header.biBitCount != 32) return std::nullopt;
  const int64_t height = header.biHeight;
  if (header.biWidth <= 0 || header.biWidth > kMaxFrameSide || height == 0 ||
      height > kMaxFrameSide || height < -kMaxFrameSide) {
    return std::nullopt;
  }
  FrameLayout layout;
  layout.width = header.biWidth;
  layout.height = static_cast<int>(height < 0 ? -height : height);
  layout.topDown = height < 0;
  layout.bytesPerPixel = header.biBitCount / 8;
  layout.stride = (static_cast<size_t>(layout.width) * header.biBitCount + 31) / 32 * 4;
  return layout;
}

bool DrawFrame(const FrameLayout& layout, const uint8_t* frame, size_t frameSize, uint8_t* surface,
               int width, int height, size_t stride) {
  if (frame == nullptr || frameSize < layout.size()) return false;
  if (width <= 0 || height <= 0) return true;  // nothing to cover
  for (int y = 0; y < height; ++y) {
    const int row = static_cast<int>(int64_t{y} * layout.height / height);
    const int stored = layout.topDown ? row : layout.height - 1 - row;
    const uint8_t* in = frame + static_cast<size_t>(stored) * layout.stride;
    uint8_t* out = surface + static_cast<size_t>(y) * stride;
    if (width == layout.width && layout.bytesPerPixel == 3) {
      std::memcpy(out, in, static_cast<size_t>(width) * 3);
      continue;
    }
    for (int x = 0; x < width; ++x) {
      const size_t column = static_cast<size_t>(int64_t{x} * layout.width / width);
      std::memcpy(out + static_cast<size_t>(x) * 3, in + column * layout.bytesPerPixel, 3);
    }
  }
  return true;
}

}  // namespace ksv::media::videorenderer
