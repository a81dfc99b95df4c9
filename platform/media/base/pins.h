// The pins: CBasePin (connection and media types), CBaseOutputPin
// (allocator negotiation and delivery) and CBaseInputPin (IMemInputPin:
// receiving samples, end of stream, flushing). A pin shares its filter's
// reference count and lock; the filter owns and deletes it.
#pragma once

#include <atomic>

#include "platform/media/base/allocator.h"
#include "platform/media/base/com_base.h"
#include "platform/media/base/filter.h"
#include "platform/media/base/media_type.h"
#include "platform/media/base/sync.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/sample_interfaces.h"

class CBasePin : public CUnknown, public IPin {
 public:
  CBasePin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
           LPCWSTR pinName, PIN_DIRECTION direction);
  ~CBasePin() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  ULONG NonDelegatingAddRef() override;   // the filter's count
  ULONG NonDelegatingRelease() override;

  // IPin. Connect (output pins only: VFW_E_INVALID_DIRECTION otherwise)
  // tries a fully specified type alone, else the types both pins
  // enumerate that match it (ours first when m_bTryMyTypesFirst).
  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* direction) override;
  HRESULT QueryId(LPWSTR* id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT EndOfStream() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // What derived pins decide.
  virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
  // Type `position` the pin prefers: S_OK, VFW_S_NO_MORE_ITEMS past the
  // last, or an error (E_UNEXPECTED unless overridden).
  virtual HRESULT GetMediaType(int position, CMediaType* type);
  virtual HRESULT SetMediaType(const CMediaType* type);
  // The other pin is suitable (the base checks its direction).
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT CompleteConnect(IPin* receivePin);
  // Undoes CheckConnect and what followed, on failure and on Disconnect.
  virtual HRESULT BreakConnect();
  virtual LONG GetMediaTypeVersion() { return m_TypeVersion; }
  void IncrementTypeVersion() { ++m_TypeVersion; }

  // Streaming state changes, called by the filter on connected pins.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }
  virtual HRESULT Run(REFERENCE_TIME start);

  BOOL IsConnected() const { return m_Connected != nullptr; }
  IPin* GetConnected() const { return m_Connected; }
  BOOL IsStopped() { return m_pFilter->IsStopped(); }
  LPCWSTR Name() const { return m_pName; }
  const CMediaType& CurrentMediaType() const { return m_mt; }
  REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
  REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
  double CurrentRate() const { return m_dRate; }

 protected:
  // One attempt with one type: our checks, then the other pin's.
  HRESULT AttemptConnection(IPin* receivePin, const CMediaType* type);
  HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* type);
  HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types,
                        bool ours, bool* attempted, HRESULT* ownError);
  HRESULT DisconnectInternal();

  WCHAR* m_pName;
  IPin* m_Connected = nullptr;  // counted
  PIN_DIRECTION m_dir;
  CCritSec* m_pLock;
  std::atomic<BOOL> m_bRunTimeError{FALSE};
  BOOL m_bCanReconnectWhenActive = FALSE;
  BOOL m_bTryMyTypesFirst = FALSE;
  CBaseFilter* m_pFilter;
  LONG m_TypeVersion = 1;
  CMediaType m_mt;  // the connection's type
  REFERENCE_TIME m_tStart = 0;  // the current segment
  REFERENCE_TIME m_tStop = 0x7FFFFFFFFFFFFFFF;
  double m_dRate = 1.0;
};

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                 LPCWSTR pinName);
  ~CBaseOutputPin() override;

  // The partner must be an input pin with IMemInputPin.
  HRESULT CheckConnect(IPin* pin) override;
  // Decides the allocator.
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  // Commits / decommits the allocator (Decommit wakes a GetDeliveryBuffer).
  HRESULT Active() override;
  HRESULT Inactive() override;

  // The input pin's allocator, sized by DecideBufferSize, else one of ours
  // (InitAllocator); the input pin is told with NotifyAllocator.
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
  // Calls SetProperties and checks what was granted (it may be less).
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT InitAllocator(IMemAllocator** allocator);
  virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                    REFERENCE_TIME* end, DWORD flags);
  // Pushes to the connected input pin; no lock of ours is held.
  virtual HRESULT Deliver(IMediaSample* sample);
  virtual HRESULT DeliverEndOfStream();
  virtual HRESULT DeliverBeginFlush();
  virtual HRESULT DeliverEndFlush();
  virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // Stream control never arrives at an output pin.
  HRESULT EndOfStream() override { return E_UNEXPECTED; }
  HRESULT BeginFlush() override { return E_UNEXPECTED; }
  HRESULT EndFlush() override { return E_UNEXPECTED; }

 protected:
  IMemAllocator* m_pAllocator = nullptr;  // counted
  IMemInputPin* m_pInputPin = nullptr;    // counted
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                LPCWSTR pinName);
  ~CBaseInputPin() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IMemInputPin
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
  // Checks the stream may flow (CheckStreaming) and a changed type; derived
  // pins call it first and then process the sample.
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
  HRESULT ReceiveCanBlock() override;

  // Stream control: end of stream marks the stream ended (later samples are
  // refused); a flush refuses samples until it ends.
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // S_OK when a sample may be received now: VFW_E_NOT_CONNECTED,
  // VFW_E_WRONG_STATE when stopped, S_FALSE while flushing,
  // VFW_E_SAMPLE_REJECTED_EOS after end of stream, VFW_E_RUNTIME_ERROR
  // after a run-time error.
  virtual HRESULT CheckStreaming();
  BOOL IsFlushing() const { return m_bFlushing; }
  BOOL IsReadOnly() const { return m_bReadOnly; }

 protected:
  IMemAllocator* m_pAllocator = nullptr;  // counted
  BOOL m_bReadOnly = FALSE;
  std::atomic<BOOL> m_bFlushing{FALSE};
  std::atomic<BOOL> m_bAtEndOfStream{FALSE};
};
