// The SDL windows that show Win32 windows, kept in step with the window
// table. Used only on the presenter's thread, after SDL's video started.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/presenter/presenter.h"
#include "platform/ui/surface.h"

namespace ksv::platform::ui {

class ScreenWindows {
 public:
  ScreenWindows() = default;
  ScreenWindows(const ScreenWindows&) = delete;
  ScreenWindows& operator=(const ScreenWindows&) = delete;
  ~ScreenWindows() { CloseAll(); }

  // Makes, updates and closes SDL windows so that each visible top-level
  // window with a surface has one showing its latest picture.
  void Follow();
  // Shows the cursor the program set (SetCursor) over the screen windows.
  void FollowCursor();
  // A keyboard, window or mouse event from SDL.
  void Handle(const SDL_Event& event, PointerSink pointerSink);
  void CloseAll();

  std::optional<PresentedWindow> Describe(HWND window) const;
  std::optional<picture::RgbPicture> ReadBack(HWND window) const;

 private:
  // How the screen window is made: without a frame for a window without a
  // caption, above the others for WS_EX_TOPMOST, shaped by SetWindowRgn's
  // region (rectangles; empty for none). A change makes it again.
  struct Look {
    bool borderless = false;
    bool topmost = false;
    std::vector<RECT> shape;
    bool operator==(const Look& other) const;
  };
  struct Shown {
    SDL_Window* window = nullptr;
    std::shared_ptr<Surface> surface;
    Look look;
    std::string title;
    int width = 0;
    int height = 0;
    bool visible = false;
    uint64_t version = 0;  // of the surface, as last put on screen
    uint64_t frames = 0;
    POINT origin{};  // the window's place as of the last update: a move moves the screen window as much
  };
  struct Wanted {
    std::shared_ptr<Surface> surface;
    Look look;
    std::string title;
    bool visible = false;
    POINT origin{};
  };

  static std::map<HWND, Wanted> WantedWindows();
  static SDL_Window* MakeWindow(const Wanted& wanted, int width, int height);
  void Update(Shown& shown, const Wanted& wanted);
  // Copies the surface into the SDL window and shows it.
  void Draw(Shown& shown);
  HWND HandleOf(uint32_t screenId) const;

  std::map<HWND, Shown> shown_;
  HCURSOR cursor_ = nullptr;          // the program's, as last shown
  SDL_Cursor* screenCursor_ = nullptr;  // made for it; freed when replaced
};

}  // namespace ksv::platform::ui
