// Samples and the allocators that pool them. CBaseAllocator keeps a free
// list of CMediaSample objects made once at Commit; GetBuffer takes one
// (waiting while none is free), a sample's last Release puts it back.
// CMemAllocator backs the samples with one block of memory that survives
// Decommit, so a graph that stops and runs again allocates nothing.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/media/base/com_base.h"
#include "platform/media/base/sync.h"
#include "platform/media/sample_interfaces.h"
#include "platform/media/vfw_errors.h"

// Sample flags.
inline constexpr DWORD AM_SAMPLE_SPLICEPOINT = 0x1;
inline constexpr DWORD AM_SAMPLE_PREROLL = 0x2;
inline constexpr DWORD AM_SAMPLE_DATADISCONTINUITY = 0x4;
inline constexpr DWORD AM_SAMPLE_TYPECHANGED = 0x8;
inline constexpr DWORD AM_SAMPLE_TIMEVALID = 0x10;
inline constexpr DWORD AM_SAMPLE_STOPVALID = 0x100;

class CBaseAllocator;

class CMediaSample : public IMediaSample {
 public:
  CMediaSample(const TCHAR* name, CBaseAllocator* allocator, HRESULT* result,
               BYTE* buffer = nullptr, LONG length = 0);
  virtual ~CMediaSample();
  CMediaSample(const CMediaSample&) = delete;
  CMediaSample& operator=(const CMediaSample&) = delete;

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  // The last release clears the flags and times and hands the sample back
  // to its allocator.
  ULONG Release() override;

  HRESULT SetPointer(BYTE* buffer, LONG length);
  HRESULT GetPointer(BYTE** buffer) override;
  LONG GetSize() override;
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT IsSyncPoint() override;
  HRESULT SetSyncPoint(BOOL syncPoint) override;
  HRESULT IsPreroll() override;
  HRESULT SetPreroll(BOOL preroll) override;
  LONG GetActualDataLength() override;
  HRESULT SetActualDataLength(LONG length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT IsDiscontinuity() override;
  HRESULT SetDiscontinuity(BOOL discontinuity) override;
  HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
  HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

 protected:
  friend class CBaseAllocator;

  DWORD m_dwFlags = 0;
  BYTE* m_pBuffer;
  LONG m_lActual = 0;
  LONG m_cbBuffer;
  CBaseAllocator* m_pAllocator;
  CMediaSample* m_pNext = nullptr;  // the allocator's free list
  REFERENCE_TIME m_Start = 0;
  REFERENCE_TIME m_End = 0;
  LONGLONG m_MediaStart = 0;
  LONGLONG m_MediaEnd = 0;
  bool m_bMediaTimeValid = false;
  AM_MEDIA_TYPE* m_pMediaType = nullptr;
  std::atomic<LONG> m_cRef{0};
};

class CBaseAllocator : public CUnknown, public IMemAllocator {
 public:
  CBaseAllocator(const TCHAR* name, LPUNKNOWN outer, HRESULT* result);
  ~CBaseAllocator() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                    DWORD flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

 protected:
  // Makes the samples for the current properties (called by Commit, with
  // the lock held, when the properties changed or nothing is allocated).
  virtual HRESULT Alloc() = 0;
  // Called when the allocator is decommitted and every sample is back.
  virtual void Free() = 0;

  // The free list, and the samples that exist (free or out).
  void PushFree(CMediaSample* sample);
  CMediaSample* PopFree();
  LONG FreeCount() const { return m_lFreeCount; }

  std::mutex m_lock;
  std::condition_variable m_sampleReturned;
  CMediaSample* m_pFree = nullptr;
  LONG m_lFreeCount = 0;
  LONG m_lAllocated = 0;  // samples in existence
  LONG m_lCount = 0;      // granted properties
  LONG m_lSize = 0;
  LONG m_lAlignment = 0;
  LONG m_lPrefix = 0;
  bool m_bChanged = false;  // properties changed since the last Alloc
  bool m_bCommitted = false;
  bool m_bDecommitInProgress = false;
};

class CMemAllocator : public CBaseAllocator {
 public:
  CMemAllocator(const TCHAR* name, LPUNKNOWN outer, HRESULT* result);
  ~CMemAllocator() override;
  static CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* result);

  // Grants what is asked, each buffer's size rounded up so that buffer and
  // prefix fill whole alignment units.
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;

 protected:
  HRESULT Alloc() override;
  void Free() override {}  // memory stays for the next Commit
  void ReallyFree();

  BYTE* m_pBuffer = nullptr;
};
