// "Device Settings": the picture controls. Hue and Saturation can always be
// moved; White Balance's auto box switches its mode; "Set Default" puts
// the six picture controls at their defaults (manual) and White Balance in
// automatic mode, leaving Backlight Comp alone; Cancel puts every control
// back as the page found it.
#pragma once

#include "pages/slider_page.h"

namespace ksv::pages {

class DeviceSettingsPage final : public SliderPage {
 public:
  explicit DeviceSettingsPage(const PageHost& host);

  BOOL OnInitDialog() override;
  BOOL OnCommand(int id, int code) override;
  void OnCancel() override;

 private:
  void WhiteBalanceBoxClicked();
  void SetDefaults();
};

// "Camera Controls": Exposure's auto box switches its mode.
class CameraControlsPage final : public SliderPage {
 public:
  explicit CameraControlsPage(const PageHost& host);
  BOOL OnCommand(int id, int code) override;
};

}  // namespace ksv::pages
