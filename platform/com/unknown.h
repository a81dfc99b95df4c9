// IUnknown, the root of every COM interface: interface lookup by
// identifier and reference counting. Interfaces are abstract classes that
// carry their identifier as `kIid`; IidOf<T>() stands in for __uuidof.
#pragma once

#include <type_traits>

#include "platform/com/com_types.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"

struct IUnknown {
  static constexpr IID kIid = ksv::com::Guid("00000000-0000-0000-C000-000000000046");

  // Hands out the interface `iid` names, counted, in *object (null and
  // E_NOINTERFACE when the object has none, E_POINTER for a null `object`).
  // Asking any interface of one object for IUnknown gives the same pointer.
  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  // Both return the new count, for diagnostics only.
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects go through Release, never delete
};

inline constexpr IID IID_IUnknown = IUnknown::kIid;

namespace ksv::com {
template <class Interface>
constexpr const IID& IidOf() {
  return std::remove_cv_t<Interface>::kIid;
}
}  // namespace ksv::com

// The identifier and address arguments of an interface out-pointer, as in
// QueryInterface(IID_PPV_ARGS(&filter)).
#define IID_PPV_ARGS(pointer) \
  ::ksv::com::IidOf<std::remove_pointer_t<std::remove_reference_t<decltype(*(pointer))>>>(), \
      reinterpret_cast<void**>(pointer)
