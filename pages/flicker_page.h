// "Anti Flicker": the mains frequency, 50 Hz or 60 Hz (and a third mode,
// "Outdoor", where a template offers its button). A click sets the mode at
// once; Cancel shows the mode the page opened with again and leaves the
// camera's as it is.
#pragma once

#include "pages/slider_page.h"

namespace ksv::pages {

class FlickerPage final : public mfc::CPropertyPage {
 public:
  explicit FlickerPage(const PageHost& host);

  BOOL OnInitDialog() override;
  BOOL OnCommand(int id, int code) override;
  void OnCancel() override;

 private:
  void CheckMode(int32_t mode);

  const PageHost& host_;
  int32_t openMode_ = 0;
};

}  // namespace ksv::pages
