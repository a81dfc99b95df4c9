// The controls and the font the pages use, each a handle with its messages.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/mfc/wnd.h"

namespace ksv::mfc {

class CSliderCtrl : public CWnd {
 public:
  using CWnd::CWnd;
  int GetPos() const { return static_cast<int>(SendMessageA(m_hWnd, TBM_GETPOS, 0, 0)); }
  void SetPos(int position) { SendMessageA(m_hWnd, TBM_SETPOS, TRUE, position); }
  void SetRange(int minimum, int maximum, BOOL redraw = FALSE) {
    SendMessageA(m_hWnd, TBM_SETRANGE, static_cast<WPARAM>(redraw), MAKELPARAM(minimum, maximum));
  }
  void SetRangeMin(int minimum, BOOL redraw = FALSE) {
    SendMessageA(m_hWnd, TBM_SETRANGEMIN, static_cast<WPARAM>(redraw), minimum);
  }
  void SetRangeMax(int maximum, BOOL redraw = FALSE) {
    SendMessageA(m_hWnd, TBM_SETRANGEMAX, static_cast<WPARAM>(redraw), maximum);
  }
  int GetRangeMin() const { return static_cast<int>(SendMessageA(m_hWnd, TBM_GETRANGEMIN, 0, 0)); }
  int GetRangeMax() const { return static_cast<int>(SendMessageA(m_hWnd, TBM_GETRANGEMAX, 0, 0)); }
  int SetPageSize(int size) { return static_cast<int>(SendMessageA(m_hWnd, TBM_SETPAGESIZE, 0, size)); }
};

class CButton : public CWnd {
 public:
  using CWnd::CWnd;
  int GetCheck() const { return static_cast<int>(SendMessageA(m_hWnd, BM_GETCHECK, 0, 0)); }
  void SetCheck(int check) { SendMessageA(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
};

class CStatic : public CWnd {
 public:
  using CWnd::CWnd;
};

class CFont {
 public:
  CFont() = default;
  ~CFont() { DeleteObject(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;
  BOOL CreateFontIndirect(const LOGFONTA* font) {
    DeleteObject();
    m_hObject = CreateFontIndirectA(font);
    return m_hObject != nullptr;
  }
  BOOL DeleteObject() {
    if (m_hObject == nullptr) return FALSE;
    const BOOL deleted = ::DeleteObject(m_hObject);
    m_hObject = nullptr;
    return deleted;
  }
  operator HFONT() const { return m_hObject; }
  HFONT m_hObject = nullptr;
};

}  // namespace ksv::mfc
