#include "platform/media/base/allocator.h"

#include "platform/media/media_types.h"

CMediaSample::CMediaSample(const TCHAR* /*name*/, CBaseAllocator* allocator, HRESULT* result,
                           BYTE* buffer, LONG length)
    : m_pBuffer(buffer), m_cbBuffer(length), m_pAllocator(allocator) {
  if (result != nullptr && allocator == nullptr) *result = E_POINTER;
}

CMediaSample::~CMediaSample() { DeleteMediaType(m_pMediaType); }

HRESULT CMediaSample::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IMediaSample || iid == IID_IUnknown) {
    *object = static_cast<IMediaSample*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return static_cast<ULONG>(++m_cRef); }

ULONG CMediaSample::Release() {
  const LONG left = --m_cRef;
  if (left == 0) {
    // Whoever takes it next starts from a clean sample.
    m_dwFlags = 0;
    m_bMediaTimeValid = false;
    m_lActual = m_cbBuffer;
    if (m_pMediaType != nullptr) {
      DeleteMediaType(m_pMediaType);
      m_pMediaType = nullptr;
    }
    m_pAllocator->ReleaseBuffer(this);
  }
  return static_cast<ULONG>(left);
}

HRESULT CMediaSample::SetPointer(BYTE* buffer, LONG length) {
  if (length < 0) return VFW_E_BUFFER_OVERFLOW;
  m_pBuffer = buffer;
  m_cbBuffer = length;
  m_lActual = length;
  return S_OK;
}

HRESULT CMediaSample::GetPointer(BYTE** buffer) {
  if (buffer == nullptr) return E_POINTER;
  *buffer = m_pBuffer;
  return S_OK;
}

LONG CMediaSample::GetSize() { return m_cbBuffer; }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (start == nullptr || end == nullptr) return E_POINTER;
  if ((m_dwFlags & AM_SAMPLE_TIMEVALID) == 0) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = m_Start;
  if ((m_dwFlags & AM_SAMPLE_STOPVALID) == 0) {
    *end = m_Start + 1;
    return VFW_S_NO_STOP_TIME;
  }
  *end = m_End;
  return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (start == nullptr) {
    m_dwFlags &= ~(AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID);
    return S_OK;
  }
  m_Start = *start;
  m_dwFlags |= AM_SAMPLE_TIMEVALID;
  if (end == nullptr) {
    m_dwFlags &= ~AM_SAMPLE_STOPVALID;
  } else {
    m_End = *end;
    m_dwFlags |= AM_SAMPLE_STOPVALID;
  }
  return S_OK;
}

namespace {
HRESULT Flag(DWORD flags, DWORD flag) { return (flags & flag) != 0 ? S_OK : S_FALSE; }
void Assign(DWORD& flags, DWORD flag, BOOL on) {
  if (on) {
    flags |= flag;
  } else {
    flags &= ~flag;
  }
}
}  // namespace

HRESULT CMediaSample::IsSyncPoint() { return Flag(m_dwFlags, AM_SAMPLE_SPLICEPOINT); }
HRESULT CMediaSample::SetSyncPoint(BOOL on) {
  Assign(m_dwFlags, AM_SAMPLE_SPLICEPOINT, on);
  return S_OK;
}
HRESULT CMediaSample::IsPreroll() { return Flag(m_dwFlags, AM_SAMPLE_PREROLL); }
HRESULT CMediaSample::SetPreroll(BOOL on) {
  Assign(m_dwFlags, AM_SAMPLE_PREROLL, on);
  return S_OK;
}
HRESULT CMediaSample::IsDiscontinuity() { return Flag(m_dwFlags, AM_SAMPLE_DATADISCONTINUITY); }
HRESULT CMediaSample::SetDiscontinuity(BOOL on) {
  Assign(m_dwFlags, AM_SAMPLE_DATADISCONTINUITY, on);
  return S_OK;
}

LONG CMediaSample::GetActualDataLength() { return m_lActual; }

HRESULT CMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > m_cbBuffer) return VFW_E_BUFFER_OVERFLOW;
  m_lActual = length;
  return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
  if (type == nullptr) return E_POINTER;
  if ((m_dwFlags & AM_SAMPLE_TYPECHANGED) == 0 || m_pMediaType == nullptr) {
    *type = nullptr;
    return S_FALSE;
  }
  *type = CreateMediaType(m_pMediaType);
  return *type == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
  DeleteMediaType(m_pMediaType);
  m_pMediaType = nullptr;
  if (type == nullptr) {
    m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
    return S_OK;
  }
  m_pMediaType = CreateMediaType(type);
  if (m_pMediaType == nullptr) {
    m_dwFlags &= ~AM_SAMPLE_TYPECHANGED;
    return E_OUTOFMEMORY;
  }
  m_dwFlags |= AM_SAMPLE_TYPECHANGED;
  return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
  if (start == nullptr || end == nullptr) return E_POINTER;
  if (!m_bMediaTimeValid) return VFW_E_MEDIA_TIME_NOT_SET;
  *start = m_MediaStart;
  *end = m_MediaEnd;
  return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
  if (start == nullptr) {
    m_bMediaTimeValid = false;
    return S_OK;
  }
  if (end == nullptr) return E_POINTER;
  m_MediaStart = *start;
  m_MediaEnd = *end;
  m_bMediaTimeValid = true;
  return S_OK;
}
