// CPropertySheet: pages added in order, shown modal (DoModal) or made
// modeless, here as a child of another window with the style given
// (Create), as the settings container does.
#pragma once

#include <string>
#include <vector>

#include "platform/mfc/property_page.h"

namespace ksv::mfc {

class CPropertySheet : public CWnd {
 public:
  explicit CPropertySheet(const char* caption = "", CWnd* parent = nullptr, UINT selectPage = 0);
  ~CPropertySheet() override;

  void AddPage(CPropertyPage* page) { pages_.push_back(page); }
  int GetPageCount() const { return static_cast<int>(pages_.size()); }
  CPropertyPage* GetPage(int index) const { return pages_.at(static_cast<size_t>(index)); }

  // Modeless. A style with WS_CHILD makes the sheet a child of `parent`
  // (no caption, no frame); -1 keeps the sheet's own popup style. FALSE
  // when it could not be made.
  BOOL Create(CWnd* parent = nullptr, DWORD style = static_cast<DWORD>(-1), DWORD exStyle = 0);
  // 1 (IDOK) when closed with OK or after an Apply, 0 (IDCANCEL's
  // counterpart) with Cancel, -1 when it could not be made.
  INT_PTR DoModal();
  // The sheet's tab control (valid while the sheet lives).
  CWnd* GetTabControl();

  // The header built from the pages, for the two calls.
  PROPSHEETHEADERA m_psh{};

 private:
  INT_PTR Run(DWORD flags, HWND parent);

  std::string caption_;
  CWnd* parent_ = nullptr;
  std::vector<CPropertyPage*> pages_;
  std::vector<PROPSHEETPAGEA> sheetPages_;
  CWnd tab_;
};

}  // namespace ksv::mfc
