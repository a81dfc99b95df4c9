#include "platform/media/base/allocator.h"

#include <cstdlib>
#include <new>

CBaseAllocator::CBaseAllocator(const TCHAR* name, LPUNKNOWN outer, HRESULT* result)
    : CUnknown(name, outer, result) {}

CBaseAllocator::~CBaseAllocator() {
  // Every sample is back (each one out holds a reference on us).
  while (CMediaSample* sample = PopFree()) delete sample;
}

HRESULT CBaseAllocator::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT CBaseAllocator::SetProperties(ALLOCATOR_PROPERTIES* request,
                                      ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr || actual == nullptr) return E_POINTER;
  std::lock_guard lock(m_lock);
  if (m_bCommitted) return VFW_E_ALREADY_COMMITTED;
  if (m_lAllocated != m_lFreeCount) return VFW_E_BUFFERS_OUTSTANDING;
  const LONG align = request->cbAlign;
  if (align <= 0 || (align & (align - 1)) != 0) return VFW_E_BADALIGN;
  if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) {
    return E_INVALIDARG;
  }
  m_lCount = request->cBuffers;
  m_lSize = request->cbBuffer;
  m_lAlignment = align;
  m_lPrefix = request->cbPrefix;
  m_bChanged = true;
  *actual = *request;
  return S_OK;
}

HRESULT CBaseAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
  if (properties == nullptr) return E_POINTER;
  std::lock_guard lock(m_lock);
  properties->cBuffers = m_lCount;
  properties->cbBuffer = m_lSize;
  properties->cbAlign = m_lAlignment;
  properties->cbPrefix = m_lPrefix;
  return S_OK;
}

HRESULT CBaseAllocator::Commit() {
  std::lock_guard lock(m_lock);
  if (m_bCommitted) return S_OK;
  if (m_lCount <= 0 || m_lSize <= 0) return VFW_E_SIZENOTSET;
  m_bDecommitInProgress = false;
  if (m_bChanged || m_lAllocated == 0) {
    // Samples still out from before a Decommit keep the old memory: wait
    // for them by refusing until they are back.
    if (m_lAllocated != m_lFreeCount) return VFW_E_BUFFERS_OUTSTANDING;
    const HRESULT result = Alloc();
    if (FAILED(result)) return result;
    m_bChanged = false;
  }
  m_bCommitted = true;
  return S_OK;
}

HRESULT CBaseAllocator::Decommit() {
  {
    std::lock_guard lock(m_lock);
    if (!m_bCommitted) return S_OK;
    m_bCommitted = false;
    if (m_lFreeCount == m_lAllocated) {
      Free();
    } else {
      m_bDecommitInProgress = true;
    }
  }
  // Waiters in GetBuffer now fail with VFW_E_NOT_COMMITTED.
  m_sampleReturned.notify_all();
  return S_OK;
}

HRESULT CBaseAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* /*start*/,
                                  REFERENCE_TIME* /*end*/, DWORD flags) {
  if (sample == nullptr) return E_POINTER;
  *sample = nullptr;
  CMediaSample* taken = nullptr;
  {
    std::unique_lock lock(m_lock);
    for (;;) {
      if (!m_bCommitted) return VFW_E_NOT_COMMITTED;
      taken = PopFree();
      if (taken != nullptr) break;
      if ((flags & AM_GBF_NOWAIT) != 0) return VFW_E_TIMEOUT;
      m_sampleReturned.wait(lock);
    }
  }
  // The sample holds the allocator until it comes back.
  NonDelegatingAddRef();
  taken->m_cRef = 1;
  *sample = taken;
  return S_OK;
}

HRESULT CBaseAllocator::ReleaseBuffer(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  {
    std::lock_guard lock(m_lock);
    PushFree(static_cast<CMediaSample*>(sample));
    if (m_bDecommitInProgress && m_lFreeCount == m_lAllocated) {
      m_bDecommitInProgress = false;
      Free();
    }
  }
  m_sampleReturned.notify_one();
  NonDelegatingRelease();  // may delete us: nothing follows
  return S_OK;
}

void CBaseAllocator::PushFree(CMediaSample* sample) {
  sample->m_pNext = m_pFree;
  m_pFree = sample;
  ++m_lFreeCount;
}

CMediaSample* CBaseAllocator::PopFree() {
  CMediaSample* sample = m_pFree;
  if (sample != nullptr) {
    m_pFree = sample->m_pNext;
    sample->m_pNext = nullptr;
    --m_lFreeCount;
  }
  return sample;
}

CMemAllocator::CMemAllocator(const TCHAR* name, LPUNKNOWN outer, HRESULT* result)
    : CBaseAllocator(name, outer, result) {}

CMemAllocator::~CMemAllocator() { ReallyFree(); }

CUnknown* CMemAllocator::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* allocator = new (std::nothrow) CMemAllocator("memory allocator", outer, result);
  if (allocator == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return allocator;
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request,
                                     ALLOCATOR_PROPERTIES* actual) {
  if (request == nullptr || actual == nullptr) return E_POINTER;
  ALLOCATOR_PROPERTIES adjusted = *request;
  const LONG align = adjusted.cbAlign;
  if (align > 0 && (align & (align - 1)) == 0) {
    const LONG whole = adjusted.cbBuffer + adjusted.cbPrefix;
    const LONG rounded = (whole + align - 1) / align * align;
    adjusted.cbBuffer += rounded - whole;
  }
  return CBaseAllocator::SetProperties(&adjusted, actual);
}

HRESULT CMemAllocator::Alloc() {
  // With the lock held and every sample back: replace the old set.
  ReallyFree();
  const size_t unit = static_cast<size_t>(m_lSize) + static_cast<size_t>(m_lPrefix);
  const size_t align = static_cast<size_t>(m_lAlignment);
  const size_t total = unit * static_cast<size_t>(m_lCount);
  const size_t blockAlign = align < alignof(std::max_align_t) ? alignof(std::max_align_t) : align;
  const size_t blockSize = (total + blockAlign - 1) / blockAlign * blockAlign;
  m_pBuffer = static_cast<BYTE*>(std::aligned_alloc(blockAlign, blockSize));
  if (m_pBuffer == nullptr) return E_OUTOFMEMORY;
  for (LONG i = 0; i < m_lCount; ++i) {
    BYTE* start = m_pBuffer + static_cast<size_t>(i) * unit + static_cast<size_t>(m_lPrefix);
    HRESULT result = S_OK;
    auto* sample = new (std::nothrow) CMediaSample("memory sample", this, &result, start, m_lSize);
    if (sample == nullptr) return E_OUTOFMEMORY;
    PushFree(sample);
    ++m_lAllocated;
  }
  return S_OK;
}

void CMemAllocator::ReallyFree() {
  while (CMediaSample* sample = PopFree()) {
    delete sample;
    --m_lAllocated;
  }
  std::free(m_pBuffer);
  m_pBuffer = nullptr;
}
