// The pointer, mouse capture, the cursor, coordinates between a window's
// client area and the screen, and moving a window by its caption.
#include "platform/ui/mouse.h"

#include <mutex>

#include "platform/sync/sync.h"
#include "platform/ui/input.h"

namespace ksv::platform::ui {
namespace {

struct MouseState {
  std::mutex mutex;
  POINT pointer{0, 0};
  HWND capture = nullptr;
  HCURSOR cursor = nullptr;
};

MouseState& Mouse() {
  static MouseState* state = [] {
    auto* made = new MouseState;  // used from static destructors too
    made->cursor = LoadCursorA(nullptr, IDC_ARROW);  // the cursor before anyone sets one
    return made;
  }();
  return *state;
}

thread_local POINT lastMessagePoint{0, 0};

// Moves a point between a window's client area and the screen: +1 adds the
// offsets of the window and its parents, -1 takes them off.
bool Translate(HWND handle, POINT* point, int direction) {
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  std::shared_lock guard(TableLock());
  std::shared_ptr<Window> window = FindLocked(handle);
  if (window == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  for (; window != nullptr; window = window->parent != nullptr ? FindLocked(window->parent) : nullptr) {
    point->x += direction * window->rect.left;
    point->y += direction * window->rect.top;
  }
  return true;
}

}  // namespace

POINT PointerPosition() {
  MouseState& mouse = Mouse();
  std::lock_guard guard(mouse.mutex);
  return mouse.pointer;
}

void MovePointer(POINT screen) {
  MouseState& mouse = Mouse();
  std::lock_guard guard(mouse.mutex);
  mouse.pointer = screen;
}

void NoteMouseMessage(const MSG& message) {
  if (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) lastMessagePoint = message.pt;
}

void ForgetCapture(const std::vector<std::shared_ptr<Window>>& windows) {
  MouseState& mouse = Mouse();
  std::lock_guard guard(mouse.mutex);
  for (const auto& window : windows) {
    if (window->handle == mouse.capture) mouse.capture = nullptr;
  }
}

void FollowPointerUntilRelease(HWND handle) {
  RECT start{};
  if (!GetWindowRect(handle, &start)) return;
  const POINT from = lastMessagePoint;  // where the press was
  SetCapture(handle);
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));  // for the caller's loop
      break;
    }
    if (got < 0 || !IsWindow(handle)) break;
    if (message.message == WM_MOUSEMOVE || message.message == WM_LBUTTONUP) {
      SetWindowPos(handle, nullptr, start.left + message.pt.x - from.x, start.top + message.pt.y - from.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      if (message.message == WM_LBUTTONUP) break;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (GetCapture() == handle) ReleaseCapture();
}

}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

HWND SetCapture(HWND window) {
  if (window != nullptr && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  HWND previous = nullptr;
  {
    MouseState& mouse = Mouse();
    std::lock_guard guard(mouse.mutex);
    previous = mouse.capture;
    mouse.capture = window;
  }
  if (previous != nullptr && previous != window) {
    SendMessageA(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
  }
  return previous;
}

BOOL ReleaseCapture() {
  SetCapture(nullptr);
  return TRUE;
}

HWND GetCapture() {
  MouseState& mouse = Mouse();
  std::lock_guard guard(mouse.mutex);
  return mouse.capture;
}

BOOL GetCursorPos(POINT* point) {
  if (point == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *point = PointerPosition();
  return TRUE;
}

DWORD GetMessagePos() {
  return static_cast<DWORD>(static_cast<uint16_t>(lastMessagePoint.x)) |
         static_cast<DWORD>(static_cast<uint16_t>(lastMessagePoint.y)) << 16;
}

HCURSOR SetCursor(HCURSOR cursor) {
  MouseState& mouse = Mouse();
  std::lock_guard guard(mouse.mutex);
  const HCURSOR previous = mouse.cursor;
  mouse.cursor = cursor;
  return previous;
}

HCURSOR GetCursor() {
  MouseState& mouse = Mouse();
  std::lock_guard guard(mouse.mutex);
  return mouse.cursor;
}

BOOL ClientToScreen(HWND window, POINT* point) { return Translate(window, point, +1) ? TRUE : FALSE; }

BOOL ScreenToClient(HWND window, POINT* point) { return Translate(window, point, -1) ? TRUE : FALSE; }

UINT GetDoubleClickTime() { return 500; }

}  // extern "C"
