#include "simcam/picture_controls.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ksv::simcam {
namespace {

namespace reg = picture_register;

constexpr double kNeutralGainA = 152;
constexpr double kNeutralGainB = 142;

uint8_t Clamp(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

struct Rgb {
  double r, g, b;
};

// Full-range BT.601, as the camera's colour conversion.
Rgb ToRgb(double y, double u, double v) {
  return {y + 1.402 * v, y - 0.344136 * u - 0.714136 * v, y + 1.772 * u};
}
double LumaOf(const Rgb& c) { return 0.299 * c.r + 0.587 * c.g + 0.114 * c.b; }

}  // namespace

bool PictureControls::IsNeutral() const {
  return brightness == 0 && contrast == 1 && saturation == 1 && hueDegrees == 0 && redGain == 1 &&
         blueGain == 1;
}

bool IsPictureRegister(uint16_t address) {
  return address == reg::kGainA || address == reg::kGainB || address == reg::kSharpness ||
         (address >= reg::kBrightness && address <= reg::kHueHigh);
}

void ResetPictureRegisters(std::span<uint8_t, 0x10000> registers) {
  registers[reg::kGainA] = 152;
  registers[reg::kGainB] = 142;
  registers[reg::kSharpness] = 120;
  registers[reg::kBrightness] = 0;
  registers[reg::kContrast] = 32;
  registers[reg::kSaturation] = 32;
  registers[reg::kHueLow] = 0;
  registers[reg::kHueHigh] = 3;
}

PictureControls PictureControlsOf(std::span<const uint8_t, 0x10000> registers, uint8_t mode) {
  PictureControls controls;
  controls.brightness = static_cast<int8_t>(registers[reg::kBrightness]);
  controls.contrast = registers[reg::kContrast] / 32.0;
  controls.saturation = registers[reg::kSaturation] / 32.0;
  const int hue = ((registers[reg::kHueHigh] & 0x0C) << 6) | registers[reg::kHueLow];
  controls.hueDegrees = hue / 2.0;
  if (mode == 0 || mode == 3) {
    controls.redGain = registers[reg::kGainA] / kNeutralGainA;
    controls.blueGain = registers[reg::kGainB] / kNeutralGainB;
  }
  return controls;
}

void ApplyPictureControls(const PictureControls& controls, picture::PlanarPicture& picture) {
  if (controls.IsNeutral()) return;
  const uint32_t width = picture.width;
  const uint32_t height = picture.height;
  const uint32_t chromaWidth = width / 2;
  uint8_t* luma = picture.samples.data();
  uint8_t* planeU = luma + size_t{width} * height;
  uint8_t* planeV = planeU + size_t{chromaWidth} * (height / 2);
  const double angle = controls.hueDegrees * std::numbers::pi / 180;
  const double turnCos = std::cos(angle) * controls.saturation;
  const double turnSin = std::sin(angle) * controls.saturation;

  for (uint32_t by = 0; by < height / 2; ++by) {
    for (uint32_t bx = 0; bx < chromaWidth; ++bx) {
      const size_t c = size_t{by} * chromaWidth + bx;
      const double u = planeU[c] - 128.0;
      const double v = planeV[c] - 128.0;
      double sumU = 0;
      double sumV = 0;
      for (uint32_t dy = 0; dy < 2; ++dy) {
        for (uint32_t dx = 0; dx < 2; ++dx) {
          uint8_t& y = luma[size_t{by * 2 + dy} * width + bx * 2 + dx];
          Rgb rgb = ToRgb(y, u, v);
          rgb.r *= controls.redGain;
          rgb.b *= controls.blueGain;
          const double balanced = LumaOf(rgb);
          sumU += (rgb.b - balanced) / 1.772;
          sumV += (rgb.r - balanced) / 1.402;
          y = Clamp((balanced - 128) * controls.contrast + 128 + controls.brightness);
        }
      }
      const double meanU = sumU / 4;
      const double meanV = sumV / 4;
      planeU[c] = Clamp(128 + meanU * turnCos - meanV * turnSin);
      planeV[c] = Clamp(128 + meanU * turnSin + meanV * turnCos);
    }
  }
}

}  // namespace ksv::simcam
