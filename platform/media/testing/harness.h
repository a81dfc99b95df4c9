// The one test harness of the media base classes, as GStreamer's
// GstHarness is one: filters made on the base classes that a test wires
// around what it checks, configured by their fields before they connect or
// run. The source, transform and renderer (harness_filters.h, which the
// test plug-in's filters are made of too); a sink on CBaseInputPin that
// counts what arrives and what it cost in allocations; and a stand-in graph
// that records events and performs reconnections, for driving the filters
// without the real one. The base classes' tests, the graph's tests and the
// graph benchmark all run on it; the File writer's tests on its scripted
// source (scripted_source.h).
#pragma once

#include <condition_variable>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/media/base/streams.h"
#include "platform/media/testing/harness_filters.h"

namespace ksv::media::testing {

inline constexpr CLSID kSinkClsid = ksv::com::Guid("5E1F0001-0000-4000-8000-000000000001");

// Records events; Reconnect breaks both sides and connects the output to
// the same partner again, at once.
class FakeGraph : public ksv::com::ComObject<IFilterGraph, IMediaEventSink> {
 public:
  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override {
    return filter->JoinFilterGraph(this, name);
  }
  HRESULT RemoveFilter(IBaseFilter* filter) override {
    return filter->JoinFilterGraph(nullptr, nullptr);
  }
  HRESULT EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  HRESULT FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override {
    return output->Connect(input, type);
  }
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override { return pin->Disconnect(); }
  HRESULT SetDefaultSyncSource() override { return E_NOTIMPL; }

  HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

  // Waits up to `milliseconds` for an event with `code`; its first parameter.
  bool WaitForEvent(LONG code, LONG_PTR* param1, int milliseconds);
  int reconnects() const { return reconnects_; }
  HRESULT lastReconnectResult() const { return lastReconnect_; }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<std::pair<LONG, LONG_PTR>> events_;
  int reconnects_ = 0;
  HRESULT lastReconnect_ = S_OK;
};

class HarnessSink;

// An allocator that grants at most `maxBuffer` bytes a buffer.
class StingyAllocator : public CMemAllocator {
 public:
  explicit StingyAllocator(LONG maxBuffer)
      : CMemAllocator("stingy", nullptr, nullptr), maxBuffer_(maxBuffer) {}
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
    ALLOCATOR_PROPERTIES granted = *request;
    if (granted.cbBuffer > maxBuffer_) granted.cbBuffer = maxBuffer_;
    return CMemAllocator::SetProperties(&granted, actual);
  }

 private:
  LONG maxBuffer_;
};

class HarnessSinkPin : public CBaseInputPin {
 public:
  HarnessSinkPin(HarnessSink* filter, CCritSec* lock, HRESULT* result);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;

 private:
  HarnessSink* sink_;
};

// Accepts audio at `acceptedRate` (0: any audio). Counts samples and end of
// stream; may keep samples instead of releasing them.
class HarnessSink : public CBaseFilter {
 public:
  HarnessSink();
  ~HarnessSink() override;
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int index) override { return index == 0 ? &pin_ : nullptr; }

  // Settings, before connecting.
  DWORD acceptedRate = 0;
  std::vector<CMediaType> offered;    // what the pin enumerates
  IMemAllocator* ownAllocator = nullptr;  // offered by GetAllocator (counted)
  bool refuseForeignAllocator = false;
  bool holdSamples = false;

  // What happened, read under `mutex`.
  std::mutex mutex;
  std::condition_variable changed;
  int samples = 0;
  int endOfStreams = 0;
  int flushes = 0;
  int syncPoints = 0;
  std::vector<REFERENCE_TIME> startTimes;
  std::vector<IMediaSample*> held;
  long allocationsAtSecondSample = -1;
  long allocationsAtLastSample = -1;
  IMemAllocator* notified = nullptr;  // not counted

  bool WaitFor(int wantedSamples, int wantedEnds, int milliseconds);
  void ReleaseHeld();
  // Starts the counts over, for another run.
  void ResetCounts();
  HarnessSinkPin& pin() { return pin_; }

 private:
  CCritSec lock_;
  HarnessSinkPin pin_;
};

// Stops `filter` and breaks its connections on both sides (connected
// filters hold each other).
void Unplug(CBaseFilter* filter);

// A filter made with `new`, held by a reference, unplugged and released at
// scope end.
template <class Filter>
struct Held {
  Held() : filter(new Filter) { filter->AddRef(); }
  ~Held() {
    Unplug(filter);
    filter->Release();
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  Filter* operator->() const { return filter; }
  Filter* filter;
};

// A filter made with `new`, held by one reference the caller releases.
template <class Filter, class... Args>
Filter* NewHeld(Args&&... args) {
  auto* filter = new Filter(std::forward<Args>(args)...);
  filter->AddRef();
  return filter;
}

}  // namespace ksv::media::testing
