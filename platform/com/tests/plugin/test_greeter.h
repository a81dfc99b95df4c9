// The class and interface of the test server: what a test creates by class
// identifier and calls once it is loaded.
#pragma once

#include <cstdint>

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"

struct ITestGreeter : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("5B5A4E55-38DC-490F-8D4C-A157D09926E3");

  virtual HRESULT Add(LONG a, LONG b, LONG* sum) = 0;
  // "Hello, <name>!" in a new BSTR.
  virtual HRESULT Greet(LPCOLESTR name, BSTR* greeting) = 0;
  // An address inside the loaded module: the same for every object of one
  // load of it.
  virtual HRESULT GetModuleMark(uintptr_t* mark) = 0;

 protected:
  ~ITestGreeter() = default;
};

inline constexpr CLSID CLSID_TestGreeter = ksv::com::Guid("C72B9CFF-8228-4776-B5A4-6F1D04BFFC05");
inline constexpr char kTestGreeterName[] = "KSV Test Greeter";
