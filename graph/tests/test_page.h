// A property page class for the property frame's tests (module
// qmgtestpages): it edits an object with ITestSetting, starts out changed,
// and applies by handing the setting 1.
#pragma once

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
