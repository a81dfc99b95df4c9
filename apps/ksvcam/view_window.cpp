#include "apps/ksvcam/view_window.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "apps/ksvcam/console.h"
#include "platform/sync/sync.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace ksv::ksvcam {
namespace {

namespace ui = platform::ui;

constexpr char kViewClass[] = "ksvcam view";
// The class the Video Renderer makes its windows of.
constexpr char kVideoWindowClass[] = "VideoRenderer";

void RegisterViewClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = kViewClass;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  if (!registered) throw CommandFailure("cannot register the view window's class");
}

// The newest live top-level window of the Video Renderer's class (the
// graph built last made it), or null.
HWND NewestTopLevelVideoWindow() {
  HWND newest = nullptr;
  for (const auto& window : ui::AllWindows()) {
    std::shared_lock guard(ui::TableLock());
    if (window->state != ui::WindowState::Alive || window->parent != nullptr ||
        window->windowClass->name != kVideoWindowClass) {
      continue;
    }
    // Handles grow and are never reused: the largest is the newest.
    if (reinterpret_cast<uintptr_t>(window->handle) > reinterpret_cast<uintptr_t>(newest)) {
      newest = window->handle;
    }
  }
  return newest;
}

}  // namespace

ViewWindow::ViewWindow(const std::string& title) {
  RegisterViewClass(&ViewWindow::Procedure);
  window_ = CreateWindowExA(0, kViewClass, title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 320, 240,
                            nullptr, nullptr, nullptr, nullptr);
  if (window_ == nullptr) throw CommandFailure("cannot make the view window");
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

ViewWindow::~ViewWindow() {
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

LRESULT ViewWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // Closing ends the run; the window goes when the command is done.
    auto* view = reinterpret_cast<ViewWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (view != nullptr) view->closed_ = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool ViewWindow::Attach(QmgHandle* graph) {
  const HWND video = NewestTopLevelVideoWindow();
  if (video == nullptr) return false;
  RECT size{};
  GetClientRect(video, &size);
  const int width = std::max<LONG>(size.right, 1);
  const int height = std::max<LONG>(size.bottom, 1);
  if (QMG_SetViewWnd(graph, window_, 0, 0, width, height) == 0 || GetParent(video) != window_) {
    return false;
  }
  video_ = video;
  SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  ui::CreateSurface(window_);
  ShowWindow(window_, SW_SHOWNORMAL);
  Refresh();
  return true;
}

void ViewWindow::Refresh() {
  const auto from = ui::SurfaceOf(video_);
  const auto to = ui::SurfaceOf(window_);
  if (from == nullptr || to == nullptr) return;
  std::vector<uint8_t> rows;
  int width = 0;
  int height = 0;
  size_t stride = 0;
  {
    const ui::Surface::Pixels pixels = from->Lock();
    width = pixels.width();
    height = pixels.height();
    stride = pixels.stride();
    rows.assign(pixels.bits(), pixels.bits() + stride * static_cast<size_t>(height));
  }
  {
    ui::Surface::Pixels pixels = to->Lock();
    const int copyHeight = std::min(height, pixels.height());
    const size_t rowBytes = static_cast<size_t>(std::min(width, pixels.width())) * 3;
    for (int y = 0; y < copyHeight; ++y) {
      std::memcpy(pixels.row(y), rows.data() + stride * static_cast<size_t>(y), rowBytes);
    }
  }
  to->Present();
}

void ViewWindow::SavePng(const std::filesystem::path& path) {
  Refresh();
  if (ui::SaveSurfacePng(window_, path) == FALSE) {
    throw CommandFailure("cannot write the screenshot " + Quoted(path));
  }
}

}  // namespace ksv::ksvcam
