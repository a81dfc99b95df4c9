#include "platform/media/base/transform.h"

#include <new>

CTransformInputPin::CTransformInputPin(const TCHAR* objectName, CTransformFilter* filter,
                                       HRESULT* result, LPCWSTR pinName)
    : CBaseInputPin(objectName, filter, &filter->m_csFilter, result, pinName),
      m_pTransformFilter(filter) {}

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
  const HRESULT result = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pin);
  if (FAILED(result)) return result;
  return CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_INPUT);
  return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
  if (FAILED(result)) return result;
  return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) {
  HRESULT result = m_pTransformFilter->CheckInputType(type);
  if (result != S_OK) return result;
  CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
  if (output != nullptr && output->IsConnected()) {
    result = m_pTransformFilter->CheckTransform(type, &output->CurrentMediaType());
  }
  return result;
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
  const HRESULT result = CBasePin::SetMediaType(type);
  if (FAILED(result)) return result;
  return m_pTransformFilter->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::GetMediaType(int position, CMediaType* /*type*/) {
  return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CTransformInputPin::Receive(IMediaSample* sample) {
  HRESULT result;
  {
    CAutoLock receiving(&m_pTransformFilter->m_csReceive);
    result = CBaseInputPin::Receive(sample);
  }
  if (result != S_OK) return result;
  return m_pTransformFilter->Receive(sample);
}

HRESULT CTransformInputPin::EndOfStream() {
  HRESULT result;
  {
    CAutoLock receiving(&m_pTransformFilter->m_csReceive);
    result = CBaseInputPin::EndOfStream();
  }
  if (result != S_OK) return result;
  return m_pTransformFilter->EndOfStream();
}

HRESULT CTransformInputPin::BeginFlush() {
  {
    CAutoLock lock(&m_pTransformFilter->m_csFilter);
    if (!IsConnected() || !m_pTransformFilter->m_pOutput->IsConnected()) {
      return VFW_E_NOT_CONNECTED;
    }
    const HRESULT result = CBaseInputPin::BeginFlush();
    if (FAILED(result)) return result;
  }
  return m_pTransformFilter->BeginFlush();
}

HRESULT CTransformInputPin::EndFlush() {
  {
    CAutoLock lock(&m_pTransformFilter->m_csFilter);
    if (!IsConnected() || !m_pTransformFilter->m_pOutput->IsConnected()) {
      return VFW_E_NOT_CONNECTED;
    }
  }
  const HRESULT result = m_pTransformFilter->EndFlush();
  if (FAILED(result)) return result;
  return CBaseInputPin::EndFlush();
}

HRESULT CTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  CBasePin::NewSegment(start, stop, rate);
  return m_pTransformFilter->NewSegment(start, stop, rate);
}

CTransformOutputPin::CTransformOutputPin(const TCHAR* objectName, CTransformFilter* filter,
                                         HRESULT* result, LPCWSTR pinName)
    : CBaseOutputPin(objectName, filter, &filter->m_csFilter, result, pinName),
      m_pTransformFilter(filter) {
  if (filter->m_pInput != nullptr) {
    m_pPosition.reset(new (std::nothrow) CPosPassThru("transform position",
                                                      static_cast<IPin*>(this), filter->m_pInput));
  }
}

HRESULT CTransformOutputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IMediaSeeking && m_pPosition != nullptr) {
    return m_pPosition->NonDelegatingQueryInterface(iid, object);
  }
  return CBaseOutputPin::NonDelegatingQueryInterface(iid, object);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return E_UNEXPECTED;
  const HRESULT result = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
  if (FAILED(result)) return result;
  return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
  m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
  return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
  if (FAILED(result)) return result;
  return CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return E_INVALIDARG;
  return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
  const HRESULT result = CBasePin::SetMediaType(type);
  if (FAILED(result)) return result;
  return m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) return VFW_E_NOT_CONNECTED;
  return m_pTransformFilter->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (types == nullptr) return E_POINTER;
  CTransformInputPin* input = m_pTransformFilter->m_pInput;
  if (input == nullptr || !input->IsConnected()) {
    *types = nullptr;
    return VFW_E_NOT_CONNECTED;
  }
  return CBaseOutputPin::EnumMediaTypes(types);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                              ALLOCATOR_PROPERTIES* request) {
  return m_pTransformFilter->DecideBufferSize(allocator, request);
}
