// Window surfaces and their PNG pictures.
#include "platform/ui/surface.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/sync/sync.h"
#include "platform/ui/window.h"
#include "support/picture/png_file.h"
#include "support/picture/whole_file.h"

namespace ksv::platform::ui {
namespace {

// The window's client size, limited to what a surface holds; nullopt once
// the window is gone.
std::optional<std::pair<int, int>> ClientSize(HWND handle) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(handle);
  if (window == nullptr) return std::nullopt;
  const auto side = [](LONG length) { return static_cast<int>(std::clamp<LONG>(length, 0, kMaxSurfaceSide)); };
  return std::pair{side(window->rect.right - window->rect.left),
                   side(window->rect.bottom - window->rect.top)};
}

}  // namespace

void Surface::Present() {
  {
    std::lock_guard guard(lock_);
    ++version_;
  }
  NotifyWindowChanged(window_, WindowChange::Pixels);
}

uint64_t Surface::version() const {
  std::lock_guard guard(lock_);
  return version_;
}

void Surface::FitToWindow() {
  {
    // The size is read under the hold, so of two windows sizings racing the
    // later one's size is the one kept.
    std::lock_guard guard(lock_);
    const auto size = ClientSize(window_);
    if (!size || (size->first == width_ && size->second == height_)) return;
    const auto [width, height] = *size;
    std::vector<uint8_t> bits(SurfaceStride(width) * static_cast<size_t>(height), 0);
    const size_t keptBytes = static_cast<size_t>(std::min(width, width_)) * 3;
    for (int y = 0; y < std::min(height, height_); ++y) {
      std::memcpy(bits.data() + SurfaceStride(width) * static_cast<size_t>(y),
                  bits_.data() + SurfaceStride(width_) * static_cast<size_t>(y), keptBytes);
    }
    bits_ = std::move(bits);
    width_ = width;
    height_ = height;
    ++version_;
  }
  NotifyWindowChanged(window_, WindowChange::Pixels);
}

std::shared_ptr<Surface> CreateSurface(HWND handle) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return nullptr;
  auto surface = std::make_shared<Surface>(handle);
  {
    std::unique_lock guard(TableLock());
    if (window->state != WindowState::Alive) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (window->messageOnly) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    window->surface = surface;
  }
  surface->FitToWindow();  // notifies the watcher
  return surface;
}

std::shared_ptr<Surface> SurfaceOf(HWND handle) {
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> window = FindLocked(handle);
  return window != nullptr ? window->surface : nullptr;
}

BOOL SaveSurfacePng(HWND handle, const std::filesystem::path& path) {
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  const std::shared_ptr<Surface> surface = SurfaceOf(handle);
  if (surface == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  picture::RgbPicture rgb;
  {
    const Surface::Pixels pixels = surface->Lock();
    if (pixels.width() == 0 || pixels.height() == 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    rgb.width = static_cast<uint32_t>(pixels.width());
    rgb.height = static_cast<uint32_t>(pixels.height());
    rgb.pixels.resize(size_t{rgb.width} * rgb.height * 3);
    uint8_t* out = rgb.pixels.data();
    for (int y = 0; y < pixels.height(); ++y) {
      const uint8_t* in = pixels.row(y);
      for (int x = 0; x < pixels.width(); ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
  }
  try {
    const std::vector<uint8_t> file = picture::EncodePng(rgb);
    if (picture::TryWriteWholeFile(path, file) != 0) {
      SetLastError(ERROR_CANTWRITE);
      return FALSE;
    }
  } catch (const std::exception&) {
    SetLastError(ERROR_CANTWRITE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace ksv::platform::ui
