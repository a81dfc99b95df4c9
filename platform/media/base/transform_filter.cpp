#include <new>

#include "platform/media/base/transform.h"

CTransformFilter::CTransformFilter(const TCHAR* name, LPUNKNOWN outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_csFilter, clsid) {}

CTransformFilter::~CTransformFilter() {
  delete m_pInput;
  delete m_pOutput;
}

HRESULT CTransformFilter::CreatePins() {
  HRESULT result = S_OK;
  m_pInput = new (std::nothrow) CTransformInputPin("transform input", this, &result, u"XForm In");
  if (m_pInput == nullptr) return E_OUTOFMEMORY;
  if (FAILED(result)) return result;
  m_pOutput =
      new (std::nothrow) CTransformOutputPin("transform output", this, &result, u"XForm Out");
  if (m_pOutput == nullptr) return E_OUTOFMEMORY;
  return result;
}

CBasePin* CTransformFilter::GetPin(int index) {
  CAutoLock lock(&m_csFilter);
  if (m_pInput == nullptr || m_pOutput == nullptr) {
    if (FAILED(CreatePins())) {
      delete m_pInput;
      delete m_pOutput;
      m_pInput = nullptr;
      m_pOutput = nullptr;
      return nullptr;
    }
  }
  if (index == 0) return m_pInput;
  if (index == 1) return m_pOutput;
  return nullptr;
}

HRESULT CTransformFilter::FindPin(LPCWSTR id, IPin** pin) {
  GetPin(0);  // the pins exist before they are looked for
  return CBaseFilter::FindPin(id, pin);
}

HRESULT CTransformFilter::Stop() {
  CAutoLock lock(&m_csFilter);
  if (m_State == State_Stopped) return S_OK;
  if (m_pInput == nullptr || !m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
    m_State = State_Stopped;
    m_bEOSDelivered = FALSE;
    return S_OK;
  }
  // Free the threads that wait in an allocator before waiting for the
  // sample in progress to finish.
  m_pInput->Inactive();
  m_pOutput->Inactive();
  CAutoLock receiving(&m_csReceive);
  const HRESULT result = StopStreaming();
  if (SUCCEEDED(result)) {
    m_State = State_Stopped;
    m_bEOSDelivered = FALSE;
  }
  return result;
}

HRESULT CTransformFilter::Pause() {
  CAutoLock lock(&m_csFilter);
  HRESULT result = S_OK;
  if (m_State == State_Paused) return S_OK;
  if (m_pInput == nullptr || !m_pInput->IsConnected()) {
    // Nothing will ever arrive: tell downstream at once.
    if (m_pOutput != nullptr && m_pOutput->IsConnected() && !m_bEOSDelivered) {
      m_pOutput->DeliverEndOfStream();
      m_bEOSDelivered = TRUE;
    }
    m_State = State_Paused;
    return S_OK;
  }
  if (!m_pOutput->IsConnected()) {
    m_State = State_Paused;
    return S_OK;
  }
  if (m_State == State_Stopped) {
    CAutoLock receiving(&m_csReceive);
    result = StartStreaming();
  }
  if (SUCCEEDED(result)) result = CBaseFilter::Pause();
  m_bSampleSkipped = FALSE;
  return result;
}

HRESULT CTransformFilter::Transform(IMediaSample* /*input*/, IMediaSample* /*output*/) {
  return E_UNEXPECTED;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* input, IMediaSample** output) {
  *output = nullptr;
  IMediaSample* sample = nullptr;
  const HRESULT result = m_pOutput->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
  if (FAILED(result)) return result;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME end = 0;
  const HRESULT timed = input->GetTime(&start, &end);
  if (timed == S_OK) {
    sample->SetTime(&start, &end);
  } else if (timed == VFW_S_NO_STOP_TIME) {
    sample->SetTime(&start, nullptr);
  }
  LONGLONG mediaStart = 0;
  LONGLONG mediaEnd = 0;
  if (input->GetMediaTime(&mediaStart, &mediaEnd) == S_OK) {
    sample->SetMediaTime(&mediaStart, &mediaEnd);
  }
  sample->SetSyncPoint(input->IsSyncPoint() == S_OK);
  sample->SetPreroll(input->IsPreroll() == S_OK);
  // A sample dropped before this one leaves a gap downstream should know of.
  sample->SetDiscontinuity(input->IsDiscontinuity() == S_OK || m_bSampleSkipped.load());
  m_bSampleSkipped = FALSE;
  *output = sample;
  return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
  IMediaSample* output = nullptr;
  {
    CAutoLock receiving(&m_csReceive);
    HRESULT result = InitializeOutputSample(sample, &output);
    if (FAILED(result)) return result;
    result = Transform(sample, output);
    if (result == S_FALSE) {
      output->Release();
      m_bSampleSkipped = TRUE;
      return S_OK;
    }
    if (FAILED(result)) {
      output->Release();
      m_pInput->m_bRunTimeError = TRUE;
      NotifyEvent(EC_ERRORABORT, result, 0);
      return result;
    }
  }
  const HRESULT delivered = m_pOutput->Deliver(output);
  output->Release();
  return delivered;
}

HRESULT CTransformFilter::EndOfStream() {
  if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return S_OK;
  m_bEOSDelivered = TRUE;
  return m_pOutput->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
  if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
  if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return S_OK;
  m_bEOSDelivered = FALSE;
  return m_pOutput->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (m_pOutput == nullptr || !m_pOutput->IsConnected()) return S_OK;
  return m_pOutput->DeliverNewSegment(start, stop, rate);
}
