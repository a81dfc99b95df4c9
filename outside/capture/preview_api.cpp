// The preview library: a thin layer over the media graph library, whose
// handle it hands out, so the caller may stop the preview with QMG_Stop.
// The renderer's video window is a child of the caller's window, with a
// picture of its own; on each of the library's 33 ms ticks its picture is
// copied into the caller's window at the rectangle, which is what a person
// (and a screenshot) sees of the window.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "include/oksv1cap.h"
#include "include/oksv1gra.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"
#include "support/no_throw.h"

namespace ui = ksv::platform::ui;

using ksv::support::NoThrow;

namespace {

// Where each handle's picture goes, until its preview is built.
struct ViewPlace {
  HWND window = nullptr;
  int32_t left = 0, top = 0, width = 0, height = 0;
};

std::mutex placesLock;
std::unordered_map<QmgHandle*, ViewPlace> places;

ViewPlace PlaceOf(QmgHandle* handle) {
  std::lock_guard guard(placesLock);
  const auto found = places.find(handle);
  return found == places.end() ? ViewPlace{} : found->second;
}

// The newest live video window of the media framework's renderer that is a
// child of `owner`.
HWND VideoChildOf(HWND owner) {
  HWND newest = nullptr;
  for (const auto& window : ui::AllWindows()) {
    std::shared_lock guard(ui::TableLock());
    if (window->state != ui::WindowState::Alive || window->parent == nullptr ||
        window->parent != owner || window->windowClass->name != "VideoRenderer") {
      continue;
    }
    if (reinterpret_cast<uintptr_t>(window->handle) > reinterpret_cast<uintptr_t>(newest)) newest = window->handle;
  }
  return newest;
}

// Copies the video window's picture into its owner's at the rectangle.
void DrawIntoOwner(intptr_t user) {
  const ViewPlace place = PlaceOf(reinterpret_cast<QmgHandle*>(user));
  if (place.window == nullptr) return;
  const HWND video = VideoChildOf(place.window);
  const auto from = video == nullptr ? nullptr : ui::SurfaceOf(video);
  const auto to = ui::SurfaceOf(place.window);
  if (from == nullptr || to == nullptr) return;
  static thread_local std::vector<uint8_t> rows;
  int width = 0, height = 0;
  size_t stride = 0;
  {
    const ui::Surface::Pixels pixels = from->Lock();
    width = std::min(pixels.width(), place.width);
    height = std::min(pixels.height(), place.height);
    stride = pixels.stride();
    rows.assign(pixels.bits(), pixels.bits() + stride * static_cast<size_t>(pixels.height()));
  }
  {
    ui::Surface::Pixels pixels = to->Lock();
    if (place.left < 0 || place.top < 0) return;
    width = std::min(width, pixels.width() - place.left);
    height = std::min(height, pixels.height() - place.top);
    for (int y = 0; y < height; ++y) {
      std::memcpy(pixels.row(place.top + y) + static_cast<size_t>(place.left) * 3, rows.data() + stride * static_cast<size_t>(y),
                  static_cast<size_t>(std::max(width, 0)) * 3);
    }
  }
  to->Present();
}

void OnGraphCallback(int32_t code, intptr_t user) {
  if (code == QMG_CODE_TICK || code == QMG_CODE_TICK_ESCAPE) DrawIntoOwner(user);
}

}  // namespace

extern "C" {

KSV_EXPORT QmgHandle* KXCAP_Init(HINSTANCE instance, HWND parent) {
  return NoThrow<QmgHandle*>(nullptr, [&] {
    QmgHandle* handle = QMG_Init(instance, parent);
    if (handle != nullptr) QMG_SetCallbackProc(handle, OnGraphCallback, reinterpret_cast<intptr_t>(handle));
    return handle;
  });
}

KSV_EXPORT int32_t KXCAP_SetViewWnd(QmgHandle* handle, HWND window, int32_t left, int32_t top, int32_t width,
                                    int32_t height) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || window == nullptr || width <= 0 || height <= 0) return 0;
    {
      std::lock_guard guard(placesLock);
      places[handle] = {window, left, top, width, height};
    }
    // Before a graph is built there is no video window to place yet.
    if (QMG_GetMediaState(handle) == QMG_STATE_NONE) return 1;
    return QMG_SetViewWnd(handle, window, left, top, width, height);
  });
}

KSV_EXPORT int32_t KXCAP_BuildPreview(QmgHandle* handle, const char* deviceName, int32_t width, int32_t height,
                                      uint32_t fourCc) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr || deviceName == nullptr) return 0;
    const QmgVideoFormat format{width, height, fourCc};
    const bool sized = width > 0 && height > 0;
    if (QMG_BuildPreview(handle, deviceName, sized ? &format : nullptr) == 0) return 0;
    const ViewPlace place = PlaceOf(handle);
    if (place.window != nullptr &&
        QMG_SetViewWnd(handle, place.window, place.left, place.top, place.width, place.height) == 0) {
      return 0;
    }
    return 1;
  });
}

KSV_EXPORT int32_t KXCAP_StartPreview(QmgHandle* handle) {
  return NoThrow<int32_t>(0, [&] { return handle == nullptr ? 0 : QMG_Play(handle); });
}

KSV_EXPORT int32_t KXCAP_Reset(QmgHandle* handle) {
  return NoThrow<int32_t>(0, [&]() -> int32_t {
    if (handle == nullptr) return 1;
    {
      std::lock_guard guard(placesLock);
      places.erase(handle);
    }
    // The graph goes with the handle: the capture filter closes the camera's
    // stream and lets the camera go.
    QMG_Stop(handle);
    return QMG_Reset(handle);
  });
}

}  // extern "C"
