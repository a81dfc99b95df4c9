#include "platform/media/filters/avi_mux/mux_pins.h"

#include "platform/media/filters/avi_mux/avi_mux.h"
#include "platform/media/filters/avi_mux/stream_format.h"

namespace ksv::media::avimux {

MuxInputPin::MuxInputPin(AviMux* mux, CCritSec* lock, HRESULT* result, LPCWSTR name)
    : CBaseInputPin("AVI Mux input", mux, lock, result, name), mux_(mux) {}

HRESULT MuxInputPin::CheckMediaType(const CMediaType* type) { return CheckStreamType(*type); }

HRESULT MuxInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = CBaseInputPin::CompleteConnect(receivePin);
  if (SUCCEEDED(result)) mux_->InputConnected();
  return result;
}

HRESULT MuxInputPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  return mux_->WriteSample(this, sample);
}

HRESULT MuxInputPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  if (result != S_OK) return result;
  return mux_->EndStream(this);
}

MuxOutputPin::MuxOutputPin(AviMux* mux, CCritSec* lock, HRESULT* result)
    : CBaseOutputPin("AVI Mux output", mux, lock, result, u"AVI Out") {}

HRESULT MuxOutputPin::CheckMediaType(const CMediaType* type) {
  if (*type->Type() != MEDIATYPE_Stream) return VFW_E_TYPE_NOT_ACCEPTED;
  if (*type->Subtype() != MEDIASUBTYPE_Avi && *type->Subtype() != GUID_NULL) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT MuxOutputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type->InitMediaType();
  type->SetType(&MEDIATYPE_Stream);
  type->SetSubtype(&MEDIASUBTYPE_Avi);
  type->SetFormatType(&FORMAT_None);
  return S_OK;
}

HRESULT MuxOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                       ALLOCATOR_PROPERTIES* request) {
  if (request->cBuffers < kOutputBuffers) request->cBuffers = kOutputBuffers;
  if (request->cbBuffer < kOutputBufferSize) request->cbBuffer = kOutputBufferSize;
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cBuffers >= 2 && actual.cbBuffer > 0 ? S_OK : E_FAIL;
}

}  // namespace ksv::media::avimux
