// CDialog's creation, modal run and the dispatch of its messages.
#include "platform/mfc/dialog.h"

#include "platform/mfc/module_of.h"

namespace ksv::mfc {

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
  if (m_hWnd != nullptr && IsWindow(m_hWnd)) {
    // Gone with its object: nothing may call into it after.
    SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
    ::DestroyWindow(m_hWnd);
  }
}

HINSTANCE CDialog::ResourceModule() const { return ModuleHolding(reinterpret_cast<const void*>(&CDialog::DialogProc)); }

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  templateId_ = templateId;
  parent_ = parent;
  HWND window = CreateDialogParamA(ResourceModule(), MAKEINTRESOURCEA(templateId), parent != nullptr ? parent->m_hWnd : nullptr,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

BOOL CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent) {
  indirect_ = dialogTemplate;
  parent_ = parent;
  HWND window = CreateDialogIndirectParamA(ResourceModule(), dialogTemplate, parent != nullptr ? parent->m_hWnd : nullptr,
                                           DialogProc, reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

BOOL CDialog::InitModalIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent) {
  indirect_ = dialogTemplate;
  parent_ = parent;
  return TRUE;
}

INT_PTR CDialog::DoModal() {
  HWND owner = parent_ != nullptr ? parent_->m_hWnd : nullptr;
  const LPARAM self = reinterpret_cast<LPARAM>(this);
  const INT_PTR result = indirect_ != nullptr
                             ? DialogBoxIndirectParamA(ResourceModule(), indirect_, owner, DialogProc, self)
                             : DialogBoxParamA(ResourceModule(), MAKEINTRESOURCEA(templateId_), owner, DialogProc, self);
  m_hWnd = nullptr;
  return result;
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

BOOL CDialog::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  if (id == IDOK) {
    OnOK();
    return TRUE;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

INT_PTR CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    dialog->m_hWnd = window;
    return dialog->Dispatch(message, wParam, lParam);
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  return dialog != nullptr ? dialog->Dispatch(message, wParam, lParam) : FALSE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_HSCROLL: {
      HWND slider = reinterpret_cast<HWND>(lParam);
      OnHScroll(LOWORD(wParam), HIWORD(wParam), slider != nullptr ? GetDlgItem(GetDlgCtrlID(slider)) : nullptr);
      return TRUE;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), &result)) return FALSE;
      SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_DESTROY:
      OnDestroy();
      SetWindowLongPtrA(m_hWnd, DWLP_USER, 0);
      m_hWnd = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace ksv::mfc
