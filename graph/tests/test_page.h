// The test plug-in (module qmgtestpages): a property page class for the
// property frame's tests, which edits an object with ITestSetting, starts
// out changed and applies by handing the setting 1; and a camera class, a
// capture source of kTestCameraFrames RGB24 frames that the capture tests
// list as a video capture device.
#pragma once

#include <cstdint>

#include "platform/com/guid.h"
#include "platform/com/unknown.h"

struct ITestSetting : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("5B0E2B61-7A1C-4F0D-9E5A-2C6D3B4A1F01");
  virtual HRESULT Set(LONG value) = 0;

 protected:
  ~ITestSetting() = default;
};

inline constexpr CLSID kTestPageClsid = ksv::com::Guid("5B0E2B61-7A1C-4F0D-9E5A-2C6D3B4A1F02");
inline constexpr const char* kTestPageTitle = "Setting";

inline constexpr CLSID kTestCameraClsid = ksv::com::Guid("5B0E2B61-7A1C-4F0D-9E5A-2C6D3B4A1F04");
inline constexpr uint32_t kTestCameraFrames = 15;
