// IClassFactory, the class object an in-process server hands out from
// DllGetClassObject, and the entry points every such server exports.
#pragma once

#include "platform/com/unknown.h"

struct IClassFactory : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("00000001-0000-0000-C000-000000000046");

  // A new object, asked for `iid`. With an `outer` object (aggregation) only
  // IUnknown may be asked for; a class that cannot be aggregated answers
  // CLASS_E_NOAGGREGATION.
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  // Keeps the server loaded (TRUE) or lets it go (FALSE), counted.
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};

inline constexpr IID IID_IClassFactory = IClassFactory::kIid;

// The four entry points of an in-process server, as COM and the
// registration tools find them with dlsym. A server defines them as
//   extern "C" KSV_EXPORT HRESULT DllGetClassObject(REFCLSID, REFIID, void**);
using DllGetClassObjectFunction = HRESULT (*)(REFCLSID clsid, REFIID iid, void** object);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();
using DllUnregisterServerFunction = HRESULT (*)();
