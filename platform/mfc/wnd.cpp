#include "platform/mfc/wnd.h"

#include "platform/mfc/controls.h"

namespace ksv::mfc {

CWnd* CWnd::GetDlgItem(int id) {
  HWND item = ::GetDlgItem(m_hWnd, id);
  if (item == nullptr) return nullptr;
  std::unique_ptr<CWnd>& kept = items_[item];
  if (kept == nullptr) kept = std::make_unique<CWnd>(item);
  return kept.get();
}

void CWnd::SetFont(CFont* font, BOOL redraw) {
  SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font->m_hObject : nullptr),
               MAKELPARAM(redraw, 0));
}

void CWnd::ScreenToClient(RECT* rect) const {
  POINT origin{0, 0};
  ClientToScreen(m_hWnd, &origin);
  rect->left -= origin.x;
  rect->right -= origin.x;
  rect->top -= origin.y;
  rect->bottom -= origin.y;
}

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT flags) {
  const DWORD style = GetStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>(changed));
  if (flags != 0) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | flags);
  return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT flags) {
  const DWORD style = GetExStyle();
  const DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  SetWindowLongA(m_hWnd, GWL_EXSTYLE, static_cast<LONG>(changed));
  if (flags != 0) ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | flags);
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  HWND window = m_hWnd;
  items_.clear();
  return window != nullptr ? ::DestroyWindow(window) : FALSE;
}

}  // namespace ksv::mfc
