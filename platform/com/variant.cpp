#include "platform/com/variant.h"

namespace {

bool Known(VARTYPE type) {
  switch (type) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_UI1:
    case VT_UI4:
    case VT_BOOL:
    case VT_BSTR:
    case VT_UNKNOWN:
      return true;
    default:
      return (type & VT_ARRAY) != 0;
  }
}

}  // namespace

void VariantInit(VARIANT* value) {
  if (value == nullptr) return;
  value->vt = VT_EMPTY;
  value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
  value->llVal = 0;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  if (!Known(value->vt)) return DISP_E_BADVARTYPE;
  if (value->vt == VT_BSTR) {
    SysFreeString(value->bstrVal);
  } else if (value->vt == VT_UNKNOWN) {
    if (value->punkVal != nullptr) value->punkVal->Release();
  } else if ((value->vt & VT_ARRAY) != 0) {
    const HRESULT result = SafeArrayDestroy(value->parray);
    if (FAILED(result)) return result;
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (!Known(source->vt)) return DISP_E_BADVARTYPE;
  if (target == source) return S_OK;
  HRESULT result = VariantClear(target);
  if (FAILED(result)) return result;
  VARIANT copy = *source;
  if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if (source->vt == VT_UNKNOWN) {
    if (copy.punkVal != nullptr) copy.punkVal->AddRef();
  } else if ((source->vt & VT_ARRAY) != 0) {
    result = SafeArrayCopy(source->parray, &copy.parray);
    if (FAILED(result)) return result;
  }
  *target = copy;
  return S_OK;
}
