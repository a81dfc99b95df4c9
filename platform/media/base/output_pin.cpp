// CBaseOutputPin: allocator negotiation and delivery downstream.
#include "platform/media/base/pins.h"

CBaseOutputPin::CBaseOutputPin(const TCHAR* objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* result, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, result, pinName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
  if (m_pAllocator != nullptr) m_pAllocator->Release();
  if (m_pInputPin != nullptr) m_pInputPin->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT result = CBasePin::CheckConnect(pin);
  if (FAILED(result)) return result;
  IMemInputPin* input = nullptr;
  result = pin->QueryInterface(IID_PPV_ARGS(&input));
  if (FAILED(result)) return E_NOINTERFACE;
  if (m_pInputPin != nullptr) m_pInputPin->Release();
  m_pInputPin = input;
  return S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* /*receivePin*/) {
  return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (m_pAllocator != nullptr) {
    m_pAllocator->Decommit();
    m_pAllocator->Release();
    m_pAllocator = nullptr;
  }
  if (m_pInputPin != nullptr) {
    m_pInputPin->Release();
    m_pInputPin = nullptr;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  if (pin == nullptr || allocator == nullptr) return E_POINTER;
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES wanted{};
  pin->GetAllocatorRequirements(&wanted);  // E_NOTIMPL leaves it zero
  if (wanted.cbAlign == 0) wanted.cbAlign = 1;

  HRESULT result = pin->GetAllocator(allocator);
  if (SUCCEEDED(result)) {
    ALLOCATOR_PROPERTIES request = wanted;
    result = DecideBufferSize(*allocator, &request);
    if (SUCCEEDED(result)) {
      result = pin->NotifyAllocator(*allocator, FALSE);
      if (SUCCEEDED(result)) return S_OK;
    }
  }
  if (*allocator != nullptr) {
    (*allocator)->Release();
    *allocator = nullptr;
  }

  result = InitAllocator(allocator);
  if (SUCCEEDED(result)) {
    ALLOCATOR_PROPERTIES request = wanted;
    result = DecideBufferSize(*allocator, &request);
    if (SUCCEEDED(result)) {
      result = pin->NotifyAllocator(*allocator, FALSE);
      if (SUCCEEDED(result)) return S_OK;
    }
  }
  if (*allocator != nullptr) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  return result;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
  HRESULT result = S_OK;
  CUnknown* created = CMemAllocator::CreateInstance(nullptr, &result);
  if (created == nullptr) return FAILED(result) ? result : E_OUTOFMEMORY;
  created->NonDelegatingAddRef();
  result = created->NonDelegatingQueryInterface(IID_IMemAllocator,
                                                reinterpret_cast<void**>(allocator));
  created->NonDelegatingRelease();
  return result;
}

HRESULT CBaseOutputPin::Active() {
  if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
  m_bRunTimeError = FALSE;
  if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
  return m_pAllocator->Decommit();
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                          REFERENCE_TIME* end, DWORD flags) {
  if (m_pAllocator == nullptr) return E_NOINTERFACE;
  return m_pAllocator->GetBuffer(sample, start, end, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (m_pInputPin == nullptr) return VFW_E_NOT_CONNECTED;
  return m_pInputPin->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  return m_Connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  return m_Connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                          double rate) {
  if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
  return m_Connected->NewSegment(start, stop, rate);
}
