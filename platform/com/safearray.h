// SAFEARRAY, the counted array a VARIANT carries (VT_ARRAY | type): here
// one-dimensional arrays of plain numbers, as property bags hand out binary
// data (VT_ARRAY | VT_UI1). The array owns its data; SafeArrayDestroy frees
// both, and refuses while the data is locked by SafeArrayAccessData.
#pragma once

#include "include/win32_types.h"
#include "platform/com/com_types.h"
#include "platform/com/hresult.h"
#include "platform/com/vartype.h"

struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};

struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;  // bytes per element
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

inline constexpr USHORT FADF_HAVEVARTYPE = 0x0080;

/* A zero-filled array. Only one dimension and the element types VT_UI1,
 * VT_I2, VT_I4 and VT_UI4; null for anything else or when memory runs out. */
SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dimensions, SAFEARRAYBOUND* bounds);
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements);
/* Frees the array and its data: DISP_E_ARRAYISLOCKED while locked; null
 * is accepted. */
HRESULT SafeArrayDestroy(SAFEARRAY* array);
/* A deep copy in *copy (null for a null array). */
HRESULT SafeArrayCopy(SAFEARRAY* array, SAFEARRAY** copy);
/* Locks the array and hands out its data; each access is undone once. */
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayLock(SAFEARRAY* array);
HRESULT SafeArrayUnlock(SAFEARRAY* array);
/* Bounds of dimension `dimension` (from 1): DISP_E_BADINDEX for another. */
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);
UINT SafeArrayGetDim(SAFEARRAY* array);
UINT SafeArrayGetElemsize(SAFEARRAY* array);
HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* type);
