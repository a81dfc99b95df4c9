// Creating and destroying windows, and their fields.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/sync/sync.h"
#include "platform/ui/controls/controls.h"
#include "platform/ui/keyboard.h"
#include "platform/ui/message_queue.h"
#include "platform/ui/mouse.h"
#include "platform/ui/painting.h"
#include "platform/ui/threads.h"
#include "platform/ui/window.h"

namespace ksv::platform::ui {
namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

// Checks the parent or owner a new window names; sets the error if wrong.
bool ParentIsFit(DWORD style, HWND parent) {
  const bool child = (style & WS_CHILD) != 0;
  if (parent == HWND_MESSAGE) return true;
  if (parent == nullptr) {
    if (child) SetLastError(ERROR_TLW_WITH_WSCHILD);
    return !child;
  }
  std::shared_lock guard(TableLock());
  const std::shared_ptr<Window> record = FindLocked(parent);
  if (record == nullptr || record->state != WindowState::Alive) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

std::shared_ptr<Window> NewWindow(const std::shared_ptr<WindowClass>& windowClass,
                                  const CREATESTRUCTA& create, HWND parent) {
  auto window = std::make_shared<Window>();
  window->windowClass = windowClass;
  window->queue = CurrentQueue();
  window->threadId = GetCurrentThreadId();
  window->procedure = windowClass->procedure;
  window->style = static_cast<DWORD>(create.style);
  window->exStyle = create.dwExStyle;
  window->instance = create.hInstance;
  window->messageOnly = parent == HWND_MESSAGE;
  if ((create.style & WS_CHILD) != 0 && !window->messageOnly) {
    window->parent = parent;
    window->id = reinterpret_cast<LONG_PTR>(create.hMenu);
  } else if (!window->messageOnly) {
    window->owner = parent;
  }
  window->rect = PlacedRect(create.x, create.y, create.cx, create.cy);
  window->extra.assign(static_cast<size_t>(windowClass->windowExtra), std::byte{0});
  return window;
}

// The window and everything below it, parents before children.
std::vector<std::shared_ptr<Window>> TreeLocked(const std::shared_ptr<Window>& top) {
  std::vector<std::shared_ptr<Window>> tree{top};
  for (size_t i = 0; i < tree.size(); ++i) {
    for (HWND child : tree[i]->children) {
      if (auto record = FindLocked(child)) tree.push_back(record);
    }
  }
  return tree;
}

// The top-level windows `owner` owns that the calling thread may destroy.
std::vector<HWND> OwnedWindows(HWND owner) {
  std::vector<HWND> owned;
  for (const auto& window : WindowsOfThread(GetCurrentThreadId())) {
    std::shared_lock guard(TableLock());
    if (window->owner == owner && window->state == WindowState::Alive) owned.push_back(window->handle);
  }
  return owned;
}

// The value of the field or extra bytes at `index`, `size` bytes wide.
std::optional<LONG_PTR> ReadField(const Window& window, int index, size_t size) {
  if (index >= 0) {
    if (static_cast<size_t>(index) + size > window.extra.size()) return std::nullopt;
    if (size == sizeof(LONG)) {
      LONG value = 0;
      std::memcpy(&value, window.extra.data() + index, sizeof value);
      return value;
    }
    LONG_PTR value = 0;
    std::memcpy(&value, window.extra.data() + index, sizeof value);
    return value;
  }
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window.procedure);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window.instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(window.parent != nullptr ? window.parent : window.owner);
    case GWLP_ID: return window.id;
    case GWL_STYLE: return static_cast<LONG_PTR>(window.style);
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(window.exStyle);
    case GWLP_USERDATA: return window.userData;
    default: return std::nullopt;
  }
}

bool WriteField(Window& window, int index, size_t size, LONG_PTR value) {
  if (index >= 0) {
    if (static_cast<size_t>(index) + size > window.extra.size()) return false;
    if (size == sizeof(LONG)) {
      const auto narrow = static_cast<LONG>(value);
      std::memcpy(window.extra.data() + index, &narrow, sizeof narrow);
    } else {
      std::memcpy(window.extra.data() + index, &value, sizeof value);
    }
    return true;
  }
  switch (index) {
    case GWLP_WNDPROC: window.procedure = reinterpret_cast<WNDPROC>(value); return true;
    case GWLP_HINSTANCE: window.instance = reinterpret_cast<HINSTANCE>(value); return true;
    case GWLP_HWNDPARENT: window.owner = reinterpret_cast<HWND>(value); return true;
    case GWLP_ID: window.id = value; return true;
    case GWL_STYLE: window.style = static_cast<DWORD>(value); return true;
    case GWL_EXSTYLE: window.exStyle = static_cast<DWORD>(value); return true;
    case GWLP_USERDATA: window.userData = value; return true;
    default: return false;
  }
}

LONG_PTR GetField(HWND handle, int index, size_t size) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return 0;
  std::shared_lock guard(TableLock());
  const std::optional<LONG_PTR> value = ReadField(*window, index, size);
  if (!value) SetLastError(ERROR_INVALID_INDEX);
  return value.value_or(0);
}

LONG_PTR SetField(HWND handle, int index, size_t size, LONG_PTR value) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return 0;
  std::unique_lock guard(TableLock());
  const std::optional<LONG_PTR> previous = ReadField(*window, index, size);
  if (!previous || !WriteField(*window, index, size, value)) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  guard.unlock();
  if (index == GWL_STYLE) NotifyWindowChanged(handle, WindowChange::Shape);
  return *previous;
}

}  // namespace
}  // namespace ksv::platform::ui

using namespace ksv::platform::ui;

extern "C" {

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, void* param) {
  RegisterStandardControls();  // "Button", "Edit" ... exist as they do on the platform
  const std::shared_ptr<WindowClass> windowClass = FindClass(className);
  if (windowClass == nullptr) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (!ParentIsFit(style, parent)) return nullptr;
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = (style & WS_CHILD) != 0 ? 0 : kDefaultWidth;
    height = (style & WS_CHILD) != 0 ? 0 : kDefaultHeight;
  }
  CREATESTRUCTA create{param, instance, menu, parent == HWND_MESSAGE ? nullptr : parent,
                       height, width, y, x, static_cast<LONG>(style), windowName, className,
                       exStyle};
  const std::shared_ptr<Window> window = NewWindow(windowClass, create, parent);
  HWND handle = nullptr;
  {
    std::unique_lock guard(TableLock());
    if (window->parent != nullptr) {
      const std::shared_ptr<Window> parentRecord = FindLocked(window->parent);
      if (parentRecord == nullptr || parentRecord->state != WindowState::Alive) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);  // the parent died meanwhile
        return nullptr;
      }
    }
    handle = AddLocked(window);
  }
  const auto createParam = reinterpret_cast<LPARAM>(&create);
  if (CallProcedure(*window, WM_NCCREATE, 0, createParam) == 0) {
    CallProcedure(*window, WM_NCDESTROY, 0, 0);
    {
      std::unique_lock guard(TableLock());
      RemoveLocked(*window);
    }
    window->queue->ForgetWindow(handle);
    return nullptr;
  }
  if (CallProcedure(*window, WM_CREATE, 0, createParam) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  // The procedure may have destroyed the window while creating it.
  if (!IsWindow(handle)) return nullptr;
  if ((style & WS_VISIBLE) != 0) RepaintShown(handle);
  return handle;
}

BOOL DestroyWindow(HWND handle) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return FALSE;
  if (window->threadId != GetCurrentThreadId()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  {
    std::unique_lock guard(TableLock());
    if (window->state != WindowState::Alive) return TRUE;  // already under way
    window->state = WindowState::Destroying;
  }
  // Owned windows go first, each whole.
  for (HWND owned : OwnedWindows(handle)) DestroyWindow(owned);

  std::vector<std::shared_ptr<Window>> tree;
  HWND parent = nullptr;  // a shown child leaves its area to its parent
  RECT area{};
  {
    std::unique_lock guard(TableLock());
    if ((window->style & (WS_CHILD | WS_VISIBLE)) == (WS_CHILD | WS_VISIBLE)) {
      parent = window->parent;
      area = window->rect;
    }
    tree = TreeLocked(window);
    for (const auto& record : tree) record->state = WindowState::Destroying;
  }
  ForgetFocus(tree);
  ForgetCapture(tree);
  // WM_DESTROY parent first, children while they still exist; a child of
  // another thread is sent its messages.
  for (const auto& record : tree) SendMessageA(record->handle, WM_DESTROY, 0, 0);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    SendMessageA((*it)->handle, WM_NCDESTROY, 0, 0);
    {
      std::unique_lock guard(TableLock());
      RemoveLocked(**it);
    }
    (*it)->queue->ForgetWindow((*it)->handle);
    NotifyWindowChanged((*it)->handle, WindowChange::Destroyed);
  }
  if (parent != nullptr) RepaintParentArea(parent, area);
  return TRUE;
}

BOOL IsWindow(HWND handle) {
  std::shared_lock guard(TableLock());
  return FindLocked(handle) != nullptr ? TRUE : FALSE;
}

HWND GetParent(HWND handle) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return nullptr;
  std::shared_lock guard(TableLock());
  return window->parent != nullptr ? window->parent : window->owner;
}

BOOL IsChild(HWND parent, HWND handle) {
  std::shared_lock guard(TableLock());
  for (auto window = FindLocked(handle); window != nullptr && window->parent != nullptr;
       window = FindLocked(window->parent)) {
    if (window->parent == parent) return TRUE;
  }
  return FALSE;
}

HWND SetParent(HWND handle, HWND newParent) {
  HWND previous = nullptr;
  {
    std::unique_lock guard(TableLock());
    const std::shared_ptr<Window> window = FindLocked(handle);
    const std::shared_ptr<Window> parent = newParent != nullptr ? FindLocked(newParent) : nullptr;
    if (window == nullptr || window->state != WindowState::Alive || window->messageOnly ||
        (newParent != nullptr && (parent == nullptr || parent->state != WindowState::Alive))) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    // No loops: the new parent may not be the window or one of its children.
    for (auto above = parent; above != nullptr; above = FindLocked(above->parent)) {
      if (above->handle == handle) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
    }
    previous = window->parent;
    if (previous != nullptr) {
      if (auto old = FindLocked(previous)) std::erase(old->children, handle);
    }
    window->parent = newParent;
    window->owner = nullptr;
    if (parent != nullptr) parent->children.push_back(handle);
  }
  NotifyWindowChanged(handle, WindowChange::Shape);
  return previous;
}

HWND GetDlgItem(HWND dialog, int id) {
  const std::shared_ptr<Window> window = Find(dialog);
  if (window == nullptr) return nullptr;
  std::shared_lock guard(TableLock());
  for (HWND child : window->children) {
    const std::shared_ptr<Window> record = FindLocked(child);
    if (record != nullptr && record->id == id) return child;
  }
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND handle) { return static_cast<int>(GetWindowLongPtrA(handle, GWLP_ID)); }

DWORD GetWindowThreadProcessId(HWND handle, DWORD* processId) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return 0;
  if (processId != nullptr) *processId = GetCurrentProcessId();
  return window->threadId;
}

BOOL GetWindowRect(HWND handle, RECT* rect) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr || rect == nullptr) return FALSE;
  std::shared_lock guard(TableLock());
  *rect = window->rect;
  return TRUE;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) { return GetField(window, index, sizeof(LONG_PTR)); }

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
  return SetField(window, index, sizeof(LONG_PTR), value);
}

LONG GetWindowLongA(HWND window, int index) {
  return static_cast<LONG>(GetField(window, index, sizeof(LONG)));
}

LONG SetWindowLongA(HWND window, int index, LONG value) {
  return static_cast<LONG>(SetField(window, index, sizeof(LONG), value));
}

int GetWindowTextA(HWND handle, char* text, int capacity) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr || text == nullptr || capacity <= 0) return 0;
  if (window->threadId == GetCurrentThreadId()) {
    return static_cast<int>(SendMessageA(handle, WM_GETTEXT, static_cast<WPARAM>(capacity),
                                         reinterpret_cast<LPARAM>(text)));
  }
  // Another thread's window: its text as kept, without a message.
  std::shared_lock guard(TableLock());
  const size_t length = std::min(window->text.size(), static_cast<size_t>(capacity) - 1);
  std::memcpy(text, window->text.data(), length);
  text[length] = '\0';
  return static_cast<int>(length);
}

int GetWindowTextLengthA(HWND handle) {
  return static_cast<int>(SendMessageA(handle, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowTextA(HWND handle, const char* text) {
  if (!IsWindow(handle)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

LRESULT DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      if (create != nullptr && create->lpszName != nullptr) {
        DefWindowProcA(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(create->lpszName));
      }
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(handle);
      return 0;
    case WM_NCLBUTTONDOWN: {
      // A press on the caption moves a top-level window with the pointer.
      const std::shared_ptr<Window> window = Find(handle);
      bool topLevel = false;
      if (window != nullptr) {
        std::shared_lock guard(TableLock());
        topLevel = window->parent == nullptr && !window->messageOnly;
      }
      if (wParam == HTCAPTION && topLevel) FollowPointerUntilRelease(handle);
      return 0;
    }
    case WM_SETCURSOR: {
      if (LOWORD(lParam) != HTCLIENT) return FALSE;
      const std::shared_ptr<Window> window = Find(handle);
      if (window == nullptr) return FALSE;
      HWND parent = nullptr;
      HCURSOR cursor = nullptr;
      {
        std::shared_lock guard(TableLock());
        parent = window->parent;
        cursor = window->windowClass->cursor;
      }
      if (parent != nullptr && SendMessageA(parent, WM_SETCURSOR, wParam, lParam) != FALSE) return TRUE;
      // A parent's default leaves the cursor to the window under the pointer.
      if (reinterpret_cast<HWND>(wParam) != handle || cursor == nullptr) return FALSE;
      SetCursor(cursor);
      return TRUE;
    }
    case WM_PAINT:
      DefaultPaint(handle);
      return 0;
    case WM_ERASEBKGND:
      return DefaultErase(handle, reinterpret_cast<HDC>(wParam));
    case WM_SETTEXT:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
      const std::shared_ptr<Window> window = Find(handle);
      if (window == nullptr) return 0;
      std::unique_lock guard(TableLock());
      if (message == WM_SETTEXT) {
        const char* text = reinterpret_cast<const char*>(lParam);
        window->text = text != nullptr ? text : "";
        guard.unlock();
        NotifyWindowChanged(handle, WindowChange::Shape);
        return TRUE;
      }
      if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(window->text.size());
      if (wParam == 0 || lParam == 0) return 0;
      const size_t length = std::min(window->text.size(), static_cast<size_t>(wParam) - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), window->text.data(), length);
      reinterpret_cast<char*>(lParam)[length] = '\0';
      return static_cast<LRESULT>(length);
    }
    default:
      return 0;
  }
}

}  // extern "C"
