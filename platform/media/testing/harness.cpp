#include "platform/media/testing/harness.h"

#include <chrono>
#include <cstring>

#include "testing/allocation_counter.h"

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

namespace {
DWORD RateOf(const CMediaType& type) {
  if (type.formattype != FORMAT_WaveFormatEx || type.cbFormat < sizeof(WAVEFORMATEX)) return 0;
  WAVEFORMATEX wave;
  std::memcpy(&wave, type.pbFormat, sizeof wave);
  return wave.nSamplesPerSec;
}
}  // namespace

void Unplug(CBaseFilter* filter) {
  filter->Stop();
  for (int i = 0; i < filter->GetPinCount(); ++i) {
    CBasePin* pin = filter->GetPin(i);
    IPin* partner = nullptr;
    if (pin->ConnectedTo(&partner) != S_OK) continue;
    PIN_INFO info{};
    partner->QueryPinInfo(&info);
    info.pFilter->Stop();
    info.pFilter->Release();
    partner->Disconnect();
    pin->Disconnect();
    partner->Release();
  }
}

// FakeGraph

HRESULT FakeGraph::Reconnect(IPin* pin) {
  ++reconnects_;
  IPin* partner = nullptr;
  if (FAILED(pin->ConnectedTo(&partner))) return lastReconnect_ = VFW_E_NOT_CONNECTED;
  PIN_DIRECTION direction;
  pin->QueryDirection(&direction);
  IPin* output = direction == PINDIR_OUTPUT ? pin : partner;
  IPin* input = direction == PINDIR_OUTPUT ? partner : pin;
  output->Disconnect();
  input->Disconnect();
  lastReconnect_ = output->Connect(input, nullptr);
  partner->Release();
  return lastReconnect_;
}

HRESULT FakeGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR /*param2*/) {
  {
    std::lock_guard lock(mutex_);
    events_.emplace_back(code, param1);
  }
  arrived_.notify_all();
  return S_OK;
}

bool FakeGraph::WaitForEvent(LONG code, LONG_PTR* param1, int milliseconds) {
  std::unique_lock lock(mutex_);
  const auto found = [&] {
    for (const auto& [eventCode, first] : events_) {
      if (eventCode == code) {
        if (param1 != nullptr) *param1 = first;
        return true;
      }
    }
    return false;
  };
  return arrived_.wait_for(lock, std::chrono::milliseconds(milliseconds), found);
}

// Sink

HarnessSinkPin::HarnessSinkPin(HarnessSink* filter, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("sink pin", filter, lock, result, u"In"), sink_(filter) {}

HRESULT HarnessSinkPin::CheckMediaType(const CMediaType* type) {
  if (type->majortype != MEDIATYPE_Audio) return VFW_E_TYPE_NOT_ACCEPTED;
  if (sink_->acceptedRate != 0 && RateOf(*type) != sink_->acceptedRate) {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  return S_OK;
}

HRESULT HarnessSinkPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (static_cast<size_t>(position) >= sink_->offered.size()) return VFW_S_NO_MORE_ITEMS;
  return type->Set(sink_->offered[static_cast<size_t>(position)]);
}

HRESULT HarnessSinkPin::GetAllocator(IMemAllocator** allocator) {
  if (sink_->ownAllocator == nullptr) return CBaseInputPin::GetAllocator(allocator);
  *allocator = sink_->ownAllocator;
  (*allocator)->AddRef();
  return S_OK;
}

HRESULT HarnessSinkPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (sink_->refuseForeignAllocator && allocator != sink_->ownAllocator) return E_FAIL;
  sink_->notified = allocator;
  return CBaseInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT HarnessSinkPin::Receive(IMediaSample* sample) {
  const HRESULT result = CBaseInputPin::Receive(sample);
  if (result != S_OK) return result;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME end = 0;
  sample->GetTime(&start, &end);
  {
    std::lock_guard lock(sink_->mutex);
    ++sink_->samples;
    if (sample->IsSyncPoint() == S_OK) ++sink_->syncPoints;
    if (sink_->samples == 2) sink_->allocationsAtSecondSample = ksv::testing::AllocationCount();
    sink_->allocationsAtLastSample = ksv::testing::AllocationCount();
    if (sink_->startTimes.size() < sink_->startTimes.capacity()) {
      sink_->startTimes.push_back(start);
    }
    if (sink_->holdSamples) {
      sample->AddRef();
      sink_->held.push_back(sample);
    }
  }
  sink_->changed.notify_all();
  return S_OK;
}

HRESULT HarnessSinkPin::EndOfStream() {
  const HRESULT result = CBaseInputPin::EndOfStream();
  {
    std::lock_guard lock(sink_->mutex);
    if (result == S_OK) ++sink_->endOfStreams;
  }
  sink_->changed.notify_all();
  return result;
}

HRESULT HarnessSinkPin::BeginFlush() {
  {
    std::lock_guard lock(sink_->mutex);
    ++sink_->flushes;
  }
  return CBaseInputPin::BeginFlush();
}

HarnessSink::HarnessSink()
    : CBaseFilter("sink", nullptr, &lock_, kSinkClsid), pin_(this, &lock_, nullptr) {
  startTimes.reserve(64);
  held.reserve(64);
}

HarnessSink::~HarnessSink() {
  ReleaseHeld();
  if (ownAllocator != nullptr) ownAllocator->Release();
}

bool HarnessSink::WaitFor(int wantedSamples, int wantedEnds, int milliseconds) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] {
    return samples >= wantedSamples && endOfStreams >= wantedEnds;
  });
}

void HarnessSink::ResetCounts() {
  std::lock_guard lock(mutex);
  samples = 0;
  syncPoints = 0;
  endOfStreams = 0;
  startTimes.clear();
  allocationsAtSecondSample = -1;
  allocationsAtLastSample = -1;
}

void HarnessSink::ReleaseHeld() {
  std::vector<IMediaSample*> samplesHeld;
  {
    std::lock_guard lock(mutex);
    samplesHeld.swap(held);
  }
  for (IMediaSample* sample : samplesHeld) sample->Release();
}

// Source

HarnessSourcePin::HarnessSourcePin(HRESULT* result, HarnessSource* filter)
    : CSourceStream("source pin", result, filter, u"Out"), source_(filter) {}

HRESULT HarnessSourcePin::GetMediaType(CMediaType* type) { return type->Set(AudioType(source_->rate)); }

HRESULT HarnessSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  request->cBuffers = source_->buffers;
  request->cbBuffer = source_->bufferSize;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < source_->bufferSize ? E_FAIL : S_OK;
}

HRESULT HarnessSourcePin::FillBuffer(IMediaSample* sample) {
  if (produced_ == source_->count) return S_FALSE;
  if (produced_ == source_->failAt) return source_->failure;
  REFERENCE_TIME start = produced_ * source_->spacing;
  REFERENCE_TIME end = start + source_->spacing;
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(produced_ % 4 == 0);  // every fourth sample
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  std::memset(data, static_cast<int>(produced_ & 0xFF), 16);
  sample->SetActualDataLength(16);
  ++produced_;
  return S_OK;
}

HRESULT HarnessSourcePin::OnThreadCreate() {
  // The worker may take the filter's lock while the filter starts it.
  CAutoLock lock(m_pFilter->pStateLock());
  source_->threadCreatedUnderLock = true;
  produced_ = 0;
  return S_OK;
}

HarnessSource::HarnessSource(int64_t samples, REFERENCE_TIME apart, int64_t failWith)
    : CSource("source", nullptr, kSourceClsid), count(samples), spacing(apart), failAt(failWith) {
  HRESULT result = S_OK;
  new HarnessSourcePin(&result, this);  // owned by the filter
}

// Transform

HarnessTransform::HarnessTransform() : CTransformFilter("copy", nullptr, kTransformClsid) {}

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
  request->cBuffers = 2;
  request->cbBuffer = 4096;
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT result = allocator->SetProperties(request, &actual);
  if (FAILED(result)) return result;
  return actual.cbBuffer < 4096 ? E_FAIL : S_OK;
}

HRESULT HarnessTransform::Transform(IMediaSample* input, IMediaSample* output) {
  BYTE* from = nullptr;
  BYTE* to = nullptr;
  input->GetPointer(&from);
  output->GetPointer(&to);
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
