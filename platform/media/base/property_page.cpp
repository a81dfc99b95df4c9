#include "platform/media/base/property_page.h"

#include <cstring>
#include <utility>

#include "platform/com/task_memory.h"
#include "platform/com/wide_text.h"

using ksv::platform::ui::DialogTemplate;

CBasePropertyPage::CBasePropertyPage(const TCHAR* name, LPUNKNOWN outer, DialogTemplate dialogTemplate,
                                     std::string_view title)
    : CUnknown(name, outer), template_(std::move(dialogTemplate)), title_(title) {}

CBasePropertyPage::~CBasePropertyPage() {
  // A frame that let go without Deactivate: the window must not outlive us.
  // Its procedure must not reach this half-destroyed object either.
  if (m_Dlg != nullptr) {
    SetWindowLongPtrA(m_Dlg, DWLP_USER, 0);
    DestroyWindow(m_Dlg);
  }
}

HRESULT CBasePropertyPage::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPropertyPage) return GetInterface(static_cast<IPropertyPage*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT CBasePropertyPage::SetPageSite(IPropertyPageSite* site) {
  if (site == nullptr) {
    m_pPageSite = nullptr;
    return S_OK;
  }
  if (m_pPageSite) return E_UNEXPECTED;
  m_pPageSite = ksv::com::ComPtr<IPropertyPageSite>(site);
  return S_OK;
}

HRESULT CBasePropertyPage::Activate(HWND parent, LPCRECT rect, BOOL /*modal*/) {
  if (rect == nullptr) return E_POINTER;
  if (m_Dlg != nullptr) return E_UNEXPECTED;
  HWND dialog = CreateDialogIndirectParamA(nullptr, template_.get(), parent, DialogProcedure,
                                           reinterpret_cast<LPARAM>(this));
  if (dialog == nullptr) return E_OUTOFMEMORY;
  m_Dlg = dialog;
  MoveWindow(m_Dlg, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  const HRESULT result = OnActivate();
  if (FAILED(result)) {
    DestroyWindow(std::exchange(m_Dlg, nullptr));
    return result;
  }
  return S_OK;
}

HRESULT CBasePropertyPage::Deactivate() {
  if (m_Dlg == nullptr) return E_UNEXPECTED;
  const HRESULT result = OnDeactivate();
  DestroyWindow(std::exchange(m_Dlg, nullptr));
  return result;
}

HRESULT CBasePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  const std::u16string title = ksv::com::Utf8ToUtf16(title_);
  const size_t bytes = (title.size() + 1) * sizeof(OLECHAR);
  auto* text = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (text == nullptr) return E_OUTOFMEMORY;
  std::memcpy(text, title.c_str(), bytes);
  SIZE size{};
  if (const auto parsed = ksv::platform::ui::ParseDialogTemplate(template_.bytes())) {
    size.cx = parsed->width * ksv::platform::ui::kDialogBaseUnitX / 4;
    size.cy = parsed->height * ksv::platform::ui::kDialogBaseUnitY / 8;
  }
  *info = PROPPAGEINFO{sizeof(PROPPAGEINFO), text, size, nullptr, nullptr, 0};
  return S_OK;
}

HRESULT CBasePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 0) return Disconnect();
  if (count > 1) return E_UNEXPECTED;
  if (objects == nullptr || objects[0] == nullptr) return E_POINTER;
  if (connected_) {
    const HRESULT result = Disconnect();
    if (FAILED(result)) return result;
  }
  const HRESULT result = OnConnect(objects[0]);
  if (FAILED(result)) return result;
  connected_ = true;
  return S_OK;
}

HRESULT CBasePropertyPage::Disconnect() {
  if (!connected_) return S_OK;
  connected_ = false;
  m_bDirty = false;  // changes not applied belonged to the object that goes
  return OnDisconnect();
}

HRESULT CBasePropertyPage::Show(UINT command) {
  if (m_Dlg == nullptr) return E_UNEXPECTED;
  if (command != SW_SHOW && command != SW_SHOWNORMAL && command != SW_HIDE) return E_INVALIDARG;
  ShowWindow(m_Dlg, static_cast<int>(command));
  return S_OK;
}

HRESULT CBasePropertyPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (m_Dlg == nullptr) return E_UNEXPECTED;
  MoveWindow(m_Dlg, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

HRESULT CBasePropertyPage::IsPageDirty() { return m_bDirty ? S_OK : S_FALSE; }

HRESULT CBasePropertyPage::Apply() {
  if (!connected_) return E_UNEXPECTED;
  if (!m_bDirty) return S_OK;
  const HRESULT result = OnApplyChanges();
  if (FAILED(result)) return result;
  m_bDirty = false;
  return S_OK;
}

HRESULT CBasePropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT CBasePropertyPage::TranslateAccelerator(tagMSG* message) {
  if (message == nullptr) return E_POINTER;
  if (m_Dlg == nullptr) return S_FALSE;
  return IsDialogMessageA(m_Dlg, message) ? S_OK : S_FALSE;
}

HRESULT CBasePropertyPage::OnConnect(IUnknown*) { return S_OK; }
HRESULT CBasePropertyPage::OnDisconnect() { return S_OK; }
HRESULT CBasePropertyPage::OnActivate() { return S_OK; }
HRESULT CBasePropertyPage::OnDeactivate() { return S_OK; }
HRESULT CBasePropertyPage::OnApplyChanges() { return S_OK; }

INT_PTR CBasePropertyPage::OnReceiveMessage(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

void CBasePropertyPage::SetDirty() {
  m_bDirty = true;
  if (m_pPageSite) m_pPageSite->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR CBasePropertyPage::DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    reinterpret_cast<CBasePropertyPage*>(lParam)->m_Dlg = dialog;
  }
  auto* page = reinterpret_cast<CBasePropertyPage*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (page == nullptr) return FALSE;  // before WM_INITDIALOG
  return page->OnReceiveMessage(dialog, message, wParam, lParam);
}
