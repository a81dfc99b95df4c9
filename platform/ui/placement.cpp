// Showing, hiding, moving and sizing windows. A window's surface follows
// its size; a presenter hears of every change.
#include <mutex>

#include "platform/sync/sync.h"
#include "platform/ui/painting.h"
#include "platform/ui/surface.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

// The low and high words of a message's lParam.
LPARAM PackWords(int low, int high) {
  return static_cast<LPARAM>((static_cast<uint32_t>(high & 0xFFFF) << 16) |
                             static_cast<uint32_t>(low & 0xFFFF));
}

bool Activates(int command) {
  switch (command) {
    case SW_HIDE:
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
    case SW_SHOWMINIMIZED:
      return false;
    default:
      return true;
  }
}

// A child's parent and its rectangle there; null for a top-level window.
std::pair<HWND, RECT> ParentAndRect(const Window& window) {
  std::shared_lock guard(TableLock());
  return {(window.style & WS_CHILD) != 0 ? window.parent : nullptr, window.rect};
}

// Sets or clears WS_VISIBLE; returns whether it was set. Sends
// WM_SHOWWINDOW when it changes.
bool SetVisible(HWND handle, Window& window, bool visible) {
  bool was = false;
  {
    std::unique_lock guard(TableLock());
    was = (window.style & WS_VISIBLE) != 0;
    if (visible) {
      window.style |= WS_VISIBLE;
    } else {
      window.style &= ~WS_VISIBLE;
    }
  }
  if (was != visible) {
    SendMessageA(handle, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
    NotifyWindowChanged(handle, WindowChange::Shape);
    if (visible) {
      RepaintShown(handle);
    } else if (const auto [parent, rect] = ParentAndRect(window); parent != nullptr) {
      RepaintParentArea(parent, rect);
    }
  }
  return was;
}

// Activation as far as this stand-in has it: the keyboard focus.
void Activate(HWND handle, const Window& window) {
  bool topLevel = false;
  {
    std::shared_lock guard(TableLock());
    topLevel = (window.style & WS_CHILD) == 0 && !window.messageOnly;
  }
  if (!topLevel) return;
  const HWND focus = GetFocus();
  if (focus == handle || (focus != nullptr && IsChild(handle, focus))) return;
  SetFocus(handle);
}

}  // namespace
}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

BOOL ShowWindow(HWND handle, int command) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return FALSE;
  const bool was = SetVisible(handle, *window, command != SW_HIDE);
  if (command != SW_HIDE && Activates(command)) Activate(handle, *window);
  return was ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND handle) {
  std::shared_lock guard(TableLock());
  std::shared_ptr<Window> window = FindLocked(handle);
  if (window == nullptr) return FALSE;
  for (; window != nullptr; window = window->parent != nullptr ? FindLocked(window->parent) : nullptr) {
    if ((window->style & WS_VISIBLE) == 0) return FALSE;
  }
  return TRUE;
}

BOOL SetWindowPos(HWND handle, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return FALSE;
  bool moved = false;
  bool sized = false;
  bool restacked = false;
  const RECT before = ParentAndRect(*window).second;
  {
    std::unique_lock guard(TableLock());
    if ((flags & SWP_NOZORDER) == 0 && (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST)) {
      const DWORD exStyle = insertAfter == HWND_TOPMOST ? window->exStyle | WS_EX_TOPMOST
                                                        : window->exStyle & ~WS_EX_TOPMOST;
      restacked = exStyle != window->exStyle;
      window->exStyle = exStyle;
    }
    RECT rect = window->rect;
    if ((flags & SWP_NOMOVE) == 0) {
      rect = PlacedRect(x, y, rect.right - rect.left, rect.bottom - rect.top);
    }
    if ((flags & SWP_NOSIZE) == 0) {
      rect = PlacedRect(rect.left, rect.top, width > 0 ? width : 0, height > 0 ? height : 0);
    }
    moved = rect.left != window->rect.left || rect.top != window->rect.top;
    sized = rect.right - rect.left != window->rect.right - window->rect.left ||
            rect.bottom - rect.top != window->rect.bottom - window->rect.top;
    window->rect = rect;
    x = rect.left;
    y = rect.top;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
  }
  if (sized) {
    if (const std::shared_ptr<Surface> surface = SurfaceOf(handle)) surface->FitToWindow();
  }
  if (moved) SendMessageA(handle, WM_MOVE, 0, PackWords(x, y));
  if (sized) SendMessageA(handle, WM_SIZE, 0 /* SIZE_RESTORED */, PackWords(width, height));
  if (moved || sized) {
    NotifyWindowChanged(handle, WindowChange::Shape);
    // A child's parent shows again where it was; the window is drawn anew.
    if (const auto [parent, after] = ParentAndRect(*window); parent != nullptr) {
      RepaintParentArea(parent, before);
      RepaintParentArea(parent, after);
    } else if (sized) {
      RepaintShown(handle);
    }
  }
  if (restacked && !moved && !sized) NotifyWindowChanged(handle, WindowChange::Shape);
  if ((flags & SWP_SHOWWINDOW) != 0) SetVisible(handle, *window, true);
  if ((flags & SWP_HIDEWINDOW) != 0) SetVisible(handle, *window, false);
  return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL /*repaint*/) {
  return SetWindowPos(handle, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetClientRect(HWND handle, RECT* rect) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr || rect == nullptr) return FALSE;
  std::shared_lock guard(TableLock());
  *rect = RECT{0, 0, window->rect.right - window->rect.left, window->rect.bottom - window->rect.top};
  return TRUE;
}

}  // extern "C"
