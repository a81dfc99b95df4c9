// A window's picture: 24 bits a pixel, what a presenter shows on screen and
// a test saves as PNG. The Video Renderer draws its frames into it, the
// drawing layer its controls.
//
// Layout, as a 24-bit DIB section with a negative height (top-down): row 0
// is the top row; each pixel is three bytes B, G, R; each row is padded to
// a multiple of 4 bytes (the stride). A surface always covers its window's
// client area (GetClientRect), at most kMaxSurfaceSide pixels each way:
// when the window is sized, the picture keeps what still fits, at the top
// left, and the new parts are black.
//
// Threads. Any thread may write: Lock() the pixels, write, let the hold go,
// then Present() (the presenter shows the picture again). Readers (the
// presenter, SaveSurfacePng) take the same hold. While holding the pixels,
// call no window function (sizing a window takes the hold too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/ui/user32.h"

namespace ksv::platform::ui {

inline constexpr int kMaxSurfaceSide = 8192;

// Bytes of one row of `width` pixels.
constexpr size_t SurfaceStride(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }

class Surface {
 public:
  // Exclusive access to the pixels for as long as it lives.
  class Pixels {
   public:
    int width() const { return surface_->width_; }
    int height() const { return surface_->height_; }
    size_t stride() const { return SurfaceStride(surface_->width_); }
    uint8_t* bits() { return surface_->bits_.data(); }
    const uint8_t* bits() const { return surface_->bits_.data(); }
    uint8_t* row(int y) { return bits() + static_cast<size_t>(y) * stride(); }
    const uint8_t* row(int y) const { return bits() + static_cast<size_t>(y) * stride(); }

   private:
    friend class Surface;
    explicit Pixels(Surface& surface) : lock_(surface.lock_), surface_(&surface) {}
    std::unique_lock<std::mutex> lock_;
    Surface* surface_;
  };

  explicit Surface(HWND window) : window_(window) {}
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HWND window() const { return window_; }
  Pixels Lock() { return Pixels(*this); }

  // The picture changed: it is shown again. Any thread.
  void Present();
  // How many times it was presented (or resized) so far.
  uint64_t version() const;

  // Takes the window's client size (see above). Called when the window is
  // sized; does nothing once the window is gone.
  void FitToWindow();

 private:
  const HWND window_;
  mutable std::mutex lock_;
  int width_ = 0;   // guarded by lock_
  int height_ = 0;  // guarded by lock_
  std::vector<uint8_t> bits_;  // guarded by lock_
  uint64_t version_ = 0;       // guarded by lock_
};

// Gives the window a black surface of its client size, replacing any it
// had. Not for message-only windows (ERROR_INVALID_PARAMETER); null with
// ERROR_INVALID_WINDOW_HANDLE when there is no such window.
std::shared_ptr<Surface> CreateSurface(HWND window);
// The window's surface, or null (no such window, or no surface).
std::shared_ptr<Surface> SurfaceOf(HWND window);

// Writes the window's surface as an 8-bit R, G, B PNG file, atomically (a
// temporary file renamed over `path`). FALSE with the error set: no window
// (ERROR_INVALID_WINDOW_HANDLE), no surface or an empty one
// (ERROR_INVALID_PARAMETER), the file not written (ERROR_CANTWRITE).
BOOL SaveSurfacePng(HWND window, const std::filesystem::path& path);

}  // namespace ksv::platform::ui
