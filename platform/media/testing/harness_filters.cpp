#include "platform/media/testing/harness_filters.h"

#include <cstring>

namespace ksv::media::testing {

CMediaType AudioType(DWORD rate) {
  CMediaType type(&MEDIATYPE_Audio);
  type.SetSubtype(&MEDIASUBTYPE_PCM);
  type.SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = 1;
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = 2;
  wave.nAvgBytesPerSec = rate * 2;
  type.SetFormat(reinterpret_cast<const BYTE*>(&wave), sizeof wave);
  return type;
}

DWORD RateOf(const CMediaType& type) {
  if (type.formattype != FORMAT_WaveFormatEx || type.cbFormat < sizeof(WAVEFORMATEX)) return 0;
  WAVEFORMATEX wave;
  std::memcpy(&wave, type.pbFormat, sizeof wave);
  return wave.nSamplesPerSec;
}

HRESULT AskForBuffers(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request, LONG count,
                      LONG bytes) {
  request->cBuffers = count;
  request->cbBuffer = bytes;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < bytes ? E_FAIL : S_OK;
}

// Source

HarnessSourcePin::HarnessSourcePin(HRESULT* result, HarnessSource* filter, LPCWSTR name)
    : CSourceStream("source pin", result, filter, name), source_(filter) {}

HRESULT HarnessSourcePin::GetMediaType(CMediaType* type) { return type->Set(source_->StreamType()); }

HRESULT HarnessSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return AskForBuffers(allocator, request, source_->buffers, source_->bufferSize);
}

HRESULT HarnessSourcePin::FillBuffer(IMediaSample* sample) {
  const int64_t count = source_->count;
  if (count >= 0 && produced_ >= count) return S_FALSE;
  if (produced_ == source_->failAt) return source_->failure;
  const HRESULT result = source_->Fill(sample, produced_);
  if (result == S_OK) ++produced_;
  return result;
}

HRESULT HarnessSourcePin::OnThreadCreate() {
  // The worker may take the filter's lock while the filter starts it.
  CAutoLock lock(m_pFilter->pStateLock());
  source_->threadCreatedUnderLock = true;
  produced_ = 0;
  source_->OnStart();
  return S_OK;
}

bool HarnessSourcePin::CommandWaiting() {
  Command command;
  return CheckRequest(&command);
}

HarnessSource::HarnessSource(int64_t samples, REFERENCE_TIME apart, int64_t failWith)
    : HarnessSource("source", kSourceClsid, u"Out", samples) {
  spacing = apart;
  failAt = failWith;
}

HarnessSource::HarnessSource(const TCHAR* name, REFCLSID clsid, LPCWSTR pinName, int64_t samples)
    : CSource(name, nullptr, clsid), count(samples), spacing(1000), failAt(-1) {
  HRESULT result = S_OK;
  new HarnessSourcePin(&result, this, pinName);  // owned by the filter
}

HRESULT HarnessSource::Fill(IMediaSample* sample, int64_t index) {
  REFERENCE_TIME start = index * spacing;
  REFERENCE_TIME end = start + spacing;
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(index % 4 == 0);  // every fourth sample
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  std::memset(data, static_cast<int>(index & 0xFF), 16);
  sample->SetActualDataLength(16);
  return S_OK;
}

// Transform

HarnessTransform::HarnessTransform() : HarnessTransform("copy", kTransformClsid) {}

HarnessTransform::HarnessTransform(const TCHAR* name, REFCLSID clsid)
    : CTransformFilter(name, nullptr, clsid) {}

HRESULT HarnessTransform::CheckInputType(const CMediaType* input) {
  if (input->majortype != MEDIATYPE_Audio) return VFW_E_INVALIDMEDIATYPE;
  if (input->formattype != FORMAT_WaveFormatEx) return VFW_E_INVALIDMEDIATYPE;
  return S_OK;
}

HRESULT HarnessTransform::CheckTransform(const CMediaType* input, const CMediaType* output) {
  if (output->majortype != MEDIATYPE_Audio) return VFW_E_TYPE_NOT_ACCEPTED;
  // A filter that renegotiates its output takes any input first.
  if (reconnectOutput && m_pInput->IsConnected() == FALSE) return S_OK;
  const DWORD wanted = outputRate != 0 ? outputRate : RateOf(*input);
  return RateOf(*output) == wanted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT HarnessTransform::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const DWORD rate = outputRate != 0 ? outputRate : RateOf(m_pInput->CurrentMediaType());
  return type->Set(AudioType(rate));
}

HRESULT HarnessTransform::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return AskForBuffers(allocator, request, buffers, bufferSize);
}

HRESULT HarnessTransform::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  if (FAILED(input->GetPointer(&from)) || FAILED(output->GetPointer(&to))) return E_FAIL;
  const LONG length = input->GetActualDataLength();
  if (length > output->GetSize()) return VFW_E_BUFFER_OVERFLOW;
  std::memcpy(to, from, static_cast<size_t>(length));
  return output->SetActualDataLength(length);
}

HRESULT HarnessTransform::CompleteConnect(PIN_DIRECTION direction, IPin* /*pin*/) {
  if (direction == PINDIR_INPUT) {
    inputConnections.fetch_add(1);
    if (reconnectOutput && m_pOutput->IsConnected()) return ReconnectPin(m_pOutput, nullptr);
    return S_OK;
  }
  ++completedOutputs;
  if (reconnectInputOnOutput) {
    reconnectInputOnOutput = false;
    reconnectAnswer = ReconnectPin(m_pInput, nullptr);
  }
  return S_OK;
}

// Renderer

HarnessRenderer::HarnessRenderer(bool recordTimes)
    : CBaseRenderer(kRendererClsid, "renderer", nullptr, nullptr), recordTimes_(recordTimes) {
  if (recordTimes_) shown_.reserve(1024);
}

HarnessRenderer::HarnessRenderer(REFCLSID clsid, const TCHAR* name)
    : CBaseRenderer(clsid, name, nullptr, nullptr), recordTimes_(false) {}

HRESULT HarnessRenderer::CheckMediaType(const CMediaType* type) {
  return type->majortype == MEDIATYPE_Audio ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT HarnessRenderer::DoRenderSample(IMediaSample* sample) {
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

void HarnessRenderer::OnReceiveFirstSample(IMediaSample* /*sample*/) { firstSamples_.fetch_add(1); }

std::vector<std::pair<REFERENCE_TIME, REFERENCE_TIME>> HarnessRenderer::shown() {
  std::lock_guard guard(mutex_);
  return shown_;
}

}  // namespace ksv::media::testing
