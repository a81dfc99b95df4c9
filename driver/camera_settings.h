// The camera's picture settings as the driver keeps them, loaded from the
// registry in one query (absent values and values above their range take
// their defaults) and sent to the camera when a stream starts or the camera
// powers up again.
#pragma once

#include <cstdint>

namespace ksv::driver {

struct CameraSettings {
  int32_t Brightness;        // 0..255
  int32_t Contrast;          // 0..31
  int32_t Hue;               // 0..719
  int32_t Saturation;        // 0..63
  int32_t Sharpness;         // 0..255
  int32_t WhiteBalance;      // 0..20
  int32_t Gamma;             // 0..9
  int32_t AutoExposure;      // 0/1
  int32_t AutoWhiteBalance;  // 0/1
  int32_t ExposureValue;     // 0/1
  int32_t DeadPixelEnable;   // 0/1
};

// The camera's firmware parameters ("Fw_..."): kept only when all eight are
// in range; the driver sends none of them to the camera.
struct FirmwareParameters {
  uint16_t Values[8];
  uint8_t Valid;
};

struct CameraDeviceExtension;

// Reads every setting in one registry query into the extension.
void LoadSettings(CameraDeviceExtension& extension);

// Sends the picture settings to the camera (registers, defect correction,
// exposure and white-balance mode, manual gains) and sets the decoder's
// gamma. Failed requests are recorded as the last error and do not stop it.
void RestorePictureSettings(CameraDeviceExtension& extension);

// Writes the named settings to the registry from `settings`: one bit a
// value, in this order.
namespace setting_bit {
inline constexpr uint32_t kBrightness = 1u << 0;
inline constexpr uint32_t kContrast = 1u << 1;
inline constexpr uint32_t kHue = 1u << 2;
inline constexpr uint32_t kSaturation = 1u << 3;
inline constexpr uint32_t kSharpness = 1u << 4;
inline constexpr uint32_t kGamma = 1u << 5;
inline constexpr uint32_t kWhiteBalance = 1u << 6;
inline constexpr uint32_t kAutoExposure = 1u << 7;
inline constexpr uint32_t kAutoWhiteBalance = 1u << 8;
}  // namespace setting_bit
void WriteSettings(const CameraSettings& settings, uint32_t mask);

// The exposure/white-balance mode code the camera takes (request 0x0C).
uint8_t ExposureWhiteBalanceMode(int32_t autoExposure, int32_t autoWhiteBalance);

// Hands the gamma setting to the decoder (it takes it at its next frame).
void ApplyGamma(CameraDeviceExtension& extension);

// The white-balance gains (A, B) for a manual white balance 0..20; a stored
// value outside it saturates the 32-bit computation instead of overflowing.
struct WhiteBalanceGains {
  uint8_t a;
  uint8_t b;
};
WhiteBalanceGains ManualWhiteBalanceGains(int32_t whiteBalance);

}  // namespace ksv::driver
