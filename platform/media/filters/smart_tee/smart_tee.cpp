// The Smart Tee filter and its input pin: each input sample is offered to
// the preview first (a copy, or nothing) and then passed on to the capture
// output as it is.
#include "platform/media/filters/smart_tee/smart_tee.h"

#include <new>

#include "platform/media/filter_ids.h"
#include "platform/media/media_guids.h"

namespace ksv::media::smarttee {

namespace {

const AMOVIESETUP_MEDIATYPE kVideo = {&MEDIATYPE_Video, &GUID_NULL};
// {name, rendered, output, zero, many, connects-to filter, pin, types}
const AMOVIESETUP_PIN kPins[] = {
    {const_cast<LPWSTR>(u"Input"), FALSE, FALSE, FALSE, FALSE, nullptr, nullptr, 1, &kVideo},
    {const_cast<LPWSTR>(u"Capture"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kVideo},
    {const_cast<LPWSTR>(u"Preview"), FALSE, TRUE, FALSE, FALSE, nullptr, nullptr, 1, &kVideo},
};
const AMOVIESETUP_FILTER kSetup = {&CLSID_SmartTee, u"Smart Tee", MERIT_DO_NOT_USE, 3, kPins};

}  // namespace

const AMOVIESETUP_FILTER* SmartTee::Setup() { return &kSetup; }

SmartTee::SmartTee(LPUNKNOWN outer, HRESULT* result)
    : CBaseFilter("Smart Tee", outer, &lock_, CLSID_SmartTee, result) {
  HRESULT made = S_OK;
  input_ = new (std::nothrow) TeeInputPin(this, &lock_, &made);
  capture_ = new (std::nothrow) TeeCaptureOutput(this, &lock_, &made);
  preview_ = new (std::nothrow) TeePreviewOutput(this, &lock_, &made);
  if (result != nullptr && (input_ == nullptr || capture_ == nullptr || preview_ == nullptr)) {
    *result = E_OUTOFMEMORY;
  } else if (result != nullptr && FAILED(made)) {
    *result = made;
  }
}

SmartTee::~SmartTee() {
  delete preview_;
  delete capture_;
  delete input_;
}

CUnknown* SmartTee::CreateInstance(LPUNKNOWN outer, HRESULT* result) {
  auto* tee = new (std::nothrow) SmartTee(outer, result);
  if (tee == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
  return tee;
}

CBasePin* SmartTee::GetPin(int index) {
  switch (index) {
    case 0:
      return input_;
    case 1:
      return capture_;
    case 2:
      return preview_;
    default:
      return nullptr;
  }
}

TeeInputPin::TeeInputPin(SmartTee* tee, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("Smart Tee input", tee, lock, result, u"Input"), tee_(tee) {}

HRESULT TeeInputPin::CheckMediaType(const CMediaType* type) {
  if (type == nullptr) return E_POINTER;
  if (*type->Type() != MEDIATYPE_Video) return S_FALSE;
  for (CBaseOutputPin* output : {static_cast<CBaseOutputPin*>(tee_->capture()),
                                 static_cast<CBaseOutputPin*>(tee_->preview())}) {
    IPin* peer = output->GetConnected();
    if (peer != nullptr && output->CurrentMediaType() != *type && peer->QueryAccept(type) != S_OK) {
      return S_FALSE;
    }
  }
  return S_OK;
}

HRESULT TeeInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = CBaseInputPin::CompleteConnect(receivePin);
  if (FAILED(result)) return result;
  for (CBaseOutputPin* output : {static_cast<CBaseOutputPin*>(tee_->capture()),
                                 static_cast<CBaseOutputPin*>(tee_->preview())}) {
    if (output->IsConnected() && output->CurrentMediaType() != m_mt) {
      tee_->ReconnectPin(output, &m_mt);
    }
  }
  return S_OK;
}

HRESULT TeeInputPin::Receive(IMediaSample* sample) {
  HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  // The preview copies before the capture's downstream may change the
  // sample in place.
  tee_->preview()->Offer(sample);
  if (!tee_->capture()->IsConnected()) return S_OK;
  return tee_->capture()->Deliver(sample);
}

HRESULT TeeInputPin::ReceiveCanBlock() {
  IPin* peer = tee_->capture()->GetConnected();
  if (peer == nullptr) return S_FALSE;
  IMemInputPin* input = nullptr;
  if (FAILED(peer->QueryInterface(IID_PPV_ARGS(&input)))) return S_OK;
  const HRESULT blocks = input->ReceiveCanBlock();
  input->Release();
  return blocks == S_FALSE ? S_FALSE : S_OK;
}

HRESULT TeeInputPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result != S_OK) return result;
  tee_->preview()->QueueEndOfStream();
  if (tee_->capture()->IsConnected()) tee_->capture()->DeliverEndOfStream();
  return S_OK;
}

HRESULT TeeInputPin::BeginFlush() {
  CBaseInputPin::BeginFlush();
  tee_->preview()->Flush();
  if (tee_->capture()->IsConnected()) tee_->capture()->DeliverBeginFlush();
  if (tee_->preview()->IsConnected()) tee_->preview()->DeliverBeginFlush();
  return S_OK;
}

HRESULT TeeInputPin::EndFlush() {
  CBaseInputPin::EndFlush();
  if (tee_->capture()->IsConnected()) tee_->capture()->DeliverEndFlush();
  if (tee_->preview()->IsConnected()) tee_->preview()->DeliverEndFlush();
  return S_OK;
}

}  // namespace ksv::media::smarttee
