// Kernel-streaming property items as a minidriver declares them to the
// stream class driver: for each id, get and set support, the minimum sizes
// of the request and of the value, and the values it accepts (a stepping
// range and a default).
#pragma once

#include <cstdint>

#include "platform/kernel/guid.h"

namespace ksv::platform::usbcamd {

inline constexpr uint32_t KSPROPERTY_MEMBER_RANGES = 1;
inline constexpr uint32_t KSPROPERTY_MEMBER_STEPPEDRANGES = 2;
inline constexpr uint32_t KSPROPERTY_MEMBER_VALUES = 3;
inline constexpr uint32_t KSPROPERTY_MEMBER_FLAG_DEFAULT = 1;

struct KSPROPERTY_STEPPING_LONG {
  uint32_t SteppingDelta = 0;
  uint32_t Reserved = 0;
  int32_t SignedMinimum = 0;
  int32_t SignedMaximum = 0;
};

struct KSPROPERTY_MEMBERSHEADER {
  uint32_t MembersFlags = 0;  // KSPROPERTY_MEMBER_*
  uint32_t MembersSize = 0;
  uint32_t MembersCount = 0;
  uint32_t Flags = 0;  // KSPROPERTY_MEMBER_FLAG_DEFAULT for the default value
};

struct KSPROPERTY_MEMBERSLIST {
  KSPROPERTY_MEMBERSHEADER MembersHeader;
  const void* Members = nullptr;  // KSPROPERTY_STEPPING_LONG or int32_t values
};

struct KSPROPERTY_VALUES {
  kernel::GUID PropTypeSet;  // the value's type (KSPROPTYPESETID_General)
  uint32_t PropTypeId = 0;   // VT_I4
  uint32_t PropTypeFlags = 0;
  uint32_t MembersListCount = 0;
  const KSPROPERTY_MEMBERSLIST* MembersList = nullptr;
};

struct KSPROPERTY_ITEM {
  uint32_t PropertyId = 0;
  bool GetSupported = false;
  uint32_t MinProperty = 0;  // bytes of the request structure
  uint32_t MinData = 0;      // bytes of the value buffer
  bool SetSupported = false;
  const KSPROPERTY_VALUES* Values = nullptr;
};

// {97E99BA0-BDEA-11CF-A5D6-28DB04C10000}
inline constexpr kernel::GUID KSPROPTYPESETID_General = {
    0x97E99BA0, 0xBDEA, 0x11CF, {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
inline constexpr uint32_t VT_I4 = 3;

// The property request header every request structure begins with.
inline constexpr uint32_t kKsPropertySize = 24;  // Set (16), Id, Flags
inline constexpr uint32_t KSPROPERTY_TYPE_GET = 1;
inline constexpr uint32_t KSPROPERTY_TYPE_SET = 2;

// Property ids of the video capture property sets.
enum KSPROPERTY_VIDCAP_VIDEOPROCAMP : uint32_t {
  KSPROPERTY_VIDEOPROCAMP_BRIGHTNESS = 0,
  KSPROPERTY_VIDEOPROCAMP_CONTRAST = 1,
  KSPROPERTY_VIDEOPROCAMP_HUE = 2,
  KSPROPERTY_VIDEOPROCAMP_SATURATION = 3,
  KSPROPERTY_VIDEOPROCAMP_SHARPNESS = 4,
  KSPROPERTY_VIDEOPROCAMP_GAMMA = 5,
  KSPROPERTY_VIDEOPROCAMP_COLORENABLE = 6,
  KSPROPERTY_VIDEOPROCAMP_WHITEBALANCE = 7,
  KSPROPERTY_VIDEOPROCAMP_BACKLIGHT_COMPENSATION = 8,
};
enum KSPROPERTY_VIDCAP_CAMERACONTROL : uint32_t { KSPROPERTY_CAMERACONTROL_EXPOSURE = 4 };
enum KSPROPERTY_VIDCAP_VIDEOCONTROL : uint32_t {
  KSPROPERTY_VIDEOCONTROL_CAPS = 0,
  KSPROPERTY_VIDEOCONTROL_ACTUAL_FRAME_RATE = 1,
  KSPROPERTY_VIDEOCONTROL_FRAME_RATES = 2,
  KSPROPERTY_VIDEOCONTROL_MODE = 3,
};
inline constexpr int32_t KS_VideoControlFlag_ExternalTriggerEnable = 4;
inline constexpr int32_t KS_VideoControlFlag_Trigger = 8;

}  // namespace ksv::platform::usbcamd
