// CWnd: a window handle with the calls the pages and dialogs make on it.
// Items reached with GetDlgItem are wrappers this window keeps, valid while
// it lives, as the framework's temporary objects are while a message runs.
#pragma once

#include <map>
#include <memory>

#include "platform/ui/dialogs/dialogs.h"

namespace ksv::mfc {

class CFont;

class CWnd {
 public:
  CWnd() = default;
  explicit CWnd(HWND window) : m_hWnd(window) {}
  virtual ~CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Null when the window has no such control.
  CWnd* GetDlgItem(int id);
  BOOL SetDlgItemText(int id, const char* text) { return SetDlgItemTextA(m_hWnd, id, text); }
  BOOL SetWindowText(const char* text) { return SetWindowTextA(m_hWnd, text); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  void SetFont(CFont* font, BOOL redraw = TRUE);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(m_hWnd, message, wParam, lParam);
  }
  BOOL SetWindowPos(const CWnd* after, int x, int y, int width, int height, UINT flags) {
    return ::SetWindowPos(m_hWnd, after != nullptr ? after->m_hWnd : nullptr, x, y, width, height, flags);
  }
  void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
  void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
  // A rectangle in screen coordinates into this window's client area.
  void ScreenToClient(RECT* rect) const;
  DWORD GetStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  BOOL DestroyWindow();

  HWND m_hWnd = nullptr;

 private:
  std::map<HWND, std::unique_ptr<CWnd>> items_;
};

}  // namespace ksv::mfc
