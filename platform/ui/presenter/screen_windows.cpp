#include "platform/ui/presenter/screen_windows.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "platform/ui/painting.h"
#include "platform/ui/presenter/keymap.h"
#include "platform/ui/ui.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

constexpr uint64_t kNeverDrawn = std::numeric_limits<uint64_t>::max();

}  // namespace

bool ScreenWindows::Look::operator==(const Look& other) const {
  const auto same = [](const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  return borderless == other.borderless && topmost == other.topmost &&
         std::equal(shape.begin(), shape.end(), other.shape.begin(), other.shape.end(), same);
}

std::map<HWND, ScreenWindows::Wanted> ScreenWindows::WantedWindows() {
  std::map<HWND, Wanted> wanted;
  for (const std::shared_ptr<Window>& window : AllWindows()) {
    Look look{};
    {
      std::shared_lock guard(TableLock());
      if (window->state != WindowState::Alive || window->surface == nullptr || window->messageOnly ||
          (window->style & WS_CHILD) != 0) {
        continue;
      }
      look.borderless = (window->style & WS_CAPTION) != WS_CAPTION;
      look.topmost = (window->exStyle & WS_EX_TOPMOST) != 0;
      wanted.emplace(window->handle, Wanted{window->surface, {}, window->text, (window->style & WS_VISIBLE) != 0,
                                            POINT{window->rect.left, window->rect.top}});
    }
    look.shape = ShapeRects(window->handle);
    wanted[window->handle].look = std::move(look);
  }
  return wanted;
}

SDL_Window* ScreenWindows::MakeWindow(const Wanted& wanted, int width, int height) {
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (wanted.look.borderless) flags |= SDL_WINDOW_BORDERLESS;
  if (wanted.look.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  if (!wanted.look.shape.empty()) {
    // Shaped through a mask: opaque inside the region, clear outside. Where
    // the desktop has no shaped windows, a plain one shows the black
    // outside instead.
    SDL_Window* shaped = SDL_CreateShapedWindow(wanted.title.c_str(), SDL_WINDOWPOS_UNDEFINED,
                                                SDL_WINDOWPOS_UNDEFINED, width, height, flags);
    SDL_Surface* mask = shaped != nullptr ? SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGBA8888)
                                          : nullptr;
    if (mask != nullptr) {
      SDL_FillRect(mask, nullptr, 0);
      for (const RECT& rect : wanted.look.shape) {
        SDL_Rect area{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
        SDL_FillRect(mask, &area, 0xFFFFFFFFu);
      }
      SDL_WindowShapeMode mode{};
      mode.mode = ShapeModeBinarizeAlpha;
      mode.parameters.binarizationCutoff = 128;
      const bool shapedOk = SDL_SetWindowShape(shaped, mask, &mode) == 0;
      SDL_FreeSurface(mask);
      if (shapedOk) return shaped;
    }
    if (shaped != nullptr) SDL_DestroyWindow(shaped);
  }
  return SDL_CreateWindow(wanted.title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                          flags);
}

void ScreenWindows::Follow() {
  const std::map<HWND, Wanted> wanted = WantedWindows();
  for (auto it = shown_.begin(); it != shown_.end();) {
    const auto found = wanted.find(it->first);
    if (found == wanted.end() || found->second.surface != it->second.surface ||
        !(found->second.look == it->second.look)) {
      SDL_DestroyWindow(it->second.window);
      it = shown_.erase(it);
    } else {
      ++it;
    }
  }
  for (const auto& [handle, want] : wanted) {
    auto found = shown_.find(handle);
    if (found == shown_.end()) {
      if (!want.visible) continue;  // made when first shown
      int width = 0;
      int height = 0;
      {
        const Surface::Pixels pixels = want.surface->Lock();
        width = pixels.width();
        height = pixels.height();
      }
      if (width == 0 || height == 0) continue;  // nothing to show yet
      SDL_Window* window = MakeWindow(want, width, height);
      if (window == nullptr) continue;
      found = shown_.emplace(handle, Shown{window, want.surface, want.look, want.title, width, height, false,
                                           kNeverDrawn, 0, want.origin})
                  .first;
    }
    Update(found->second, want);
  }
}

void ScreenWindows::Update(Shown& shown, const Wanted& wanted) {
  if (shown.origin.x != wanted.origin.x || shown.origin.y != wanted.origin.y) {
    // Where the desktop first put the window is its own; moves follow it
    // (a window dragged by its body, say).
    int x = 0;
    int y = 0;
    SDL_GetWindowPosition(shown.window, &x, &y);
    SDL_SetWindowPosition(shown.window, x + wanted.origin.x - shown.origin.x, y + wanted.origin.y - shown.origin.y);
    shown.origin = wanted.origin;
  }
  if (shown.title != wanted.title) {
    SDL_SetWindowTitle(shown.window, wanted.title.c_str());
    shown.title = wanted.title;
  }
  if (shown.visible != wanted.visible) {
    if (wanted.visible) {
      SDL_ShowWindow(shown.window);
      shown.version = kNeverDrawn;  // a window shown again is drawn again
    } else {
      SDL_HideWindow(shown.window);
    }
    shown.visible = wanted.visible;
  }
  if (shown.visible && shown.version != shown.surface->version()) Draw(shown);
}

void ScreenWindows::Draw(Shown& shown) {
  const uint64_t version = shown.surface->version();
  {
    const Surface::Pixels pixels = shown.surface->Lock();
    if (pixels.width() == 0 || pixels.height() == 0) return;  // keeps its last picture
    if (pixels.width() != shown.width || pixels.height() != shown.height) {
      SDL_SetWindowSize(shown.window, pixels.width(), pixels.height());
      shown.width = pixels.width();
      shown.height = pixels.height();
    }
    SDL_Surface* target = SDL_GetWindowSurface(shown.window);
    if (target == nullptr) return;
    // The desktop may have given the window another size than asked for.
    SDL_ConvertPixels(std::min(target->w, pixels.width()), std::min(target->h, pixels.height()),
                      SDL_PIXELFORMAT_BGR24, pixels.bits(), static_cast<int>(pixels.stride()),
                      target->format->format, target->pixels, target->pitch);
  }
  SDL_UpdateWindowSurface(shown.window);
  shown.version = version;
  shown.frames += 1;
}

HWND ScreenWindows::HandleOf(uint32_t screenId) const {
  for (const auto& [handle, shown] : shown_) {
    if (SDL_GetWindowID(shown.window) == screenId) return handle;
  }
  return nullptr;
}

void ScreenWindows::Handle(const SDL_Event& event, PointerSink pointerSink) {
  switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int virtualKey = VirtualKeyOf(event.key.keysym.sym);
      if (virtualKey != 0) FeedKey(virtualKey, event.type == SDL_KEYDOWN);
      break;
    }
    case SDL_WINDOWEVENT: {
      const HWND handle = HandleOf(event.window.windowID);
      if (handle == nullptr) break;
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
        // The program decides: DefWindowProcA destroys the window, and the
        // screen window goes with it.
        PostMessageA(handle, WM_CLOSE, 0, 0);
      } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
        SDL_UpdateWindowSurface(shown_.at(handle).window);
      }
      break;
    }
    case SDL_MOUSEMOTION: {
      const HWND handle = HandleOf(event.motion.windowID);
      if (handle != nullptr && pointerSink != nullptr) pointerSink(handle, event.motion.x, event.motion.y, 0, false);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const HWND handle = HandleOf(event.button.windowID);
      if (handle != nullptr && pointerSink != nullptr) {
        pointerSink(handle, event.button.x, event.button.y, event.button.button,
                    event.type == SDL_MOUSEBUTTONDOWN);
      }
      break;
    }
    default:
      break;
  }
}

namespace {

SDL_SystemCursor SystemCursorOf(int id) {
  switch (id) {
    case 32513: return SDL_SYSTEM_CURSOR_IBEAM;
    case 32514: return SDL_SYSTEM_CURSOR_WAIT;
    case 32515: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case 32646: return SDL_SYSTEM_CURSOR_SIZEALL;
    case 32648: return SDL_SYSTEM_CURSOR_NO;
    case 32649: return SDL_SYSTEM_CURSOR_HAND;
    case 32650: return SDL_SYSTEM_CURSOR_WAITARROW;
    default: return SDL_SYSTEM_CURSOR_ARROW;
  }
}

}  // namespace

void ScreenWindows::FollowCursor() {
  const HCURSOR wanted = GetCursor();
  if (wanted == cursor_ && screenCursor_ != nullptr) return;
  cursor_ = wanted;
  if (wanted == nullptr) {
    SDL_ShowCursor(SDL_DISABLE);  // SetCursor(NULL) hides it
    return;
  }
  SDL_Cursor* made = nullptr;
  if (std::optional<CursorPicture> picture = DescribeCursor(wanted)) {
    if (picture->systemId != 0) {
      made = SDL_CreateSystemCursor(SystemCursorOf(picture->systemId));
    } else if (SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                   picture->argb.data(), picture->width, picture->height, 32, picture->width * 4,
                   SDL_PIXELFORMAT_ARGB8888)) {
      made = SDL_CreateColorCursor(surface, picture->hotX, picture->hotY);
      SDL_FreeSurface(surface);
    }
  }
  if (made == nullptr) made = SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW);
  if (made == nullptr) return;
  SDL_SetCursor(made);
  SDL_ShowCursor(SDL_ENABLE);
  if (screenCursor_ != nullptr) SDL_FreeCursor(screenCursor_);
  screenCursor_ = made;
}

void ScreenWindows::CloseAll() {
  for (auto& [handle, shown] : shown_) SDL_DestroyWindow(shown.window);
  shown_.clear();
  if (screenCursor_ != nullptr) SDL_FreeCursor(screenCursor_);
  screenCursor_ = nullptr;
  cursor_ = nullptr;
}

std::optional<PresentedWindow> ScreenWindows::Describe(HWND handle) const {
  const auto found = shown_.find(handle);
  if (found == shown_.end()) return std::nullopt;
  const Shown& shown = found->second;
  PresentedWindow described{SDL_GetWindowID(shown.window), shown.title, shown.width, shown.height,
                            shown.visible, shown.frames};
  SDL_GetWindowPosition(shown.window, &described.x, &described.y);
  return described;
}

std::optional<picture::RgbPicture> ScreenWindows::ReadBack(HWND handle) const {
  const auto found = shown_.find(handle);
  if (found == shown_.end()) return std::nullopt;
  SDL_Surface* screen = SDL_GetWindowSurface(found->second.window);
  if (screen == nullptr || screen->w <= 0 || screen->h <= 0) return std::nullopt;
  picture::RgbPicture rgb;
  rgb.width = static_cast<uint32_t>(screen->w);
  rgb.height = static_cast<uint32_t>(screen->h);
  rgb.pixels.resize(size_t{rgb.width} * rgb.height * 3);
  if (SDL_ConvertPixels(screen->w, screen->h, screen->format->format, screen->pixels, screen->pitch,
                        SDL_PIXELFORMAT_RGB24, rgb.pixels.data(), screen->w * 3) != 0) {
    return std::nullopt;
  }
  return rgb;
}

}  // namespace ksv::platform::ui
