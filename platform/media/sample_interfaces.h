// Samples and the allocators that own them, and the input pin's transport
// interface (IMemInputPin) over which an output pin pushes them.
#pragma once

#include "platform/com/unknown.h"
#include "platform/media/media_types.h"

// One buffer of media data with its times and flags. A sample goes back to
// its allocator's pool when its last reference is released.
struct IMediaSample : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A8689A-0AD4-11CE-B03A-0020AF0BA770");

  virtual HRESULT GetPointer(BYTE** buffer) = 0;
  virtual LONG GetSize() = 0;
  // VFW_E_SAMPLE_TIME_NOT_SET when no time was set; VFW_S_NO_STOP_TIME
  // (start only) when only the start was.
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
  // Null `start` clears the times; null `end` sets the start alone.
  virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
  // The flags answer S_OK when set and S_FALSE when not.
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL syncPoint) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL preroll) = 0;
  virtual LONG GetActualDataLength() = 0;
  // VFW_E_BUFFER_OVERFLOW when `length` exceeds the buffer.
  virtual HRESULT SetActualDataLength(LONG length) = 0;
  // A changed media type travelling with this sample (S_FALSE and null when
  // none); the caller frees it with DeleteMediaType.
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
  // Media times (frame or byte positions); VFW_E_MEDIA_TIME_NOT_SET.
  virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) = 0;

 protected:
  ~IMediaSample() = default;
};

// A pool of samples. SetProperties may grant other properties than asked;
// the caller must look at what was granted. Buffers exist between Commit and
// Decommit; GetBuffer waits for a free sample.
struct IMemAllocator : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A8689C-0AD4-11CE-B03A-0020AF0BA770");

  // VFW_E_ALREADY_COMMITTED while committed, VFW_E_BUFFERS_OUTSTANDING
  // while samples are out, VFW_E_BADALIGN for an alignment that is not a
  // power of two.
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
  virtual HRESULT Commit() = 0;
  // Outstanding samples stay valid; their memory goes when the last returns.
  virtual HRESULT Decommit() = 0;
  // A free sample (counted), waiting for one unless AM_GBF_NOWAIT;
  // VFW_E_NOT_COMMITTED when not committed or decommitted while waiting.
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                            DWORD flags) = 0;
  // Called by a sample on its last Release.
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

 protected:
  ~IMemAllocator() = default;
};

struct IMemInputPin : IUnknown {
  static constexpr IID kIid = ksv::com::Guid("56A8689D-0AD4-11CE-B03A-0020AF0BA770");

  // The pin's preferred allocator (VFW_E_NO_ALLOCATOR when it has none).
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  // The allocator the output pin chose for this connection.
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
  // The pin's buffer needs (E_NOTIMPL when it has none).
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
  // One sample; S_FALSE asks the sender to stop until the next flush.
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
  // S_OK when Receive may block, S_FALSE when it never does.
  virtual HRESULT ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};

inline constexpr IID IID_IMediaSample = IMediaSample::kIid;
inline constexpr IID IID_IMemAllocator = IMemAllocator::kIid;
inline constexpr IID IID_IMemInputPin = IMemInputPin::kIid;
