// Enabling and disabling windows.
#include <mutex>

#include "platform/ui/window.h"

using namespace ksv::platform::ui;

extern "C" {

BOOL EnableWindow(HWND handle, BOOL enable) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return FALSE;
  bool wasDisabled = false;
  {
    std::unique_lock guard(TableLock());
    wasDisabled = (window->style & WS_DISABLED) != 0;
    if (enable != FALSE) {
      window->style &= ~WS_DISABLED;
    } else {
      window->style |= WS_DISABLED;
    }
  }
  const bool changed = wasDisabled == (enable != FALSE);
  if (changed && enable == FALSE) {
    SendMessageA(handle, 0x001F /* WM_CANCELMODE */, 0, 0);
    // A disabled window cannot keep the keyboard focus, nor can its children.
    HWND focus = GetFocus();
    if (focus == handle || (focus != nullptr && IsChild(handle, focus))) SetFocus(nullptr);
  }
  if (changed) SendMessageA(handle, WM_ENABLE, enable != FALSE ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND handle) {
  const std::shared_ptr<Window> window = Find(handle);
  if (window == nullptr) return FALSE;
  std::shared_lock guard(TableLock());
  return (window->style & WS_DISABLED) != 0 ? FALSE : TRUE;
}

}  // extern "C"
