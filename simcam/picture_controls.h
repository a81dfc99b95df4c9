// What the camera's picture registers do to the picture it photographs,
// before it compresses it: brightness and contrast on luminance, saturation
// and hue on the colour, and, while white balance is manual, the two gains
// on red (gain A) and blue (gain B).
#pragma once

#include <cstdint>
#include <span>

#include "support/picture/picture.h"

namespace ksv::simcam {

namespace picture_register {
inline constexpr uint16_t kGainA = 0x8151;  // 152 at the neutral point
inline constexpr uint16_t kGainB = 0x8153;  // 142 at the neutral point
inline constexpr uint16_t kSharpness = 0x8157;
inline constexpr uint16_t kBrightness = 0x8167;  // signed offset
inline constexpr uint16_t kContrast = 0x8168;    // 32 is neutral
inline constexpr uint16_t kSaturation = 0x8169;  // 32 is neutral
inline constexpr uint16_t kHueLow = 0x816A;      // hue bits 0..7
inline constexpr uint16_t kHueHigh = 0x816B;     // hue bits 8..9 in bits 2..3
}  // namespace picture_register

struct PictureControls {
  int brightness = 0;     // added to luminance
  double contrast = 1;    // luminance gain about mid-grey
  double saturation = 1;  // colour gain
  double hueDegrees = 0;  // colour rotation
  double redGain = 1;
  double blueGain = 1;
  bool IsNeutral() const;
};

// True for the registers PictureControlsOf reads.
bool IsPictureRegister(uint16_t address);
// The camera's power-on values of those registers (neutral picture).
void ResetPictureRegisters(std::span<uint8_t, 0x10000> registers);
// The controls set by `registers` and the exposure/white-balance mode code
// (gains act only while white balance is manual: codes 0 and 3).
PictureControls PictureControlsOf(std::span<const uint8_t, 0x10000> registers, uint8_t mode);

// Applies the controls to a 4:2:0 picture in place.
void ApplyPictureControls(const PictureControls& controls, picture::PlanarPicture& picture);

}  // namespace ksv::simcam
