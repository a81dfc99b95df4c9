#include "platform/media/testing/video_window_shot.h"

#include <cstdint>
#include <mutex>
#include <shared_mutex>

#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace ksv::media::testing {
namespace {

// The class the Video Renderer registers for its windows.
constexpr char kClass[] = "VideoRenderer";

}  // namespace

HWND VideoRendererWindow() {
  namespace ui = ksv::platform::ui;
  HWND newest = nullptr;
  for (const auto& window : ui::AllWindows()) {
    std::shared_lock guard(ui::TableLock());
    if (window->state != ui::WindowState::Alive || window->windowClass->name != kClass) continue;
    // Handles grow and are never reused: the largest is the newest.
    if (reinterpret_cast<uintptr_t>(window->handle) > reinterpret_cast<uintptr_t>(newest)) {
      newest = window->handle;
    }
  }
  return newest;
}

bool SaveVideoRendererPng(const std::filesystem::path& path) {
  const HWND window = VideoRendererWindow();
  return window != nullptr && ksv::platform::ui::SaveSurfacePng(window, path);
}

}  // namespace ksv::media::testing
