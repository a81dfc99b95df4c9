#include "platform/com/safearray.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// The array with the element type it was made for, which SAFEARRAY itself
// does not hold.
struct TypedArray {
  VARTYPE type;
  SAFEARRAY array;
};

TypedArray* TypedOf(SAFEARRAY* array) {
  return reinterpret_cast<TypedArray*>(reinterpret_cast<char*>(array) -
                                       offsetof(TypedArray, array));
}

ULONG ElementSize(VARTYPE type) {
  switch (type) {
    case VT_UI1:
      return 1;
    case VT_I2:
      return 2;
    case VT_I4:
    case VT_UI4:
      return 4;
    default:
      return 0;
  }
}

std::atomic_ref<ULONG> Locks(SAFEARRAY* array) { return std::atomic_ref<ULONG>(array->cLocks); }

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dimensions, SAFEARRAYBOUND* bounds) {
  const ULONG size = ElementSize(type);
  if (dimensions != 1 || bounds == nullptr || size == 0) return nullptr;
  const ULONG elements = bounds[0].cElements;
  auto* typed = new (std::nothrow) TypedArray{type, {}};
  if (typed == nullptr) return nullptr;
  typed->array.pvData = std::calloc(elements > 0 ? elements : 1, size);
  if (typed->array.pvData == nullptr) {
    delete typed;
    return nullptr;
  }
  typed->array.cDims = 1;
  typed->array.fFeatures = FADF_HAVEVARTYPE;
  typed->array.cbElements = size;
  typed->array.rgsabound[0] = bounds[0];
  return &typed->array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements) {
  SAFEARRAYBOUND bound{elements, lowerBound};
  return SafeArrayCreate(type, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return S_OK;
  if (Locks(array).load() > 0) return DISP_E_ARRAYISLOCKED;
  std::free(array->pvData);
  delete TypedOf(array);
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy) {
  if (copy == nullptr) return E_INVALIDARG;
  *copy = nullptr;
  if (array == nullptr) return S_OK;
  SAFEARRAY* made = SafeArrayCreate(TypedOf(array)->type, 1, array->rgsabound);
  if (made == nullptr) return E_OUTOFMEMORY;
  std::memcpy(made->pvData, array->pvData,
              size_t{array->rgsabound[0].cElements} * array->cbElements);
  *copy = made;
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  Locks(array).fetch_add(1);
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
  if (array == nullptr) return E_INVALIDARG;
  ULONG locks = Locks(array).load();
  do {
    if (locks == 0) return E_UNEXPECTED;
  } while (!Locks(array).compare_exchange_weak(locks, locks - 1));
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (array == nullptr || data == nullptr) return E_INVALIDARG;
  SafeArrayLock(array);
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) { return SafeArrayUnlock(array); }

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dimension != 1) return DISP_E_BADINDEX;
  *bound = array->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
  if (array == nullptr || bound == nullptr) return E_INVALIDARG;
  if (dimension != 1) return DISP_E_BADINDEX;
  *bound = static_cast<LONG>(static_cast<int64_t>(array->rgsabound[0].lLbound) +
                             array->rgsabound[0].cElements - 1);
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) { return array != nullptr ? array->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* array) { return array != nullptr ? array->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* type) {
  if (array == nullptr || type == nullptr) return E_INVALIDARG;
  *type = TypedOf(array)->type;
  return S_OK;
}
