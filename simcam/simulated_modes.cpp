#include "simcam/simulated_modes.h"

namespace ksv::simcam {

std::vector<bulk::RecordingMode> SimulatedCameraModes() {
  // Percentages of the Annex K tables: high-quality pictures as a quality-85
  // JPEG, low-quality ones as quality 40, clip frames as quality 60.
  return {
      {kHighQualityPictureMode, 640, 480, codec::ScaledAnnexKPair(30)},
      {kLowQualityPictureMode, 160, 128, codec::ScaledAnnexKPair(125)},
      {kClipMode, 320, 240, codec::ScaledAnnexKPair(80)},
      {kLowResClipMode, 160, 128, codec::ScaledAnnexKPair(80)},
      {kVideoOnlyClipMode, 160, 112, codec::ScaledAnnexKPair(80)},
  };
}

bulk::CameraVersions SimulatedCameraVersions() {
  return {"KSV1 firmware 2.05 (simulated)", "KSV1 VGA CMOS sensor rev B (simulated)",
          "KSV1 camera controller rev 3 (simulated)"};
}

}  // namespace ksv::simcam
