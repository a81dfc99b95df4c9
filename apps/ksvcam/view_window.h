// The window ksvcam shows a graph's video in: a top-level window of its
// own, which the media graph library makes the Video Renderer's window a
// child of (QMG_SetViewWnd), as an application hosts the video in its own
// window. The presenter puts top-level windows on the screen, not their
// children, so this window's picture is the child's, copied on every timer
// tick, as the desktop would compose a child window into its parent. With
// no display the window stays offscreen and its picture can still be saved.
#pragma once

#include <filesystem>
#include <string>

#include "include/oksv1gra.h"
#include "platform/ui/user32.h"

namespace ksv::ksvcam {

class ViewWindow {
 public:
  // A hidden window titled `title`. Throws CommandFailure when it cannot
  // be made.
  explicit ViewWindow(const std::string& title);
  ~ViewWindow();
  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  HWND handle() const { return window_; }

  // Puts the graph's video window into this one at the video's own size
  // (the size the renderer gave its window when it connected) and shows
  // this window. False when the graph built on `graph` has no video window.
  bool Attach(QmgHandle* graph);
  // Copies the video's picture into this window and shows it again.
  void Refresh();
  // Whether the person closed the window (it stays until destroyed).
  bool closed() const { return closed_; }
  // The picture as a PNG file. Throws CommandFailure.
  void SavePng(const std::filesystem::path& path);

 private:
  static LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND video_ = nullptr;  // the renderer's window, once attached
  bool closed_ = false;
};

}  // namespace ksv::ksvcam
