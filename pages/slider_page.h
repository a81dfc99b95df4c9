// A page of property rows, each a label, a slider, its value and an auto
// box (page_templates.h). On opening, each row asks the driver for its
// range: a property the driver does not declare shows a grey label and is
// never asked again; the others show their value, with the slider enabled
// only in manual mode and the auto box only when the property has an
// automatic mode (checked when automatic). Every slider move sets the
// property at once, in manual mode.
#pragma once

#include <string>
#include <vector>

#include "pages/page_templates.h"
#include "pages/property_calls.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/property_page.h"

namespace ksv::pages {

// What a page needs of its host: the property calls, the handle and the
// localization file.
struct PageHost {
  const PropertyCalls* calls = nullptr;
  DS2WDM_HANDLE handle = nullptr;
  std::string localization;
};

class SliderPage : public mfc::CPropertyPage {
 public:
  struct Row {
    const RowSpec* spec = nullptr;
    bool supported = false;
    int32_t value = 0, flags = 0;          // now
    int32_t openValue = 0, openFlags = 0;  // when the page opened
    DS2WDM_RANGE range{};
  };

  enum class Set { VideoProcAmp, CameraControl };
  SliderPage(const DLGTEMPLATE* pageTemplate, Set set, std::span<const RowSpec> rows, const PageHost& host);

  BOOL OnInitDialog() override;
  void OnHScroll(UINT code, UINT position, mfc::CWnd* slider) override;

  const std::vector<Row>& rows() const { return rows_; }

 protected:
  Row* RowOfNumber(int number);
  bool Usable(const Row* row) const { return row != nullptr && row->supported; }
  int32_t SetProperty(const Row& row, int32_t value, int32_t flags);
  mfc::CSliderCtrl& SliderOf(const Row& row);
  mfc::CButton& AutoBoxOf(const Row& row);
  void ShowValue(const Row& row, int32_t value);
  // The slider at `value` and its number shown.
  void Place(const Row& row, int32_t value);

  const PageHost& host_;

 private:
  void InitialiseRow(Row& row);

  Set set_;
  std::vector<Row> rows_;
  mfc::CFont font_;
  mfc::CSliderCtrl slider_;
  mfc::CButton box_;
};

}  // namespace ksv::pages
