#include "graph/notify_window.h"

#include "platform/sync/sync.h"
#include "platform/ui/user32.h"

namespace ksv::graph {

namespace {

// The record sits in the window's extra bytes from offset 0.
NotifyWindow* RecordOf(HWND window) {
  return reinterpret_cast<NotifyWindow*>(GetWindowLongPtrA(window, 0));
}

LRESULT NotifyProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return 0;
  if (message == WM_TIMER) {
    NotifyWindow* notify = RecordOf(window);
    if (notify != nullptr && notify->handler != nullptr) {
      notify->handler(GetAsyncKeyState(VK_ESCAPE) & 1, notify->owner);
    }
    return 1;
  }
  if (message == kGraphEventMessage) {
    NotifyWindow* notify = RecordOf(window);
    // The handler may reset the handle, which frees the record: nothing of
    // it is used afterwards.
    if (notify != nullptr && notify->handler != nullptr) notify->handler(QMG_CODE_GRAPH_EVENTS, notify->owner);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterNotifyClass(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = NotifyProcedure;
  windowClass.cbWndExtra = sizeof(NotifyWindow*);
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kNotifyClassName;
  // Classes are process-wide: the first handle registers it for all.
  return RegisterClassA(&windowClass) != 0 || GetLastError() == DWORD(ERROR_CLASS_ALREADY_EXISTS);
}

}  // namespace

NotifyWindow* CreateNotifyWindow(QmgHandle& handle, EventHandler handler) {
  if (!RegisterNotifyClass(handle.instance)) return nullptr;
  auto* notify = new NotifyWindow();
  notify->parent = handle.parentWindow;
  notify->handler = handler;
  notify->owner = &handle;
  notify->window = CreateWindowExA(0, kNotifyClassName, "", WS_CHILD, 0, 0, 100, 100,
                                   handle.parentWindow,
                                   reinterpret_cast<HMENU>(static_cast<intptr_t>(kNotifyControlId)),
                                   handle.instance, nullptr);
  if (notify->window == nullptr) {
    delete notify;
    return nullptr;
  }
  SetWindowLongPtrA(notify->window, 0, reinterpret_cast<LONG_PTR>(notify));
  notify->timer = SetTimer(notify->window, kNotifyTimerId, kNotifyTimerMilliseconds, nullptr);
  return notify;
}

void DestroyNotifyWindow(NotifyWindow* notify) {
  if (notify == nullptr) return;
  if (notify->window != nullptr) {
    if (notify->timer != 0) KillTimer(notify->window, notify->timer);
    SetWindowLongPtrA(notify->window, 0, 0);
    DestroyWindow(notify->window);
  }
  delete notify;
}

}  // namespace ksv::graph
