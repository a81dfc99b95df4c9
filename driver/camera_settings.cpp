#include "driver/camera_settings.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <limits>

#include "driver/camera_device_extension.h"
#include "driver/camera_requests.h"
#include "driver/driver_values.h"

namespace ksv::driver {
namespace {

struct Range {
  int32_t minimum;
  int32_t maximum;
};

// An absent value (-1) or one above its maximum takes the default; the
// comparison is signed, so other negative values are kept as they are.
int32_t Limited(int32_t value, int32_t maximum, int32_t fallback) {
  return value == -1 || value > maximum ? fallback : value;
}

// Registry values below their range are kept, so a hostile one can be far
// below zero: what the driver computes from it saturates at the width it is
// computed in instead of overflowing.
template <typename T>
T Saturated(int64_t value) {
  return static_cast<T>(std::clamp<int64_t>(value, std::numeric_limits<T>::min(),
                                            std::numeric_limits<T>::max()));
}

// ((distance x 64) / 10 - offset) mod 256, its product a 32-bit one.
uint8_t Gain(int32_t distanceFromNeutral, int32_t offset) {
  const int32_t product = Saturated<int32_t>(int64_t{distanceFromNeutral} * 64);
  return static_cast<uint8_t>(product / 10 - offset);
}

constexpr const char* kFirmwareNames[8] = {"Fw_AeawbSwitch", "Fw_CurShutter", "Fw_CurAgc",
                                           "Fw_FreqSwitch",  "Fw_RGain",      "Fw_BGain",
                                           "Fw_AdjAgc",      "Fw_EvRef"};
constexpr Range kFirmwareRanges[8] = {{0, 4},   {496, 1021}, {300, 850}, {0, 15},
                                      {0, 255}, {0, 255},    {0, 1},     {128, 256}};

}  // namespace

uint8_t ExposureWhiteBalanceMode(int32_t autoExposure, int32_t autoWhiteBalance) {
  if (autoExposure == 1) return autoWhiteBalance == 1 ? 4 : 3;
  return autoWhiteBalance == 1 ? 1 : 0;
}

void WriteSettings(const CameraSettings& s, uint32_t mask) {
  const struct {
    const char* name;
    int32_t value;
  } values[] = {{"Brightness", s.Brightness},
                {"Contrast", s.Contrast},
                {"Hue", s.Hue},
                {"Saturation", s.Saturation},
                {"Sharpness", s.Sharpness},
                {"Gamma", s.Gamma},
                {"White Balance", s.WhiteBalance},
                {"Auto Exposure Enable", s.AutoExposure},
                {"Auto White Balance Enable", s.AutoWhiteBalance}};
  for (size_t bit = 0; bit < std::size(values); ++bit) {
    if ((mask & (1u << bit)) != 0) {
      WriteDriverValue(values[bit].name, static_cast<uint32_t>(values[bit].value));
    }
  }
}

void ApplyGamma(CameraDeviceExtension& extension) {
  const int32_t gamma = extension.Settings.Gamma;
  codec::SetGammaLevel(extension.DecoderContext,
                       static_cast<uint32_t>(gamma >= 0 && gamma <= 9 ? gamma : 0));
}

WhiteBalanceGains ManualWhiteBalanceGains(int32_t whiteBalance) {
  if (whiteBalance < 10) {
    return {152, Gain(Saturated<int32_t>(int64_t{10} - whiteBalance), 114)};
  }
  if (whiteBalance > 10) return {Gain(whiteBalance - 10, 104), 142};
  return {152, 142};
}

void LoadSettings(CameraDeviceExtension& extension) {
  int32_t raw[11];
  int32_t firmware[8];
  ReadDriverValues({{"Brightness", &raw[0]},
                    {"Contrast", &raw[1]},
                    {"Hue", &raw[2]},
                    {"Saturation", &raw[3]},
                    {"Sharpness", &raw[4]},
                    {"Gamma", &raw[5]},
                    {"White Balance", &raw[6]},
                    {"Auto Exposure Enable", &raw[7]},
                    {"Auto White Balance Enable", &raw[8]},
                    {"DeadPixelEnable", &raw[9]},
                    {kFirmwareNames[0], &firmware[0]},
                    {kFirmwareNames[1], &firmware[1]},
                    {kFirmwareNames[2], &firmware[2]},
                    {kFirmwareNames[3], &firmware[3]},
                    {kFirmwareNames[4], &firmware[4]},
                    {kFirmwareNames[5], &firmware[5]},
                    {kFirmwareNames[6], &firmware[6]},
                    {kFirmwareNames[7], &firmware[7]}});
  CameraSettings& s = extension.Settings;
  s.Brightness = Limited(raw[0], 255, 128);
  s.Contrast = Limited(raw[1], 31, 0);
  s.Hue = Limited(raw[2], 719, 0);
  s.Saturation = Limited(raw[3], 63, 32);
  s.Sharpness = Limited(raw[4], 255, 120);
  s.Gamma = Limited(raw[5], 9, 0);
  s.WhiteBalance = Limited(raw[6], 20, 10);
  s.AutoExposure = Limited(raw[7], 1, 1);
  s.AutoWhiteBalance = Limited(raw[8], 1, 1);
  s.DeadPixelEnable = Limited(raw[9], 1, 0);
  extension.ContrastSetting = static_cast<uint16_t>(s.Contrast);

  bool allInRange = true;
  for (size_t i = 0; i < 8; ++i) {
    allInRange &= firmware[i] >= kFirmwareRanges[i].minimum &&
                  firmware[i] <= kFirmwareRanges[i].maximum;
  }
  if (allInRange) {
    for (size_t i = 0; i < 8; ++i) {
      extension.Firmware.Values[i] = static_cast<uint16_t>(firmware[i]);
    }
  }
  extension.Firmware.Valid = allInRange ? 1 : 0;
}

void RestorePictureSettings(CameraDeviceExtension& extension) {
  const CameraSettings& s = extension.Settings;
  WriteCameraRegister(extension, 0x816B, 3);
  WriteCameraRegister(extension, 0x8167,
                      static_cast<uint16_t>(Saturated<int16_t>(int64_t{s.Brightness} - 128)));
  WriteCameraRegister(extension, 0x8168, static_cast<uint8_t>(s.Contrast + 32));
  WriteCameraRegister(extension, 0x816B, static_cast<uint8_t>(((s.Hue >> 6) & 0x0C) | 3));
  WriteCameraRegister(extension, 0x816A, static_cast<uint8_t>(s.Hue & 0xFF));
  WriteCameraRegister(extension, 0x8169, static_cast<uint8_t>(s.Saturation));
  WriteCameraRegister(extension, 0x8157, static_cast<uint8_t>(s.Sharpness));
  SendCameraRequest(extension, camera_request::kDefectCorrection, s.DeadPixelEnable == 1 ? 1 : 0,
                    1);
  SendCameraRequest(extension, camera_request::kMode,
                    ExposureWhiteBalanceMode(s.AutoExposure, s.AutoWhiteBalance), 0);
  if (s.AutoWhiteBalance != 1) {
    const WhiteBalanceGains gains = ManualWhiteBalanceGains(s.WhiteBalance);
    WriteCameraRegister(extension, 0x8151, gains.a);
    WriteCameraRegister(extension, 0x8153, gains.b);
  }
  ApplyGamma(extension);
}

}  // namespace ksv::driver
