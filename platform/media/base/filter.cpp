#include "platform/media/base/filter.h"

#include <algorithm>
#include <new>

#include "platform/com/task_memory.h"
#include "platform/media/base/enumerators.h"
#include "platform/media/base/pins.h"
#include "platform/media/registration/filter_setup.h"

namespace {

size_t WideLength(LPCWSTR text) {
  size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

bool WideEqual(LPCWSTR a, LPCWSTR b) {
  while (*a != 0 && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

}  // namespace

CBaseFilter::CBaseFilter(const TCHAR* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid,
                         HRESULT* result)
    : CUnknown(name, outer, result), m_clsid(clsid), m_pLock(lock) {}

CBaseFilter::~CBaseFilter() {
  delete[] m_pName;
  if (m_pClock != nullptr) m_pClock->Release();
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist) {
    return GetInterface(static_cast<IBaseFilter*>(this), object);
  }
  if (iid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), object);
  return CUnknown::NonDelegatingQueryInterface(iid, object);
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = m_clsid;
  return S_OK;
}

HRESULT CBaseFilter::Stop() {
  CAutoLock lock(m_pLock);
  HRESULT result = S_OK;
  if (m_State != State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin->IsConnected()) continue;
      const HRESULT inactive = pin->Inactive();
      if (FAILED(inactive) && SUCCEEDED(result)) result = inactive;
    }
  }
  m_State = State_Stopped;
  return result;
}

HRESULT CBaseFilter::Pause() {
  CAutoLock lock(m_pLock);
  if (m_State == State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin->IsConnected()) continue;
      const HRESULT active = pin->Active();
      if (FAILED(active)) return active;
    }
  }
  m_State = State_Paused;
  return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start) {
  CAutoLock lock(m_pLock);
  m_tStart = start;
  if (m_State == State_Stopped) {
    const HRESULT paused = Pause();
    if (FAILED(paused)) return paused;
  }
  if (m_State != State_Running) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (!pin->IsConnected()) continue;
      const HRESULT run = pin->Run(start);
      if (FAILED(run)) return run;
    }
  }
  m_State = State_Running;
  return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD /*milliseconds*/, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  *state = m_State.load();
  return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock) {
  CAutoLock lock(m_pLock);
  if (clock != nullptr) clock->AddRef();
  if (m_pClock != nullptr) m_pClock->Release();
  m_pClock = clock;
  return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  *clock = m_pClock;
  if (m_pClock != nullptr) m_pClock->AddRef();
  return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins) {
  if (pins == nullptr) return E_POINTER;
  *pins = new (std::nothrow) CEnumPins(this, nullptr);
  return *pins == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (id == nullptr || pin == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin* candidate = GetPin(i);
    if (candidate->Name() != nullptr && WideEqual(candidate->Name(), id)) {
      *pin = candidate;
      candidate->AddRef();
      return S_OK;
    }
  }
  *pin = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (info == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  info->achName[0] = 0;
  if (m_pName != nullptr) {
    const size_t length = std::min<size_t>(WideLength(m_pName), MAX_FILTER_NAME - 1);
    std::copy(m_pName, m_pName + length, info->achName);
    info->achName[length] = 0;
  }
  info->pGraph = m_pGraph;
  if (m_pGraph != nullptr) m_pGraph->AddRef();
  return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(m_pLock);
  m_pGraph = graph;
  m_pSink = nullptr;
  if (graph != nullptr) {
    // Kept uncounted: the graph holds us, and holding it would be a cycle.
    IMediaEventSink* sink = nullptr;
    if (SUCCEEDED(graph->QueryInterface(IID_PPV_ARGS(&sink)))) {
      m_pSink = sink;
      sink->Release();
    }
  }
  delete[] m_pName;
  m_pName = nullptr;
  if (name != nullptr) {
    const size_t length = WideLength(name);
    m_pName = new WCHAR[length + 1];
    std::copy(name, name + length + 1, m_pName);
  }
  return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR* /*vendorInfo*/) { return E_NOTIMPL; }

HRESULT CBaseFilter::Register() {
  const AMOVIESETUP_FILTER* setup = GetSetupData();
  return setup != nullptr ? ksv::media::RegisterFilterWithMapper(*setup) : S_FALSE;
}

HRESULT CBaseFilter::Unregister() {
  const AMOVIESETUP_FILTER* setup = GetSetupData();
  return setup != nullptr ? ksv::media::UnregisterFilterFromMapper(*setup) : S_FALSE;
}

HRESULT CBaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
  IMediaEventSink* sink = m_pSink;
  if (sink == nullptr) return E_NOTIMPL;
  if (code == EC_COMPLETE) param2 = reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this));
  return sink->Notify(code, param1, param2);
}

HRESULT CBaseFilter::ReconnectPin(IPin* pin, const AM_MEDIA_TYPE* /*type*/) {
  IFilterGraph* graph = m_pGraph;
  if (graph == nullptr) return E_NOINTERFACE;
  return graph->Reconnect(pin);
}
