// CBaseFilter: the state machine (stopped, paused, running) with the pins'
// Active/Inactive/Run calls, the reference clock, the graph the filter
// joined with its event sink, and pin lookup. A derived filter supplies its
// pins through GetPinCount and GetPin.
#pragma once

#include <atomic>

#include "platform/media/base/com_base.h"
#include "platform/media/base/sync.h"
#include "platform/media/event_codes.h"
#include "platform/media/graph_interfaces.h"
#include "platform/media/registration_interfaces.h"
#include "platform/media/vfw_errors.h"

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
 public:
  // `lock` is the filter's lock (the pins share it); it must outlive the filter.
  CBaseFilter(const TCHAR* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid,
              HRESULT* result = nullptr);
  ~CBaseFilter() override;

  DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IPersist
  HRESULT GetClassID(CLSID* clsid) override;
  // IMediaFilter. Stop makes connected pins Inactive, Pause from stopped
  // makes them Active, Run pauses first when stopped and then calls the
  // pins' Run with the start time.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT QueryVendorInfo(LPWSTR* vendorInfo) override;
  // IAMovieSetup: the filter in the filter mapper as GetSetupData describes
  // it (S_FALSE, nothing done, for a filter without setup data).
  HRESULT Register() override;
  HRESULT Unregister() override;
  // The filter's registration record (name, merit, pins), when it has one.
  virtual const AMOVIESETUP_FILTER* GetSetupData() { return nullptr; }

  virtual int GetPinCount() = 0;
  virtual CBasePin* GetPin(int index) = 0;
  // Bumped when the set of pins changes, so enumerators notice.
  virtual LONG GetPinVersion() { return m_PinVersion; }
  void IncrementPinVersion() { ++m_PinVersion; }

  // Read without the lock, so a streaming thread may ask while a state
  // change holds it.
  BOOL IsActive() const { return m_State != State_Stopped; }
  BOOL IsStopped() const { return m_State == State_Stopped; }
  // Sends an event to the graph's IMediaEventSink; E_NOTIMPL outside a
  // graph. EC_COMPLETE carries the filter as its second parameter.
  HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
  // Asks the graph to reconnect `pin` (the graph may do it at once or later).
  HRESULT ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* type);
  IFilterGraph* GetFilterGraph() { return m_pGraph; }
  CCritSec* pStateLock() { return m_pLock; }

 protected:
  // Written under the lock; read without it by streaming threads.
  std::atomic<FILTER_STATE> m_State{State_Stopped};
  IReferenceClock* m_pClock = nullptr;  // counted
  REFERENCE_TIME m_tStart = 0;          // stream time 0 on the clock
  CLSID m_clsid;
  CCritSec* m_pLock;
  WCHAR* m_pName = nullptr;         // the name the graph gave us
  IFilterGraph* m_pGraph = nullptr;  // not counted: the graph owns us
  std::atomic<IMediaEventSink*> m_pSink{nullptr};  // not counted, part of the graph
  LONG m_PinVersion = 1;
};
