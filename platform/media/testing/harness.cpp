#include "platform/media/testing/harness.h"

#include <chrono>

#include "testing/allocation_counter.h"

namespace ksv::media::testing {

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

}  // namespace ksv::media::testing
