// The records behind window classes and windows, and the process-wide table
// that maps handles to them. Internal to the user-interface stand-in and
// the layers built on it (dialogs, controls, the presenter).
//
// A window's fields are guarded by the table's lock (TableLock); nothing
// calls a window procedure while holding it. A record outlives its handle
// for as long as someone holds the shared pointer, so a procedure that
// destroys its own window returns into code that still holds a valid record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "platform/ui/user32.h"

namespace ksv::platform::ui {

class MessageQueue;
class Surface;        // surface.h
struct PaintState;    // painting.h

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC procedure = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::string menuName;
  int liveWindows = 0;  // guarded by the table's lock
};

// What a later layer hangs on a window: a control's own state. Ended with
// the window's record. (The surface has its own slot.)
class WindowAttachment {
 public:
  virtual ~WindowAttachment() = default;
};

enum class WindowState {
  Alive,       // between WM_NCCREATE and DestroyWindow
  Destroying,  // WM_DESTROY/WM_NCDESTROY under way: still a window
  Dead,        // its handle names nothing
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> windowClass;
  std::shared_ptr<MessageQueue> queue;  // the owning thread's
  DWORD threadId = 0;

  WindowState state = WindowState::Alive;
  WNDPROC procedure = nullptr;  // the class's, until subclassed (GWLP_WNDPROC)
  DWORD style = 0;
  DWORD exStyle = 0;
  HINSTANCE instance = nullptr;
  HWND parent = nullptr;  // a child's parent
  HWND owner = nullptr;   // a top-level window's owner
  bool messageOnly = false;
  LONG_PTR id = 0;        // a child's control identifier (GWLP_ID)
  LONG_PTR userData = 0;  // GWLP_USERDATA
  RECT rect{};            // in the parent's client coordinates
  std::string text;
  std::vector<std::byte> extra;  // cbWndExtra bytes, zeroed at creation
  std::vector<HWND> children;    // in creation order
  std::shared_ptr<WindowAttachment> attachment;
  std::shared_ptr<Surface> surface;  // its 24-bit picture, if it has one; dropped at its end
  std::shared_ptr<PaintState> paint;  // update region and shape, once it has either
};

// The rectangle of a window at (x, y) of `width` by `height`, as callers
// give them: a far edge past the range of a coordinate moves the window
// back (it keeps its size), so no edge or size overflows.
inline RECT PlacedRect(LONG x, LONG y, LONG width, LONG height) {
  const auto place = [](LONG start, LONG length, LONG& near, LONG& far) {
    const int64_t end = int64_t{start} + length;
    const int64_t shift = end > INT32_MAX ? end - INT32_MAX : end < INT32_MIN ? end - INT32_MIN : 0;
    near = static_cast<LONG>(start - shift);
    far = static_cast<LONG>(end - shift);
  };
  RECT rect{};
  place(x, width, rect.left, rect.right);
  place(y, height, rect.top, rect.bottom);
  return rect;
}

// The lock over the table and every window's fields.
std::shared_mutex& TableLock();

// With TableLock held (shared or exclusive): the record of a window that is
// alive or being destroyed, else null.
std::shared_ptr<Window> FindLocked(HWND handle);
// Takes the lock itself; sets ERROR_INVALID_WINDOW_HANDLE when there is no
// such window.
std::shared_ptr<Window> Find(HWND handle);

// With TableLock held exclusively: a new handle for `window`, entered in the
// table; and the removal of a handle (the record is marked dead).
HWND AddLocked(const std::shared_ptr<Window>& window);
void RemoveLocked(Window& window);

// Every window whose owning thread is `threadId` (alive or being destroyed).
std::vector<std::shared_ptr<Window>> WindowsOfThread(DWORD threadId);

// Every window in the table (alive or being destroyed).
std::vector<std::shared_ptr<Window>> AllWindows();

// What a presenter follows. Shape: shown, hidden, moved, sized, retitled or
// restyled; Pixels: its surface was made, resized or drawn into; Destroyed:
// its handle names nothing any more.
enum class WindowChange { Shape, Pixels, Destroyed };
using WindowWatcher = void (*)(HWND window, WindowChange change);
// One watcher per process (null for none). It is told on the thread that
// made the change, with no lock of this layer held, and must not block.
void SetWindowWatcher(WindowWatcher watcher);
bool WindowWatcherInstalled();
void NotifyWindowChanged(HWND window, WindowChange change);

// The registered class named `name` (or by its atom), or null.
std::shared_ptr<WindowClass> FindClass(const char* name);

// A window's procedure called on its own thread.
LRESULT CallProcedure(const Window& window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace ksv::platform::ui
