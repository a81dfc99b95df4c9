// Video control: the still pin's trigger capabilities and mode, and the
// frame rates the camera offers at each alternate setting.
#include <array>

#include "driver/device_property.h"
#include "driver/property_layout.h"
#include "platform/usbcamd/ks_property.h"
#include "support/byte_order.h"

namespace ksv::driver {
namespace {

namespace usb = platform::usbcamd;
namespace vc = property_layout::video_control;
namespace fr = property_layout::frame_rate;
namespace mi = property_layout::multiple_item;
using platform::kernel::STATUS_BUFFER_OVERFLOW;
using platform::kernel::STATUS_BUFFER_TOO_SMALL;
using platform::kernel::STATUS_NOT_SUPPORTED;
using platform::kernel::STATUS_SUCCESS;

constexpr uint32_t kStillStream = 1;
constexpr int32_t kTriggerCaps =
    usb::KS_VideoControlFlag_ExternalTriggerEnable | usb::KS_VideoControlFlag_Trigger;

// Frame interval (100 ns) of alternate settings 1..7 at the camera's own
// size; entry 0 (no bandwidth) has none.
constexpr std::array<int64_t, 7> kSettingIntervals = {1666666, 1000000, 833333, 666666,
                                                      555555,  500000,  400000};
constexpr uint32_t kRateListSize = mi::kItems + 8 * kSettingIntervals.size();  // 64

// The decoded width changes how long the camera takes a frame.
int64_t Scaled(int64_t interval, int32_t width) {
  if (width == 160) return interval * 3 / 4;
  if (width == 320) return interval * 3;
  return interval;
}

bool HasStreamIndex(const PropertyRequest& request) {
  return request.input.size() >= vc::kStreamIndex + 4;
}
uint32_t StreamIndex(const PropertyRequest& request) {
  return support::LoadLe32(request.input, vc::kStreamIndex);
}

NTSTATUS ActualFrameRate(const CameraDeviceExtension& extension, const PropertyRequest& request) {
  if (!HasStreamIndex(request) || StreamIndex(request) != 0) return STATUS_NOT_SUPPORTED;
  if (request.value.empty()) {
    *request.bytesReturned = fr::kActualSize;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (request.value.size() < fr::kActualSize || extension.StreamOpen == 0) {
    return STATUS_NOT_SUPPORTED;
  }
  const int32_t width = static_cast<int32_t>(extension.OpenWidth);
  support::StoreLe64(request.value, fr::kCurrentActualFrameRate, 0);
  support::StoreLe64(request.value, fr::kCurrentMaxAvailableFrameRate,
                           static_cast<uint64_t>(Scaled(kSettingIntervals.back(), width)));
  *request.bytesReturned = fr::kActualSize;
  return STATUS_SUCCESS;
}

NTSTATUS FrameRates(const PropertyRequest& request) {
  if (request.value.empty()) {
    *request.bytesReturned = kRateListSize;
    return STATUS_BUFFER_OVERFLOW;
  }
  if (request.value.size() < kRateListSize) return STATUS_BUFFER_TOO_SMALL;
  if (request.input.size() < fr::kRequestSize) return STATUS_BUFFER_TOO_SMALL;
  const auto width = support::LoadLeInt32(request.input, fr::kWidth);
  support::StoreLe32(request.value, mi::kSize, kRateListSize - mi::kItems);
  support::StoreLe32(request.value, mi::kCount, kSettingIntervals.size());
  for (size_t i = 0; i < kSettingIntervals.size(); ++i) {
    support::StoreLe64(request.value, static_cast<uint32_t>(mi::kItems + 8 * i),
                             static_cast<uint64_t>(Scaled(kSettingIntervals[i], width)));
  }
  *request.bytesReturned = kRateListSize;
  return STATUS_SUCCESS;
}

NTSTATUS AnswerCapsOrMode(const PropertyRequest& request) {
  if (request.value.size() < vc::kSize) return STATUS_BUFFER_TOO_SMALL;
  support::StoreLe32(request.value, vc::kCapsOrMode, kTriggerCaps);
  *request.bytesReturned = vc::kSize;
  return STATUS_SUCCESS;
}

}  // namespace

NTSTATUS HandleVideoControl(CameraDeviceExtension& extension, const PropertyRequest& request) {
  switch (request.id) {
    case usb::KSPROPERTY_VIDEOCONTROL_CAPS:
      if (request.isSet || !HasStreamIndex(request) || StreamIndex(request) != kStillStream) {
        return STATUS_NOT_SUPPORTED;
      }
      return AnswerCapsOrMode(request);
    case usb::KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE:
      return request.isSet ? STATUS_NOT_SUPPORTED : ActualFrameRate(extension, request);
    case usb::KSPROPERTY_VIDEOCONTROL_FRAME_RATES:
      return request.isSet ? STATUS_NOT_SUPPORTED : FrameRates(request);
    case usb::KSPROPERTY_VIDEOCONTROL_MODE: {
      if (!request.isSet) return AnswerCapsOrMode(request);
      // Only the still pin takes a mode, and only one with a trigger bit.
      if (!HasStreamIndex(request) || StreamIndex(request) != kStillStream ||
          request.value.size() < vc::kSize) {
        return STATUS_NOT_SUPPORTED;
      }
      const uint32_t mode = support::LoadLe32(request.value, vc::kCapsOrMode);
      return (mode & kTriggerCaps) != 0 ? STATUS_SUCCESS : STATUS_NOT_SUPPORTED;
    }
    default:
      return STATUS_NOT_SUPPORTED;
  }
}

}  // namespace ksv::driver
