// The media framework's plain types: times, filter states, pin directions,
// the records pins and filters describe themselves with, allocator
// properties, and AM_MEDIA_TYPE with the task-memory routines that copy and
// free it. The format blocks media types carry are in formats.h.
#pragma once

#include <cstdint>
#include <cstring>

#include "include/win32_types.h"
#include "platform/com/guid.h"
#include "platform/com/hresult.h"
#include "platform/com/task_memory.h"
#include "platform/com/unknown.h"

// Media time in 100-ns units; REFTIME is the automation interfaces' seconds.
typedef LONGLONG REFERENCE_TIME;
typedef double REFTIME;
inline constexpr REFERENCE_TIME UNITS = 10000000;  // 100-ns units a second
inline constexpr REFERENCE_TIME MILLISECONDS = UNITS / 1000;

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr int MAX_PIN_NAME = 128;
inline constexpr int MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

// What IPin::QueryPinInfo fills: the owning filter (counted), the direction
// and the name. The caller releases pFilter.
struct PIN_INFO {
  IBaseFilter* pFilter;
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

// What IBaseFilter::QueryFilterInfo fills: the name the graph gave the filter
// and the graph (counted, null when the filter is in none).
struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;
};

// An allocator's buffers: how many, how large, the alignment of each buffer's
// start and the bytes before it reserved for the producer.
struct ALLOCATOR_PROPERTIES {
  LONG cBuffers;
  LONG cbBuffer;
  LONG cbAlign;
  LONG cbPrefix;
};

// IMemAllocator::GetBuffer flags.
inline constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
inline constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
inline constexpr DWORD AM_GBF_NOWAIT = 4;  // fail with VFW_E_TIMEOUT instead of waiting

// A media type: major type, subtype, sample properties and a format block
// (pbFormat, cbFormat bytes from CoTaskMemAlloc) whose layout formattype
// names. pUnk is unused by our filters and released when the type is freed.
struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

// Frees the format block (and pUnk) of a media type and leaves it without one.
inline void FreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.cbFormat != 0 || type.pbFormat != nullptr) CoTaskMemFree(type.pbFormat);
  type.cbFormat = 0;
  type.pbFormat = nullptr;
  if (type.pUnk != nullptr) {
    type.pUnk->Release();
    type.pUnk = nullptr;
  }
}

// Frees a media type from CoTaskMemAlloc (CreateMediaType, IEnumMediaTypes::
// Next, IMediaSample::GetMediaType) with its format block; null is ignored.
inline void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) return;
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

// Makes `target` a deep copy of `source` (a format block of its own).
// `target` is overwritten as it is; free it first if it holds a block.
// E_OUTOFMEMORY leaves `target` without a format block.
inline HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (target == nullptr || source == nullptr) return E_POINTER;
  *target = *source;
  if (source->cbFormat != 0 && source->pbFormat != nullptr) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
      target->cbFormat = 0;
      target->pUnk = nullptr;
      return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
  } else {
    target->cbFormat = 0;
    target->pbFormat = nullptr;
  }
  if (target->pUnk != nullptr) target->pUnk->AddRef();
  return S_OK;
}

// A copy of `source` in task memory, for DeleteMediaType; null when memory
// runs out.
inline AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  if (source == nullptr) return nullptr;
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) return nullptr;
  if (FAILED(CopyMediaType(type, source))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}
