// Property bags: named values an object reads its settings from
// (IPropertyBag), and the interface through which an object is handed one
// to load itself from (IPersistPropertyBag), as device monikers do with the
// filters they create.
#pragma once

#include "platform/com/unknown.h"
#include "platform/com/variant.h"

struct IErrorLog;  // never used: callers pass null

struct IPropertyBag : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("55272A00-42CB-11CE-8135-00AA004BB851");

  // Reads `name` into the caller-initialised `value`: with VT_EMPTY in its
  // type, as the bag keeps it; with another type, converted to that type
  // (E_FAIL when it cannot be). E_INVALIDARG when the bag has no such
  // property, E_POINTER for a null argument. The caller owns what is read.
  virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* errorLog) = 0;
  // Stores a copy of `value` under `name`.
  virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;

 protected:
  ~IPropertyBag() = default;
};

struct IPersist : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("0000010C-0000-0000-C000-000000000046");
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

struct IPersistPropertyBag : IPersist {
  static constexpr IID kIid = ksv::com::Guid("37D84F60-42CB-11CE-8135-00AA004BB851");
  virtual HRESULT InitNew() = 0;
  virtual HRESULT Load(IPropertyBag* bag, IErrorLog* errorLog) = 0;
  virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) = 0;

 protected:
  ~IPersistPropertyBag() = default;
};

inline constexpr IID IID_IPropertyBag = IPropertyBag::kIid;
inline constexpr IID IID_IPersist = IPersist::kIid;
inline constexpr IID IID_IPersistPropertyBag = IPersistPropertyBag::kIid;
