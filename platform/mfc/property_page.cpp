// CPropertyPage: its PROPSHEETPAGEA and the sheet's notifications.
#include "platform/mfc/property_page.h"

#include "platform/mfc/module_of.h"

namespace ksv::mfc {
namespace {

UINT PageCallback(HWND, UINT, PROPSHEETPAGEA*) { return 1; }

}  // namespace

CPropertyPage::CPropertyPage(UINT templateId) : CDialog(templateId) {
  Fill();
  m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
}

CPropertyPage::CPropertyPage(const DLGTEMPLATE* dialogTemplate) {
  Fill();
  indirect_ = dialogTemplate;
  m_psp.dwFlags |= PSP_DLGINDIRECT;
  m_psp.pResource = dialogTemplate;
}

void CPropertyPage::Fill() {
  m_psp.dwSize = sizeof m_psp;
  m_psp.dwFlags = PSP_DEFAULT;
  m_psp.hInstance = ResourceModule();
  m_psp.pfnDlgProc = PageProc;
  m_psp.lParam = reinterpret_cast<LPARAM>(this);
  m_psp.pfnCallback = PageCallback;
  m_psp.pcRefParent = &references_;
}

void CPropertyPage::SetModified(BOOL changed) {
  HWND sheet = GetParent(m_hWnd);
  if (sheet != nullptr) SendMessageA(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

BOOL CPropertyPage::OnCommand(int id, int code) {
  (void)id;
  (void)code;
  return FALSE;  // OK and Cancel are the sheet's
}

BOOL CPropertyPage::OnNotify(NMHDR* header, LRESULT* result) {
  switch (header->code) {
    case PSN_SETACTIVE: *result = OnSetActive() ? 0 : -1; return TRUE;
    case PSN_KILLACTIVE: *result = OnKillActive() ? FALSE : TRUE; return TRUE;
    case PSN_APPLY: *result = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE; return TRUE;
    case PSN_RESET: OnCancel(); *result = 0; return TRUE;
    case PSN_QUERYCANCEL: *result = OnQueryCancel() ? FALSE : TRUE; return TRUE;
    default: return FALSE;
  }
}

INT_PTR CPropertyPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The sheet hands the page its copy of the PROPSHEETPAGEA, whose lParam is the page.
  if (message == WM_INITDIALOG) lParam = reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam;
  return DialogProc(window, message, wParam, lParam);
}

}  // namespace ksv::mfc
