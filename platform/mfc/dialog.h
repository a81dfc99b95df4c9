// CDialog: a dialog from the library's dialog resource (or a template in
// memory), run modeless (Create) or modal (DoModal), its messages handed to
// virtual handlers in place of a message map: OnInitDialog, OnCommand by
// control identifier (IDOK and IDCANCEL reach OnOK and OnCancel), OnHScroll
// from sliders, OnNotify and OnDestroy.
#pragma once

#include "platform/mfc/wnd.h"
#include "platform/ui/dialogs/dialogs.h"

namespace ksv::mfc {

class CDialog : public CWnd {
 public:
  // The template is the dialog resource `templateId` of the library the
  // dialog's code is in.
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  // Without a template until Create, CreateIndirect or InitModalIndirect.
  CDialog() = default;
  ~CDialog() override;

  // Modeless; FALSE when the dialog could not be made.
  BOOL Create(UINT templateId, CWnd* parent = nullptr);
  BOOL CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);
  // The template DoModal uses in place of the resource.
  BOOL InitModalIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent = nullptr);
  // The result given to EndDialog; -1 when the dialog could not be made.
  virtual INT_PTR DoModal();
  void EndDialog(int result);

  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A WM_COMMAND from control `id` with notification `code`; TRUE when
  // handled. IDOK and IDCANCEL go to OnOK and OnCancel here.
  virtual BOOL OnCommand(int id, int code);
  // WM_HSCROLL: the scroll code, the position, the slider (or null).
  virtual void OnHScroll(UINT /*code*/, UINT /*position*/, CWnd* /*slider*/) {}
  // WM_NOTIFY: TRUE when handled, with the answer in *result.
  virtual BOOL OnNotify(NMHDR* /*header*/, LRESULT* /*result*/) { return FALSE; }
  virtual void OnDestroy() {}

  // The dialog procedure of every framework dialog: `lParam` of
  // WM_INITDIALOG is the CDialog.
  static INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  // Dispatches one message to the handlers; FALSE for the default handling.
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  // The module whose resources the dialog's templates come from: the
  // library the code is in, unless a dialog says otherwise.
  virtual HINSTANCE ResourceModule() const;

  UINT templateId_ = 0;
  const DLGTEMPLATE* indirect_ = nullptr;
  CWnd* parent_ = nullptr;
};

}  // namespace ksv::mfc
