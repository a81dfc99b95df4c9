// CBaseRenderer: a filter with one input pin that presents samples. The
// derived renderer says which types it takes (CheckMediaType) and what
// presenting a sample is (DoRenderSample); the base schedules samples on
// the graph's clock and speaks for the filter to the graph.
//
// - Paused, the first sample that arrives is held (OnReceiveFirstSample
//   sees it, as a video renderer shows a still) and the streaming thread
//   waits in Receive until Run, Stop or a flush. Until that sample or the
//   end of stream arrives, GetState answers VFW_S_STATE_INTERMEDIATE and
//   Pause returns S_FALSE.
// - Running with a clock, a sample waits until its presentation time, run
//   start + sample start (or what DueTime says), through
//   IReferenceClock::AdviseTime on an event
//   of platform/sync; a sample without a time, or a graph without a clock,
//   is presented at once. Pausing a running renderer holds the waiting
//   sample again; Stop and a flush release it at once.
// - End of stream after the last sample notifies the graph EC_COMPLETE
//   (the filter as parameter 2) once the filter runs; arriving while paused
//   it waits for Run. Stop and a flush forget it.
//
// Locks: the filter's lock (m_InterfaceLock) guards state changes and is
// taken only briefly by the streaming thread; the waiting sample and the
// stream's flags have their own lock, never held while waiting or while
// presenting.
#pragma once

#include <memory>
#include <mutex>

#include "platform/media/base/filter.h"
#include "platform/media/base/pins.h"
#include "platform/media/base/position_pass_through.h"
#include "platform/sync/sync.h"

class CBaseRenderer;

class CRendererInputPin : public CBaseInputPin {
 public:
  CRendererInputPin(CBaseRenderer* renderer, HRESULT* result, LPCWSTR pinName);

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;  // none of its own
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;

 private:
  CBaseRenderer* m_pRenderer;
};

class CBaseRenderer : public CBaseFilter {
 public:
  CBaseRenderer(REFCLSID clsid, const TCHAR* name, LPUNKNOWN outer, HRESULT* result);
  ~CBaseRenderer() override;

  // IMediaSeeking passes upstream (the graph sets its rate through renderers).
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override;

  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  // Waits up to `milliseconds` (on the installed counter) for a pausing
  // renderer's first sample.
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;

  // What the derived renderer decides.
  virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
  // The first sample after a pause from stopped or a flush, as it arrives.
  virtual void OnReceiveFirstSample(IMediaSample* /*sample*/) {}
  // When a sample with these times is due on the run's clock (stream
  // time): its start, where a renderer presents it; a renderer that
  // consumes its samples over their length (a sound renderer without a
  // device) says its end. Called on the streaming thread with the
  // renderer's own lock held: it takes no lock.
  virtual REFERENCE_TIME DueTime(REFERENCE_TIME start, REFERENCE_TIME /*end*/) { return start; }
  virtual HRESULT SetMediaType(const CMediaType* /*type*/) { return S_OK; }
  virtual HRESULT CompleteConnect(IPin* /*receivePin*/) { return S_OK; }
  virtual HRESULT BreakConnect() { return S_OK; }

  // From the pin, on the streaming thread. Receive returns once the sample
  // was presented, or dropped by Stop or a flush.
  virtual HRESULT Receive(IMediaSample* sample);
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();

 protected:
  CCritSec m_InterfaceLock;
  CRendererInputPin* m_pInputPin = nullptr;

 private:
  std::unique_ptr<CPosPassThru> m_pPosition;  // IMediaSeeking, passed upstream
  enum class Step { kRender, kDrop, kWait };
  // With m_RendererLock held: what the waiting sample does now (`timeCame`:
  // the clock signalled), making its clock request once it runs.
  Step NextStepLocked(IMediaSample* sample, bool timeCame);
  void CancelAdviseLocked();
  // Wakes the streaming thread to look at the state again.
  void WakeLocked();
  void SetReadyLocked(bool ready);
  // True when EC_COMPLETE is due now (sent by the caller, unlocked).
  bool TakeCompleteLocked();

  std::mutex m_RendererLock;
  HANDLE m_RenderEvent;  // auto-reset: the clock says the time came
  HANDLE m_StateEvent;   // auto-reset: the state changed, look again
  HANDLE m_ReadyEvent;   // manual-reset: a pause has what it needs
  bool m_bReady = true;
  // Running as the stream sees it: set by Run together with the run's
  // clock and start (m_State turns Running a moment earlier).
  bool m_bRunning = false;
  bool m_bHaveSample = false;     // a sample waits in Receive
  bool m_bFirstSeen = false;      // OnReceiveFirstSample was called
  bool m_bEOS = false;            // end of stream arrived
  bool m_bEOSDelivered = false;   // EC_COMPLETE went to the graph
  bool m_bScheduled = false;      // the waiting sample has a clock request
  ULONG_PTR m_dwAdvise = 0;
  REFERENCE_TIME m_tDue = 0;      // when the scheduled sample is due
  // The clock and start time of the current run, copied at Run (the
  // filter's own are the filter lock's), released at Stop.
  IReferenceClock* m_pRunClock = nullptr;
  REFERENCE_TIME m_tRunStart = 0;
};
