// CBasePropertyPage: the base of a property page whose controls are a
// dialog. The derived class gives the dialog's template and title and
// fills in the hooks; the base implements IPropertyPage around them.
//
// Contract, as the platform documents it, with our choices where it leaves
// room:
//   - The template should describe a child dialog (WS_CHILD | DS_CONTROL,
//     no caption or frame). Activate creates it modeless as a child of the
//     parent it is given, placed at the rectangle given, then calls
//     OnActivate; a failing OnActivate destroys it again and its result is
//     returned. Activating twice, or Show/Move without a dialog, is
//     E_UNEXPECTED. Deactivate calls OnDeactivate and destroys the dialog.
//   - The dialog procedure hands every message from WM_INITDIALOG on to
//     OnReceiveMessage (m_Dlg is set by then); its result is the dialog
//     procedure's (TRUE: handled).
//   - SetObjects takes one object (more: E_UNEXPECTED) and calls OnConnect
//     with it (a second object replaces the first: OnDisconnect first);
//     SetObjects(0, null) calls OnDisconnect. Disconnecting drops any
//     changes not applied. The object is not kept here: OnConnect asks it
//     for what the page needs.
//   - SetDirty marks the page changed and tells the site
//     (PROPPAGESTATUS_DIRTY). The mark outlives Deactivate: a frame may
//     apply a page that is no longer shown, so a derived page keeps what
//     the person chose in members, not only in its controls.
//   - Apply with no object connected is E_UNEXPECTED; a clean page applies
//     nothing and returns S_OK; otherwise OnApplyChanges runs and, when it
//     succeeds, the page is clean. A failure keeps it dirty and is returned.
//   - GetPageInfo gives the title in task memory and the template's size in
//     pixels (dialog units converted as dialogs convert them); no help.
//   - SetPageSite(null) releases the site; a second site while one is held
//     is E_UNEXPECTED. TranslateAccelerator runs the dialog's keyboard
//     interface (IsDialogMessageA); Help is E_NOTIMPL.
// Everything runs on the thread that activates the page (the dialog's).
#pragma once

#include <string>
#include <string_view>

#include "platform/com/com_ptr.h"
#include "platform/com/property_page.h"
#include "platform/media/base/com_base.h"
#include "platform/ui/dialogs/dialog_template.h"

class CBasePropertyPage : public IPropertyPage, public CUnknown {
 public:
  CBasePropertyPage(const TCHAR* name, LPUNKNOWN outer, ksv::platform::ui::DialogTemplate dialogTemplate,
                    std::string_view title);
  ~CBasePropertyPage() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT SetPageSite(IPropertyPageSite* site) override;
  HRESULT Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT Deactivate() override;
  HRESULT GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT Show(UINT command) override;
  HRESULT Move(LPCRECT rect) override;
  HRESULT IsPageDirty() override;
  HRESULT Apply() override;
  HRESULT Help(LPCOLESTR helpDirectory) override;
  HRESULT TranslateAccelerator(tagMSG* message) override;

 protected:
  // The hooks. OnConnect gets the object to edit (fail to refuse it).
  virtual HRESULT OnConnect(IUnknown* object);
  virtual HRESULT OnDisconnect();
  // The dialog exists (m_Dlg): fill the controls.
  virtual HRESULT OnActivate();
  // The dialog is about to go.
  virtual HRESULT OnDeactivate();
  // Hand what the person chose to the object.
  virtual HRESULT OnApplyChanges();
  // The dialog's messages; the default handles none (TRUE for
  // WM_INITDIALOG, so the first control gets the focus).
  virtual INT_PTR OnReceiveMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

  // Marks the page changed and tells the site.
  void SetDirty();
  bool IsDirty() const { return m_bDirty; }

  HWND m_Dlg = nullptr;                     // the page's dialog while active
  ksv::com::ComPtr<IPropertyPageSite> m_pPageSite;
  bool m_bDirty = false;

 private:
  static INT_PTR DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  HRESULT Disconnect();

  ksv::platform::ui::DialogTemplate template_;
  std::string title_;
  bool connected_ = false;
};
