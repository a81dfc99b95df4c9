// Monikers: objects that name another object and bind to it, and their
// enumerator. Ours implement what callers use: BindToObject (create the
// named object), BindToStorage (open its property bag) and GetDisplayName.
// The bind context is not used; callers pass null.
#pragma once

#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/unknown.h"

struct IBindCtx;

struct IMoniker : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("0000000F-0000-0000-C000-000000000046");

  // The object the moniker names, asked for `iid`.
  virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, REFIID iid, void** object) = 0;
  // The object's storage, asked for `iid` (IPropertyBag).
  virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid,
                                void** storage) = 0;
  // The moniker's name for people, in a string from CoTaskMemAlloc.
  virtual HRESULT GetDisplayName(IBindCtx* context, IMoniker* left, LPOLESTR* name) = 0;
  // S_OK when `other` names the same object, S_FALSE otherwise.
  virtual HRESULT IsEqual(IMoniker* other) = 0;

 protected:
  ~IMoniker() = default;
};

struct IEnumMoniker : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("00000102-0000-0000-C000-000000000046");

  // Up to `count` monikers into `monikers` (counted), how many into
  // *fetched (which may be null only when `count` is 1): S_OK when all
  // `count` came, S_FALSE when the end came first.
  virtual HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) = 0;
  // S_FALSE when fewer than `count` were left to skip.
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  // Another enumerator over the same monikers, at the same place.
  virtual HRESULT Clone(IEnumMoniker** copy) = 0;

 protected:
  ~IEnumMoniker() = default;
};

inline constexpr IID IID_IMoniker = IMoniker::kIid;
inline constexpr IID IID_IEnumMoniker = IEnumMoniker::kIid;

namespace ksv::com {

// An enumerator over a fixed list of monikers (it holds references to them).
HRESULT CreateMonikerEnumerator(std::vector<ComPtr<IMoniker>> monikers, IEnumMoniker** enumerator);

}  // namespace ksv::com
