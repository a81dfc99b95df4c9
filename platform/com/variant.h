// VARIANT, COM's tagged value, with the types property bags carry: VT_EMPTY,
// VT_I4, VT_UI4, VT_BSTR and VT_ARRAY | VT_UI1 (plus VT_I2, VT_UI1, VT_BOOL
// and VT_UNKNOWN). A VARIANT owns what it holds: VariantClear frees a BSTR
// or an array and releases an interface.
#pragma once

#include "platform/com/bstr.h"
#include "platform/com/safearray.h"
#include "platform/com/unknown.h"
#include "platform/com/vartype.h"

typedef int16_t VARIANT_BOOL;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;          // VT_I4
    ULONG ulVal;        // VT_UI4
    SHORT iVal;         // VT_I2
    BYTE bVal;          // VT_UI1
    VARIANT_BOOL boolVal;  // VT_BOOL
    BSTR bstrVal;       // VT_BSTR
    IUnknown* punkVal;  // VT_UNKNOWN
    SAFEARRAY* parray;  // VT_ARRAY | element type
    LONGLONG llVal;
  };
};

/* Makes `value` VT_EMPTY without looking at what it held. */
void VariantInit(VARIANT* value);
/* Frees what `value` holds and makes it VT_EMPTY; DISP_E_BADVARTYPE (and
 * nothing touched) for a type we do not know. */
HRESULT VariantClear(VARIANT* value);
/* Clears `target`, then makes it a deep copy of `source` (a new BSTR, a new
 * array, another reference). */
HRESULT VariantCopy(VARIANT* target, const VARIANT* source);
