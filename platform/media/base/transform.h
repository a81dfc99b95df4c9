// CTransformFilter with its two pins: one input, one output, a new output
// sample for each input sample. The derived filter says which input types
// it takes (CheckInputType), which output types it makes from them
// (CheckTransform, GetMediaType), how large its buffers are
// (DecideBufferSize) and what it does per sample (Transform, or Receive).
//
// Locks: m_csFilter is the filter's lock (state, connections);
// m_csReceive is held while a sample is transformed, not while it is
// delivered downstream.
#pragma once

#include <memory>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"
#include "platform/media/base/position_pass_through.h"

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
 public:
  CTransformInputPin(const TCHAR* objectName, CTransformFilter* filter, HRESULT* result,
                     LPCWSTR pinName);

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  // CheckInputType, and CheckTransform against a connected output.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  // The input pin offers no types of its own.
  HRESULT GetMediaType(int position, CMediaType* type) override;

  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  const CMediaType& CurrentMediaType() const { return m_mt; }

 protected:
  friend class CTransformFilter;
  CTransformFilter* m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
 public:
  CTransformOutputPin(const TCHAR* objectName, CTransformFilter* filter, HRESULT* result,
                      LPCWSTR pinName);

  // IMediaSeeking passes upstream through the filter's input pin, which
  // CreatePins makes before this pin.
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // The input must be connected first (E_UNEXPECTED).
  HRESULT CheckConnect(IPin* pin) override;
  HRESULT BreakConnect() override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  // The filter's output types, known once the input is connected
  // (VFW_E_NOT_CONNECTED before).
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

  const CMediaType& CurrentMediaType() const { return m_mt; }

 protected:
  CTransformFilter* m_pTransformFilter;

 private:
  std::unique_ptr<CPosPassThru> m_pPosition;  // null without an input pin
};

class CTransformFilter : public CBaseFilter {
 public:
  CTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid);
  ~CTransformFilter() override;

  // Makes both pins on the first call (CreatePins may be overridden to
  // make derived pins).
  int GetPinCount() override { return 2; }
  CBasePin* GetPin(int index) override;
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;

  // Stop: decommits the allocators (freeing a thread blocked in them),
  // waits for a sample in progress, then StopStreaming. Pause from stopped:
  // StartStreaming; without an input connection, end of stream downstream.
  HRESULT Stop() override;
  HRESULT Pause() override;

  // What the derived filter decides.
  virtual HRESULT CheckInputType(const CMediaType* input) = 0;
  virtual HRESULT CheckTransform(const CMediaType* input, const CMediaType* output) = 0;
  virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  // One input sample into one output sample: S_OK delivers it, S_FALSE
  // drops it, an error stops the stream (EC_ERRORABORT).
  virtual HRESULT Transform(IMediaSample* input, IMediaSample* output);

  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  virtual HRESULT CheckConnect(PIN_DIRECTION /*direction*/, IPin* /*pin*/) { return S_OK; }
  virtual HRESULT BreakConnect(PIN_DIRECTION /*direction*/) { return S_OK; }
  // Called after a pin's connection is made (the output's before its
  // allocator is decided). A filter may ask the graph to reconnect the
  // other pin here (ReconnectPin).
  virtual HRESULT CompleteConnect(PIN_DIRECTION /*direction*/, IPin* /*pin*/) { return S_OK; }
  virtual HRESULT SetMediaType(PIN_DIRECTION /*direction*/, const CMediaType* /*type*/) {
    return S_OK;
  }

  // Per sample, on the upstream thread: InitializeOutputSample, Transform,
  // Deliver. Override to do it differently (several outputs per input).
  virtual HRESULT Receive(IMediaSample* sample);
  // Passed downstream.
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  // An output buffer carrying the input's times, media times and flags.
  HRESULT InitializeOutputSample(IMediaSample* input, IMediaSample** output);

  CCritSec* pStateLock() { return &m_csFilter; }

 protected:
  virtual HRESULT CreatePins();

  friend class CTransformInputPin;
  friend class CTransformOutputPin;

  CCritSec m_csFilter;
  CCritSec m_csReceive;
  CTransformInputPin* m_pInput = nullptr;
  CTransformOutputPin* m_pOutput = nullptr;
  std::atomic<BOOL> m_bEOSDelivered{FALSE};
  std::atomic<BOOL> m_bSampleSkipped{FALSE};
};
