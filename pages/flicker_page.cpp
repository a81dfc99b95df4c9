#include "pages/flicker_page.h"

#include "pages/texts.h"

namespace ksv::pages {

FlickerPage::FlickerPage(const PageHost& host) : CPropertyPage(AntiFlickerTemplate()), host_(host) {}

BOOL FlickerPage::OnInitDialog() {
  const std::string& file = host_.localization;
  SetDlgItemText(kFlickerGroupId, Localized(file, "LOC_ID_STR_ANTIFLICKER", "Anti Flicker").c_str());
  SetDlgItemText(kFiftyHzId, Localized(file, "LOC_ID_50HZ", "50 Hz").c_str());
  SetDlgItemText(kSixtyHzId, Localized(file, "LOC_ID_60HZ", "60 Hz").c_str());
  SetDlgItemText(kOutdoorId, Localized(file, "LOC_ID_OUTDOOR", "Outdoor").c_str());
  host_.calls->getFlicker(host_.handle, &openMode_);
  CheckMode(openMode_);
  return TRUE;
}

void FlickerPage::CheckMode(int32_t mode) {
  CheckDlgButton(m_hWnd, kFiftyHzId, mode == 0 ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(m_hWnd, kSixtyHzId, mode == 1 ? BST_CHECKED : BST_UNCHECKED);
  if (GetDlgItem(kOutdoorId) != nullptr) CheckDlgButton(m_hWnd, kOutdoorId, mode == 2 ? BST_CHECKED : BST_UNCHECKED);
}

BOOL FlickerPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  const int32_t mode = id == kFiftyHzId ? 0 : id == kSixtyHzId ? 1 : id == kOutdoorId ? 2 : -1;
  if (mode < 0) return FALSE;
  host_.calls->setFlicker(host_.handle, mode);
  return TRUE;
}

void FlickerPage::OnCancel() {
  CheckMode(openMode_);
  CPropertyPage::OnCancel();
}

}  // namespace ksv::pages
