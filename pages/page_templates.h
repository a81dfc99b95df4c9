// The pages' dialog templates and control identifiers. Each slider row is a
// label, a horizontal slider, its value (initially "0") and an auto box;
// sliders and auto boxes start disabled, the page enables what the camera
// allows.
#pragma once

#include <span>

#include "platform/ui/dialogs/dialogs.h"

namespace ksv::pages {

enum : int {
  kAutoHeadingId = 1178,
  kValueHeadingId = 1179,
  kSetDefaultId = 1189,
  kFiftyHzId = 1214,
  kSixtyHzId = 1215,
  kFlickerGroupId = 1216,
  kOutdoorId = 1217,  // the third mode's button, where a template has one
  kFrameId = 1000,    // the container's frame that marks the sheet's place
};

// One property's row. A row without a slider (0) has no controls.
struct RowSpec {
  int number;  // the property's number in its set
  int slider, value, autoBox, label;
  const char* key;
  const char* english;
};

// Device Settings: the video-processing-amplifier properties 0..8.
std::span<const RowSpec> DeviceSettingsRows();
// Camera Controls: the camera-control properties 0..6.
std::span<const RowSpec> CameraControlRows();

// The numbers of the rows the pages treat apart.
enum : int {
  kBrightness = 0,
  kHue = 2,
  kSaturation = 3,
  kGamma = 5,
  kWhiteBalance = 7,
  kExposure = 4,  // of the camera controls
};
inline constexpr int kWhiteBalanceAutoId = 1176;
inline constexpr int kExposureAutoId = 1215;

// The templates, made once and held for the life of the library.
const DLGTEMPLATE* DeviceSettingsTemplate();   // 252 x 182 dialog units
const DLGTEMPLATE* CameraControlsTemplate();   // 248 x 180
const DLGTEMPLATE* AntiFlickerTemplate();      // 186 x 82
const DLGTEMPLATE* ContainerTemplate();        // 252 x 196, the frame 1000

}  // namespace ksv::pages
