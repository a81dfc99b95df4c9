#include "platform/media/base/source.h"

#include <algorithm>
#include <chrono>
#include <thread>

CSource::CSource(const TCHAR* name, LPUNKNOWN outer, CLSID clsid, HRESULT* result)
    : CBaseFilter(name, outer, &m_cStateLock, clsid, result) {}

CSource::~CSource() {
  // Each pin's destructor removes it from the list.
  while (!m_paStreams.empty()) delete m_paStreams.back();
}

int CSource::GetPinCount() {
  CAutoLock lock(&m_cStateLock);
  return static_cast<int>(m_paStreams.size());
}

CBasePin* CSource::GetPin(int index) {
  CAutoLock lock(&m_cStateLock);
  if (index < 0 || index >= static_cast<int>(m_paStreams.size())) return nullptr;
  return m_paStreams[static_cast<size_t>(index)];
}

HRESULT CSource::AddPin(CSourceStream* pin) {
  CAutoLock lock(&m_cStateLock);
  m_paStreams.push_back(pin);
  IncrementPinVersion();
  return S_OK;
}

HRESULT CSource::RemovePin(CSourceStream* pin) {
  CAutoLock lock(&m_cStateLock);
  const auto found = std::find(m_paStreams.begin(), m_paStreams.end(), pin);
  if (found == m_paStreams.end()) return S_FALSE;
  m_paStreams.erase(found);
  IncrementPinVersion();
  return S_OK;
}

int CSource::FindPinNumber(IPin* pin) {
  CAutoLock lock(&m_cStateLock);
  for (size_t i = 0; i < m_paStreams.size(); ++i) {
    if (static_cast<IPin*>(m_paStreams[i]) == pin) return static_cast<int>(i);
  }
  return -1;
}

HRESULT CSource::Stop() { return ChangeState(State_Stopped, 0); }
HRESULT CSource::Pause() { return ChangeState(State_Paused, 0); }
HRESULT CSource::Run(REFERENCE_TIME start) { return ChangeState(State_Running, start); }

HRESULT CSource::ChangeState(FILTER_STATE target, REFERENCE_TIME start) {
  CAutoLock serial(&stateChange_);
  std::vector<CSourceStream*> pins;
  FILTER_STATE from;
  {
    CAutoLock lock(&m_cStateLock);
    pins = m_paStreams;
    from = m_State;
  }
  HRESULT result = S_OK;
  if (target == State_Stopped) {
    if (from != State_Stopped) {
      // The state changes first, so the threads see it while they stop.
      {
        CAutoLock lock(&m_cStateLock);
        m_State = State_Stopped;
      }
      for (CSourceStream* pin : pins) {
        if (!pin->IsConnected()) continue;
        const HRESULT inactive = pin->Inactive();
        if (FAILED(inactive) && SUCCEEDED(result)) result = inactive;
      }
    }
    return result;
  }
  if (from == State_Stopped) {
    for (CSourceStream* pin : pins) {
      if (!pin->IsConnected()) continue;
      result = pin->Active();
      if (FAILED(result)) return result;
    }
  }
  CAutoLock lock(&m_cStateLock);
  if (target == State_Running) {
    m_tStart = start;
    if (from != State_Running) {
      for (CSourceStream* pin : pins) {
        if (pin->IsConnected()) static_cast<CBasePin*>(pin)->Run(start);
      }
    }
  }
  m_State = target;
  return S_OK;
}

CSourceStream::CSourceStream(const TCHAR* objectName, HRESULT* result, CSource* filter,
                             LPCWSTR pinName)
    : CBaseOutputPin(objectName, filter, filter->pStateLock(), result, pinName),
      m_pFilter(filter) {
  filter->AddPin(this);
}

CSourceStream::~CSourceStream() { m_pFilter->RemovePin(this); }

HRESULT CSourceStream::Active() {
  {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!IsConnected()) return S_OK;
    const HRESULT committed = CBaseOutputPin::Active();
    if (FAILED(committed)) return committed;
    if (ThreadExists()) return E_UNEXPECTED;
  }
  if (!Create()) return E_FAIL;
  const HRESULT initialised = Init();
  if (FAILED(initialised)) {
    Close();
    return initialised;
  }
  return Pause();
}

HRESULT CSourceStream::Inactive() {
  HRESULT result;
  {
    CAutoLock lock(m_pFilter->pStateLock());
    if (!IsConnected()) return S_OK;
    // Decommitting first frees a worker waiting for a buffer.
    result = CBaseOutputPin::Inactive();
  }
  if (ThreadExists()) {
    Stop();
    Exit();
    Close();
  }
  return result;
}

HRESULT CSourceStream::CheckMediaType(const CMediaType* type) {
  CAutoLock lock(m_pFilter->pStateLock());
  CMediaType mine;
  if (FAILED(GetMediaType(&mine))) return E_INVALIDARG;
  return mine == *type ? S_OK : E_INVALIDARG;
}

HRESULT CSourceStream::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  return GetMediaType(type);
}

HRESULT CSourceStream::GetMediaType(CMediaType* /*type*/) { return E_UNEXPECTED; }

BOOL CSourceStream::CheckRequest(Command* command) {
  DWORD request = 0;
  const BOOL pending = CAMThread::CheckRequest(&request);
  if (pending && command != nullptr) *command = static_cast<Command>(request);
  return pending;
}

DWORD CSourceStream::ThreadProc() {
  Command command;
  do {
    command = GetRequest();
    if (command != CMD_INIT) Reply(static_cast<DWORD>(E_UNEXPECTED));
  } while (command != CMD_INIT);

  HRESULT result = OnThreadCreate();
  if (FAILED(result)) {
    OnThreadDestroy();
    Reply(static_cast<DWORD>(result));
    return 1;
  }
  Reply(S_OK);

  do {
    command = GetRequest();
    switch (command) {
      case CMD_EXIT:
        Reply(S_OK);
        break;
      case CMD_RUN:
      case CMD_PAUSE:
        Reply(S_OK);
        DoBufferProcessingLoop();
        break;
      case CMD_STOP:
        Reply(S_OK);
        break;
      default:
        Reply(static_cast<DWORD>(E_NOTIMPL));
        break;
    }
  } while (command != CMD_EXIT);

  OnThreadDestroy();
  return 0;
}

HRESULT CSourceStream::DoBufferProcessingLoop() {
  OnThreadStartPlay();
  Command command;
  do {
    while (!CheckRequest(&command)) {
      IMediaSample* sample = nullptr;
      HRESULT result = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
      if (FAILED(result)) {
        // Decommitted for a stop that is on its way, or starved: look again.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      result = FillBuffer(sample);
      if (result == S_OK) {
        result = Deliver(sample);
        sample->Release();
        // Downstream refused or failed: it reports its own errors.
        if (result != S_OK) return S_OK;
      } else if (result == S_FALSE) {
        sample->Release();
        DeliverEndOfStream();
        return S_OK;
      } else {
        sample->Release();
        // The error goes to the graph before the end of stream, so the
        // renderer's completion that follows cannot end the application's
        // wait as if the stream had ended well.
        m_pFilter->NotifyEvent(EC_ERRORABORT, result, 0);
        DeliverEndOfStream();
        return result;
      }
    }
    if (command == CMD_RUN || command == CMD_PAUSE) {
      Reply(S_OK);
    } else if (command != CMD_STOP) {
      Reply(static_cast<DWORD>(E_UNEXPECTED));
    }
  } while (command != CMD_STOP);
  return S_FALSE;
}
