// The splitter's pins: the reader input and the elementary-stream outputs.
#include <algorithm>
#include <cstring>

#include "platform/media/filters/mpeg1/mpeg_splitter.h"

extern "C" {
#include <libavcodec/packet.h>
}

namespace ksv::media::mpeg1 {

SplitterInputPin::SplitterInputPin(MpegSplitter* filter, CCritSec* lock, HRESULT* result)
    : CReaderInputPin("MPEG splitter input", filter, lock, result, u"Input"), splitter_(filter) {}

HRESULT SplitterInputPin::CheckMediaType(const CMediaType* type) {
  if (*type->Type() != MEDIATYPE_Stream) return S_FALSE;
  const GUID& subtype = *type->Subtype();
  if (subtype == MEDIASUBTYPE_MPEG1System || subtype == MEDIASUBTYPE_MPEG1VideoCD ||
      subtype == MEDIASUBTYPE_MPEG1Video || subtype == MEDIASUBTYPE_MPEG1Audio) {
    return S_OK;
  }
  return S_FALSE;
}

HRESULT SplitterInputPin::GetMediaType(int position, CMediaType* /*type*/) {
  return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT SplitterInputPin::CompleteConnect(IPin* receivePin) {
  const HRESULT result = CReaderInputPin::CompleteConnect(receivePin);
  if (FAILED(result)) return result;
  return splitter_->OpenStream(Reader(), *m_mt.Subtype());
}

HRESULT SplitterInputPin::BreakConnect() {
  splitter_->CloseStream();
  return CReaderInputPin::BreakConnect();
}

SplitterOutputPin::SplitterOutputPin(MpegSplitter* filter, CCritSec* lock, HRESULT* result,
                                     LPCWSTR name, int streamIndex, const CMediaType& type,
                                     LONG bufferSize, LONG bufferCount)
    : CBaseOutputPin("MPEG splitter output", filter, lock, result, name),
      streamIndex_(streamIndex),
      type_(type),
      bufferSize_(bufferSize),
      bufferCount_(bufferCount) {}

HRESULT SplitterOutputPin::CheckMediaType(const CMediaType* type) {
  return *type == type_ ? S_OK : S_FALSE;
}

HRESULT SplitterOutputPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = type_;
  return S_OK;
}

HRESULT SplitterOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                            ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = std::max(request->cBuffers, bufferCount_);
  request->cbBuffer = std::max(request->cbBuffer, bufferSize_);
  if (request->cbAlign <= 0) request->cbAlign = 1;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  // Packets larger than a buffer are cut, so any size works; none does not.
  if (actual.cBuffers < 1 || actual.cbBuffer < 1) return E_FAIL;
  return S_OK;
}

HRESULT SplitterOutputPin::DeliverPacket(const AVPacket& packet, bool timed,
                                         REFERENCE_TIME start, REFERENCE_TIME stop,
                                         bool syncPoint) {
  int offset = 0;
  bool first = true;
  while (offset < packet.size) {
    IMediaSample* sample = nullptr;
    HRESULT result = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(result)) return result;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    const int length = std::min<int>(packet.size - offset, sample->GetSize());
    if (buffer == nullptr || length <= 0) {  // an allocator that gave no room
      sample->Release();
      return E_FAIL;
    }
    std::memcpy(buffer, packet.data + offset, static_cast<size_t>(length));
    sample->SetActualDataLength(length);
    if (first && timed) {
      sample->SetTime(&start, stop > start ? &stop : nullptr);
    } else {
      sample->SetTime(nullptr, nullptr);
    }
    sample->SetSyncPoint(first && syncPoint);
    sample->SetDiscontinuity(discontinuity_);
    discontinuity_ = false;
    result = Deliver(sample);
    sample->Release();
    if (result != S_OK) return result;  // S_FALSE: send no more
    offset += length;
    first = false;
  }
  return S_OK;
}

}  // namespace ksv::media::mpeg1
