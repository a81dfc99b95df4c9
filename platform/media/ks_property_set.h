// Properties of a filter or pin by property set and identifier
// (IKsPropertySet), and the pin property set through which a capture
// filter's output pins tell their category (capture, preview).
#pragma once

#include "include/win32_types.h"
#include "platform/com/guid.h"
#include "platform/com/unknown.h"

struct IKsPropertySet : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("31EFAC30-515C-11D0-A9AA-00AA0061BE93");
  virtual HRESULT Set(REFGUID propertySet, DWORD id, LPVOID instanceData, DWORD instanceSize,
                      LPVOID propertyData, DWORD dataSize) = 0;
  // `*returned` gets the bytes written to `propertyData`.
  virtual HRESULT Get(REFGUID propertySet, DWORD id, LPVOID instanceData, DWORD instanceSize,
                      LPVOID propertyData, DWORD dataSize, DWORD* returned) = 0;
  // KSPROPERTY_SUPPORT_GET and/or KSPROPERTY_SUPPORT_SET in `*support`.
  virtual HRESULT QuerySupported(REFGUID propertySet, DWORD id, DWORD* support) = 0;

 protected:
  ~IKsPropertySet() = default;
};

inline constexpr IID IID_IKsPropertySet = IKsPropertySet::kIid;

inline constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
inline constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

// What Get, Set and QuerySupported answer for a set or an identifier they
// do not know: HRESULT_FROM_WIN32(ERROR_NOT_FOUND) and
// HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND).
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = static_cast<HRESULT>(0x80070492);
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = static_cast<HRESULT>(0x80070490);

// The pin property set: AMPROPERTY_PIN_CATEGORY reads (never writes) the
// pin's category GUID.
inline constexpr GUID AMPROPSETID_Pin = ksv::com::Guid("9B00F101-1567-11D1-B3F1-00AA003761C5");
enum AMPROPERTY_PIN : DWORD { AMPROPERTY_PIN_CATEGORY = 0, AMPROPERTY_PIN_MEDIUM = 1 };

inline constexpr GUID PIN_CATEGORY_CAPTURE =
    ksv::com::Guid("FB6C4281-0353-11D1-905F-0000C0CC16BA");
inline constexpr GUID PIN_CATEGORY_PREVIEW =
    ksv::com::Guid("FB6C4282-0353-11D1-905F-0000C0CC16BA");
