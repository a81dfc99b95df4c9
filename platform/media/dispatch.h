// IDispatch, the automation interface the graph's control interfaces
// (IMediaControl, IMediaEvent, IMediaPosition, IVideoWindow) derive from.
// Nothing here calls through it by name: implementations may answer
// E_NOTIMPL, which NoDispatch does for them.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/unknown.h"
#include "platform/com/variant.h"

typedef DWORD LCID;
typedef LONG DISPID;
struct ITypeInfo;   // never handed out
struct DISPPARAMS;  // never read
struct EXCEPINFO;   // never filled

// Automation booleans and the handle and state types of the control interfaces.
typedef LONG OAFilterState;
typedef LONG_PTR OAHWND;
typedef LONG_PTR OAEVENT;
inline constexpr LONG OATRUE = -1;
inline constexpr LONG OAFALSE = 0;

struct IDispatch : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("00020400-0000-0000-C000-000000000046");
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argumentError) = 0;

 protected:
  ~IDispatch() = default;
};

inline constexpr IID IID_IDispatch = IDispatch::kIid;

namespace ksv::media {

// Implements IDispatch's methods for `Interface` (an interface deriving from
// it): no type information, no late binding.
template <class Interface>
struct NoDispatch : Interface {
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

 protected:
  ~NoDispatch() = default;
};

}  // namespace ksv::media
