#include "platform/media/filters/video_renderer/video_window.h"

#include "platform/sync/sync.h"
#include "platform/ui/surface.h"

namespace ksv::media::videorenderer {

namespace ui = ksv::platform::ui;

namespace {

// The class lives while a window of it does: this module's procedure must
// not stay registered after the module may be unloaded.
std::mutex classLock;
int classUsers = 0;

bool UseClass(WNDPROC procedure) {
  std::lock_guard guard(classLock);
  if (classUsers == 0) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = kVideoWindowClass;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (RegisterClassA(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      return false;
    }
  }
  ++classUsers;
  return true;
}

void LeaveClass() {
  std::lock_guard guard(classLock);
  if (--classUsers == 0) UnregisterClassA(kVideoWindowClass, nullptr);
}

}  // namespace

VideoWindow::VideoWindow(std::function<void()> onClose) : onClose_(std::move(onClose)) {
  std::promise<void> made;
  std::future<void> ready = made.get_future();
  thread_ = std::thread([this, &made] { Run(&made); });
  ready.wait();
}

VideoWindow::~VideoWindow() {
  if (thread_.joinable()) {
    if (threadId_ != 0) PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
}

void VideoWindow::Run(std::promise<void>* made) {
  if (!UseClass(&VideoWindow::Procedure)) {
    made->set_value();
    return;
  }
  threadId_ = GetCurrentThreadId();
  HWND window = CreateWindowExA(0, kVideoWindowClass, kVideoWindowTitle,
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                nullptr, nullptr);
  if (window != nullptr) {
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (ui::CreateSurface(window) == nullptr) {
      DestroyWindow(window);
      window = nullptr;
    }
  }
  window_ = window;
  if (window == nullptr) threadId_ = 0;
  made->set_value();  // `made` is gone from here on
  if (window != nullptr) {
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    // Made a child of an application's window, it leaves it first.
    SetParent(window, nullptr);
    DestroyWindow(window);
  }
  LeaveClass();
}

LRESULT VideoWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    // Closing the window stops nothing by itself: it is hidden and the
    // renderer tells the graph.
    ShowWindow(window, SW_HIDE);
    auto* self = reinterpret_cast<VideoWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self != nullptr && self->onClose_) self->onClose_();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void VideoWindow::SetClientSize(int width, int height) {
  if (window_ == nullptr) return;
  SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool VideoWindow::Draw(const FrameLayout& layout, const uint8_t* frame, size_t size) {
  const std::shared_ptr<ui::Surface> surface = ui::SurfaceOf(window_);
  if (surface == nullptr) return false;
  bool drawn = false;
  {
    ui::Surface::Pixels pixels = surface->Lock();
    drawn = DrawFrame(layout, frame, size, pixels.bits(), pixels.width(), pixels.height(),
                      pixels.stride());
  }
  if (drawn) surface->Present();
  return drawn;
}

}  // namespace ksv::media::videorenderer
