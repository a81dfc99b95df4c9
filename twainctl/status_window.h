// The status window: a caption-less, always-on-top window the size of its
// background bitmap (resource 130), made from dialog 129, that shows one
// line of text; and a one-shot timer that runs a callback.
#pragma once

#include <functional>
#include <string>

#include "platform/ui/dialogs/dialogs.h"

namespace ksv::twainctl {

class StatusWindow {
 public:
  StatusWindow() = default;
  ~StatusWindow() { Destroy(); }
  StatusWindow(const StatusWindow&) = delete;
  StatusWindow& operator=(const StatusWindow&) = delete;

  // Made hidden at screen position `at`; false when it cannot be.
  bool Make(HINSTANCE resources, POINT at);
  void Destroy();
  void Show(bool show);
  bool shown() const { return shown_; }
  // Sets the line and repaints at once.
  void SetText(const std::string& text);
  const std::string& text() const { return text_; }
  // Runs `callback` once, `milliseconds` from now, from the window's timer.
  void RunLater(unsigned milliseconds, std::function<void()> callback);
  HWND handle() const { return window_; }

 private:
  static INT_PTR Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();

  HWND window_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  int width_ = 0, height_ = 0;
  POINT at_{};
  bool shown_ = false;
  std::string text_;
  std::function<void()> timerCallback_;
};

}  // namespace ksv::twainctl
