#include "pages/slider_page.h"

#include <cstdio>

#include "pages/texts.h"

namespace ksv::pages {

SliderPage::SliderPage(const DLGTEMPLATE* pageTemplate, Set set, std::span<const RowSpec> rows,
                       const PageHost& host)
    : CPropertyPage(pageTemplate), host_(host), set_(set) {
  for (const RowSpec& spec : rows) rows_.push_back(Row{&spec});
}

BOOL SliderPage::OnInitDialog() {
  LOGFONTA face{};
  SystemParametersInfoA(SPI_GETICONTITLELOGFONT, sizeof face, &face, 0);
  font_.CreateFontIndirect(&face);
  const std::string& file = host_.localization;
  const auto text = [&](int id, const std::string& words) {
    if (mfc::CWnd* item = GetDlgItem(id)) {
      item->SetFont(&font_);
      item->SetWindowText(words.c_str());
    }
  };
  text(kValueHeadingId, Localized(file, "LOC_ID_Value", "Value"));
  text(kAutoHeadingId, Localized(file, "LOC_ID_Auto", "Auto"));
  for (const Row& row : rows_) {
    if (row.spec->label != 0) text(row.spec->label, Localized(file, row.spec->key, row.spec->english));
  }
  for (Row& row : rows_) InitialiseRow(row);
  return TRUE;
}

void SliderPage::InitialiseRow(Row& row) {
  const int32_t number = row.spec->number;
  const int32_t unsupported = set_ == Set::VideoProcAmp
                                  ? host_.calls->videoProcAmpRange(host_.handle, number, &row.range)
                                  : host_.calls->cameraControlRange(host_.handle, number, &row.range);
  if (unsupported != 0) {
    if (row.spec->label != 0) GetDlgItem(row.spec->label)->EnableWindow(FALSE);
    return;
  }
  row.supported = true;
  if (set_ == Set::VideoProcAmp) {
    host_.calls->getVideoProcAmp(host_.handle, number, &row.value, &row.flags);
  } else {
    host_.calls->getCameraControl(host_.handle, number, &row.value, &row.flags);
  }
  row.openValue = row.value;
  row.openFlags = row.flags;
  if (row.spec->slider == 0) return;  // queried, but shown nowhere
  mfc::CSliderCtrl& slider = SliderOf(row);
  slider.EnableWindow(row.flags == DS2WDM_FLAGS_MANUAL);
  slider.SetRange(row.range.minimum, row.range.maximum, TRUE);
  Place(row, row.value);
  if ((row.range.capsFlags & 1) != 0) {
    mfc::CButton& box = AutoBoxOf(row);
    box.EnableWindow(TRUE);
    box.SetCheck(row.flags == DS2WDM_FLAGS_AUTO ? BST_CHECKED : BST_UNCHECKED);
  }
}

void SliderPage::OnHScroll(UINT, UINT, mfc::CWnd* slider) {
  if (slider == nullptr) return;
  for (Row& row : rows_) {
    if (!row.supported || row.spec->slider == 0 || GetDlgItem(row.spec->slider)->m_hWnd != slider->m_hWnd) continue;
    const int32_t position = SliderOf(row).GetPos();
    SetProperty(row, position, DS2WDM_FLAGS_MANUAL);
    Place(row, position);
    row.value = position;
    return;
  }
}

SliderPage::Row* SliderPage::RowOfNumber(int number) {
  for (Row& row : rows_) {
    if (row.spec->number == number) return &row;
  }
  return nullptr;
}

int32_t SliderPage::SetProperty(const Row& row, int32_t value, int32_t flags) {
  return set_ == Set::VideoProcAmp ? host_.calls->setVideoProcAmp(host_.handle, row.spec->number, value, flags)
                                   : host_.calls->setCameraControl(host_.handle, row.spec->number, value, flags);
}

mfc::CSliderCtrl& SliderPage::SliderOf(const Row& row) {
  slider_.m_hWnd = GetDlgItem(row.spec->slider)->m_hWnd;
  return slider_;
}

mfc::CButton& SliderPage::AutoBoxOf(const Row& row) {
  box_.m_hWnd = GetDlgItem(row.spec->autoBox)->m_hWnd;
  return box_;
}

void SliderPage::ShowValue(const Row& row, int32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
  SetDlgItemText(row.spec->value, text);
}

void SliderPage::Place(const Row& row, int32_t value) {
  SliderOf(row).SetPos(value);
  ShowValue(row, value);
}

}  // namespace ksv::pages
