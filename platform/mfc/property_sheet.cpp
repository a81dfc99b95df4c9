// CPropertySheet over PropertySheetA; a child sheet gets its style in the
// sheet callback before its window is made.
#include "platform/mfc/property_sheet.h"

namespace ksv::mfc {
namespace {

// The style and extended style Create asked for, for the callback of the
// PropertySheetA call on this thread.
thread_local DWORD requestedStyle = static_cast<DWORD>(-1);
thread_local DWORD requestedExStyle = 0;

int SheetCallback(HWND, UINT message, LPARAM lParam) {
  if (message == PSCB_PRECREATE && requestedStyle != static_cast<DWORD>(-1)) {
    auto* sheetTemplate = reinterpret_cast<DLGTEMPLATE*>(lParam);
    DWORD style = requestedStyle;
    if ((style & WS_CHILD) != 0) {
      style = (style & ~(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME)) | DS_CONTROL;
    }
    sheetTemplate->style = style | (sheetTemplate->style & DS_SETFONT);
    sheetTemplate->dwExtendedStyle |= requestedExStyle;
  }
  return 0;
}

}  // namespace

CPropertySheet::CPropertySheet(const char* caption, CWnd* parent, UINT selectPage)
    : caption_(caption != nullptr ? caption : ""), parent_(parent) {
  m_psh.dwSize = sizeof m_psh;
  m_psh.nStartPage = selectPage;
}

CPropertySheet::~CPropertySheet() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

INT_PTR CPropertySheet::Run(DWORD flags, HWND parent) {
  sheetPages_.clear();
  for (CPropertyPage* page : pages_) sheetPages_.push_back(page->m_psp);
  m_psh.dwFlags = (m_psh.dwFlags & ~PSH_MODELESS) | flags | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
  m_psh.hwndParent = parent;
  m_psh.pszCaption = caption_.c_str();
  m_psh.nPages = static_cast<UINT>(sheetPages_.size());
  m_psh.ppsp = sheetPages_.data();
  m_psh.pfnCallback = SheetCallback;
  return PropertySheetA(&m_psh);
}

BOOL CPropertySheet::Create(CWnd* parent, DWORD style, DWORD exStyle) {
  parent_ = parent;
  requestedStyle = style;
  requestedExStyle = exStyle;
  const INT_PTR made = Run(PSH_MODELESS, parent != nullptr ? parent->m_hWnd : nullptr);
  requestedStyle = static_cast<DWORD>(-1);
  requestedExStyle = 0;
  if (made == -1 || made == 0) return FALSE;
  m_hWnd = reinterpret_cast<HWND>(made);
  return TRUE;
}

INT_PTR CPropertySheet::DoModal() {
  const INT_PTR result = Run(0, parent_ != nullptr ? parent_->m_hWnd : nullptr);
  m_hWnd = nullptr;
  return result;
}

CWnd* CPropertySheet::GetTabControl() {
  tab_.m_hWnd = reinterpret_cast<HWND>(SendMessageA(m_hWnd, PSM_GETTABCONTROL, 0, 0));
  return tab_.m_hWnd != nullptr ? &tab_ : nullptr;
}

}  // namespace ksv::mfc
