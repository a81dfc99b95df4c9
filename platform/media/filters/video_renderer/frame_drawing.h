// How the Video Renderer puts a frame into its window's 24-bit surface:
// the uncompressed RGB frames it accepts (RGB24 and RGB32, rows bottom-up
// for a positive height or top-down for a negative one, each row padded to
// 4 bytes as a DIB's) stretched over the surface by nearest neighbour. At
// the frame's own size every pixel lands as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "include/win32_types.h"

namespace ksv::media::videorenderer {

struct FrameLayout {
  int width = 0;
  int height = 0;  // rows, always positive
  bool topDown = false;
  int bytesPerPixel = 3;
  size_t stride = 0;  // bytes of one row
  size_t size() const { return stride * static_cast<size_t>(height); }
};

// Frames larger than this each way are refused.
inline constexpr int kMaxFrameSide = 8192;

// The layout of an uncompressed 24- or 32-bit frame, or nothing for any
// other header (compressed, another depth, an empty or oversized picture).
std::optional<FrameLayout> LayoutOf(const BITMAPINFOHEADER& header);

// Draws the frame over a top-down B,G,R surface of `width` x `height`
// pixels with rows `stride` bytes apart. A frame shorter than its layout
// says is not drawn (false).
bool DrawFrame(const FrameLayout& layout, const uint8_t* frame, size_t frameSize, uint8_t* surface,
               int width, int height, size_t stride);

}  // namespace ksv::media::videorenderer
