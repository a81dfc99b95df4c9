// CBaseInputPin: the receiving end of IMemInputPin.
#include "platform/media/base/pins.h"

CBaseInputPin::CBaseInputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* result, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, result, pinName, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
  if (m_pAllocator != nullptr) m_pAllocator->Release();
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), object);
  return CBasePin::NonDelegatingQueryInterface(iid, object);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  if (m_pAllocator == nullptr) {
    HRESULT result = S_OK;
    CUnknown* created = CMemAllocator::CreateInstance(nullptr, &result);
    if (created == nullptr) return FAILED(result) ? result : E_OUTOFMEMORY;
    created->NonDelegatingAddRef();
    result = created->NonDelegatingQueryInterface(IID_IMemAllocator,
                                                  reinterpret_cast<void**>(&m_pAllocator));
    created->NonDelegatingRelease();
    if (FAILED(result)) return result;
  }
  *allocator = m_pAllocator;
  m_pAllocator->AddRef();
  return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (allocator == nullptr) return E_POINTER;
  CAutoLock lock(m_pLock);
  allocator->AddRef();
  if (m_pAllocator != nullptr) m_pAllocator->Release();
  m_pAllocator = allocator;
  m_bReadOnly = readOnly;
  return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* /*properties*/) {
  return E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (m_bFlushing) return S_FALSE;
  if (m_bAtEndOfStream) return VFW_E_SAMPLE_REJECTED_EOS;
  if (m_bRunTimeError) return VFW_E_RUNTIME_ERROR;
  return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  HRESULT result = CheckStreaming();
  if (result != S_OK) return result;
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed != nullptr) {
    const CMediaType type(*changed);
    DeleteMediaType(changed);
    result = CheckMediaType(&type);
    if (result != S_OK) {
      m_bRunTimeError = TRUE;
      m_pFilter->NotifyEvent(EC_ERRORABORT, VFW_E_TYPE_NOT_ACCEPTED, 0);
      return VFW_E_INVALIDMEDIATYPE;
    }
  }
  return S_OK;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
  if (samples == nullptr || processed == nullptr) return E_POINTER;
  *processed = 0;
  HRESULT result = S_OK;
  while (*processed < count) {
    result = Receive(samples[*processed]);
    if (result != S_OK) break;
    ++*processed;
  }
  return result;
}

HRESULT CBaseInputPin::ReceiveCanBlock() {
  // Blocks when any connected output pin of the filter feeds a pin that
  // may block, or when the filter has no output pin to ask.
  int outputs = 0;
  for (int i = 0; i < m_pFilter->GetPinCount(); ++i) {
    CBasePin* pin = m_pFilter->GetPin(i);
    PIN_DIRECTION direction;
    pin->QueryDirection(&direction);
    if (direction != PINDIR_OUTPUT) continue;
    ++outputs;
    IPin* connected = pin->GetConnected();
    if (connected == nullptr) continue;
    IMemInputPin* input = nullptr;
    if (SUCCEEDED(connected->QueryInterface(IID_PPV_ARGS(&input)))) {
      const HRESULT blocks = input->ReceiveCanBlock();
      input->Release();
      if (blocks != S_FALSE) return S_OK;
    }
  }
  return outputs == 0 ? S_OK : S_FALSE;
}

HRESULT CBaseInputPin::EndOfStream() {
  const HRESULT result = CheckStreaming();
  if (result == S_OK) m_bAtEndOfStream = TRUE;
  return result;
}

HRESULT CBaseInputPin::BeginFlush() {
  m_bFlushing = TRUE;
  return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
  m_bFlushing = FALSE;
  m_bAtEndOfStream = FALSE;
  m_bRunTimeError = FALSE;
  return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
  if (m_pAllocator != nullptr) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  return S_OK;
}

HRESULT CBaseInputPin::Active() {
  m_bAtEndOfStream = FALSE;
  return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
  m_bRunTimeError = FALSE;
  m_bAtEndOfStream = FALSE;
  if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}
