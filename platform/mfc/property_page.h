// CPropertyPage: a dialog that lives in a property sheet. It holds the
// PROPSHEETPAGEA the sheet (or a host, through CreatePropertySheetPageA)
// makes it from, and hears the sheet's notifications as virtual calls:
// OnSetActive, OnKillActive, OnApply (which calls OnOK), OnCancel (on
// PSN_RESET) and OnQueryCancel. OK and Cancel inside a page end nothing.
#pragma once

#include "platform/mfc/dialog.h"
#include "platform/ui/sheets/property_sheets.h"

namespace ksv::mfc {

class CPropertyPage : public CDialog {
 public:
  // From the dialog resource `templateId` of the library the page is in
  // (the tab's title is the template's unless PSP_USETITLE is set).
  explicit CPropertyPage(UINT templateId);
  // From a template in memory (held by the caller while the page lives).
  explicit CPropertyPage(const DLGTEMPLATE* dialogTemplate);

  virtual BOOL OnSetActive() { return TRUE; }
  virtual BOOL OnKillActive() { return TRUE; }  // TRUE: the values are valid
  virtual BOOL OnApply() {
    OnOK();
    return TRUE;
  }
  virtual BOOL OnQueryCancel() { return TRUE; }
  void OnOK() override {}
  void OnCancel() override {}
  void SetModified(BOOL changed = TRUE);

  BOOL OnCommand(int id, int code) override;
  BOOL OnNotify(NMHDR* header, LRESULT* result) override;

  // What CreatePropertySheetPageA is given: the page procedure, this page
  // in lParam, and a callback and reference count for PSP_USECALLBACK and
  // PSP_USEREFPARENT.
  PROPSHEETPAGEA m_psp{};

  static INT_PTR PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void Fill();
  UINT references_ = 0;
};

}  // namespace ksv::mfc
