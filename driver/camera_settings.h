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

// The white-balance gains (A, B) for a manual white balance 0..20.
struct WhiteBalanceGains {
  uint8_t a;
  uint8_t b;
};
WhiteBalanceGains ManualWhiteBalanceGains(int32_t whiteBalance);

}  // namespace ksv::driver
