#include "platform/media/graph/tests/base_filters.h"

namespace ksv::media::graph::testing {

CMediaType StreamType() {
  CMediaType type(&MEDIATYPE_Video);
  type.SetSubtype(&kBaseSubtype);
  type.SetSampleSize(16);
  return type;
}

// ---- BaseSource

namespace {
constexpr CLSID kBaseSourceClsid = ksv::com::Guid("6B1D0101-0000-4000-8000-00AA00BB00CC");
constexpr CLSID kPassThroughClsid = ksv::com::Guid("6B1D0102-0000-4000-8000-00AA00BB00CC");
constexpr CLSID kNullRendererClsid = ksv::com::Guid("6B1D0103-0000-4000-8000-00AA00BB00CC");
}  // namespace

BaseSource::BaseSource(int64_t samples, REFERENCE_TIME apart, int64_t failAt)
    : CSource("base source", nullptr, kBaseSourceClsid),
      count(samples),
      spacing(apart),
      failAfter(failAt) {
  HRESULT result = S_OK;
  new BaseSourcePin(&result, this);  // the filter owns its pins
}

BaseSourcePin::BaseSourcePin(HRESULT* result, BaseSource* filter)
    : CSourceStream("base source pin", result, filter, u"Out"), source_(filter) {}

HRESULT BaseSourcePin::GetMediaType(CMediaType* type) {
  *type = StreamType();
  return S_OK;
}

HRESULT BaseSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 4;
  request->cbBuffer = 16;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < 16 ? E_FAIL : S_OK;
}

HRESULT BaseSourcePin::FillBuffer(IMediaSample* sample) {
  if (produced_ == source_->failAfter) return E_FAIL;
  if (produced_ >= source_->count) return S_FALSE;
  REFERENCE_TIME start = produced_ * source_->spacing;
  REFERENCE_TIME end = start + source_->spacing;
  sample->SetTime(&start, &end);
  sample->SetActualDataLength(16);
  ++produced_;
  return S_OK;
}

// ---- PassThroughTransform

PassThroughTransform::PassThroughTransform()
    : CTransformFilter("pass-through", nullptr, kPassThroughClsid) {}

HRESULT PassThroughTransform::CheckInputType(const CMediaType* input) {
  return *input->Subtype() == kBaseSubtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PassThroughTransform::CheckTransform(const CMediaType* input, const CMediaType* output) {
  return *input == *output ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT PassThroughTransform::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = m_pInput->CurrentMediaType();
  return S_OK;
}

HRESULT PassThroughTransform::DecideBufferSize(IMemAllocator* allocator,
                                               ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = 2;
  request->cbBuffer = 16;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < 16 ? E_FAIL : S_OK;
}

HRESULT PassThroughTransform::Transform(IMediaSample* input, IMediaSample* output) {
  output->SetActualDataLength(input->GetActualDataLength());
  return S_OK;
}

HRESULT PassThroughTransform::CompleteConnect(PIN_DIRECTION direction, IPin* /*pin*/) {
  if (direction == PINDIR_INPUT) {
    inputConnections.fetch_add(1);
  } else if (reconnectInputOnOutput) {
    reconnectInputOnOutput = false;
    reconnectAnswer = ReconnectPin(m_pInput, nullptr);
  }
  return S_OK;
}

// ---- NullRenderer

NullRenderer::NullRenderer(bool recordTimes)
    : CBaseRenderer(kNullRendererClsid, "null renderer", nullptr, nullptr),
      recordTimes_(recordTimes) {
  if (recordTimes_) shown_.reserve(1024);
}

HRESULT NullRenderer::CheckMediaType(const CMediaType* type) {
  return *type->Subtype() == kBaseSubtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT NullRenderer::DoRenderSample(IMediaSample* sample) {
  if (recordTimes_) {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    sample->GetTime(&start, &end);
    REFERENCE_TIME now = -1;
    IReferenceClock* clock = nullptr;
    if (GetSyncSource(&clock) == S_OK && clock != nullptr) {
      clock->GetTime(&now);
      clock->Release();
    }
    std::lock_guard guard(mutex_);
    shown_.emplace_back(start, now);
  }
  rendered_.fetch_add(1, std::memory_order_relaxed);
  return S_OK;
}

void NullRenderer::OnReceiveFirstSample(IMediaSample* /*sample*/) { firstSamples_.fetch_add(1); }

std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> NullRenderer::shown() {
  std::lock_guard guard(mutex_);
  return shown_;
}

}  // namespace ksv::media::graph::testing
