#include "simcam/recording_mode.h"

namespace ksv::simcam {

std::vector<RecordingMode> SimulatedCameraModes() {
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

std::vector<uint8_t> TableBytes(const RecordingMode& mode) {
  std::vector<uint8_t> bytes(mode.tables.luminance.begin(), mode.tables.luminance.end());
  bytes.insert(bytes.end(), mode.tables.chrominance.begin(), mode.tables.chrominance.end());
  return bytes;
}

}  // namespace ksv::simcam
