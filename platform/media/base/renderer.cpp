#include "platform/media/base/renderer.h"

#include <new>

// ---- CRendererInputPin

CRendererInputPin::CRendererInputPin(CBaseRenderer* renderer, HRESULT* result, LPCWSTR pinName)
    : CBaseInputPin("renderer input", renderer, renderer->pStateLock(), result, pinName),
      m_pRenderer(renderer) {}

HRESULT CRendererInputPin::CheckMediaType(const CMediaType* type) {
  return m_pRenderer->CheckMediaType(type);
}

HRESULT CRendererInputPin::GetMediaType(int position, CMediaType* /*type*/) {
  return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CRendererInputPin::SetMediaType(const CMediaType* type) {
  const HRESULT result = CBaseInputPin::SetMediaType(type);
  if (FAILED(result)) return result;
  return m_pRenderer->SetMediaType(type);
}

HRESULT CRendererInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = m_pRenderer->CompleteConnect(receivePin);
  if (FAILED(result)) return result;
  return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CRendererInputPin::BreakConnect() {
  m_pRenderer->BreakConnect();
  return CBaseInputPin::BreakConnect();
}

HRESULT CRendererInputPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  return m_pRenderer->Receive(sample);
}

HRESULT CRendererInputPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result != S_OK) return result;
  return m_pRenderer->EndOfStream();
}

HRESULT CRendererInputPin::BeginFlush() {
  CBaseInputPin::BeginFlush();
  return m_pRenderer->BeginFlush();
}

HRESULT CRendererInputPin::EndFlush() {
  m_pRenderer->EndFlush();
  return CBaseInputPin::EndFlush();
}

// ---- CBaseRenderer

CBaseRenderer::CBaseRenderer(REFCLSID clsid, const TCHAR* name, LPUNKNOWN outer, HRESULT* result)
    : CBaseFilter(name, outer, &m_InterfaceLock, clsid, result),
      m_RenderEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_StateEvent(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_ReadyEvent(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
  HRESULT made = S_OK;
  m_pInputPin = new (std::nothrow) CRendererInputPin(this, &made, u"In");
  if (m_pInputPin == nullptr) made = E_OUTOFMEMORY;
  if (m_pInputPin != nullptr) {
    m_pPosition.reset(
        new (std::nothrow) CPosPassThru("renderer position", GetOwner(), m_pInputPin));
    if (m_pPosition == nullptr) made = E_OUTOFMEMORY;
  }
  if (m_RenderEvent == nullptr || m_StateEvent == nullptr || m_ReadyEvent == nullptr) {
    made = E_OUTOFMEMORY;
  }
  if (result != nullptr && FAILED(made)) *result = made;
}

CBaseRenderer::~CBaseRenderer() {
  m_pPosition.reset();  // before the pin it passes through
  delete m_pInputPin;
  if (m_pRunClock != nullptr) m_pRunClock->Release();
  CloseHandle(m_RenderEvent);
  CloseHandle(m_StateEvent);
  CloseHandle(m_ReadyEvent);
}

HRESULT CBaseRenderer::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMediaSeeking && m_pPosition != nullptr) {
    return m_pPosition->NonDelegatingQueryInterface(iid, object);
  }
  return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

CBasePin* CBaseRenderer::GetPin(int index) { return index == 0 ? m_pInputPin : nullptr; }

void CBaseRenderer::WakeLocked() { SetEvent(m_StateEvent); }

void CBaseRenderer::SetReadyLocked(bool ready) {
  if (ready == m_bReady) return;  // the event says so already (saves a call per sample)
  m_bReady = ready;
  if (ready) {
    SetEvent(m_ReadyEvent);
  } else {
    ResetEvent(m_ReadyEvent);
  }
}

void CBaseRenderer::CancelAdviseLocked() {
  if (!m_bScheduled) return;
  // A signal racing the cancel may still come; the next request resets
  // the event first, and a wake-up before the due time is checked.
  m_pRunClock->Unadvise(m_dwAdvise);
  m_bScheduled = false;
}

bool CBaseRenderer::TakeCompleteLocked() {
  if (!m_bEOS || m_bEOSDelivered || m_bHaveSample || !m_bRunning) return false;
  m_bEOSDelivered = true;
  return true;
}

HRESULT CBaseRenderer::Stop() {
  CAutoLock lock(&m_InterfaceLock);
  const HRESULT result = CBaseFilter::Stop();
  std::lock_guard guard(m_RendererLock);
  m_bRunning = false;
  m_bEOS = false;
  m_bEOSDelivered = false;
  CancelAdviseLocked();
  if (m_pRunClock != nullptr) {
    m_pRunClock->Release();
    m_pRunClock = nullptr;
  }
  SetReadyLocked(true);
  WakeLocked();  // a waiting sample is dropped at once
  return result;
}

HRESULT CBaseRenderer::Pause() {
  CAutoLock lock(&m_InterfaceLock);
  const FILTER_STATE from = m_State;
  const HRESULT result = CBaseFilter::Pause();
  if (FAILED(result)) return result;
  std::lock_guard guard(m_RendererLock);
  m_bRunning = false;
  if (from == State_Stopped) {
    m_bEOS = false;
    m_bEOSDelivered = false;
    m_bFirstSeen = false;
  }
  // Paused is complete with a sample to show, or with nothing to come.
  SetReadyLocked(!m_pInputPin->IsConnected() || m_bEOS || m_bHaveSample);
  WakeLocked();  // a sample scheduled while running waits again
  return m_bReady ? S_OK : S_FALSE;
}

HRESULT CBaseRenderer::Run(REFERENCE_TIME start) {
  bool complete = false;
  HRESULT result;
  {
    CAutoLock lock(&m_InterfaceLock);
    result = CBaseFilter::Run(start);
    if (FAILED(result)) return result;
    std::lock_guard guard(m_RendererLock);
    if (m_pClock != nullptr) m_pClock->AddRef();
    if (m_pRunClock != nullptr) m_pRunClock->Release();
    m_pRunClock = m_pClock;
    m_tRunStart = start;
    m_bRunning = true;
    complete = TakeCompleteLocked();
    WakeLocked();
  }
  if (complete) NotifyEvent(EC_COMPLETE, S_OK, 0);
  return result;
}

HRESULT CBaseRenderer::GetState(DWORD milliseconds, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  {
    CAutoLock lock(&m_InterfaceLock);
    *state = m_State.load();
    if (*state != State_Paused) return S_OK;
  }
  // Waited for without the lock: the sample that ends the wait needs it.
  return WaitForSingleObject(m_ReadyEvent, milliseconds) == WAIT_OBJECT_0
             ? S_OK
             : VFW_S_STATE_INTERMEDIATE;
}

CBaseRenderer::Step CBaseRenderer::NextStepLocked(IMediaSample* sample, bool timeCame) {
  if (m_State == State_Stopped || m_pInputPin->IsFlushing()) return Step::kDrop;
  if (!m_bRunning) {  // paused, or Run has not yet handed over its clock
    CancelAdviseLocked();
    return Step::kWait;
  }
  if (m_bScheduled) {
    if (!timeCame) return Step::kWait;
    REFERENCE_TIME now = 0;
    m_pRunClock->GetTime(&now);
    return now >= m_tDue ? Step::kRender : Step::kWait;
  }
  REFERENCE_TIME start = 0;
  REFERENCE_TIME end = 0;
  if (m_pRunClock == nullptr || FAILED(sample->GetTime(&start, &end))) return Step::kRender;
  const REFERENCE_TIME due = DueTime(start, end);
  ResetEvent(m_RenderEvent);
  if (FAILED(m_pRunClock->AdviseTime(m_tRunStart, due, ClockHandleOf(m_RenderEvent),
                                     &m_dwAdvise))) {
    return Step::kRender;  // a time the clock cannot wait for is already due
  }
  m_tDue = m_tRunStart + due;
  m_bScheduled = true;
  return Step::kWait;
}

HRESULT CBaseRenderer::Receive(IMediaSample* sample) {
  bool first = false;
  {
    std::lock_guard guard(m_RendererLock);
    if (m_State == State_Stopped) return VFW_E_WRONG_STATE;
    if (m_pInputPin->IsFlushing()) return S_FALSE;
    m_bHaveSample = true;
    first = !m_bFirstSeen;
    m_bFirstSeen = true;
  }
  if (first) OnReceiveFirstSample(sample);
  {
    // Seen (and shown as a still, if the renderer does that): a pause is complete.
    std::lock_guard guard(m_RendererLock);
    SetReadyLocked(true);
  }
  Step step = Step::kWait;
  bool timeCame = false;
  for (;;) {
    {
      std::lock_guard guard(m_RendererLock);
      step = NextStepLocked(sample, timeCame);
      if (step != Step::kWait) {
        CancelAdviseLocked();
        m_bHaveSample = false;
        break;
      }
    }
    const HANDLE events[] = {m_RenderEvent, m_StateEvent};
    timeCame = WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0;
  }
  if (step == Step::kDrop) return m_State == State_Stopped ? VFW_E_WRONG_STATE : S_FALSE;
  return DoRenderSample(sample);
}

HRESULT CBaseRenderer::EndOfStream() {
  bool complete = false;
  {
    std::lock_guard guard(m_RendererLock);
    if (m_State == State_Stopped || m_pInputPin->IsFlushing()) return S_OK;
    m_bEOS = true;
    SetReadyLocked(true);  // nothing more will come: a pause is complete
    complete = TakeCompleteLocked();
  }
  if (complete) NotifyEvent(EC_COMPLETE, S_OK, 0);
  return S_OK;
}

HRESULT CBaseRenderer::BeginFlush() {
  std::lock_guard guard(m_RendererLock);
  m_bEOS = false;
  m_bEOSDelivered = false;
  CancelAdviseLocked();
  WakeLocked();  // the waiting sample is dropped at once
  return S_OK;
}

HRESULT CBaseRenderer::EndFlush() {
  std::lock_guard guard(m_RendererLock);
  m_bFirstSeen = false;
  // A paused renderer waits for a new sample again.
  if (m_State == State_Paused && !m_bHaveSample) SetReadyLocked(false);
  return S_OK;
}
