#include "pages/device_settings_page.h"

#include "pages/texts.h"

namespace ksv::pages {

DeviceSettingsPage::DeviceSettingsPage(const PageHost& host)
    : SliderPage(DeviceSettingsTemplate(), Set::VideoProcAmp, DeviceSettingsRows(), host) {}

BOOL DeviceSettingsPage::OnInitDialog() {
  SliderPage::OnInitDialog();
  if (mfc::CWnd* button = GetDlgItem(kSetDefaultId)) {
    button->SetWindowText(Localized(host_.localization, "LOC_ID_SetDefault", "Set Default").c_str());
    mfc::CWnd* heading = GetDlgItem(kValueHeadingId);
    SendMessageA(button->m_hWnd, WM_SETFONT, SendMessageA(heading->m_hWnd, WM_GETFONT, 0, 0), TRUE);
  }
  // Hue and Saturation are always movable (a property the driver does not
  // declare stays out of reach).
  for (int number : {kHue, kSaturation}) {
    if (const Row* row = RowOfNumber(number); Usable(row)) SliderOf(*row).EnableWindow(TRUE);
  }
  return TRUE;
}

BOOL DeviceSettingsPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED) return FALSE;
  if (id == kWhiteBalanceAutoId) {
    WhiteBalanceBoxClicked();
    return TRUE;
  }
  if (id == kSetDefaultId) {
    SetDefaults();
    return TRUE;
  }
  return FALSE;
}

void DeviceSettingsPage::WhiteBalanceBoxClicked() {
  Row* row = RowOfNumber(kWhiteBalance);
  if (!Usable(row)) return;
  const bool automatic = AutoBoxOf(*row).GetCheck() == BST_CHECKED;
  SliderOf(*row).EnableWindow(!automatic);
  row->flags = automatic ? DS2WDM_FLAGS_AUTO : DS2WDM_FLAGS_MANUAL;
  SetProperty(*row, row->value, row->flags);
}

void DeviceSettingsPage::SetDefaults() {
  for (int number = kBrightness; number <= kGamma; ++number) {
    Row* row = RowOfNumber(number);
    if (!Usable(row)) continue;
    SetProperty(*row, row->range.defaultValue, DS2WDM_FLAGS_MANUAL);
    row->value = row->range.defaultValue;
    row->flags = DS2WDM_FLAGS_MANUAL;
    Place(*row, row->value);
  }
  for (int number : {kHue, kSaturation}) {
    if (const Row* row = RowOfNumber(number); Usable(row)) SliderOf(*row).EnableWindow(TRUE);
  }
  if (Row* row = RowOfNumber(kWhiteBalance); Usable(row)) {
    SetProperty(*row, row->range.defaultValue, DS2WDM_FLAGS_AUTO);
    row->value = row->range.defaultValue;
    row->flags = DS2WDM_FLAGS_AUTO;
    Place(*row, row->value);
    SliderOf(*row).EnableWindow(FALSE);
    AutoBoxOf(*row).EnableWindow(TRUE);
    AutoBoxOf(*row).SetCheck(BST_CHECKED);
  }
}

void DeviceSettingsPage::OnCancel() {
  for (int number = kBrightness; number <= kGamma; ++number) {
    Row* row = RowOfNumber(number);
    if (!Usable(row)) continue;
    SetProperty(*row, row->openValue, DS2WDM_FLAGS_MANUAL);
    row->value = row->openValue;
    Place(*row, row->value);
  }
  if (Row* row = RowOfNumber(kWhiteBalance); Usable(row)) {
    const bool automatic = row->openFlags == DS2WDM_FLAGS_AUTO;
    SetProperty(*row, row->openValue, automatic ? DS2WDM_FLAGS_AUTO : DS2WDM_FLAGS_MANUAL);
    row->value = row->openValue;
    row->flags = automatic ? DS2WDM_FLAGS_AUTO : DS2WDM_FLAGS_MANUAL;
    Place(*row, row->value);
    AutoBoxOf(*row).SetCheck(automatic ? BST_CHECKED : BST_UNCHECKED);
    SliderOf(*row).EnableWindow(!automatic);
  }
  SliderPage::OnCancel();
}

CameraControlsPage::CameraControlsPage(const PageHost& host)
    : SliderPage(CameraControlsTemplate(), Set::CameraControl, CameraControlRows(), host) {}

BOOL CameraControlsPage::OnCommand(int id, int code) {
  if (code != BN_CLICKED || id != kExposureAutoId) return FALSE;
  const Row* row = RowOfNumber(kExposure);
  if (!Usable(row)) return TRUE;
  const bool automatic = AutoBoxOf(*row).GetCheck() == BST_CHECKED;
  SetProperty(*row, row->openValue, automatic ? DS2WDM_FLAGS_AUTO : DS2WDM_FLAGS_MANUAL);
  return TRUE;
}

}  // namespace ksv::pages
