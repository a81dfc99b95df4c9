// The Video Renderer's window: a top-level window of its own class
// ("VideoRenderer", titled "ActiveMovie Window" as on the platform) made on
// a thread of its own that runs its message loop, so that the window answers
// messages whatever the application's threads do. Frames are drawn into the
// window's surface (platform/ui/surface.h) from the streaming thread; the
// window's properties are set with the ordinary window functions from any
// thread. The window procedure takes no lock of the renderer, so a thread
// holding one may send to the window.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "platform/media/filters/video_renderer/frame_drawing.h"
#include "platform/ui/user32.h"

namespace ksv::media::videorenderer {

inline constexpr char kVideoWindowClass[] = "VideoRenderer";
inline constexpr char kVideoWindowTitle[] = "ActiveMovie Window";

class VideoWindow {
 public:
  // `onClose` is called on the window's thread when a person closes the
  // window (it is hidden, not destroyed).
  explicit VideoWindow(std::function<void()> onClose);
  ~VideoWindow();  // destroys the window and ends its thread
  VideoWindow(const VideoWindow&) = delete;
  VideoWindow& operator=(const VideoWindow&) = delete;

  // Null when the window could not be made.
  HWND handle() const { return window_; }

  // Sizes the window so that its client area is `width` x `height`.
  void SetClientSize(int width, int height);
  // Draws a frame over the whole client area and shows it again; false
  // when the frame is shorter than its layout.
  bool Draw(const FrameLayout& layout, const uint8_t* frame, size_t size);

 private:
  static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Run(std::promise<void>* made);  // the window's thread

  std::function<void()> onClose_;
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
  std::thread thread_;
};

}  // namespace ksv::media::videorenderer
